#include "platform/power/actions.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariant>

namespace power {

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kInterface = QStringLiteral("org.freedesktop.login1.Manager");
// logind answers at once (polkit is not asked interactively); a hung
// service must not keep the countdown window stuck for long.
constexpr int kCallTimeoutMs = 5000;
// The idle time is read once a second while the countdown runs.
constexpr int kIdleTimeoutMs = 400;

QDBusMessage CallLogind(const QString& method, const QVariantList& arguments)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return QDBusMessage();
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    call.setArguments(arguments);
    return bus.call(call, QDBus::Block, kCallTimeoutMs);
}

bool Request(const QString& method)
{
    // false: no interactive authorisation; nobody may be at the screen.
    return CallLogind(method, {false}).type() == QDBusMessage::ReplyMessage;
}

PowerActions*& TestActions()
{
    static PowerActions* actions = nullptr;
    return actions;
}

// The first argument of a reply as a number; -1 for anything else.
qint64 ReplyNumber(const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return -1;
    bool ok = false;
    const qint64 value = reply.arguments().first().toLongLong(&ok);
    return ok ? value : -1;
}

}  // namespace

QString LogindActions::CanHibernate()
{
    const QDBusMessage reply = CallLogind(QStringLiteral("CanHibernate"), {});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return QString();
    return reply.arguments().first().toString();
}

bool LogindActions::Hibernate() { return Request(QStringLiteral("Hibernate")); }
bool LogindActions::Suspend() { return Request(QStringLiteral("Suspend")); }
bool LogindActions::PowerOff() { return Request(QStringLiteral("PowerOff")); }

PowerActions& Actions()
{
    static LogindActions logind;
    return TestActions() ? *TestActions() : logind;
}

void SetActionsForTest(PowerActions* actions) { TestActions() = actions; }

bool HibernateOrSuspend(PowerActions& actions)
{
    const QString offer = actions.CanHibernate();
    if ((offer == QLatin1String("yes") || offer == QLatin1String("challenge")) && actions.Hibernate()) return true;
    return actions.Suspend();
}

bool PointerHiddenBySession()
{
    return qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") ||
           qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

qint64 SessionIdleTime()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return -1;
    QDBusMessage mutter = QDBusMessage::createMethodCall(
        QStringLiteral("org.gnome.Mutter.IdleMonitor"), QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"),
        QStringLiteral("org.gnome.Mutter.IdleMonitor"), QStringLiteral("GetIdletime"));
    // Milliseconds.
    const qint64 idle = ReplyNumber(bus.call(mutter, QDBus::Block, kIdleTimeoutMs));
    if (idle >= 0) return idle;
    QDBusMessage saver = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("GetSessionIdleTime"));
    // Seconds.
    const qint64 seconds = ReplyNumber(bus.call(saver, QDBus::Block, kIdleTimeoutMs));
    return seconds >= 0 ? seconds * 1000 : -1;
}

}  // namespace power
