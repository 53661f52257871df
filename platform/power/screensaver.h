// Holds off the screen saver and the monitor's power saving while the player
// plays, through the desktop's org.freedesktop.ScreenSaver inhibit call.
#pragma once

#include <QString>

namespace power {

class ScreenSaverHold {
public:
    ScreenSaverHold();
    ~ScreenSaverHold();   // releases a held inhibit
    // Holds (true) or releases (false); repeated calls with the same state do nothing.
    void Set(bool hold);
    bool IsHeld() const { return cookie_ != 0; }

private:
    unsigned cookie_ = 0;
};

}  // namespace power
