// The graph's colour objects on real GStreamer: the overlay stage in the
// DirectDraw structure (element properties, a grey picture, values kept by
// the display from graph to graph) and the painted renderer's picture
// controls (ranges, values, a mirrored picture).
#include "media_test_util.h"

#include "platform/media/output.h"

#include <gst/base/gstbasetransform.h>

#include <QImage>

using namespace media;
using namespace mediatest;
using testutil::WaitUntil;

namespace {

// The element of `factory` inside a bin (a new reference) or null.
GstElement* Child(GstElement* bin, const char* factory)
{
    GstElement* found = nullptr;
    g_autoptr(GstIterator) it = gst_bin_iterate_recurse(GST_BIN(bin));
    GValue item = G_VALUE_INIT;
    while (!found && gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* e = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* f = gst_element_get_factory(e);
        if (f && g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(f)), factory) == 0)
            found = GST_ELEMENT(gst_object_ref(e));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    return found;
}

double Property(GstElement* element, const char* name)
{
    double value = -99;
    g_object_get(element, name, &value, nullptr);
    return value;
}

// The share of sampled pixels whose channels differ by more than 12.
double ColouredShare(const QImage& image)
{
    int coloured = 0, total = 0;
    for (int y = 4; y < image.height(); y += 8)
        for (int x = 4; x < image.width(); x += 8, ++total) {
            const QRgb p = image.pixel(x, y);
            const int spread = std::max({qRed(p), qGreen(p), qBlue(p)}) - std::min({qRed(p), qGreen(p), qBlue(p)});
            coloured += spread > 12;
        }
    return total ? double(coloured) / total : 0;
}

class Colour : public MediaTest {
protected:
    // The picture shown after the graph has drawn it again.
    static QImage Redrawn(FilterGraph& graph, const QImage& before)
    {
        REFERENCE_TIME zero = 0;
        graph.SetPositions(&zero, AM_SEEKING_AbsolutePositioning, nullptr, 0);
        QImage now;
        WaitUntil([&] {
            now = graph.CurrentImage();
            return !now.isNull() && now != before;
        });
        return now;
    }
};

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
    EXPECT_TRUE(gst_base_transform_is_passthrough(GST_BASE_TRANSFORM(balance)));
    EXPECT_TRUE(gst_base_transform_is_passthrough(GST_BASE_TRANSFORM(gamma)));

    ColorValues v;
    v.brightness = 3250;
    v.contrast = 15000;
    v.hue = -90;
    v.saturation = 0;
    v.gamma = 201;
    video->SetColors(v);
    EXPECT_DOUBLE_EQ(Property(balance, "brightness"), 0.25);
    EXPECT_DOUBLE_EQ(Property(balance, "contrast"), 1.5);
    EXPECT_DOUBLE_EQ(Property(balance, "hue"), -0.5);
    EXPECT_DOUBLE_EQ(Property(balance, "saturation"), 0.0);
    EXPECT_DOUBLE_EQ(Property(gamma, "gamma"), 3.0);
    EXPECT_FALSE(gst_base_transform_is_passthrough(GST_BASE_TRANSFORM(balance)));
    EXPECT_FALSE(gst_base_transform_is_passthrough(GST_BASE_TRANSFORM(gamma)));
    video->SetColors(ColorValues());
    EXPECT_TRUE(gst_base_transform_is_passthrough(GST_BASE_TRANSFORM(balance)));
    EXPECT_TRUE(gst_base_transform_is_passthrough(GST_BASE_TRANSFORM(gamma)));
}

TEST_F(Colour, OverlayStageReportsAppliesAndKeepsItsValues)
{
    DDCOLORCONTROL c{};
    {
        FilterGraph graph;
        EXPECT_EQ(graph.OverlayColorControl(), nullptr);   // no renderer yet
        graph.AddVideoRenderer(RendererOverlay, &panel);
        ASSERT_EQ(graph.RenderFile(F("clip.avi")), S_OK);
        auto control = graph.OverlayColorControl();
        ASSERT_TRUE(control);
        c.dwSize = 40;
        ASSERT_EQ(control->GetColorControls(&c), S_OK);
        EXPECT_EQ(c.dwSize, 40u);
        EXPECT_EQ(c.dwFlags, 0x2Fu);
        EXPECT_EQ(c.lBrightness, 750);
        EXPECT_EQ(c.lContrast, 10000);
        EXPECT_EQ(c.lSaturation, 10000);
        EXPECT_EQ(c.lGamma, 1);

        ASSERT_TRUE(WaitUntil([&] { return !graph.CurrentImage().isNull(); }));
        const QImage plain = graph.CurrentImage();
        EXPECT_GT(ColouredShare(plain), 0.3);

        // Only the fields whose flag is set change.
        DDCOLORCONTROL grey{};
        grey.dwSize = 40;
        grey.dwFlags = DDCOLOR_SATURATION | DDCOLOR_GAMMA;
        grey.lSaturation = 0;
        grey.lGamma = 101;
        grey.lBrightness = 9999;   // not flagged
        ASSERT_EQ(control->SetColorControls(&grey), S_OK);
        ASSERT_EQ(control->GetColorControls(&c), S_OK);
        EXPECT_EQ(c.lSaturation, 0);
        EXPECT_EQ(c.lGamma, 101);
        EXPECT_EQ(c.lBrightness, 750);
        grey.dwSize = 36;
        EXPECT_EQ(control->SetColorControls(&grey), E_INVALIDARG);

        const QImage greyed = Redrawn(graph, plain);
        EXPECT_LT(ColouredShare(greyed), 0.02);
    }
    // The display keeps the values for the next overlay graph; the painted
    // windowless-9 renderer starts at its own defaults.
    EXPECT_EQ(DisplayOverlayColors().saturation, 0);
    {
        FilterGraph next;
        next.AddVideoRenderer(RendererWindowless7, &panel);
        ASSERT_EQ(next.RenderFile(F("clip.avi")), S_OK);
        auto control = next.OverlayColorControl();
        ASSERT_TRUE(control);
        ASSERT_EQ(control->GetColorControls(&c), S_OK);
        EXPECT_EQ(c.lSaturation, 0);
        EXPECT_EQ(c.lGamma, 101);
        ASSERT_TRUE(WaitUntil([&] { return !next.CurrentImage().isNull(); }));
        EXPECT_LT(ColouredShare(next.CurrentImage()), 0.02);
        EXPECT_EQ(next.GetPictureControls(), nullptr);

        // Back to the defaults: a held control fails once its graph is gone.
        DDCOLORCONTROL defaults{40, 0x2F, 750, 10000, 0, 10000, 5, 1, 0, 0};
        ASSERT_EQ(control->SetColorControls(&defaults), S_OK);
        FilterGraph* gone = new FilterGraph;
        gone->AddVideoRenderer(RendererOverlay, &panel);
        auto orphan = gone->OverlayColorControl();
        delete gone;
        EXPECT_EQ(orphan->GetColorControls(&c), VFW_E_NOT_CONNECTED);
    }
    EXPECT_EQ(DisplayOverlayColors().saturation, 10000);
    FilterGraph painted;
    painted.AddVideoRenderer(RendererWindowless9, &panel);
    EXPECT_EQ(painted.OverlayColorControl(), nullptr);
    FilterGraph other;
    other.AddVideoRenderer(0, &panel);
    EXPECT_EQ(other.OverlayColorControl(), nullptr);
    EXPECT_EQ(other.GetPictureControls(), nullptr);
}

TEST_F(Colour, PaintedRendererPictureControls)
{
    FilterGraph graph;
    graph.AddVideoRenderer(RendererWindowless9, &panel);
    auto controls = graph.GetPictureControls();
    ASSERT_TRUE(controls);
    ASSERT_EQ(graph.RenderFile(F("clip.avi")), S_OK);

    struct Expected {
        DWORD property;
        float min, max, def;
    } expected[] = {{1, -100, 100, 0}, {2, 0, 200, 100}, {4, -180, 180, 0}, {8, 0, 200, 100}};
    for (const Expected& e : expected) {
        VMR9ProcAmpControlRange r{24, e.property, 0, 0, 0, 0};
        ASSERT_EQ(controls->GetProcAmpControlRange(0, &r), S_OK) << e.property;
        EXPECT_EQ(r.MinValue, e.min);
        EXPECT_EQ(r.MaxValue, e.max);
        EXPECT_EQ(r.DefaultValue, e.def);
        EXPECT_EQ(r.StepSize, 1.0f);
    }
    VMR9ProcAmpControlRange both{24, 3, 0, 0, 0, 0};
    EXPECT_EQ(controls->GetProcAmpControlRange(0, &both), E_INVALIDARG);

    VMR9ProcAmpControl c{24, 0, 0, 0, 0, 0};
    ASSERT_EQ(controls->GetProcAmpControl(0, &c), S_OK);
    EXPECT_EQ(c.dwFlags, 0xFu);
    EXPECT_EQ(c.Contrast, 100.0f);
    EXPECT_EQ(c.Saturation, 100.0f);

    ASSERT_TRUE(WaitUntil([&] { return !graph.CurrentImage().isNull(); }));
    const QImage plain = graph.CurrentImage();
    // Out of range: refused, nothing changes.
    VMR9ProcAmpControl bad{24, ProcAmpControl9_Saturation | ProcAmpControl9_Brightness, 300, 0, 0, 0};
    EXPECT_EQ(controls->SetProcAmpControl(0, &bad), E_INVALIDARG);
    VMR9ProcAmpControl grey{24, ProcAmpControl9_Saturation | ProcAmpControl9_Brightness, 20, 0, 0, 0};
    ASSERT_EQ(controls->SetProcAmpControl(0, &grey), S_OK);
    ColorValues values;
    graph.GetColorValues(&values);
    EXPECT_EQ(values.saturation, 0);
    EXPECT_EQ(values.brightness, 750 + 2000);   // videobalance brightness 0.2
    EXPECT_EQ(values.contrast, 10000);
    const QImage greyed = Redrawn(graph, plain);
    EXPECT_LT(ColouredShare(greyed), 0.02);
    // The display's overlay values are not the painted renderer's.
    EXPECT_EQ(DisplayOverlayColors().saturation, 10000);

    // The output rectangle mirrors what the canvas paints.
    QWidget* canvas = nullptr;
    for (QWidget* child : panel.findChildren<QWidget*>()) canvas = child;
    ASSERT_TRUE(canvas);
    const QImage before = canvas->grab().toImage();
    const VMR9NormalizedRect mirrored{1, 0, 0, 1};
    ASSERT_EQ(controls->SetOutputRect(0, &mirrored), S_OK);
    const QImage after = canvas->grab().toImage();
    ASSERT_EQ(before.size(), after.size());
    const QImage expectedMirror = before.mirrored(true, false);
    int close = 0, total = 0;
    for (int y = 8; y < before.height(); y += 16)
        for (int x = 8; x < before.width(); x += 16, ++total)
            close += std::abs(qGray(after.pixel(x, y)) - qGray(expectedMirror.pixel(x, y))) < 16;
    EXPECT_GT(close, total * 9 / 10);
    const VMR9NormalizedRect part{0, 0, 0.5f, 1};
    EXPECT_EQ(controls->SetOutputRect(0, &part), E_INVALIDARG);
}

}  // namespace
