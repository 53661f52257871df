// Loading GStreamer ahead of the first graph. Loading the plug-ins of a
// playback graph (the decoders' libraries above all) takes longer than the
// rest of building it; done on a thread of its own while the window is
// mapped and painted, much of it is over by the time the first graph is
// built, and the rest goes on beside the building.
#pragma once

#include <QString>

#include <memory>

namespace media {

class Preloader {
public:
    // Starts a thread that initialises GStreamer, loads the plug-ins every
    // playback graph uses and those that `firstMedia` (a file path, may be
    // empty) needs for its container. It opens no window sink: X sinks
    // opened on two threads at once (this one and the first graph's on the
    // window's thread) corrupted the heap now and then; the first graph
    // finds out which window sink opens. gst_init on another thread waits for
    // the initialisation, plug-in registry and all; gst_is_initialized() does
    // not: it is true from early in the initialisation, before the registry
    // is loaded, which takes seconds while its cache is built anew.
    // The decoders' and the sound output's libraries wait for WindowShown.
    explicit Preloader(const QString& firstMedia);
    // The window is on the screen: the large libraries may load now.
    void WindowShown();
    // Waits for the thread.
    ~Preloader();
    Preloader(const Preloader&) = delete;
    Preloader& operator=(const Preloader&) = delete;

private:
    struct Thread;
    std::unique_ptr<Thread> thread_;
};

}  // namespace media
