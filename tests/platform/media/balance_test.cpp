// Balance in its unit on real GStreamer: a level meter after the output
// stage's balance filter reads each channel.
#include "media_test_util.h"

#include "platform/media/output.h"

#include <gst/gst.h>

#include <cmath>
#include <vector>

using namespace media;

namespace {

// The mean level of each channel (dB, -inf as -200) of a stereo tone of
// constant loudness through the balance filter set to `balance`.
std::vector<double> ChannelLevels(long balance)
{
    auto out = AudioOutput::Create(QString(), nullptr, true);
    if (!out || !out->Filter()) return {};
    out->SetBalance(balance);
    GstElement* pipeline = gst_pipeline_new(nullptr);
    GstElement* src = gst_element_factory_make("audiotestsrc", nullptr);
    GstElement* caps = gst_element_factory_make("capsfilter", nullptr);
    GstElement* level = gst_element_factory_make("level", nullptr);
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(src, "num-buffers", 20, "wave", 0 /* sine */, "volume", 0.5, nullptr);
    GstCaps* stereo = gst_caps_from_string("audio/x-raw,format=S16LE,channels=2,rate=44100,layout=interleaved");
    g_object_set(caps, "caps", stereo, nullptr);
    gst_caps_unref(stereo);
    g_object_set(level, "post-messages", TRUE, "interval", G_GUINT64_CONSTANT(20000000), nullptr);
    g_object_set(sink, "sync", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline), src, caps, out->Filter(), level, sink, nullptr);
    gst_object_ref(out->Filter());   // the pipeline takes one; the output keeps its own
    gst_element_link_many(src, caps, out->Filter(), level, sink, nullptr);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    std::vector<double> sum;
    int count = 0;
    GstBus* bus = gst_element_get_bus(pipeline);
    for (;;) {
        GstMessage* m = gst_bus_timed_pop_filtered(
            bus, 5 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_ELEMENT | GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (!m) break;
        const bool done = GST_MESSAGE_TYPE(m) != GST_MESSAGE_ELEMENT;
        const GstStructure* s = gst_message_get_structure(m);
        if (!done && s && gst_structure_has_name(s, "level")) {
            const GValue* rms = gst_structure_get_value(s, "rms");
            GValueArray* values = static_cast<GValueArray*>(g_value_get_boxed(rms));
            G_GNUC_BEGIN_IGNORE_DEPRECATIONS
            sum.resize(values->n_values, 0.0);
            for (guint i = 0; i < values->n_values; ++i)
                sum[i] += std::max(-200.0, g_value_get_double(g_value_array_get_nth(values, i)));
            G_GNUC_END_IGNORE_DEPRECATIONS
            ++count;
        }
        gst_message_unref(m);
        if (done) break;
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    for (double& v : sum) v /= std::max(1, count);
    return sum;
}

}  // namespace

TEST(Balance, AttenuatesTheOtherChannelInHundredthsOfDecibel)
{
    struct Case {
        long balance;
        double leftDrop;    // dB below the louder side
        double rightDrop;
    };
    const Case cases[] = {{0, 0, 0}, {600, 6, 0}, {-2000, 0, 20}, {10000, 200, 0}, {-10000, 0, 200}};
    const std::vector<double> centre = ChannelLevels(0);
    ASSERT_EQ(centre.size(), 2u);
    for (const Case& c : cases) {
        const std::vector<double> levels = ChannelLevels(c.balance);
        ASSERT_EQ(levels.size(), 2u) << c.balance;
        if (c.leftDrop >= 200)
            EXPECT_LT(levels[0], -90) << c.balance;
        else
            EXPECT_NEAR(centre[0] - levels[0], c.leftDrop, 0.3) << c.balance;
        if (c.rightDrop >= 200)
            EXPECT_LT(levels[1], -90) << c.balance;
        else
            EXPECT_NEAR(centre[1] - levels[1], c.rightDrop, 0.3) << c.balance;
    }
}
