// Messages of the window procedure besides the tool notices: suspend
// requests, the end of the session, the status text and its timer.
#include "window_test_util.h"

#include "platform/dialogs/dialogs.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <csignal>

using namespace mwtest;

namespace {

class Messages : public WindowTest {};

TEST_F(Messages, SuspendRequestClosesWhatPlays)
{
    MW_REQUIRE_FIXTURES();
    const QString a = Home("s/a.wav");
    ASSERT_TRUE(Link(Fixture("tone.wav"), a));
    Open({a});
    ASSERT_TRUE(WaitPlaying());
    w->resize(500, 400);
    // Other power events change nothing.
    w->SendMessage(WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
    EXPECT_NE(w->Graph(), nullptr);

    w->SendMessage(WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0);
    EXPECT_EQ(w->Graph(), nullptr);
    EXPECT_TRUE(w->PlayList().IsEmpty());
    EXPECT_EQ(w->PlayState(), psNothing);
    EXPECT_EQ(Caption(), "Zoravel");
    EXPECT_EQ(w->width(), 290);
    EXPECT_EQ(w->height(), 60);
    EXPECT_TRUE(w->isVisible());
}

TEST_F(Messages, SuspendRequestWithTheCountdownOpenEndsTheProgram)
{
    Open();
    auto* countdown = new QWidget;
    w->EndingWindow = countdown;
    w->SendMessage(WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0);
    EXPECT_FALSE(w->isVisible());
    delete countdown;
}

TEST_F(Messages, EndOfSessionClosesTheWindow)
{
    Open();
    w->SendMessage(WM_QUERYENDSESSION, 0, 0);
    EXPECT_FALSE(w->isVisible());
    // The settings are written when the window goes.
    Close();
    EXPECT_EQ(MainValueCount(), 23);
}

// The session ends while a box of the start-up is open, before the window
// is made: the box is answered, and the window ends as soon as it is made.
TEST_F(Messages, EndOfSessionBeforeTheWindowAnswersTheBoxAndEndsTheWindow)
{
    Open();   // the signals are watched from the first window on
    Close();
    dialogs::SetMessageBoxAnswerer({});
    bool shown = false;
    QTimer ending;
    QObject::connect(&ending, &QTimer::timeout, [&] {
        if (!qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) return;
        shown = true;
        ending.stop();
        std::raise(SIGTERM);
    });
    ending.start(10);
    EXPECT_EQ(MessageBox(nullptr, "設定ファイルは読めません。", "エラー", MB_OK | MB_ICONERROR), IDOK);
    EXPECT_TRUE(shown);
    Open();
    EXPECT_TRUE(testutil::WaitUntil([&] { return !w->isVisible(); }));
    dialogs::SetSessionEnding(false);
    Close();
    EXPECT_EQ(MainValueCount(), 23);
}

TEST_F(Messages, StatusTextShowsForTwoSecondsByTimer13)
{
    Open();
    w->resize(400, 300);
    w->ShowStatusText("再生");
    EXPECT_TRUE(ui()->TxtInfo->isVisible());
    EXPECT_EQ(ui()->TxtInfo->text(), "再生");
    EXPECT_TRUE(w->IsTimerSet(13));
    EXPECT_LE(ui()->TxtInfo->geometry().right(), ui()->ViewPanel->geometry().right());
    // The timer's message hides and empties the label and ends the timer.
    w->SendMessage(WM_TIMER, 13, 0);
    EXPECT_FALSE(ui()->TxtInfo->isVisible());
    EXPECT_TRUE(ui()->TxtInfo->text().isEmpty());
    EXPECT_FALSE(w->IsTimerSet(13));

    // No room in the empty window's panel: nothing is shown.
    w->UpdateControlsForMedia(true);
    w->ShowStatusText("x");
    EXPECT_FALSE(ui()->TxtInfo->isVisible());
}

TEST_F(Messages, UnusedTimersAndMessagesAreHarmless)
{
    Open();
    for (UINT id : {2u, 3u, 5u, 11u, 14u, 15u, 16u, 99u}) w->SendMessage(WM_TIMER, id, 0);
    for (UINT msg : {UINT(WM_KILLFOCUS), UINT(WM_CAPTURECHANGED), UINT(WM_DISPLAYCHANGE), UINT(WM_DVDTIMEUPDATE),
                     UINT(WM_DVDNOTIFY), UINT(WM_GRAPHNOTIFY), UINT(WM_USER + 99)})
        w->SendMessage(msg, 0, 0);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->PlayState(), psNothing);
}

}  // namespace
