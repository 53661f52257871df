// The file browser as the user meets it: F2 opens it on a home of the
// test's own with a mount table of the test's own; folders list the media
// files of the Extension list, a double click plays, folder shortcuts bring
// a folder back, volumes come and go, and Escape closes it with its place
// and last folder kept for the next time.
#include "window_test_util.h"

#include "common/Reghelp.h"
#include "platform/dialogs/dialogs.h"
#include "platform/dialogs/inputs.h"
#include "platform/shell/drives.h"
#include "platform/shell/namespace.h"
#include "player/tools/LibraryFile.h"
#include "player/tools/TFileBrowser.h"
#include "ui_TFileBrowser.h"

#include <QFileInfo>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>

#include <deque>

using namespace mwtest;

namespace {

class FileBrowser : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        oldHome_ = qgetenv("HOME");
        qputenv("HOME", Home("user").toUtf8());
        MakeDir(Home("user/Desktop"));
        shell::SetDriveTable([] { return std::vector<shell::OpticalDrive>(); });
        shell::SetMountTable(Home("mountinfo"));
        Mounts({});
        dialogs::SetInputQueryAnswerer([this](const dialogs::InputQueryCall&) -> std::optional<QString> {
            if (answers.empty()) return std::nullopt;
            const QString answer = answers.front();
            answers.pop_front();
            return answer;
        });
    }
    void TearDown() override
    {
        dialogs::SetInputQueryAnswerer({});
        WindowTest::TearDown();
        shell::SetMountTable({});
        shell::SetDriveTable({});
        qputenv("HOME", oldHome_);
    }
    // The mount table: the root and one network mount for each folder.
    void Mounts(const QStringList& folders)
    {
        QByteArray table = "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n";
        int id = 30;
        for (const QString& folder : folders)
            table += QByteArray::number(id++) + " 22 0:50 / " + folder.toUtf8() +
                     " rw shared:9 - nfs4 server:/export rw\n";
        ASSERT_TRUE(testutil::WriteFile(Home("mountinfo"), table));
    }
    TFileBrowser* Browser() const { return qobject_cast<TFileBrowser*>(w->FileBrowserWindow.data()); }
    QTreeWidget* Tree() const { return Browser()->Form()->TreeView; }
    static QStringList Texts(const QTreeWidgetItem* node)
    {
        QStringList texts;
        for (int i = 0; node && i < node->childCount(); ++i) texts << node->child(i)->text(0);
        return texts;
    }
    // The node at the path of display names from the root's children down.
    QTreeWidgetItem* Node(const QStringList& names) const
    {
        QTreeWidgetItem* node = Browser()->RootNode();
        for (const QString& name : names) {
            QTreeWidgetItem* next = nullptr;
            for (int i = 0; node && i < node->childCount() && !next; ++i)
                if (node->child(i)->text(0) == name) next = node->child(i);
            node = next;
        }
        return node;
    }
    bool Freed()
    {
        return testutil::WaitUntil([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return w->FileBrowserWindow.isNull();
        });
    }
    std::deque<QString> answers;

private:
    QByteArray oldHome_;
};

const QString kDesktop = QString::fromUtf8(shell::kDesktopName);
const QString kComputer = QString::fromUtf8(shell::kComputerName);

TEST_F(FileBrowser, ListsMediaPlaysByDoubleClickKeepsShortcutsAndComesBackWhereItWas)
{
    MW_REQUIRE_FIXTURES();
    const QString tone = Sound("user/Desktop/media/b.wav");
    for (const char* name : {"a10.mp3", "a9.mp3", "x.zip", "y.txt", "z.AVI", ".hidden.wav"})
        testutil::WriteFile(Home("user/Desktop/media/") + name, "x");
    MakeDir(Home("user/Desktop/media/sub"));
    MakeDir(Home("user/Desktop/empty"));
    SetMainString("Extension", "*.wav;*.mp3;*.zip;*.AVI");
    Open();

    Tap(Qt::Key_F2);
    ASSERT_NE(Browser(), nullptr);
    EXPECT_EQ(Browser()->windowTitle(), "ファイルブラウザ");
    EXPECT_EQ(Tree()->topLevelItem(0)->text(0), kDesktop);
    EXPECT_EQ(Texts(Browser()->RootNode()), QStringList({"ホーム", kComputer, "empty", "media"}));
    // A folder with nothing to show has no expand button.
    EXPECT_EQ(Node({"empty"})->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);

    // Folders first, numbers as numbers; archives, other types, hidden
    // files and upper-case patterns stay out.
    Tree()->setCurrentItem(Node({"media"}));
    EXPECT_EQ(Texts(Node({"media"})), QStringList({"sub", "a9.mp3", "a10.mp3", "b.wav"}));
    // Collapsing and expanding lists the folder anew.
    Node({"media"})->setExpanded(false);
    testutil::WriteFile(Home("user/Desktop/media/c.wav"), "x");
    Node({"media"})->setExpanded(true);
    EXPECT_EQ(Texts(Node({"media"})).last(), "c.wav");

    // A double click plays; the folder it was in is remembered.
    QTreeWidgetItem* file = Node({"media", "b.wav"});
    Tree()->setCurrentItem(file);
    Tree()->scrollToItem(file);
    const QPoint at = Tree()->visualItemRect(file).center();
    QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(Tree()->viewport(), Qt::LeftButton, {}, at);
    ASSERT_TRUE(WaitPlaying());
    // The file is a link: its target plays.
    EXPECT_EQ(Paths(), QStringList({QFileInfo(tone).canonicalFilePath()}));
    EXPECT_EQ(Browser()->BrowsePath(), "media/" + kDesktop);

    // "現在のフォルダを登録" from a file registers its folder.
    answers = {"Media"};
    Browser()->Form()->MiResistFolder->trigger();
    const TLibraryFile shortcuts(Home("data/ListFiles/Folders.zorf"));
    EXPECT_EQ(shortcuts.Read(), (std::vector<TLibraryEntry>{{"Media", "media/" + kDesktop}}));
    // The shortcut brings the folder back after the tree was folded away.
    Browser()->RootNode()->setExpanded(false);
    QMenu* folders = Browser()->Form()->MiFolder;
    folders->popup(QPoint(0, 0));
    QAction* item = folders->actions().last();
    ASSERT_EQ(item->text(), "Media");
    folders->hide();
    item->trigger();
    EXPECT_EQ(Tree()->currentItem(), Node({"media"}));

    // Escape closes; the place and the folder are written.
    const int notices = Taken(WM_TOOLNOTIFY);
    QTest::keyClick(Tree(), Qt::Key_Escape);
    ASSERT_TRUE(Freed());
    EXPECT_EQ(Taken(WM_TOOLNOTIFY), notices + 1);
    {
        const RegKey key = RegKey::Open(HKEY_CURRENT_USER, TFileBrowser::kKey, KEY_READ);
        ASSERT_TRUE(key);
        QString path;
        RegReadString(key.get(), "Path", &path, 1024);
        EXPECT_EQ(path, "media/" + kDesktop);
        EXPECT_EQ(RegReadDword(key.get(), "Width", 0), 250u);
    }
    // A part that matches nothing is passed over: the folder is found below the desktop.
    {
        const RegKey key = RegKey::Create(HKEY_CURRENT_USER, TFileBrowser::kKey, KEY_WRITE);
        RegWriteString(key.get(), "Path", "sub/media/Gone/" + kDesktop);
    }
    Tap(Qt::Key_F2);
    ASSERT_NE(Browser(), nullptr);
    EXPECT_EQ(Tree()->currentItem(), Node({"media", "sub"}));

    // Ctrl held while choosing the shortcut removes its line.
    folders = Browser()->Form()->MiFolder;
    folders->popup(QPoint(0, 0));
    item = folders->actions().last();
    ASSERT_EQ(item->text(), "Media");
    QTest::mouseClick(folders, Qt::LeftButton, Qt::ControlModifier, folders->actionGeometry(item).center());
    EXPECT_TRUE(shortcuts.Read().empty());
    Close();
}

TEST_F(FileBrowser, VolumesArriveUnderTheComputerAndGoWhenUnmounted)
{
    MakeDir(Home("vol/one"));
    MakeDir(Home("vol/two"));
    testutil::WriteFile(Home("vol/two/song.mp3"), "x");
    Mounts({Home("vol/one")});
    SetMainString("Extension", "*.mp3");
    Open();
    Tap(Qt::Key_F2);
    ASSERT_NE(Browser(), nullptr);
    QTreeWidgetItem* computer = Node({kComputer});
    ASSERT_NE(computer, nullptr);
    Tree()->setCurrentItem(computer);
    EXPECT_EQ(Texts(computer), QStringList({"ファイルシステム", "one"}));

    // A new mount joins at the end after timer 30 saw it.
    Mounts({Home("vol/one"), Home("vol/two")});
    Browser()->Watcher()->Check();
    EXPECT_TRUE(Browser()->DriveTimerActive(30));
    ASSERT_TRUE(testutil::WaitUntil([&] { return Texts(computer).size() == 3; }));
    EXPECT_EQ(Texts(computer).last(), "two");
    EXPECT_FALSE(Browser()->DriveTimerActive(30));
    // A network volume is listed anew at every expansion.
    QTreeWidgetItem* two = Node({kComputer, "two"});
    two->setExpanded(true);
    EXPECT_EQ(Texts(two), QStringList({"song.mp3"}));

    // Unmounting removes the node at once.
    Mounts({Home("vol/two")});
    Browser()->Watcher()->Check();
    EXPECT_EQ(Texts(computer), QStringList({"ファイルシステム", "two"}));
    // The player's key for the browser closes it from inside.
    QTest::keyClick(Tree(), Qt::Key_F2);
    ASSERT_TRUE(Freed());
    Close();
}

}  // namespace
