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
    // Main thread, around another operation of the pipeline that ends in an
    // ASYNC_DONE of its own (a pause, which prerolls again, or a frame step)
    // made while no seek is in flight: that ASYNC_DONE is not a seek's, so a
    // seek requested meanwhile waits for it, else it would end the seek
    // before the pipeline reached its target (GStreamer gives ASYNC_DONE no
    // sequence number to tell them apart). Marked before the operation, whose
    // ASYNC_DONE can come before the call returns; `async` says whether an
    // ASYNC_DONE follows at all.
    void OperationStarting();
    void OperationMade(bool async);
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
    // Any thread: a seek is in flight or waiting, or another operation has
    // not completed yet; positions read meanwhile may be passing values.
    bool Busy() const;

private:
    void SendWaiting();   // main thread
    void GiveUpStaleLocked(gint64 now);
    void ArmTimer(gint64 waitUs);
    bool Send(const Seek& seek);

    std::function<bool(const Seek&)> send_;
    mutable std::mutex mutex_;
    bool inFlight_ = false;
    bool operationInFlight_ = false;
    gint64 operationUs_ = 0;
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
