#include "platform/media/runtimecheck.h"

#include <QFile>
#include <QMap>

#include <type_traits>

#include <dlfcn.h>

namespace media {

namespace {

constexpr RuntimeElement kElements[] = {
    {"playbin", "gstreamer1.0-plugins-base"},
    {"decodebin", "gstreamer1.0-plugins-base"},
    {"videoconvert", "gstreamer1.0-plugins-base"},
    {"videoscale", "gstreamer1.0-plugins-base"},
    {"audioconvert", "gstreamer1.0-plugins-base"},
    {"audioresample", "gstreamer1.0-plugins-base"},
    {"volume", "gstreamer1.0-plugins-base"},
    {"appsink", "gstreamer1.0-plugins-base"},
    {"ximagesink", "gstreamer1.0-x"},
    {"xvimagesink", "gstreamer1.0-x"},
    {"glimagesink", "gstreamer1.0-gl"},
    {"alsasink", "gstreamer1.0-alsa"},
    {"pulsesink", "gstreamer1.0-pulseaudio"},
    {"videobalance", "gstreamer1.0-plugins-good"},
    {"gamma", "gstreamer1.0-plugins-good"},
    {"videoflip", "gstreamer1.0-plugins-good"},
    {"imagefreeze", "gstreamer1.0-plugins-good"},
    {"mpegpsdemux", "gstreamer1.0-plugins-bad"},
    {"rsndvdbin", "gstreamer1.0-plugins-bad"},
    {"dvdspu", "gstreamer1.0-plugins-bad"},
    {"line21decoder", "gstreamer1.0-plugins-bad"},
    {"audiomixmatrix", "gstreamer1.0-plugins-bad"},
    {"asfdemux", "gstreamer1.0-plugins-ugly"},
    {"rmdemux", "gstreamer1.0-plugins-ugly"},
    {"cdiocddasrc", "gstreamer1.0-plugins-ugly"},
    {"avdec_mpeg2video", "gstreamer1.0-libav"},
};

QString& LibraryPath()
{
    static QString path;
    return path;
}

}  // namespace

// The runtime's functions we call, declared with plain C types: this
// program has no build-time knowledge of GStreamer.
struct RuntimeProbe::Api {
    int (*initCheck)(int*, char***, void**) = nullptr;
    void (*version)(unsigned*, unsigned*, unsigned*, unsigned*) = nullptr;
    void* (*findFactory)(const char*) = nullptr;
    void* (*featurePlugin)(void*) = nullptr;
    const char* (*pluginVersion)(void*) = nullptr;
    void (*unref)(void*) = nullptr;
};

std::span<const RuntimeElement> RuntimeElements() { return kElements; }

void SetRuntimeLibrary(const QString& path) { LibraryPath() = path; }

bool RuntimeProbe::Load()
{
    // One loaded and initialised runtime per library path, for the process.
    static QMap<QString, Api> loaded;
    const QString path = LibraryPath().isEmpty() ? QStringLiteral("libgstreamer-1.0.so.0") : LibraryPath();
    if (const auto it = loaded.constFind(path); it != loaded.constEnd()) {
        api_ = &*it;
        return true;
    }
    void* library = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!library) return false;
    Api api;
    const auto find = [library](auto& function, const char* name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
        return function != nullptr;
    };
    const bool complete = find(api.initCheck, "gst_init_check") && find(api.version, "gst_version") &&
                          find(api.findFactory, "gst_element_factory_find") &&
                          find(api.featurePlugin, "gst_plugin_feature_get_plugin") &&
                          find(api.pluginVersion, "gst_plugin_get_version") && find(api.unref, "gst_object_unref");
    // A library that lacks a function, or fails to start, is no runtime; one
    // that started stays, as it cannot be taken down again.
    if (!complete || !api.initCheck(nullptr, nullptr, nullptr)) {
        if (!complete) dlclose(library);
        return false;
    }
    api_ = &*loaded.insert(path, api);
    return true;
}

void RuntimeProbe::Version(unsigned* major, unsigned* minor, unsigned* micro) const
{
    unsigned nano = 0;
    api_->version(major, minor, micro, &nano);
}

bool RuntimeProbe::PluginVersion(const char* element, QString* version) const
{
    version->clear();
    void* factory = api_->findFactory(element);
    if (!factory) return false;
    if (void* plugin = api_->featurePlugin(factory)) {
        if (const char* text = api_->pluginVersion(plugin)) *version = QString::fromUtf8(text);
        api_->unref(plugin);
    }
    api_->unref(factory);
    return true;
}

}  // namespace media
