// The output stage on pipelines of our own (not playbin), as the DVD layer,
// the CD player and the RealMedia control build them.
#include "media_test_util.h"

#include "platform/media/output.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <atomic>

using namespace media;
using namespace mediatest;
using testutil::WaitUntil;

namespace {

bool OnXDisplay() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

// A source description ending in an element named "last", linked through
// the outputs' filters to their sinks, on a bus shared with the outputs.
class OwnPipeline {
public:
    OwnPipeline(const char* source, VideoOutput* video, AudioOutput* audio) : video_(video)
    {
        pipeline_ = gst_parse_launch(source, nullptr);
        GstElement* last = gst_bin_get_by_name(GST_BIN(pipeline_), "last");
        auto chain = [&](GstElement* filter, GstElement* sink) {
            gst_bin_add(GST_BIN(pipeline_), sink);
            if (filter) {
                gst_bin_add(GST_BIN(pipeline_), filter);
                gst_element_link_many(last, filter, sink, nullptr);
            } else {
                gst_element_link(last, sink);
            }
        };
        std::vector<BusWatch::Handler> handlers;
        if (video) {
            chain(video->Filter(), video->Sink());
            video->SetPipeline(pipeline_);
            handlers.push_back(video->BusHandler());
        }
        if (audio) chain(audio->Filter(), audio->Sink());
        gst_object_unref(last);
        handlers.push_back([this](GstMessage* message) {
            if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) ++errors;
        });
        bus_.Attach(pipeline_, std::move(handlers));
    }
    ~OwnPipeline()
    {
        if (video_) video_->Detach();
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        bus_.Detach();
        gst_object_unref(pipeline_);
    }
    bool Play() { return gst_element_set_state(pipeline_, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE; }
    bool Pause()
    {
        gst_element_set_state(pipeline_, GST_STATE_PAUSED);
        GstState state = GST_STATE_VOID_PENDING;
        return gst_element_get_state(pipeline_, &state, nullptr, 5 * GST_SECOND) == GST_STATE_CHANGE_SUCCESS &&
               state == GST_STATE_PAUSED;
    }
    gint64 PositionNs() const
    {
        gint64 ns = -1;
        gst_element_query_position(pipeline_, GST_FORMAT_TIME, &ns);
        return ns;
    }
    GstElement* Element(const char* name) const { return gst_bin_get_by_name(GST_BIN(pipeline_), name); }

    std::atomic<int> errors{0};

private:
    GstElement* pipeline_ = nullptr;
    VideoOutput* video_ = nullptr;
    BusWatch bus_;
};

class OutputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qunsetenv("ZORAVEL_VIDEO_SINK");
        qunsetenv("ZORAVEL_AUDIO_SINK");
        qunsetenv("ZORAVEL_BROKEN_SINKS");
        panel.resize(320, 240);
        panel.show();
    }
    void TearDown() override { qunsetenv("ZORAVEL_BROKEN_SINKS"); }

    std::unique_ptr<VideoOutput> MakeVideo(int renderer, bool paintedOnly = false)
    {
        VideoOutput::Options options;
        options.renderer = renderer;
        options.panel = &panel;
        options.paintedOnly = paintedOnly;
        options.events = events;
        return VideoOutput::Create(options);
    }

    QWidget panel;
    std::shared_ptr<EventQueue> events = std::make_shared<EventQueue>();
};

TEST_F(OutputTest, PaintedRendererShowsAPipelinesFramesAndReportsANewSize)
{
    auto video = MakeVideo(RendererWindowless9);
    ASSERT_TRUE(video);
    EXPECT_EQ(video->GetKind(), VideoOutput::Kind::Painted);
    EXPECT_TRUE(video->HasColorControls());
    EXPECT_FALSE(video->CanFlip());
    OwnPipeline p("videotestsrc is-live=true ! capsfilter name=last caps=video/x-raw,width=160,height=120,"
                  "framerate=25/1",
                  video.get(), nullptr);
    ASSERT_TRUE(p.Play());
    ASSERT_TRUE(WaitUntil([&] { return video->FramesShown() > 2; })) << "nothing painted";
    EXPECT_GT(video->FirstFrameTime(), 0);
    EXPECT_TRUE(video->IsConnected());
    EXPECT_EQ(video->CurrentImage().size(), QSize(160, 120));
    VideoFormat format;
    ASSERT_TRUE(video->CurrentFormat(&format));
    EXPECT_EQ(format.width, 160);
    EXPECT_EQ(format.fpsN, 25);
    EXPECT_EQ(events->Size(), 0u);

    // The source changes its size: the window hears of it.
    GstElement* size = p.Element("last");
    GstCaps* caps = gst_caps_from_string("video/x-raw,width=200,height=100,framerate=25/1");
    g_object_set(size, "caps", caps, nullptr);
    gst_caps_unref(caps);
    gst_object_unref(size);
    GraphEvent e;
    ASSERT_TRUE(events->Take(&e, 10000));
    EXPECT_EQ(e.code, EC_VIDEO_SIZE_CHANGED);
    EXPECT_EQ(e.param1, 200 | (100 << 16));
    EXPECT_TRUE(WaitUntil([&] { return video->CurrentImage().size() == QSize(200, 100); }));
    EXPECT_EQ(p.errors, 0);
}

TEST_F(OutputTest, ColourAndFlipFilterChangesTheFramesOfAnyPipeline)
{
    VideoOutput::Options options;
    options.renderer = RendererWindowless9;
    options.panel = &panel;
    options.flipAllowed = true;
    options.settings.flipH = true;
    auto video = VideoOutput::Create(options);
    ASSERT_TRUE(video && video->CanFlip());
    // Colour bars: light grey at the left, blue at the right.
    OwnPipeline p("videotestsrc is-live=true pattern=smpte ! capsfilter name=last caps=video/x-raw,width=160,height=120",
                  video.get(), nullptr);
    ASSERT_TRUE(p.Play());
    QImage image;
    ASSERT_TRUE(WaitUntil([&] { return !(image = video->CurrentImage()).isNull(); }));
    // Flipped from the start: blue at the left.
    const int left = qGray(image.pixel(10, 30)), right = qGray(image.pixel(150, 30));
    EXPECT_GT(right - left, 100) << "left " << left << " right " << right;
    video->SetFlip(false, false);
    EXPECT_TRUE(WaitUntil([&] {
        image = video->CurrentImage();
        return std::abs(qGray(image.pixel(10, 30)) - right) < 24 && std::abs(qGray(image.pixel(150, 30)) - left) < 24;
    }));
    ColorValues darker;
    darker.brightness = 750 - 3000;   // -0.3
    video->SetColors(darker);
    EXPECT_TRUE(WaitUntil([&] { return qGray(video->CurrentImage().pixel(10, 30)) < right - 40; }));
}

struct SinkChoice {
    const char* name;
    int renderer;
    const char* broken;   // ZORAVEL_BROKEN_SINKS
    bool paintedOnly;
    bool windowSinkOnX;   // a window sink is expected on an X display
};

void PrintTo(const SinkChoice& c, std::ostream* os) { *os << c.name; }

class SinkChoices : public OutputTest, public ::testing::WithParamInterface<SinkChoice> {};

// The loop goes down the renderer's list and ends at the painted renderer:
// without an X display, when every window sink fails to open, and when a
// window sink already failed in the pipeline.
TEST_P(SinkChoices, EndAtThePaintedRenderer)
{
    const SinkChoice c = GetParam();
    qputenv("ZORAVEL_BROKEN_SINKS", c.broken);
    auto video = MakeVideo(c.renderer, c.paintedOnly);
    ASSERT_TRUE(video);
    const QStringList broken = QString::fromLatin1(c.broken).split(',', Qt::SkipEmptyParts);
    if (c.windowSinkOnX && OnXDisplay()) {
        EXPECT_EQ(video->GetKind(), VideoOutput::Kind::Window);
        EXPECT_TRUE(VideoOutput::WindowSinksFor(c.renderer).contains(video->SinkFactory())) << video->SinkFactory().toStdString();
        EXPECT_FALSE(broken.contains(video->SinkFactory()));
    } else {
        EXPECT_EQ(video->GetKind(), VideoOutput::Kind::Painted);
        EXPECT_EQ(video->SinkFactory(), "appsink");
    }
    // Whichever it is, the picture is shown.
    OwnPipeline p("videotestsrc is-live=true ! video/x-raw,width=160,height=120 ! identity name=last", video.get(),
                  nullptr);
    ASSERT_TRUE(p.Play());
    EXPECT_TRUE(WaitUntil([&] { return video->FramesShown() > 0; }));
    EXPECT_EQ(p.errors, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SinkChoices,
    ::testing::Values(SinkChoice{"painted_by_choice", RendererWindowless9, "", false, false},
                      SinkChoice{"overlay", RendererOverlay, "", false, true},
                      SinkChoice{"overlay_second_choice", RendererOverlay, "xvimagesink", false, true},
                      SinkChoice{"overlay_none_opens", RendererOverlay, "xvimagesink,ximagesink", false, false},
                      SinkChoice{"gl", RendererWindowless7, "", false, true},
                      SinkChoice{"gl_fails", RendererWindowless7, "glimagesink", false, false},
                      SinkChoice{"other_value_takes_the_last_row", 0, "xvimagesink,ximagesink", false, true},
                      SinkChoice{"after_a_failure_in_the_pipeline", RendererOverlay, "", true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OutputTest, WithoutPanelTheFramesGoToASinkThatKeepsTime)
{
    VideoOutput::Options options;
    options.renderer = RendererOverlay;
    auto video = VideoOutput::Create(options);
    ASSERT_TRUE(video);
    EXPECT_EQ(video->GetKind(), VideoOutput::Kind::Fake);
    EXPECT_FALSE(video->HasWidget());
    OwnPipeline p("videotestsrc ! video/x-raw,width=64,height=48,framerate=25/1 ! identity name=last", video.get(),
                  nullptr);
    ASSERT_TRUE(p.Play());
    ASSERT_TRUE(WaitUntil([&] { return video->FramesShown() > 3; }));
    EXPECT_EQ(video->CurrentImage().size(), QSize(64, 48));
}

// No sound device opens: the sound goes to a sink that keeps time, and the
// pipeline plays on in real time.
TEST_F(OutputTest, AudioFallsBackToSilenceThatKeepsTime)
{
    qputenv("ZORAVEL_BROKEN_SINKS", "alsasink,pulsesink,autoaudiosink");
    auto audio = AudioOutput::Create(QStringLiteral("alsasink"));
    ASSERT_TRUE(audio);
    EXPECT_TRUE(audio->IsSilent());
    gboolean sync = FALSE;
    g_object_get(audio->Sink(), "sync", &sync, nullptr);
    EXPECT_TRUE(sync);
    ASSERT_TRUE(audio->Filter());
    OwnPipeline p("audiotestsrc ! identity name=last", nullptr, audio.get());
    ASSERT_TRUE(p.Play());
    ASSERT_TRUE(WaitUntil([&] { return p.PositionNs() > GST_SECOND / 4; }));
    // Synchronised to the clock, not as fast as it can.
    EXPECT_LT(p.PositionNs(), 3 * GST_SECOND);
    EXPECT_EQ(p.errors, 0);

    // Without the broken devices, silence only when the machine has no device.
    qunsetenv("ZORAVEL_BROKEN_SINKS");
    auto chosen = AudioOutput::Create(QString());
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->IsSilent(), !SoundDeviceAvailable());
    EXPECT_TRUE(AudioOutput::Create(QStringLiteral("fakesink"))->IsSilent());
}

// The environment names a sink with its settings (the start-up benchmark
// catches the first sound in a file so): the sound reaches that file. A
// description of more than one element is no sink: the automatic choice
// stands then.
TEST_F(OutputTest, EnvironmentsSinkWithSettingsTakesTheSound)
{
    const QString file = QDir::temp().filePath(QStringLiteral("zo-sound-%1.raw").arg(QCoreApplication::applicationPid()));
    QFile::remove(file);
    qputenv("ZORAVEL_AUDIO_SINK", ("filesink location=" + file).toUtf8());
    {
        auto audio = AudioOutput::Create(QStringLiteral("alsasink"));
        ASSERT_TRUE(audio);
        EXPECT_FALSE(audio->IsSilent());
        OwnPipeline p("audiotestsrc num-buffers=5 ! identity name=last", nullptr, audio.get());
        ASSERT_TRUE(p.Play());
        EXPECT_TRUE(WaitUntil([&] { return QFileInfo(file).size() > 0; })) << "no sound in the file";
        EXPECT_EQ(p.errors, 0);
    }
    QFile::remove(file);

    qputenv("ZORAVEL_AUDIO_SINK", ("queue ! filesink location=" + file).toUtf8());
    auto chain = AudioOutput::Create(QString());
    ASSERT_TRUE(chain);
    GstElementFactory* factory = gst_element_get_factory(chain->Sink());
    EXPECT_STRNE(factory ? gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)) : "", "queue");
    EXPECT_FALSE(QFile::exists(file));
    qunsetenv("ZORAVEL_AUDIO_SINK");
}

double MeanGrey(const QImage& image)
{
    if (image.isNull() || image.width() < 4 || image.height() < 4) return -1.0;
    qint64 sum = 0, count = 0;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4, ++count) sum += qGray(image.pixel(x, y));
    return double(sum) / double(count);
}

// A paused picture whose source must not be seeked (a disc's navigation)
// takes new colours at once, with the painted renderer and a window sink;
// playing on afterwards, the stream goes on.
TEST_F(OutputTest, PausedPictureOfASourceNotToBeSeekedTakesNewColoursAtOnce)
{
    for (const int renderer : {RendererWindowless9, RendererOverlay}) {
        if (renderer == RendererOverlay && !OnXDisplay()) continue;
        SCOPED_TRACE(renderer);
        VideoOutput::Options options;
        options.renderer = renderer;
        options.panel = &panel;
        options.events = events;
        options.redrawBySeek = false;
        auto video = VideoOutput::Create(options);
        ASSERT_TRUE(video && video->Filter());
        OwnPipeline p("videotestsrc pattern=smpte ! capsfilter name=last caps=video/x-raw,width=160,height=120,"
                      "framerate=25/1",
                      video.get(), nullptr);
        video->SetRect(panel.rect());
        ASSERT_TRUE(p.Play());
        ASSERT_TRUE(WaitUntil([&] { return video->FramesShown() > 3; }));
        ASSERT_TRUE(p.Pause());
        // What the panel shows: the canvas's frame, or the screen where the
        // window sink draws.
        auto shown = [&] {
            if (renderer == RendererWindowless9) return video->CurrentImage();
            const QPoint at = panel.mapToGlobal(QPoint(0, 0));
            return panel.screen()->grabWindow(0, at.x(), at.y(), panel.width(), panel.height()).toImage();
        };
        double before = -1;
        ASSERT_TRUE(WaitUntil([&] { return (before = MeanGrey(shown())) > 0; }));
        const quint64 frames = video->FramesShown();
        ColorValues brighter;
        brighter.brightness = 750 + 4000;
        video->SetColors(brighter);
        EXPECT_TRUE(WaitUntil([&] { return MeanGrey(shown()) > before + 40; })) << before << " " << MeanGrey(shown());
        ASSERT_TRUE(p.Play());
        EXPECT_TRUE(WaitUntil([&] { return video->FramesShown() > frames + 3; })) << "the stream did not go on";
        EXPECT_EQ(p.errors, 0);
    }
}

}  // namespace
