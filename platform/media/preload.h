// Loading GStreamer ahead of the first graph. Loading the plug-ins of a
// playback graph (the decoders' libraries above all) takes longer than the
// rest of building it; done on a thread of its own while the window is
// mapped and painted, much of it is over by the time the first graph is
// built, and the rest goes on beside the building.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace media {

// What the program's first item is, as its command line names it: the
// plug-ins loaded ahead are those its graph uses.
struct FirstItem {
    enum Kind {
        kNothing,   // no item: the empty window
        kAudioCd,   // a drive or a cue sheet read by our own image source
        kDvd,
        kFile,      // a file, list or folder (path)
    };
    Kind kind = kNothing;
    QString path;
};

// The first item of the program's arguments, read as the main window reads
// them: "/dvd" and an .ifo file are a DVD, "/cd" with a drive or a sheet an
// audio CD, a sheet alone no media of its own, "/fb" names its item second.
FirstItem FirstItemOf(const QStringList& args);

// Loads the plug-ins of every decoder a DVD's navigator makes, to try them in
// turn, for a disc's streams (MPEG-2 video, AC-3, MPEG and LPCM sound): the
// whole libav library among them. Any thread, after gst_init; plug-ins
// already loaded are passed over.
void LoadDvdDecoders();

class Preloader {
public:
    // Starts a thread that initialises GStreamer and loads the plug-ins the
    // first item's graph uses. It opens no window sink: X sinks opened on two
    // threads at once (this one and the first graph's on the window's thread)
    // corrupted the heap now and then; the first graph finds out which
    // window sink opens. gst_init on another thread waits for the
    // initialisation, plug-in registry and all; gst_is_initialized() does
    // not: it is true from early in the initialisation, before the registry
    // is loaded, which takes seconds while its cache is built anew.
    // The large libraries wait for WindowShown.
    explicit Preloader(const QStringList& args);
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
