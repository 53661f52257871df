#include "platform/media/renderers.h"

#include <gst/video/video.h>

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QResizeEvent>

#include <utility>

namespace media::detail {

// ---- FrameStore ----

FrameStore::~FrameStore()
{
    if (sample_) gst_sample_unref(sample_);
}

int FrameStore::EventType()
{
    static const int type = QEvent::registerEventType();
    return type;
}

void FrameStore::Put(GstSample* sample)
{
    GstSample* old = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        old = sample_;
        sample_ = sample;
        if (target_ && !pending_) {
            pending_ = true;
            QCoreApplication::postEvent(target_, new QEvent(static_cast<QEvent::Type>(EventType())));
        }
    }
    if (old) gst_sample_unref(old);
}

GstSample* FrameStore::Current()
{
    std::lock_guard<std::mutex> lock(mutex_);
    pending_ = false;
    return sample_ ? gst_sample_ref(sample_) : nullptr;
}

void FrameStore::Attach(QObject* target)
{
    std::lock_guard<std::mutex> lock(mutex_);
    target_ = target;
    pending_ = false;
}

void FrameStore::Detach()
{
    std::lock_guard<std::mutex> lock(mutex_);
    target_ = nullptr;
}

// ---- VideoCanvas ----

VideoCanvas::VideoCanvas(QWidget* panel, std::shared_ptr<FrameStore> frames, std::shared_ptr<RenderStats> stats)
    : QWidget(panel), frames_(std::move(frames)), stats_(std::move(stats))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(panel->rect());
    panel->installEventFilter(this);
    lower();
    frames_->Attach(this);
}

VideoCanvas::~VideoCanvas()
{
    frames_->Detach();
}

void VideoCanvas::SetVideoRect(const QRect& rect)
{
    if (rect == videoRect_) return;
    videoRect_ = rect;
    update();
}

void VideoCanvas::SetMirrored(bool horizontal, bool vertical)
{
    if (horizontal == mirrorH_ && vertical == mirrorV_) return;
    mirrorH_ = horizontal;
    mirrorV_ = vertical;
    update();
}

bool VideoCanvas::event(QEvent* e)
{
    if (e->type() == FrameStore::EventType()) {
        // Paint at once: the frame is due now, and a frame that waits for the
        // next idle pass of the event loop is shown late.
        repaint(VideoRect());
        return true;
    }
    return QWidget::event(e);
}

bool VideoCanvas::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == parent() && e->type() == QEvent::Resize) {
        setGeometry(static_cast<QResizeEvent*>(e)->size().isValid()
                        ? QRect(QPoint(0, 0), static_cast<QResizeEvent*>(e)->size())
                        : parentWidget()->rect());
    }
    return false;
}

namespace {

// The largest rectangle of the picture's shape inside the video rectangle,
// centred (the rest of the video rectangle is border).
QRect Letterboxed(const QRect& area, int width, int height, int parN, int parD)
{
    if (width <= 0 || height <= 0 || parN <= 0 || parD <= 0 || area.isEmpty()) return area;
    const double shape = static_cast<double>(width) * parN / (static_cast<double>(height) * parD);
    int w = area.width();
    int h = qRound(w / shape);
    if (h > area.height()) {
        h = area.height();
        w = qRound(h * shape);
    }
    return QRect(area.x() + (area.width() - w) / 2, area.y() + (area.height() - h) / 2, w, h);
}

}  // namespace

void VideoCanvas::paintEvent(QPaintEvent* e)
{
    QPainter painter(this);
    const QRect area = VideoRect();
    GstSample* sample = e->rect().intersects(area) ? frames_->Current() : nullptr;
    GstVideoInfo info;
    GstVideoFrame frame;
    GstBuffer* buffer = sample ? gst_sample_get_buffer(sample) : nullptr;
    const bool mapped = buffer && gst_video_info_from_caps(&info, gst_sample_get_caps(sample))
                        && gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ);
    // The window's video rectangle already has the shape it wants (stretched
    // on purpose in the free mode): the picture fills it. Only without one
    // does the picture keep its own shape in the panel.
    QRect picture;
    if (mapped)
        picture = videoRect_.isValid() ? area
                                       : Letterboxed(area, GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info),
                                                     GST_VIDEO_INFO_PAR_N(&info), GST_VIDEO_INFO_PAR_D(&info));
    const QRegion borders = QRegion(e->rect()).subtracted(QRegion(picture));
    for (const QRect& r : borders) painter.fillRect(r, Qt::black);
    if (mapped) {
        const QImage image(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                           GST_VIDEO_FRAME_WIDTH(&frame), GST_VIDEO_FRAME_HEIGHT(&frame),
                           GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), QImage::Format_RGB32);
        if (image.size() != picture.size()) painter.setRenderHint(QPainter::SmoothPixmapTransform);
        if (mirrorH_ || mirrorV_)
            painter.drawImage(picture, image.mirrored(mirrorH_, mirrorV_));
        else
            painter.drawImage(picture, image);
        gst_video_frame_unmap(&frame);
        if (buffer != lastBuffer_) {
            lastBuffer_ = buffer;
            ++painted_;
            stats_->FrameShown();
        }
    }
    if (sample) gst_sample_unref(sample);
}

// ---- OverlayWindow ----

OverlayWindow::OverlayWindow(QWidget* panel) : QWidget(panel)
{
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(panel->rect());
    lower();
}

OverlayWindow::~OverlayWindow()
{
    if (onGone) onGone();
}

void OverlayWindow::paintEvent(QPaintEvent*)
{
    if (onExpose) onExpose();
}

void OverlayWindow::resizeEvent(QResizeEvent*)
{
    if (onExpose) onExpose();
}

void OverlayWindow::showEvent(QShowEvent*)
{
    if (onExpose) onExpose();
}

// ---- frames scaled for a sink that cannot scale ----

namespace {

GstElement* ChildNamed(GstElement* bin, const char* name) { return gst_bin_get_by_name(GST_BIN(bin), name); }

// Upstream is told that the bin takes frames of any size. The sink prefers
// frames of its window's size, and a scaler upstream would otherwise make
// them so: the held still frame would then be a scaled copy, too coarse to
// be scaled again for another size.
GstPadProbeReturn AnySizeInto(GstPad*, GstPadProbeInfo* info, gpointer)
{
    GstQuery* query = GST_PAD_PROBE_INFO_QUERY(info);
    if (!query || GST_QUERY_TYPE(query) != GST_QUERY_CAPS || !gst_query_is_writable(query)) return GST_PAD_PROBE_OK;
    GstCaps* result = nullptr;
    gst_query_parse_caps_result(query, &result);
    if (!result) return GST_PAD_PROBE_OK;
    GstCaps* any = gst_caps_copy(result);
    for (guint i = 0; i < gst_caps_get_size(any); ++i) {
        GstStructure* s = gst_caps_get_structure(any, i);
        gst_structure_set(s, "width", GST_TYPE_INT_RANGE, 1, G_MAXINT, "height", GST_TYPE_INT_RANGE, 1, G_MAXINT,
                          nullptr);
        gst_structure_remove_field(s, "pixel-aspect-ratio");
    }
    any = gst_caps_simplify(any);
    GstCaps* filter = nullptr;
    gst_query_parse_caps(query, &filter);
    if (filter) {
        GstCaps* both = gst_caps_intersect_full(filter, any, GST_CAPS_INTERSECT_FIRST);
        gst_caps_unref(any);
        any = both;
    }
    gst_query_set_caps_result(query, any);
    gst_caps_unref(any);
    return GST_PAD_PROBE_OK;
}

// A frame the scaler made for the old size, still on its way when the window
// sets a new one, would fail to negotiate at the new size filter and stop a
// source that takes that as fatal (the DVD's). Such a frame is dropped, and
// the scaler makes the next one for the new size.
GstPadProbeReturn DropFrameOfOldSize(GstPad* pad, GstPadProbeInfo*, gpointer filter)
{
    GstCaps* current = gst_pad_get_current_caps(pad);
    GstCaps* wanted = nullptr;
    g_object_get(filter, "caps", &wanted, nullptr);
    const bool stale = current && wanted && !gst_caps_can_intersect(current, wanted);
    if (current) gst_caps_unref(current);
    if (wanted) gst_caps_unref(wanted);
    if (!stale) return GST_PAD_PROBE_OK;
    gst_pad_mark_reconfigure(pad);
    return GST_PAD_PROBE_DROP;
}

// The last frame that reached the scaler, at the size it came in, so that a
// picture that sends no more frames (a disc's still menu) can be scaled
// again when the window changes size. Forgotten when the frames change
// format: an old frame must never go out under new caps.
struct LastFrame {
    std::mutex mutex;
    GstBuffer* buffer = nullptr;
    qint64 arrivedUs = 0;   // g_get_monotonic_time() of the stream's last frame
    const char* child = nullptr;   // the element of the bin it goes into again; null: the bin's own input
    ~LastFrame()
    {
        if (buffer) gst_buffer_unref(buffer);
    }
    void Keep(GstBuffer* b)
    {
        GstBuffer* old;
        {
            std::lock_guard<std::mutex> lock(mutex);
            old = buffer;
            buffer = b;
            // A frame sent again has no time of its own: it is not the stream's.
            if (b && GST_BUFFER_PTS_IS_VALID(b)) arrivedUs = g_get_monotonic_time();
        }
        if (old) gst_buffer_unref(old);
    }
};
// Frames closer together than this are a moving picture: its next frame
// comes at the new size anyway, and one sent again would only get in its way
// (a pause or a frame step taking it for the stream's).
constexpr qint64 kStillAfterUs = 200000;
using LastFrameRef = std::shared_ptr<LastFrame>;
constexpr char kLastFrameKey[] = "zoravel-last-frame";

void DeleteLastFrameRef(gpointer p) { delete static_cast<LastFrameRef*>(p); }

GstPadProbeReturn KeepLastFrame(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    LastFrame& last = **static_cast<LastFrameRef*>(data);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
        last.Keep(gst_buffer_ref(GST_PAD_PROBE_INFO_BUFFER(info)));
    } else if (GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info)) {
        if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) last.Keep(nullptr);
    }
    return GST_PAD_PROBE_OK;
}

// A stream that has ended (a still picture stays shown after its end)
// refuses frames: the part of it from `element` on is flushed as a seek
// flushes it, the running time starting again, and a segment from its start
// opens it. The sinks take the next frame as their new first one (the
// pipeline prerolls on it and plays on); no end follows it: the window has
// heard of the end already. Returns the pipeline when it holds still frames
// (a new reference), else null.
GstElement* ReopenEndedStream(GstElement* element, GstPad* pad)
{
    GstCaps* caps = gst_pad_get_current_caps(pad);
    gst_pad_send_event(pad, gst_event_new_flush_start());
    gst_pad_send_event(pad, gst_event_new_flush_stop(TRUE));
    if (caps) {
        gst_pad_send_event(pad, gst_event_new_caps(caps));
        gst_caps_unref(caps);
    }
    // A still-frame holder after the element forgets the format when it is
    // flushed, and the elements before it do not send an unchanged one
    // again: each holder of the pipeline is given its own again.
    GstObject* top = GST_OBJECT(gst_object_ref(element));
    while (GstObject* parent = gst_object_get_parent(top)) {
        gst_object_unref(top);
        top = parent;
    }
    bool holders = false;
    if (GST_IS_BIN(top)) {
        g_autoptr(GstIterator) it = gst_bin_iterate_recurse(GST_BIN(top));
        GValue item = G_VALUE_INIT;
        while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
            auto* e = GST_ELEMENT(g_value_get_object(&item));
            GstElementFactory* f = gst_element_get_factory(e);
            if (f && g_str_equal(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(f)), "imagefreeze")) {
                g_autoptr(GstPad) in = gst_element_get_static_pad(e, "sink");
                g_autoptr(GstCaps) held = in ? gst_pad_get_current_caps(in) : nullptr;
                // Only a holder the frames go through has a format.
                if (held) {
                    gst_pad_send_event(in, gst_event_new_caps(held));
                    holders = true;
                }
            }
            g_value_reset(&item);
        }
        g_value_unset(&item);
    }
    if (!holders) {
        gst_object_unref(top);
        top = nullptr;
    }
    GstSegment segment;
    gst_segment_init(&segment, GST_FORMAT_TIME);
    gst_pad_send_event(pad, gst_event_new_segment(&segment));
    return top ? GST_ELEMENT(top) : nullptr;
}

// Runs on a thread of GStreamer's pool: the push may wait for the sink.
void PushLastFrame(GstElement* bin, gpointer data)
{
    LastFrame& last = **static_cast<LastFrameRef*>(data);
    GstElement* into = last.child ? ChildNamed(bin, last.child) : GST_ELEMENT(gst_object_ref(bin));
    GstPad* pad = into ? gst_element_get_static_pad(into, "sink") : nullptr;
    // After the stream's end no frame of its own follows, however recent
    // the last one.
    const bool ended = pad && GST_PAD_IS_EOS(pad);
    GstBuffer* frame = nullptr;
    {
        std::lock_guard<std::mutex> lock(last.mutex);
        if (last.buffer && (ended || g_get_monotonic_time() - last.arrivedUs >= kStillAfterUs))
            frame = gst_buffer_copy(last.buffer);   // the pixels are shared
    }
    if (frame && pad) {
        // Without a time the sink draws it at once instead of dropping it as late.
        GST_BUFFER_PTS(frame) = GST_CLOCK_TIME_NONE;
        GST_BUFFER_DTS(frame) = GST_CLOCK_TIME_NONE;
        GST_BUFFER_DURATION(frame) = GST_CLOCK_TIME_NONE;
        GstElement* holding = ended ? ReopenEndedStream(into, pad) : nullptr;
        // The pad's stream lock puts it between two frames of the stream;
        // while the pipeline flushes it is refused.
        gst_pad_chain(pad, frame);
        if (holding) {
            // The holder keeps the new frame and sends it, timed from its
            // own start, which only a seek's flush makes the running time
            // again (a frame sent at once would be too late for the sink).
            gst_element_seek_simple(holding, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, 0);
            gst_object_unref(holding);
        }
    } else if (frame) {
        gst_buffer_unref(frame);
    }
    if (pad) gst_object_unref(pad);
    if (into) gst_object_unref(into);
}

// The frame size the window asks for. The size filter takes it on the
// stream's own thread, just before a frame enters the scaler: a size set from
// the window's thread while the stream was still agreeing on the size before
// made that agreement fail ("not negotiated"), and the stream stopped for
// good (a window dragged larger changes the size many times a second).
struct SizeRequest {
    std::mutex mutex;
    GstCaps* asked = nullptr;     // the newest size asked for
    GstCaps* pending = nullptr;   // not yet on the filter
    GstElement* filter = nullptr;   // a reference of ours
    ~SizeRequest()
    {
        for (GstCaps* caps : {asked, pending})
            if (caps) gst_caps_unref(caps);
        if (filter) gst_object_unref(filter);
    }
};
using SizeRequestRef = std::shared_ptr<SizeRequest>;
constexpr char kSizeRequestKey[] = "zoravel-size-request";

void DeleteSizeRequestRef(gpointer p) { delete static_cast<SizeRequestRef*>(p); }

GstPadProbeReturn ApplyAskedSize(GstPad*, GstPadProbeInfo*, gpointer data)
{
    SizeRequest& request = **static_cast<SizeRequestRef*>(data);
    GstCaps* caps;
    {
        std::lock_guard<std::mutex> lock(request.mutex);
        caps = std::exchange(request.pending, nullptr);
    }
    if (!caps) return GST_PAD_PROBE_OK;
    // The filter sends a reconfigure event upstream: this frame is scaled to
    // the new size, and the elements before agree on it with their next one.
    g_object_set(request.filter, "caps", caps, nullptr);
    gst_caps_unref(caps);
    return GST_PAD_PROBE_OK;
}

}  // namespace

GstElement* MakeScalingSinkBin(GstElement* sink)
{
    GstElement* scale = gst_element_factory_make("videoscale", "scale");
    GstElement* size = gst_element_factory_make("capsfilter", "size");
    GstElement* freeze = gst_element_factory_make("imagefreeze", "freeze");
    GstElement* once = gst_element_factory_make("capsfilter", "once");
    if (!scale || !size) {
        for (GstElement* e : {scale, size, freeze, once})
            if (e) gst_object_unref(gst_object_ref_sink(e));
        return nullptr;
    }
    // The frames fill the window: its shape is the one the picture is to take.
    g_object_set(scale, "add-borders", FALSE, nullptr);
    GstElement* bin = gst_bin_new(nullptr);
    gst_object_ref_sink(bin);
    gst_bin_add_many(GST_BIN(bin), scale, size, sink, nullptr);
    gst_element_link_many(scale, size, sink, nullptr);
    GstPad* scaled = gst_element_get_static_pad(scale, "src");
    gst_pad_add_probe(scaled, GST_PAD_PROBE_TYPE_BUFFER, DropFrameOfOldSize, gst_object_ref(size), gst_object_unref);
    gst_object_unref(scaled);
    auto last = std::make_shared<LastFrame>();
    last->child = "scale";
    GstPad* into = gst_element_get_static_pad(scale, "sink");
    gst_pad_add_probe(into, static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                      KeepLastFrame, new LastFrameRef(last), DeleteLastFrameRef);
    g_object_set_data_full(G_OBJECT(bin), kLastFrameKey, new LastFrameRef(last), DeleteLastFrameRef);
    auto request = std::make_shared<SizeRequest>();
    request->filter = GST_ELEMENT(gst_object_ref(size));
    gst_pad_add_probe(into, static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
                      ApplyAskedSize, new SizeRequestRef(request), DeleteSizeRequestRef);
    gst_object_unref(into);
    g_object_set_data_full(G_OBJECT(bin), kSizeRequestKey, new SizeRequestRef(request), DeleteSizeRequestRef);
    if (freeze && once) {
        // One frame, then the end of the stream: the picture is sent again
        // only when asked by a seek.
        GstCaps* caps = gst_caps_new_simple("video/x-raw", "framerate", GST_TYPE_FRACTION, 0, 1, nullptr);
        g_object_set(once, "caps", caps, nullptr);
        gst_caps_unref(caps);
        gst_bin_add_many(GST_BIN(bin), freeze, once, nullptr);
        gst_element_link(freeze, once);
    } else {
        for (GstElement* e : {freeze, once})
            if (e) gst_object_unref(gst_object_ref_sink(e));
    }
    GstPad* target = gst_element_get_static_pad(scale, "sink");
    GstPad* ghost = gst_ghost_pad_new("sink", target);
    gst_object_unref(target);
    // The answer is widened after the elements of the bin have given it.
    const auto answered = static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM | GST_PAD_PROBE_TYPE_PULL);
    gst_pad_add_probe(ghost, answered, AnySizeInto, nullptr, nullptr);
    gst_element_add_pad(bin, ghost);
    return bin;
}

bool SetScaledFrameSize(GstElement* bin, int width, int height)
{
    if (!bin || width <= 0 || height <= 0) return false;
    auto* ref = static_cast<SizeRequestRef*>(g_object_get_data(G_OBJECT(bin), kSizeRequestKey));
    if (!ref) return false;
    SizeRequest& request = **ref;
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, width, "height", G_TYPE_INT, height,
                                        nullptr);
    std::lock_guard<std::mutex> lock(request.mutex);
    if (request.asked && gst_caps_is_equal(request.asked, caps)) {
        gst_caps_unref(caps);
        return false;
    }
    // The next frame into the scaler takes it (ApplyAskedSize).
    gst_caps_replace(&request.asked, caps);
    gst_caps_replace(&request.pending, caps);
    gst_caps_unref(caps);
    return true;
}

bool HoldStillFrames(GstElement* bin)
{
    if (!bin) return false;
    GstElement* freeze = ChildNamed(bin, "freeze");
    GstElement* once = ChildNamed(bin, "once");
    GstElement* scale = ChildNamed(bin, "scale");
    GstPad* ghost = gst_element_get_static_pad(bin, "sink");
    bool held = false;
    if (freeze && once && scale && ghost) {
        GstPad* freezeSink = gst_element_get_static_pad(freeze, "sink");
        GstPad* scaleSink = gst_element_get_static_pad(scale, "sink");
        if (gst_ghost_pad_set_target(GST_GHOST_PAD(ghost), freezeSink)) {
            held = gst_element_link(once, scale);
            if (!held) gst_ghost_pad_set_target(GST_GHOST_PAD(ghost), scaleSink);
        }
        gst_object_unref(freezeSink);
        gst_object_unref(scaleSink);
    }
    for (GstElement* e : {freeze, once, scale})
        if (e) gst_object_unref(e);
    if (ghost) gst_object_unref(ghost);
    return held;
}

void KeepLastFrameOf(GstElement* element)
{
    GstPad* pad = element ? gst_element_get_static_pad(element, "sink") : nullptr;
    if (!pad) return;
    auto last = std::make_shared<LastFrame>();
    gst_pad_add_probe(pad, static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                      KeepLastFrame, new LastFrameRef(last), DeleteLastFrameRef);
    gst_object_unref(pad);
    g_object_set_data_full(G_OBJECT(element), kLastFrameKey, new LastFrameRef(last), DeleteLastFrameRef);
}

GstSample* LastFrameOf(GstElement* element)
{
    auto* last = element ? static_cast<LastFrameRef*>(g_object_get_data(G_OBJECT(element), kLastFrameKey)) : nullptr;
    if (!last) return nullptr;
    GstBuffer* buffer = nullptr;
    {
        std::lock_guard<std::mutex> lock((*last)->mutex);
        if ((*last)->buffer) buffer = gst_buffer_ref((*last)->buffer);
    }
    if (!buffer) return nullptr;
    // The frame is forgotten when the format changes: the pad's is its own.
    GstPad* pad = gst_element_get_static_pad(element, "sink");
    GstCaps* caps = pad ? gst_pad_get_current_caps(pad) : nullptr;
    GstSample* sample = caps ? gst_sample_new(buffer, caps, nullptr, nullptr) : nullptr;
    if (caps) gst_caps_unref(caps);
    if (pad) gst_object_unref(pad);
    gst_buffer_unref(buffer);
    return sample;
}

void RepeatLastFrame(GstElement* bin)
{
    auto* last = bin ? static_cast<LastFrameRef*>(g_object_get_data(G_OBJECT(bin), kLastFrameKey)) : nullptr;
    if (last) gst_element_call_async(bin, PushLastFrame, new LastFrameRef(*last), DeleteLastFrameRef);
}

}  // namespace media::detail
