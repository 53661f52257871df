// WM_TOOLNOTIFY: the notices of the tool windows. A closing notice deletes
// its window once the notice has returned (the window may still be on the
// call stack of its own close handling) and clears the field; a notice for a
// window that no longer exists, or of an unknown kind, does nothing.
#include "window_test_util.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

using namespace mwtest;

namespace {

class ToolNotice : public WindowTest {
protected:
    void Notice(WPARAM wParam, LPARAM lParam) { w->SendMessage(WM_TOOLNOTIFY, wParam, lParam); }
    static void DeferredDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    // Every field a tool window lives in.
    std::vector<QPointer<QWidget>*> Fields()
    {
        return {&w->EndingWindow,      &w->CaptureWindow, &w->ListEditWindow, &w->LibraryEditWindow,
                &w->FileBrowserWindow, &w->BookmarkWindow, &w->LibraryViewer, &w->FolderViewer,
                &w->ListViewer};
    }
};

struct Row {
    WPARAM wParam;
    LPARAM lParam;
    QPointer<QWidget> TZoMain::*field;
};

const Row kCloseRows[] = {
    {1, 0, &TZoMain::CaptureWindow},     {2, 0, &TZoMain::ListEditWindow}, {2, 1, &TZoMain::LibraryEditWindow},
    {3, 0, &TZoMain::FileBrowserWindow}, {4, 0, &TZoMain::EndingWindow},   {5, 0, &TZoMain::BookmarkWindow},
};

TEST_F(ToolNotice, EachClosingRowDeletesItsOwnWindowAfterTheNotice)
{
    Open();
    for (const Row& row : kCloseRows) {
        SCOPED_TRACE(testing::Message() << "wParam " << row.wParam << " lParam " << row.lParam);
        // Every tool window is open; the notice closes only its own.
        std::vector<QPointer<QWidget>> tools;
        for (QPointer<QWidget>* field : Fields()) {
            auto* tool = new QWidget;
            tool->show();
            *field = tool;
            tools.emplace_back(tool);
        }
        QPointer<QWidget> mine = w.get()->*row.field;
        Notice(row.wParam, row.lParam);
        EXPECT_TRUE((w.get()->*row.field).isNull());
        // Still there while the notice's sender may be on the stack.
        EXPECT_FALSE(mine.isNull());
        DeferredDeletes();
        EXPECT_TRUE(mine.isNull());
        int open = 0;
        for (QPointer<QWidget>* field : Fields()) open += field->isNull() ? 0 : 1;
        EXPECT_EQ(open, static_cast<int>(Fields().size()) - 1);
        for (QPointer<QWidget>& tool : tools) delete tool.data();
    }
}

TEST_F(ToolNotice, BookmarkEditorNoticeClearsTheDialogFlagOnlyWhenTheEditorExists)
{
    Open();
    w->SetDialogOpen(true);
    Notice(5, 0);
    EXPECT_TRUE(w->DialogOpen());
    w->BookmarkWindow = new QWidget;
    Notice(5, 0);
    EXPECT_FALSE(w->DialogOpen());
    DeferredDeletes();
}

TEST_F(ToolNotice, NoticesWithoutTheirWindowsAndOfUnknownKindsDoNothing)
{
    MW_REQUIRE_FIXTURES();
    const QString a = Sound("n/a.wav");
    Open({a});
    ASSERT_TRUE(WaitPlaying());
    // Windows that are gone already.
    for (const Row& row : kCloseRows) {
        auto* tool = new QWidget;
        w.get()->*row.field = tool;
        delete tool;
        Notice(row.wParam, row.lParam);
        EXPECT_TRUE((w.get()->*row.field).isNull());
    }
    // Unknown notices leave open windows and what plays alone.
    auto* browser = new QWidget;
    w->FileBrowserWindow = browser;
    for (WPARAM unknown : {WPARAM(6), WPARAM(55), WPARAM(-1)}) Notice(unknown, 0);
    Notice(0, 7);
    Notice(0, -1);
    DeferredDeletes();
    EXPECT_EQ(w->FileBrowserWindow.data(), browser);
    EXPECT_EQ(Paths(), QStringList({a}));
    EXPECT_EQ(w->PlayState(), psPlaying);
    delete browser;
}

TEST_F(ToolNotice, PostedNoticeFromTheWindowsOwnCloseHandling)
{
    Open();
    // A tool window that reports its closing from inside its close event
    // and touches itself afterwards, as a real one does.
    class Tool : public QWidget {
    public:
        explicit Tool(TZoMain* main) : main_(main) {}
        int afterNotice = 0;

    protected:
        void closeEvent(QCloseEvent* e) override
        {
            main_->SendMessage(WM_TOOLNOTIFY, 3, 0);
            afterNotice = width() + 1;   // the window is still alive here
            QWidget::closeEvent(e);
        }

    private:
        TZoMain* main_;
    };
    auto* tool = new Tool(w.get());
    tool->show();
    w->FileBrowserWindow = tool;
    QPointer<Tool> watch(tool);
    tool->close();
    EXPECT_GT(tool->afterNotice, 0);
    EXPECT_TRUE(w->FileBrowserWindow.isNull());
    DeferredDeletes();
    EXPECT_TRUE(watch.isNull());

    // The posted form of a notice.
    auto* ending = new QWidget;
    w->EndingWindow = ending;
    QPointer<QWidget> endingWatch(ending);
    w->PostMessage(WM_TOOLNOTIFY, 4, 0);
    ASSERT_TRUE(testutil::WaitUntil([&] {
        DeferredDeletes();
        return endingWatch.isNull();
    }));
    EXPECT_TRUE(w->EndingWindow.isNull());
}

TEST_F(ToolNotice, LibraryNoticeFirstFreesTheLibraryWindows)
{
    // A window that is no busy library window is freed, shown or not (the
    // busy one that stays: library_window_test).
    Open();
    auto* closed = new QWidget;   // never shown: closed
    auto* open = new QWidget;
    open->show();
    w->LibraryViewer = closed;
    w->FolderViewer = open;
    QPointer<QWidget> closedWatch(closed);
    QPointer<QWidget> openWatch(open);
    Notice(0, 0);
    EXPECT_TRUE(w->LibraryViewer.isNull());
    EXPECT_TRUE(w->FolderViewer.isNull());
    DeferredDeletes();
    EXPECT_TRUE(closedWatch.isNull());
    EXPECT_TRUE(openWatch.isNull());
    EXPECT_TRUE(w->PlayList().IsEmpty());
}

TEST_F(ToolNotice, LibraryAsksToPlayTheEntryAtListIndex)
{
    MW_REQUIRE_FIXTURES();
    const QString a = Sound("lib/a.wav");
    const QString b = Sound("lib/b.wav");
    const QString c = Sound("lib/c.wav");
    Open({a, b, c});
    ASSERT_TRUE(WaitPlaying());
    w->PlayList().SetListIndex(2);
    Notice(0, 2);
    EXPECT_TRUE(WaitPlaying());
    EXPECT_EQ(w->ListIndex(), 2);
    EXPECT_EQ(Caption(), "Zoravel 3/3 c");
    EXPECT_FALSE(w->AddingItems());

    // An index outside the list opens nothing.
    w->PlayList().SetListIndex(7);
    Notice(0, 2);
    EXPECT_EQ(Paths().size(), 3);
    EXPECT_FALSE(w->AddingItems());
}

TEST_F(ToolNotice, LibraryAsksToPlayTheRefilledListFromItsFirstEntry)
{
    MW_REQUIRE_FIXTURES();
    const QString a = Sound("refill/a.wav");
    const QString b = Sound("refill/b.wav");
    Open();
    // Nothing to play: nothing happens.
    Notice(0, 3);
    EXPECT_EQ(w->Graph(), nullptr);
    // The library window refills the list and asks.
    w->AddPathOrPlayList(a);
    w->AddPathOrPlayList(b);
    Notice(0, 3);
    EXPECT_EQ(w->OpenedPath(), a);
    EXPECT_TRUE(WaitPlaying());
    EXPECT_EQ(w->ListIndex(), 0);
    EXPECT_FALSE(w->AddingItems());
}

// The media library sets ViewerPath before it posts its request.
void SetViewerPathThroughASecondStart(TZoMain* w, const QString& folder) { w->SetViewerPath(folder); }

TEST_F(ToolNotice, LibraryAsksToOpenTheFolderInViewerPath)
{
    MW_REQUIRE_FIXTURES();
    const QString a = Sound("folder/a.wav");
    Sound("folder/sub/b.wav");
    Open();
    // Without a path nothing happens.
    Notice(0, 1);
    EXPECT_TRUE(w->PlayList().IsEmpty());
    SetViewerPathThroughASecondStart(w.get(), Home("folder"));
    ASSERT_EQ(w->ViewerPath(), Home("folder"));

    Notice(0, 1);
    ASSERT_FALSE(Paths().isEmpty());
    EXPECT_EQ(Paths().first(), a);
    EXPECT_TRUE(WaitPlaying());
    EXPECT_FALSE(w->AddingItems());
}

// A folder opened from the library is added with its sub-folders, as every
// other folder is.
TEST_F(ToolNotice, LibraryFolderOpensWithItsSubFolders)
{
    MW_REQUIRE_FIXTURES();
    const QString a = Sound("folder/a.wav");
    const QString b = Sound("folder/sub/b.wav");
    Open();
    SetViewerPathThroughASecondStart(w.get(), Home("folder"));
    Notice(0, 1);
    EXPECT_EQ(Paths(), QStringList({a, b}));
}

}  // namespace
