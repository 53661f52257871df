// The media library window as the user meets it: called up from the main
// window's buttons and keys, chosen from with the mouse and keys, and gone
// again on a choice, Escape or the loss of activation, with exactly one
// notice to the main window each time.
#include "window_test_util.h"

#include "platform/dialogs/dialogs.h"
#include "player/tools/LibraryFile.h"
#include "player/tools/TMediaViewer.h"
#include "ui_TMediaViewer.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QListView>
#include <QTest>

using namespace mwtest;

namespace {

class LibraryWindow : public WindowTest {
protected:
    TLibraryFile List(const char* name) const { return TLibraryFile(Home(QStringLiteral("data/ListFiles/")) + QLatin1String(name)); }
    static TMediaViewer* Viewer(const QPointer<QWidget>& field) { return qobject_cast<TMediaViewer*>(field.data()); }
    static QListView* ListOf(TMediaViewer* viewer) { return viewer->Form()->LibraryListView; }
    static QStringList Rows(TMediaViewer* viewer)
    {
        QStringList rows;
        const QAbstractItemModel* model = ListOf(viewer)->model();
        for (int i = 0; i < model->rowCount(); ++i) rows << model->index(i, 0).data().toString();
        return rows;
    }
    // A click on row `row` as the user makes it: press and release on the row.
    static void ClickRow(TMediaViewer* viewer, int row)
    {
        QListView* list = ListOf(viewer);
        const QRect rect = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }
    static QAction* ViewItem(TMediaViewer* viewer, const QString& caption)
    {
        for (QAction* a : viewer->Form()->N7->actions())
            if (a->text() == caption) return a;
        return nullptr;
    }
    // Notices of the library's kind the main window has taken.
    int Notices() const { return Taken(WM_TOOLNOTIFY); }
    bool Freed(const QPointer<QWidget>& field)
    {
        return testutil::WaitUntil([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return field.isNull();
        });
    }
};

TEST_F(LibraryWindow, LibraryShowsWhatExistsFiltersByCategoryAndAClickPlaysAndCloses)
{
    MW_REQUIRE_FIXTURES();
    const QString a = Sound("m/a.wav");
    const QString b = Sound("m/b.wav");
    ASSERT_TRUE(MakeDir(Home("m/dir")));
    const TLibraryFile library = List(TLibraryFile::kLibrary);
    ASSERT_TRUE(library.Rewrite({{"Alpha", a}, {"Gone", Home("m/gone.wav")}, {"Dir", Home("m/dir")}, {"Beta", b}}));
    const QByteArray before = testutil::ReadFile(library.Path());
    Open();

    ui()->TBtnShowLibrary->click();
    TMediaViewer* viewer = Viewer(w->LibraryViewer);
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_FALSE(viewer->Busy());
    EXPECT_TRUE(w->DialogOpen());
    EXPECT_EQ(Rows(viewer), QStringList({"Alpha", "Dir", "Beta"}));
    // A second press of the button makes no second window.
    ui()->TBtnShowLibrary->click();
    EXPECT_EQ(Viewer(w->LibraryViewer), viewer);

    // The categories of the view menu filter; "all" brings everything back.
    ViewItem(viewer, "フォルダ/ドライブ")->trigger();
    EXPECT_EQ(Rows(viewer), QStringList({"Dir"}));
    ViewItem(viewer, "メディアファイル")->trigger();
    EXPECT_EQ(Rows(viewer), QStringList({"Alpha", "Beta"}));
    // Sorted by name descending; the key is the main window's and is written at exit.
    viewer->Form()->N21->trigger();
    EXPECT_EQ(Rows(viewer), QStringList({"Beta", "Alpha"}));
    EXPECT_EQ(w->Settings().LibrarySort, 2u);

    const int notices = Notices();
    ClickRow(viewer, 0);
    ASSERT_TRUE(Freed(w->LibraryViewer));
    ASSERT_TRUE(WaitPlaying());
    EXPECT_EQ(Paths(), QStringList({b}));
    EXPECT_EQ(Notices(), notices + 1);
    EXPECT_FALSE(w->DialogOpen());
    // The vanished entry stayed in the file; nothing was written to it.
    EXPECT_EQ(testutil::ReadFile(library.Path()), before);
    Close();
    EXPECT_EQ(MainDword("LibrarySort"), 2u);
}

TEST_F(LibraryWindow, NoLibraryGivesASmallEmptyWindowThatEscapeClosesWithOneNotice)
{
    Open();
    ASSERT_TRUE(w->isVisible());
    // Shift+L calls the library up; the key stands it at its button.
    Tap(Qt::Key_L, Qt::ShiftModifier);
    TMediaViewer* viewer = Viewer(w->LibraryViewer);
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->centralWidget()->size(), QSize(120, 40));
    EXPECT_TRUE(Rows(viewer).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(Home("data/ListFiles")));

    const int notices = Notices();
    QTest::keyClick(ListOf(viewer), Qt::Key_Escape);
    ASSERT_TRUE(Freed(w->LibraryViewer));
    Spin();
    EXPECT_EQ(Notices(), notices + 1);
    EXPECT_FALSE(QFileInfo::exists(Home("data/ListFiles")));
}

TEST_F(LibraryWindow, VanishedEntryAsksWhileTheWindowStaysAndDeactivationThenPostsOneNotice)
{
    MW_REQUIRE_FIXTURES();
    const QString a = Sound("v/a.wav");
    const QString b = Sound("v/b.wav");
    const TLibraryFile library = List(TLibraryFile::kLibrary);
    ASSERT_TRUE(library.Rewrite({{"A", a}, {"B", b}}));
    Open();
    ui()->TBtnShowLibrary->click();
    TMediaViewer* viewer = Viewer(w->LibraryViewer);
    ASSERT_NE(viewer, nullptr);
    ASSERT_TRUE(testutil::WaitUntil([&] { return QApplication::activeWindow() == viewer; }));

    // While the question is open the user goes to the main window: the
    // window is busy, posts nothing and stays.
    ASSERT_TRUE(QFile::remove(b));
    const int notices = Notices();
    QString asked;
    dialogs::SetMessageBoxAnswerer([&](const dialogs::MessageBoxCall& call) {
        asked = call.text;
        w->activateWindow();
        testutil::WaitUntil([&] { return QApplication::activeWindow() == w.get(); }, 2000);
        Spin();
        return IDYES;
    });
    ClickRow(viewer, 1);
    EXPECT_EQ(asked, "ファイルまたはフォルダが見つかりません。\nライブラリから削除しますか？");
    Spin();
    EXPECT_EQ(Notices(), notices);
    EXPECT_EQ(Viewer(w->LibraryViewer), viewer);
    // Yes unregistered it: the row and the file's line are gone.
    EXPECT_EQ(Rows(viewer), QStringList({"A"}));
    EXPECT_EQ(library.Read(), (std::vector<TLibraryEntry>{{"A", a}}));

    // Back in the window, then out of it: one notice, the window goes.
    viewer->activateWindow();
    ASSERT_TRUE(testutil::WaitUntil([&] { return QApplication::activeWindow() == viewer; }));
    w->activateWindow();
    ASSERT_TRUE(Freed(w->LibraryViewer));
    Spin();
    EXPECT_EQ(Notices(), notices + 1);
    EXPECT_TRUE(w->PlayList().IsEmpty());
}

TEST_F(LibraryWindow, FolderViewerListsTheChosenFolderAndRemembersFolderAndRow)
{
    MW_REQUIRE_FIXTURES();
    const QString one1 = Sound("one/1 first.wav");
    const QString one2 = Sound("one/2 second.wav");
    Sound("one/3 third.wav");
    Sound("two/x.wav");
    testutil::WriteFile(Home("two/notes.txt"), "not media");
    ASSERT_TRUE(List(TLibraryFile::kFolderLibrary)
                    .Rewrite({{"One", Home("one")}, {"Gone", Home("gone")}, {"Two", Home("two")}}));
    SetMainDword("LastSelectedFolder", 1);
    Open();

    ui()->TBtnShowFolder1->click();
    TMediaViewer* viewer = Viewer(w->FolderViewer);
    ASSERT_NE(viewer, nullptr);
    // The folder that is gone has no item; the remembered one (second) shows.
    EXPECT_EQ(ViewItem(viewer, "Gone"), nullptr);
    ASSERT_NE(ViewItem(viewer, "Two"), nullptr);
    EXPECT_TRUE(ViewItem(viewer, "Two")->isChecked());
    EXPECT_EQ(Rows(viewer), QStringList({"x"}));

    ViewItem(viewer, "One")->trigger();
    EXPECT_EQ(Rows(viewer), QStringList({"1 first", "2 second", "3 third"}));
    EXPECT_EQ(w->Settings().LastSelectedFolder, 0u);
    ClickRow(viewer, 1);
    ASSERT_TRUE(Freed(w->FolderViewer));
    ASSERT_TRUE(WaitPlaying());
    EXPECT_EQ(Paths(), QStringList({one2}));

    // Called up again it shows the same folder with the chosen row selected.
    ui()->TBtnShowFolder1->click();
    viewer = Viewer(w->FolderViewer);
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(ListOf(viewer)->currentIndex().row(), 1);
    // Enter on the row above plays it.
    QTest::keyClick(ListOf(viewer), Qt::Key_Up);
    QTest::keyClick(ListOf(viewer), Qt::Key_Return);
    ASSERT_TRUE(Freed(w->FolderViewer));
    ASSERT_TRUE(testutil::WaitUntil([&] { return Paths() == QStringList({one1}); }));

    // A file that vanished leaves the view on Yes; the folder stays registered.
    const QByteArray registered = testutil::ReadFile(List(TLibraryFile::kFolderLibrary).Path());
    ui()->TBtnShowFolder1->click();
    viewer = Viewer(w->FolderViewer);
    ASSERT_NE(viewer, nullptr);
    ASSERT_TRUE(QFile::remove(Home("one/3 third.wav")));
    dialogs::SetMessageBoxAnswerer([](const dialogs::MessageBoxCall&) { return IDYES; });
    ClickRow(viewer, 2);
    EXPECT_EQ(Rows(viewer), QStringList({"1 first", "2 second"}));
    EXPECT_EQ(Viewer(w->FolderViewer), viewer);
    EXPECT_EQ(testutil::ReadFile(List(TLibraryFile::kFolderLibrary).Path()), registered);
    Close();
    EXPECT_EQ(MainDword("LastSelectedFolder"), 0u);
}

// Putting the whole folder in the play list plays it from the top and drops
// the remembered row, so the viewer no longer comes up on it.
TEST_F(LibraryWindow, FolderViewerPutsTheWholeFolderInThePlayListAndForgetsTheRow)
{
    MW_REQUIRE_FIXTURES();
    const QStringList all = {Sound("one/1 first.wav"), Sound("one/2 second.wav"), Sound("one/3 third.wav")};
    ASSERT_TRUE(List(TLibraryFile::kFolderLibrary).Rewrite({{"One", Home("one")}}));
    Open();

    ui()->TBtnShowFolder1->click();
    TMediaViewer* viewer = Viewer(w->FolderViewer);
    ASSERT_NE(viewer, nullptr);
    ClickRow(viewer, 2);
    ASSERT_TRUE(Freed(w->FolderViewer));
    ASSERT_TRUE(WaitPlaying());
    EXPECT_EQ(w->RememberedFolderRow(), 2);

    ui()->TBtnShowFolder1->click();
    viewer = Viewer(w->FolderViewer);
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(ListOf(viewer)->currentIndex().row(), 2);
    viewer->Form()->N38->trigger();
    ASSERT_TRUE(Freed(w->FolderViewer));
    ASSERT_TRUE(testutil::WaitUntil([&] { return Paths() == all && w->OpenedPath() == all.first(); }));
    EXPECT_EQ(w->RememberedFolderRow(), 0);

    ui()->TBtnShowFolder1->click();
    viewer = Viewer(w->FolderViewer);
    ASSERT_NE(viewer, nullptr);
    EXPECT_LE(ListOf(viewer)->currentIndex().row(), 0);
}

TEST_F(LibraryWindow, PlayListViewerSortsTheListKeepingTheCurrentEntryAndPlaysTheClickedOne)
{
    MW_REQUIRE_FIXTURES();
    const QString a = Sound("p/a.wav");
    const QString b = Sound("p/b.wav");
    const QString c = Sound("p/c.wav");
    SetMainDword("Shuffle", 1);
    Open({c, a, b});
    ASSERT_TRUE(WaitPlaying());
    const QString playing = w->PlayList().Current()->Path;

    ui()->TBtnShowCombo->click();
    TMediaViewer* viewer = Viewer(w->ListViewer);
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->Kind(), 2);
    EXPECT_TRUE(viewer->Form()->MainMenu1->isHidden());
    EXPECT_EQ(ListOf(viewer)->currentIndex().row(), w->ListIndex());

    // Name order from the list's own menu: the list itself is sorted, the
    // playing entry stays current and the shuffle order follows it.
    viewer->Form()->N28->trigger();
    EXPECT_EQ(Paths(), QStringList({a, b, c}));
    EXPECT_EQ(w->PlayList().Current()->Path, playing);
    const TPlayListModel& list = w->PlayList();
    ASSERT_EQ(list.ShuffleOrder().size(), 3u);
    EXPECT_EQ(list.ShuffleOrder()[static_cast<size_t>(list.ShufflePosition())], list.ListIndex());
    EXPECT_EQ(w->Settings().ListSort, 1u);
    EXPECT_EQ(Rows(viewer).size(), 3);

    const int other = (list.ListIndex() + 1) % 3;
    ClickRow(viewer, other);
    ASSERT_TRUE(Freed(w->ListViewer));
    ASSERT_TRUE(testutil::WaitUntil([&] { return w->ListIndex() == other && w->PlayState() == psPlaying; }));
}

}  // namespace
