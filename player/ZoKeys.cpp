// Keys and mouse gestures of the main window: the shortcut items of its
// menus (built-in or the user's from `ShortcutKey`), the keys the window
// handles itself, the six gesture bindings with their DVD set, and the
// numbered commands they run.
#include "player/ZoMain.h"

#include "platform/keys/keys.h"
#include "common/Reghelp.h"
#include "player/units/Shortcuts.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QSlider>
#include <QToolButton>
#include <QWheelEvent>

#include <vector>

namespace {

constexpr int kWheelNotch = 120;
// The wheel works the volume bar in the window's bottom band of this height.
constexpr int kVolumeBandHeight = 60;

}  // namespace

// ---- shortcut items ----

void TZoMain::LoadShortcutKeys()
{
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kShortcutKeyKey, KEY_READ);
    if (!key) return;
    LoadShortcutValues(this, key.get());
    // In a DVD menu the arrow items answer the plain arrows and keep their
    // own keys in their Tags until the menu is left: the loaded keys wait there.
    if (settings_.UseArrowKeyInMenu && dvd_.InMenu) {
        QAction* const arrows[] = {ui_->miDVDMenuR, ui_->miDVDMenuL, ui_->miDVDMenuU, ui_->miDVDMenuD};
        const WORD plain[] = {keys::VK_RIGHT, keys::VK_LEFT, keys::VK_UP, keys::VK_DOWN};
        for (int i = 0; i < 4; ++i) {
            SetTag(arrows[i], ItemShortCut(arrows[i]));
            SetItemShortCut(arrows[i], plain[i]);
        }
    }
    if (dvd_.Mode) AddHiddenShortcutItems();
}

void TZoMain::AddHiddenShortcutItems() { ::AddHiddenShortcutItems(ui_->mikey, ui_->miDVDShortCut); }

bool TZoMain::IsShortCut(WORD code)
{
    // The focused control's own pop-up menu and those of the controls
    // around it come before the window's.
    std::vector<QMenu*> menus;
    QWidget* focus = QApplication::focusWidget();
    for (QWidget* w = focus; w && w != this; w = w->parentWidget()) {
        if (w->window() != this) break;
        if (w == ui_->TrackBarForSeek) menus.push_back(ui_->TrackBarPopupMenu);
    }
    // The seek bar is the one control of the window that would hold the
    // focus (ours takes none, so that clicks leave it where it was): while
    // no other control has it, the bar's keys (the A-B marks) are the window's.
    if (!focus || focus == this) menus.push_back(ui_->TrackBarPopupMenu);
    menus.push_back(dvd_.Mode ? ui_->DVDPopupMenu : ui_->MainPopupMenu);
    return DispatchShortCut(menus, code);
}

// ---- keys the window handles itself ----

bool TZoMain::FormKeyDown(WORD code)
{
    switch (code & 0xFF) {
    case keys::VK_RETURN:
        // A DVD's highlighted menu button first; where there is none to
        // activate, Enter plays.
        if (dvd::Navigator* n = DvdControl(); n && dvd_.Mode && dvd_.Playing && SUCCEEDED(n->ActivateButton()))
            return true;
        if (playState_ != psPlaying) BtnStartClick();
        return true;
    case keys::VK_ESCAPE:
        if (fullScreen_) NFullScreenClick();
        return true;
    case keys::VK_PAUSE:
    case keys::VK_MEDIA_PLAY_PAUSE:
        if (!KeyLatch) {
            TogglePlayPause();
            KeyLatch = 1;
        }
        return true;
    case keys::VK_MEDIA_STOP:
        BtnStopClick();
        return true;
    case keys::VK_MEDIA_NEXT_TRACK:
        miPlayNextClick();
        return true;
    case keys::VK_MEDIA_PREV_TRACK:
        miPlayPreviousClick();
        return true;
    case keys::VK_VOLUME_MUTE:
        miVolumeMuteClick();
        return true;
    case keys::VK_VOLUME_DOWN:
        miVolumeDnClick();
        return true;
    case keys::VK_VOLUME_UP:
        miVolumeUpClick();
        return true;
    default:
        return false;
    }
}

void TZoMain::FormKeyUp(WORD code)
{
    StopHeldCommands();
    if ((code & 0xFF) == keys::VK_ESCAPE && fullScreen_) MouseTimer->start();
}

void TZoMain::FormKeyPress()
{
    // Typed characters are the window's: no control of it takes them.
}

// ---- numbered commands and gestures ----

void TZoMain::DoMouseAction(int number)
{
    if (RunCommand(*this, number)) KeyLatch = 0;
}

void TZoMain::LoadMouseActions()
{
    TMouseActions dvd = mouseActions_;
    if (!ReadDvdMouseActions(&dvd)) return;
    // A second DVD start keeps the file-mode set saved by the first.
    if (!savedMouseActions_) savedMouseActions_ = mouseActions_;
    mouseActions_ = dvd;
}

void TZoMain::RestoreMouseActions()
{
    // Only a saved set is put back: a DVD that failed before it took its
    // own bindings leaves the file-mode set as it is.
    if (!savedMouseActions_) return;
    mouseActions_ = *savedMouseActions_;
    savedMouseActions_.reset();
}

void TZoMain::SetMouseActionSets(const TMouseActions& file, const TMouseActions& dvd)
{
    if (dvd_.Mode) {
        mouseActions_ = dvd;
        // Leaving the DVD brings the new file set, not the one from before.
        savedMouseActions_ = file;
    } else {
        mouseActions_ = file;
    }
}

// While a DVD menu is shown the arrow items hold plain arrows and keep their
// own keys in their Tags: a change of the choice now would leave them so.
bool TZoMain::ArrowKeyLocked() const { return dvd_.Mode && dvd_.InMenu; }

void TZoMain::SetColorPresetShortcuts(const std::array<DWORD, 5>& codes)
{
    for (QMenu* presets : {ui_->colorset1, ui_->DVDColorSet}) {
        const QList<QAction*> items = presets->actions();
        for (int i = 0; i < int(codes.size()) && i < items.size(); ++i) SetItemShortCut(items[i], codes[i]);
    }
}

void TZoMain::FormDblClick() { DoMouseAction(mouseActions_.MouseDouble); }

void TZoMain::FormMouseWheelUp(int screenY)
{
    QSlider* bar = ui_->TrackBarVolume;
    const QRect frame = frameGeometry();
    if (bar->isVisible() && screenY > frame.top() + frame.height() - kVolumeBandHeight) {
        if (bar->value() < bar->maximum()) bar->setValue(std::min(bar->maximum(), bar->value() + 2));
        return;
    }
    DoMouseAction(mouseActions_.WheelUp);
}

void TZoMain::FormMouseWheelDown(int screenY)
{
    QSlider* bar = ui_->TrackBarVolume;
    const QRect frame = frameGeometry();
    if (bar->isVisible() && screenY > frame.top() + frame.height() - kVolumeBandHeight) {
        if (bar->value() > 0) bar->setValue(std::max(0, bar->value() - 2));
        return;
    }
    DoMouseAction(mouseActions_.WheelDown);
}

void TZoMain::OnMouseWheel(int delta, int screenY)
{
    // Fine wheels and touch pads send parts of a notch: they add up, and a
    // turn the other way starts afresh.
    if ((wheelDelta_ > 0 && delta < 0) || (wheelDelta_ < 0 && delta > 0)) wheelDelta_ = 0;
    wheelDelta_ += delta;
    while (wheelDelta_ >= kWheelNotch) {
        wheelDelta_ -= kWheelNotch;
        FormMouseWheelUp(screenY);
    }
    while (wheelDelta_ <= -kWheelNotch) {
        wheelDelta_ += kWheelNotch;
        FormMouseWheelDown(screenY);
    }
}

bool TZoMain::MouseGesture(TMessage& message)
{
    switch (message.Msg) {
    case WM_LBUTTONDBLCLK:
        FormDblClick();
        break;
    case WM_MBUTTONDOWN:
        DoMouseAction(mouseActions_.MouseMiddle);
        break;
    case WM_XBUTTONDOWN:
        switch ((message.WParam >> 16) & 0xFFFF) {
        case XBUTTON1: DoMouseAction(mouseActions_.MouseX1); break;
        case XBUTTON2: DoMouseAction(mouseActions_.MouseX2); break;
        default: break;
        }
        break;
    case WM_XBUTTONUP:
        StopHeldCommands();
        break;
    case WM_MOUSEWHEEL:
        OnMouseWheel(static_cast<std::int16_t>((message.WParam >> 16) & 0xFFFF), PointParamY(message.LParam));
        break;
    default:
        return false;
    }
    SetEventHandled(true);
    return true;
}

bool TZoMain::ViewPanelGesture(QEvent* e)
{
    // The panel's presses, double clicks and wheel are the window's gestures
    // (the same messages as on the window itself).
    switch (e->type()) {
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease: {
        auto* me = static_cast<QMouseEvent*>(e);
        const QPoint p = ui_->ViewPanel->mapTo(this, me->position().toPoint());
        UINT msg = 0;
        WPARAM button = 0;
        const bool release = e->type() == QEvent::MouseButtonRelease;
        switch (me->button()) {
        case Qt::LeftButton:
            if (e->type() == QEvent::MouseButtonDblClick) msg = WM_LBUTTONDBLCLK;
            break;
        case Qt::MiddleButton:
            if (!release) msg = WM_MBUTTONDOWN;
            break;
        case Qt::BackButton:
            msg = release ? WM_XBUTTONUP : WM_XBUTTONDOWN;
            button = WPARAM(XBUTTON1) << 16;
            break;
        case Qt::ForwardButton:
            msg = release ? WM_XBUTTONUP : WM_XBUTTONDOWN;
            button = WPARAM(XBUTTON2) << 16;
            break;
        default:
            break;
        }
        if (!msg) return false;
        return Deliver(msg, button, MakePointParam(p.x(), p.y()));
    }
    case QEvent::Wheel: {
        auto* we = static_cast<QWheelEvent*>(e);
        const int delta = we->angleDelta().y();
        if (delta == 0) return false;
        const QPoint p = we->globalPosition().toPoint();
        return Deliver(WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<WORD>(static_cast<std::int16_t>(delta))) << 16,
                       MakePointParam(p.x(), p.y()));
    }
    default:
        return false;
    }
}

void TZoMain::AppendOnOffText(QAction* item, bool withState)
{
    if (!item) return;
    ShowStatusText(MenuStatusText(ItemCaption(item), withState, item->isChecked()));
}
