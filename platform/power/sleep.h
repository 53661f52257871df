// The system's query before it suspends. systemd-logind announces a coming
// sleep with its PrepareForSleep(true) signal; a delay inhibitor, taken when
// the watch starts and again after each wake, holds the sleep back until the
// query has run (logind waits no longer than its InhibitDelayMaxSec). Without
// a system bus or logind nothing is watched and nothing fails.
#pragma once

#include <QDBusUnixFileDescriptor>
#include <QObject>

#include <functional>

class QDBusPendingCallWatcher;

namespace power {

class SuspendQuery : public QObject {
    Q_OBJECT
public:
    // `query` runs on the thread that makes the object (the window's), from
    // its event loop, each time the system is about to sleep.
    explicit SuspendQuery(std::function<void()> query, QObject* parent = nullptr);
    ~SuspendQuery() override;   // releases a held delay
    // Connected to logind's signal.
    bool IsWatching() const { return watching_; }
    // The delay inhibitor is held (it is asked for without waiting: the
    // answer comes through the event loop).
    bool HoldsDelay() const { return delay_.isValid(); }

private slots:
    void OnPrepareForSleep(bool start);

private:
    void TakeDelay();
    void OnDelayAnswer(QDBusPendingCallWatcher* call);

    std::function<void()> query_;
    QDBusUnixFileDescriptor delay_;
    QDBusPendingCallWatcher* pending_ = nullptr;
    bool watching_ = false;
};

}  // namespace power
