#include "platform/dvd/probe_stall.h"

namespace dvd {

bool NavigationStallClock::Update(qint64 nowMs, const Sample& sample)
{
    const bool newPicture = sample.frames != frames_;
    frames_ = sample.frames;
    // A pause, a stop or a still waits for the user as long as it likes; the
    // count starts again when the navigation runs on.
    if (!sample.running || sample.still || newPicture) {
        since_ = sample.running && !sample.still ? nowMs : -1;
        return false;
    }
    if (since_ < 0) {
        since_ = nowMs;
        return false;
    }
    return nowMs - since_ >= limit_;
}

}  // namespace dvd
