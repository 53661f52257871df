// The file graph's own state, shared by graph.cpp (building the playbin
// pipeline, its bus) and graph_control.cpp (the operations on it). The
// outputs, the bus watch and the event queue are the shared output stage
// (output.h, bus.h, events.h).
#pragma once

#include "platform/media/bus.h"
#include "platform/media/events.h"
#include "platform/media/graph.h"
#include "platform/media/output.h"

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

// A flushing seek waiting for the one in flight to complete.
struct QueuedSeek {
    GstSeekFlags flags = GST_SEEK_FLAG_NONE;
    gint64 startNs = 0;
    GstSeekType stopType = GST_SEEK_TYPE_NONE;
    gint64 stopNs = -1;
};

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

    // Seeks (SetPositions): one flushing seek in flight until the
    // pipeline's ASYNC_DONE, and at most one queued behind it, the newest.
    bool seekInFlight = false;
    gint64 seekSentUs = 0;   // g_get_monotonic_time() when the last one was sent
    bool seekQueued = false;
    QueuedSeek queuedSeek;
    gint64 seekTargetNs = 0;   // what the position reads while one is in flight or queued

    ~BusShared()
    {
        if (tags) gst_tag_list_unref(tags);
    }
};

class GraphPrivate : public QObject {
public:
    // what the caller asked for before building
    bool rendererAdded = false;
    int renderer = 0;
    QPointer<QWidget> panel;
    bool flipAllowed = false;
    QString audioSinkName;
    QStringList preferred;
    bool windowsMedia = false;
    bool windowsMediaStreaming = false;
    VideoSettings videoSettings;   // kept from item to item

    // the built graph
    GstElement* pipeline = nullptr;   // ours
    std::unique_ptr<VideoOutput> video;
    std::unique_ptr<AudioOutput> audio;
    BusWatch bus;
    std::shared_ptr<BusShared> shared;
    std::shared_ptr<EventQueue> events = std::make_shared<EventQueue>();
    bool network = false;
    bool live = false;

    // control values
    GraphState target = GraphState::Stopped;
    double rate = 1.0;
    gint64 stopNs = -1;
    long volume = 0;
    long balanceValue = 0;
    quint64 seeksSent = 0;
    bool seekTimerArmed = false;

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
    void OnBuffering(int percent);
    int IntProperty(const char* name) const;
    bool WindowGone() const { return video && video->WindowGone(); }
    bool Seekable() const;
    bool StillPicture() const;
    gint64 EstimatedDuration() const;
    // The current video stream's format as decoded.
    bool CurrentVideoFormat(VideoFormat* format) const;

    // Seeks: a flushing seek is sent at once unless one is in flight or the
    // last went out less than kSeekSpacing ago; then it waits, replacing any
    // other waiting one, until ASYNC_DONE (or the spacing) lets it go.
    HRESULT RequestSeek(const QueuedSeek& seek);
    void SendQueuedSeek();   // main thread
    bool SendSeek(const QueuedSeek& seek);
    void ForgetSeeks();      // the pipeline will not complete them (it left PAUSED/PLAYING)
};

}  // namespace media
