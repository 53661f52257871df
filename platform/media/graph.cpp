// The file graph: one playbin pipeline for one item, built with the shared
// output stage (output.h) and watched on its bus.
#include "platform/media/graph.h"

#include "platform/media/decoders.h"
#include "platform/media/graph_private.h"

#include <gst/audio/streamvolume.h>

#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <cmath>
#include <vector>

namespace media {

namespace {

// playbin's flags (GstPlayFlags).
constexpr guint kPlayVideo = 0x1;
constexpr guint kPlayAudio = 0x2;
constexpr guint kPlayText = 0x4;
constexpr guint kPlaySoftVolume = 0x10;
constexpr guint kPlayNativeVideo = 0x40;
constexpr guint kPlayDeinterlace = 0x200;
constexpr guint kPlaySoftColorBalance = 0x400;

constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002u);
constexpr auto kBuildTimeout = std::chrono::seconds(10);
constexpr auto kBufferingGrace = std::chrono::seconds(2);
constexpr qint64 kLargestPictureFile = 64 * 1024 * 1024;

// The video sink behind a converter of its own, given to playbin with the
// native-video flag: playsink then puts no converter and scaler of its own
// in front of the sink, and the first picture has a scaler fewer to agree on
// its format through. The converter takes every decoder's format. (The
// video output's filter stays playbin's video filter: inside the sink, its
// colour elements would be taken by playsink for the sink's colour balance.)
GstElement* ConvertingVideoSink(GstElement* sink)
{
    if (!sink) return nullptr;
    g_autoptr(GstElement) convert = MakeOwnedElement("videoconvert");
    if (!convert) return nullptr;
    GstElement* bin = gst_bin_new("converting-sink");
    gst_object_ref_sink(bin);
    gst_bin_add_many(GST_BIN(bin), convert, sink, nullptr);
    g_autoptr(GstPad) entry = gst_element_get_static_pad(convert, "sink");
    if (!gst_element_link(convert, sink) || !entry || !gst_element_add_pad(bin, gst_ghost_pad_new("sink", entry))) {
        gst_bin_remove(GST_BIN(bin), sink);
        gst_object_unref(bin);
        return nullptr;
    }
    return bin;
}

using SharedHolder = std::shared_ptr<BusShared>;

void DeleteHolder(gpointer data) { delete static_cast<SharedHolder*>(data); }
BusShared& SharedOf(gpointer data) { return **static_cast<SharedHolder*>(data); }

void OnBusMessage(BusShared& s, GstMessage* message)
{
    switch (GST_MESSAGE_TYPE(message)) {
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
            s.wake.notify_all();
            if (!s.closed && s.seeks) s.seeks->Completed();
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
            QMetaObject::invokeMethod(s.receiver, [graph] { graph->OnBuffering(); }, Qt::QueuedConnection);
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
}

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
    VideoOutput* video = nullptr;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.closed || !s.containerType.empty() || !name) return;
        s.containerType = name;
        if (g_str_has_prefix(name, "image/")) video = s.video;
    }
    // The decoders are not linked yet: the still frame can still be routed
    // through the holder that sends it again for a new window size. The
    // output lives until the pipeline has stopped.
    if (video) video->HoldStillFrames();
}

struct BuildHooks {
    SharedHolder shared;
    std::vector<std::string> preferred;
};

void DeleteHooks(gpointer data, GClosure*) { delete static_cast<BuildHooks*>(data); }

void OnDeepElementAdded(GstBin*, GstBin*, GstElement* element, gpointer data)
{
    auto* hooks = static_cast<BuildHooks*>(data);
    LimitDecoderThreads(element);
    GstElementFactory* factory = gst_element_get_factory(element);
    if (!factory || g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "decodebin") != 0) return;
    // Only the first decodebin finds the container's type.
    g_autoptr(GstElement) typefind = gst_bin_get_by_name(GST_BIN(element), "typefind");
    if (typefind)
        g_signal_connect_data(typefind, "have-type", G_CALLBACK(OnHaveType), new SharedHolder(hooks->shared),
                              [](gpointer p, GClosure*) { DeleteHolder(p); }, GConnectFlags(0));
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

bool IsAddress(const QString& text, int shortestScheme)
{
    const auto letter = [](QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
    const qsizetype end = text.indexOf(QLatin1String("://"));
    if (end < std::max(shortestScheme, 1) || !letter(text[0])) return false;
    for (qsizetype i = 1; i < end; ++i) {
        const QChar c = text[i];
        if (!letter(c) && (c < u'0' || c > u'9') && c != u'+' && c != u'.' && c != u'-') return false;
    }
    return true;
}

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

GraphPrivate::Outcome GraphPrivate::Build(const QString& uri, const OutputFallback& fallback)
{
    Outcome outcome;
    shared = std::make_shared<BusShared>();
    shared->events = events;
    shared->receiver = this;

    pipeline = MakeOwnedElement("playbin");
    if (!pipeline) return outcome;
    shared->pipeline = pipeline;
    seeks = std::make_unique<SeekPacer>([this](const SeekPacer::Seek& seek) {
        return pipeline && gst_element_seek(pipeline, rate, GST_FORMAT_TIME, seek.flags, GST_SEEK_TYPE_SET,
                                            seek.startNs, seek.stopType, seek.stopNs);
    });
    shared->seeks = seeks.get();
    g_object_set(pipeline, "uri", uri.toUtf8().constData(), nullptr);

    guint flags = 0;
    g_object_get(pipeline, "flags", &flags, nullptr);
    flags &= ~(kPlayText | kPlaySoftColorBalance | kPlayVideo);
    flags |= kPlayAudio | kPlaySoftVolume;

    if (rendererAdded) {
        VideoOutput::Options options;
        options.renderer = renderer;
        options.panel = panel;
        options.flipAllowed = flipAllowed;
        options.captureBranch = captureBranch;
        options.paintedOnly = fallback.paintedOnly;
        options.settings = videoSettings;
        options.events = events;
        video = VideoOutput::Create(options);
        if (!video) {
            outcome.hr = E_FAIL;
            return outcome;
        }
        video->SetPipeline(pipeline);
        flags |= kPlayVideo;
        shared->videoSink = video->Sink();
        shared->video = video.get();
        if (GstElement* converting = ConvertingVideoSink(video->Sink())) {
            g_object_set(pipeline, "video-sink", converting, nullptr);
            gst_object_unref(converting);
            flags |= kPlayNativeVideo;
        } else {
            g_object_set(pipeline, "video-sink", video->Sink(), nullptr);
        }
        if (video->Filter()) g_object_set(pipeline, "video-filter", video->Filter(), nullptr);
        // playbin's own deinterlacer, in front of the filter: interlaced
        // pictures are woven into frames, progressive ones pass.
        if (deinterlace) flags |= kPlayDeinterlace;
    } else {
        // No picture: a sink that takes nothing, so that playbin does not
        // look for a display sink of its own.
        g_autoptr(GstElement) none = MakeOwnedElement("fakesink");
        if (none) {
            g_object_set(none, "sync", TRUE, nullptr);
            g_object_set(pipeline, "video-sink", none, nullptr);
        }
    }
    audio = AudioOutput::Create(audioSinkName, audioDevice.get(), fallback.silent);
    if (audio) {
        shared->audioSink = audio->Sink();
        g_object_set(pipeline, "audio-sink", audio->Sink(), nullptr);
        if (audio->Filter()) g_object_set(pipeline, "audio-filter", audio->Filter(), nullptr);
    }
    g_object_set(pipeline, "flags", flags, nullptr);
    ApplyVolume();
    ApplyBalance();

    auto* hooks = new BuildHooks{shared, {}};
    for (const QString& name : preferred) hooks->preferred.push_back(name.toStdString());
    if (windowsMedia) hooks->preferred.push_back("asfdemux");
    g_signal_connect_data(pipeline, "deep-element-added", G_CALLBACK(OnDeepElementAdded), hooks, DeleteHooks,
                          GConnectFlags(0));
    if (uri.startsWith(QLatin1String("multifile://"))) {
        g_autofree gchar* file = gst_uri_get_location(uri.toUtf8().constData());
        g_signal_connect_data(pipeline, "source-setup", G_CALLBACK(OnSourceSetup), new QByteArray(file),
                              DeleteLocation, GConnectFlags(0));
    }

    std::vector<BusWatch::Handler> handlers;
    if (video) handlers.push_back(video->BusHandler());
    handlers.push_back([s = shared](GstMessage* message) { OnBusMessage(*s, message); });
    bus.Attach(pipeline, std::move(handlers));

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
    stepped = false;
    if (shared) {
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->closed = true;
        shared->receiver = nullptr;
    }
    if (video) video->Detach();
    if (seeks) seeks->Close();
    if (pipeline) {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        bus.Detach();
        gst_object_unref(pipeline);
        pipeline = nullptr;
    }
    video.reset();
    audio.reset();
    shared.reset();
    seeks.reset();
    network = live = false;
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
    if (audio) audio->SetBalance(balanceValue);
}

// Runs on the window's thread, queued once per buffering message; by then
// later messages may have come, so it acts on the latest level and changes
// the state only when playback must be held or may go on, not once for
// every level queued.
void GraphPrivate::OnBuffering()
{
    if (!shared) return;
    int percent = 100;
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        percent = shared->bufferingPercent;
    }
    const bool hold = percent < 100;
    if (hold == heldForBuffering) return;
    heldForBuffering = hold;
    if (!pipeline || live || WindowGone() || target != GraphState::Running) return;
    gst_element_set_state(pipeline, hold ? GST_STATE_PAUSED : GST_STATE_PLAYING);
}

// ---- FilterGraph: building ----

FilterGraph::FilterGraph() : d(std::make_unique<GraphPrivate>())
{
    // Not guarded by gst_is_initialized(): that turns true early in another
    // thread's gst_init, before the plug-in registry is loaded (seconds when
    // its cache is built anew); gst_init waits until the registry is whole.
    gst_init(nullptr, nullptr);
}

FilterGraph::~FilterGraph()
{
    DetachColourControls(*d);
    d->events->Close();
    d->Teardown();
}

HRESULT FilterGraph::AddVideoRenderer(int renderer, QWidget* panel, bool flipAllowed)
{
    d->rendererAdded = true;
    d->renderer = renderer;
    d->panel = panel;
    d->flipAllowed = flipAllowed;
    // The overlay keeps what the last graph left on the display.
    if (UsesDisplayOverlay(renderer)) d->videoSettings.colors = DisplayOverlayColors();
    return S_OK;
}

void FilterGraph::AddCaptureBranch() { d->captureBranch = true; }

void FilterGraph::AddDeinterlacer() { d->deinterlace = true; }

int FilterGraph::VideoRendererValue() const { return d->rendererAdded ? d->renderer : 0; }

HRESULT FilterGraph::AddAudioRenderer(const QString& factoryName, const QString& deviceName)
{
    if (factoryName.isEmpty()) {
        d->audioSinkName.clear();
        d->audioDevice.reset();
        return S_OK;
    }
    g_autoptr(GstElementFactory) factory = gst_element_factory_find(factoryName.toUtf8().constData());
    if (!factory) return VFW_E_NOT_FOUND;
    DeviceRef device;
    if (!deviceName.isEmpty()) {
        device = FindAudioSinkDevice(deviceName, factoryName);
        // A device that is not there leaves the sink as it was.
        if (!device) return VFW_E_NOT_FOUND;
    }
    d->audioSinkName = factoryName;
    d->audioDevice = std::move(device);
    return S_OK;
}

HRESULT FilterGraph::AddPreferredFactory(const QString& factoryName)
{
    g_autoptr(GstElementFactory) factory = gst_element_factory_find(factoryName.toUtf8().constData());
    if (!factory) return VFW_E_NOT_FOUND;
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
    OutputFallback fallback;
    for (;;) {
        d->network = network;
        const GraphPrivate::Outcome outcome = d->Build(uri, fallback);
        if (outcome.hr == S_OK) {
            d->target = GraphState::Paused;
            return S_OK;
        }
        const bool again =
            fallback.StepDown(outcome.fromVideoSink, d->video.get(), outcome.fromAudioSink, d->audio.get());
        d->Teardown();
        d->events->Clear();
        if (!again) return outcome.hr;
    }
}

bool FilterGraph::IsVideoRendererConnected() const
{
    return d->pipeline && d->video && d->IntProperty("n-video") > 0 && d->video->IsConnected();
}

GstElement* FilterGraph::Pipeline() const { return d->pipeline; }

QStringList FilterGraph::ElementNames() const
{
    QStringList names;
    if (!d->pipeline) return names;
    g_autoptr(GstIterator) it = gst_bin_iterate_recurse(GST_BIN(d->pipeline));
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
    return names;
}

}  // namespace media
