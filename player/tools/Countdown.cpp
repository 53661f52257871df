#include "player/tools/Countdown.h"

#include <cstdlib>

TCountdown::TCountdown(const QPoint& origin, qint64 idleMs) : origin_(origin), lastIdle_(idleMs) {}

TCountdown::Step TCountdown::Tick(const QPoint& cursor, qint64 idleMs)
{
    if (std::abs(cursor.x() - origin_.x()) >= kCancelDistance || std::abs(cursor.y() - origin_.y()) >= kCancelDistance)
        return Step::Cancelled;
    // The desktop restarts its idle count at any key or move it sees.
    const bool userActive = idleMs >= 0 && lastIdle_ >= 0 && idleMs < lastIdle_;
    if (idleMs >= 0) lastIdle_ = idleMs;
    if (userActive) return Step::Cancelled;
    ++count_;
    return count_ >= kTicks ? Step::Due : Step::Counting;
}
