// The player's main window: settings, the play list and the playing item,
// the hand-over from a second start, dropped files, the file graph's events
// and the window timers. Its methods are split over several source files by
// concern (ZoMain.cpp: life cycle and messages; ZoEntry.cpp: command line,
// second starts and argument intake; ZoOpen.cpp: opening and closing media;
// ZoGraph.cpp: the file graph; ZoPlayList.cpp: play list steps; ZoTransport.cpp:
// play, stop, seek and position display; ZoWindowSize.cpp: window and video sizing;
// ZoKeys.cpp: keys, shortcut items and mouse gestures; ZoCommands.cpp: the
// numbered commands and the small menu handlers; ZoDvdEvents.cpp: the DVD
// navigator's events and the DVD time display).
#pragma once
#ifdef ZORAVEL_TOOL_WINDOWS
#error "Tool windows reach the main window through IToolHost (player/tools/ToolHost.h), not ZoMain.h"
#endif

#include "platform/forms/forms.h"
#include "platform/media/graph.h"
#include "player/tools/ToolNotice.h"
#include "player/units/Audiomixer.h"
#include "player/units/Commands.h"
#include "player/units/Bookmarkcommands.h"
#include "player/units/Cdhost.h"
#include "player/units/Cdinfo.h"
#include "player/units/Creadlist.h"
#include "player/units/Dvdgraph.h"
#include "player/units/PlaylistModel.h"
#include "player/units/Playstate.h"
#include "player/units/Settings.h"
#include "player/units/Transport.h"
#include "player/units/Vmr9mixer.h"

#include <QPointer>
#include <QStringList>
#include <QStyle>
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
namespace dvd {
class DvdPlayer;
}
namespace realmedia {
class TRealAudio;
}
namespace power {
class ScreenSaverHold;
class SuspendQuery;
}
class CCDPlay;
class QAction;
class QMenu;
class QToolButton;
class QSlider;
class QLabel;
class QScreen;
class QWidget;

// Messages of the main window.
constexpr UINT WM_GRAPHNOTIFY = WM_USER + 53;
constexpr UINT WM_DVDNOTIFY = WM_USER + 54;
constexpr UINT WM_TOOLNOTIFY = WM_USER + 55;
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

// The opened item: what belongs to one media item from its opening to
// CloseMedia, which assigns a fresh one so that nothing reaches the next item.
struct TOpenedItem {
    QString Path;                     // set when it opens; empty: nothing opened since the last close
    // Guards while it opens.
    bool Opening = false;             // OpenFileActivated runs: Stop and the step commands wait
    bool GraphStarting = false;       // graph built, first pause not yet seen: drops and second starts are refused
    bool FirstPauseSeen = false;      // the colour timer is set at the first pause only
    // Its kind: from the first bytes, else the extension (OpenByFileType).
    bool Mpeg = false;
    bool Mp3 = false;
    bool WindowsMedia = false;
    bool RealMedia = false;
    bool StillPicture = false;        // shown for ShowPictureLength seconds, no transport
    bool AudioOnly = false;
    bool UrlStream = false;           // opened from an address: Stop stops instead of rewinding
    // What the graph found.
    bool Rendered = false;            // BuildFileGraph got as far as setting the controls
    bool NoDuration = false;          // no duration or no index: no seek bar, fast forward, rewind or skip
    bool CanStep = false;             // the graph steps frames
    bool MpegDecodersFound = false;   // seeks keep clear of the end (kMpegSeekEndMargin)
    int MpegSplitterKind = 0;         // 1 MPEG-1, 2 MPEG-2 splitter inserted; 0 none
    REFERENCE_TIME Duration = 0;      // 100 ns units; 0 unknown
    long VideoWidth = 0;              // native picture size; 0 without a picture
    long VideoHeight = 0;
    double PlaybackRate = 1.0;
    bool BufferingShown = false;      // the position timer shows "buffering"
    bool SeekBarMoved = false;        // a drag waits for the position timer to seek
    // Where Stop rewound from, in tenths of a second (with ResumePosition on):
    // the resume file keeps it; 0 when it could not be read.
    std::int64_t StoppedAt = 0;
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

class TZoMain : public TForm, public IListSink, public TCommandTarget, public ICdHost {
    Q_OBJECT
public:
    // `arguments` is the command line without the program name.
    explicit TZoMain(const QStringList& arguments);
    ~TZoMain() override;

    void WndProc(TMessage& message) override;
    void Dispatch(TMessage& message) override;

    // ---- single instance, command line, argument intake ----
    void OnCopyData(TMessage& message);
    void OnCopyDataSenderGone(WPARAM sender);
    void HandleCommandLine();
    // Adds `paths` to the play list as `how` says, then plays the list (or
    // shows the no-file notice) unless it appends. Graph events, timers and
    // tool notices that arrive while it runs wait until it returns.
    void TakePaths(const QStringList& paths, const TPathIntake& how);
    void AddArgument(const QString& path, int index, bool showSearchWindow);
    void AddFolder(const QString& folder);
    void AddFolderMediaFiles(const QString& path, bool isFolder);

    // ---- settings ----
    void LoadSettings();
    void SaveSettings();
    QString ReadExtensionList();
    void ClearExtensionListCache() { extensionCache_.clear(); }

    // ---- life cycle and messages ----
    void FormDestroy();
    // Before the window closes: full screen is left, so that the window's
    // stored place is its normal one.
    void FormClose();
    void OnDropFiles(TMessage& message);
    void OnGraphEvent();
    void OnLeftButton(TMessage& message);
    void OnToolNotify(WPARAM wParam, LPARAM lParam);
    void PostToolNotice(ToolNotice notice, LPARAM code);
    void OnWindowTimer(UINT id);

    // ---- opening media ----
    void OpenFileActivated(const QString& path);
    void OpenByFileType(const QString& path, const QByteArray& header);
    void CloseMedia();
    void UpdateControlsForMedia(bool resetWindow);

    // ---- drive-speed limit ----
    // Slows the drive (device node, mount point or disc image) by the
    // `DriveSpeed` setting while media are read from it; audioCd chooses the
    // audio-CD factor over the other-CD one. RestoreDriveSpeed lets a slowed
    // drive run at full speed again when the setting asks for it, and
    // forgets the drive either way.
    void ApplyDriveSpeed(const QString& drive, bool audioCd = false);
    void RestoreDriveSpeed();
    const QString& SpeedLimitedDrive() const { return driveSpeed_.ChangedDrive(); }

private:
    TDriveSpeedLimit driveSpeed_;

public:
    // Sets every transport control (enabled flags, the still picture's
    // hidden volume bar) from the opened item and the list.
    void UpdateTransportControls();
    void HandleEndOfMedia();
    void BtnOpenClick() override;
    void OpenUrl(const QString& address);
    void StartDvd();
    void StartAudioCd();
    void PlayRealMedia(const QString& path);

    // ---- file graph ----
    HRESULT BuildFileGraph(const QString& path);
    void SizeWindowForMedia();
    void FormatTime(int seconds);
    void SkipSeconds(int seconds);
    HRESULT AddPreferredFilter(int kind, const QString& name);
    HRESULT AddAudioRenderer();
    void InsertMpegSplitter(const QString& path);
    bool AddMpegSplitter(int kind, const QString& factory);
    bool OpenWindowsMediaFile(const QString& path);

    // ---- play list ----
    void AddFileToList(const QString& path) override;
    void AddPathOrPlayList(const QString& path) override;
    void PlayListItem(bool sortFirst, bool keepFirst);
    void PlayNextFile();
    void PlayPreviousFile();
    void ShowCannotPlay();
    void ShowNoFileNotice();
    void UpdateCaption(const QString& title);
    void ClearPlayList();
    void MShuffleClick() override;
    void SortPlayList(int key);
    // The window follows the list's model: the caption's count.
    void ConnectPlayList();
    void FollowListInCaption();
    void ShowEntryCaption();

    // ---- transport ----
    void SetPlayState(int state);
    // Playing again after a DVD command: the play image, no status text.
    void ResumePlay();
    void BtnStartClick() override;
    void TogglePlayPause();
    void BtnStopClick();
    void TBtnNextTrackClick();
    void TBtnPreviousTrackClick();
    void TrackBarForSeekChange();
    // A click at `x` (the seek bar's coordinates) beside the handle.
    void TrackBarForSeekEnter(int x);
    void SeekToBar();
    void TimerTimer();
    // Held buttons: a press steps once and starts the repeat, the release
    // (or StopHeldCommands) ends it.
    void TBtnFastforwardMouseDown();
    void TBtnRewindMouseDown();
    void BtnSkipMouseDown(bool forward);
    void BtnStepFrameMouseDown(bool forward);
    void TBtnFastforwardMouseUp() { StopHeldCommands(); }
    void TBtnRewindMouseUp() { StopHeldCommands(); }
    void BtnSkipMouseUp() { StopHeldCommands(); }
    void BtnStepFrameMouseUp();
    // Ends every held repeat: the timers go, a file paused by the repeat
    // plays on, the skip and frame-step buttons show their normal images.
    void StopHeldCommands();
    void RepeatHeldStep();
    void SkipStep(bool forward);
    void BtnSkipClick();
    void FrameStep(bool forward);
    bool AcquireFrameStepper();
    HRESULT SetRate(double rate);
    HRESULT SeekTo(REFERENCE_TIME position, const REFERENCE_TIME* stop = nullptr);
    void ShowStatusText(const QString& text);
    void SetAudioVolume();

    // ---- last play list and resume point (ZoResume.cpp) ----
    // Keeps the list, its index and (with takePosition) the position in
    // "LastList.zol" and "Resume.rsm", as ResumeFile and OpenSpecificFile say.
    void SaveLastList(bool takePosition);
    // Loads them back into the empty list and opens the entry, at the kept
    // position with ResumePosition on.
    void LoadLastList();

    // ---- volume, balance and the sound card's mixer (ZoVolume.cpp) ----
    // The volume bar moved to `position`: the volume (graph or mixer line)
    // in volume mode, the graph's balance in balance mode.
    void TrackBarVolumeChange(int position);
    void BtnSoundClick();
    // The mixer object, made on first use; owned by the window alone (the CD
    // player uses it and never frees it). Null never.
    CAudioMixer* AudioMixer();
    bool HasAudioMixer() const { return mixer_ != nullptr; }
    // With ResetAudioMixer on, the lines the player set go back; then the
    // object goes. Media closing and the window's end call it.
    void ReleaseAudioMixer();
    // A RealMedia clip starts: with VolumeAuto on, its wave line takes the bar.
    void ApplyRealMediaVolume();
    // Makes the mixer object for AudioMixer (tests give a fake device).
    void SetMixerFactory(std::function<std::unique_ptr<CAudioMixer>(CdVolumeControl*)> factory)
    {
        mixerFactory_ = std::move(factory);
    }


    // ---- bookmarks and repeat sections (ZoBookmarks.cpp) ----
    // The open file's block in "Bookmarks.bmk" written from the two menus
    // (removeOnly: only removed), and read back into them.
    void SaveBookmarkList(bool removeOnly);
    void LoadBookmarkList();
    void SetSectionStart(int barPosition);
    void SetSectionEnd();
    void ClearSelection();
    void miSavePointsClick();
    bool SaveSection();
    void RepeatSectionClick(int index);
    bool PlaySection(int index);
    void miChainSectionsClick();
    bool AddBookmarkAtPosition();
    void BookmarkItemClick(int index);
    void JumpToBookmark(bool forward);
    // Shows the bookmark menus for a file that has opened and loads its block.
    void ShowBookmarkMenus();
    // Empties and hides them when the media close.
    void ClearBookmarkMenus(bool hide);
    // The position display's and the end of stream's share of the section.
    void CheckSectionLoop();
    bool SectionComplete();
    // The RealMedia position timer's share, at seek-bar value `barPosition`.
    void CheckRealMediaSectionLoop(int barPosition);
    bool RepeatOn() const;
    const bookmarks::TSectionState& SectionState() const;
    QString BookmarkFilePath() const;

private:
    struct TBookmarkParts;
    struct TBookmarkPartsDeleter {
        void operator()(TBookmarkParts* parts) const;
    };
    TBookmarkParts& BookmarkParts();
    void ConnectBookmarkHandlers();
    void ApplySectionState();
    std::unique_ptr<TBookmarkParts, TBookmarkPartsDeleter> bookmarkParts_;

public:
    // ---- window size, aspect and full screen (ZoWindowSize.cpp, ZoFullScreen.cpp) ----
    void ApplyWindowSize(bool force);
    // The native size of the picture into the opened item and, with
    // GetVideoSize on, the picture aspect into miAspectX and miAspectY.
    void ReadVideoSize();
    // The client area takes the picture's shape by the aspect mode (with
    // miWindowFix, in a normal window) and the video is laid out again.
    void FitWindowToAspect();
    void RememberVideoPanelSize();
    void FormResize();
    void NSelectedSizeClick(QAction* sender);
    void miKeepSizeClick();
    void miWindowFixClick();
    void MIOriginalAspectClick(QAction* sender);
    void NPictureSizeClick();
    void miStretchClick(QAction* item);
    void EnterFullScreen();
    // Back from full screen to the window as it was.
    void LeaveFullScreen();
    void MouseTimerTimer();
    void ShowCursorInFullScreen(bool show);
    bool IsCursorHidden() const { return cursorHidden_; }
    QRect VideoRect() const { return QRect(videoRectLeft_, videoRectTop_, videoRectWidth_, videoRectHeight_); }
    void LayoutVideoWindow();
    void SetClientSize(int width, int height);
    void PlaceWindow();
    void SetWindowTopmost(bool on);
    void LayoutControls();

    // ---- keys, mouse gestures and the numbered commands ----
    // Runs command `number` of the command table; clears KeyLatch when it ends.
    void DoMouseAction(int number);
    // The DVD's own gesture bindings (when a DVD starts); the file-mode set is
    // kept until the DVD mode ends.
    void LoadMouseActions();
    const TMouseActions& MouseActions() const { return mouseActions_; }
    void SetMouseActions(const TMouseActions& actions) { mouseActions_ = actions; }
    // The user's keys from `ShortcutKey` (the constructor calls it with ModifyKey on).
    void LoadShortcutKeys();
    void AddHiddenShortcutItems();
    // A pressed key: the current pop-up menus' items first, then FormKeyDown.
    bool IsShortCut(WORD code);
    bool FormKeyDown(WORD code);
    void FormKeyUp(WORD code);
    void FormKeyPress();
    void FormDblClick();
    // The wheel turned one notch with the cursor at screen height `screenY`.
    void FormMouseWheelUp(int screenY);
    void FormMouseWheelDown(int screenY);
    // The status text of a menu toggle (its caption, and ": ON"/": OFF" with withState).
    void AppendOnOffText(QAction* item, bool withState);
    // The audio-stream items of miAudio for `count` streams of the graph.
    void BuildAudioStreamMenu(int count);
    // Set by commands that must not repeat while their key is held; cleared on key release.
    BYTE KeyLatch = 0;

    // Commands of the table (TCommandTarget).
    void miStopClick() override;
    void miForwardClick() override;
    void miRewindClick() override;
    void miPlayNextClick() override;
    void miPlayPreviousClick() override;
    void FrameStepForward() override { FrameStep(true); }
    void FrameStepBackward() override { FrameStep(false); }
    void SkipCommand() override;
    void SkipBackCommand() override;
    void SkipSmallCommand() override;
    void SkipBackSmallCommand() override;
    void TBtnShowComboClick() override;
    void SelectedSizeCommand() override;
    void Size640Command() override;
    void Size320Command() override;
    void SourceSizeCommand() override;
    void KeepSizeCommand() override;
    void FitWindowCommand() override;
    void NSelectCurrentSizeClick() override;
    void SourceAspectCommand() override;
    void Aspect43Command() override;
    void Aspect169Command() override;
    void UnlockAspectCommand() override;
    void SizeRatioAspectCommand() override;
    void NContinuousPlayClick() override;
    void LoopCommand() override;
    void PMForegroundClick() override;
    void NPropertyClick() override;
    void miVolumeUpClick() override;
    void miVolumeDnClick() override;
    void miVolumeMuteClick() override;
    void miShowCapDlgClick() override;
    void miShowEditListClick() override;
    void miShowBrowserClick() override;
    void miChangeWindowClick() override;
    void TBtnShowLibraryClick() override;
    void TBtnShowFolder1Click() override;
    void MIColorClick() override;
    void SelTrackSClick() override;
    void SelTrackEClick() override;
    void SelTrackCClick() override;
    void NFullScreenClick() override;
    void miDVDForwardClick() override;
    void miDVDRewindClick() override;
    void miMakeBkmrkClick() override;
    void miShowBkmrkDlgClick() override;
    void NRootMenuClick() override;
    void NTitleMenuClick() override;
    void NDisplaySPClick() override;
    void miDVDMenuUClick() override;
    void miDVDMenuDClick() override;
    void miDVDMenuLClick() override;
    void miDVDMenuRClick() override;
    void miPreviousBmkClick() override;
    void miNextBmkClick() override;
    bool MouseSkipAllowed() const override;
    bool LibraryButtonShown() const override;
    bool FolderButtonShown() const override;

    // Key items and small handlers.
    void miPlayClick();
    void miStepFrameClick();
    void miStepBackClick();
    void miSkipClick();
    void miSkipBackClick();
    void miShowPlayListClick();
    void miShowLibViewerClick();
    void miFoldeLibClick();
    void miSaveSectionClick();
    void miChainABSCClick();
    void NLoopClick();
    void TBPowerStateClick();
    void taTimeClick();
    void miFolderSerchClick();
    void BtnListMouseUp();
    void TBtnShowFolder1MouseUp();
    void TBtnShowLibraryMouseUp();
    void MiShowLibraryClick();
    void N24Click();
    void miOnePlayClick();
    void CDTimerTimer();
    void miConnectCDDBClick();
    void miSaveToCDIniClick();
    void ShowVolumeBar();

    // ---- picture colour and colour presets (ZoColor.cpp) ----
    // The overlay renderer's colour stage (null otherwise), released with the renderer.
    std::shared_ptr<media::ColorControl> ColorControl;
    // The windowless-9 renderer's picture controls while it is in the graph.
    std::unique_ptr<CVMR9MIXER> Vmr9Mixer;
    // Overlay values were applied (or confirmed in the colour window) and
    // not yet put back to the defaults.
    bool ColorApplied = false;
    bool HasColorControl();
    bool LoadOverlayColor();
    HRESULT GetSurfaceColorControl(std::shared_ptr<media::ColorControl>* control);
    void ResetOverlayColor();
    void BuildColorPresetMenu();
    void ClearColorPresetMenus();
    void ApplyColorPreset(QAction* sender);
    // After a file graph is built (dvd false) or when a DVD starts: the
    // colour item, the VMR-9 current values and the preset sub-menu.
    void UpdateColorMenus(bool dvd);
    // The colour window closed with OK and changed presets.
    void ColorPresetsChanged();
    // The overlay values once playback started: at once for ColorCtlWait 0,
    // else by window timer 15.
    void ScheduleOverlayColor();
    // DVD start: the VMR-9 ranges, the colour menus (rebuilt when the
    // renderer kind changed) and, once the DVD runs, the overlay values.
    void ColorAtDvdStart();
    void ColorAtDvdRun();
    // A DVD graph is built anew: the VMR-9 values are stored and the object goes.
    void ReleaseVmr9Mixer() { Vmr9Mixer.reset(); }
    // The graph builders (file and DVD): the renderer value the graph was
    // built with and its colour stage (Renderer 1: ColorControl; 2: the
    // surface's; others: none). Called again with 0 when the media close.
    void TakeColorObjects(int renderer, std::shared_ptr<media::ColorControl> stage);
    // After the windowless-9 renderer is added: the CVMR9MIXER over its
    // picture controls (none when the graph offers none).
    void CreateVmr9Mixer(std::shared_ptr<media::PictureControls> controls);
    int ColorRenderer() const { return colorRenderer_; }

private:
    // The overlay stage of the open graph: ColorControl, else the windowless-7 surface's.
    std::shared_ptr<media::ColorControl> CurrentOverlayControl();
    int colorRenderer_ = 0;
    std::shared_ptr<media::ColorControl> surfaceControl_;

public:
    // ---- RealMedia through its control (ZoRealMedia.cpp) ----
    // The control while a RealMedia source is open, else null; a child of
    // the view panel, deleted by CloseMedia or the next PlayRealMedia.
    QPointer<realmedia::TRealAudio> RealControl;
    // Start position in milliseconds for the next clip that opens; 0 none.
    std::int64_t PendingRealStart = 0;
    // Makes the control (tests put a recording one in its place).
    std::function<realmedia::TRealAudio*(QWidget* owner, QWidget* parent)> RealControlFactory;
    void OnClipOpened(const QString& shortName, const QString& url);
    void OnPlayStateChange(int oldState, int newState);
    void OnClipClosed();
    void OnRealSourceError(HRESULT hr, bool opened);
    void RMTimerTimer();
    void ShowRealLength(std::int64_t tenths);
    // Window timer 14: the clip plays again, the next entry follows, or the media end.
    void RealMediaEnded();
    // The clip's length in milliseconds (0 until it opened).
    std::int64_t RealDuration() const { return item_.Duration / 10000; }
    bool HasRealControl() const { return !RealControl.isNull(); }
    QTimer* RealMediaTimer() const { return RMTimer; }

private:
    void DeleteRealControl();
    // The transport's RealMedia branches (ZoRealMedia.cpp).
    void RealTogglePlayPause();
    void RealStop();
    void RealSeekBarChange();
    void RealSeekBarClick(int value);
    void RealSkipSeconds(int seconds);
    // The control's position in ms, a seek to one, and play (bookmarks and sections).
    std::int64_t RealControlPosition() const;
    void SetRealControlPosition(std::int64_t milliseconds);
    void RealControlPlay();
    // Adds the clip's title to the caption the caller has just set.
    void ShowRealTitle();
    QString realCaptionBase_;   // the caption the clip started with: its title is added to it once

public:
    // ---- state the tool windows read and set ----
    TPlayListModel& PlayList() { return playList_; }
    int ListIndex() const { return playList_.ListIndex(); }
    int PlayState() const { return playState_; }
    const TMainSettings& Settings() const { return settings_; }
    TMainSettings& MutableSettings() { return settings_; }
    media::FilterGraph* Graph() const { return graph_.get(); }
    Ui::TZoMain* Form() const { return ui_.get(); }
    const TOpenedItem& Item() const { return item_; }
    REFERENCE_TIME Duration() const { return item_.Duration; }
    bool IsStillPicture() const { return item_.StillPicture; }
    bool IsAudioOnly() const { return item_.AudioOnly; }
    bool IsMpegFile() const { return item_.Mpeg; }
    bool IsMp3File() const { return item_.Mp3; }
    bool IsWindowsMediaFile() const { return item_.WindowsMedia; }
    bool IsRealMediaFile() const { return item_.RealMedia; }
    int FileStamp() const;
    QString ViewerPath() const { return viewerPath_; }
    void SetViewerPath(const QString& path) { viewerPath_ = path; }
    QString OpenedPath() const { return openedPath_; }
    QString InitialDir() const { return settings_.InitialDir; }
    bool IsFullScreen() const { return fullScreen_; }
    bool IsDialogOpen() const { return dialogOpen_; }
    void SetDialogOpen(bool open) { dialogOpen_ = open; }
    // State kept on components, by what it means.
    bool SlideShowRunning() const;       // BtnStart shows its pause image (2)
    int KeptSortKey() const;             // BtnStart's Tag: the sort key kept for the next list
    bool ScanGoesOn() const;             // miFolderSerch's Tag: a folder scan goes on while set
    void SetScanGoesOn(bool on);         // cleared by Stop: the scan ends at its next entry
    int VolumeBarValue() const;          // TrackBarVolume's Tag: 0..100
    bool BalanceShown() const;           // BtnSound's Tag: the bar shows the balance

    // Tool windows (null while closed).
    QPointer<QWidget> EndingWindow, CaptureWindow, ListEditWindow, LibraryEditWindow, FileBrowserWindow,
        BookmarkWindow;
    QPointer<QWidget> LibraryViewer, FolderViewer, ListViewer;

    // ---- test probes: guards and hand-over state, read by the tests only ----
    bool IsAddingItems() const { return addingItems_; }
    bool IsGraphStarting() const { return item_.GraphStarting; }
    WPARAM CopyDataSender() const { return copyDataSender_; }
    bool HasPendingArguments() const { return pendingArguments_ != nullptr; }
    bool DvdRequested() const { return dvd_.Requested; }
    bool CdRequested() const { return cd_.Requested; }
    bool AppendToList() const { return appendToList_; }
    bool IsScanning() const { return scanDepth_ > 0; }
    int HeldMessageCount() const { return static_cast<int>(held_.size()); }
    bool StartupIntakePending() const { return static_cast<bool>(startupIntake_); }
    const THeldButtons& HeldButtons() const { return heldButtons_; }
    bool IsSeekBarBusy() const { return seekBarBusy_; }
    bool HasSavedMouseActions() const { return savedMouseActions_.has_value(); }
    // Marks the kinds that refuse the mouse skips, as their openers will.
    void SetMediaKindForTest(bool dvd, bool cd, bool realMedia)
    {
        dvd_.Mode = dvd;
        cd_.Open = cd;
        item_.RealMedia = realMedia;
    }

    // ---- audio CD (ZoCd.cpp) ----
    // The disc's player while a disc is open, else null.
    CCDPlay* CdPlayer() const { return cdPlayer_.get(); }
    // The open disc's drive, as TCdState::Drive has it; empty when none.
    const QString& OpenDriveLetter() const { return cd_.Drive; }
    void OnMciNotify(WPARAM flags, LPARAM deviceId);
    // Whether the drive's table of contents lists an audio track.
    static bool DriveHoldsAudioCd(const QString& drive);
    // Closes and frees the CD player; the drive runs at full speed again.
    void DeleteCdPlayer();
    // The seek bar moved by the program, not by a drag.
    void SetSeekBar(int value) override;
    void SetSeekBarMaximum(int maximum);
    bool CdTimerActive() const override { return CDTimer->isActive(); }

private:
    std::unique_ptr<CCDPlay> cdPlayer_;

    // The CD player's view of the window (ICdHost).
    void ClearTracks() override;
    void AddTrack(const TPlayListItem& entry) override;
    void ReplaceTrack(int index, const TPlayListItem& entry) override;
    int TrackCount() const override;
    TPlayListItem Track(int index) const override;
    int TrackIndex() const override;
    void SetTrackIndex(int index) override;
    int StartShuffleOrder() override;
    bool ShuffleEntriesLeft() const override;
    void PlayNextEntry() override;
    bool OnePlayOn() const override;
    bool ShuffleOn() const override;
    bool LoopOn() const override;
    bool PowerActionWaiting() const override;
    int ShownPlayState() const override;
    void ShowPlayState(int state) override;
    void MarkAudioOnly() override;
    int SeekBarValue() const override;
    int SeekBarMaximum() const override;
    bool SeekBarHeld() const override;
    bool SeekBarMoved() const override;
    void ClearSeekBarMoved() override;
    void ShowTrackLength(int seekBarMaximum, const QString& text) override;
    void ShowElapsed(int seconds) override;
    void SetTimeText(const QString& text) override;
    void ShowTitle(const QString& title) override;
    void ShowArtistLine(const QString& line) override;
    void LayOutForDiscTexts() override;
    void ShowCdControls(int trackCount) override;
    void ShowFileControls() override;
    void SetVolumeBar(int percent) override;
    void EnableSaveTitles() override;
    QMenu* AddCdTextMenu() override;
    void RemoveCdTextMenu(QMenu* menu) override;
    void SetCdTimer(bool on) override;
    void StartNotifyTimer(unsigned ms) override;
    TForm* NoticeWindow() override { return this; }
    // The open audio-CD device's volume for the mixer's CD line (null when
    // none is open; not owned).
    void SetCdVolumeControl(CdVolumeControl* control) override;
    void Inform(const QString& text) override;

protected:
    void showEvent(QShowEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    // Marks a folder scan (or a whole intake) for its lifetime; the messages
    // held meanwhile are posted again when the outermost one ends.
    class ScanScope {
    public:
        explicit ScanScope(TZoMain* window);
        ~ScanScope();
        ScanScope(const ScanScope&) = delete;
        ScanScope& operator=(const ScanScope&) = delete;

    private:
        TZoMain* window_;
    };
    // True when `message` must wait for the scan that runs the event loop.
    bool HoldWhileScanning(const TMessage& message);
    void ReleaseHeldMessages();
    void ScanEvents();

    void ConnectHandlers();
    void ConnectKeyItems();
    // Runs the mouse gesture messages; true when the message was one.
    bool MouseGesture(TMessage& message);
    // The view panel's mouse events as the window's gesture messages; true when taken.
    bool ViewPanelGesture(QEvent* e);
    void OnMouseWheel(int delta, int screenY);
    // The skip rows of the command table: by SkipLength or MouseCtlLength.
    void SkipByCommand(int seconds, bool mouse);
    void RestoreMouseActions();
    // Presses the transport takes from its controls before they do: clicks
    // beside the seek bar's handle, the right button on the skip and
    // frame-step buttons (backward). True when the event is taken.
    bool TransportEvent(QObject* watched, QEvent* e);
    // The mouse on the time labels, the window button and the library
    // buttons' right button; true when the event is taken.
    bool SmallControlEvent(QObject* watched, QEvent* e);
    void ApplyPlayState(int state, bool announce);
    // The seek bar and the time text at `position`.
    void ShowPosition(REFERENCE_TIME position);
    int SkipLength() const;
    void ApplySettingsToControls();
    void ReadControlsIntoSettings();
    void SetOpenControlsEnabled(bool enabled);
    void BringToForeground();
    void FreeClosedLibraryViewers();
    void OnLibraryRequest(LibraryRequest request);
    void DeleteToolWindow(QPointer<QWidget>& window);
    void OpenEntry(int index);
    void RemoveCurrentAndMoveOn();
    void UpdateScreenSaverHold();
    bool LoopsWithoutPowerAction() const;
    void StepEntry(bool forward);
    void GoToNextEntryOrEnd();
    void ResetVideoRect();
    QString EntryTitle(int index) const;
    int ClientWidth() const;
    int ClientHeight() const;

    std::unique_ptr<Ui::TZoMain> ui_;
    TMainSettings settings_;
    bool settingsKeyOpened_ = false;
    QStringList arguments_;
    // The command line's intake and first open, waiting for the first paint
    // so that the window shows at once whatever the arguments hold.
    std::function<void()> startupIntake_;
    bool firstPaintSeen_ = false;
    void RunStartupIntake();
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
    bool HasGraphAudio() const;
    std::unique_ptr<CAudioMixer> mixer_;
    CdVolumeControl* cdVolume_ = nullptr;
    std::function<std::unique_ptr<CAudioMixer>(CdVolumeControl*)> mixerFactory_;

    // Window size and full screen.
    QScreen* WindowScreen() const;
    QSize ClientLimit() const;           // the largest client area the work area holds
    bool HasPictureSource() const;
    void SetFullScreenMenus(bool full);
    void FullScreenPointerMoved();
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

    // ---- DVD graph ----
public:
    HRESULT BuildDvdGraph();
    void OnDvdEvent();
    void ReleaseDvdGraph();
    // The navigator of the running DVD; null without one.
    dvd::Navigator* DvdControl() const;
    // The real DVD player behind it (its pipeline: picture, sound); null
    // without one or with a test's fake navigator.
    dvd::DvdPlayer* DvdPipeline() const;
    // The pipeline builder of the next DVD builds (tests give a fake).
    void SetDvdPipelineBuilder(std::unique_ptr<TDvdPipelineBuilder> builder);
    const QString& ParentalPassword() const { return parentalPassword_; }
    bool UsePasswordToUnlock() const { return usePasswordToUnlock_; }
    int DvdFlipTag() const;

    // ---- DVD start, events and time display (ZoDvd.cpp) ----
    HRESULT RunDvd();
    void OnDvdTimeUpdate();
    void DoDvdDeferredSeek();
    void DVDTimerTimer();
    void ShowDvdTime(const dvd::HmsfTime& time);
    void ShowDvdTitleLength();
    void ReadDvdVideoAttributes();
    const TDvdState& DvdState() const { return dvd_; }
    // CloseMedia's share: the arrow items get their shortcuts back and the
    // disc's state goes (all but Requested; DvdMode goes with UpdateControlsForMedia).
    void ClearDvdState();
    // The transport's DVD branches.
    void DvdTogglePlayPause();
    void DvdStop();
    void DvdSeekBarDragged();
    void DvdSeekBarClicked(int value);
    void DvdStepChapter(bool forward);
    void DvdSkipStep(bool forward);
    // The pointer moved over the power button at (x, y) of the button.
    void TBPowerStateMouseMove(int x, int y);
    // Power button pointer watch (ZoPowerButton.cpp): moves and leaving reach
    // TBPowerStateMouseMove.
    void WatchPowerButton();
    bool PowerButtonEvent(QObject* watched, QEvent* e);
    // The next section of the chain plays (ZoBookmarks.cpp).
    void ChainNextDvdSection();

private:
    void OnDvdDomainChange(long domain);
    void OnDvdValidOperations(DWORD prohibited);
    void OnDvdRateChange(long rate);
    void OnDvdParentalLevelChange();
    void ShowDvdErrorBox(long code);
    // A title or domain change ends the A-B section and hands a deferred end to the left-button handler.
    void EndDvdSelection();
    void SetDvdSeekPending(long seconds);
    bool inDvdEvent_ = false;         // OnDvdEvent drains; a nested call leaves the rest to it

public:

    // ---- DVD resume point, bookmarks and disc folder (ZoDvdResume.cpp) ----
    // Writes "Resume.rsm" (isResume) or a new bookmark file of the disc folder;
    // outName receives the bookmark's file name.
    bool SaveResumePoint(bool isResume, QString* outName = nullptr);
    // name empty: the resume file, asking unless noQuestion; else that bookmark.
    void LoadResumePoint(const QString& name, bool noQuestion);
    void ReadDvdVolumeName();
    void BuildBookmarkMenu();
    bool MakeDvdBookmark();
    void DvdBookmarkClick(QAction* item);
    void BookmarkDlgClosed();
    void ClearDialogOpen() { dialogOpen_ = false; }
    bool SaveDvdSections(bool removeOnly);
    void LoadDvdSections();
    // CloseMedia's and the destruction's DVD step: the resume point (at
    // destruction only with DVDResumeEnable) and the DVD menus cleared.
    void CloseDvdResume(bool destroying);
    // The disc folder (ending with "/"); empty without a disc identifier.
    QString DvdDiscFolder() const;
    // The DVD bookmark menu and the section menu as the commands see them.
    bookmarks::IBookmarkMenu& DvdBookmarkMenu();
    bookmarks::IBookmarkMenu& SectionMenu();

    // ---- DVD menus and commands (ZoDvdMenus.cpp) ----
    // The title menu; fails when the disc has no volume.
    HRESULT BuildDvdTitleMenu();
    // The audio, subpicture and angle menus and the karaoke captions.
    void BuildDvdStreamMenus();
    // The play list holds the current title's chapters; the title menu marks that title.
    void BuildDvdChapterList();
    bool ReadKaraokeAttributes();
    void ClearDvdMenus();
    void ShowDvdMenus(bool visible);
    // The checked pan-and-scan mode again (full screen).
    void ApplyPanScanMode();
    // The handlers of the DVD pop-up menu's items and of the fast-play buttons.
    void ConnectDvdMenus();
    void NSPMenuClick();
    void NAudioMenuClick();
    void NAngleMenuClick();
    void NChapterMenuClick();
    void MiResumeClick();
    void MIStartClipClick();
    void MIPauseClick();
    void DvdTitleItemClick(QAction* item);
    void DvdAudioItemClick(QAction* item);
    void DvdSubpictureItemClick(QAction* item);
    void DvdAngleItemClick(QAction* item);
    void TBtnFastforwardClick();
    void TBtnRewindClick();
    void MenuKaraoke1Click(QAction* sender);
    void MiCcOnClick();
    void MiCcRightBottomClick();
    void MenuPanscanClick();
    void MiVistaClick();
    void PanOffClick();
    // The press selects the disc-menu button under a client point; true when
    // one was hit (the window is then not dragged).
    bool SelectDvdButtonAt(const QPoint& client);
    // The left button's release: the pointer back in full screen, the
    // selected disc-menu button activated.
    void FormMouseUp(const QPoint& client);
    TDvdState& DvdStateForTest() { return dvd_; }

private:
    void DvdFastPlay(bool forward);
    void SelectDvdMenuButton(dvd::RelativeButton direction);
    bool PanScan(bool cinemascope);
    // Adds a radio item to a selection sub-menu.
    QAction* AddDvdMenuItem(QMenu* menu, const QString& caption, int tag, bool checked,
                            void (TZoMain::*handler)(QAction*));

public:

    // ---- video operations (flip, aspect mode, points, pan) ----
    void ConnectVideoOperations();
    void MiFlipDefaultClick(QAction* sender);
    void SetRendererAspectMode(bool keepAspect);
    bool LoadVmr9Color();
    // A point of the window's client area in the picture's own coordinates.
    QPoint VideoPointFromClient(const QPoint& client) const;
    void PanVideo(int dx);

private:
    std::unique_ptr<TDvdPipelineBuilder> dvdBuilder_;
    bool dvdBuilt_ = false;
    QString parentalPassword_;
    bool usePasswordToUnlock_ = false;
    bool rendererStretched_ = false;   // the picture fills its rectangle, whatever its shape

public:
    // Form timers.
    QTimer* Timer = nullptr;
    QTimer* DVDTimer = nullptr;
    QTimer* CDTimer = nullptr;
    QTimer* RMTimer = nullptr;
    QTimer* MouseTimer = nullptr;
};

// The one main window of the process.
extern TZoMain* ZoMain;

// One part of a slider (its groove or handle) where its style draws it, in
// the slider's coordinates.
QRect SliderPart(const QSlider* slider, QStyle::SubControl part);

// Component "Tag" values (integers kept on the component).
int Tag(const QObject* component);
void SetTag(QObject* component, int value);
