#include "platform/dvd/karaoke.h"

#include <algorithm>
#include <atomic>
#include <initializer_list>

namespace dvd {

namespace {

// Where a DVD channel lies in the decoded buffer: by its position when the
// caps give positions, else by its number.
int ChannelIndex(int number, int channels, const GstAudioChannelPosition* positions,
                 std::initializer_list<GstAudioChannelPosition> wanted)
{
    if (positions) {
        for (int i = 0; i < channels; ++i)
            for (GstAudioChannelPosition p : wanted)
                if (positions[i] == p) return i;
        return -1;
    }
    return number < channels ? number : -1;
}

std::vector<std::vector<double>> Identity(int channels)
{
    const size_t n = size_t(std::max(channels, 0));
    std::vector<std::vector<double>> m(n, std::vector<double>(n, 0.0));
    for (size_t i = 0; i < n; ++i) m[i][i] = 1.0;
    return m;
}

}   // namespace

std::vector<std::vector<double>> KaraokeMatrix(ULONG mode, int channels,
                                               const GstAudioChannelPosition* positions)
{
    std::vector<std::vector<double>> m = Identity(channels);
    const int left = ChannelIndex(0, channels, positions, {GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT});
    const int right = ChannelIndex(1, channels, positions, {GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT});
    if (left < 0 || right < 0) return m;
    const int aux[3] = {
        ChannelIndex(2, channels, positions, {GST_AUDIO_CHANNEL_POSITION_FRONT_CENTER}),
        ChannelIndex(3, channels, positions,
                     {GST_AUDIO_CHANNEL_POSITION_REAR_LEFT, GST_AUDIO_CHANNEL_POSITION_SIDE_LEFT}),
        ChannelIndex(4, channels, positions,
                     {GST_AUDIO_CHANNEL_POSITION_REAR_RIGHT, GST_AUDIO_CHANNEL_POSITION_SIDE_RIGHT}),
    };
    for (int k = 0; k < 3; ++k) {
        const int a = aux[k];
        if (a < 0 || a == left || a == right) continue;
        m[size_t(a)][size_t(a)] = 0.0;
        if (mode & (KARAOKE_MIX_2_LEFT << k)) m[size_t(left)][size_t(a)] = 1.0;
        if (mode & (KARAOKE_MIX_2_RIGHT << k)) m[size_t(right)][size_t(a)] = 1.0;
    }
    for (int speaker : {left, right}) {
        std::vector<double>& row = m[size_t(speaker)];
        int used = 0;
        for (double c : row) used += c != 0.0;
        if (used > 1)
            for (double& c : row) c /= used;
    }
    return m;
}

struct KaraokeMixer::State {
    GstElement* element = nullptr;   // identity
    // `wanted` counts the requests; the probe applies the newest once.
    std::atomic<unsigned> wanted{0};
    std::atomic<ULONG> mode{0};
    std::atomic<bool> active{false};
    unsigned applied = 0;   // streaming thread only
};

namespace {

GValue MatrixValue(const std::vector<std::vector<double>>& m)
{
    GValue rows = G_VALUE_INIT;
    g_value_init(&rows, GST_TYPE_ARRAY);
    for (const std::vector<double>& line : m) {
        GValue row = G_VALUE_INIT;
        g_value_init(&row, GST_TYPE_ARRAY);
        for (double c : line) {
            GValue item = G_VALUE_INIT;
            g_value_init(&item, G_TYPE_DOUBLE);
            g_value_set_double(&item, c);
            gst_value_array_append_and_take_value(&row, &item);
        }
        gst_value_array_append_and_take_value(&rows, &row);
    }
    return rows;
}

}   // namespace

KaraokeMixer::KaraokeMixer(GstElement* matrix) : state_(std::make_shared<State>())
{
    state_->element = matrix;
    pad_ = gst_element_get_static_pad(matrix, "sink");
    if (!pad_) return;
    auto* held = new std::shared_ptr<State>(state_);
    probe_ = gst_pad_add_probe(
        pad_, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        +[](GstPad* pad, GstPadProbeInfo* info, gpointer data) -> GstPadProbeReturn {
            State& s = **static_cast<std::shared_ptr<State>*>(data);
            if (info->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
                // New caps set the matrix back to the channels unchanged.
                if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_CAPS) s.applied = s.wanted.load() - 1;
                return GST_PAD_PROBE_OK;
            }
            const unsigned wanted = s.wanted.load();
            if (wanted == s.applied) return GST_PAD_PROBE_OK;
            guint in = 0, out = 0;
            g_object_get(s.element, "in-channels", &in, "out-channels", &out, nullptr);
            g_autoptr(GstCaps) caps = gst_pad_get_current_caps(pad);
            GstAudioInfo audio;
            if (in == 0 || out == 0 || !caps || !gst_audio_info_from_caps(&audio, caps) || guint(audio.channels) != in)
                return GST_PAD_PROBE_OK;
            const bool positioned = !(audio.flags & GST_AUDIO_FLAG_UNPOSITIONED);
            std::vector<std::vector<double>> m =
                s.active.load() ? KaraokeMatrix(s.mode.load(), int(in), positioned ? audio.position : nullptr)
                                : Identity(int(in));
            // The outputs are the first channels of the inputs.
            m.resize(out, std::vector<double>(in, 0.0));
            GValue value = MatrixValue(m);
            g_object_set_property(G_OBJECT(s.element), "matrix", &value);
            g_value_unset(&value);
            s.applied = wanted;
            return GST_PAD_PROBE_OK;
        },
        held, +[](gpointer data) { delete static_cast<std::shared_ptr<State>*>(data); });
    // The sound output takes two channels at most, and that wish would travel
    // up to the decoder, which would then mix the auxiliary channels into
    // the two itself. The mixer asks for the stream's own channels instead;
    // the output's converter mixes down what the mixer gives.
    caps_ = gst_pad_add_probe(
        pad_, GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM,
        +[](GstPad* pad, GstPadProbeInfo* info, gpointer) -> GstPadProbeReturn {
            GstQuery* query = GST_PAD_PROBE_INFO_QUERY(info);
            if (GST_QUERY_TYPE(query) != GST_QUERY_CAPS) return GST_PAD_PROBE_OK;
            GstCaps* filter = nullptr;
            gst_query_parse_caps(query, &filter);
            g_autoptr(GstCaps) own = gst_pad_get_pad_template_caps(pad);
            g_autoptr(GstCaps) result =
                filter ? gst_caps_intersect_full(filter, own, GST_CAPS_INTERSECT_FIRST) : gst_caps_ref(own);
            gst_query_set_caps_result(query, result);
            return GST_PAD_PROBE_HANDLED;
        },
        nullptr, nullptr);
}

KaraokeMixer::~KaraokeMixer()
{
    if (pad_) {
        if (probe_) gst_pad_remove_probe(pad_, probe_);
        if (caps_) gst_pad_remove_probe(pad_, caps_);
        gst_object_unref(pad_);
    }
}

void KaraokeMixer::SetMode(ULONG mode)
{
    state_->mode = mode;
    state_->active = true;
    ++state_->wanted;
}

void KaraokeMixer::Reset()
{
    if (!state_->active.exchange(false)) return;
    ++state_->wanted;
}

}   // namespace dvd
