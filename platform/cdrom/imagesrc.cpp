// The image source: a GstPushSrc in time format whose seeks move a byte
// position on the disc; each buffer is read from the disc image there.
#include "platform/cdrom/imagesrc.h"

#include <gst/base/gstpushsrc.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace {

constexpr int kRate = 44100;
constexpr int kBytesPerSample = 4;
// About a tenth of a second a buffer: whole frames of the disc.
constexpr std::int64_t kBufferBytes = 8 * cdrom::kBytesPerFrame;

struct Disc {
    explicit Disc(const cdrom::DiscImage& image) : reader(image) {}
    std::mutex mutex;
    cdrom::DiscReader reader;
    std::int64_t origin = 0;     // disc byte of stream time 0
    std::int64_t end = 0;        // stream bytes to the lead-out
    std::int64_t position = 0;   // stream bytes
};

}  // namespace

struct ZoImageSrc {
    GstPushSrc parent;
    Disc* disc;
};

struct ZoImageSrcClass {
    GstPushSrcClass parent_class;
};

G_DEFINE_TYPE(ZoImageSrc, zo_image_src, GST_TYPE_PUSH_SRC)

namespace {

GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format=(string)S16LE, layout=(string)interleaved, rate=(int)44100, "
                    "channels=(int)2, channel-mask=(bitmask)0x3"));

gint64 BytesToNs(std::int64_t bytes)
{
    return static_cast<gint64>(gst_util_uint64_scale(static_cast<guint64>(bytes / kBytesPerSample), GST_SECOND, kRate));
}

std::int64_t NsToBytes(guint64 ns)
{
    return static_cast<std::int64_t>(gst_util_uint64_scale(ns, kRate, GST_SECOND)) * kBytesPerSample;
}

gboolean IsSeekable(GstBaseSrc*) { return TRUE; }

gboolean DoSeek(GstBaseSrc* base, GstSegment* segment)
{
    Disc* disc = reinterpret_cast<ZoImageSrc*>(base)->disc;
    if (!disc || segment->format != GST_FORMAT_TIME || segment->rate < 0) return FALSE;
    std::lock_guard<std::mutex> lock(disc->mutex);
    disc->position = std::min(NsToBytes(segment->start), disc->end);
    segment->position = segment->start;
    segment->time = segment->start;
    return TRUE;
}

gboolean QueryDuration(GstBaseSrc* base, GstQuery* query)
{
    Disc* disc = reinterpret_cast<ZoImageSrc*>(base)->disc;
    if (disc && GST_QUERY_TYPE(query) == GST_QUERY_DURATION) {
        GstFormat format;
        gst_query_parse_duration(query, &format, nullptr);
        if (format == GST_FORMAT_TIME) {
            gst_query_set_duration(query, GST_FORMAT_TIME, BytesToNs(disc->end));
            return TRUE;
        }
    }
    return GST_BASE_SRC_CLASS(zo_image_src_parent_class)->query(base, query);
}

GstFlowReturn Create(GstPushSrc* push, GstBuffer** out)
{
    GstBaseSrc* base = GST_BASE_SRC(push);
    Disc* disc = reinterpret_cast<ZoImageSrc*>(push)->disc;
    if (!disc) return GST_FLOW_ERROR;
    std::lock_guard<std::mutex> lock(disc->mutex);
    // A play ends at its stop exactly: the last buffer is cut there.
    std::int64_t end = disc->end;
    if (GST_CLOCK_TIME_IS_VALID(base->segment.stop)) end = std::min(end, NsToBytes(base->segment.stop));
    if (disc->position >= end) return GST_FLOW_EOS;
    const std::int64_t size = std::min(kBufferBytes, end - disc->position);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, static_cast<gsize>(size), nullptr);
    GstMapInfo map;
    if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
        if (buffer) gst_buffer_unref(buffer);
        return GST_FLOW_ERROR;
    }
    const bool read = disc->reader.Read(disc->origin + disc->position, reinterpret_cast<char*>(map.data), size);
    gst_buffer_unmap(buffer, &map);
    if (!read) {
        gst_buffer_unref(buffer);
        GST_ELEMENT_ERROR(push, RESOURCE, READ, ("The disc image's data file cannot be read."), (nullptr));
        return GST_FLOW_ERROR;
    }
    GST_BUFFER_PTS(buffer) = static_cast<GstClockTime>(BytesToNs(disc->position));
    GST_BUFFER_DURATION(buffer) = static_cast<GstClockTime>(BytesToNs(disc->position + size) - BytesToNs(disc->position));
    GST_BUFFER_OFFSET(buffer) = static_cast<guint64>(disc->position / kBytesPerSample);
    disc->position += size;
    GST_BUFFER_OFFSET_END(buffer) = static_cast<guint64>(disc->position / kBytesPerSample);
    *out = buffer;
    return GST_FLOW_OK;
}

void Finalize(GObject* object)
{
    ZoImageSrc* self = reinterpret_cast<ZoImageSrc*>(object);
    delete self->disc;
    self->disc = nullptr;
    G_OBJECT_CLASS(zo_image_src_parent_class)->finalize(object);
}

}  // namespace

static void zo_image_src_class_init(ZoImageSrcClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = Finalize;
    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element, &srcTemplate);
    gst_element_class_set_static_metadata(element, "Disc image source", "Source/Audio",
                                          "Plays the sound of a cue-sheet disc image", "Zoravel");
    GstBaseSrcClass* base = GST_BASE_SRC_CLASS(klass);
    base->is_seekable = IsSeekable;
    base->do_seek = DoSeek;
    base->query = QueryDuration;
    GST_PUSH_SRC_CLASS(klass)->create = Create;
}

static void zo_image_src_init(ZoImageSrc* self)
{
    self->disc = nullptr;
    gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
}

namespace cdrom {

GstElement* CreateImageSource(const DiscImage& image, int originFrame)
{
    auto* self = static_cast<ZoImageSrc*>(g_object_new(zo_image_src_get_type(), nullptr));
    auto disc = std::make_unique<Disc>(image);
    disc->origin = std::int64_t{std::max(0, originFrame - kLeadInFrames)} * kBytesPerFrame;
    disc->end = std::max<std::int64_t>(0, std::int64_t{image.layout.leadOut - kLeadInFrames} * kBytesPerFrame - disc->origin);
    self->disc = disc.release();
    return GST_ELEMENT(self);
}

}  // namespace cdrom
