// The power button: the after-playback action it arms, the countdown that
// action opens, and the button's pointer moves (the window learns when the
// pointer leaves the button, also while no mouse button is held).
#include "player/ZoMain.h"

#include "player/tools/TEndingForm.h"
#include "ui_ZoMain.h"

#include <QEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>

namespace {

constexpr DWORD kCloseThePlayer = 1;

// What the action does, as the options name it.
QString PowerActionName(DWORD state)
{
    switch (state) {
    case 0: return QStringLiteral("休止状態");
    case kCloseThePlayer: return QStringLiteral("閉じる");
    default: return QStringLiteral("電源を切る");
    }
}

}  // namespace

void TZoMain::TBPowerStateClick()
{
    // The button is the flag of the mode the window is in: a disc's own
    // (released as each disc starts; the DVD timer acts on it near the
    // title's end) or the files' PowerControl.
    QToolButton* button = ui_->TBPowerState;
    const bool on = !button->isChecked();
    button->setChecked(on);
    UpdatePowerCaption();
    if (settings_.ShowStatus)
        ShowStatusText(PowerActionName(settings_.PowerState) + (on ? QStringLiteral(": ON") : QStringLiteral(": OFF")));
}

void TZoMain::UpdatePowerCaption() { ui_->TBPowerState->setToolTip(PowerActionName(settings_.PowerState)); }

void TZoMain::StartAfterPlaybackAction()
{
    if (settings_.PowerState == kCloseThePlayer) {
        // Not from inside the handler that saw the end: the window's own
        // close runs once that has returned.
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    if (EndingWindow) return;
    auto* countdown = new TEndingForm(*this, this);
    EndingWindow = countdown;
    countdown->show();
}

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
