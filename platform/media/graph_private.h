// The file graph's own state, shared by graph.cpp (building the playbin
// pipeline, its bus) and graph_control.cpp (the operations on it). The
// outputs, the bus watch and the event queue are the shared output stage
// (output.h, bus.h, events.h).
#pragma once

#include "platform/media/bus.h"
#include "platform/media/events.h"
#include "platform/media/graph.h"
#include "platform/media/output.h"
#include "platform/media/seeking.h"

#include <gst/gst.h>

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QWidget>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

namespace media {

inline REFERENCE_TIME ToReference(gint64 ns) { return ns / 100; }
inline gint64 ToNs(REFERENCE_TIME t) { return t * 100; }

// What the bus handler and the streaming threads share with the main thread,
// under `mutex`. One per build; the handlers hold it by shared_ptr.
struct BusShared {
    std::shared_ptr<EventQueue> events;
    std::mutex mutex;
    std::condition_variable wake;

    // Identities only; they live as long as the pipeline.
    GstElement* pipeline = nullptr;
    GstElement* videoSink = nullptr;
    GstElement* audioSink = nullptr;
    VideoOutput* video = nullptr;
    QObject* receiver = nullptr;   // the graph, for work on the main thread

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
    std::string containerType;
    GstTagList* tags = nullptr;

    SeekPacer* seeks = nullptr;   // identity; told of ASYNC_DONE until closed

    ~BusShared()
    {
        if (tags) gst_tag_list_unref(tags);
    }
};

class GraphPrivate;
// The renderer values whose colour is the display overlay's.
// The colour objects handed out fail from now on (the graph goes).
void DetachColourControls(GraphPrivate& graph);
inline bool UsesDisplayOverlay(int renderer) { return renderer == RendererOverlay || renderer == RendererWindowless7; }

class GraphPrivate : public QObject {
public:
    // what the caller asked for before building
    bool rendererAdded = false;
    int renderer = 0;
    QPointer<QWidget> panel;
    bool flipAllowed = false;
    bool captureBranch = false;
    bool deinterlace = false;
    QString audioSinkName;
    DeviceRef audioDevice;   // the chosen sink's device; none: the factory's default
    QStringList preferred;
    bool windowsMedia = false;
    bool windowsMediaStreaming = false;
    VideoSettings videoSettings;   // kept from item to item
    // Handed out by the graph; told when it goes.
    std::shared_ptr<ColorControl> colorControl;
    std::shared_ptr<PaintedPictureControls> pictureControls;

    // the built graph
    GstElement* pipeline = nullptr;   // ours
    std::unique_ptr<VideoOutput> video;
    std::unique_ptr<AudioOutput> audio;
    BusWatch bus;
    std::shared_ptr<BusShared> shared;
    std::unique_ptr<SeekPacer> seeks;
    std::shared_ptr<EventQueue> events = std::make_shared<EventQueue>();
    bool network = false;
    bool live = false;
    // Paused on a frame step: the position is the shown frame's, which the
    // video sink knows (the pipeline answers with its furthest sink, and the
    // sound runs ahead of a stepped picture). Cleared by seeks and by Run.
    bool stepped = false;
    // Playback is held in pause until the stream has buffered enough.
    bool heldForBuffering = false;

    // control values
    GraphState target = GraphState::Stopped;
    double rate = 1.0;
    gint64 stopNs = -1;
    long volume = 0;
    long balanceValue = 0;

    struct Outcome {
        HRESULT hr = E_FAIL;
        bool fromVideoSink = false;
        bool fromAudioSink = false;
    };

    QString MakeUri(const QString& pathOrUrl, bool* isNetwork) const;
    Outcome Build(const QString& uri, const OutputFallback& fallback);
    void Teardown();
    void ApplyVolume();
    void ApplyBalance();
    void OnBuffering();
    int IntProperty(const char* name) const;
    bool WindowGone() const { return video && video->WindowGone(); }
    bool Seekable() const;
    bool StillPicture() const;
    gint64 EstimatedDuration() const;
    // The current video stream's format as decoded.
    bool CurrentVideoFormat(VideoFormat* format) const;

    // A flushing seek through the pacer, at the current rate.
    HRESULT RequestSeek(const SeekPacer::Seek& seek);
};

}  // namespace media
