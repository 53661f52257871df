#include "platform/media/graph.h"

#include "platform/forms/forms.h"
#include "platform/media/graph_internal.h"

#include <gst/app/gstappsink.h>
#include <gst/audio/streamvolume.h>
#include <gst/base/gstbaseparse.h>
#include <gst/tag/tag.h>
#include <gst/video/video.h>
#include <gst/video/videooverlay.h>

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QRegularExpression>
#include <QWidget>

#ifdef ZORAVEL_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

namespace media {

using namespace detail;

namespace {

// playbin's flags (GstPlayFlags).
constexpr guint kPlayVideo = 0x1;
constexpr guint kPlayAudio = 0x2;
constexpr guint kPlayText = 0x4;
constexpr guint kPlaySoftVolume = 0x10;
constexpr guint kPlaySoftColorBalance = 0x400;

constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002u);
constexpr auto kBuildTimeout = std::chrono::seconds(10);
constexpr auto kBufferingGrace = std::chrono::seconds(2);
constexpr qint64 kLargestPictureFile = 64 * 1024 * 1024;

REFERENCE_TIME ToReference(gint64 ns) { return ns / 100; }
gint64 ToNs(REFERENCE_TIME t) { return t * 100; }

bool IsAddress(const QString& text)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+://"));
    return scheme.match(text).hasMatch();
}

HRESULT ResultOfError(const GError* error)
{
    if (!error) return E_FAIL;
    if (error->domain == GST_RESOURCE_ERROR && error->code == GST_RESOURCE_ERROR_NOT_FOUND) return kFileNotFound;
    if (error->domain == GST_STREAM_ERROR
        && (error->code == GST_STREAM_ERROR_TYPE_NOT_FOUND || error->code == GST_STREAM_ERROR_WRONG_TYPE))
        return VFW_E_UNSUPPORTED_STREAM;
    if ((error->domain == GST_STREAM_ERROR && error->code == GST_STREAM_ERROR_CODEC_NOT_FOUND)
        || (error->domain == GST_CORE_ERROR && error->code == GST_CORE_ERROR_MISSING_PLUGIN))
        return VFW_E_CANNOT_RENDER;
    return E_FAIL;
}

bool HasProperty(gpointer object, const char* name)
{
    return g_object_class_find_property(G_OBJECT_GET_CLASS(object), name) != nullptr;
}

// Brings a sink to READY: that opens its device or display. A sink that
// cannot is released.
bool OpensReady(GstElement* element)
{
    if (gst_element_set_state(element, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(element, GST_STATE_NULL);
        return false;
    }
    return true;
}

GstElement* MakeElement(const char* factory)
{
    GstElement* element = gst_element_factory_make(factory, nullptr);
    if (element) gst_object_ref_sink(element);
    return element;
}

void Release(GstElement*& element)
{
    if (!element) return;
    gst_element_set_state(element, GST_STATE_NULL);
    gst_object_unref(element);
    element = nullptr;
}

GstElement* SilentAudioSink()
{
    GstElement* sink = MakeElement("fakesink");
    if (sink) g_object_set(sink, "sync", TRUE, nullptr);
    return sink;
}

// Whether autoaudiosink found a real device (it falls back to a fake sink).
bool AutoSinkHasDevice(GstElement* autoSink)
{
    bool device = false;
    GstIterator* it = gst_bin_iterate_elements(GST_BIN(autoSink));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* child = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* factory = gst_element_get_factory(child);
        if (factory && g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "fakesink") != 0)
            device = true;
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return device;
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

QString EnvSink(const char* variable) { return QString::fromUtf8(qgetenv(variable)).trimmed(); }

GstElement* GetVideoPad(GstElement* playbin, GstPad** pad)
{
    gint current = 0;
    g_object_get(playbin, "current-video", &current, nullptr);
    *pad = nullptr;
    g_signal_emit_by_name(playbin, "get-video-pad", std::max(current, 0), pad);
    return playbin;
}

}  // namespace

// ---- state shared with GStreamer's threads ----

struct BusShared {
    std::shared_ptr<EventQueue> events;
    std::shared_ptr<RenderStats> stats;
    std::mutex mutex;
    std::condition_variable wake;

    // Identities only; they live as long as the pipeline.
    GstElement* pipeline = nullptr;
    GstElement* videoSink = nullptr;
    GstElement* audioSink = nullptr;
    QObject* receiver = nullptr;   // the graph, for work on the main thread
    GstElement* scalingBin = nullptr;   // frames scaled for a sink that cannot scale
    guintptr windowHandle = 0;
    bool countSinkBuffers = false;

    bool closed = false;
    bool started = false;   // RenderFile returned S_OK: errors are events now
    bool asyncDone = false;
    bool buildFailed = false;
    HRESULT buildError = S_OK;
    bool errorFromVideoSink = false;
    bool errorFromAudioSink = false;
    bool sawBuffering = false;
    int bufferingPercent = 100;
    bool stillPicture = false;
    bool stillHeld = false;   // the scaling bin holds the still frame
    std::string containerType;
    GstTagList* tags = nullptr;
    bool seekPending = false;
    gint64 seekTargetNs = 0;
    int videoWidth = 0;
    int videoHeight = 0;

    ~BusShared()
    {
        if (tags) gst_tag_list_unref(tags);
    }
};

using SharedHolder = std::shared_ptr<BusShared>;

namespace {

void DeleteHolder(gpointer data) { delete static_cast<SharedHolder*>(data); }
BusShared& SharedOf(gpointer data) { return **static_cast<SharedHolder*>(data); }

bool IsFrom(GstMessage* message, GstElement* element)
{
    return element && GST_MESSAGE_SRC(message)
           && (GST_MESSAGE_SRC(message) == GST_OBJECT(element)
               || gst_object_has_as_ancestor(GST_MESSAGE_SRC(message), GST_OBJECT(element)));
}

}  // namespace

class GraphPrivate : public QObject {
public:
    enum class VideoPath { None, Painted, Window, Fake };

    // what the caller asked for before building
    bool rendererAdded = false;
    int renderer = 0;
    QPointer<QWidget> panel;
    bool flipAllowed = false;
    QString audioSinkName;
    QStringList preferred;
    bool windowsMedia = false;
    bool windowsMediaStreaming = false;

    // the built graph
    GstElement* pipeline = nullptr;
    GstElement* videoSink = nullptr;
    GstElement* audioSink = nullptr;
    GstElement* overlayElement = nullptr;
    GstElement* balance = nullptr;
    GstElement* gamma = nullptr;
    GstElement* flip = nullptr;
    GstElement* panorama = nullptr;
    GstElement* scalingBin = nullptr;   // the video sink itself when it is one
    QSize scaledFrameSize;
    bool redrawQueued = false;
    VideoPath videoPath = VideoPath::None;
    SharedHolder shared;
    std::shared_ptr<EventQueue> events = std::make_shared<EventQueue>();
    std::shared_ptr<RenderStats> stats = std::make_shared<RenderStats>();
    std::shared_ptr<FrameStore> frames;
    QPointer<VideoCanvas> canvas;
    QPointer<OverlayWindow> overlay;
    bool network = false;
    bool live = false;
    bool windowGone = false;
    bool silentAudio = false;

    // control values
    GraphState target = GraphState::Stopped;
    double rate = 1.0;
    gint64 stopNs = -1;
    long volume = 0;
    long balanceValue = 0;
    ColorValues colors;
    bool flipH = false;
    bool flipV = false;
    QRect videoRect;
    bool videoVisible = true;

    struct Outcome {
        HRESULT hr = E_FAIL;
        bool fromVideoSink = false;
        bool fromAudioSink = false;
    };

    QString MakeUri(const QString& pathOrUrl, bool* isNetwork) const;
    Outcome Build(const QString& uri, bool forcePainted, bool silent);
    void Teardown();
    bool CreateVideoSink(bool forcePainted);
    GstElement* CreateAudioSink(bool silent);
    GstElement* VideoFilter();
    GstElement* AudioFilter();
    void ApplyVolume();
    void ApplyBalance();
    void ApplyColors();
    void ApplyFlip();
    void ApplyVideoRect();
    void ApplyScaledFrameSize();
    void RedrawHeldStill();
    void ExposeOverlay();
    void WindowGoneAway();
    void OnBuffering(int percent);
    int IntProperty(const char* name) const;
    bool Built() const { return pipeline != nullptr; }
    bool Seekable() const;
    bool StillPicture() const;
    gint64 EstimatedDuration() const;
};

namespace {

GstBusSyncReply OnBusMessage(GstBus*, GstMessage* message, gpointer data)
{
    BusShared& s = SharedOf(data);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ELEMENT:
        if (gst_is_video_overlay_prepare_window_handle_message(message)) {
            guintptr handle = 0;
            {
                std::lock_guard<std::mutex> lock(s.mutex);
                handle = s.closed ? 0 : s.windowHandle;
            }
            if (handle) gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(GST_MESSAGE_SRC(message)), handle);
        }
        break;
    case GST_MESSAGE_ERROR: {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        const HRESULT hr = ResultOfError(error);
        g_clear_error(&error);
        const bool fromVideo = IsFrom(message, s.videoSink);
        const bool fromAudio = IsFrom(message, s.audioSink);
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.closed) break;
        if (!s.started) {
            if (!s.buildFailed) {
                s.buildFailed = true;
                s.buildError = hr;
                s.errorFromVideoSink = fromVideo;
                s.errorFromAudioSink = fromAudio;
            }
            s.wake.notify_all();
        } else {
            s.events->Push(EC_ERRORABORT, hr, 0);
        }
        break;
    }
    case GST_MESSAGE_EOS: {
        std::lock_guard<std::mutex> lock(s.mutex);
        // A still picture ends when the window's own timer says so.
        if (!s.closed && s.started && !s.stillPicture) s.events->Push(EC_COMPLETE, S_OK, 0);
        break;
    }
    case GST_MESSAGE_STATE_CHANGED:
        if (GST_MESSAGE_SRC(message) == GST_OBJECT(s.pipeline)) {
            GstState oldState, newState;
            gst_message_parse_state_changed(message, &oldState, &newState, nullptr);
            if (newState == GST_STATE_PAUSED && oldState != GST_STATE_PAUSED) {
                std::lock_guard<std::mutex> lock(s.mutex);
                if (!s.closed) s.events->Push(EC_PAUSED, S_OK, 0);
            }
        }
        break;
    case GST_MESSAGE_ASYNC_DONE:
        if (GST_MESSAGE_SRC(message) == GST_OBJECT(s.pipeline)) {
            std::lock_guard<std::mutex> lock(s.mutex);
            s.asyncDone = true;
            s.seekPending = false;
            s.wake.notify_all();
        }
        break;
    case GST_MESSAGE_BUFFERING: {
        gint percent = 100;
        gst_message_parse_buffering(message, &percent);
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.closed) break;
        const bool wasBuffering = s.bufferingPercent < 100;
        const bool changed = percent != s.bufferingPercent;
        s.bufferingPercent = percent;
        s.sawBuffering = true;
        s.wake.notify_all();
        if (percent < 100 && changed)
            s.events->Push(EC_OLE_EVENT, 1, percent);
        else if (percent >= 100 && wasBuffering)
            s.events->Push(EC_OLE_EVENT, 0, 100);
        if (changed && s.receiver) {
            auto* graph = static_cast<GraphPrivate*>(s.receiver);
            QMetaObject::invokeMethod(s.receiver, [graph, percent] { graph->OnBuffering(percent); },
                                      Qt::QueuedConnection);
        }
        break;
    }
    case GST_MESSAGE_TAG: {
        GstTagList* list = nullptr;
        gst_message_parse_tag(message, &list);
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.tags) {
            s.tags = gst_tag_list_make_writable(list);
        } else {
            gst_tag_list_insert(s.tags, list, GST_TAG_MERGE_KEEP);
            gst_tag_list_unref(list);
        }
        break;
    }
    default:
        break;
    }
    return GST_BUS_DROP;
}

GstPadProbeReturn OnVideoSinkPad(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    BusShared& s = SharedOf(data);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
        if (s.countSinkBuffers) s.stats->FrameShown();
    } else if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
            GstCaps* caps = nullptr;
            gst_event_parse_caps(event, &caps);
            GstVideoInfo video;
            if (caps && gst_video_info_from_caps(&video, caps)) {
                std::lock_guard<std::mutex> lock(s.mutex);
                if (s.videoWidth && (s.videoWidth != video.width || s.videoHeight != video.height) && !s.closed)
                    s.events->Push(EC_VIDEO_SIZE_CHANGED,
                                   static_cast<LPARAM>((video.width & 0xFFFF) | ((video.height & 0xFFFF) << 16)), 0);
                s.videoWidth = video.width;
                s.videoHeight = video.height;
            }
        }
    }
    return GST_PAD_PROBE_OK;
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

// Preferred factories go first, in the order they were named, whenever a
// decoder, demuxer or parser is chosen; the others keep their order.
struct PreferredList {
    std::vector<std::string> names;
};

void DeletePreferred(gpointer data, GClosure*) { delete static_cast<PreferredList*>(data); }

G_GNUC_BEGIN_IGNORE_DEPRECATIONS
GValueArray* OnAutoplugSort(GstElement*, GstPad*, GstCaps*, GValueArray* factories, gpointer data)
{
    const auto* preferred = static_cast<const PreferredList*>(data);
    if (!factories || preferred->names.empty()) return nullptr;
    std::vector<bool> taken(factories->n_values, false);
    GValueArray* sorted = g_value_array_new(factories->n_values);
    for (const std::string& name : preferred->names) {
        for (guint i = 0; i < factories->n_values; ++i) {
            auto* factory = static_cast<GstPluginFeature*>(g_value_get_object(g_value_array_get_nth(factories, i)));
            if (!taken[i] && factory && name == gst_plugin_feature_get_name(factory)) {
                g_value_array_append(sorted, g_value_array_get_nth(factories, i));
                taken[i] = true;
            }
        }
    }
    if (sorted->n_values == 0) {
        g_value_array_free(sorted);
        return nullptr;
    }
    for (guint i = 0; i < factories->n_values; ++i)
        if (!taken[i]) g_value_array_append(sorted, g_value_array_get_nth(factories, i));
    return sorted;
}
G_GNUC_END_IGNORE_DEPRECATIONS

void OnHaveType(GstElement*, guint, GstCaps* caps, gpointer data)
{
    BusShared& s = SharedOf(data);
    if (!caps || gst_caps_is_empty(caps)) return;
    const gchar* name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    GstElement* scalingBin = nullptr;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.closed || !s.containerType.empty() || !name) return;
        s.containerType = name;
        if (g_str_has_prefix(name, "image/")) scalingBin = s.scalingBin;
    }
    // The decoders are not linked yet: the still frame can still be routed
    // through the holder that sends it again for a new window size.
    if (scalingBin && HoldStillFrames(scalingBin)) {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.stillHeld = true;
    }
}

struct BuildHooks {
    SharedHolder shared;
    std::vector<std::string> preferred;
};

void DeleteHooks(gpointer data, GClosure*) { delete static_cast<BuildHooks*>(data); }

void OnDeepElementAdded(GstBin*, GstBin*, GstElement* element, gpointer data)
{
    auto* hooks = static_cast<BuildHooks*>(data);
    GstElementFactory* factory = gst_element_get_factory(element);
    if (!factory || g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "decodebin") != 0) return;
    // Only the first decodebin finds the container's type.
    if (GstElement* typefind = gst_bin_get_by_name(GST_BIN(element), "typefind")) {
        g_signal_connect_data(typefind, "have-type", G_CALLBACK(OnHaveType), new SharedHolder(hooks->shared),
                              [](gpointer p, GClosure*) { DeleteHolder(p); }, GConnectFlags(0));
        gst_object_unref(typefind);
    }
    if (!hooks->preferred.empty())
        g_signal_connect_data(element, "autoplug-sort", G_CALLBACK(OnAutoplugSort),
                              new PreferredList{hooks->preferred}, DeletePreferred, GConnectFlags(0));
}

// A BMP picture has no parser, and its decoder needs the whole file in one
// buffer: such a file is read by a source that delivers each file whole.
bool IsBmpFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    return file.size() > 2 && file.size() <= kLargestPictureFile && file.read(2) == "BM";
}

void OnSourceSetup(GstElement*, GstElement* source, gpointer data)
{
    const auto* location = static_cast<const QByteArray*>(data);
    GstElementFactory* factory = gst_element_get_factory(source);
    if (!factory || g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "multifilesrc") != 0) return;
    // Its location is a pattern: a literal '%' is written twice.
    QByteArray pattern = *location;
    pattern.replace("%", "%%");
    g_object_set(source, "location", pattern.constData(), "index", 0, "stop-index", 0, nullptr);
}

void DeleteLocation(gpointer data, GClosure*) { delete static_cast<QByteArray*>(data); }

}  // namespace

// ---- building ----

QString GraphPrivate::MakeUri(const QString& pathOrUrl, bool* isNetwork) const
{
    *isNetwork = false;
    const QString text = pathOrUrl.trimmed();
    if (text.isEmpty()) return {};
    if (IsAddress(text)) {
        QString uri = text;
        const QString scheme = text.section(QStringLiteral("://"), 0, 0).toLower();
        if (scheme == QLatin1String("file")) return uri;
        *isNetwork = true;
        // Windows Media's own protocol has no source here; its servers also
        // answer the same address over HTTP.
        if ((scheme == QLatin1String("mms") || scheme == QLatin1String("mmsh"))
            && !gst_uri_protocol_is_supported(GST_URI_SRC, scheme.toUtf8().constData()))
            uri = QStringLiteral("http://") + text.section(QStringLiteral("://"), 1);
        return uri;
    }
    const QString absolute = QFileInfo(text).absoluteFilePath();
    const QByteArray local = QFile::encodeName(absolute);
    gchar* uri = gst_filename_to_uri(local.constData(), nullptr);
    if (!uri) return {};
    QString result = QString::fromUtf8(uri);
    g_free(uri);
    if (windowsMedia && windowsMediaStreaming)
        result.replace(0, 4, QStringLiteral("pushfile"));
    else if (IsBmpFile(absolute))
        result.replace(0, 4, QStringLiteral("multifile"));
    return result;
}

GstElement* GraphPrivate::CreateAudioSink(bool silent)
{
    silentAudio = true;
    if (silent) return SilentAudioSink();
    QString name = EnvSink("ZORAVEL_AUDIO_SINK");
    if (name.isEmpty()) name = audioSinkName;
    if (!name.isEmpty()) {
        if (GstElement* sink = MakeElement(name.toUtf8().constData())) {
            if (name == QLatin1String("fakesink")) {
                g_object_set(sink, "sync", TRUE, nullptr);
                return sink;
            }
            if (OpensReady(sink)) {
                silentAudio = false;
                return sink;
            }
            gst_object_unref(sink);
        }
    }
    if (GstElement* sink = MakeElement("autoaudiosink")) {
        if (OpensReady(sink) && AutoSinkHasDevice(sink)) {
            silentAudio = false;
            return sink;
        }
        Release(sink);
    }
    return SilentAudioSink();
}

bool GraphPrivate::CreateVideoSink(bool forcePainted)
{
    videoPath = VideoPath::None;
    if (!rendererAdded) return true;
    const QString forced = EnvSink("ZORAVEL_VIDEO_SINK");
    if (!forced.isEmpty() || !panel) {
        videoSink = MakeElement(forced.isEmpty() ? "fakesink" : forced.toUtf8().constData());
        if (!videoSink) return false;
        if (HasProperty(videoSink, "sync")) g_object_set(videoSink, "sync", TRUE, nullptr);
        videoPath = VideoPath::Fake;
        return true;
    }
    const bool windowSystem = QGuiApplication::platformName() == QLatin1String("xcb");
    if (!forcePainted && windowSystem && renderer != RendererWindowless9) {
        std::vector<const char*> candidates;
        if (renderer == RendererOverlay)
            candidates = {"xvimagesink", "ximagesink"};
        else if (renderer == RendererWindowless7)
            candidates = {"glimagesink"};
        else
            candidates = {"xvimagesink", "ximagesink", "glimagesink"};
        for (const char* name : candidates) {
            GstElement* sink = MakeElement(name);
            if (!sink) continue;
            if (OpensReady(sink)) {
                videoSink = sink;
                break;
            }
            gst_object_unref(sink);
        }
        if (videoSink) {
            if (HasProperty(videoSink, "force-aspect-ratio"))
                g_object_set(videoSink, "force-aspect-ratio", TRUE, nullptr);
            if (HasProperty(videoSink, "handle-events")) g_object_set(videoSink, "handle-events", FALSE, nullptr);
            GstElement* sink = videoSink;
            overlay = new OverlayWindow(panel);
            overlay->onExpose = [this] { ExposeOverlay(); };
            overlay->onGone = [this] { WindowGoneAway(); };
            const guintptr handle = static_cast<guintptr>(overlay->winId());
            shared->windowHandle = handle;
            if (GST_IS_VIDEO_OVERLAY(sink)) {
                overlayElement = GST_ELEMENT(gst_object_ref(sink));
                gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(sink), handle);
            }
            // ximagesink draws every frame at its own size: the frames are
            // scaled for it to the size of its window.
            GstElementFactory* factory = gst_element_get_factory(sink);
            if (factory && g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "ximagesink") == 0) {
                if (GstElement* bin = MakeScalingSinkBin(sink)) {
                    gst_object_unref(sink);
                    videoSink = scalingBin = bin;
                    shared->scalingBin = bin;
                }
            }
            videoPath = VideoPath::Window;
            ApplyVideoRect();
            overlay->setVisible(videoVisible);
            return true;
        }
    }
    // Our own painted renderer.
    videoSink = MakeElement("appsink");
    if (!videoSink) return false;
    const char* format = G_BYTE_ORDER == G_LITTLE_ENDIAN ? "BGRx" : "xRGB";
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, format, nullptr);
    g_object_set(videoSink, "caps", caps, "sync", TRUE, "qos", TRUE, "max-lateness", G_GINT64_CONSTANT(20000000),
                 "enable-last-sample", FALSE, "max-buffers", 1u, nullptr);
    gst_caps_unref(caps);
    frames = std::make_shared<FrameStore>();
    GstAppSinkCallbacks callbacks = {};
    callbacks.new_preroll = OnAppSinkPreroll;
    callbacks.new_sample = OnAppSinkSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(videoSink), &callbacks, new std::shared_ptr<FrameStore>(frames),
                               DeleteFrameHolder);
    canvas = new VideoCanvas(panel, frames, stats);
    videoPath = VideoPath::Painted;
    ApplyVideoRect();
    canvas->setVisible(videoVisible);
    return true;
}

GstElement* GraphPrivate::VideoFilter()
{
    GstElement* bin = gst_bin_new(nullptr);
    GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
    balance = gst_element_factory_make("videobalance", nullptr);
    gamma = gst_element_factory_make("gamma", nullptr);
    flip = flipAllowed ? gst_element_factory_make("videoflip", nullptr) : nullptr;
    if (!convert || !balance || !gamma || (flipAllowed && !flip)) {
        for (GstElement* e : {convert, balance, gamma, flip})
            if (e) gst_object_unref(gst_object_ref_sink(e));
        gst_object_unref(gst_object_ref_sink(bin));
        balance = gamma = flip = nullptr;
        return nullptr;
    }
    gst_bin_add_many(GST_BIN(bin), convert, balance, gamma, nullptr);
    GstElement* last = gamma;
    gst_element_link_many(convert, balance, gamma, nullptr);
    if (flip) {
        gst_bin_add(GST_BIN(bin), flip);
        gst_element_link(gamma, flip);
        last = flip;
    }
    for (GstElement* e : {balance, gamma, flip})
        if (e) gst_object_ref(e);
    GstPad* sinkPad = gst_element_get_static_pad(convert, "sink");
    GstPad* srcPad = gst_element_get_static_pad(last, "src");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", sinkPad));
    gst_element_add_pad(bin, gst_ghost_pad_new("src", srcPad));
    gst_object_unref(sinkPad);
    gst_object_unref(srcPad);
    return bin;
}

GstElement* GraphPrivate::AudioFilter()
{
    GstElement* bin = gst_bin_new(nullptr);
    GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
    panorama = gst_element_factory_make("audiopanorama", nullptr);
    if (!convert || !panorama) {
        for (GstElement* e : {convert, panorama})
            if (e) gst_object_unref(gst_object_ref_sink(e));
        gst_object_unref(gst_object_ref_sink(bin));
        panorama = nullptr;
        return nullptr;
    }
    // Balance as a plain attenuation of the other side.
    gst_util_set_object_arg(G_OBJECT(panorama), "method", "simple");
    gst_bin_add_many(GST_BIN(bin), convert, panorama, nullptr);
    gst_element_link(convert, panorama);
    gst_object_ref(panorama);
    GstPad* sinkPad = gst_element_get_static_pad(convert, "sink");
    GstPad* srcPad = gst_element_get_static_pad(panorama, "src");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", sinkPad));
    gst_element_add_pad(bin, gst_ghost_pad_new("src", srcPad));
    gst_object_unref(sinkPad);
    gst_object_unref(srcPad);
    return bin;
}

GraphPrivate::Outcome GraphPrivate::Build(const QString& uri, bool forcePainted, bool silent)
{
    Outcome outcome;
    stats = std::make_shared<RenderStats>();
    shared = std::make_shared<BusShared>();
    shared->events = events;
    shared->stats = stats;
    shared->receiver = this;

    pipeline = gst_element_factory_make("playbin", nullptr);
    if (!pipeline) return outcome;
    gst_object_ref_sink(pipeline);
    shared->pipeline = pipeline;
    g_object_set(pipeline, "uri", uri.toUtf8().constData(), nullptr);

    guint flags = 0;
    g_object_get(pipeline, "flags", &flags, nullptr);
    flags &= ~(kPlayText | kPlaySoftColorBalance | kPlayVideo);
    flags |= kPlayAudio | kPlaySoftVolume;

    if (!CreateVideoSink(forcePainted)) {
        outcome.hr = E_FAIL;
        return outcome;
    }
    if (!videoSink) {
        // No picture: a sink that takes nothing, so that playbin does not
        // look for a display sink of its own.
        if (GstElement* none = MakeElement("fakesink")) {
            g_object_set(none, "sync", TRUE, nullptr);
            g_object_set(pipeline, "video-sink", none, nullptr);
            gst_object_unref(none);
        }
    } else {
        flags |= kPlayVideo;
        shared->videoSink = videoSink;
        shared->countSinkBuffers = videoPath != VideoPath::Painted;
        g_object_set(pipeline, "video-sink", videoSink, nullptr);
        if (GstElement* filter = VideoFilter()) g_object_set(pipeline, "video-filter", filter, nullptr);
        GstPad* pad = gst_element_get_static_pad(videoSink, "sink");
        if (pad) {
            gst_pad_add_probe(pad,
                              static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER
                                                           | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                              OnVideoSinkPad, new SharedHolder(shared), DeleteHolder);
            gst_object_unref(pad);
        }
    }
    audioSink = CreateAudioSink(silent);
    if (audioSink) {
        shared->audioSink = audioSink;
        g_object_set(pipeline, "audio-sink", audioSink, nullptr);
        if (GstElement* filter = AudioFilter()) g_object_set(pipeline, "audio-filter", filter, nullptr);
    }
    g_object_set(pipeline, "flags", flags, nullptr);
    ApplyVolume();
    ApplyBalance();
    ApplyColors();
    ApplyFlip();

    auto* hooks = new BuildHooks{shared, {}};
    for (const QString& name : preferred) hooks->preferred.push_back(name.toStdString());
    if (windowsMedia) hooks->preferred.push_back("asfdemux");
    g_signal_connect_data(pipeline, "deep-element-added", G_CALLBACK(OnDeepElementAdded), hooks, DeleteHooks,
                          GConnectFlags(0));
    if (uri.startsWith(QLatin1String("multifile://"))) {
        gchar* file = gst_uri_get_location(uri.toUtf8().constData());
        g_signal_connect_data(pipeline, "source-setup", G_CALLBACK(OnSourceSetup), new QByteArray(file),
                              DeleteLocation, GConnectFlags(0));
        g_free(file);
    }

    GstBus* bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, OnBusMessage, new SharedHolder(shared), DeleteHolder);
    gst_object_unref(bus);

    const GstStateChangeReturn change = gst_element_set_state(pipeline, GST_STATE_PAUSED);
    std::unique_lock<std::mutex> lock(shared->mutex);
    if (change == GST_STATE_CHANGE_NO_PREROLL) {
        live = true;
    } else if (change == GST_STATE_CHANGE_FAILURE && !shared->buildFailed) {
        return outcome;
    } else {
        BusShared* s = shared.get();
        const bool isNetwork = network;
        bool ready = s->wake.wait_for(lock, kBuildTimeout, [s, isNetwork] {
            return s->asyncDone || s->buildFailed || (isNetwork && s->sawBuffering);
        });
        // A stream that buffers is building: it usually also prerolls soon,
        // which tells its streams and duration; it need not.
        if (ready && !s->asyncDone && !s->buildFailed)
            s->wake.wait_for(lock, kBufferingGrace, [s] { return s->asyncDone || s->buildFailed; });
        if (s->buildFailed) {
            outcome.hr = s->buildError;
            outcome.fromVideoSink = s->errorFromVideoSink;
            outcome.fromAudioSink = s->errorFromAudioSink;
            return outcome;
        }
        if (!ready) {
            outcome.hr = VFW_E_TIMEOUT;
            return outcome;
        }
    }
    shared->started = true;
    shared->stillPicture = QByteArray::fromStdString(shared->containerType).startsWith("image/");
    outcome.hr = S_OK;
    return outcome;
}

void GraphPrivate::Teardown()
{
    if (shared) {
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->closed = true;
        shared->receiver = nullptr;
    }
    if (overlay) {
        overlay->onExpose = nullptr;
        overlay->onGone = nullptr;
    }
    if (pipeline) {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        GstBus* bus = gst_element_get_bus(pipeline);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
        gst_object_unref(pipeline);
        pipeline = nullptr;
    }
    Release(videoSink);
    Release(audioSink);
    scalingBin = nullptr;
    scaledFrameSize = QSize();
    for (GstElement** e : {&overlayElement, &balance, &gamma, &flip, &panorama}) {
        if (*e) gst_object_unref(*e);
        *e = nullptr;
    }
    delete canvas.data();
    delete overlay.data();
    frames.reset();
    shared.reset();
    videoPath = VideoPath::None;
    network = live = windowGone = silentAudio = false;
    target = GraphState::Stopped;
    rate = 1.0;
    stopNs = -1;
}

// ---- applying values ----

double LinearVolume(long hundredthsDb)
{
    if (hundredthsDb <= -10000) return 0.0;
    if (hundredthsDb >= 0) return 1.0;
    return std::pow(10.0, static_cast<double>(hundredthsDb) / 2000.0);
}

void GraphPrivate::ApplyVolume()
{
    if (!pipeline) return;
    gst_stream_volume_set_volume(GST_STREAM_VOLUME(pipeline), GST_STREAM_VOLUME_FORMAT_LINEAR, LinearVolume(volume));
}

void GraphPrivate::ApplyBalance()
{
    if (panorama) g_object_set(panorama, "panorama", static_cast<gfloat>(balanceValue / 10000.0), nullptr);
}

void GraphPrivate::ApplyColors()
{
    if (balance) {
        g_object_set(balance, "brightness", std::clamp((colors.brightness - 750) / 10000.0, -1.0, 1.0), "contrast",
                     std::clamp(colors.contrast / 10000.0, 0.0, 2.0), "hue", std::clamp(colors.hue / 180.0, -1.0, 1.0),
                     "saturation", std::clamp(colors.saturation / 10000.0, 0.0, 2.0), nullptr);
    }
    // Gamma 1 is the unchanged picture; every 100 steps add 1 to the exponent.
    if (gamma) g_object_set(gamma, "gamma", std::clamp(1.0 + (colors.gamma - 1) / 100.0, 0.01, 10.0), nullptr);
}

void GraphPrivate::ApplyFlip()
{
    if (!flip) return;
    const char* method = flipH && flipV ? "180" : flipH ? "horiz" : flipV ? "vert" : "identity";
    gst_util_set_object_arg(G_OBJECT(flip), "video-direction", method);
}

void GraphPrivate::ApplyVideoRect()
{
    if (!panel) return;
    if (canvas) canvas->SetVideoRect(videoRect);
    if (overlay) {
        overlay->setGeometry(videoRect.isValid() ? videoRect : panel->rect());
        ApplyScaledFrameSize();
        ExposeOverlay();
    }
}

void GraphPrivate::ApplyScaledFrameSize()
{
    if (!scalingBin || !overlay) return;
    const qreal ratio = overlay->devicePixelRatioF();
    const QSize size(qRound(overlay->width() * ratio), qRound(overlay->height() * ratio));
    // An empty window (a panel not laid out yet) keeps the last size.
    if (size.isEmpty() || size == scaledFrameSize) return;
    scaledFrameSize = size;
    if (!SetScaledFrameSize(scalingBin, size.width(), size.height()) || redrawQueued) return;
    // A window is often laid out several times in one pass: the picture is
    // scaled once, for the last size.
    redrawQueued = true;
    QMetaObject::invokeMethod(this, [this] { RedrawHeldStill(); }, Qt::QueuedConnection);
}

void GraphPrivate::RedrawHeldStill()
{
    redrawQueued = false;
    if (!pipeline || windowGone || !shared) return;
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        if (!shared->started || !shared->stillHeld) return;
    }
    // The holder answers the seek itself: it sends its frame again, and the
    // frame is scaled to the new size on its way to the sink.
    gst_element_seek_simple(pipeline, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, 0);
}

void GraphPrivate::ExposeOverlay()
{
    if (!overlay) return;
    if (!overlayElement && videoSink && GST_IS_BIN(videoSink))
        overlayElement = gst_bin_get_by_interface(GST_BIN(videoSink), GST_TYPE_VIDEO_OVERLAY);
    if (!overlayElement) return;
    const qreal ratio = overlay->devicePixelRatioF();
    const int width = qRound(overlay->width() * ratio);
    const int height = qRound(overlay->height() * ratio);
    // An empty rectangle is not a place to draw in (the panel of an empty
    // window has no height): nothing to show until it is laid out.
    if (width <= 0 || height <= 0) return;
    SyncWindowSystem();
    gst_video_overlay_set_render_rectangle(GST_VIDEO_OVERLAY(overlayElement), 0, 0, width, height);
    gst_video_overlay_expose(GST_VIDEO_OVERLAY(overlayElement));
}

void GraphPrivate::WindowGoneAway()
{
    // The panel went away under a sink that draws into it: the sink must not
    // draw into a window that no longer exists.
    windowGone = true;
    if (pipeline) gst_element_set_state(pipeline, GST_STATE_NULL);
}

void GraphPrivate::OnBuffering(int percent)
{
    if (!pipeline || live || windowGone || target != GraphState::Running) return;
    gst_element_set_state(pipeline, percent < 100 ? GST_STATE_PAUSED : GST_STATE_PLAYING);
}

int GraphPrivate::IntProperty(const char* name) const
{
    gint value = 0;
    if (pipeline) g_object_get(pipeline, name, &value, nullptr);
    return value;
}

bool GraphPrivate::StillPicture() const
{
    if (!shared) return false;
    std::lock_guard<std::mutex> lock(shared->mutex);
    return shared->stillPicture;
}

// Elementary streams (MP3 without a header that tells its length, MPEG
// video) learn their duration only after many frames; until then a parser can
// still convert the stream's size to time from the frames it has seen.
gint64 GraphPrivate::EstimatedDuration() const
{
    gint64 longest = -1;
    GstIterator* it = gst_bin_iterate_recurse(GST_BIN(pipeline));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* element = GST_ELEMENT(g_value_get_object(&item));
        if (GST_IS_BASE_PARSE(element)) {
            GstPad* sink = gst_element_get_static_pad(element, "sink");
            GstPad* src = gst_element_get_static_pad(element, "src");
            gint64 bytes = -1, ns = -1;
            if (sink && src && gst_pad_peer_query_duration(sink, GST_FORMAT_BYTES, &bytes) && bytes > 0
                && gst_pad_query_convert(src, GST_FORMAT_BYTES, bytes, GST_FORMAT_TIME, &ns) && ns > longest)
                longest = ns;
            if (sink) gst_object_unref(sink);
            if (src) gst_object_unref(src);
        }
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return longest;
}

bool GraphPrivate::Seekable() const
{
    if (!pipeline || StillPicture()) return false;
    GstQuery* query = gst_query_new_seeking(GST_FORMAT_TIME);
    gboolean seekable = FALSE;
    if (gst_element_query(pipeline, query)) gst_query_parse_seeking(query, nullptr, &seekable, nullptr, nullptr);
    gst_query_unref(query);
    return seekable;
}

// ---- FilterGraph ----

FilterGraph::FilterGraph() : d(std::make_unique<GraphPrivate>())
{
    if (!gst_is_initialized()) gst_init(nullptr, nullptr);
}

FilterGraph::~FilterGraph()
{
    d->events->Close();
    d->Teardown();
}

HRESULT FilterGraph::AddVideoRenderer(int renderer, QWidget* panel, bool flipAllowed)
{
    d->rendererAdded = true;
    d->renderer = renderer;
    d->panel = panel;
    d->flipAllowed = flipAllowed;
    return S_OK;
}

HRESULT FilterGraph::AddAudioRenderer(const QString& factoryName)
{
    if (factoryName.isEmpty()) {
        d->audioSinkName.clear();
        return S_OK;
    }
    GstElementFactory* factory = gst_element_factory_find(factoryName.toUtf8().constData());
    if (!factory) return VFW_E_NOT_FOUND;
    gst_object_unref(factory);
    d->audioSinkName = factoryName;
    return S_OK;
}

HRESULT FilterGraph::AddPreferredFactory(const QString& factoryName)
{
    GstElementFactory* factory = gst_element_factory_find(factoryName.toUtf8().constData());
    if (!factory) return VFW_E_NOT_FOUND;
    gst_object_unref(factory);
    if (!d->preferred.contains(factoryName)) d->preferred.append(factoryName);
    return S_OK;
}

bool FilterGraph::HasPreferredFactory(const QString& factoryName) const { return d->preferred.contains(factoryName); }

void FilterGraph::UseWindowsMediaSource(bool streamingSource)
{
    d->windowsMedia = true;
    d->windowsMediaStreaming = streamingSource;
}

HRESULT FilterGraph::RenderFile(const QString& pathOrUrl)
{
    d->Teardown();
    d->events->Clear();
    bool network = false;
    const QString uri = d->MakeUri(pathOrUrl, &network);
    if (uri.isEmpty()) return kFileNotFound;
    bool forcePainted = false;
    bool silent = false;
    for (;;) {
        d->network = network;
        const GraphPrivate::Outcome outcome = d->Build(uri, forcePainted, silent);
        if (outcome.hr == S_OK) {
            d->target = GraphState::Paused;
            return S_OK;
        }
        const bool usedWindowSink = d->videoPath == GraphPrivate::VideoPath::Window;
        const bool usedDevice = !d->silentAudio;
        d->Teardown();
        d->events->Clear();
        // A sink that could not open is never the reason a file cannot play:
        // the picture goes to our own renderer, the sound nowhere.
        if (outcome.fromVideoSink && usedWindowSink && !forcePainted) {
            forcePainted = true;
            continue;
        }
        if (outcome.fromAudioSink && usedDevice && !silent) {
            silent = true;
            continue;
        }
        return outcome.hr;
    }
}

bool FilterGraph::IsVideoRendererConnected() const
{
    if (!d->pipeline || !d->videoSink || d->IntProperty("n-video") <= 0) return false;
    GstPad* pad = gst_element_get_static_pad(d->videoSink, "sink");
    if (!pad) return false;
    bool connected = false;
    if (gst_pad_is_linked(pad)) {
        if (GstCaps* caps = gst_pad_get_current_caps(pad)) {
            connected = true;
            gst_caps_unref(caps);
        }
    }
    gst_object_unref(pad);
    return connected;
}

QStringList FilterGraph::ElementNames() const
{
    QStringList names;
    if (!d->pipeline) return names;
    GstIterator* it = gst_bin_iterate_recurse(GST_BIN(d->pipeline));
    GValue item = G_VALUE_INIT;
    for (;;) {
        const GstIteratorResult r = gst_iterator_next(it, &item);
        if (r == GST_ITERATOR_RESYNC) {
            names.clear();
            gst_iterator_resync(it);
            continue;
        }
        if (r != GST_ITERATOR_OK) break;
        auto* element = GST_ELEMENT(g_value_get_object(&item));
        if (GstElementFactory* factory = gst_element_get_factory(element))
            names.append(QString::fromUtf8(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory))));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return names;
}

// ---- control ----

HRESULT FilterGraph::Run()
{
    if (!d->pipeline || d->windowGone) return VFW_E_WRONG_STATE;
    d->target = GraphState::Running;
    bool buffering = false;
    {
        std::lock_guard<std::mutex> lock(d->shared->mutex);
        buffering = d->shared->bufferingPercent < 100;
    }
    if (buffering && !d->live) return S_OK;   // playback starts when buffering is done
    return gst_element_set_state(d->pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE ? E_FAIL : S_OK;
}

HRESULT FilterGraph::Pause()
{
    if (!d->pipeline || d->windowGone) return VFW_E_WRONG_STATE;
    const GraphState before = d->target;
    d->target = GraphState::Paused;
    GstState current = GST_STATE_VOID_PENDING, pending = GST_STATE_VOID_PENDING;
    gst_element_get_state(d->pipeline, &current, &pending, 0);
    if (gst_element_set_state(d->pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) return E_FAIL;
    // From our stopped state the pipeline is already paused, and no state
    // change will announce the pause.
    if (before == GraphState::Stopped && current == GST_STATE_PAUSED && pending == GST_STATE_VOID_PENDING)
        d->events->Push(EC_PAUSED, S_OK, 0);
    return S_OK;
}

HRESULT FilterGraph::Stop()
{
    if (!d->pipeline) return VFW_E_WRONG_STATE;
    d->target = GraphState::Stopped;
    if (d->windowGone) return S_OK;
    // A file stays prerolled at its position (the picture stays, the
    // position is kept); a stream lets go of its connection.
    const GstState state = d->network || d->live ? GST_STATE_READY : GST_STATE_PAUSED;
    return gst_element_set_state(d->pipeline, state) == GST_STATE_CHANGE_FAILURE ? E_FAIL : S_OK;
}

GraphState FilterGraph::State() const { return d->target; }

// ---- seeking ----

bool FilterGraph::IsSeekable() const { return d->Seekable(); }

HRESULT FilterGraph::GetDuration(REFERENCE_TIME* duration) const
{
    if (!duration) return E_POINTER;
    *duration = 0;
    if (!d->pipeline) return VFW_E_WRONG_STATE;
    if (d->StillPicture()) return S_OK;
    gint64 ns = -1;
    if (!gst_element_query_duration(d->pipeline, GST_FORMAT_TIME, &ns) || ns < 0) ns = d->EstimatedDuration();
    if (ns < 0) return E_FAIL;
    *duration = ToReference(ns);
    return S_OK;
}

HRESULT FilterGraph::GetCurrentPosition(REFERENCE_TIME* position) const
{
    if (!position) return E_POINTER;
    *position = 0;
    if (!d->pipeline) return VFW_E_WRONG_STATE;
    {
        std::lock_guard<std::mutex> lock(d->shared->mutex);
        if (d->shared->seekPending) {
            *position = ToReference(d->shared->seekTargetNs);
            return S_OK;
        }
    }
    if (d->StillPicture()) return S_OK;
    gint64 ns = -1;
    if (!gst_element_query_position(d->pipeline, GST_FORMAT_TIME, &ns) || ns < 0) return S_OK;
    *position = ToReference(ns);
    return S_OK;
}

HRESULT FilterGraph::SetPositions(REFERENCE_TIME* current, DWORD currentFlags, REFERENCE_TIME* stop, DWORD stopFlags)
{
    if (!d->pipeline) return VFW_E_WRONG_STATE;
    const DWORD currentMode = currentFlags & 0x3;
    const DWORD stopMode = stopFlags & 0x3;
    if ((currentMode != AM_SEEKING_NoPositioning && !current) || (stopMode != AM_SEEKING_NoPositioning && !stop))
        return E_POINTER;
    if (currentMode == AM_SEEKING_NoPositioning && stopMode == AM_SEEKING_NoPositioning) return S_OK;
    if (!d->Seekable()) return E_FAIL;

    REFERENCE_TIME duration = 0;
    const bool knowDuration = SUCCEEDED(GetDuration(&duration)) && duration > 0;
    auto clamp = [&](REFERENCE_TIME t) {
        t = std::max<REFERENCE_TIME>(t, 0);
        return knowDuration ? std::min(t, duration) : t;
    };

    GstSeekType startType = GST_SEEK_TYPE_NONE;
    gint64 startNs = -1;
    if (currentMode != AM_SEEKING_NoPositioning) {
        REFERENCE_TIME target = *current;
        if (currentMode == AM_SEEKING_RelativePositioning) {
            REFERENCE_TIME now = 0;
            GetCurrentPosition(&now);
            target += now;
        }
        startType = GST_SEEK_TYPE_SET;
        startNs = ToNs(clamp(target));
    }
    GstSeekType stopType = GST_SEEK_TYPE_NONE;
    gint64 stopNs = -1;
    if (stopMode != AM_SEEKING_NoPositioning) {
        REFERENCE_TIME target = *stop;
        if (stopMode == AM_SEEKING_RelativePositioning)
            target += d->stopNs >= 0 ? ToReference(d->stopNs) : duration;
        stopType = GST_SEEK_TYPE_SET;
        stopNs = ToNs(clamp(target));
    }

    int flags = 0;
    if (startType != GST_SEEK_TYPE_NONE) {
        flags |= GST_SEEK_FLAG_FLUSH;
        flags |= (currentFlags & AM_SEEKING_SeekToKeyFrame) ? (GST_SEEK_FLAG_KEY_UNIT | GST_SEEK_FLAG_SNAP_NEAREST)
                                                             : GST_SEEK_FLAG_ACCURATE;
    }
    if (!gst_element_seek(d->pipeline, d->rate, GST_FORMAT_TIME, static_cast<GstSeekFlags>(flags), startType, startNs,
                          stopType, stopNs))
        return E_FAIL;
    if (stopType == GST_SEEK_TYPE_SET) d->stopNs = stopNs;
    if (startType == GST_SEEK_TYPE_SET) {
        std::lock_guard<std::mutex> lock(d->shared->mutex);
        d->shared->seekPending = true;
        d->shared->seekTargetNs = startNs;
    }
    return S_OK;
}

HRESULT FilterGraph::SetRate(double rate)
{
    if (!(rate > 0.0) || !std::isfinite(rate)) return E_INVALIDARG;
    if (!d->pipeline) return VFW_E_WRONG_STATE;
    if (rate == d->rate) return S_OK;
    if (!d->Seekable()) return E_FAIL;
    REFERENCE_TIME now = 0;
    GetCurrentPosition(&now);
    const GstSeekType stopType = d->stopNs >= 0 ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_NONE;
    if (!gst_element_seek(d->pipeline, rate, GST_FORMAT_TIME,
                          static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), GST_SEEK_TYPE_SET,
                          ToNs(now), stopType, d->stopNs))
        return E_FAIL;
    d->rate = rate;
    std::lock_guard<std::mutex> lock(d->shared->mutex);
    d->shared->seekPending = true;
    d->shared->seekTargetNs = ToNs(now);
    return S_OK;
}

HRESULT FilterGraph::GetRate(double* rate) const
{
    if (!rate) return E_POINTER;
    *rate = d->rate;
    return S_OK;
}

HRESULT FilterGraph::GetFrameRate(double* framesPerSecond) const
{
    if (!framesPerSecond) return E_POINTER;
    *framesPerSecond = 0;
    if (!d->pipeline || !HasVideo()) return E_NOTIMPL;
    GstPad* pad = nullptr;
    GetVideoPad(d->pipeline, &pad);
    if (!pad) return E_NOTIMPL;
    HRESULT hr = E_NOTIMPL;
    if (GstCaps* caps = gst_pad_get_current_caps(pad)) {
        gint n = 0, dd = 1;
        if (gst_structure_get_fraction(gst_caps_get_structure(caps, 0), "framerate", &n, &dd) && n > 0 && dd > 0) {
            *framesPerSecond = static_cast<double>(n) / dd;
            hr = S_OK;
        }
        gst_caps_unref(caps);
    }
    gst_object_unref(pad);
    return hr;
}

// ---- frame step ----

HRESULT FilterGraph::CanStep() const
{
    return d->pipeline && !d->windowGone && HasVideo() && IsVideoRendererConnected() ? S_OK : S_FALSE;
}

HRESULT FilterGraph::Step(DWORD frames)
{
    if (frames == 0) return E_INVALIDARG;
    if (CanStep() != S_OK) return VFW_E_WRONG_STATE;
    if (d->target != GraphState::Paused) {
        if (FAILED(Pause())) return E_FAIL;
        gst_element_get_state(d->pipeline, nullptr, nullptr, GST_SECOND);
    }
    return gst_element_send_event(d->pipeline, gst_event_new_step(GST_FORMAT_BUFFERS, frames, 1.0, TRUE, FALSE))
               ? S_OK
               : E_FAIL;
}

// ---- audio ----

bool FilterGraph::HasAudio() const { return d->IntProperty("n-audio") > 0; }

HRESULT FilterGraph::put_Volume(long hundredthsDb)
{
    if (hundredthsDb < -10000 || hundredthsDb > 0) return E_INVALIDARG;
    if (d->pipeline && !HasAudio()) return E_NOTIMPL;
    d->volume = hundredthsDb;
    d->ApplyVolume();
    return S_OK;
}

HRESULT FilterGraph::get_Volume(long* hundredthsDb) const
{
    if (!hundredthsDb) return E_POINTER;
    if (!d->pipeline || !HasAudio()) return E_NOTIMPL;
    *hundredthsDb = d->volume;
    return S_OK;
}

HRESULT FilterGraph::put_Balance(long balance)
{
    if (balance < -10000 || balance > 10000) return E_INVALIDARG;
    if (d->pipeline && !HasAudio()) return E_NOTIMPL;
    d->balanceValue = balance;
    d->ApplyBalance();
    return S_OK;
}

HRESULT FilterGraph::get_Balance(long* balance) const
{
    if (!balance) return E_POINTER;
    if (!d->pipeline || !HasAudio()) return E_NOTIMPL;
    *balance = d->balanceValue;
    return S_OK;
}

int FilterGraph::AudioStreamCount() const { return d->IntProperty("n-audio"); }

int FilterGraph::CurrentAudioStream() const { return d->pipeline ? d->IntProperty("current-audio") : -1; }

HRESULT FilterGraph::SelectAudioStream(int index)
{
    if (!d->pipeline) return VFW_E_WRONG_STATE;
    if (index < 0 || index >= AudioStreamCount()) return E_INVALIDARG;
    g_object_set(d->pipeline, "current-audio", index, nullptr);
    return S_OK;
}

QString FilterGraph::AudioStreamName(int index) const
{
    if (!d->pipeline || index < 0 || index >= AudioStreamCount()) return {};
    GstTagList* tags = nullptr;
    g_signal_emit_by_name(d->pipeline, "get-audio-tags", index, &tags);
    if (!tags) return {};
    QString name;
    gchar* text = nullptr;
    if (gst_tag_list_get_string(tags, GST_TAG_LANGUAGE_NAME, &text)) {
        name = QString::fromUtf8(text);
    } else if (gst_tag_list_get_string(tags, GST_TAG_LANGUAGE_CODE, &text)) {
        const gchar* language = gst_tag_get_language_name(text);
        name = QString::fromUtf8(language ? language : text);
    } else if (gst_tag_list_get_string(tags, GST_TAG_TITLE, &text)) {
        name = QString::fromUtf8(text);
    }
    g_free(text);
    gst_tag_list_unref(tags);
    return name;
}

// ---- video ----

bool FilterGraph::HasVideo() const { return d->IntProperty("n-video") > 0; }

HRESULT FilterGraph::GetNativeVideoSize(long* width, long* height) const
{
    if (!width || !height) return E_POINTER;
    *width = *height = 0;
    if (!d->pipeline || !HasVideo()) return VFW_E_NOT_CONNECTED;
    GstPad* pad = nullptr;
    GetVideoPad(d->pipeline, &pad);
    if (!pad) return VFW_E_NOT_CONNECTED;
    HRESULT hr = VFW_E_NOT_CONNECTED;
    if (GstCaps* caps = gst_pad_get_current_caps(pad)) {
        gint w = 0, h = 0;
        const GstStructure* s = gst_caps_get_structure(caps, 0);
        if (gst_structure_get_int(s, "width", &w) && gst_structure_get_int(s, "height", &h)) {
            *width = w;
            *height = h;
            hr = S_OK;
        }
        gst_caps_unref(caps);
    }
    gst_object_unref(pad);
    return hr;
}

HRESULT FilterGraph::GetPreferredAspectRatio(long* aspectX, long* aspectY) const
{
    if (!aspectX || !aspectY) return E_POINTER;
    long w = 0, h = 0;
    const HRESULT hr = GetNativeVideoSize(&w, &h);
    if (FAILED(hr)) return hr;
    gint parN = 1, parD = 1;
    GstPad* pad = nullptr;
    GetVideoPad(d->pipeline, &pad);
    if (pad) {
        if (GstCaps* caps = gst_pad_get_current_caps(pad)) {
            if (!gst_structure_get_fraction(gst_caps_get_structure(caps, 0), "pixel-aspect-ratio", &parN, &parD)
                || parN <= 0 || parD <= 0)
                parN = parD = 1;
            gst_caps_unref(caps);
        }
        gst_object_unref(pad);
    }
    long long x = static_cast<long long>(w) * parN;
    long long y = static_cast<long long>(h) * parD;
    const long long g = std::gcd(x, y);
    *aspectX = static_cast<long>(g ? x / g : x);
    *aspectY = static_cast<long>(g ? y / g : y);
    return S_OK;
}

HRESULT FilterGraph::SetVideoPosition(const QRect& rect)
{
    d->videoRect = rect;
    d->ApplyVideoRect();
    return d->canvas || d->overlay || !d->pipeline ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT FilterGraph::SetVideoVisible(bool visible)
{
    d->videoVisible = visible;
    if (d->canvas) d->canvas->setVisible(visible);
    if (d->overlay) d->overlay->setVisible(visible);
    return d->canvas || d->overlay || !d->pipeline ? S_OK : VFW_E_NOT_CONNECTED;
}

bool FilterGraph::IsVideoVisible() const { return (d->canvas || d->overlay) && d->videoVisible; }

void FilterGraph::DisplayModeChanged()
{
    if (d->canvas) d->canvas->update();
    d->ExposeOverlay();
}

HRESULT FilterGraph::SetColorValues(const ColorValues& values)
{
    d->colors = values;
    d->ApplyColors();
    return d->balance || !d->pipeline ? S_OK : E_NOTIMPL;
}

HRESULT FilterGraph::GetColorValues(ColorValues* values) const
{
    if (!values) return E_POINTER;
    *values = d->colors;
    return S_OK;
}

bool FilterGraph::HasColorControls() const { return d->balance && IsVideoRendererConnected(); }

void FilterGraph::SetFlip(bool horizontal, bool vertical)
{
    d->flipH = horizontal;
    d->flipV = vertical;
    d->ApplyFlip();
}

bool FilterGraph::CanFlip() const { return d->flip != nullptr; }

QImage FilterGraph::CurrentImage() const
{
    if (!d->pipeline) return {};
    GstSample* sample = nullptr;
    if (d->frames) {
        sample = d->frames->Current();
    } else if (d->videoSink) {
        GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING,
                                            G_BYTE_ORDER == G_LITTLE_ENDIAN ? "BGRx" : "xRGB", nullptr);
        g_signal_emit_by_name(d->pipeline, "convert-sample", caps, &sample);
        gst_caps_unref(caps);
    }
    if (!sample) return {};
    QImage image;
    GstVideoInfo info;
    GstVideoFrame frame;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (buffer && gst_video_info_from_caps(&info, gst_sample_get_caps(sample))
        && gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) {
        image = QImage(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)), GST_VIDEO_FRAME_WIDTH(&frame),
                       GST_VIDEO_FRAME_HEIGHT(&frame), GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), QImage::Format_RGB32)
                    .copy();
        gst_video_frame_unmap(&frame);
    }
    gst_sample_unref(sample);
    return image;
}

// ---- stream information ----

QString FilterGraph::Tag(const char* name) const
{
    if (!d->shared || !name) return {};
    std::lock_guard<std::mutex> lock(d->shared->mutex);
    if (!d->shared->tags) return {};
    gchar* text = nullptr;
    if (!gst_tag_list_get_string(d->shared->tags, name, &text)) return {};
    QString value = QString::fromUtf8(text);
    g_free(text);
    return value;
}

bool FilterGraph::IsStillPicture() const { return d->StillPicture(); }

bool FilterGraph::IsSilent() const { return d->pipeline && d->silentAudio; }

int FilterGraph::BufferingPercent() const
{
    if (!d->shared) return 100;
    std::lock_guard<std::mutex> lock(d->shared->mutex);
    return d->shared->bufferingPercent;
}

qint64 FilterGraph::FirstFrameTime() const { return d->stats->firstFrameUs.load(); }

quint64 FilterGraph::FramesShown() const { return d->stats->frames.load(); }

// ---- events ----

void FilterGraph::SetNotifyWindow(TForm* window, UINT message, LPARAM lParam)
{
    d->events->SetWindow(window, message, lParam);
}

HRESULT FilterGraph::GetEvent(long* code, LPARAM* param1, LPARAM* param2, long timeoutMs)
{
    if (!code || !param1 || !param2) return E_POINTER;
    GraphEvent event;
    if (!d->events->Take(&event, timeoutMs)) return E_ABORT;
    *code = event.code;
    *param1 = event.param1;
    *param2 = event.param2;
    return S_OK;
}

HRESULT FilterGraph::FreeEventParams(long, LPARAM, LPARAM)
{
    // Our events carry plain numbers only.
    return S_OK;
}

bool SoundDeviceAvailable()
{
    if (!gst_is_initialized()) gst_init(nullptr, nullptr);
    GstElement* sink = MakeElement("autoaudiosink");
    if (!sink) return false;
    const bool device = OpensReady(sink) && AutoSinkHasDevice(sink);
    Release(sink);
    return device;
}

}  // namespace media
