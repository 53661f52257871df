#include "player/tools/WindowPlacement.h"

#include "common/Reghelp.h"
#include "player/units/Windowgeometry.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QWidget>

namespace {

int MenuBarHeight(const QWidget* window)
{
    const auto* form = qobject_cast<const QMainWindow*>(window);
    const QWidget* bar = form ? form->menuWidget() : nullptr;
    return bar && !bar->isHidden() ? bar->sizeHint().height() : 0;
}

// The frame's size; before the window is first shown the frame is not
// known yet and the window's own size stands for it.
QSize FrameSize(const QWidget* window)
{
    const QSize frame = window->frameGeometry().size();
    return frame.isValid() && !frame.isEmpty() ? frame : window->size();
}

}  // namespace

TWindowPlacement::TWindowPlacement(const char* key, const QRect& defaults) : key_(key), defaults_(defaults) {}

QRect TWindowPlacement::Load() const
{
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, key_, KEY_READ);
    // Stored as signed DWORDs: a window left of the primary monitor has a negative Left.
    auto read = [&key](const char* name, int def) {
        return key ? static_cast<int>(static_cast<LONG>(RegReadDword(key.get(), name, static_cast<DWORD>(def)))) : def;
    };
    return QRect(read("Left", defaults_.left()), read("Top", defaults_.top()), read("Width", defaults_.width()),
                 read("Height", defaults_.height()));
}

void TWindowPlacement::Restore(QWidget* window) const
{
    const QRect stored = Load();
    SetClientSize(window, stored.size());
    const QSize frame = FrameSize(window);
    const QRect inside = geometry::PullInside(QRect(stored.topLeft(), frame), WorkAreas());
    // The frame's share stays outside the client area when the window had to shrink.
    if (inside.size() != frame) SetClientSize(window, ClientSize(window) - (frame - inside.size()));
    window->move(inside.topLeft());
}

bool TWindowPlacement::Save(const QWidget* window) const
{
    const RegKey key = RegKey::Create(HKEY_CURRENT_USER, key_, KEY_WRITE);
    if (!key) return false;
    const QPoint at = window->frameGeometry().topLeft();
    const QSize client = ClientSize(window);
    bool ok = RegWriteDword(key.get(), "Left", static_cast<DWORD>(at.x()));
    ok = RegWriteDword(key.get(), "Top", static_cast<DWORD>(at.y())) && ok;
    ok = RegWriteDword(key.get(), "Width", static_cast<DWORD>(client.width())) && ok;
    return RegWriteDword(key.get(), "Height", static_cast<DWORD>(client.height())) && ok;
}

QSize TWindowPlacement::ClientSize(const QWidget* window)
{
    return window->size() - QSize(0, MenuBarHeight(window));
}

void TWindowPlacement::SetClientSize(QWidget* window, const QSize& client)
{
    window->resize(client.width(), client.height() + MenuBarHeight(window));
}

std::vector<QRect> TWindowPlacement::WorkAreas()
{
    std::vector<QRect> areas;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary) areas.push_back(primary->availableGeometry());
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != primary) areas.push_back(screen->availableGeometry());
    return areas;
}

void TWindowPlacement::MoveInside(QWidget* window, const QPoint& topLeft)
{
    const QRect inside = geometry::PullInside(QRect(topLeft, FrameSize(window)), WorkAreas());
    window->move(inside.topLeft());
}

void TWindowPlacement::KeepInside(QWidget* window) { MoveInside(window, window->frameGeometry().topLeft()); }

void TWindowPlacement::CentreOver(QWidget* window, const QWidget* owner)
{
    if (!owner) {
        CentreOnScreen(window);
        return;
    }
    const QRect over = owner->frameGeometry();
    const QSize frame = FrameSize(window);
    MoveInside(window, QPoint(over.left() + (over.width() - frame.width()) / 2,
                              over.top() + (over.height() - frame.height()) / 2));
}

void TWindowPlacement::CentreOnScreen(QWidget* window)
{
    const QScreen* screen = window->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame(QPoint(), FrameSize(window));
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

void TWindowPlacement::SetStayOnTop(QWidget* window, bool on)
{
    const bool visible = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, on);
    // Changing the flag hides the window; showing it again must not take the
    // focus from the window the user is in.
    const bool quiet = window->testAttribute(Qt::WA_ShowWithoutActivating);
    window->setAttribute(Qt::WA_ShowWithoutActivating, true);
    if (visible) window->show();
    window->setAttribute(Qt::WA_ShowWithoutActivating, quiet);
}
