// The count of the power-off countdown: twenty ticks of a second unless the
// user shows up. The pointer counts from where it stood when the count
// began, so a slow drift adds up; where the pointer over other programs is
// hidden from us (Wayland), the session's idle time going down tells of a
// key or a move instead. No window: the countdown form ticks it.
#pragma once

#include <QPoint>

class TCountdown {
public:
    static constexpr int kTicks = 20;
    // A pointer move of this many pixels in x or in y cancels.
    static constexpr int kCancelDistance = 4;

    enum class Step { Cancelled, Counting, Due };

    // `idleMs` is the session's idle time now, -1 when it is not watched.
    explicit TCountdown(const QPoint& origin, qint64 idleMs = -1);

    // A second passed: the pointer is at `cursor`, the session idle `idleMs`.
    // Due once the count reaches kTicks, and every tick after that.
    Step Tick(const QPoint& cursor, qint64 idleMs = -1);
    int Count() const { return count_; }
    int Remaining() const { return count_ < kTicks ? kTicks - count_ : 0; }

private:
    QPoint origin_;
    qint64 lastIdle_;
    int count_ = 0;
};
