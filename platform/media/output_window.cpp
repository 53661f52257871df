// The video output's side towards the window: the rectangle, colours and
// flip the window sets, the shown picture drawn again when they change while
// nothing moves (paused, a still, a disc's menu), what was shown, and the
// step down after a failed build.
#include "platform/media/output.h"

#include "platform/media/output_private.h"
#include "platform/media/renderers.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/video/gstvideosink.h>
#include <gst/video/video.h>
#include <gst/video/videooverlay.h>

#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

#ifdef ZORAVEL_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <mutex>

namespace media {

namespace {
// How long after a new rectangle the picture is drawn in it once more.
constexpr int kSecondExposeMs = 60;
}  // namespace


using namespace detail;
using namespace output_detail;

namespace {

// Window sinks draw over a connection of their own to the X server. Our
// requests (a native window moved or resized) must have reached the server
// before a sink draws, or the frame lands where the window was and is lost
// when it moves: one round trip on Qt's connection.
void SyncWindowSystem()
{
#ifdef ZORAVEL_HAVE_XCB
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (connection) std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
#endif
}

// A copy of a frame in the painted renderer's format.
QImage ImageOf(GstSample* sample)
{
    QImage image;
    GstVideoInfo info;
    GstVideoFrame frame;
    GstBuffer* buffer = sample ? gst_sample_get_buffer(sample) : nullptr;
    if (buffer && gst_video_info_from_caps(&info, gst_sample_get_caps(sample))
        && gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) {
        image = QImage(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)), GST_VIDEO_FRAME_WIDTH(&frame),
                       GST_VIDEO_FRAME_HEIGHT(&frame), GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), QImage::Format_RGB32)
                    .copy();
        gst_video_frame_unmap(&frame);
    }
    return image;
}

// The element of a sink (the sink itself or one inside its bin) that keeps
// the last frame it got; a new reference or null.
GstElement* LastSampleHolder(GstElement* sink)
{
    if (HasProperty(sink, "last-sample")) return GST_ELEMENT(gst_object_ref(sink));
    if (!GST_IS_BIN(sink)) return nullptr;
    GstElement* found = nullptr;
    g_autoptr(GstIterator) it = gst_bin_iterate_recurse(GST_BIN(sink));
    GValue item = G_VALUE_INIT;
    while (!found && gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* child = GST_ELEMENT(g_value_get_object(&item));
        if (HasProperty(child, "last-sample")) found = GST_ELEMENT(gst_object_ref(child));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    return found;
}

// The property values of `from` on `to`, either may be null.
void CopyValues(GstElement* from, GstElement* to, std::initializer_list<const char*> names)
{
    if (!from || !to) return;
    for (const char* name : names) {
        GValue value = G_VALUE_INIT;
        g_object_get_property(G_OBJECT(from), name, &value);
        g_object_set_property(G_OBJECT(to), name, &value);
        g_value_unset(&value);
    }
}

// `frame` through a copy of the colour stage with the values of `balance`,
// `gamma` and `flip`, in the format `format`; null when it fails.
GstSample* ThroughFilterCopy(GstSample* frame, GstElement* balance, GstElement* gamma, GstElement* flip,
                             GstCaps* format)
{
    g_autoptr(GstElement) pipeline = gst_parse_launch(
        "appsrc name=in format=time ! videoconvert ! videobalance name=balance ! gamma name=gamma"
        " ! videoflip name=flip ! videoconvert ! videoscale ! appsink name=out sync=false",
        nullptr);
    if (!pipeline) return nullptr;
    g_autoptr(GstElement) in = gst_bin_get_by_name(GST_BIN(pipeline), "in");
    g_autoptr(GstElement) out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    g_autoptr(GstElement) copyBalance = gst_bin_get_by_name(GST_BIN(pipeline), "balance");
    g_autoptr(GstElement) copyGamma = gst_bin_get_by_name(GST_BIN(pipeline), "gamma");
    g_autoptr(GstElement) copyFlip = gst_bin_get_by_name(GST_BIN(pipeline), "flip");
    if (!in || !out) return nullptr;
    CopyValues(balance, copyBalance, {"brightness", "contrast", "hue", "saturation"});
    CopyValues(gamma, copyGamma, {"gamma"});
    CopyValues(flip, copyFlip, {"video-direction"});
    g_object_set(in, "caps", gst_sample_get_caps(frame), nullptr);
    g_object_set(out, "caps", format, nullptr);
    GstSample* result = nullptr;
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE) {
        GstBuffer* buffer = gst_buffer_copy(gst_sample_get_buffer(frame));
        GST_BUFFER_PTS(buffer) = 0;
        gst_app_src_push_buffer(GST_APP_SRC(in), buffer);
        gst_app_src_end_of_stream(GST_APP_SRC(in));
        result = gst_app_sink_try_pull_sample(GST_APP_SINK(out), 2 * GST_SECOND);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    return result;
}

}  // namespace

// ---- what the window sets ----

void VideoOutput::SetRect(const QRect& rect)
{
    settings_.rect = rect;
    ApplyRect();
}

void VideoOutput::SetVisible(bool visible)
{
    settings_.visible = visible;
    if (canvas_) canvas_->setVisible(visible);
    if (overlay_) overlay_->setVisible(visible);
}

bool VideoOutput::HasWidget() const { return canvas_ || overlay_; }

void VideoOutput::SetColors(const ColorValues& colors)
{
    settings_.colors = colors;
    if (balance_) {
        g_object_set(balance_, "brightness", std::clamp((colors.brightness - 750) / 10000.0, -1.0, 1.0), "contrast",
                     std::clamp(colors.contrast / 10000.0, 0.0, 2.0), "hue", std::clamp(colors.hue / 180.0, -1.0, 1.0),
                     "saturation", std::clamp(colors.saturation / 10000.0, 0.0, 2.0), nullptr);
    }
    // Gamma 1 is the unchanged picture; every 100 steps add 1 to the exponent.
    if (gamma_) g_object_set(gamma_, "gamma", std::clamp(1.0 + (colors.gamma - 1) / 100.0, 0.01, 10.0), nullptr);
    RedrawThroughFilter();
}

void VideoOutput::SetFlip(bool horizontal, bool vertical)
{
    settings_.flipH = horizontal;
    settings_.flipV = vertical;
    if (!flip_) return;
    const char* method = horizontal && vertical ? "180" : horizontal ? "horiz" : vertical ? "vert" : "identity";
    gst_util_set_object_arg(G_OBJECT(flip_), "video-direction", method);
    RedrawThroughFilter();
}

bool VideoOutput::SetMirrored(bool horizontal, bool vertical)
{
    settings_.mirrorH = horizontal;
    settings_.mirrorV = vertical;
    if (canvas_) canvas_->SetMirrored(horizontal, vertical);
    return kind_ == Kind::Painted;
}

void VideoOutput::DisplayModeChanged()
{
    if (canvas_) canvas_->update();
    ExposeOverlay();
}

void VideoOutput::ApplyRect()
{
    if (!panel_) return;
    if (canvas_) canvas_->SetVideoRect(settings_.rect);
    if (overlay_) {
        // A sink that boxes the picture itself would box the window's
        // rectangle a second time: within a rectangle the picture fills it.
        if (overlayElement_ && HasProperty(overlayElement_, "force-aspect-ratio"))
            g_object_set(overlayElement_, "force-aspect-ratio", settings_.rect.isValid() ? FALSE : TRUE, nullptr);
        overlay_->setGeometry(settings_.rect.isValid() ? settings_.rect : panel_->rect());
        ApplyScaledFrameSize();
        ExposeOverlay();
        // A sink that draws on a thread of its own (glimagesink) can draw
        // that expose before its window has taken the new size, and then
        // shows nothing new: once the window system has moved it, once more.
        QTimer::singleShot(kSecondExposeMs, overlay_.data(), [this] { ExposeOverlay(true); });
    }
}

void VideoOutput::ApplyScaledFrameSize()
{
    if (!scalingBin_ || !overlay_) return;
    const qreal ratio = overlay_->devicePixelRatioF();
    const QSize size(qRound(overlay_->width() * ratio), qRound(overlay_->height() * ratio));
    // An empty window (a panel not laid out yet) keeps the last size.
    if (size.isEmpty() || size == scaledFrameSize_) return;
    scaledFrameSize_ = size;
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->frameSizeSet = true;
    }
    if (!SetScaledFrameSize(scalingBin_, size.width(), size.height()) || redrawQueued_) return;
    // A window is often laid out several times in one pass: the picture is
    // scaled once, for the last size.
    redrawQueued_ = true;
    QMetaObject::invokeMethod(&context_, [this] { RedrawHeldStill(); }, Qt::QueuedConnection);
}

void VideoOutput::RedrawHeldStill()
{
    redrawQueued_ = false;
    if (!pipeline_ || windowGone_) return;
    bool held;
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        if (shared_->closed || !shared_->prerolled) return;
        held = shared_->stillHeld;
    }
    // The holder answers the seek itself: it sends its frame again, and the
    // frame is scaled to the new size on its way to the sink.
    if (held) {
        gst_element_seek_simple(pipeline_, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, 0);
        return;
    }
    // Other streams may stand still while playing (a disc's menu) and must
    // not be seeked for it: the last frame goes again. A paused sink would
    // hold it back until playback goes on, so only a playing one gets it.
    GstState state = GST_STATE_VOID_PENDING;
    GstState pending = GST_STATE_VOID_PENDING;
    if (gst_element_get_state(pipeline_, &state, &pending, 0) != GST_STATE_CHANGE_FAILURE && state == GST_STATE_PLAYING
        && pending == GST_STATE_VOID_PENDING)
        detail::RepeatLastFrame(scalingBin_);
}

void VideoOutput::RedrawThroughFilter()
{
    if (!pipeline_ || !filter_ || windowGone_ || kind_ == Kind::Fake) return;
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        if (shared_->closed || !shared_->prerolled) return;
    }
    // A state change or seek under way brings a frame through the new values.
    GstState state = GST_STATE_VOID_PENDING;
    GstState pending = GST_STATE_VOID_PENDING;
    const GstStateChangeReturn ret = gst_element_get_state(pipeline_, &state, &pending, 0);
    if (ret == GST_STATE_CHANGE_FAILURE || ret == GST_STATE_CHANGE_ASYNC || pending != GST_STATE_VOID_PENDING) return;
    if (state == GST_STATE_PLAYING) {
        // A stream that stands still while playing (a disc's menu) is idle:
        // its last frame goes through the filter again. A moving picture's
        // next frame has the values anyway (the push skips it).
        detail::RepeatLastFrame(filter_);
        return;
    }
    // Paused, the sink holds its frame and the stream's thread waits in it,
    // so nothing can be pushed through the filter. A flushing seek to the
    // shown frame makes the stream send it again, keeping rate and stop.
    if (state != GST_STATE_PAUSED) return;
    if (!redrawBySeek_) {
        RedrawPausedBeside();
        return;
    }
    gint64 position = -1;
    if (!gst_element_query_position(pipeline_, GST_FORMAT_TIME, &position) || position < 0) return;
    gdouble rate = 1.0;
    g_autoptr(GstQuery) segment = gst_query_new_segment(GST_FORMAT_TIME);
    if (gst_element_query(pipeline_, segment)) gst_query_parse_segment(segment, &rate, nullptr, nullptr, nullptr);
    gst_element_seek(pipeline_, rate, GST_FORMAT_TIME, static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                     GST_SEEK_TYPE_SET, position, GST_SEEK_TYPE_NONE, -1);
}

// A source that must not be seeked (a disc's navigation) cannot send its
// paused frame again, and a flush would stop it. The frame that last entered
// the filter goes through a copy of it with the new values, beside the
// pipeline, and is drawn straight into the sink's window or canvas; the
// sink's own held frame, still with the old values, is drawn once when
// playback goes on.
void VideoOutput::RedrawPausedBeside()
{
    g_autoptr(GstSample) frame = LastFrameOf(filter_);
    if (!frame) return;
    GstElement* drawer = frames_ ? sink_ : overlayElement_;
    if (!drawer || (!frames_ && !GST_IS_VIDEO_SINK(drawer))) return;
    g_autoptr(GstPad) pad = gst_element_get_static_pad(drawer, "sink");
    g_autoptr(GstCaps) format = pad ? gst_pad_get_current_caps(pad) : nullptr;
    if (!format) return;
    GstSample* drawn = ThroughFilterCopy(frame, balance_, gamma_, flip_, format);
    if (!drawn) return;
    if (frames_) {
        frames_->Put(drawn);
        return;
    }
    GstVideoSinkClass* klass = GST_VIDEO_SINK_GET_CLASS(drawer);
    if (klass->show_frame) klass->show_frame(GST_VIDEO_SINK(drawer), gst_sample_get_buffer(drawn));
    gst_sample_unref(drawn);
}

void VideoOutput::ExposeOverlay(bool renewSize)
{
    if (!overlay_) return;
    if (!overlayElement_ && sink_ && GST_IS_BIN(sink_))
        overlayElement_ = gst_bin_get_by_interface(GST_BIN(sink_), GST_TYPE_VIDEO_OVERLAY);
    if (!overlayElement_) return;
    const qreal ratio = overlay_->devicePixelRatioF();
    const int width = qRound(overlay_->width() * ratio);
    const int height = qRound(overlay_->height() * ratio);
    // An empty rectangle is not a place to draw in (the panel of an empty
    // window has no height): nothing to show until it is laid out.
    if (width <= 0 || height <= 0) return;
    SyncWindowSystem();
    // An unchanged rectangle is not passed on as a new size: one sized apart
    // first makes the sink take the window's size afresh.
    if (renewSize) gst_video_overlay_set_render_rectangle(GST_VIDEO_OVERLAY(overlayElement_), 0, 0, width, height + 1);
    gst_video_overlay_set_render_rectangle(GST_VIDEO_OVERLAY(overlayElement_), 0, 0, width, height);
    gst_video_overlay_expose(GST_VIDEO_OVERLAY(overlayElement_));
}

void VideoOutput::WindowGoneAway()
{
    // The panel went away under a sink that draws into it: the sink must not
    // draw into a window that no longer exists.
    windowGone_ = true;
    if (pipeline_) gst_element_set_state(pipeline_, GST_STATE_NULL);
}

// ---- what was shown ----

QImage VideoOutput::CurrentImage() const
{
    g_autoptr(GstSample) sample = nullptr;
    if (frames_) {
        sample = frames_->Current();
    } else if (sink_) {
        // The last frame the sink got, converted as the painted renderer has it.
        g_autoptr(GstElement) holder = LastSampleHolder(sink_);
        g_autoptr(GstSample) last = nullptr;
        if (holder) g_object_get(holder, "last-sample", &last, nullptr);
        g_autoptr(GstCaps) caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, PaintedFormat(), nullptr);
        if (last) sample = gst_video_convert_sample(last, caps, 25 * GST_SECOND, nullptr);
    }
    return ImageOf(sample);
}

QImage VideoOutput::PictureImage() const
{
    if (!scalingBin_) return CurrentImage();
    // The frame before it was scaled to the window.
    g_autoptr(GstSample) last = LastFrameOf(scalingBin_);
    if (!last) return {};
    g_autoptr(GstCaps) caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, PaintedFormat(), nullptr);
    g_autoptr(GstSample) converted = gst_video_convert_sample(last, caps, 25 * GST_SECOND, nullptr);
    return ImageOf(converted);
}

namespace {

GstPadProbeReturn OnCaptureBranch(GstPad* pad, GstPadProbeInfo* info, gpointer data)
{
    auto& holder = **static_cast<std::shared_ptr<CaptureHolder>*>(data);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
        g_autoptr(GstCaps) caps = gst_pad_get_current_caps(pad);
        holder.Keep(gst_sample_new(GST_PAD_PROBE_INFO_BUFFER(info), caps, nullptr, nullptr));
    } else if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_FLUSH_START) {
        // A seek: the frame from before it is no longer the one shown.
        holder.Keep(nullptr);
    }
    return GST_PAD_PROBE_OK;
}

}  // namespace

void VideoOutput::AddCaptureBranch()
{
    // The branch keeps each frame as it reaches the renderer's input: the
    // frame it holds is the one the renderer shows, or (playing) the one
    // waiting for its time. Taken earlier, in the filter, it would run ahead
    // of the picture by the queue the pipeline puts before the renderer;
    // a sink of its own would block the picture in preroll. The frame is
    // taken where the sink keeps its own last one, after any conversion
    // inside it, so that it is the very picture the sink shows.
    // A sink that is given frames of its window's size (ximagesink) has
    // them at its bin's input still at the picture's own size.
    g_autoptr(GstElement) holder = scalingBin_ ? nullptr : LastSampleHolder(sink_);
    g_autoptr(GstPad) pad = gst_element_get_static_pad(holder ? holder : sink_, "sink");
    if (!pad) return;
    captureFrames_ = std::make_shared<CaptureHolder>();
    gst_pad_add_probe(pad, static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_FLUSH),
                      OnCaptureBranch, new std::shared_ptr<CaptureHolder>(captureFrames_),
                      [](gpointer p) { delete static_cast<std::shared_ptr<CaptureHolder>*>(p); });
}

QImage VideoOutput::CaptureBranchImage() const
{
    if (!captureFrames_) return {};
    g_autoptr(GstSample) last = nullptr;
    {
        std::lock_guard<std::mutex> lock(captureFrames_->mutex);
        if (captureFrames_->sample) last = gst_sample_ref(captureFrames_->sample);
    }
    if (!last) return {};
    // Converted as the painted renderer has its frames.
    g_autoptr(GstCaps) caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, PaintedFormat(), nullptr);
    g_autoptr(GstSample) converted = gst_video_convert_sample(last, caps, 25 * GST_SECOND, nullptr);
    return ImageOf(converted);
}

qint64 VideoOutput::FirstFrameTime() const { return stats_->firstFrameUs.load(); }

quint64 VideoOutput::FramesShown() const { return stats_->frames.load(); }

// ---- after a failed build ----

bool OutputFallback::StepDown(bool failedInVideoSink, const VideoOutput* video, bool failedInAudioSink,
                              const AudioOutput* audio)
{
    if (failedInVideoSink && video && video->GetKind() == VideoOutput::Kind::Window && !paintedOnly) {
        paintedOnly = true;
        return true;
    }
    if (failedInAudioSink && audio && !audio->IsSilent() && !silent) {
        silent = true;
        return true;
    }
    return false;
}

}  // namespace media
