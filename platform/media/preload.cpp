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
constexpr const char* kCommonPlugins[] = {
    "coreelements", "playback",    "typefindfunctions", "videoconvertscale", "audioconvert",
    "audioresample", "volume",     "videofilter",       "app",               "ximagesink",
    "xvimagesink",  "imagefreeze", "audiofx",           "deinterlace",       "videoparsersbad",
    "audioparsers",
};

// The automatic sound output's candidates.
constexpr const char* kSoundPlugins[] = {"autodetect", "pulseaudio", "alsa"};

void LoadPlugin(const char* name)
{
    g_autoptr(GstPlugin) plugin = gst_plugin_load_by_name(name);
}

// The sound output's plug-ins: the sink the environment names (the sound
// servers' libraries are large and go unused then), else the automatic
// output's candidates.
void LoadSoundOutput()
{
    const QString named = AudioSinkFromEnvironment();
    if (!named.isEmpty()) {
        if (g_autoptr(GstElementFactory) factory = gst_element_factory_find(named.toUtf8().constData())) {
            g_autoptr(GstPluginFeature) loaded = gst_plugin_feature_load(GST_PLUGIN_FEATURE(factory));
            return;
        }
    }
    for (const char* name : kSoundPlugins) LoadPlugin(name);
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
    GList* all = gst_element_factory_list_get_elements(
        GST_ELEMENT_FACTORY_TYPE_DEMUXER | GST_ELEMENT_FACTORY_TYPE_PARSER | GST_ELEMENT_FACTORY_TYPE_DECODER,
        GST_RANK_MARGINAL);
    GList* fitting = gst_element_factory_list_filter(all, caps, GST_PAD_SINK, FALSE);
    fitting = g_list_sort(fitting, gst_plugin_feature_rank_compare_func);
    if (fitting) {
        g_autoptr(GstPluginFeature) loaded = gst_plugin_feature_load(GST_PLUGIN_FEATURE(fitting->data));
    }
    gst_plugin_feature_list_free(fitting);
    gst_plugin_feature_list_free(all);
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
};

Preloader::Preloader(const QString& firstMedia) : thread_(std::make_unique<Thread>())
{
    Thread* t = thread_.get();
    thread_->thread = std::thread([t, firstMedia] {
        gst_init(nullptr, nullptr);
        for (const char* name : kCommonPlugins) LoadPlugin(name);
        LoadForContainer(firstMedia);
        // The decoders' library and the sound output's are the large ones:
        // mapping them holds the dynamic loader's lock for tens of
        // milliseconds, and the window's own first loads (the pointer's
        // library, the input context and image format plug-ins) would wait
        // for it. They load once the window is shown, or after 2 seconds
        // without it.
        {
            std::unique_lock<std::mutex> lock(t->mutex);
            t->wake.wait_for(lock, std::chrono::seconds(2), [t] { return t->shown; });
        }
        StartIdleStreamingThreads();
        LoadPlugin("libav");
        LoadSoundOutput();
    });
}

void Preloader::WindowShown() { thread_->Open(); }

Preloader::~Preloader()
{
    thread_->Open();
    if (thread_->thread.joinable()) thread_->thread.join();
}

}  // namespace media
