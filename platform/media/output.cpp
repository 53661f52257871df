// The video output: the sink chosen from one table by renderer value, the
// colour and flip filter in front of it, the widgets in the view panel, and
// the pipeline around them. Its side towards the window is in
// output_window.cpp.
#include "platform/media/output.h"

#include "platform/media/output_private.h"

#include "platform/media/renderers.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>
#include <gst/video/videooverlay.h>

#include <QGuiApplication>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>
#include <string>

namespace media {

using namespace detail;

namespace output_detail {

bool HasProperty(gpointer object, const char* name)
{
    return g_object_class_find_property(G_OBJECT_GET_CLASS(object), name) != nullptr;
}

const char* PaintedFormat() { return G_BYTE_ORDER == G_LITTLE_ENDIAN ? "BGRx" : "xRGB"; }

}  // namespace output_detail

using namespace output_detail;

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
    if (options.captureBranch) out->AddCaptureBranch();
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

bool VideoOutput::CaptureBranchConnected() const
{
    if (!captureFrames_) return false;
    g_autoptr(GstPad) pad = gst_element_get_static_pad(sink_, "sink");
    if (!pad || !gst_pad_is_linked(pad)) return false;
    g_autoptr(GstCaps) caps = gst_pad_get_current_caps(pad);
    return caps != nullptr;
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

bool VideoOutput::IsInterlaced() const
{
    g_autoptr(GstPad) pad = gst_element_get_static_pad(filter_ ? filter_ : sink_, "sink");
    g_autoptr(GstCaps) caps = pad ? gst_pad_get_current_caps(pad) : nullptr;
    if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps)) return false;
    // Caps without the field say nothing of fields: progressive.
    const gchar* mode = gst_structure_get_string(gst_caps_get_structure(caps, 0), "interlace-mode");
    return mode && g_strcmp0(mode, "progressive") != 0;
}

bool VideoOutput::HoldStillFrames()
{
    if (!scalingBin_ || !detail::HoldStillFrames(scalingBin_)) return false;
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->stillHeld = true;
    return true;
}

}  // namespace media
