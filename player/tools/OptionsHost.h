// What the options dialog sees of the main window besides the tool windows'
// house: the window's own switches it shows on its sheets, and one call that
// lets the window follow the settings the dialog has just put in place. The
// main window implements it; the sheets' tests drive a fake. Main thread only.
#pragma once

#include <QString>

#include <array>
#include <bitset>

struct TMainSettings;

// The sheets of the options dialog, in tab order.
enum class TOptionSheet { Display, Play, Operation, Viewer, Power, Decoder, Output, Capture, Dvd, Cd, Drive, Count };
using TShownSheets = std::bitset<static_cast<size_t>(TOptionSheet::Count)>;

// The main window's switches that are not stored settings of its own.
struct TWindowOptions {
    bool powerButtonVisible = true;   // the small tool bar's power-state button
    bool viewerButtonsVisible = true; // its library and folder buttons
    bool keepSize = false;            // "前回のサイズを維持" menu check
    bool aspectLock = false;          // the aspect-lock menu check
    bool hints = true;                // the window's hint display
    bool dvdOpen = false;
    bool audioCdOpen = false;
    // The open CD player's flags: auto connect, CD-TEXT, cdplayer.ini search,
    // auto save, half-width; meaningful while an audio CD is open.
    std::array<bool, 5> cdFlags{};
};

class IOptionsHost {
public:
    virtual TMainSettings& MutableSettings() = 0;
    virtual TWindowOptions WindowOptions() const = 0;
    // The shown sheets' values are in MutableSettings() and `chosen`; the
    // window follows them: size, aspect, bookmark menus, the single-window
    // lock, the tool bar, DVD stretching, the CD player. `before` holds the
    // settings as they were when OK was pressed.
    virtual void ApplyOptions(const TMainSettings& before, const TWindowOptions& chosen, TShownSheets shown) = 0;
    // The media file patterns, read once and kept; emptied to be read again.
    virtual QString ReadExtensionList() = 0;
    virtual void ClearExtensionListCache() = 0;
    // The bookmark and resume files were deleted: a playing DVD's bookmark
    // menu and an open bookmark window forget theirs.
    virtual void BookmarksDeleted() = 0;

protected:
    ~IOptionsHost() = default;
};
