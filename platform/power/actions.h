// The computer's power actions after playback: hibernation, standby and
// power-off, asked of systemd-logind (org.freedesktop.login1) over the
// system bus. logind asks polkit whether the user may; a refusal, an error
// reply or no bus at all is a failed action. And the session's idle time,
// which tells of the user's presence where the pointer cannot be read.
// Main thread; each call waits for logind's answer.
#pragma once

#include <QString>

namespace power {

class PowerActions {
public:
    virtual ~PowerActions() = default;
    // logind's CanHibernate answer ("yes", "no", "challenge", "na", ...);
    // empty when nothing answered.
    virtual QString CanHibernate() = 0;
    // Each is asked without interactive authorisation. True when logind took
    // the request: it is queued, and a later failure is not reported back.
    virtual bool Hibernate() = 0;
    virtual bool Suspend() = 0;
    virtual bool PowerOff() = 0;
};

// logind on the system bus ($DBUS_SYSTEM_BUS_ADDRESS when set).
class LogindActions : public PowerActions {
public:
    QString CanHibernate() override;
    bool Hibernate() override;
    bool Suspend() override;
    bool PowerOff() override;
};

// The actions the program takes: logind's, or what a test set.
PowerActions& Actions();
// Not owned; null gives logind's back.
void SetActionsForTest(PowerActions* actions);

// Hibernation when logind offers it ("yes" or "challenge"), else standby at
// once: a hibernation that logind queued cannot fail back to standby later,
// so the offer is asked first. Standby also follows a refused hibernation.
bool HibernateOrSuspend(PowerActions& actions);

// Whether the pointer over other programs is hidden from us: a Wayland
// session (the player itself may run on XWayland there).
bool PointerHiddenBySession();
// The session's idle time in milliseconds, from the desktop: GNOME's
// org.gnome.Mutter.IdleMonitor, else org.freedesktop.ScreenSaver's
// GetSessionIdleTime; -1 when neither answers.
qint64 SessionIdleTime();

}  // namespace power
