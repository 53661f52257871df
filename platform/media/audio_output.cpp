// The audio output: the chosen sink, else the automatic one, else a sink that
// only keeps time; the balance filter in front of it.
#include "platform/media/output.h"

#include "platform/media/graph.h"

#include <algorithm>
#include <cstdlib>

#include <initializer_list>

namespace media {

namespace {

GstElement* SilentSink()
{
    GstElement* sink = MakeOwnedElement("fakesink");
    if (sink) g_object_set(sink, "sync", TRUE, nullptr);
    return sink;
}

// Whether autoaudiosink found a real device (it falls back to a fake sink).
bool AutoSinkHasDevice(GstElement* autoSink)
{
    bool device = false;
    g_autoptr(GstIterator) it = gst_bin_iterate_elements(GST_BIN(autoSink));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* child = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* factory = gst_element_get_factory(child);
        if (factory && g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "fakesink") != 0)
            device = true;
        g_value_reset(&item);
    }
    g_value_unset(&item);
    return device;
}

// The sink's element if it opened a real device; else it is released.
GstElement* KeepIfOpened(GstElement* sink, bool automatic)
{
    if (!sink) return nullptr;
    if (OpenSink(sink) && (!automatic || AutoSinkHasDevice(sink))) return sink;
    gst_element_set_state(sink, GST_STATE_NULL);
    gst_object_unref(sink);
    return nullptr;
}

// A sink of the factory, or of a factory with its settings ("filesink
// location=PATH": the start-up benchmark catches the first sound so, through
// the environment's choice).
GstElement* MakeSink(const QString& factory)
{
    if (!factory.contains(QLatin1Char(' '))) return MakeOwnedElement(factory.toUtf8().constData());
    GError* error = nullptr;
    GstElement* sink = gst_parse_launch(factory.toUtf8().constData(), &error);
    g_clear_error(&error);
    if (sink && GST_IS_BIN(sink)) {
        // More than one element: not a sink.
        gst_object_unref(gst_object_ref_sink(sink));
        return nullptr;
    }
    if (sink) gst_object_ref_sink(sink);
    return sink;
}

// A sink of the factory that opened a real device; null otherwise.
GstElement* OpenedDeviceSink(const QString& factory)
{
    return KeepIfOpened(MakeSink(factory), factory == QLatin1String("autoaudiosink"));
}

// The device's own sink (its factory with the device chosen), if it opens.
GstElement* OpenedDeviceSink(GstDevice* device)
{
    GstElement* sink = gst_device_create_element(device, nullptr);
    if (sink) gst_object_ref_sink(sink);
    return KeepIfOpened(sink, false);
}

}  // namespace

std::vector<AudioSinkDevice> AudioSinkDevices()
{
    gst_init(nullptr, nullptr);
    g_autoptr(GstDeviceMonitor) monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(monitor, "Audio/Sink", nullptr);
    // Providers that only probe list their devices without being started.
    const bool started = gst_device_monitor_start(monitor);
    GList* devices = gst_device_monitor_get_devices(monitor);
    if (started) gst_device_monitor_stop(monitor);
    std::vector<AudioSinkDevice> found;
    for (GList* l = devices; l; l = l->next) {
        auto* device = GST_DEVICE(l->data);
        g_autofree gchar* name = gst_device_get_display_name(device);
        g_autoptr(GstElement) sink = gst_device_create_element(device, nullptr);
        if (!sink) continue;
        gst_object_ref_sink(sink);
        GstElementFactory* factory = gst_element_get_factory(sink);
        if (!factory) continue;
        found.push_back({DeviceRef(GST_DEVICE(gst_object_ref(device))), QString::fromUtf8(name),
                         QString::fromUtf8(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)))});
    }
    g_list_free_full(devices, gst_object_unref);
    return found;
}

DeviceRef FindAudioSinkDevice(const QString& displayName, const QString& factoryName)
{
    if (displayName.isEmpty() || factoryName.isEmpty()) return nullptr;
    // The device must be one that the chosen factory drives: two sound
    // systems may show the same card under one name.
    for (AudioSinkDevice& d : AudioSinkDevices())
        if (d.name == displayName && d.factory == factoryName) return std::move(d.device);
    return nullptr;
}

QString AudioSinkFromEnvironment() { return QString::fromUtf8(qgetenv("ZORAVEL_AUDIO_SINK")).trimmed(); }

std::unique_ptr<AudioOutput> AudioOutput::Create(const QString& factoryName, GstDevice* device, bool silent)
{
    std::unique_ptr<AudioOutput> out(new AudioOutput);
    QString chosen = AudioSinkFromEnvironment();
    if (chosen.isEmpty()) chosen = factoryName;
    if (chosen == QLatin1String("fakesink")) {
        // Asked for no sound: a sink that keeps time, as without a device.
        silent = true;
    }
    // The environment's choice stands for the device too.
    if (!silent && device && chosen == factoryName) out->sink_ = OpenedDeviceSink(device);
    if (!silent && !out->sink_) {
        for (const QString& factory : {chosen, QStringLiteral("autoaudiosink")}) {
            if (factory.isEmpty()) continue;
            if ((out->sink_ = OpenedDeviceSink(factory))) break;
        }
    }
    out->silent_ = out->sink_ == nullptr;
    if (!out->sink_) out->sink_ = SilentSink();
    if (!out->sink_) return nullptr;

    g_autoptr(GstElement) bin = MakeOwnedElement("bin");
    g_autoptr(GstElement) convert = MakeOwnedElement("audioconvert");
    g_autoptr(GstElement) panorama = MakeOwnedElement("audiopanorama");
    if (bin && convert && panorama) {
        // Balance as a plain attenuation of the other side.
        gst_util_set_object_arg(G_OBJECT(panorama), "method", "simple");
        gst_bin_add_many(GST_BIN(bin), convert, panorama, nullptr);
        gst_element_link(convert, panorama);
        g_autoptr(GstPad) sinkPad = gst_element_get_static_pad(convert, "sink");
        g_autoptr(GstPad) srcPad = gst_element_get_static_pad(panorama, "src");
        gst_element_add_pad(bin, gst_ghost_pad_new("sink", sinkPad));
        gst_element_add_pad(bin, gst_ghost_pad_new("src", srcPad));
        out->filter_ = static_cast<GstElement*>(g_steal_pointer(&bin));
        out->panorama_ = static_cast<GstElement*>(g_steal_pointer(&panorama));
    }
    return out;
}

AudioOutput::~AudioOutput()
{
    for (GstElement** e : {&sink_, &filter_}) {
        if (!*e) continue;
        gst_element_set_state(*e, GST_STATE_NULL);
        gst_object_unref(*e);
        *e = nullptr;
    }
    if (panorama_) gst_object_unref(panorama_);
}

double PanoramaOfBalance(long balance)
{
    // The simple panorama scales the other side by 1 - |p|: that factor is
    // the attenuation of |balance| hundredths of a decibel.
    const long b = std::clamp(balance, -10000L, 10000L);
    const double kept = LinearVolume(-std::labs(b));
    return b < 0 ? -(1.0 - kept) : 1.0 - kept;
}

void AudioOutput::SetBalance(long balance)
{
    if (panorama_) g_object_set(panorama_, "panorama", static_cast<gfloat>(PanoramaOfBalance(balance)), nullptr);
}

bool SoundDeviceAvailable()
{
    gst_init(nullptr, nullptr);
    GstElement* sink = OpenedDeviceSink(QStringLiteral("autoaudiosink"));
    if (!sink) return false;
    gst_element_set_state(sink, GST_STATE_NULL);
    gst_object_unref(sink);
    return true;
}

}  // namespace media
