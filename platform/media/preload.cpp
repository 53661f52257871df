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
// conversion and the colour elements, the sinks the renderers try, and the
// decoders' library, the costliest of all to load.
constexpr const char* kCommonPlugins[] = {
    "coreelements", "playback", "typefindfunctions", "videoconvertscale", "audioconvert", "audioresample",
    "volume",       "videofilter", "app",          "ximagesink",        "xvimagesink",
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
