// The transport through the real window on the fixture media: a seek-bar
// drag that seeks where the bar is let go, Stop (rewind, then close), the
// volume curve, a relative seek while playing, an error after playback has
// started, and graph events that arrive while a folder scan runs.
#include "player/units/Opendialogex.h"
#include "window_test_util.h"

#include <gst/base/gstbasesink.h>

#include <QLabel>
#include <QSlider>
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
};

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
    Spin(400);   // two position-timer ticks while the bar is held: no seek
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
    EXPECT_FALSE(w->IsGraphStarting());
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
            ranInsideTheScan = w->IsScanning();
            if (!ranInsideTheScan) return;
            if (FAILED(w->SeekTo(w->Duration() - kSecond / 10))) return;
            testutil::WaitUntil([&] { return w->HeldMessageCount() > 0; }, 10000);
            heldAtTheEnd = w->HeldMessageCount();
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
    EXPECT_EQ(w->HeldMessageCount(), 0);
}

}  // namespace
