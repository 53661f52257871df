// Holds off the screen saver and the monitor's power saving while the player
// plays, through the desktop's org.freedesktop.ScreenSaver inhibit call.
#pragma once

#include <QString>

namespace power {

class ScreenSaverHold {
public:
    ScreenSaverHold();
    ~ScreenSaverHold();   // releases a held inhibit
    // Holds (true) or releases (false); repeated calls with the same state do
    // nothing. Without a session bus or a screen-saver service nothing is held.
    // Each call waits at most a short moment for the desktop's answer.
    void Set(bool hold);
    bool IsHeld() const { return held_; }

private:
    unsigned cookie_ = 0;
    bool held_ = false;   // the desktop may hand out cookie 0
    QString path_;        // object path that granted the cookie
};

}  // namespace power
