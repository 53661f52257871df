// The power button's pointer moves: the window learns when the pointer
// leaves the button, also while no mouse button is held.
#include "player/ZoMain.h"

#include "ui_ZoMain.h"

#include <QEvent>
#include <QMouseEvent>
#include <QToolButton>

void TZoMain::WatchPowerButton()
{
    // Moves without a held button are reported too, as hovering shows the
    // button pressed and leaving it must lift it again.
    ui_->TBPowerState->setMouseTracking(true);
    ui_->TBPowerState->installEventFilter(this);
}

bool TZoMain::PowerButtonEvent(QObject* watched, QEvent* e)
{
    if (watched != ui_->TBPowerState) return false;
    if (e->type() == QEvent::MouseMove) {
        const QPoint at = static_cast<QMouseEvent*>(e)->position().toPoint();
        TBPowerStateMouseMove(at.x(), at.y());
    } else if (e->type() == QEvent::Leave) {
        // Leaving the button without a held mouse button reports no move
        // outside it: this is the move that leaves.
        TBPowerStateMouseMove(-1, -1);
    }
    // The button keeps its own handling of every event.
    return false;
}
