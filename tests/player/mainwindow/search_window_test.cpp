// The folder search: the scan of one folder by the kinds of "検索ファイル",
// its stops, and the whole command through the real folder chooser of
// libzodlg.so, answered in-process.
#include "player/tools/TDlgSerch.h"
#include "player/units/Zodlg.h"
#include "window_test_util.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QPushButton>
#include <QTreeWidget>

#include <functional>

using namespace mwtest;

namespace {

// The chooser's items keep their folder's path; the items under a folder
// appear when it is opened.
QString FolderOf(const QTreeWidgetItem* item) { return item ? item->data(0, Qt::UserRole).toString() : QString(); }

void ChooseFolder(QTreeWidget* tree, const QString& folder)
{
    const auto holds = [&folder](const QTreeWidgetItem* item) {
        const QString path = FolderOf(item);
        return folder == path || folder.startsWith(path.endsWith('/') ? path : path + '/');
    };
    QTreeWidgetItem* item = nullptr;
    // The home folder's item before the root's, which holds every folder.
    for (int i = tree->topLevelItemCount() - 1; i >= 0 && !item; --i) {
        if (holds(tree->topLevelItem(i))) item = tree->topLevelItem(i);
    }
    while (item && FolderOf(item) != folder) {
        item->setExpanded(true);
        QTreeWidgetItem* below = nullptr;
        for (int i = 0; i < item->childCount() && !below; ++i) {
            if (holds(item->child(i))) below = item->child(i);
        }
        item = below;
    }
    ASSERT_TRUE(item) << folder.toStdString();
    tree->setCurrentItem(item);
}

class FolderSearch : public WindowTest {
protected:
    void TearDown() override
    {
        TZodlgLibrary::SetPathForTest({});
        WindowTest::TearDown();
    }
    // Calls `hook` at each entry the search adds, from inside the add.
    void OnAdd(const std::function<void()>& hook)
    {
        QObject::connect(&w->PlayList(), &QAbstractItemModel::rowsInserted, w.get(), hook);
    }
    QString File(const QString& relative)
    {
        EXPECT_TRUE(testutil::WriteFile(Home(relative), "data"));
        return Home(relative);
    }
};

TEST_F(FolderSearch, KindsHiddenFilesShortcutsAndTheStops)
{
    SetMainDword("SerchCustom1", 1);
    SetMainString("SerchFile1", QStringLiteral("mpeg"));
    SetMainDword("SerchCustom2", 1);
    SetMainString("SerchFile2", QStringLiteral("lnk"));
    Open();
    const QStringList want = {File("f/a.avi"), File("f/b.mpg"), File("f/c.MPEG"), File("target.wmv")};
    File("f/.hidden.avi");
    File("f/d.txt");
    File("f/e.mp3");   // MP3 is not chosen
    File("f/noext");
    File("f/sub/g.avi");
    ASSERT_TRUE(Link(Home("target.wmv"), Home("f/h.lnk")));
    ASSERT_TRUE(Link(Home("gone.avi"), Home("f/i.lnk")));

    w->SetScanGoesOn(true);
    {
        TDlgSerch search(*w, w.get());
        // Name order; MPEG and the custom "mpeg" both take c.MPEG, added once;
        // the shortcut adds its target, the broken one nothing.
        EXPECT_TRUE(search.SearchFolder(Home("f")));
        EXPECT_EQ(Paths(), want);
        EXPECT_TRUE(search.isHidden());
    }

    // The progress window shows once its time is up (here at the first
    // events); "中止" pressed there ends the search at the entry being added.
    w->CloseMedia();
    w->UpdateControlsForMedia(false);
    {
        TDlgSerch search(*w, w.get());
        search.findChild<QTimer*>(QStringLiteral("Timer1"))->setInterval(0);
        OnAdd([&] {
            if (search.isVisible()) search.findChild<QPushButton*>(QStringLiteral("Button1"))->click();
        });
        EXPECT_FALSE(search.SearchFolder(Home("f")));
        EXPECT_EQ(Paths(), want.mid(0, 2));
        EXPECT_TRUE(search.windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_EQ(search.size(), QSize(222, 60));
    }

    // The main window closing stops the search the same way.
    w->CloseMedia();
    w->UpdateControlsForMedia(false);
    QObject::disconnect(&w->PlayList(), &QAbstractItemModel::rowsInserted, w.get(), nullptr);
    w->SetScanGoesOn(true);
    {
        TDlgSerch search(*w, w.get());
        OnAdd([&] { w->close(); });
        EXPECT_FALSE(search.SearchFolder(Home("f")));
        EXPECT_EQ(Paths().size(), 1);
    }
}

TEST_F(FolderSearch, TheCommandSearchesTheChosenTreeAndPlaysItsFirstFile)
{
    TZodlgLibrary::SetPathForTest(QStringLiteral(ZODLG_PATH));
    SetMainDword("SerchAudio", 1);
    Open();
    const QStringList tree = {SilentClip("top/1.wav", 400), SilentClip("top/other/4.wav", 400),
                              SilentClip("top/sub/2.wav", 400), SilentClip("top/sub/deeper/3.wav", 400)};
    File("top/sub/skip.avi");   // AVI is chosen, but not as the displayed types are
    SetMainDword("SerchAVI", 0);

    // Every chooser that opens is answered: the folder, the two boxes, OK.
    struct Answer {
        QString folder;
        bool subFolders = true, followKinds = true;
    } answer{Home("top")};
    QStringList starts;   // the folder each chooser opened at
    QTimer chooser;
    chooser.setInterval(5);
    QObject::connect(&chooser, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != QLatin1String("CFolderBrowse")) return;
        auto* tree = modal->findChild<QTreeWidget*>();
        starts << FolderOf(tree->currentItem());
        ChooseFolder(tree, answer.folder);
        modal->findChild<QCheckBox*>(QStringLiteral("c1005"))->setChecked(answer.subFolders);
        modal->findChild<QCheckBox*>(QStringLiteral("c1006"))->setChecked(answer.followKinds);
        qobject_cast<QDialog*>(modal)->accept();
    });
    chooser.start();

    // While it runs, the progress window waits unseen and a second search does nothing.
    // (The scan processes events after each file; the list's views hear of
    // the entries once it has ended.)
    bool progressHidden = false;
    QTimer during;
    during.setInterval(0);
    QObject::connect(&during, &QTimer::timeout, [&] {
        auto* progress = w->findChild<TDlgSerch*>();
        if (!progress) return;
        during.stop();
        progressHidden = progress->isHidden();
        ui()->miFolderSerch->trigger();
    });
    during.start();
    ui()->miFolderSerch->trigger();
    EXPECT_EQ(starts.size(), 1);
    EXPECT_TRUE(progressHidden);
    // The folder first, then its sub-folders depth first, in name order.
    EXPECT_EQ(Paths(), tree);
    ASSERT_TRUE(WaitPlaying());
    EXPECT_EQ(w->Item().Path, tree[0]);

    // Again from the playing file's folder, each box on its own: only the
    // folder itself by the chosen kinds, then the folder and its sub-folders
    // by the displayed types. The list grows, the playing file goes on.
    answer = {Home("top/sub"), false, true};
    ui()->miFolderSerch->trigger();
    EXPECT_EQ(starts.value(1), Home("top"));
    EXPECT_EQ(Paths(), tree + QStringList({tree[2]}));
    answer = {Home("top/sub"), true, false};
    ui()->miFolderSerch->trigger();
    EXPECT_EQ(Paths(), tree + QStringList({tree[2], tree[2], Home("top/sub/skip.avi"), tree[3]}));
    EXPECT_EQ(w->Item().Path, tree[0]);
    EXPECT_FALSE(w->findChild<TDlgSerch*>());
}

}  // namespace
