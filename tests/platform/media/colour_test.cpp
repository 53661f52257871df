// The graph's colour objects on real GStreamer: the overlay stage in the
// DirectDraw structure (element values, a grey picture, values kept by the
// display from graph to graph) and the painted renderer's picture controls.
#include "media_test_util.h"

#include "platform/media/output.h"

#include <gst/base/gstbasetransform.h>

#include <QGuiApplication>
#include <QImage>

using namespace media;
using namespace mediatest;
using testutil::WaitUntil;

namespace {

// The element of `factory` inside a bin (a new reference) or null.
GstElement* Child(GstElement* bin, const char* factory)
{
    g_autoptr(GstElementFactory) f = gst_element_factory_find(factory);
    g_autoptr(GstIterator) it = gst_bin_iterate_recurse(GST_BIN(bin));
    GValue item = G_VALUE_INIT;
    GstElement* found = nullptr;
    while (!found && gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* e = GST_ELEMENT(g_value_get_object(&item));
        if (gst_element_get_factory(e) == f) found = GST_ELEMENT(gst_object_ref(e));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    return found;
}


// Whether the picture, drawn again from the start, is grey (or coloured).
bool ShowsGrey(FilterGraph& graph, bool grey)
{
    return WaitUntil([&] {
        REFERENCE_TIME zero = 0;
        graph.SetPositions(&zero, AM_SEEKING_AbsolutePositioning, nullptr, 0);
        const QImage image = graph.CurrentImage();
        return !image.isNull() && (grey ? testutil::ColouredShare(image) < 0.02 : testutil::ColouredShare(image) > 0.3);
    });
}

using Colour = MediaTest;

TEST_F(Colour, StageMapsTheValuesAndPassesFramesThroughAtTheDefaults)
{
    VideoOutput::Options options;
    options.renderer = RendererOverlay;
    options.panel = &panel;
    auto video = VideoOutput::Create(options);
    ASSERT_TRUE(video && video->Filter());
    g_autoptr(GstElement) balance = Child(video->Filter(), "videobalance");
    g_autoptr(GstElement) gamma = Child(video->Filter(), "gamma");
    ASSERT_TRUE(balance && gamma);
    auto passing = [&] {
        return gst_base_transform_is_passthrough(GST_BASE_TRANSFORM(balance)) &&
               gst_base_transform_is_passthrough(GST_BASE_TRANSFORM(gamma));
    };
    EXPECT_TRUE(passing());
    video->SetColors({3250, 15000, -90, 0, 201, 5});
    double b = 0, c = 0, h = 0, s = -1, g = 0;
    g_object_get(balance, "brightness", &b, "contrast", &c, "hue", &h, "saturation", &s, nullptr);
    g_object_get(gamma, "gamma", &g, nullptr);
    EXPECT_DOUBLE_EQ(b, 0.25);
    EXPECT_DOUBLE_EQ(c, 1.5);
    EXPECT_DOUBLE_EQ(h, -0.5);
    EXPECT_DOUBLE_EQ(s, 0.0);
    EXPECT_DOUBLE_EQ(g, 3.0);
    EXPECT_FALSE(passing());
    video->SetColors(ColorValues());
    EXPECT_TRUE(passing());
}

TEST_F(Colour, OverlayValuesBelongToTheDisplay)
{
    DDCOLORCONTROL c{40, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    {
        FilterGraph graph;
        graph.AddVideoRenderer(RendererOverlay, &panel);
        ASSERT_EQ(graph.RenderFile(F("clip.avi")), S_OK);
        auto control = graph.OverlayColorControl();
        ASSERT_TRUE(control);
        ASSERT_EQ(control->GetColorControls(&c), S_OK);
        EXPECT_EQ(c.dwSize, 40u);
        EXPECT_EQ(c.dwFlags, 0x2Fu);
        EXPECT_EQ(c.lBrightness, 750);
        EXPECT_EQ(c.lGamma, 1);
        EXPECT_TRUE(ShowsGrey(graph, false));
        // Only the flagged fields change.
        DDCOLORCONTROL grey{40, DDCOLOR_SATURATION | DDCOLOR_GAMMA, 9999, 0, 0, 0, 0, 101, 0, 0};
        ASSERT_EQ(control->SetColorControls(&grey), S_OK);
        ASSERT_EQ(control->GetColorControls(&c), S_OK);
        EXPECT_EQ(c.lSaturation, 0);
        EXPECT_EQ(c.lGamma, 101);
        EXPECT_EQ(c.lBrightness, 750);
        grey.dwSize = 36;
        EXPECT_EQ(control->SetColorControls(&grey), E_INVALIDARG);
        EXPECT_TRUE(ShowsGrey(graph, true));
    }
    // The next graph of an overlay kind starts with them; a control held
    // past its graph fails.
    std::shared_ptr<ColorControl> orphan;
    {
        FilterGraph next;
        next.AddVideoRenderer(RendererWindowless7, &panel);
        ASSERT_EQ(next.RenderFile(F("clip.avi")), S_OK);
        orphan = next.OverlayColorControl();
        ASSERT_EQ(orphan->GetColorControls(&c), S_OK);
        EXPECT_EQ(c.lSaturation, 0);
        EXPECT_TRUE(ShowsGrey(next, true));
        const DDCOLORCONTROL defaults{40, 0x2F, 750, 10000, 0, 10000, 5, 1, 0, 0};
        ASSERT_EQ(orphan->SetColorControls(&defaults), S_OK);
    }
    EXPECT_EQ(orphan->GetColorControls(&c), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(DisplayOverlayColors().saturation, 10000);
    for (int renderer : {0, 3, 4}) {
        FilterGraph other;
        other.AddVideoRenderer(renderer, &panel);
        EXPECT_EQ(other.OverlayColorControl(), nullptr) << renderer;
        EXPECT_EQ(other.GetPictureControls() != nullptr, renderer == 3);
    }
}

TEST_F(Colour, PaintedRendererPictureControls)
{
    FilterGraph graph;
    graph.AddVideoRenderer(RendererWindowless9, &panel);
    auto controls = graph.GetPictureControls();
    ASSERT_TRUE(controls);
    ASSERT_EQ(graph.RenderFile(F("clip.avi")), S_OK);
    VMR9ProcAmpControlRange hue{24, ProcAmpControl9_Hue, 0, 0, 0, 0};
    ASSERT_EQ(controls->GetProcAmpControlRange(0, &hue), S_OK);
    EXPECT_EQ(hue.MinValue, -180);
    EXPECT_EQ(hue.MaxValue, 180);
    EXPECT_EQ(hue.StepSize, 1.0f);
    VMR9ProcAmpControlRange both{24, 3, 0, 0, 0, 0};
    EXPECT_EQ(controls->GetProcAmpControlRange(0, &both), E_INVALIDARG);
    VMR9ProcAmpControl c{24, 0, 0, 0, 0, 0};
    ASSERT_EQ(controls->GetProcAmpControl(0, &c), S_OK);
    EXPECT_EQ(c.dwFlags, 0xFu);
    EXPECT_EQ(c.Contrast, 100.0f);

    EXPECT_TRUE(ShowsGrey(graph, false));
    // Out of range: refused, nothing changes.
    VMR9ProcAmpControl grey{24, ProcAmpControl9_Saturation | ProcAmpControl9_Brightness, 300, 0, 0, 0};
    EXPECT_EQ(controls->SetProcAmpControl(0, &grey), E_INVALIDARG);
    grey.Brightness = 20;
    ASSERT_EQ(controls->SetProcAmpControl(0, &grey), S_OK);
    ColorValues values;
    graph.GetColorValues(&values);
    EXPECT_EQ(values.brightness, 750 + 2000);   // videobalance brightness 0.2
    EXPECT_EQ(values.saturation, 0);
    EXPECT_TRUE(ShowsGrey(graph, true));
    EXPECT_EQ(DisplayOverlayColors().saturation, 10000);   // not the display's

    // The output rectangle mirrors what the canvas paints.
    QWidget* canvas = panel.findChildren<QWidget*>().value(0);
    ASSERT_TRUE(canvas);
    const QImage before = canvas->grab().toImage();
    const VMR9NormalizedRect mirrored{1, 0, 0, 1};
    ASSERT_EQ(controls->SetOutputRect(0, &mirrored), S_OK);
    const QImage after = canvas->grab().toImage().mirrored(true, false);
    int close = 0, total = 0;
    for (int y = 8; y < before.height(); y += 16)
        for (int x = 8; x < before.width(); x += 16, ++total)
            close += std::abs(qGray(after.pixel(x, y)) - qGray(before.pixel(x, y))) < 16;
    EXPECT_GT(close, total * 9 / 10);
    const VMR9NormalizedRect part{0, 0, 0.5f, 1};
    EXPECT_EQ(controls->SetOutputRect(0, &part), E_INVALIDARG);
}

// A paused picture takes new values at once, without playing on or seeking.
TEST_F(Colour, PausedPictureTakesNewValuesAtOnce)
{
    FilterGraph graph;
    graph.AddVideoRenderer(RendererWindowless9, &panel);
    ASSERT_EQ(graph.RenderFile(F("clip.avi")), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return graph.FramesShown() > 3; }));
    ASSERT_EQ(graph.Pause(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return graph.State() == GraphState::Paused && !graph.IsSettling(); }));
    REFERENCE_TIME position = 0;
    ASSERT_EQ(graph.GetCurrentPosition(&position), S_OK);
    auto meanGrey = [&] {
        const QImage image = graph.CurrentImage();
        qint64 sum = 0;
        for (int y = 0; y < image.height(); y += 4)
            for (int x = 0; x < image.width(); x += 4) sum += qGray(image.pixel(x, y)) * 16;
        return image.isNull() ? -1.0 : double(sum) / (image.width() * image.height());
    };
    const double before = meanGrey();
    ASSERT_GE(before, 0.0);
    ColorValues brighter;
    brighter.brightness = 750 + 4000;
    ASSERT_EQ(graph.SetColorValues(brighter), S_OK);
    EXPECT_TRUE(WaitUntil([&] { return meanGrey() > before + 40; })) << before << " " << meanGrey();
    // The same frame, still paused where it was.
    EXPECT_EQ(graph.State(), GraphState::Paused);
    REFERENCE_TIME after = 0;
    ASSERT_EQ(graph.GetCurrentPosition(&after), S_OK);
    EXPECT_EQ(after, position);
}

}  // namespace

namespace {

double MeanGrey(const QImage& image)
{
    if (image.isNull()) return -1.0;
    qint64 sum = 0;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4) sum += qGray(image.pixel(x, y)) * 16;
    return double(sum) / (image.width() * image.height());
}

// A still picture whose stream has ended (it stays for the picture timer's
// time) takes new values at once, with every renderer.
TEST_F(Colour, EndedStillPictureTakesNewValuesAtOnce)
{
    for (const int renderer : {RendererWindowless9, RendererOverlay}) {
        if (renderer == RendererOverlay && QGuiApplication::platformName() != QLatin1String("xcb")) continue;
        SCOPED_TRACE(renderer);
        FilterGraph graph;
        graph.AddVideoRenderer(renderer, &panel);
        ASSERT_EQ(graph.RenderFile(F("picture.jpg")), S_OK);
        ASSERT_EQ(graph.Run(), S_OK);
        ASSERT_TRUE(WaitUntil([&] { return graph.FramesShown() >= 1 && MeanGrey(graph.CurrentImage()) >= 0; }));
        const double before = MeanGrey(graph.CurrentImage());
        ColorValues brighter;
        brighter.brightness = 750 + 4000;
        ASSERT_EQ(graph.SetColorValues(brighter), S_OK);
        EXPECT_TRUE(WaitUntil([&] { return MeanGrey(graph.CurrentImage()) > before + 40; }))
            << before << " " << MeanGrey(graph.CurrentImage());
    }
}

}  // namespace
