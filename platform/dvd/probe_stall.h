// The watch over a disc that passed the check and plays: a navigation that
// runs (not paused or stopped) and for the limit shows no new picture and
// no still has hung inside libdvdnav, and the disc is stopped. Pure
// arithmetic over samples; the window samples it once a second.
#pragma once

#include <QtGlobal>

namespace dvd {

class NavigationStallClock {
public:
    struct Sample {
        quint64 frames = 0;    // pictures shown so far
        bool still = false;    // a still picture (a menu's or a title's) is on
        bool running = false;  // the navigation plays: not paused, stopped or closed
    };

    explicit NavigationStallClock(qint64 limitMs = 10000) : limit_(limitMs) {}

    // True when the limit has passed since the last sign of progress with
    // the navigation running all the while.
    bool Update(qint64 nowMs, const Sample& sample);

private:
    qint64 limit_;
    qint64 since_ = -1;   // -1: not counting
    quint64 frames_ = 0;
};

}  // namespace dvd
