#include "platform/power/sleep.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace power {

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kInterface = QStringLiteral("org.freedesktop.login1.Manager");

}  // namespace

SuspendQuery::SuspendQuery(std::function<void()> query, QObject* parent) : QObject(parent), query_(std::move(query))
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return;
    watching_ = bus.connect(kService, kPath, kInterface, QStringLiteral("PrepareForSleep"), this,
                            SLOT(OnPrepareForSleep(bool)));
    if (watching_) TakeDelay();
}

SuspendQuery::~SuspendQuery()
{
    // The pending answer's watcher is a child: it goes with this object.
    if (watching_) {
        QDBusConnection::systemBus().disconnect(kService, kPath, kInterface, QStringLiteral("PrepareForSleep"), this,
                                                SLOT(OnPrepareForSleep(bool)));
    }
    // Closing the descriptor releases the delay.
    delay_ = QDBusUnixFileDescriptor();
}

void SuspendQuery::TakeDelay()
{
    if (pending_ || delay_.isValid()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Zoravel") << QStringLiteral("再生位置を保存します")
         << QStringLiteral("delay");
    pending_ = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(call), this);
    connect(pending_, &QDBusPendingCallWatcher::finished, this, &SuspendQuery::OnDelayAnswer);
}

void SuspendQuery::OnDelayAnswer(QDBusPendingCallWatcher* call)
{
    QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
    // No logind, or it refused: the query still runs when the signal comes,
    // only the system does not wait for it.
    if (!reply.isError()) delay_ = reply.value();
    pending_ = nullptr;
    call->deleteLater();
}

void SuspendQuery::OnPrepareForSleep(bool start)
{
    if (!start) {
        // Woken: the next sleep needs a delay of its own.
        TakeDelay();
        return;
    }
    if (query_) query_();
    delay_ = QDBusUnixFileDescriptor();
}

}  // namespace power
