#include "platform/media/seeking.h"

#include <QTimer>

#include <algorithm>

namespace media {

namespace {

constexpr gint64 kSpacingUs = 250'000;
// A seek whose completion never came (the pipeline changed state under it)
// stops holding the next one back after this long.
constexpr gint64 kGiveUpUs = 5'000'000;

}  // namespace

SeekPacer::SeekPacer(std::function<bool(const Seek&)> send) : send_(std::move(send)) {}

bool SeekPacer::Send(const Seek& seek)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return false;
        inFlight_ = true;
        sentUs_ = g_get_monotonic_time();
        ++sent_;
    }
    if (send_(seek)) return true;
    std::lock_guard<std::mutex> lock(mutex_);
    inFlight_ = false;
    return false;
}

void SeekPacer::GiveUpStaleLocked(gint64 now)
{
    if (inFlight_ && now - sentUs_ > kGiveUpUs) inFlight_ = false;
    if (operationInFlight_ && now - operationUs_ > kGiveUpUs) operationInFlight_ = false;
}

void SeekPacer::OperationStarting()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || inFlight_) return;   // the seek's own ASYNC_DONE covers the operation
    operationInFlight_ = true;
    operationUs_ = g_get_monotonic_time();
}

void SeekPacer::OperationMade(bool async)
{
    if (async) return;
    bool send = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!operationInFlight_) return;
        operationInFlight_ = false;
        send = waiting_ && !inFlight_;
    }
    if (send) SendWaiting();
}

HRESULT SeekPacer::Request(const Seek& seek)
{
    gint64 waitUs = 0;
    bool wait = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return E_FAIL;
        const gint64 now = g_get_monotonic_time();
        GiveUpStaleLocked(now);
        targetNs_ = seek.startNs;
        const bool busy = inFlight_ || operationInFlight_;
        wait = busy || waiting_ || now - sentUs_ < kSpacingUs;
        if (wait) {
            // The newest target replaces the one waiting.
            waiting_ = true;
            waitingSeek_ = seek;
            if (!busy) waitUs = std::max<gint64>(sentUs_ + kSpacingUs - now, 1000);
        }
    }
    if (wait) {
        // Behind a seek or another operation in flight: Completed sends it, or the
        // timer once the one in flight is given up.
        ArmTimer(waitUs > 0 ? waitUs : kGiveUpUs + 1000);
        return S_OK;
    }
    return Send(seek) ? S_OK : E_FAIL;
}

void SeekPacer::Completed()
{
    std::lock_guard<std::mutex> lock(mutex_);
    // One ASYNC_DONE ends what was in flight: the other operation, when no
    // seek was sent after it started, else the seek.
    if (operationInFlight_ && !inFlight_)
        operationInFlight_ = false;
    else
        inFlight_ = false;
    // Sent from the main thread: a flushing seek from a streaming thread
    // would wait for itself.
    if (waiting_ && !closed_) QMetaObject::invokeMethod(&context_, [this] { SendWaiting(); }, Qt::QueuedConnection);
}

void SeekPacer::SendWaiting()
{
    Seek seek;
    gint64 waitUs = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const gint64 now = g_get_monotonic_time();
        GiveUpStaleLocked(now);
        if (closed_ || !waiting_ || inFlight_ || operationInFlight_) return;   // Completed sends it
        waitUs = sentUs_ + kSpacingUs - now;
        if (waitUs <= 0) {
            seek = waitingSeek_;
            waiting_ = false;
        }
    }
    if (waitUs > 0)
        ArmTimer(waitUs);
    else
        Send(seek);
}

void SeekPacer::ArmTimer(gint64 waitUs)
{
    // The earliest wake-up wins; a later one still armed only finds nothing to do.
    const gint64 due = g_get_monotonic_time() + waitUs;
    if (timerArmed_ && timerDueUs_ <= due) return;
    timerArmed_ = true;
    timerDueUs_ = due;
    QTimer::singleShot(static_cast<int>(std::max<gint64>(waitUs / 1000, 1)), &context_, [this, due] {
        if (timerDueUs_ == due) timerArmed_ = false;
        SendWaiting();
    });
}

bool SeekPacer::Busy() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return inFlight_ || waiting_ || operationInFlight_;
}

bool SeekPacer::PendingTarget(gint64* startNs) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!inFlight_ && !waiting_) return false;
    *startNs = targetNs_;
    return true;
}

void SeekPacer::Forget()
{
    std::lock_guard<std::mutex> lock(mutex_);
    inFlight_ = waiting_ = operationInFlight_ = false;
}

void SeekPacer::Close()
{
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    inFlight_ = waiting_ = operationInFlight_ = false;
}

quint64 SeekPacer::Sent() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return sent_;
}

}  // namespace media
