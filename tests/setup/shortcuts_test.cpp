// The setup tool's shortcut boxes and its reset as a user meets them: the
// dialog confirmed on a temporary home, the launchers checked by the
// desktop's own tools and started through them with a stand-in player, and
// the order of the confirmation recorded by stand-ins for the desktop's
// programs.
#include "setup/SetZoDlg.h"

#include "common/Reghelp.h"
#include "platform/dialogs/dialogs.h"
#include "platform/shell/desktopmirror.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

static void InitToolResources() { Q_INIT_RESOURCE(Zoset); }

namespace {

using testutil::ReadFile;
using testutil::WriteFile;

class Shortcuts : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitToolResources();
        qputenv("XDG_DATA_HOME", home.File("share").toUtf8());
        SetDesktop(home.File("Desktop"), true);
        // A folder with a blank and a quote, as the Exec and Path lines must carry.
        folder = home.File("my \"apps\"") + "/";
        // The stand-in player writes its arguments, each ended by a zero byte.
        const QByteArray record = "for a do printf '%s\\0' \"$a\"; done > '" + home.File("args.tmp").toUtf8() + "' && mv '" +
                                  home.File("args.tmp").toUtf8() + "' '" + home.File("args").toUtf8() + "'\n";
        WriteFile(folder + "Zorvi", "#!/bin/sh\n" + record);
        WriteFile(folder + "Zoset", "#!/bin/sh\n" + record);
        QFile::setPermissions(folder + "Zorvi", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(folder + "Zoset", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // Stand-ins for the desktop's programs record when the dialog runs them.
        const QByteArray log = home.File("steps").toUtf8();
        const QByteArray registryFile = qgetenv("ZORAVEL_REGISTRY");
        const QByteArray state = "settings=$(grep -q 'Bruvo\\\\ZoDVD' '" + registryFile + "' && echo 1 || echo 0); " +
                                 "mp3=$(grep -q PlaywithZo '" + registryFile + "' && echo 1 || echo 0); ";
        WriteFile(home.File("tools/gio"), "#!/bin/sh\nif [ \"$1\" = set ]; then " + state + "echo \"trust $settings $mp3\" >> '" + log +
                                              "'; exit 0; fi\nexec /usr/bin/gio \"$@\"\n");
        WriteFile(home.File("tools/update-desktop-database"),
                  "#!/bin/sh\n" + state + "echo \"menu $settings $mp3\" >> '" + log + "'\n");
        for (const char* tool : {"tools/gio", "tools/update-desktop-database"})
            QFile::setPermissions(home.File(tool), QFile::ReadOwner | QFile::ExeOwner);
        path = qgetenv("PATH");
        qputenv("PATH", home.File("tools").toUtf8() + ":" + path);
        dialogs::SetMessageBoxAnswerer([this](const dialogs::MessageBoxCall& call) {
            messages << call.caption + ": " + call.text;
            return IDOK;
        });
    }
    void TearDown() override
    {
        dialogs::SetMessageBoxAnswerer({});
        qputenv("PATH", path);
        qunsetenv("XDG_DATA_HOME");
    }
    void SetDesktop(const QString& desktop, bool create)
    {
        if (create) QDir().mkpath(desktop);
        WriteFile(home.File("config/user-dirs.dirs"), "XDG_DESKTOP_DIR=\"" + desktop.toUtf8() + "\"\n");
    }
    void Confirm(const std::function<void(CSetZoDlg&)>& change)
    {
        CSetZoDlg dialog(folder);
        change(dialog);
        dialog.Control(1)->click();
    }
    QList<bool> Boxes(std::initializer_list<int> ids)
    {
        CSetZoDlg dialog(folder);
        QList<bool> checked;
        for (int id : ids) checked << dialog.Control(id)->isChecked();
        return checked;
    }
    // The arguments the stand-in player was last started with.
    QStringList Started()
    {
        if (!testutil::WaitUntil([&] { return QFileInfo::exists(home.File("args")); }, 10000)) return {"(not started)"};
        QList<QByteArray> parts = ReadFile(home.File("args")).split('\0');
        parts.removeLast();
        QFile::remove(home.File("args"));
        QStringList args;
        for (const QByteArray& part : parts) args << QString::fromUtf8(part);
        return args;
    }
    QString Share(const QString& name) const { return home.File("share/" + name); }
    QString Menu(const QString& name) const { return Share("applications/Zoravel/" + name); }

    testutil::IsolatedHome home;
    QString folder;
    QByteArray path;
    QStringList messages;
};

TEST_F(Shortcuts, LaunchersAreValidAndStartThePlayer)
{
    Confirm([](CSetZoDlg& d) {
        for (int id : {1017, 1018, 1019}) d.Control(id)->setChecked(true);
    });
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_EQ(Boxes({1017, 1018, 1019}), QList<bool>({true, true, true}));
    const QString desktop = home.File("Desktop/Zoravel.desktop");
    const QString services = Share("kio/servicemenus/zoravel.desktop");
    for (const QString& entry : {desktop, Menu("zoravel-player.desktop"), Menu("zoravel-setup.desktop"), services,
                                 Share("nautilus/scripts/Zoravel")})
        EXPECT_TRUE(QFileInfo(entry).isExecutable()) << entry.toStdString();
    EXPECT_TRUE(QFile::exists(Share("icons/hicolor/48x48/apps/zoravel.png")));
    EXPECT_TRUE(QFile::exists(Share("icons/hicolor/48x48/apps/zoravel-setup.png")));

    for (const QString& entry : {desktop, Menu("zoravel-player.desktop"), Menu("zoravel-setup.desktop")}) {
        QProcess validate;
        validate.start("desktop-file-validate", {entry});
        ASSERT_TRUE(validate.waitForFinished());
        EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();
    }
    // Started as the desktop starts them, with files for the player.
    const QString a = home.File("a b.mpg"), b = home.File("it's \"x\".mp3");
    EXPECT_EQ(QProcess::execute("gio", {"launch", desktop, a, b}), 0);
    EXPECT_EQ(Started(), QStringList({a, b}));
    EXPECT_EQ(QProcess::execute("gio", {"launch", Menu("zoravel-player.desktop")}), 0);
    EXPECT_EQ(Started(), QStringList());
    EXPECT_EQ(QProcess::execute("gio", {"launch", Menu("zoravel-setup.desktop")}), 0);
    EXPECT_EQ(Started(), QStringList());
    const QString service = QString::fromUtf8(ReadFile(services));
    EXPECT_TRUE(service.contains("Exec=" + shell::ExecProgram(folder + "Zorvi") + " %F\n")) << service.toStdString();

    Confirm([](CSetZoDlg& d) {
        for (int id : {1017, 1018, 1019}) d.Control(id)->setChecked(false);
    });
    EXPECT_EQ(Boxes({1017, 1018, 1019}), QList<bool>({false, false, false}));
    for (const QString& gone : {desktop, services, Share("nautilus/scripts/Zoravel"), Share("applications/Zoravel"),
                                Share("icons/hicolor/48x48/apps/zoravel.png")})
        EXPECT_FALSE(QFileInfo::exists(gone)) << gone.toStdString();
}

TEST_F(Shortcuts, SendToScriptPassesEachPathWhole)
{
    Confirm([](CSetZoDlg& d) { d.Control(1018)->setChecked(true); });
    const QString script = Share("nautilus/scripts/Zoravel");
    const QString here = home.File("in here");
    QDir().mkpath(here);
    const QStringList names{"a b.mpg", "it's \"q\" $(x) `y`.mp3", "line\nbreak.avi", "-dash.wav"};
    // Names in the working folder, as GNOME Files passes local files.
    QProcess run;
    run.setWorkingDirectory(here);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("NAUTILUS_SCRIPT_SELECTED_FILE_PATHS");
    run.setProcessEnvironment(environment);
    run.start(script, QStringList(names) << "/abs/olute.mpg");
    ASSERT_TRUE(run.waitForFinished());
    QStringList expected;
    for (const QString& name : names) expected << here + "/" + name;
    EXPECT_EQ(Started(), expected << "/abs/olute.mpg");
    // The list GNOME Files sets wins over the arguments, in its order.
    environment.insert("NAUTILUS_SCRIPT_SELECTED_FILE_PATHS", "/x/2 two.mpg\n/x/1 'one'.mp3\n");
    run.setProcessEnvironment(environment);
    run.start(script, {"ignored"});
    ASSERT_TRUE(run.waitForFinished());
    EXPECT_EQ(Started(), QStringList({"/x/2 two.mpg", "/x/1 'one'.mp3"}));
}

TEST_F(Shortcuts, ProgramsFolderKeepsWhatIsThere)
{
    // An empty folder of that name gets both entries.
    QDir().mkpath(Share("applications/Zoravel"));
    Confirm([](CSetZoDlg& d) { d.Control(1019)->setChecked(true); });
    EXPECT_TRUE(QFile::exists(Menu("zoravel-player.desktop")) && QFile::exists(Menu("zoravel-setup.desktop")));
    // Off, it keeps the folder while the user's own file is in it.
    WriteFile(Menu("notes.txt"), "mine");
    Confirm([](CSetZoDlg& d) { d.Control(1019)->setChecked(false); });
    EXPECT_EQ(QDir(Share("applications/Zoravel")).entryList(QDir::Files), QStringList({"notes.txt"}));
    // A file of ours that is there stays as it is; the missing one is written.
    WriteFile(Menu("zoravel-player.desktop"), "user's own");
    EXPECT_EQ(Boxes({1019}), QList<bool>({true}));
    QFile::remove(Menu("zoravel-player.desktop"));
    WriteFile(Menu("zoravel-setup.desktop"), "user's own");
    Confirm([](CSetZoDlg& d) { d.Control(1019)->setChecked(true); });
    EXPECT_EQ(ReadFile(Menu("zoravel-setup.desktop")), "user's own");
    EXPECT_TRUE(ReadFile(Menu("zoravel-player.desktop")).contains("Categories=AudioVideo;Player;\n"));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(Shortcuts, MissingDesktopFolderIsReportedAndNothingTakesItsPlace)
{
    SetDesktop(home.File("no desktop"), false);
    // Not in the home's own Desktop either, where a fallback would put it.
    const QString fallback = QDir::homePath() + "/Desktop/Zoravel.desktop";
    const bool fallbackBefore = QFileInfo::exists(fallback);
    Confirm([](CSetZoDlg& d) {
        d.Control(1017)->setChecked(true);
        d.Control(1019)->setChecked(true);
    });
    EXPECT_EQ(messages, QStringList({"Zoset: ショートカット作成失敗"}));
    EXPECT_FALSE(QFileInfo::exists(home.File("no desktop")));
    EXPECT_EQ(QFileInfo::exists(fallback), fallbackBefore);
    // The confirmation went on with the next box.
    EXPECT_TRUE(QFile::exists(Menu("zoravel-player.desktop")));
    EXPECT_EQ(Boxes({1017, 1019}), QList<bool>({false, true}));
}

TEST_F(Shortcuts, ResetTakesBackEverythingInOrder)
{
    struct Case {
        bool otherKey;   // a key of another program under Software\Bruvo
    };
    for (const Case c : {Case{false}, Case{true}}) {
        QFile::remove(home.File("steps"));
        {
            RegKey main = RegKey::Create(HKEY_CURRENT_USER, kMainKey, KEY_ALL_ACCESS);
            RegWriteDword(main.get(), "Volume", 7);
            if (c.otherKey) RegKey::Create(HKEY_CURRENT_USER, "Software\\Bruvo\\Other", KEY_ALL_ACCESS);
        }
        Confirm([](CSetZoDlg& d) {
            for (int id : {1010, 1022, 1017, 1018, 1019}) d.Control(id)->setChecked(true);
        });
        // The association came before the shortcuts, the caches' refresh last.
        EXPECT_EQ(ReadFile(home.File("steps")), "trust 1 1\nmenu 1 1\n");
        EXPECT_EQ(Boxes({1010, 1022, 1017, 1018, 1019}), QList<bool>({true, true, true, true, true}));

        // Checked and unchecked again, every box is as it was and OK changes nothing.
        const QByteArray registry = ReadFile(qgetenv("ZORAVEL_REGISTRY"));
        QFile::remove(home.File("steps"));
        {
            CSetZoDlg dialog(folder);
            dialog.Control(1035)->click();
            for (int id : {1005, 1010, 1022, 1017, 1019, 1033})
                EXPECT_FALSE(dialog.Control(id)->isChecked() || dialog.Control(id)->isEnabled()) << id;
            dialog.Control(1035)->click();
            for (int id : {1010, 1022, 1017, 1018, 1019})
                EXPECT_TRUE(dialog.Control(id)->isChecked() && dialog.Control(id)->isEnabled()) << id;
            EXPECT_TRUE(dialog.Control(1005)->isEnabled() && !dialog.Control(1005)->isChecked());
            dialog.Control(1)->click();
        }
        EXPECT_EQ(ReadFile(qgetenv("ZORAVEL_REGISTRY")), registry);
        EXPECT_FALSE(QFile::exists(home.File("steps")));

        Confirm([](CSetZoDlg& d) { d.Control(1035)->click(); });
        EXPECT_EQ(Boxes({1010, 1022, 1017, 1018, 1019}), QList<bool>({false, false, false, false, false}));
        EXPECT_FALSE(QFileInfo::exists(home.File("Desktop/Zoravel.desktop")));
        EXPECT_FALSE(QFileInfo::exists(Share("applications/zoravel.desktop")));
        EXPECT_FALSE(QFileInfo::exists(Share("applications/Zoravel")));
        EXPECT_FALSE(RegKey::Open(HKEY_CURRENT_USER, kZoravelKey, KEY_READ));
        EXPECT_EQ(bool(RegKey::Open(HKEY_CURRENT_USER, kBruvoKey, KEY_READ)), c.otherKey);
        // The caches are refreshed after the registrations and the settings went.
        EXPECT_EQ(ReadFile(home.File("steps")), "menu 0 0\n");
        RegDeleteKey(HKEY_CURRENT_USER, kBruvoKey);
    }
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

}  // namespace
