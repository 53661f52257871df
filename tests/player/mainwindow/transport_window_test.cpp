// The transport through the real window on the fixture media: a seek-bar
// drag that seeks where the bar is let go, a click on the bar, Stop (rewind,
// then close), play and pause, held fast forward, rewind and skip with their
// repeat and its cancellation, frame steps, the rate label, the volume
// curve, a relative seek while playing, an error after playback has started,
// graph events that arrive while a folder scan runs, and the position timer
// that rests while the item is paused.
#include "player/units/Imagelist.h"
#include "player/units/Opendialogex.h"
#include "window_test_util.h"

#include <gst/base/gstbasesink.h>

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <atomic>

using namespace mwtest;

namespace {

constexpr REFERENCE_TIME kSecond = 10000000;

// ---- a sound sink that fails on demand, as a device that goes away ----

std::atomic<bool> g_failNow{false};

struct ZoFailingSink {
    GstBaseSink parent;
};
struct ZoFailingSinkClass {
    GstBaseSinkClass parent_class;
};
G_DEFINE_TYPE(ZoFailingSink, zo_failing_sink, GST_TYPE_BASE_SINK)

GstFlowReturn FailingRender(GstBaseSink* sink, GstBuffer*)
{
    if (!g_failNow) return GST_FLOW_OK;
    GST_ELEMENT_ERROR(sink, RESOURCE, WRITE, ("device gone"), (nullptr));
    return GST_FLOW_ERROR;
}

void zo_failing_sink_class_init(ZoFailingSinkClass* klass)
{
    static GstStaticPadTemplate sinkTemplate =
        GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);
    auto* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element, &sinkTemplate);
    gst_element_class_set_static_metadata(element, "Failing sink", "Sink/Audio", "Fails on demand", "Zoravel");
    GST_BASE_SINK_CLASS(klass)->render = FailingRender;
}

void zo_failing_sink_init(ZoFailingSink* self) { gst_base_sink_set_sync(GST_BASE_SINK(self), TRUE); }

class TransportWindow : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        if (!FixturesMade()) GTEST_SKIP() << "media fixtures not made";
    }
    void TearDown() override
    {
        TOpenDialogEx::SetAnswerer(nullptr);
        WindowTest::TearDown();
    }
    REFERENCE_TIME Position() const
    {
        REFERENCE_TIME p = -1;
        if (w->Graph()) w->Graph()->GetCurrentPosition(&p);
        return p;
    }
    double Seconds() const { return static_cast<double>(Position()) / kSecond; }
    // A silent sound file of `seconds` in the home (8 kHz, 16-bit mono):
    // long enough for the steps that the fixtures are too short for.
    QString LongClip(int seconds = 60) const { return SilentClip(QStringLiteral("long.wav"), seconds * 1000); }
    bool Running() const { return w->Graph() && w->Graph()->State() == media::GraphState::Running; }
    // The position has settled near `seconds` (a seek in flight reads as its target).
    bool WaitAt(double seconds, double tolerance = 0.15)
    {
        return testutil::WaitUntil([&] { return std::abs(Seconds() - seconds) < tolerance; }, 10000);
    }
};

TEST_F(TransportWindow, PlayPauseAndStopFollowTheStateAndStopKeepsItsPositionApart)
{
    SetMainDword("ResumePosition", 1);
    Open({LongClip()});
    ASSERT_TRUE(WaitPlaying());
    QToolButton* start = ui()->BtnStart;
    EXPECT_EQ(ButtonImageIndex(start), StartImage::Pause);
    EXPECT_EQ(start->toolTip(), "一時停止");

    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(w->PlayState(), psPaused);
    EXPECT_FALSE(Running());
    EXPECT_EQ(ButtonImageIndex(start), StartImage::Play);
    EXPECT_EQ(start->toolTip(), "再生");

    // Stopped at 12.3 s: the resume file's position is kept in tenths, the
    // item rewinds to its start, paused.
    ASSERT_TRUE(SUCCEEDED(w->SeekTo(123 * kSecond / 10)));
    ASSERT_TRUE(WaitAt(12.3, 0.01));
    QTest::mouseClick(ui()->BtnStop, Qt::LeftButton);
    EXPECT_EQ(w->PlayState(), psStopped);
    EXPECT_EQ(w->Item().StoppedAt, 123);
    EXPECT_TRUE(WaitAt(0));
    EXPECT_EQ(ui()->tnTime->text(), "0:00:00");

    // Play from the stop plays from the start.
    QTest::mouseClick(start, Qt::LeftButton);
    ASSERT_TRUE(WaitPlaying());
    EXPECT_LT(Seconds(), 1.0);
    EXPECT_EQ(ButtonImageIndex(start), StartImage::Pause);
}

TEST_F(TransportWindow, HeldFastForwardRepeatsEveryIntervalUntilReleasedOrTheFocusGoes)
{
    SetMainDword("FastForwardLength", 2);
    SetMainDword("SeekInterval", 100);
    Open({LongClip()});
    ASSERT_TRUE(WaitPlaying());
    QToolButton* ff = ui()->TBtnFastforward;
    ASSERT_TRUE(ff->isEnabled());

    // The press steps at once; the file stays paused while the button is held.
    QElapsedTimer held;
    held.start();
    QTest::mousePress(ff, Qt::LeftButton);
    EXPECT_TRUE(w->Probe().HeldButtons().FastForward);
    EXPECT_TRUE(w->IsTimerSet(kHeldRepeatTimer));
    EXPECT_GE(Seconds(), 2.0);
    EXPECT_LT(Seconds(), 2.8);
    EXPECT_EQ(w->PlayState(), psPlaying);
    EXPECT_FALSE(Running());
    // Four more steps of 2 s take at least three intervals.
    ASSERT_TRUE(testutil::WaitUntil([&] { return Seconds() >= 10.0; }, 10000)) << Seconds();
    EXPECT_GE(held.elapsed(), 300);
    EXPECT_FALSE(Running());

    // Released: no more steps, and the file plays on from where it got to.
    QTest::mouseRelease(ff, Qt::LeftButton);
    EXPECT_FALSE(w->Probe().HeldButtons().Any());
    EXPECT_FALSE(w->IsTimerSet(kHeldRepeatTimer));
    ASSERT_TRUE(WaitPlaying());
    EXPECT_LT(Seconds(), 11.0);

    // Rewind held, then the window loses the focus: the repeat ends there and
    // the file plays on; the release that follows changes nothing.
    w->TogglePlayPause();
    ASSERT_EQ(w->PlayState(), psPaused);
    ASSERT_TRUE(SUCCEEDED(w->SeekTo(20 * kSecond)));
    ASSERT_TRUE(WaitAt(20, 0.01));
    w->TogglePlayPause();
    ASSERT_TRUE(WaitPlaying());
    const double before = Seconds();
    QTest::mousePress(ui()->TBtnRewind, Qt::LeftButton);
    EXPECT_TRUE(w->Probe().HeldButtons().Rewind);
    EXPECT_NEAR(Seconds(), before - 2.0, 0.3);
    w->SendMessage(WM_KILLFOCUS, 0, 0);
    EXPECT_FALSE(w->Probe().HeldButtons().Any());
    EXPECT_FALSE(w->IsTimerSet(kHeldRepeatTimer));
    EXPECT_TRUE(Running());
    const double released = Seconds();
    QTest::mouseRelease(ui()->TBtnRewind, Qt::LeftButton);
    EXPECT_TRUE(Running());
    EXPECT_GE(Seconds(), released);
}

TEST_F(TransportWindow, SkipMovesBySkipLengthBothWaysAndNotBeforeTheStart)
{
    SetMainDword("SkipLength", 10);
    Open({LongClip()});
    ASSERT_TRUE(WaitPlaying());
    QToolButton* skip = ui()->BtnSkip;
    EXPECT_EQ(Tag(skip), 10);
    QTest::mouseClick(ui()->BtnStart, Qt::LeftButton);
    ASSERT_EQ(w->PlayState(), psPaused);
    ASSERT_TRUE(SUCCEEDED(w->SeekTo(5 * kSecond)));
    ASSERT_TRUE(WaitAt(5, 0.01));

    // The left button skips forward; paused, the bar and the time follow.
    QTest::mouseClick(skip, Qt::LeftButton);
    EXPECT_TRUE(WaitAt(15, 0.01));
    EXPECT_EQ(ui()->tnTime->text(), "0:00:15");
    EXPECT_NEAR(ui()->TrackBarForSeek->value(), 150, 1);
    EXPECT_EQ(w->PlayState(), psPaused);
    // The right button skips backward, showing the backward image while held,
    // and never before the start.
    QTest::mousePress(skip, Qt::RightButton);
    EXPECT_EQ(ButtonImageIndex(skip), ToolImage::SkipBackward);
    EXPECT_TRUE(WaitAt(5, 0.01));
    QTest::mouseRelease(skip, Qt::RightButton);
    EXPECT_EQ(ButtonImageIndex(skip), ToolImage::SkipForward);
    QTest::mouseClick(skip, Qt::RightButton);
    EXPECT_TRUE(WaitAt(0, 0.01));
    EXPECT_EQ(ui()->tnTime->text(), "0:00:00");

    // Held while playing it repeats; a lost capture ends the repeat and the file plays on.
    QTest::mouseClick(ui()->BtnStart, Qt::LeftButton);
    ASSERT_TRUE(WaitPlaying());
    QTest::mousePress(skip, Qt::LeftButton);
    EXPECT_TRUE(w->Probe().HeldButtons().SkipForward);
    ASSERT_TRUE(testutil::WaitUntil([&] { return Seconds() >= 30.0; }, 10000)) << Seconds();
    EXPECT_FALSE(Running());
    w->SendMessage(WM_CAPTURECHANGED, 0, 0);
    EXPECT_FALSE(w->IsTimerSet(kHeldRepeatTimer));
    EXPECT_FALSE(w->Probe().HeldButtons().Any());
    ASSERT_TRUE(WaitPlaying());
    QTest::mouseRelease(skip, Qt::LeftButton);
    EXPECT_LT(Seconds(), 45.0);
}

TEST_F(TransportWindow, ClickOnTheSeekBarLandsWhereClicked)
{
    Open({LongClip()});
    ASSERT_TRUE(WaitPlaying());
    QSlider* bar = ui()->TrackBarForSeek;
    const int max = bar->maximum();
    ASSERT_EQ(max, 600);
    const QRect groove = SliderPart(bar, QStyle::SC_SliderGroove);
    const int travel = groove.width() - 7;
    ASSERT_GT(travel, 100);
    const int x = groove.left() + 3 + travel * 3 / 4;

    // Playing sound: the click pauses and moves the bar, the position timer
    // seeks there and plays on.
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(x, bar->height() / 2));
    EXPECT_NEAR(bar->value(), 450, max / travel + 1);
    EXPECT_FALSE(w->Probe().IsSeekBarBusy());
    ASSERT_TRUE(testutil::WaitUntil([&] { return std::abs(Seconds() - 45.0) < 1.0 && Running(); }, 10000))
        << Seconds();
    EXPECT_EQ(w->PlayState(), psPlaying);

    // Left of the groove is the start.
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(0, bar->height() / 2));
    EXPECT_EQ(bar->value(), 0);
    ASSERT_TRUE(testutil::WaitUntil([&] { return Seconds() < 1.0 && Running(); }, 10000)) << Seconds();

    // A click that cannot be converted (no groove to speak of) leaves the
    // bar free: the drag after it still seeks.
    bar->resize(6, bar->height());
    w->TrackBarForSeekEnter(3);
    EXPECT_FALSE(w->Probe().IsSeekBarBusy());
    w->LayoutControls();
    bar->setSliderDown(true);
    bar->setValue(max / 2);
    bar->setSliderDown(false);
    EXPECT_TRUE(testutil::WaitUntil([&] { return std::abs(Seconds() - 30.0) < 1.0; }, 10000)) << Seconds();
}

TEST_F(TransportWindow, FrameStepMovesOneFrameEachWayAndRepeatsWhileHeld)
{
    Open({Fixture("mpeg1.mpg")});
    ASSERT_TRUE(WaitPlaying());
    QToolButton* step = ui()->BtnStepFrame;
    ASSERT_TRUE(step->isEnabled());
    constexpr REFERENCE_TIME kFrame = kSecond / 25;

    // A step pauses first. Each step shows one more frame, one frame later.
    const quint64 playedFrames = w->Graph()->FramesShown();
    QTest::mouseClick(step, Qt::LeftButton);
    EXPECT_EQ(w->PlayState(), psPaused);
    EXPECT_FALSE(Running());
    ASSERT_TRUE(testutil::WaitUntil([&] { return w->Graph()->FramesShown() > playedFrames; }, 10000));
    auto stepOnce = [&](Qt::MouseButton button) {
        const quint64 shown = w->Graph()->FramesShown();
        const REFERENCE_TIME before = Position();
        QTest::mouseClick(step, button);
        // Read once the step has landed: positions read while it lands pass by.
        return testutil::WaitUntil(
            [&] { return w->Graph()->FramesShown() > shown && !w->Graph()->IsSettling() && Position() != before; },
            10000);
    };
    ASSERT_TRUE(stepOnce(Qt::LeftButton));
    const REFERENCE_TIME at = Position();
    ASSERT_TRUE(stepOnce(Qt::LeftButton));
    EXPECT_NEAR(static_cast<double>(Position() - at), kFrame, kFrame / 4);
    const REFERENCE_TIME next = Position();
    // The right button steps back one frame.
    QTest::mouseClick(step, Qt::RightButton);
    ASSERT_TRUE(testutil::WaitUntil([&] { return !w->Graph()->IsSettling() && Position() < next; }, 10000));
    EXPECT_NEAR(static_cast<double>(next - Position()), kFrame, kFrame / 4);
    EXPECT_EQ(ButtonImageIndex(step), ToolImage::StepForward);
    // At the start a backward step stays there.
    ASSERT_TRUE(SUCCEEDED(w->SeekTo(0)));
    ASSERT_TRUE(WaitAt(0, 0.001));
    QTest::mouseClick(step, Qt::RightButton);
    // Read once what the click sent (a seek to the start) has landed.
    ASSERT_TRUE(testutil::WaitUntil([&] { return !w->Graph()->IsSettling(); }, 10000));
    EXPECT_EQ(Position(), 0);

    // Held, the steps repeat until the release.
    QTest::mousePress(step, Qt::LeftButton);
    EXPECT_TRUE(w->Probe().HeldButtons().StepFrame);
    EXPECT_TRUE(w->IsTimerSet(kFrameStepTimer));
    ASSERT_TRUE(testutil::WaitUntil([&] { return Position() >= 3 * kFrame; }, 10000)) << Seconds();
    QTest::mouseRelease(step, Qt::LeftButton);
    EXPECT_FALSE(w->Probe().HeldButtons().StepFrame);
    EXPECT_FALSE(w->IsTimerSet(kFrameStepTimer));
    EXPECT_EQ(w->PlayState(), psPaused);
}

TEST_F(TransportWindow, RateShowsInTheRateLabelUntilTheItemCloses)
{
    Open({LongClip()});
    ASSERT_TRUE(WaitPlaying());
    QLabel* label = ui()->STxtbai;
    EXPECT_EQ(label->text(), "1x");
    ASSERT_EQ(w->SetRate(2.0), S_OK);
    EXPECT_EQ(label->text(), "2x");
    double rate = 0;
    ASSERT_EQ(w->Graph()->GetRate(&rate), S_OK);
    EXPECT_EQ(rate, 2.0);
    ASSERT_EQ(w->SetRate(0.5), S_OK);
    EXPECT_EQ(label->text(), "0.5x");
    EXPECT_EQ(w->Item().PlaybackRate, 0.5);
    // A rate the graph refuses changes nothing.
    EXPECT_TRUE(FAILED(w->SetRate(0)));
    EXPECT_EQ(label->text(), "0.5x");
    EXPECT_EQ(w->Item().PlaybackRate, 0.5);
    EXPECT_TRUE(WaitPlaying());

    w->BtnStopClick();
    w->BtnStopClick();
    EXPECT_EQ(w->Graph(), nullptr);
    EXPECT_EQ(label->text(), "1x");
    EXPECT_TRUE(FAILED(w->SetRate(2.0)));
}

TEST_F(TransportWindow, SeekBarDragSeeksOnceWhereTheBarIsLetGo)
{
    // Sound only: the drag moves the time text, the position timer seeks
    // once the bar is let go.
    Open({Fixture("tone.wav")});
    ASSERT_TRUE(WaitPlaying());
    w->TogglePlayPause();
    ASSERT_EQ(w->PlayState(), psPaused);
    ASSERT_TRUE(SUCCEEDED(w->SeekTo(0)));
    QSlider* bar = ui()->TrackBarForSeek;
    const int max = bar->maximum();
    ASSERT_GT(max, 10);
    bar->setSliderDown(true);
    bar->setValue(max / 4);
    bar->setValue(max / 2);
    EXPECT_EQ(ui()->tnTime->text(), "0:00:01");
    // Two position-timer ticks while the bar is held: no seek (one would
    // read as its target at once and end the wait).
    TickCount ticks(w->Probe().Timer());
    ASSERT_TRUE(testutil::WaitUntil([&] { return ticks.Ticks() >= 2 || Seconds() >= 0.1; }, 10000));
    EXPECT_LT(Seconds(), 0.1);
    bar->setValue(max * 3 / 4);
    bar->setSliderDown(false);
    const double target = static_cast<double>(w->Duration()) * 3 / 4 / kSecond;
    ASSERT_TRUE(testutil::WaitUntil([&] { return std::abs(Seconds() - target) < 0.1; }, 10000)) << Seconds();
    EXPECT_EQ(w->PlayState(), psPaused);
    EXPECT_NEAR(bar->value(), max * 3 / 4, 1);

    // While playing the seek lands the same way and the item plays on from there.
    w->TogglePlayPause();
    ASSERT_TRUE(WaitPlaying());
    bar->setSliderDown(true);
    bar->setValue(max / 4);
    bar->setSliderDown(false);
    ASSERT_TRUE(testutil::WaitUntil([&] { return Seconds() >= 0.2 && Seconds() < 1.2; }, 10000)) << Seconds();
    EXPECT_TRUE(WaitPlaying());
}

TEST_F(TransportWindow, PositionTimerRunsOnlyWhileThePositionMoves)
{
    // Paused, nothing reads the position; the time shown is where the item
    // rests, a drag's deferred seek runs the timer for its tick, Play runs it again.
    Open({LongClip()});
    ASSERT_TRUE(WaitPlaying());
    QTimer* timer = w->Probe().Timer();
    EXPECT_TRUE(timer->isActive());
    const auto shown = [this] {
        const int s = static_cast<int>(Seconds());
        return QString::asprintf("0:%02d:%02d", s / 60, s % 60);
    };
    ASSERT_TRUE(SUCCEEDED(w->SeekTo(7 * kSecond)));
    ASSERT_TRUE(testutil::WaitUntil([&] { return ui()->tnTime->text() == "0:00:07"; }, 10000));

    QTest::mouseClick(ui()->BtnStart, Qt::LeftButton);
    ASSERT_EQ(w->PlayState(), psPaused);
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(ui()->tnTime->text(), shown());

    QSlider* bar = ui()->TrackBarForSeek;
    bar->setSliderDown(true);
    EXPECT_TRUE(timer->isActive());
    bar->setValue(bar->maximum() / 2);
    bar->setSliderDown(false);
    ASSERT_TRUE(testutil::WaitUntil([&] { return !timer->isActive(); }, 10000));
    EXPECT_TRUE(WaitAt(30, 0.5)) << Seconds();
    EXPECT_EQ(ui()->tnTime->text(), shown());
    EXPECT_EQ(w->PlayState(), psPaused);
    EXPECT_FALSE(Running());

    QTest::mouseClick(ui()->BtnStart, Qt::LeftButton);
    ASSERT_TRUE(WaitPlaying());
    EXPECT_TRUE(timer->isActive());
    const QString resumedAt = ui()->tnTime->text();
    TickCount ticks(timer);
    EXPECT_TRUE(
        testutil::WaitUntil([&] { return ticks.Ticks() >= 2 && ui()->tnTime->text() != resumedAt; }, 10000));

    // Stopped at the start, nothing ticks either.
    w->BtnStopClick();
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(ui()->tnTime->text(), "0:00:00");
}

TEST_F(TransportWindow, StopRewindsAndASecondStopCloses)
{
    const QString a = Sound("stop/a.wav");
    Open({a});
    ASSERT_TRUE(WaitPlaying());
    ASSERT_TRUE(SUCCEEDED(w->SeekTo(kSecond)));
    ASSERT_TRUE(testutil::WaitUntil([this] { return ui()->tnTime->text() == "0:00:01"; }, 10000));

    w->BtnStopClick();
    EXPECT_EQ(w->PlayState(), psStopped);
    ASSERT_NE(w->Graph(), nullptr);
    EXPECT_NE(w->Graph()->State(), media::GraphState::Running);
    EXPECT_LT(Seconds(), 0.1);
    EXPECT_EQ(ui()->TrackBarForSeek->value(), 0);
    EXPECT_EQ(ui()->tnTime->text(), "0:00:00");
    EXPECT_EQ(Paths(), QStringList({a}));

    w->BtnStopClick();
    EXPECT_EQ(w->Graph(), nullptr);
    EXPECT_EQ(w->PlayState(), psNothing);
    EXPECT_TRUE(w->PlayList().IsEmpty());
    EXPECT_EQ(Caption(), "Zoravel");
    EXPECT_FALSE(ui()->TrackBarForSeek->isEnabled());
    EXPECT_EQ(w->width(), 290);
    EXPECT_EQ(w->height(), 60);
}

TEST_F(TransportWindow, VolumeBarFollowsTheDecibelCurve)
{
    Open({Fixture("tone.wav")});
    ASSERT_TRUE(WaitPlaying());
    // Bar value -> hundredths of dB: 20 log10 of the share of 16-bit full
    // scale, less that scale's 96.33 dB; the ends are full and silent.
    const struct {
        int bar;
        long level;
    } points[] = {{50, -602}, {10, -1999}, {1, -3999}, {0, -10000}, {100, 0}};
    for (const auto& p : points) {
        SCOPED_TRACE(p.bar);
        ui()->TrackBarVolume->setValue(p.bar);
        long level = 1;
        ASSERT_EQ(w->Graph()->get_Volume(&level), S_OK);
        EXPECT_NEAR(level, p.level, 2);
    }
}

TEST_F(TransportWindow, SkipWhilePlayingPlaysOnFromTheTarget)
{
    Open({Fixture("mpeg1.mpg")});
    ASSERT_TRUE(WaitPlaying());
    w->SkipSeconds(1);
    EXPECT_EQ(w->PlayState(), psPlaying);
    ASSERT_TRUE(WaitPlaying());
    EXPECT_GE(Seconds(), 0.9);
    // Still running a moment later: the position moves on.
    const double at = Seconds();
    ASSERT_TRUE(testutil::WaitUntil([&] { return Seconds() > at + 0.2; }, 10000)) << Seconds();
    EXPECT_EQ(w->Graph()->State(), media::GraphState::Running);
}

TEST_F(TransportWindow, ErrorAfterPlaybackStartedEndsTheItemInsteadOfCannotPlay)
{
    static const bool registered =
        gst_element_register(nullptr, "zofailingsink", GST_RANK_NONE, zo_failing_sink_get_type());
    ASSERT_TRUE(registered);
    qputenv("ZORAVEL_AUDIO_SINK", "zofailingsink");
    g_failNow = false;
    const QString a = Sound("err/a.wav");
    Open({a});
    ASSERT_TRUE(WaitPlaying());
    CaptionLog captions(w.get());
    g_failNow = true;
    // The end of media: rewound and stopped, the entry stays in the list.
    const bool ended = testutil::WaitUntil([this] { return w->PlayState() == psStopped; }, 10000);
    g_failNow = false;
    ASSERT_TRUE(ended);
    EXPECT_EQ(Paths(), QStringList({a}));
    EXPECT_NE(w->Graph(), nullptr);
    EXPECT_FALSE(captions.Saw("Zoravel 再生できません")) << captions.Titles();
    EXPECT_FALSE(w->Probe().IsGraphStarting());
}

TEST_F(TransportWindow, EndOfMediaDuringAFolderScanWaitsUntilTheScanReturns)
{
    SetMainDword("ContinuousPlay", 1);
    const QString a = Sound("scan/a.wav");
    const QString b = Sound("scan/more/b.wav");
    const QString c = Sound("scan/more/c.wav");
    const QString d = Sound("scan/more/d.wav");
    Open({a});
    ASSERT_TRUE(WaitPlaying());
    media::FilterGraph* playing = w->Graph();

    // The open dialog appends b with its folder; inside that folder scan
    // (which runs the event loop) the playing item reaches its end.
    bool ranInsideTheScan = false;
    int heldAtTheEnd = 0;
    int indexDuringTheScan = -1;
    TOpenDialogEx::SetAnswerer([&](const TOpenDialogEx::Request&) {
        QTimer::singleShot(0, w.get(), [&] {
            ranInsideTheScan = w->Probe().IsScanning();
            if (!ranInsideTheScan) return;
            if (FAILED(w->SeekTo(w->Duration() - kSecond / 10))) return;
            testutil::WaitUntil([&] { return w->Probe().HeldMessageCount() > 0; }, 10000);
            heldAtTheEnd = w->Probe().HeldMessageCount();
            indexDuringTheScan = w->ListIndex();
        });
        TOpenDialogEx::Answer answer;
        answer.accepted = true;
        answer.files = {b};
        answer.folderChecked = true;
        answer.appendChecked = true;
        return answer;
    });
    w->BtnOpenClick();
    ASSERT_TRUE(ranInsideTheScan);
    EXPECT_GT(heldAtTheEnd, 0);
    EXPECT_EQ(indexDuringTheScan, 0);
    // The scan is over, the list whole, and the item has not moved on yet.
    EXPECT_EQ(Paths().size(), 4) << Paths();
    EXPECT_EQ(w->Graph(), playing);
    EXPECT_EQ(w->ListIndex(), 0);
    // The held end now steps to the next entry.
    ASSERT_TRUE(testutil::WaitUntil([this] { return w->ListIndex() == 1; }, 10000));
    EXPECT_TRUE(WaitPlaying());
    EXPECT_EQ(w->Probe().HeldMessageCount(), 0);
}

}  // namespace
