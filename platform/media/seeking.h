// Flushing seeks of one pipeline, paced for a dragged seek bar: one seek is
// in flight until the pipeline has prerolled at its target (ASYNC_DONE), and
// at most one waits behind it, the newest; it goes out once the one in flight
// has completed, and never sooner than 250 ms after the last. A flushing seek
// cuts the preroll of the one before short: sent for every move of the bar,
// none would ever show its picture. Any pipeline with a seek bar uses one.
#pragma once

#include "platform/wintypes.h"

#include <gst/gst.h>

#include <QObject>

#include <functional>
#include <mutex>

namespace media {

class SeekPacer {
public:
    struct Seek {
        GstSeekFlags flags = GST_SEEK_FLAG_FLUSH;
        gint64 startNs = 0;
        GstSeekType stopType = GST_SEEK_TYPE_NONE;
        gint64 stopNs = -1;
    };
    // `send` gives a seek to the pipeline and says whether it took it; it
    // runs on the main thread, without the pacer's lock (the seek's own
    // messages may reach Completed on the same thread).
    explicit SeekPacer(std::function<bool(const Seek&)> send);
    SeekPacer(const SeekPacer&) = delete;
    SeekPacer& operator=(const SeekPacer&) = delete;

    // Main thread. S_OK when sent or waiting; E_FAIL when the pipeline did
    // not take it.
    HRESULT Request(const Seek& seek);
    // Main thread, around a state change of the pipeline (a pause, which
    // prerolls again) made while no seek is in flight: its ASYNC_DONE is not
    // a seek's, so a seek requested meanwhile waits for it, else that
    // ASYNC_DONE would end the seek before the pipeline reached its target.
    // Marked before the change (its ASYNC_DONE can come before the call
    // returns); `async` says whether an ASYNC_DONE will follow at all.
    void StateChangeStarting();
    void StateChangeMade(bool async);
    // Any thread, from the pipeline's bus: the pipeline's ASYNC_DONE.
    void Completed();
    // Any thread: while a seek is in flight or waiting, its target, which is
    // what the position reads.
    bool PendingTarget(gint64* startNs) const;
    // The pipeline will not complete its seeks (it left PAUSED and PLAYING).
    void Forget();
    // Main thread: sends nothing more; call before the pipeline goes.
    void Close();
    // Seeks given to the pipeline (not those replaced while they waited).
    quint64 Sent() const;

private:
    void SendWaiting();   // main thread
    void GiveUpStaleLocked(gint64 now);
    void ArmTimer(gint64 waitUs);
    bool Send(const Seek& seek);

    std::function<bool(const Seek&)> send_;
    mutable std::mutex mutex_;
    bool inFlight_ = false;
    bool stateChangeInFlight_ = false;
    gint64 stateChangeUs_ = 0;
    gint64 sentUs_ = 0;   // g_get_monotonic_time() when the last went out
    bool waiting_ = false;
    Seek waitingSeek_;
    gint64 targetNs_ = 0;
    quint64 sent_ = 0;
    bool closed_ = false;
    bool timerArmed_ = false;   // main thread
    gint64 timerDueUs_ = 0;     // main thread
    QObject context_;   // queued work and timers die with the pacer
};

}  // namespace media
