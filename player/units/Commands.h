// The numbered command table of the main window: each command's number,
// its value name under `ShortcutKey` (also the key of a key profile), the
// caption of its row in the key and mouse dialog, the dialog's marks, and
// the operation of the window that runs it. The numbers are stored (the six
// mouse bindings under `Main`), so they never change. Mouse gestures, the
// key dialog and the key items all look commands up here.
#pragma once

#include <span>

// The window operations the commands run, by their handler names.
#define ZO_COMMAND_OPERATIONS(X)                                                                               \
    X(BtnOpenClick) X(BtnStartClick) X(miStopClick) X(miForwardClick) X(miRewindClick) X(miPlayNextClick)      \
    X(miPlayPreviousClick) X(FrameStepForward) X(FrameStepBackward) X(SkipCommand) X(SkipBackCommand)          \
    X(SkipSmallCommand) X(SkipBackSmallCommand) X(TBtnShowComboClick) X(SelectedSizeCommand)                   \
    X(Size640Command) X(Size320Command) X(SourceSizeCommand) X(KeepSizeCommand) X(FitWindowCommand)            \
    X(NSelectCurrentSizeClick) X(SourceAspectCommand) X(Aspect43Command) X(Aspect169Command)                   \
    X(UnlockAspectCommand) X(SizeRatioAspectCommand) X(NContinuousPlayClick) X(LoopCommand) X(MShuffleClick)   \
    X(PMForegroundClick) X(NPropertyClick) X(miVolumeUpClick) X(miVolumeDnClick) X(miVolumeMuteClick)          \
    X(miShowCapDlgClick) X(miShowEditListClick) X(miShowBrowserClick) X(miChangeWindowClick)                   \
    X(TBtnShowLibraryClick) X(TBtnShowFolder1Click) X(MIColorClick) X(SelTrackSClick) X(SelTrackEClick)        \
    X(SelTrackCClick) X(NFullScreenClick) X(miDVDForwardClick) X(miDVDRewindClick) X(miMakeBkmrkClick)         \
    X(miShowBkmrkDlgClick) X(NRootMenuClick) X(NTitleMenuClick) X(NDisplaySPClick) X(miDVDMenuUClick)          \
    X(miDVDMenuDClick) X(miDVDMenuLClick) X(miDVDMenuRClick) X(miPreviousBmkClick) X(miNextBmkClick)

// The conditions some commands are run under.
#define ZO_COMMAND_GUARDS(X) X(MouseSkipAllowed) X(LibraryButtonShown) X(FolderButtonShown)

// What runs the commands: the main window, or a recording stand-in.
class TCommandTarget {
public:
    virtual ~TCommandTarget() = default;
#define ZO_DECLARE_OPERATION(name) virtual void name() = 0;
#define ZO_DECLARE_GUARD(name) virtual bool name() const = 0;
    ZO_COMMAND_OPERATIONS(ZO_DECLARE_OPERATION)
    ZO_COMMAND_GUARDS(ZO_DECLARE_GUARD)
#undef ZO_DECLARE_OPERATION
#undef ZO_DECLARE_GUARD
};

struct TCommand {
    int Number;
    const char* ValueName;          // under `ShortcutKey`
    const char* Caption;            // the dialog's row
    bool NoKey;                     // the dialog assigns it no key
    bool NoMouse;                   // the dialog assigns it no gesture
    void (TCommandTarget::*Run)();  // null: the command does nothing (a key of its own elsewhere)
    bool (TCommandTarget::*Allowed)() const = nullptr;
    // A refused command leaves `KeyLatch` as it is (the mouse skips); other
    // refusals end like a finished command.
    bool KeepLatchWhenRefused = false;
};

// Every command, by rising number (0 to 66; 64 and 65 have none).
std::span<const TCommand> Commands();
// The command of a number; null for a negative number, 64, 65 and above 66.
const TCommand* FindCommand(int number);
// The rows of the key and mouse dialog in its order (66 between 21 and 22).
std::span<const int> DialogCommandOrder();

// Runs command `number` on `target`. Returns whether the command ended so
// that the window clears `KeyLatch`: false for a negative number and for a
// refused mouse skip, true otherwise (numbers without a command included).
bool RunCommand(TCommandTarget& target, int number);

// The six gesture bindings, each a command number (-1 none), in their order.
struct TMouseActions {
    int MouseDouble = 1;
    int MouseMiddle = -1;
    int MouseX1 = -1;
    int MouseX2 = -1;
    int WheelUp = 12;
    int WheelDown = 11;
    bool operator==(const TMouseActions&) const = default;
};

// The DVD set from `Main` (`DVDMouseDouble` ... with their defaults). False
// when `Main` does not open; *actions is then untouched.
bool ReadDvdMouseActions(TMouseActions* actions);
