// The countdown after playback: the pointer rule, and the whole flow from
// the end of a clip to the power request (a recording stand-in for logind)
// or to the cancel, and PowerState 1 closing the player.
#include "RecordingPower.h"
#include "player/tools/Countdown.h"
#include "player/tools/TEndingForm.h"
#include "window_test_util.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

using namespace mwtest;

namespace {

TEST(Countdown, PointerRuleAgainstTheFirstPositionWithDrift)
{
    struct Row {
        std::vector<QPoint> moves;   // one per tick, from (100, 100)
        int cancelledAt;             // 1-based tick, 0 for never
    };
    const Row rows[] = {
        {{{103, 103}, {97, 97}, {103, 97}}, 0},
        {{{104, 100}}, 1},
        {{{100, 96}}, 1},
        // Slow drift adds up: each step is small, the distance is not.
        {{{101, 100}, {102, 101}, {103, 102}, {104, 102}}, 4},
    };
    for (const Row& row : rows) {
        TCountdown count(QPoint(100, 100));
        int cancelledAt = 0;
        for (size_t i = 0; i < row.moves.size() && !cancelledAt; ++i)
            if (count.Tick(row.moves[i]) == TCountdown::Step::Cancelled) cancelledAt = int(i) + 1;
        EXPECT_EQ(cancelledAt, row.cancelledAt) << row.moves.back().x() << "," << row.moves.back().y();
    }
    // Twenty quiet ticks; the session's idle time going down is the user too.
    TCountdown count(QPoint(5, 5), 7000);
    for (int i = 1; i < 20; ++i) ASSERT_EQ(count.Tick(QPoint(5, 5), 7000 + i * 1000), TCountdown::Step::Counting);
    EXPECT_EQ(count.Remaining(), 1);
    EXPECT_EQ(count.Tick(QPoint(5, 5), -1), TCountdown::Step::Due);
    EXPECT_EQ(count.Remaining(), 0);
    TCountdown idle(QPoint(5, 5), 7000);
    EXPECT_EQ(idle.Tick(QPoint(5, 5), 8000), TCountdown::Step::Counting);
    EXPECT_EQ(idle.Tick(QPoint(5, 5), 200), TCountdown::Step::Cancelled);
}

class CountdownWindow : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        power::SetActionsForTest(&power);
        // The pointer decides here, not a desktop's idle time.
        qunsetenv("WAYLAND_DISPLAY");
        qunsetenv("XDG_SESSION_TYPE");
        QCursor::setPos(40, 40);
    }
    void TearDown() override
    {
        WindowTest::TearDown();
        power::SetActionsForTest(nullptr);
    }
    // A short clip plays to its end with the after-playback action on.
    void PlayToTheEnd(DWORD powerState)
    {
        SetMainDword("PowerState", powerState);
        SetMainDword("PowerControl", 1);
        Open({SilentClip(QStringLiteral("end.wav"), 300)});
        ASSERT_TRUE(ui()->TBPowerState->isChecked());
    }
    TEndingForm* Countdown() const { return qobject_cast<TEndingForm*>(w->EndingWindow.data()); }
    QString Text(const char* label) const { return Countdown()->findChild<QLabel*>(label)->text(); }
    // Runs the count at full speed from here on.
    void Hurry() { Countdown()->findChild<QTimer*>(QStringLiteral("Timer1"))->setInterval(1); }

    RecordingPower power;
};

TEST_F(CountdownWindow, EndOfAClipCountsDownThenHibernatesOrStandsBy)
{
    power.hibernateWorks = false;
    PlayToTheEnd(0);
    ASSERT_TRUE(testutil::WaitUntil([&] { return Countdown() && Countdown()->isVisible(); }, 10000));
    EXPECT_EQ(Text("LblPowerState"), "休止状態/スタンバイ状態に入ります。");
    EXPECT_EQ(Text("LblRemainTime"), "20秒");
    EXPECT_EQ(Countdown()->size(), QSize(219, 99));
    EXPECT_TRUE(Countdown()->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(Countdown()->geometry().center(), QGuiApplication::primaryScreen()->geometry().center());
    Hurry();
    ASSERT_TRUE(testutil::WaitUntil([&] { return !power.calls.isEmpty(); }));
    // The media closed first; the refused hibernation fell back to standby.
    EXPECT_EQ(w->Graph(), nullptr);
    EXPECT_EQ(power.calls, QStringList({"CanHibernate", "Hibernate", "Suspend"}));
    EXPECT_EQ(Text("LblRemainTime"), "0秒");
    EXPECT_EQ(Countdown()->findChild<QProgressBar*>()->value(), 20);
    // Taken: the window stays, counting no more, until a key closes it.
    ASSERT_TRUE(Countdown()->isVisible());
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    QCoreApplication::sendEvent(Countdown(), &key);
    EXPECT_TRUE(testutil::WaitUntil([&] { return w->EndingWindow.isNull(); }));
    EXPECT_EQ(power.calls.size(), 3);
}

TEST_F(CountdownWindow, AFourPixelMoveCancelsAndAFailedPowerOffClosesTheWindow)
{
    PlayToTheEnd(2);
    ASSERT_TRUE(testutil::WaitUntil([&] { return Countdown() != nullptr; }, 10000));
    EXPECT_EQ(Text("LblPowerState"), "電源を切ります。");
    QPointer<QWidget> first = w->EndingWindow;
    Hurry();
    QCursor::setPos(43, 43);
    ASSERT_TRUE(testutil::WaitUntil([&] { return Countdown()->Count().Count() >= 3; }));
    QCursor::setPos(40, 44);
    ASSERT_TRUE(testutil::WaitUntil([&] { return w->EndingWindow.isNull(); }));
    EXPECT_TRUE(testutil::WaitUntil([&] { return first.isNull(); }));
    EXPECT_TRUE(power.calls.isEmpty());

    // Again, left alone: power-off, refused, and the window goes.
    power.powerOffWorks = false;
    QCursor::setPos(40, 40);
    ui()->BtnStart->click();
    ASSERT_TRUE(WaitPlaying());
    ASSERT_TRUE(testutil::WaitUntil([&] { return Countdown() != nullptr; }, 10000));
    Hurry();
    ASSERT_TRUE(testutil::WaitUntil([&] { return w->EndingWindow.isNull(); }));
    EXPECT_EQ(power.calls, QStringList{"PowerOff"});
}

TEST_F(CountdownWindow, PowerStateOneClosesThePlayerInstead)
{
    PlayToTheEnd(1);
    ASSERT_TRUE(testutil::WaitUntil([&] { return !w->isVisible(); }, 10000));
    EXPECT_TRUE(w->EndingWindow.isNull());
    EXPECT_TRUE(power.calls.isEmpty());
}

TEST_F(CountdownWindow, PowerButtonFlipsTheFlagOfItsMode)
{
    Open();
    EXPECT_FALSE(ui()->TBPowerState->isChecked());
    ui()->TBPowerState->click();
    EXPECT_TRUE(ui()->TBPowerState->isChecked());
    EXPECT_EQ(ui()->TBPowerState->toolTip(), "電源を切る");
    ui()->TBPowerState->click();
    EXPECT_FALSE(ui()->TBPowerState->isChecked());
    ui()->TBPowerState->click();
    Close();
    EXPECT_EQ(MainDword("PowerControl"), 1u);
}

}  // namespace
