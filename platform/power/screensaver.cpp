#include "platform/power/screensaver.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QStringList>

namespace power {

namespace {

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
// Desktops register the service at one or both of these paths.
const QStringList kPaths = {QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("/ScreenSaver")};
// The player waits no longer than this for the desktop; a hung service must
// not stall playback.
constexpr int kCallTimeoutMs = 400;

bool WrongPath(const QDBusMessage& reply)
{
    const QString name = reply.errorName();
    return name == QDBusError::errorString(QDBusError::UnknownObject) ||
           name == QDBusError::errorString(QDBusError::UnknownMethod) ||
           name == QDBusError::errorString(QDBusError::UnknownInterface);
}

}  // namespace

ScreenSaverHold::ScreenSaverHold() = default;

ScreenSaverHold::~ScreenSaverHold()
{
    // Without an application object the process is ending; the desktop drops
    // the inhibit of a closed connection by itself.
    if (QCoreApplication::instance()) Set(false);
}

void ScreenSaverHold::Set(bool hold)
{
    if (hold == held_) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!hold) {
        if (bus.isConnected()) {
            QDBusMessage call = QDBusMessage::createMethodCall(kService, path_, kService, QStringLiteral("UnInhibit"));
            call << cookie_;
            bus.call(call, QDBus::Block, kCallTimeoutMs);
        }
        held_ = false;
        cookie_ = 0;
        path_.clear();
        return;
    }
    if (!bus.isConnected()) return;
    for (const QString& path : kPaths) {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, path, kService, QStringLiteral("Inhibit"));
        call << QStringLiteral("Zoravel") << QStringLiteral("再生中");
        const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
        if (reply.type() == QDBusMessage::ReplyMessage) {
            bool ok = false;
            const unsigned cookie = reply.arguments().isEmpty() ? 0 : reply.arguments().first().toUInt(&ok);
            if (!ok) return;
            cookie_ = cookie;
            held_ = true;
            path_ = path;
            return;
        }
        // No service, no answer in time or a refusal: no point in the other path.
        if (!WrongPath(reply)) return;
    }
}

}  // namespace power
