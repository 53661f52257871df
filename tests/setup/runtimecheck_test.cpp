// The setup tool's check button against a stand-in runtime in each state it
// tells apart, and against the real GStreamer, whole and with its plugins
// hidden. Each test runs in a process of its own: a runtime, once started,
// stays for the process.
#include "setup/SetZoDlg.h"

#include "platform/dialogs/dialogs.h"
#include "platform/media/runtimecheck.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QProcess>

static void InitToolResources() { Q_INIT_RESOURCE(Zoset); }

namespace {

class RuntimeCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitToolResources();
        dialogs::SetMessageBoxAnswerer([this](const dialogs::MessageBoxCall& call) {
            boxes << call.caption + "|" + QString::number(call.flags) + "|" + call.text;
            return IDOK;
        });
    }
    void TearDown() override
    {
        dialogs::SetMessageBoxAnswerer({});
        media::SetRuntimeLibrary(QString());
    }
    // The one message box that the check button shows, less its caption.
    QString Check()
    {
        boxes.clear();
        CSetZoDlg dialog(home.File("bin/"));
        dialog.Control(1038)->click();
        EXPECT_EQ(boxes.size(), 1);
        const QString prefix = "GStreamer Version:|" + QString::number(MB_OK | MB_ICONINFORMATION) + "|";
        if (boxes.size() != 1 || !boxes[0].startsWith(prefix)) return boxes.join("\n");
        return boxes[0].mid(prefix.size());
    }

    testutil::IsolatedHome home;
    QStringList boxes;
};

TEST_F(RuntimeCheck, StandInRuntimeInEachState)
{
    media::SetRuntimeLibrary(home.File("nowhere/libgstreamer-1.0.so.0"));
    EXPECT_EQ(Check().toStdString(), "GStreamer がインストールされていません。\n"
                                     "本ソフトを使用するには、Version 1.22 以上のGStreamer をインストールしてください。");

    media::SetRuntimeLibrary(FAKE_GSTREAMER);
    const struct {
        const char* version;
        const char* missing;
        const char* plugins;
        const char* message;
    } cases[] = {
        {"1.20.7", "", "",
         "GStreamer 1.20.7 がインストールされています。\n本ソフトを使用するにはバージョン1.22以上をインストールしてください。"},
        // A runtime whose major part is newer is new enough, whatever its minor.
        {"2.0.1", "", "", "GStreamer 2.0.1 がインストールされています。\n本ソフトは正常に動作します。"},
        {"1.22.0", "", "", "GStreamer 1.22.0 がインストールされています。\n本ソフトは正常に動作します。"},
        // Missing elements and one older, and one without a readable version,
        // in the table's order; a newer plugin is fine.
        {"1.24.2", "rsndvdbin,avdec_mpeg2video,", "rmdemux=1.18.6,pulsesink=1.22.0.1,gamma=git,",
         "GStreamer 1.24.2 がインストールされています。\n次のプラグインがないため、一部のメディアを再生できません。\n"
         "gamma (gstreamer1.0-plugins-good)\nrsndvdbin (gstreamer1.0-plugins-bad)\n"
         "rmdemux (gstreamer1.0-plugins-ugly)\navdec_mpeg2video (gstreamer1.0-libav)"},
    };
    for (const auto& c : cases) {
        qputenv("FAKE_GST_VERSION", c.version);
        qputenv("FAKE_GST_MISSING", c.missing);
        qputenv("FAKE_GST_PLUGINS", c.plugins);
        EXPECT_EQ(Check().toStdString(), c.message) << c.version;
    }
}

TEST_F(RuntimeCheck, RealRuntimeIsCompleteHere)
{
    QProcess config;
    config.start("pkg-config", {"--modversion", "gstreamer-1.0"});
    ASSERT_TRUE(config.waitForFinished());
    const QString version = QString::fromUtf8(config.readAllStandardOutput()).trimmed();
    EXPECT_EQ(Check(), "GStreamer " + version + " がインストールされています。\n本ソフトは正常に動作します。");
}

TEST_F(RuntimeCheck, RealRuntimeWithItsPluginsHidden)
{
    // In a process that starts the runtime afresh: this one runs it already.
    QDir().mkpath(home.File("plugins"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("GST_PLUGIN_SYSTEM_PATH_1_0", home.File("plugins"));
    environment.insert("GST_PLUGIN_PATH_1_0", home.File("plugins"));
    environment.insert("GST_REGISTRY_1_0", home.File("registry.bin"));
    QProcess probe;
    probe.setProcessEnvironment(environment);
    probe.start(RUNTIMECHECK_PROBE, QStringList());
    ASSERT_TRUE(probe.waitForFinished(60000));
    const QStringList lines = QString::fromUtf8(probe.readAllStandardOutput()).split('\n');
    ASSERT_EQ(lines.size(), 2 + media::RuntimeElements().size()) << lines.join('\n').toStdString();
    EXPECT_EQ(lines[1], "次のプラグインがないため、一部のメディアを再生できません。");
    EXPECT_TRUE(lines.contains("rsndvdbin (gstreamer1.0-plugins-bad)"));
    EXPECT_TRUE(lines.contains("playbin (gstreamer1.0-plugins-base)"));
}

}  // namespace
