// Pictures through the window sinks. The frames for a sink that cannot scale
// are checked on plain pipelines (any platform); the X sinks themselves only
// when the tests run on an X display (QT_QPA_PLATFORM=xcb, e.g. under Xvfb).
#include "media_test_util.h"

#include "platform/media/renderers.h"

#include <gst/video/video.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

using namespace media;
using namespace mediatest;
using testutil::WaitUntil;

namespace {

// A pipeline of a source description and a scaling bin around an appsink that
// prefers frames of 40x30, as ximagesink prefers the size of its window.
class ScalingPipeline {
public:
    explicit ScalingPipeline(const char* source)
    {
        pipeline_ = gst_parse_launch(source, nullptr);
        sink_ = gst_element_factory_make("appsink", nullptr);
        GstCaps* caps = gst_caps_from_string("video/x-raw, format=BGRx, width=40, height=30, pixel-aspect-ratio=1/1; "
                                              "video/x-raw, format=BGRx, pixel-aspect-ratio=1/1");
        g_object_set(sink_, "caps", caps, "sync", FALSE, "wait-on-eos", FALSE, "max-buffers", 1u, "drop", TRUE,
                     nullptr);
        gst_caps_unref(caps);
        bin_ = detail::MakeScalingSinkBin(sink_);
        gst_bin_add(GST_BIN(pipeline_), bin_);
        GstElement* last = gst_bin_get_by_name(GST_BIN(pipeline_), "last");
        gst_element_link(last, bin_);
        gst_object_unref(last);
    }
    ~ScalingPipeline()
    {
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(bin_);
        gst_object_unref(pipeline_);
    }
    bool Settle(GstState state)
    {
        return gst_element_set_state(pipeline_, state) != GST_STATE_CHANGE_FAILURE
               && gst_element_get_state(pipeline_, nullptr, nullptr, 5 * GST_SECOND) == GST_STATE_CHANGE_SUCCESS;
    }
    // The frame the sink holds now.
    QImage Frame() const
    {
        GstSample* sample = nullptr;
        g_object_get(sink_, "last-sample", &sample, nullptr);
        if (!sample) return {};
        QImage image;
        GstVideoInfo info;
        GstVideoFrame frame;
        if (gst_video_info_from_caps(&info, gst_sample_get_caps(sample))
            && gst_video_frame_map(&frame, &info, gst_sample_get_buffer(sample), GST_MAP_READ)) {
            image = QImage(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                           GST_VIDEO_FRAME_WIDTH(&frame), GST_VIDEO_FRAME_HEIGHT(&frame),
                           GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), QImage::Format_RGB32)
                        .copy();
            gst_video_frame_unmap(&frame);
        }
        gst_sample_unref(sample);
        return image;
    }
    GstElement* pipeline_ = nullptr;
    GstElement* sink_ = nullptr;   // owned by the bin
    GstElement* bin_ = nullptr;
};

// Neighbouring pixels of a one-pixel checkerboard differ; a scaled-down
// copy blurs them to one grey.
bool SharpCheckers(const QImage& image)
{
    int sharp = 0;
    for (int x = 40; x < 120; ++x) sharp += qGray(image.pixel(x, 60)) != qGray(image.pixel(x + 1, 60));
    return sharp > 70;
}

}  // namespace

TEST(ScalingSinkBin, StillFrameIsScaledAnewFromItsOwnSizeAfterItsEnd)
{
    ScalingPipeline p("videotestsrc pattern=checkers-1 num-buffers=1 "
                      "! video/x-raw, format=BGRx, width=160, height=120 ! videoscale name=last");
    ASSERT_TRUE(detail::HoldStillFrames(p.bin_));
    // The window is not laid out yet: the sink's own preference decides.
    ASSERT_TRUE(p.Settle(GST_STATE_PLAYING));
    EXPECT_EQ(p.Frame().size(), QSize(40, 30));
    GstBus* bus = gst_element_get_bus(p.pipeline_);
    GstMessage* eos = gst_bus_timed_pop_filtered(bus, 5 * GST_SECOND, GST_MESSAGE_EOS);
    ASSERT_TRUE(eos);
    gst_message_unref(eos);

    // Laid out at the picture's own size: the held frame is the picture as
    // decoded, not the small copy the sink had.
    EXPECT_TRUE(detail::SetScaledFrameSize(p.bin_, 160, 120));
    EXPECT_FALSE(detail::SetScaledFrameSize(p.bin_, 160, 120));
    EXPECT_FALSE(detail::SetScaledFrameSize(p.bin_, 0, 120));
    ASSERT_TRUE(gst_element_seek_simple(p.pipeline_, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, 0));
    ASSERT_TRUE(p.Settle(GST_STATE_PLAYING));
    const QImage frame = p.Frame();
    ASSERT_EQ(frame.size(), QSize(160, 120));
    EXPECT_TRUE(SharpCheckers(frame));

    // A wider rectangle: the window gave it that shape, so the picture is
    // stretched across it, no black bars at the sides.
    EXPECT_TRUE(detail::SetScaledFrameSize(p.bin_, 320, 120));
    ASSERT_TRUE(gst_element_seek_simple(p.pipeline_, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, 0));
    ASSERT_TRUE(p.Settle(GST_STATE_PLAYING));
    const QImage wide = p.Frame();
    ASSERT_EQ(wide.size(), QSize(320, 120));
    auto meanGray = [&](int x0) {
        long sum = 0;
        for (int y = 0; y < 120; ++y)
            for (int x = x0; x < x0 + 40; ++x) sum += qGray(wide.pixel(x, y));
        return sum / (40 * 120);
    };
    EXPECT_GT(meanGray(0), 60);
    EXPECT_GT(meanGray(280), 60);
    EXPECT_EQ(gst_bus_timed_pop_filtered(bus, 0, GST_MESSAGE_ERROR), nullptr);
    gst_object_unref(bus);
}

TEST(ScalingSinkBin, MovingPictureFollowsTheWindowSize)
{
    ScalingPipeline p("videotestsrc is-live=true ! video/x-raw, format=BGRx, width=160, height=120, "
                      "framerate=50/1 ! videoscale name=last");
    EXPECT_TRUE(detail::SetScaledFrameSize(p.bin_, 80, 60));
    ASSERT_TRUE(p.Settle(GST_STATE_PLAYING));
    EXPECT_TRUE(WaitUntil([&] { return p.Frame().size() == QSize(80, 60); }));
    EXPECT_TRUE(detail::SetScaledFrameSize(p.bin_, 200, 100));
    EXPECT_TRUE(WaitUntil([&] { return p.Frame().size() == QSize(200, 100); }));
}

namespace {

struct WindowCase {
    int renderer;
    bool builtBeforeShown;
};

void PrintTo(const WindowCase& c, std::ostream* os)
{
    *os << "renderer " << c.renderer << (c.builtBeforeShown ? ", built before shown" : ", built while shown");
}

class WindowSinks : public ::testing::TestWithParam<WindowCase> {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "the X sinks need an X display";
        if (!QFileInfo::exists(testutil::Fixture(".complete"))) GTEST_SKIP() << "media fixtures not made";
        qputenv("ZORAVEL_AUDIO_SINK", "fakesink");
        qunsetenv("ZORAVEL_VIDEO_SINK");
        window.setGeometry(40, 40, 320, 240);
        window.setStyleSheet(QStringLiteral("background: black"));
        panel = new QWidget(&window);
        // A sink's misuse (a render rectangle of no size ...) is reported
        // as a critical warning.
        handler = g_log_set_handler("GStreamer-Video", G_LOG_LEVEL_CRITICAL,
                                    [](const gchar*, GLogLevelFlags, const gchar*, gpointer count) {
                                        ++*static_cast<int*>(count);
                                    },
                                    &criticals);
    }
    void TearDown() override
    {
        if (handler) g_log_remove_handler("GStreamer-Video", handler);
        qunsetenv("ZORAVEL_AUDIO_SINK");
    }

    QImage Screen(const QRect& rect) const
    {
        const QPoint at = panel->mapToGlobal(rect.topLeft());
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, at.x(), at.y(), rect.width(), rect.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }
    bool Shows(const QRect& rect, const QImage& expected, double tolerance)
    {
        return WaitUntil([&] { return testutil::ImageDifference(Screen(rect), expected) < tolerance; });
    }

    QWidget window;
    QWidget* panel = nullptr;
    guint handler = 0;
    int criticals = 0;
};

}  // namespace

TEST_P(WindowSinks, StillPictureIsDrawnInItsRectangleAndRedrawnWhenUncoveredOrMoved)
{
    const WindowCase c = GetParam();
    const QString file = testutil::Fixture(QStringLiteral("picture.bmp"));
    const QImage picture = QImage(file).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(picture.size(), QSize(160, 120));
    QImage black(80, 60, QImage::Format_RGB32);
    black.fill(Qt::black);
    FilterGraph graph;
    graph.AddVideoRenderer(c.renderer, panel);
    if (c.builtBeforeShown) {
        // The panel of a window not laid out yet has no height.
        panel->setGeometry(0, 0, 320, 0);
        ASSERT_EQ(graph.RenderFile(file), S_OK);
        EXPECT_EQ(graph.SetVideoPosition(QRect(0, 0, 320, 0)), S_OK);
        window.show();
        panel->setGeometry(0, 0, 320, 240);
    } else {
        panel->setGeometry(0, 0, 320, 240);
        window.show();
        ASSERT_TRUE(WaitUntil([&] { return panel->isVisible(); }));
        ASSERT_EQ(graph.RenderFile(file), S_OK);
    }
    EXPECT_TRUE(graph.ElementNames().contains(c.renderer == RendererOverlay ? "ximagesink" : "glimagesink"));
    ASSERT_EQ(graph.SetVideoPosition(QRect(80, 60, 160, 120)), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    EXPECT_TRUE(Shows(QRect(80, 60, 160, 120), picture, 12)) << "at its own size";
    EXPECT_EQ(graph.CurrentImage().size(), QSize(160, 120));

    // Covered by another window and uncovered again.
    {
        QWidget cover;
        cover.setWindowFlags(Qt::ToolTip);
        cover.setStyleSheet(QStringLiteral("background: white"));
        cover.setGeometry(QRect(panel->mapToGlobal(QPoint(60, 40)), QSize(200, 160)));
        cover.show();
        ASSERT_TRUE(WaitUntil([&] { return testutil::ImageDifference(Screen(QRect(80, 60, 160, 120)), picture) > 40; }));
    }
    EXPECT_TRUE(Shows(QRect(80, 60, 160, 120), picture, 12)) << "after an expose";

    // A smaller rectangle elsewhere: the picture is scaled into it.
    ASSERT_EQ(graph.SetVideoPosition(QRect(10, 10, 80, 60)), S_OK);
    EXPECT_TRUE(Shows(QRect(10, 10, 80, 60), picture.scaled(80, 60, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                      25))
        << "scaled down";
    EXPECT_TRUE(Shows(QRect(160, 120, 80, 60), black, 2)) << "the old place is cleared";

    // The window shrinks under the picture, which moves into what is left.
    ASSERT_EQ(graph.SetVideoPosition(QRect(150, 110, 160, 120)), S_OK);
    EXPECT_TRUE(Shows(QRect(150, 110, 160, 120), picture, 12));
    window.resize(200, 150);
    panel->setGeometry(0, 0, 200, 150);
    ASSERT_EQ(graph.SetVideoPosition(QRect(20, 15, 160, 120)), S_OK);
    EXPECT_TRUE(Shows(QRect(20, 15, 160, 120), picture, 12)) << "after the window shrank";
    EXPECT_EQ(criticals, 0);
}

// A video prerolled while the panel has no room yet (the window is laid out
// once the item is open): when the panel grows to the picture's size, the
// prerolled frame is on the screen at once, before playback starts.
TEST_P(WindowSinks, PrerolledVideoShowsWhenTheEmptyPanelGrowsToIt)
{
    FilterGraph graph;
    graph.AddVideoRenderer(GetParam().renderer, panel);
    panel->setGeometry(0, 0, 320, 0);
    window.show();
    ASSERT_TRUE(WaitUntil([&] { return window.isVisible(); }));
    ASSERT_EQ(graph.RenderFile(testutil::Fixture(QStringLiteral("clip.avi"))), S_OK);   // 320 x 240
    panel->setGeometry(0, 0, 320, 240);
    ASSERT_EQ(graph.SetVideoPosition(QRect(0, 0, 320, 240)), S_OK);
    const QImage frame = graph.CurrentImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(frame.size(), QSize(320, 240));
    EXPECT_TRUE(Shows(QRect(0, 0, 320, 240), frame, 12));
    EXPECT_EQ(graph.State(), GraphState::Paused);
}

INSTANTIATE_TEST_SUITE_P(XSinks, WindowSinks,
                         ::testing::Values(WindowCase{RendererOverlay, true}, WindowCase{RendererOverlay, false},
                                           WindowCase{RendererWindowless7, true},
                                           WindowCase{RendererWindowless7, false}));
