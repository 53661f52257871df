#include "platform/media/decoders.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace media {

namespace {

int ThreadsFor(int width, int height)
{
    const long long pixels = static_cast<long long>(width) * height;
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    int wanted = pixels <= 1280LL * 720 ? 2 : pixels <= 1920LL * 1088 ? 4 : 8;
    return std::min(wanted, cores);
}

GstPadProbeReturn OnDecoderCaps(GstPad* pad, GstPadProbeInfo* info, gpointer)
{
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    const GstStructure* s = caps && gst_caps_get_size(caps) > 0 ? gst_caps_get_structure(caps, 0) : nullptr;
    int width = 0, height = 0;
    if (s && gst_structure_get_int(s, "width", &width) && gst_structure_get_int(s, "height", &height)) {
        g_autoptr(GstElement) decoder = gst_pad_get_parent_element(pad);
        if (decoder) g_object_set(decoder, "max-threads", ThreadsFor(width, height), nullptr);
    }
    return GST_PAD_PROBE_OK;
}

}  // namespace

void LimitDecoderThreads(GstElement* element)
{
    GstElementFactory* factory = gst_element_get_factory(element);
    const char* name = factory ? gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)) : nullptr;
    if (!name || std::strncmp(name, "avdec_", 6) != 0) return;
    if (!g_object_class_find_property(G_OBJECT_GET_CLASS(element), "max-threads")) return;
    if (!gst_element_factory_list_is_type(factory, GST_ELEMENT_FACTORY_TYPE_DECODER | GST_ELEMENT_FACTORY_TYPE_MEDIA_VIDEO))
        return;
    // Until the caps tell the size, the smallest count: a stream without a
    // size in its caps decodes on two threads.
    g_object_set(element, "max-threads", 2, nullptr);
    g_autoptr(GstPad) sink = gst_element_get_static_pad(element, "sink");
    if (sink) gst_pad_add_probe(sink, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, OnDecoderCaps, nullptr, nullptr);
}

}  // namespace media
