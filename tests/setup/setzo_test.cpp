// The setup tool as a user meets it: its start-up beside the player, a second
// start, and the dialog's confirmation with the desktop following it.
#include "setup/SetZoApp.h"
#include "setup/SetZoDlg.h"

#include "platform/dialogs/dialogs.h"
#include "platform/shell/mimeapps.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <ostream>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMimeDatabase>
#include <QProcess>
#include <QTimer>

// Texts in the failure messages.
inline std::ostream& operator<<(std::ostream& out, const QString& text) { return out << text.toStdString(); }

// The tool's icons live in its library's resources (outside any namespace).
static void InitToolResources() { Q_INIT_RESOURCE(Zoset); }

namespace {

using testutil::ReadFile;
using testutil::WriteFile;

class SetupTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitToolResources();
        qputenv("XDG_DATA_HOME", home.File("share").toUtf8());
        folder = home.File("bin") + "/";
        ASSERT_TRUE(WriteFile(folder + "Zorvi", "#!/bin/sh\n"));
        dialogs::SetMessageBoxAnswerer([this](const dialogs::MessageBoxCall& call) {
            messages << call.caption + ": " + call.text;
            return IDOK;
        });
    }
    void TearDown() override
    {
        dialogs::SetMessageBoxAnswerer({});
        qunsetenv("XDG_DATA_HOME");
    }
    // One run of the dialog: `change` sets the boxes, then OK is pressed.
    void Confirm(const std::function<void(CSetZoDlg&)>& change)
    {
        CSetZoDlg dialog(folder);
        change(dialog);
        dialog.Control(1)->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    QString DefaultOf(const QString& type) const
    {
        QString value;
        return shell::FindDefaultApplication(QString::fromUtf8(ReadFile(shell::MimeAppsPath())), type, &value)
                   ? value
                   : QStringLiteral("-");
    }
    QString Share(const QString& path) const { return home.File("share/" + path); }

    testutil::IsolatedHome home;
    QString folder;
    QStringList messages;
};

TEST_F(SetupTool, StartsOnlyBesideThePlayer)
{
    CSetZoApp tool;
    EXPECT_EQ(tool.InitInstance(QString()), 1);
    EXPECT_EQ(tool.InitInstance(home.File("empty/Zoset")), 1);
    EXPECT_EQ(messages, QStringList({"エラー: 起動できません。", "メッセージ: Zorvi がありません。"}));
}

TEST_F(SetupTool, SecondStartBringsTheRunningDialogForward)
{
    int broughtForward = 0, secondExit = -1;
    QProcess second;
    QTimer::singleShot(0, [&] {
        CSetZoDlg* dialog = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<CSetZoDlg*>(w)) dialog = d;
        ASSERT_NE(dialog, nullptr);
        QObject::connect(dialog, &CSetZoDlg::broughtForward, [&] { ++broughtForward; });
        QObject::connect(&second, &QProcess::finished, [&, dialog](int code) {
            secondExit = code;
            dialog->reject();
        });
        second.start(ZOSET_PATH, {});
    });
    CSetZoApp tool;
    EXPECT_EQ(tool.InitInstance(folder + "Zoset"), 0);
    EXPECT_EQ(secondExit, 0);
    EXPECT_EQ(broughtForward, 1);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(SetupTool, ConfirmationRegistersAndTheDesktopFollows)
{
    const QString mp3 = QMimeDatabase().mimeTypeForName("audio/mpeg").name();
    WriteFile(shell::MimeAppsPath(), ("[Default Applications]\n" + mp3 + "=rhythmbox.desktop\n").toUtf8());

    // Cancel applies nothing.
    {
        CSetZoDlg dialog(folder);
        dialog.Control(1010)->setChecked(true);
        dialog.Control(2)->click();
    }
    EXPECT_EQ(DefaultOf(mp3), "rhythmbox.desktop");

    Confirm([](CSetZoDlg& d) {
        d.Control(1010)->setChecked(true);
        d.Control(1022)->setChecked(true);
        d.Control(1020)->setChecked(true);
    });
    EXPECT_EQ(DefaultOf(mp3), "zoravel.desktop");
    EXPECT_TRUE(QFile::exists(Share("applications/zoravel.desktop")));
    EXPECT_TRUE(QFile::exists(Share("icons/hicolor/48x48/mimetypes/zoravel-media.png")));
    const QString package = QString::fromUtf8(ReadFile(Share("mime/packages/Zoravel.xml")));
    EXPECT_TRUE(package.contains("application/x-zoravel-list") && package.contains("zoravel-media")) << package.toStdString();
    {
        CSetZoDlg dialog(folder);
        EXPECT_TRUE(dialog.Control(1010)->isChecked() && dialog.Control(1022)->isChecked());
        EXPECT_TRUE(dialog.Control(1020)->isChecked());
        EXPECT_FALSE(dialog.Control(1031)->isChecked() || dialog.Control(1005)->isChecked());
    }

    Confirm([](CSetZoDlg& d) {
        d.Control(1010)->setChecked(false);
        d.Control(1022)->setChecked(false);
        d.Control(1020)->setChecked(false);
    });
    EXPECT_EQ(DefaultOf(mp3), "rhythmbox.desktop");
    EXPECT_FALSE(QFile::exists(Share("applications/zoravel.desktop")));
    EXPECT_FALSE(QFile::exists(Share("mime/packages/Zoravel.xml")));
    EXPECT_FALSE(QFile::exists(Share("icons/hicolor/48x48/mimetypes/zoravel-media.png")));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(SetupTool, DvdHandlerFollowsItsVerb)
{
    if (!QMimeDatabase().mimeTypeForName("x-content/video-dvd").isValid()) GTEST_SKIP() << "no x-content types";
    {
        CSetZoDlg dialog(folder);
        QAbstractButton* verb = dialog.Control(1033);
        QAbstractButton* autoPlay = dialog.Control(1034);
        EXPECT_TRUE(verb->isEnabled());
        EXPECT_FALSE(autoPlay->isEnabled());
        verb->click();
        EXPECT_TRUE(autoPlay->isEnabled());
        autoPlay->click();
        dialog.Control(1)->click();
    }
    EXPECT_EQ(DefaultOf("x-content/video-dvd"), "zoravel-dvd.desktop");
    const QString entry = QString::fromUtf8(ReadFile(Share("applications/zoravel-dvd.desktop")));
    EXPECT_TRUE(entry.contains("Exec=\"" + folder + "Zorvi\" /DVD %f")) << entry.toStdString();
    {
        CSetZoDlg dialog(folder);
        EXPECT_TRUE(dialog.Control(1033)->isChecked() && dialog.Control(1034)->isChecked());
        // Without the verb the handler goes too.
        dialog.Control(1033)->click();
        EXPECT_FALSE(dialog.Control(1034)->isChecked() || dialog.Control(1034)->isEnabled());
        dialog.Control(1)->click();
    }
    EXPECT_EQ(DefaultOf("x-content/video-dvd"), "-");
    EXPECT_FALSE(QFile::exists(Share("applications/zoravel-dvd.desktop")));
}

}  // namespace
