// The video output: the sink chosen from one table by renderer value, the
// colour and flip filter in front of it, and the widgets in the view panel.
#include "platform/media/output.h"

#include "platform/media/renderers.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>
#include <gst/video/videooverlay.h>

#include <QGuiApplication>
#include <QWidget>

#ifdef ZORAVEL_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>
#include <string>

namespace media {

using namespace detail;

namespace {

// The window sinks for each renderer value, best first. A renderer value
// that is not listed takes the last row. The painted renderer ends every
// list (VideoOutput::Create), so it is not written here.
struct RendererSinks {
    int renderer;   // 0: any other value
    const char* sinks[4];   // null-terminated
};
constexpr RendererSinks kWindowSinks[] = {
    {RendererOverlay, {"xvimagesink", "ximagesink", nullptr}},
    {RendererWindowless7, {"glimagesink", nullptr}},
    {RendererWindowless9, {nullptr}},   // our own painted renderer only
    {0, {"xvimagesink", "ximagesink", "glimagesink", nullptr}},
};

const RendererSinks& RowFor(int renderer)
{
    for (const RendererSinks& row : kWindowSinks)
        if (row.renderer == renderer) return row;
    return kWindowSinks[std::size(kWindowSinks) - 1];
}

bool HasProperty(gpointer object, const char* name)
{
    return g_object_class_find_property(G_OBJECT_GET_CLASS(object), name) != nullptr;
}

QString FactoryName(GstElement* element)
{
    GstElementFactory* factory = element ? gst_element_get_factory(element) : nullptr;
    return factory ? QString::fromUtf8(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory))) : QString();
}

bool IsBroken(GstElement* sink)
{
    const QString broken = QString::fromUtf8(qgetenv("ZORAVEL_BROKEN_SINKS"));
    if (broken.isEmpty()) return false;
    return broken.split(QLatin1Char(','), Qt::SkipEmptyParts).contains(FactoryName(sink));
}

void Release(GstElement*& element)
{
    if (!element) return;
    gst_element_set_state(element, GST_STATE_NULL);
    gst_object_unref(element);
    element = nullptr;
}

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

const char* PaintedFormat() { return G_BYTE_ORDER == G_LITTLE_ENDIAN ? "BGRx" : "xRGB"; }

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

// The painted renderer's sink thread hands every frame to the frame store.
GstFlowReturn OnAppSinkPreroll(GstAppSink* sink, gpointer data)
{
    if (GstSample* sample = gst_app_sink_pull_preroll(sink))
        (*static_cast<std::shared_ptr<FrameStore>*>(data))->Put(sample);
    return GST_FLOW_OK;
}

GstFlowReturn OnAppSinkSample(GstAppSink* sink, gpointer data)
{
    if (GstSample* sample = gst_app_sink_pull_sample(sink))
        (*static_cast<std::shared_ptr<FrameStore>*>(data))->Put(sample);
    return GST_FLOW_OK;
}

void DeleteFrameHolder(gpointer data) { delete static_cast<std::shared_ptr<FrameStore>*>(data); }

}  // namespace

bool ReadVideoFormat(const GstCaps* caps, VideoFormat* format)
{
    *format = VideoFormat();
    if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps)) return false;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    if (!gst_structure_get_int(s, "width", &format->width) || !gst_structure_get_int(s, "height", &format->height))
        return false;
    if (!gst_structure_get_fraction(s, "pixel-aspect-ratio", &format->parN, &format->parD) || format->parN <= 0
        || format->parD <= 0)
        format->parN = format->parD = 1;
    if (!gst_structure_get_fraction(s, "framerate", &format->fpsN, &format->fpsD) || format->fpsN <= 0
        || format->fpsD <= 0) {
        format->fpsN = 0;
        format->fpsD = 1;
    }
    return true;
}

namespace {

// Window sinks that could not open on this display, learnt once per process.
std::mutex g_failedSinksMutex;
std::vector<std::string> g_failedSinks;

bool KnownToFail(const char* factory)
{
    std::lock_guard<std::mutex> lock(g_failedSinksMutex);
    return std::find(g_failedSinks.begin(), g_failedSinks.end(), factory) != g_failedSinks.end();
}

void RememberFailure(const char* factory)
{
    std::lock_guard<std::mutex> lock(g_failedSinksMutex);
    if (std::find(g_failedSinks.begin(), g_failedSinks.end(), factory) == g_failedSinks.end())
        g_failedSinks.emplace_back(factory);
}

}  // namespace

bool OpenSink(GstElement* sink)
{
    if (!sink) return false;
    if (IsBroken(sink) || gst_element_set_state(sink, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(sink, GST_STATE_NULL);
        return false;
    }
    return true;
}

GstElement* MakeOwnedElement(const char* factory)
{
    GstElement* element = gst_element_factory_make(factory, nullptr);
    if (element) gst_object_ref_sink(element);
    return element;
}

// ---- state shared with GStreamer's threads ----

struct VideoOutput::Shared {
    std::mutex mutex;
    std::shared_ptr<EventQueue> events;
    std::shared_ptr<RenderStats> stats;
    GstElement* pipeline = nullptr;   // identity
    guintptr windowHandle = 0;
    bool countSinkBuffers = false;   // window and fake sinks: a frame shown is a frame in
    bool closed = false;
    bool prerolled = false;
    bool stillHeld = false;   // the scaling bin holds the still frame
    // ximagesink's scaling bin (identity) and whether the window has given
    // the frames a size yet; until it has, they keep the picture's own size.
    GstElement* scalingBin = nullptr;
    bool frameSizeSet = false;
    int videoWidth = 0;
    int videoHeight = 0;
};

// ---- choosing the sink ----

VideoOutput::VideoOutput() : shared_(std::make_shared<Shared>()), stats_(std::make_shared<RenderStats>())
{
    shared_->stats = stats_;
}

QStringList VideoOutput::WindowSinksFor(int renderer)
{
    QStringList names;
    for (const char* const* name = RowFor(renderer).sinks; *name; ++name) names << QString::fromLatin1(*name);
    return names;
}

std::unique_ptr<VideoOutput> VideoOutput::Create(const Options& options)
{
    std::unique_ptr<VideoOutput> out(new VideoOutput);
    out->panel_ = options.panel;
    out->settings_ = options.settings;
    out->shared_->events = options.events;
    out->redrawBySeek_ = options.redrawBySeek;
    const QString forced = QString::fromUtf8(qgetenv("ZORAVEL_VIDEO_SINK")).trimmed();
    if (!forced.isEmpty() || !options.panel) {
        if (!out->MakeFakeSink(forced.isEmpty() ? QStringLiteral("fakesink") : forced)) return nullptr;
    } else {
        // Window sinks need an X display; without one, or when one already
        // failed in this pipeline, only the painted renderer is left.
        const bool windowSystem = QGuiApplication::platformName() == QLatin1String("xcb");
        bool made = false;
        if (windowSystem && !options.paintedOnly)
            for (const char* const* name = RowFor(options.renderer).sinks; *name && !made; ++name)
                made = out->MakeWindowSink(*name);
        if (!made && !out->MakePaintedSink()) return nullptr;
    }
    out->shared_->countSinkBuffers = out->kind_ != Kind::Painted;
    out->MakeFilter(options.flipAllowed);
    out->WatchSinkPad();
    out->SetColors(out->settings_.colors);
    out->SetFlip(out->settings_.flipH, out->settings_.flipV);
    return out;
}

bool VideoOutput::MakeFakeSink(const QString& factory)
{
    sink_ = MakeOwnedElement(factory.toUtf8().constData());
    if (!sink_) return false;
    if (HasProperty(sink_, "sync")) g_object_set(sink_, "sync", TRUE, nullptr);
    kind_ = Kind::Fake;
    return true;
}

bool VideoOutput::MakeWindowSink(const char* factory)
{
    if (KnownToFail(factory)) return false;
    GstElement* sink = MakeOwnedElement(factory);
    if (!sink) return false;
    if (HasProperty(sink, "force-aspect-ratio")) g_object_set(sink, "force-aspect-ratio", TRUE, nullptr);
    // The overlay window's own paint and resize redraw the picture
    // (ExposeOverlay). Left to the sink, events and exposes need an X event
    // thread of its own, which polls every 50 ms and is joined each time the
    // sink closes: a list of files that cannot play would wait that long per
    // entry. Turned off before the sink opens, so that the thread never
    // starts: starting it waits for the dynamic loader, which the decoders'
    // library holds while the first graph is built, and turning it off
    // afterwards waits for its next poll.
    if (HasProperty(sink, "handle-events")) g_object_set(sink, "handle-events", FALSE, nullptr);
    if (HasProperty(sink, "handle-expose")) g_object_set(sink, "handle-expose", FALSE, nullptr);
    if (!OpenSink(sink)) {
        if (!IsBroken(sink)) RememberFailure(factory);
        gst_object_unref(sink);
        return false;
    }
    sink_ = sink;
    overlay_ = new OverlayWindow(panel_);
    overlay_->onExpose = [this] { ExposeOverlay(); };
    overlay_->onGone = [this] { WindowGoneAway(); };
    const auto handle = static_cast<guintptr>(overlay_->winId());
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->windowHandle = handle;
    }
    if (GST_IS_VIDEO_OVERLAY(sink)) {
        overlayElement_ = GST_ELEMENT(gst_object_ref(sink));
        gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(sink), handle);
    }
    // ximagesink draws every frame at its own size: the frames are scaled
    // for it to the size of its window.
    if (FactoryName(sink) == QLatin1String("ximagesink")) {
        if (GstElement* bin = MakeScalingSinkBin(sink)) {
            gst_object_unref(sink);
            sink_ = scalingBin_ = bin;
            std::lock_guard<std::mutex> lock(shared_->mutex);
            shared_->scalingBin = bin;
        }
    }
    kind_ = Kind::Window;
    ApplyRect();
    overlay_->setVisible(settings_.visible);
    return true;
}

bool VideoOutput::MakePaintedSink()
{
    sink_ = MakeOwnedElement("appsink");
    if (!sink_) return false;
    g_autoptr(GstCaps) caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, PaintedFormat(), nullptr);
    g_object_set(sink_, "caps", caps, "sync", TRUE, "qos", TRUE, "max-lateness", G_GINT64_CONSTANT(20000000),
                 "enable-last-sample", FALSE, "max-buffers", 1u, nullptr);
    frames_ = std::make_shared<FrameStore>();
    GstAppSinkCallbacks callbacks = {};
    callbacks.new_preroll = OnAppSinkPreroll;
    callbacks.new_sample = OnAppSinkSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink_), &callbacks, new std::shared_ptr<FrameStore>(frames_),
                               DeleteFrameHolder);
    canvas_ = new VideoCanvas(panel_, frames_, stats_);
    canvas_->SetMirrored(settings_.mirrorH, settings_.mirrorV);
    kind_ = Kind::Painted;
    ApplyRect();
    canvas_->setVisible(settings_.visible);
    return true;
}

bool VideoOutput::MakeFilter(bool flipAllowed)
{
    g_autoptr(GstElement) bin = MakeOwnedElement("bin");
    g_autoptr(GstElement) convert = MakeOwnedElement("videoconvert");
    // ZORAVEL_NO_COLOUR_STAGE leaves the colour elements out: the colour
    // benchmark measures what they cost.
    const bool colour = qEnvironmentVariableIsEmpty("ZORAVEL_NO_COLOUR_STAGE");
    g_autoptr(GstElement) balance = colour ? MakeOwnedElement("videobalance") : nullptr;
    g_autoptr(GstElement) gamma = colour ? MakeOwnedElement("gamma") : nullptr;
    g_autoptr(GstElement) flip = flipAllowed ? MakeOwnedElement("videoflip") : nullptr;
    if (!bin || !convert || (colour && (!balance || !gamma)) || (flipAllowed && !flip)) return false;
    // The bin takes references of its own; ours are kept for the values.
    gst_bin_add(GST_BIN(bin), convert);
    GstElement* last = convert;
    if (colour) {
        gst_bin_add_many(GST_BIN(bin), balance, gamma, nullptr);
        gst_element_link_many(convert, balance, gamma, nullptr);
        last = gamma;
    }
    if (flip) {
        gst_bin_add(GST_BIN(bin), flip);
        gst_element_link(last, flip);
        last = flip;
    }
    g_autoptr(GstPad) sinkPad = gst_element_get_static_pad(convert, "sink");
    g_autoptr(GstPad) srcPad = gst_element_get_static_pad(last, "src");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", sinkPad));
    gst_element_add_pad(bin, gst_ghost_pad_new("src", srcPad));
    filter_ = static_cast<GstElement*>(g_steal_pointer(&bin));
    balance_ = static_cast<GstElement*>(g_steal_pointer(&balance));
    gamma_ = static_cast<GstElement*>(g_steal_pointer(&gamma));
    flip_ = static_cast<GstElement*>(g_steal_pointer(&flip));
    KeepLastFrameOf(filter_);
    return true;
}

void VideoOutput::WatchSinkPad()
{
    g_autoptr(GstPad) pad = gst_element_get_static_pad(sink_, "sink");
    if (!pad) return;
    gst_pad_add_probe(
        pad, static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM), OnSinkPad,
        new std::shared_ptr<Shared>(shared_), [](gpointer p) { delete static_cast<std::shared_ptr<Shared>*>(p); });
}

GstPadProbeReturn VideoOutput::OnSinkPad(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    auto& s = **static_cast<std::shared_ptr<Shared>*>(data);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
        if (s.countSinkBuffers) s.stats->FrameShown();
        return GST_PAD_PROBE_OK;
    }
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (!event || GST_EVENT_TYPE(event) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
    GstCaps* caps = nullptr;   // the event's
    gst_event_parse_caps(event, &caps);
    GstVideoInfo video;
    if (!caps || !gst_video_info_from_caps(&video, caps)) return GST_PAD_PROBE_OK;
    GstElement* unsizedBin = nullptr;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.videoWidth && (s.videoWidth != video.width || s.videoHeight != video.height) && !s.closed && s.events)
            s.events->Push(EC_VIDEO_SIZE_CHANGED,
                           static_cast<LPARAM>((video.width & 0xFFFF) | ((video.height & 0xFFFF) << 16)), 0);
        s.videoWidth = video.width;
        s.videoHeight = video.height;
        if (!s.frameSizeSet && !s.closed) unsizedBin = s.scalingBin;
    }
    // ximagesink prefers frames of its window's size, and the window is
    // still empty while the first frame prerolls: scaled to that, the first
    // picture would be lost when the window grows to the picture's size. At
    // the picture's own size it is right once the window has grown to it,
    // and an expose draws it at once.
    if (unsizedBin) SetScaledFrameSize(unsizedBin, video.width, video.height);
    return GST_PAD_PROBE_OK;
}

VideoOutput::~VideoOutput()
{
    Detach();
    Release(sink_);
    Release(filter_);
    for (GstElement** e : {&balance_, &gamma_, &flip_, &overlayElement_}) {
        if (*e) gst_object_unref(*e);
        *e = nullptr;
    }
    scalingBin_ = nullptr;
    delete canvas_.data();
    delete overlay_.data();
    frames_.reset();
}

QString VideoOutput::SinkFactory() const { return FactoryName(scalingBin_ ? overlayElement_ : sink_); }

// ---- the pipeline around it ----

void VideoOutput::SetPipeline(GstElement* pipeline)
{
    pipeline_ = pipeline;
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->pipeline = pipeline;
}

BusWatch::Handler VideoOutput::BusHandler() const
{
    return [s = shared_](GstMessage* message) {
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ELEMENT
            && gst_is_video_overlay_prepare_window_handle_message(message)) {
            guintptr handle = 0;
            {
                std::lock_guard<std::mutex> lock(s->mutex);
                handle = s->closed ? 0 : s->windowHandle;
            }
            if (handle) gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(GST_MESSAGE_SRC(message)), handle);
        } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ASYNC_DONE) {
            std::lock_guard<std::mutex> lock(s->mutex);
            if (s->pipeline && GST_MESSAGE_SRC(message) == GST_OBJECT(s->pipeline)) s->prerolled = true;
        }
    };
}

void VideoOutput::Detach()
{
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->closed = true;
    }
    if (overlay_) {
        overlay_->onExpose = nullptr;
        overlay_->onGone = nullptr;
    }
}

bool VideoOutput::IsConnected() const
{
    g_autoptr(GstPad) pad = sink_ ? gst_element_get_static_pad(sink_, "sink") : nullptr;
    if (!pad || !gst_pad_is_linked(pad)) return false;
    g_autoptr(GstCaps) caps = gst_pad_get_current_caps(pad);
    return caps != nullptr;
}

bool VideoOutput::CurrentFormat(VideoFormat* format) const
{
    g_autoptr(GstPad) pad = gst_element_get_static_pad(filter_ ? filter_ : sink_, "sink");
    g_autoptr(GstCaps) caps = pad ? gst_pad_get_current_caps(pad) : nullptr;
    return ReadVideoFormat(caps, format);
}

bool VideoOutput::HoldStillFrames()
{
    if (!scalingBin_ || !detail::HoldStillFrames(scalingBin_)) return false;
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->stillHeld = true;
    return true;
}

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
    if (state != GST_STATE_PAUSED || !redrawBySeek_) return;
    gint64 position = -1;
    if (!gst_element_query_position(pipeline_, GST_FORMAT_TIME, &position) || position < 0) return;
    gdouble rate = 1.0;
    g_autoptr(GstQuery) segment = gst_query_new_segment(GST_FORMAT_TIME);
    if (gst_element_query(pipeline_, segment)) gst_query_parse_segment(segment, &rate, nullptr, nullptr, nullptr);
    gst_element_seek(pipeline_, rate, GST_FORMAT_TIME, static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                     GST_SEEK_TYPE_SET, position, GST_SEEK_TYPE_NONE, -1);
}

void VideoOutput::ExposeOverlay()
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
