// A look at the multimedia runtime the player runs on, for a program that
// does not link it: libgstreamer-1.0 is loaded by name with dlopen,
// initialised (which registers its plugins), and asked for its version and
// for the element factories the player's layers create. A missing runtime
// is an answer, not a failure to start.
//
// The library stays loaded for the rest of the process: GStreamer cannot
// be unloaded once initialised. Main thread.
#pragma once

#include <QString>

#include <span>

namespace media {

// One element the player creates, and the Debian package that holds it.
struct RuntimeElement {
    const char* name;
    const char* package;
};

// Every element our layers create that the runtime's core does not hold.
std::span<const RuntimeElement> RuntimeElements();

// The oldest runtime, and plugin, version the player works with.
inline constexpr unsigned kRuntimeMajor = 1;
inline constexpr unsigned kRuntimeMinor = 22;

class RuntimeProbe {
public:
    // Loads and initialises the runtime; false when the library cannot be
    // loaded, lacks a function we call, or does not initialise.
    bool Load();
    // The runtime's own version; Load must have succeeded.
    void Version(unsigned* major, unsigned* minor, unsigned* micro) const;
    // The version text of the plugin that holds the element factory; false
    // when the runtime has no such factory.
    bool PluginVersion(const char* element, QString* version) const;

private:
    struct Api;
    const Api* api_ = nullptr;
};

// The library the probe loads ("libgstreamer-1.0.so.0" from the loader's
// search path); tests point it at a stand-in. Empty returns to the default.
void SetRuntimeLibrary(const QString& path);

}  // namespace media
