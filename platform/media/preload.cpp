#include "platform/media/preload.h"

#include "platform/media/output.h"

#include <gst/base/gsttypefindhelper.h>
#include <gst/gst.h>

#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace media {

namespace {

// Plug-ins that every file graph loads: the playback bin and type finding,
// conversion and the colour elements, the sinks the renderers try and the
// window sinks' still-frame element, the sound output's balance, the
// deinterlacer, and the parsers of the usual streams. They load before the
// decoders' library: GStreamer loads one plug-in at a time, and a graph that
// needs one of them while the decoders' library loads would wait for it.
constexpr const char* kFilePlugins[] = {
    "coreelements", "playback",    "typefindfunctions", "videoconvertscale", "audioconvert",
    "audioresample", "volume",     "videofilter",       "app",               "ximagesink",
    "xvimagesink",  "imagefreeze", "audiofx",           "deinterlace",       "videoparsersbad",
    "audioparsers",
};

// An audio CD's graph: the source (our own for a sheet, libcdio's for a
// drive), conversion, volume and the sound output's balance. No decoder.
constexpr const char* kAudioCdPlugins[] = {"coreelements", "audioconvert", "volume", "audiofx"};

// A DVD's graph: the navigator bin with its demuxer and parsers, the
// sub-picture mixer, the karaoke matrix, the video output's colour elements
// and sinks, and the bin that tries the video decoders in turn.
constexpr const char* kDvdPlugins[] = {
    "coreelements", "resindvd",     "videoparsersbad", "autoconvert", "dvdspu",     "audioconvert",
    "audiomixmatrix", "volume",     "audiofx",         "videoconvertscale", "videofilter", "app",
    "ximagesink",   "xvimagesink",  "imagefreeze",     "deinterlace",       "audioresample",
};

// The streams of a DVD: MPEG-2 video, AC-3, MPEG and LPCM sound.
constexpr const char* kDvdStreams[] = {
    "video/mpeg, mpegversion=(int)2, systemstream=(boolean)false",
    "audio/x-ac3",
    "audio/mpeg, mpegversion=(int)1",
    "audio/x-private1-lpcm",
};

// The automatic sound output's candidates.
constexpr const char* kSoundPlugins[] = {"autodetect", "pulseaudio", "alsa"};

void LoadPlugin(const char* name)
{
    g_autoptr(GstPlugin) plugin = gst_plugin_load_by_name(name);
}

// The sound output's plug-ins: the sink the environment names (the sound
// servers' libraries are large and go unused then), else the automatic
// output's candidates. The environment may name a sink with its settings:
// its first word is the factory.
void LoadSoundOutput()
{
    const QString named = AudioSinkFromEnvironment().section(QLatin1Char(' '), 0, 0);
    if (!named.isEmpty()) {
        if (g_autoptr(GstElementFactory) factory = gst_element_factory_find(named.toUtf8().constData())) {
            g_autoptr(GstPluginFeature) loaded = gst_plugin_feature_load(GST_PLUGIN_FEATURE(factory));
            return;
        }
    }
    for (const char* name : kSoundPlugins) LoadPlugin(name);
}

// The factories of `types` that take `caps`, the best rank first (as the
// graphs try them).
GList* FactoriesFor(const GstCaps* caps, GstElementFactoryListType types)
{
    GList* all = gst_element_factory_list_get_elements(types, GST_RANK_MARGINAL);
    GList* fitting = gst_element_factory_list_filter(all, caps, GST_PAD_SINK, FALSE);
    gst_plugin_feature_list_free(all);
    return g_list_sort(fitting, gst_plugin_feature_rank_compare_func);
}

void LoadFeature(gpointer feature)
{
    g_autoptr(GstPluginFeature) loaded = gst_plugin_feature_load(GST_PLUGIN_FEATURE(feature));
}

// The best demuxer, parser or decoder for the file's container, as the type
// finder sees its head.
void LoadForContainer(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile()) return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return;
    const QByteArray head = file.read(64 * 1024);
    if (head.isEmpty()) return;
    g_autoptr(GstCaps) caps = gst_type_find_helper_for_data(
        nullptr, reinterpret_cast<const guint8*>(head.constData()), static_cast<gsize>(head.size()), nullptr);
    if (!caps) return;
    GList* fitting = FactoriesFor(caps, GST_ELEMENT_FACTORY_TYPE_DEMUXER | GST_ELEMENT_FACTORY_TYPE_PARSER |
                                            GST_ELEMENT_FACTORY_TYPE_DECODER);
    if (fitting) LoadFeature(fitting->data);
    gst_plugin_feature_list_free(fitting);
}

// GStreamer's streaming threads come from GLib's shared pool of threads. A
// new thread waits for the dynamic loader's lock (it sets up its
// thread-local storage), which the decoders' library holds for its whole
// mapping: the first graph's type finding and demuxing would wait for it.
// Threads started before it and left idle are reused instead.
void StartIdleStreamingThreads()
{
    constexpr int kThreads = 6;
    if (g_thread_pool_get_max_unused_threads() < kThreads) g_thread_pool_set_max_unused_threads(kThreads);
    GThreadPool* pool = g_thread_pool_new([](gpointer, gpointer) { g_usleep(2000); }, nullptr, kThreads, FALSE, nullptr);
    if (!pool) return;
    for (int i = 0; i < kThreads; ++i) g_thread_pool_push(pool, GINT_TO_POINTER(i + 1), nullptr);
    g_thread_pool_free(pool, FALSE, TRUE);
}

}  // namespace

void LoadDvdDecoders()
{
    for (const char* stream : kDvdStreams) {
        g_autoptr(GstCaps) caps = gst_caps_from_string(stream);
        if (!caps) continue;
        GList* decoders = FactoriesFor(caps, GST_ELEMENT_FACTORY_TYPE_DECODER);
        for (GList* l = decoders; l; l = l->next) LoadFeature(l->data);
        gst_plugin_feature_list_free(decoders);
    }
}

FirstItem FirstItemOf(const QStringList& args)
{
    FirstItem item;
    if (args.isEmpty()) return item;
    const QString word = args.first().toLower();
    const QString second = args.size() > 1 ? args[1] : QString();
    if (word == QLatin1String("/dvd")) {
        item.kind = FirstItem::kDvd;
        item.path = second;
        return item;
    }
    if (word == QLatin1String("/cd")) {
        // "/cd" alone plays nothing.
        if (!second.isEmpty()) item = {FirstItem::kAudioCd, second};
        return item;
    }
    const QString path = word == QLatin1String("/fb") ? second : args.first();
    if (path.isEmpty()) return item;
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("ifo"))
        item.kind = FirstItem::kDvd;
    else if (suffix != QLatin1String("cue"))
        item.kind = FirstItem::kFile;
    item.path = path;
    return item;
}

struct Preloader::Thread {
    std::thread thread;
    std::mutex mutex;
    std::condition_variable wake;
    bool shown = false;

    void Open()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            shown = true;
        }
        wake.notify_all();
    }

    // The large libraries' mapping holds the dynamic loader's lock for tens
    // of milliseconds, and the window's own first loads (the pointer's
    // library, the input context and image format plug-ins) would wait for
    // it: they wait for the window to show, or 2 seconds without it.
    void WaitShown()
    {
        std::unique_lock<std::mutex> lock(mutex);
        wake.wait_for(lock, std::chrono::seconds(2), [this] { return shown; });
    }

    void Run(const FirstItem& item)
    {
        gst_init(nullptr, nullptr);
        switch (item.kind) {
        case FirstItem::kNothing:
            // The empty window: the first item opened loads what it needs.
            break;
        case FirstItem::kAudioCd:
            // Nothing decodes: the sound output is the one large library.
            for (const char* name : kAudioCdPlugins) LoadPlugin(name);
            if (QFileInfo(item.path).suffix().compare(QLatin1String("cue"), Qt::CaseInsensitive) != 0)
                LoadPlugin("cdio");
            WaitShown();
            LoadSoundOutput();
            break;
        case FirstItem::kDvd:
            // The window's thread opens the disc and builds its graph while
            // the window is first shown: the navigator's plug-ins are ready
            // by then, and the decoders (the whole libav library for MPEG-2
            // video) load after it, beside the navigator's start, never
            // while that thread needs the dynamic loader.
            for (const char* name : kDvdPlugins) LoadPlugin(name);
            WaitShown();
            LoadSoundOutput();
            LoadDvdDecoders();
            break;
        case FirstItem::kFile:
            for (const char* name : kFilePlugins) LoadPlugin(name);
            LoadForContainer(item.path);
            WaitShown();
            StartIdleStreamingThreads();
            LoadPlugin("libav");
            LoadSoundOutput();
            break;
        }
    }
};

Preloader::Preloader(const QStringList& args) : thread_(std::make_unique<Thread>())
{
    Thread* t = thread_.get();
    thread_->thread = std::thread([t, item = FirstItemOf(args)] { t->Run(item); });
}

void Preloader::WindowShown() { thread_->Open(); }

Preloader::~Preloader()
{
    thread_->Open();
    if (thread_->thread.joinable()) thread_->thread.join();
}

}  // namespace media
