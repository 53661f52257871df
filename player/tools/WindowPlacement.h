// Where a window stands: its stored position and client size under its
// registry key, and the placing rules every window of the player follows
// (inside the work area of a monitor, centred over its owner or on the
// screen, kept on top). Main thread only, like the widgets it moves.
//
// Positions are those of the window's frame (what the user sees move); a
// size is the client area's: the window less its menu bar.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <vector>

class QWidget;

class TWindowPlacement {
public:
    // The values Left, Top, Width and Height under `key` (HKEY_CURRENT_USER),
    // with `defaults` as (Left, Top, Width, Height) where one is missing.
    TWindowPlacement(const char* key, const QRect& defaults);

    // The stored frame position and client size, each with its default.
    QRect Load() const;
    // Gives the window the stored client size and puts it at the stored
    // point, pulled (and shrunk when larger) inside a work area.
    void Restore(QWidget* window) const;
    // Writes the frame's position and the client size; false when the key
    // could not be written.
    bool Save(const QWidget* window) const;

    // The client area: the window less its menu bar.
    static QSize ClientSize(const QWidget* window);
    static void SetClientSize(QWidget* window, const QSize& client);

    // The monitors' work areas, the primary monitor's first.
    static std::vector<QRect> WorkAreas();
    // The frame moved to `topLeft`, then into the work area of the monitor
    // that holds most of it (the primary monitor's when none does); a frame
    // larger than the area stays at the area's top left. Never resized.
    static void MoveInside(QWidget* window, const QPoint& topLeft);
    // As MoveInside from where the window stands now.
    static void KeepInside(QWidget* window);
    // Centred over `owner`'s frame (halves toward zero), then kept inside;
    // centred on the screen when there is no owner.
    static void CentreOver(QWidget* window, const QWidget* owner);
    // Centred on the work area of the window's monitor (the primary one).
    static void CentreOnScreen(QWidget* window);
    // Stay-on-top on or off; a visible window stays visible and does not
    // take the focus from the window the user is in.
    static void SetStayOnTop(QWidget* window, bool on);

private:
    const char* key_;
    QRect defaults_;
};
