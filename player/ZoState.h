// The main window's messages, timers and the state records it keeps: the
// DVD's and the audio CD's, held buttons and how a set of paths is taken in.
// Only the main window's own files include it; TZoMainState holds the
// window's data members, which its methods use as their own.
#pragma once

#include "platform/forms/forms.h"
#include "platform/wintypes.h"
#include "player/units/Audiomixer.h"
#include "player/units/Cdhost.h"
#include "player/units/Dvdgraph.h"
#include "player/units/OpenedItem.h"
#include "player/units/PlaylistModel.h"
#include "player/units/Playstate.h"
#include "player/units/Settings.h"
#include "player/units/Transport.h"
#include "player/units/Vmr9mixer.h"

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Ui {
class TZoMain;
}
namespace instance {
class NamedMutex;
class WindowClassServer;
}
namespace media {
class FilterGraph;
class ColorControl;
}
namespace power {
class ScreenSaverHold;
class SuspendQuery;
}

// Messages of the main window.
constexpr UINT WM_GRAPHNOTIFY = WM_USER + 53;
constexpr UINT WM_DVDNOTIFY = WM_USER + 54;
constexpr UINT WM_DVDTIMEUPDATE = WM_USER + 56;
// Posted to itself after the window's first paint: takes in the command
// line's paths and opens the first one.
constexpr UINT WM_STARTUPINTAKE = WM_USER + 57;

// The name of the single-instance mutex and the window class a second start looks for.
extern const char* const kAppMutexName;
extern const char* const kMainWindowClass;

// Window timers of the main window by id (SetTimer, KillTimer, WM_TIMER).
enum : UINT {
    kHidePanelsTimer = 1,       // 1000 ms: hides the volume area once the cursor has left it
    kDvdSeekTimer = 2,          // 100 ms: the DVD's deferred seek after the seek bar moved
    kFrameStepTimer = 3,        // 170 ms: repeats frame steps while the button is held
    kStillPictureTimer = 5,     // ShowPictureLength s: a still picture's time is up
    kHeldRepeatTimer = 11,      // SeekInterval ms: repeats fast forward, rewind or skip while held
    kStatusTextTimer = 13,      // 2000 ms: hides the status text
    kRealMediaEndTimer = 14,    // 10 ms, once: a RealMedia clip ended
    kColorControlsTimer = 15,   // ColorCtlWait ms: applies the overlay colour values
    kCdNotifyTimer = 16,        // CD player: ends the suppression of the drive's notices
};

// Graph positions and durations are in 100 ns units.
inline constexpr REFERENCE_TIME kUnitsPerSecond = transport::kUnitsPerSecond;
// The seek bar counts tenths of a second: a position divided by this is its bar value.
inline constexpr REFERENCE_TIME kUnitsPerSeekStep = transport::kUnitsPerTenth;
// With the MPEG decoders a seek-bar seek stays 1.5 s before the end: a seek
// into the last frames leaves them without a picture to show.
inline constexpr REFERENCE_TIME kMpegSeekEndMargin = transport::kMpegBarSeekMargin;
// The interval of window timer 11 for the skip button and of timer 3.
inline constexpr UINT kSkipRepeatMs = 250;
inline constexpr UINT kFrameStepRepeatMs = 170;

// Flush, send events and block: the navigator's flags for the user's DVD commands.
inline constexpr DWORD kCommandFlags = dvd::DVD_CMD_FLAG_Flush | dvd::DVD_CMD_FLAG_SendEvents | dvd::DVD_CMD_FLAG_Block;

// DVD state of the window. Requested survives CloseMedia; the rest starts
// cleared for each disc.
struct TDvdState {
    bool Requested = false;          // "/DVD" seen: the disc starts when the window shows, or with the drive record
    bool Mode = false;               // the transport drives a DVD, not a file
    bool Playing = false;            // the graph was started
    bool InMenu = false;             // the navigator is in a menu domain
    bool TitlePlayed = false;        // a title domain was entered since the disc started
    bool StillOn = false;            // a still with buttons is shown
    bool CommandPending = false;     // between the navigator's command start and end
    bool TimePlayProhibited = false; // the disc forbids playing a title or a time now
    dvd::HmsfTime CurrentTimecode;   // of the last time event
    bool SeekPending = false;        // a seek to PendingTimecode waits for window timer 2
    dvd::HmsfTime PendingTimecode;
    double PlaybackRate = 1.0;       // the navigator's last reported rate
    bool ResumePending = false;      // the resume point was accepted but not yet applied
    bool WarningShown = false;       // one warning box per disc
    bool EndActionStarted = false;   // the after-playback action ran near the title's end
    bool Aspect43 = true;            // the current picture is 4:3
    QString DiscName;                // the disc's name, blanks as "_" (the disc folder's first part)
    QString DiscDrive;               // the device node or mount point of the opened medium
    bool ButtonClickWaiting = false; // the left press selected a disc-menu button: its release activates it
};

// Audio-CD state of the window. Requested survives the disc; Open and Drive
// belong to the open disc.
struct TCdState {
    bool Requested = false;   // "/CD" seen from a second start: its drive record follows
    bool Open = false;        // an audio CD is open (its player object exists)
    // The whole name of the drive whose disc is open (device node, mount
    // point or cue sheet), never cut or case-changed; empty when none.
    QString Drive;
};

// Transport buttons held down with the mouse. While one of the repeat
// buttons is held, window timer 11 repeats its step; while the frame-step
// button is held, timer 3 repeats the frame step.
struct THeldButtons {
    bool FastForward = false;
    bool Rewind = false;
    bool SkipForward = false;
    bool SkipBackward = false;
    bool StepFrame = false;
    // A relative seek under a held button paused a playing file; the end of
    // the hold runs it again.
    bool SeekPaused = false;
    bool Repeating() const { return FastForward || Rewind || SkipForward || SkipBackward; }
    bool Any() const { return Repeating() || StepFrame; }
};

// How TZoMain::TakePaths brings a set of paths into the play list.
struct TPathIntake {
    enum class Reader {
        Argument,      // shortcuts followed, folders scanned with their sub-folders (AddArgument)
        FileOrList,    // each path a media file or a list file (AddPathOrPlayList)
        FolderOrList,  // an existing folder is scanned, anything else is a file or a list
    };
    // Which path's folder becomes the open dialog's folder (when it is an existing file).
    enum class Remember { Nothing, FirstPath, LastPathWhenListed };
    Reader reader = Reader::Argument;
    bool showSearchWindow = false;     // AddArgument's flag
    int skipIndex = -1;                // a switch among the paths ("/fb"), not a path
    bool siblings = false;             // one path that is a file brings the media files of its folder
    Remember remember = Remember::Nothing;
    bool append = false;               // joins the playing list; nothing new opens
    bool fromFirstEntry = false;       // the list index goes to 0 before the list plays
    bool keepFirst = true;             // PlayListItem's keepFirst
    bool lockOpenControls = false;     // the open controls are disabled while the paths are taken
};

// The main window's data members: TZoMain takes them as a private base, so
// its methods use them by name. Destroyed after the window's own members,
// in the reverse of this order.
struct TZoMainState {
    std::unique_ptr<Ui::TZoMain> ui_;
    TMainSettings settings_;
    // The Main values as read (or last written): the exit writes only what
    // changed since, so other windows' changes stay.
    TMainSettingsRead settingsAsRead_;
    bool settingsKeyOpened_ = false;
    QStringList arguments_;
    // The command line's intake and first open, waiting for the first paint
    // so that the window shows at once whatever the arguments hold; a CD's
    // holds no paths to read and is taken as the window shows.
    std::function<void()> startupIntake_;
    bool startupIntakeAtShow_ = false;
    bool firstPaintSeen_ = false;
    QString extensionCache_;

    // Single instance.
    std::unique_ptr<instance::NamedMutex> appMutex_;
    std::unique_ptr<instance::WindowClassServer> classServer_;
    WPARAM copyDataSender_ = 0;
    std::unique_ptr<QStringList> pendingArguments_;

    // Guards of the window (the opened item's own are in item_).
    bool addingItems_ = false;        // paths are being taken: drops and second starts are refused
    bool appendToList_ = false;       // the paths being taken join the playing list
    THeldButtons heldButtons_;        // a held button is the window's held mouse button
    bool endDeferred_ = false;        // the end of media waits for the held button's release
    bool dialogOpen_ = false;
    bool keepInBackground_ = false;
    bool repaintAtNextPress_ = false;
    bool inCannotPlay_ = false;
    bool cannotPlayAgain_ = false;
    bool destroyed_ = false;
    bool placedWithFrame_ = false;
    // Re-entry: the depth of the running scans and what waits for them.
    int scanDepth_ = 0;
    std::vector<TMessage> held_;

    TOpenedItem item_;
    TDvdState dvd_;
    TCdState cd_;
    TMouseActions mouseActions_;
    // The file-mode bindings while a DVD's own are in use.
    std::optional<TMouseActions> savedMouseActions_;
    int wheelDelta_ = 0;              // wheel angle not yet worth a command (120 per notch)
    QString viewerPath_;
    QString openedPath_;              // the first argument path taken while it was empty
    int playState_ = psNothing;
    bool fullScreen_ = false;

    // Seek bar.
    bool ignoreNextSeekChange_ = false;   // set around the program's own moves of the bar
    bool seekBarBusy_ = false;            // a click is being turned into a position

    // Video rectangle inside the view panel.
    int videoRectTop_ = 0, videoRectLeft_ = 0, videoRectHeight_ = 0, videoRectWidth_ = 0;

    // Volume and mixer.
    std::unique_ptr<CAudioMixer> mixer_;
    CdVolumeControl* cdVolume_ = nullptr;
    std::function<std::unique_ptr<CAudioMixer>(CdVolumeControl*)> mixerFactory_;

    // Window size and full screen.
    QRect savedGeometry_;                // the client rectangle before full screen
    int mouseTicks_ = 0;                 // MouseTimer's ticks towards hiding the pointer
    QPoint lastPointer_;                 // where the pointer was last seen in full screen
    bool cursorHidden_ = false;
    QObject* pointerWatch_ = nullptr;    // ours (child); watches pointer moves in full screen

    TPlayListModel playList_;
    std::unique_ptr<media::FilterGraph> graph_;
    std::unique_ptr<power::ScreenSaverHold> screenSaverHold_;
    std::unique_ptr<power::SuspendQuery> suspendQuery_;   // the system's sleep arrives as PBT_APMQUERYSUSPEND
    int lastShownHours_ = -1, lastShownMinutes_ = -1, lastShownSeconds_ = -1;

    TDriveSpeedLimit driveSpeed_;
    int colorRenderer_ = 0;
    std::shared_ptr<media::ColorControl> surfaceControl_;
    // The overlay renderer's colour stage (null otherwise), released with the renderer.
    std::shared_ptr<media::ColorControl> colorControl_;
    // The windowless-9 renderer's picture controls while it is in the graph.
    std::unique_ptr<CVMR9MIXER> vmr9Mixer_;
    QString realCaptionBase_;   // the caption the clip started with: its title is added to it once
    bool inDvdEvent_ = false;         // OnDvdEvent drains; a nested call leaves the rest to it
    std::unique_ptr<TDvdPipelineBuilder> dvdBuilder_;
    bool dvdBuilt_ = false;
    QString parentalPassword_;
    bool usePasswordToUnlock_ = false;
    bool rendererStretched_ = false;   // the picture fills its rectangle, whatever its shape
    // Form timers.
    QTimer* Timer = nullptr;
    QTimer* DVDTimer = nullptr;
    QTimer* CDTimer = nullptr;
    QTimer* RMTimer = nullptr;
    QTimer* MouseTimer = nullptr;
    // The position timers the open item uses (the file's, the DVD's, the
    // clip's); each runs only while the position can move (UpdatePositionTimers).
    struct TPositionTimers {
        bool File = false;
        bool Dvd = false;
        bool RealMedia = false;
    } positionTimers_;
};
