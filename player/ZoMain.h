// The player's main window: settings, the play list and the playing item,
// the hand-over from a second start, dropped files, the file graph's events
// and the window timers. Its data members are TZoMainState (ZoState.h); the
// tool windows see it as IToolHost (player/tools/ToolHost.h). Its methods are
// split over source files by concern: ZoMain.cpp life cycle and messages;
// ZoEntry.cpp command line, second starts and argument intake; ZoOpen.cpp
// opening and closing media; ZoGraph.cpp the file graph; ZoPlayList.cpp play
// list steps; ZoTransport.cpp play, stop, seek and position display;
// ZoWindowSize.cpp and ZoFullScreen.cpp window and video sizing; ZoKeys.cpp
// keys and mouse gestures; ZoCommands.cpp the numbered commands; ZoCd.cpp the
// audio CD; ZoDvd*.cpp the DVD; ZoBookmarks.cpp, ZoColor.cpp, ZoVolume.cpp,
// ZoRealMedia.cpp, ZoResume.cpp as named; ZoToolHost.cpp the tool windows' host.
#pragma once
#ifdef ZORAVEL_TOOL_WINDOWS
#error "Tool windows reach the main window through IToolHost (player/tools/ToolHost.h), not ZoMain.h"
#endif

#include "platform/forms/forms.h"
#include "platform/media/graph.h"
#include "player/tools/OptionsHost.h"
#include "player/tools/ToolHost.h"
#include "player/units/Commands.h"
#include "player/units/Bookmarkcommands.h"
#include "player/units/Cdinfo.h"
#include "player/units/Creadlist.h"
#include "player/ZoState.h"
#include "player/units/Dvdgraph.h"
#include "player/units/Playstate.h"
#include "player/units/Transport.h"

#include <QPointer>
#include <QStyle>

#include <memory>

namespace dvd {
class DvdPlayer;
}
namespace realmedia {
class TRealAudio;
}
class CCDPlay;
class QAction;
class QMenu;
class QToolButton;
class QSlider;
class QLabel;
class QScreen;
class QWidget;
class TCaptureDlg;
struct TCaptureGraphNeeds;

class TZoMain : public TForm, public IListSink, public TCommandTarget, public IToolHost, public IOptionsHost,
                private TZoMainState {
    Q_OBJECT

public:
    // `arguments` is the command line without the program name.
    explicit TZoMain(const QStringList& arguments);
    ~TZoMain() override;

    void WndProc(TMessage& message) override;
    void Dispatch(TMessage& message) override;

    // ---- single instance, command line, argument intake ----
    void OnCopyDataSenderGone(WPARAM sender);

    // ---- settings ----
    void LoadSettings();
    QString ReadExtensionList() override;
    void ClearExtensionListCache() override { extensionCache_.clear(); }
    // The options dialog's view of the window, and the window following it (ZoOptions.cpp).
    TWindowOptions WindowOptions() const override;
    void ApplyOptions(const TMainSettings& before, const TWindowOptions& chosen, TShownSheets shown) override;
    void BookmarksDeleted() override;
    // The window's hints (tool tips) shown or kept back as ShowHint says.
    void ApplyHints();
    QObject* hintGate_ = nullptr;   // owned by the window

    // ---- life cycle and messages ----
    void FormDestroy();
    void PostToolNotice(ToolNotice notice, LPARAM code) override;
    void OnWindowTimer(UINT id);

    // ---- opening media ----
    void OpenFileActivated(const QString& path) override;
    void OpenByFileType(const QString& path, const QByteArray& header);
    void CloseMedia() override;
    void UpdateControlsForMedia(bool resetWindow) override;

    // ---- drive-speed limit ----
    // Slows the drive (device node, mount point or disc image) by the
    // `DriveSpeed` setting while media are read from it; audioCd chooses the
    // audio-CD factor over the other-CD one. RestoreDriveSpeed lets a slowed
    // drive run at full speed again when the setting asks for it, and
    // forgets the drive either way.
    void ApplyDriveSpeed(const QString& drive, bool audioCd = false);
    const QString& SpeedLimitedDrive() const { return driveSpeed_.ChangedDrive(); }

private:
    void OnCopyData(TMessage& message);
    void HandleCommandLine();
    // Adds `paths` to the play list as `how` says, then plays the list (or
    // shows the no-file notice) unless it appends. Graph events, timers and
    // tool notices that arrive while it runs wait until it returns.
    void TakePaths(const QStringList& paths, const TPathIntake& how);
    void AddArgument(const QString& path, int index, bool showSearchWindow);
    void AddFolder(const QString& folder);
    void AddFolderMediaFiles(const QString& path, bool isFolder);
    void SaveSettings();
    // Before the window closes: full screen is left, so that the window's
    // stored place is its normal one.
    void FormClose();
    void OnDropFiles(TMessage& message);
    void OnGraphEvent();
    void OnLeftButton(TMessage& message);
    void OnToolNotify(WPARAM wParam, LPARAM lParam);
    void RestoreDriveSpeed();

public:
    void BtnOpenClick() override;
    void OpenUrl(const QString& address);
    void StartDvd() override;
    void StartAudioCd();

    // ---- file graph ----
    HRESULT BuildFileGraph(const QString& path);
    void FormatTime(int seconds);
    void SkipSeconds(int seconds);
    HRESULT AddPreferredFilter(int kind, const QString& name);
    HRESULT AddAudioRenderer();

    // ---- play list ----
    void AddFileToList(const QString& path) override;
    void AddPathOrPlayList(const QString& path) override;
    void PlayListItem(bool sortFirst, bool keepFirst) override;
    void ShowNoFileNotice() override;
    void UpdateCaption(const QString& title) override;
    void MShuffleClick() override;
    void SortPlayList(int key) override;

    // ---- transport ----
    void BtnStartClick() override;
    void TogglePlayPause() override;
    void BtnStopClick();
    void TBtnNextTrackClick();
    void TBtnPreviousTrackClick();
    // A click at `x` (the seek bar's coordinates) beside the handle.
    void TrackBarForSeekEnter(int x);
    void SkipStep(bool forward);
    HRESULT SetRate(double rate);
    HRESULT SeekTo(REFERENCE_TIME position, const REFERENCE_TIME* stop = nullptr);
    void ShowStatusText(const QString& text) override;

    // ---- last play list and resume point (ZoResume.cpp) ----

    // ---- volume, balance and the sound card's mixer (ZoVolume.cpp) ----
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
    void SaveBookmarkList(bool removeOnly) override;
    void LoadBookmarkList() override;
    void SetSectionStart(int barPosition);
    void SetSectionEnd();
    void ClearSelection();
    void miSavePointsClick();
    bool SaveSection();
    void RepeatSectionClick(int index) override;
    bool PlaySection(int index);
    void miChainSectionsClick();
    bool AddBookmarkAtPosition() override;
    void BookmarkItemClick(int index) override;
    void JumpToBookmark(bool forward);
    // The position display's and the end of stream's share of the section.
    void CheckSectionLoop();
    bool SectionComplete();
    bool RepeatOn() const;
    const bookmarks::TSectionState& SectionState() const;
    QString BookmarkFilePath() const override;

private:
    // Sets every transport control (enabled flags, the still picture's
    // hidden volume bar) from the opened item and the list.
    void UpdateTransportControls();
    void HandleEndOfMedia();
    void PlayRealMedia(const QString& path);
    void SizeWindowForMedia();
    void InsertMpegSplitter(const QString& path);
    bool AddMpegSplitter(int kind, const QString& factory);
    bool OpenWindowsMediaFile(const QString& path);
    void PlayNextFile();
    void PlayPreviousFile();
    void ShowCannotPlay();
    void ClearPlayList();
    // The window follows the list's model: the caption's count.
    void ConnectPlayList();
    void FollowListInCaption();
    void ShowEntryCaption();
    void SetPlayState(int state);
    // Playing again after a DVD command: the play image, no status text.
    void ResumePlay();
    void TrackBarForSeekChange();
    void SeekToBar();
    void TimerTimer();
    // Starts the open item's position timer while the position can move and
    // the display follows it (playing, scanning, a drag or a deferred seek,
    // buffering); stops it otherwise, with a last update of the display.
    void UpdatePositionTimers();
    void ShowFilePosition();
    void ShowRealPosition();
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
    void BtnSkipClick();
    void FrameStep(bool forward);
    bool AcquireFrameStepper();
    void SetAudioVolume();
    // Keeps the list, its index and (with takePosition) the position in
    // "LastList.zol" and "Resume.rsm", as ResumeFile and OpenSpecificFile say.
    void SaveLastList(bool takePosition);
    // Loads them back into the empty list and opens the entry, at the kept
    // position with ResumePosition on.
    void LoadLastList();
    // The volume bar moved to `position`: the volume (graph or mixer line)
    // in volume mode, the graph's balance in balance mode.
    void TrackBarVolumeChange(int position);
    void BtnSoundClick();
    // Shows the bookmark menus for a file that has opened and loads its block.
    void ShowBookmarkMenus();
    // Empties and hides them when the media close.
    void ClearBookmarkMenus(bool hide);
    // The RealMedia position timer's share, at seek-bar value `barPosition`.
    void CheckRealMediaSectionLoop(int barPosition);
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
    // Back from full screen to the window as it was.
    void LeaveFullScreen();
    void MouseTimerTimer();
    bool IsCursorHidden() const { return cursorHidden_; }
    QRect VideoRect() const override { return QRect(videoRectLeft_, videoRectTop_, videoRectWidth_, videoRectHeight_); }
    void SetClientSize(int width, int height);
    void LayoutControls();

    // ---- keys, mouse gestures and the numbered commands ----
    // Runs command `number` of the command table; clears KeyLatch when it ends.
    void DoMouseAction(int number);
    // The DVD's own gesture bindings (when a DVD starts); the file-mode set is
    // kept until the DVD mode ends.
    void LoadMouseActions();
    const TMouseActions& MouseActions() const override { return mouseActions_; }
    void SetMouseActions(const TMouseActions& actions) override { mouseActions_ = actions; }
    void SetMouseActionSets(const TMouseActions& file, const TMouseActions& dvd) override;
    bool ArrowKeyLocked() const override;
    void SetColorPresetShortcuts(const std::array<DWORD, 5>& codes) override;
    // The user's keys from `ShortcutKey` (the constructor calls it with ModifyKey on).
    void LoadShortcutKeys() override;
    void AddHiddenShortcutItems();
    // A pressed key: the current pop-up menus' items first, then FormKeyDown.
    bool IsShortCut(WORD code);
    bool FormKeyDown(WORD code);
    void FormKeyUp(WORD code);
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
    void NShowFilterClick();
    void miEditSectionsClick();
    void ShowBookmarkEditor(bool sections);
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

    void taTimeClick();
    void CDTimerTimer();
    void miConnectCDDBClick();

    // ---- picture colour and colour presets (ZoColor.cpp) ----
    // Overlay values were applied (or confirmed in the colour window) and
    // not yet put back to the defaults.
    bool ColorApplied = false;
    // The capture window built the file graph again; closing it builds it plainly.
    bool CaptureRebuiltGraph = false;
    bool IsColorControlAvailable();
    HRESULT GetSurfaceColorControl(std::shared_ptr<media::ColorControl>* control) override;
    void BuildColorPresetMenu();
    void ClearColorPresetMenus();
    void ApplyColorPreset(QAction* sender);
    // The colour window closed with OK and changed presets.
    void ColorPresetsChanged() override;
    // The overlay values once playback started: at once for ColorCtlWait 0,
    // else by window timer 15.
    void ScheduleOverlayColor();

private:
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
    void ShowCursorInFullScreen(bool show);
    void LayoutVideoWindow();
    void PlaceWindow();
    void SetWindowTopmost(bool on);
    void FormKeyPress();
    void FormDblClick();
    // The wheel turned one notch with the cursor at screen height `screenY`.
    void FormMouseWheelUp(int screenY);
    void FormMouseWheelDown(int screenY);
    // The status text of a menu toggle (its caption, and ": ON"/": OFF" with withState).
    void AppendOnOffText(QAction* item, bool withState);
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
    void miFolderSerchClick();
    void InputURL1Click();
    void BtnListMouseUp();
    void TBtnShowFolder1MouseUp();
    void TBtnShowLibraryMouseUp();
    void MiShowLibraryClick();
    void N24Click();
    void miOnePlayClick();
    void miSaveToCDIniClick();
    void ShowVolumeBar();
    bool LoadOverlayColor();
    void ResetOverlayColor();
    // After a file graph is built (dvd false) or when a DVD starts: the
    // colour item, the VMR-9 current values and the preset sub-menu.
    void UpdateColorMenus(bool dvd);
    // DVD start: the VMR-9 ranges, the colour menus (rebuilt when the
    // renderer kind changed) and, once the DVD runs, the overlay values.
    void ColorAtDvdStart();
    void ColorAtDvdRun();
    // A DVD graph is built anew: the VMR-9 values are stored and the object goes.
    void ReleaseVmr9Mixer() { vmr9Mixer_.reset(); }
    // The graph builders (file and DVD): the renderer value the graph was
    // built with and its colour stage (Renderer 1: colorControl_; 2: the
    // surface's; others: none). Called again with 0 when the media close.
    void TakeColorObjects(int renderer, std::shared_ptr<media::ColorControl> stage);
    // After the windowless-9 renderer is added: the CVMR9MIXER over its
    // picture controls (none when the graph offers none).
    void CreateVmr9Mixer(std::shared_ptr<media::PictureControls> controls);
    int ColorRenderer() const { return colorRenderer_; }
    // The overlay stage of the open graph: colorControl_, else the windowless-7 surface's.
    std::shared_ptr<media::ColorControl> CurrentOverlayControl();

public:
    // ---- RealMedia through its control (ZoRealMedia.cpp) ----
    // The control while a RealMedia source is open, else null; a child of
    // the view panel, deleted by CloseMedia or the next PlayRealMedia.
    QPointer<realmedia::TRealAudio> RealControl;
    // Start position in milliseconds for the next clip that opens; 0 none.
    std::int64_t PendingRealStart = 0;
    // Makes the control (tests put a recording one in its place).
    std::function<realmedia::TRealAudio*(QWidget* owner, QWidget* parent)> RealControlFactory;
    void RMTimerTimer();
    // The clip's length in milliseconds (0 until it opened).
    std::int64_t RealDuration() const { return item_.Duration / 10000; }
    bool HasRealControl() const override { return !RealControl.isNull(); }
    QTimer* RealMediaTimer() const { return RMTimer; }

private:
    void OnClipOpened(const QString& shortName, const QString& url);
    void OnPlayStateChange(int oldState, int newState);
    void OnClipClosed();
    void OnRealSourceError(HRESULT hr, bool opened);
    void ShowRealLength(std::int64_t tenths);
    // Window timer 14: the clip plays again, the next entry follows, or the media end.
    void RealMediaEnded();
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

public:
    // ---- what the tool windows see (IToolHost; ZoToolHost.cpp) ----
    TPlayListModel& PlayList() override { return playList_; }
    int ListIndex() const override { return playList_.ListIndex(); }
    void SetListIndex(int index) override { playList_.SetListIndex(index); }
    int PlayState() const override { return playState_; }
    const TMainSettings& Settings() const override { return settings_; }
    TMainSettings& MutableSettings() override { return settings_; }
    media::FilterGraph* Graph() const override { return graph_.get(); }
    const TOpenedItem& Item() const override { return item_; }
    int FileStamp() const override;
    bool DvdMode() const override { return dvd_.Mode; }
    bool DvdPlaying() const override { return dvd_.Playing; }
    bool CdOpen() const override { return cd_.Open; }
    QString ViewerPath() const override { return viewerPath_; }
    void SetViewerPath(const QString& path) override { viewerPath_ = path; }
    QString OpenedPath() const override { return openedPath_; }
    void SetOpenedPath(const QString& path) override { openedPath_ = path; }
    bool IsFullScreen() const override { return fullScreen_; }
    bool DialogOpen() const override { return dialogOpen_; }
    void SetDialogOpen(bool open) override { dialogOpen_ = open; }
    bool AddingItems() const override { return addingItems_; }
    void SetAddingItems(bool adding) override { addingItems_ = adding; }
    bool ScanGoesOn() const override;    // miFolderSerch's Tag: a folder scan goes on while set
    void SetScanGoesOn(bool on) override;   // cleared by Stop: the scan ends at its next entry
    bool CalledByKey() const override { return KeyLatch != 0; }
    void SetKeepInBackground(bool on) override { keepInBackground_ = on; }
    QWidget* HostWindow() override { return this; }
    void ApplyAlwaysOnTop() override;
    void KeepPointerVisible() override;
    QWidget* ViewPanel() override;
    // The play-list editor, made when none is open, and shown (the menu item adds the key latch).
    void MiListEditClick() override { ShowListEditor(0, ListEditWindow); }
    void MiFileBrowserClick() override { miShowBrowserClick(); }
    void OpenListInEditor(const QString& path) override;
    void MiCaptureClick() override { miShowCapDlgClick(); }
    bool AspectUnlocked() const override;
    QImage RealMediaPicture() const override;
    HRESULT GrabDvdPicture(QImage* picture) override;
    HRESULT RebuildGraphForCapture(int method) override;
    bool CaptureDecodersInGraph() const override { return captureDecodersBuilt_; }
    void CapturePrepared(bool flipMenuVisible, bool rebuilt) override;
    HRESULT CaptureWithoutGraph() override;
    bool ToolWindowOpen(TToolWindow window) const override;
    QWidget* OpenToolWindow(TToolWindow window) const override;
    bool FocusToolWindow(TToolWindow window) override;
    void FocusMainWindow() override;
    bookmarks::IBookmarkMenu& FileBookmarkMenu() override;
    std::shared_ptr<media::ColorControl> ColorControl() const override { return colorControl_; }
    CVMR9MIXER* Vmr9Mixer() override { return vmr9Mixer_.get(); }
    void SetColorApplied() override { ColorApplied = true; }
    int AudioStreamItems() const override;
    GstElement* PlayingPipeline() const override;
    WORD MakeBookmarkShortCut() const override;
    bool VideoFormatSize(int* width, int* height, int* aspectX, int* aspectY) const override;

    REFERENCE_TIME Duration() const { return item_.Duration; }
    bool IsStillPicture() const { return item_.StillPicture; }
    bool IsAudioOnly() const { return item_.AudioOnly; }
    bool IsMpegFile() const { return item_.Mpeg; }
    bool IsMp3File() const { return item_.Mp3; }
    bool IsWindowsMediaFile() const { return item_.WindowsMedia; }
    bool IsRealMediaFile() const { return item_.RealMedia; }
    QString InitialDir() const { return settings_.InitialDir; }
    // State kept on components, by what it means.
    bool SlideShowRunning() const;       // BtnStart shows its pause image (2)
    int KeptSortKey() const;             // BtnStart's Tag: the sort key kept for the next list
    int VolumeBarValue() const;          // TrackBarVolume's Tag: 0..100
    bool BalanceShown() const;           // BtnSound's Tag: the bar shows the balance

    // Tool windows (null while closed).
    QPointer<QWidget> EndingWindow, CaptureWindow, ListEditWindow, LibraryEditWindow, FileBrowserWindow,
        BookmarkWindow;
    QPointer<QWidget> LibraryViewer, FolderViewer, ListViewer;
    // The kind the next media library window is made as (0 library, 1 folders, 2 play list).
    int ViewerKind() const override { return viewerKind_; }
    int ListViewerWidth() const override { return listViewerWidth_; }
    void SetListViewerWidth(int width) override { listViewerWidth_ = width; }
    int RememberedFolderRow() const override;   // MiShowLibrary's Tag
    // The mode the next list editor is made in (0 play list, 1 library, 2 folder library).
    int ListEditMode() const override { return listEditMode_; }
    void ShowLibraryEditor(int mode) override;
    WORD MenuShortCut(const char* item) const override;
    void SetRememberedFolderRow(int row) override;

    // The window's guards, hand-over state, form and timers for the tests
    // (ZoMainProbe.h); nothing of the program uses it.
    class TestProbe;
    TestProbe Probe();

    // ---- audio CD (ZoCd.cpp) ----
    // The disc's player while a disc is open, else null.
    CCDPlay* CdPlayer() const { return cdPlayer_.get(); }
    // The open disc's drive, as TCdState::Drive has it; empty when none.
    QString OpenDriveLetter() const override { return cd_.Drive; }
    // The seek bar moved by the program, not by a drag.
    void SetSeekBar(int value);
    bool CdTimerActive() const { return CDTimer->isActive(); }

private:
    void OnMciNotify(WPARAM flags, LPARAM deviceId);
    // Whether the drive's table of contents lists an audio track.
    static bool DriveHoldsAudioCd(const QString& drive);
    // Closes and frees the CD player; the drive runs at full speed again.
    void DeleteCdPlayer();
    void SetSeekBarMaximum(int maximum);
    // The CD player's view of the window (ZoCd.cpp); made with the first disc.
    class CdHost;
    struct CdHostDeleter {
        void operator()(CdHost* host) const;
    };
    std::unique_ptr<CdHost, CdHostDeleter> cdHost_;
    std::unique_ptr<CCDPlay> cdPlayer_;   // after its host: it goes first

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
    bool IsScanning() const { return scanDepth_ > 0; }
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
    // Frees every media library window that is not busy.
    void FreeClosedLibraryViewers();
    // Makes the media library window of `kind` in `viewer` and shows it.
    void ShowMediaViewer(int kind, QPointer<QWidget>& viewer, QWidget* callingButton);
    int viewerKind_ = 0;
    // Makes the list editor of `mode` in `editor` when it is not open, and shows it.
    void ShowListEditor(int mode, QPointer<QWidget>& editor);
    int listEditMode_ = 0;
    int listViewerWidth_ = 0;   // the play-list viewer's width once measured
    void OnLibraryRequest(LibraryRequest request);
    void DeleteToolWindow(QPointer<QWidget>& window);
    // The capture window while it is open (ZoCapture.cpp), else null.
    TCaptureDlg* CaptureDlg() const;
    // What the next file graph needs for the capture window's method; plain
    // without a window that shows.
    TCaptureGraphNeeds CaptureNeeds() const;
    // The MPEG splitter and the capture decoder the needs name for `path`,
    // as preferred filters; the decoder's factory, empty when none applies.
    QString BuildCaptureDecoders(const QString& path, const TCaptureGraphNeeds& needs);
    // The video sink (the capture window's when it needs one), its capture
    // branch and deinterlacer added to `graph`; the renderer value used.
    int AddVideoOutput(media::FilterGraph& graph, const TCaptureGraphNeeds& needs);
    bool captureDecodersBuilt_ = false;   // the graph decodes by a capture decoder
    // The file graph torn down and built again from the same file, then put
    // back where it stood (position, rate, volume, play or pause).
    HRESULT RebuildFileGraphInPlace();
    HRESULT RestartAfterRebuild(REFERENCE_TIME position, double rate, int state, int audioStream);
    bool rebuildingForCapture_ = false;   // the rebuilt graph's start does not prepare a capture again
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

    void RunStartupIntake();
    bool HasGraphAudio() const;
    QScreen* WindowScreen() const;
    QSize ClientLimit() const;           // the largest client area the work area holds
    bool HasPictureSource() const;
    void SetFullScreenMenus(bool full);
    void FullScreenPointerMoved();

    // ---- DVD graph ----

public:
    HRESULT BuildDvdGraph();
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
    void ReadDvdVideoAttributes();
    const TDvdState& DvdState() const { return dvd_; }

private:
    void OnDvdEvent();
    void ReleaseDvdGraph();
    HRESULT RunDvd();
    void OnDvdTimeUpdate();
    void DoDvdDeferredSeek();
    void DVDTimerTimer();
    void ShowDvdTime(const dvd::HmsfTime& time);
    void ShowDvdTitleLength();
    // A navigation that hangs while it plays closes the disc (ZoDvdWatch.cpp).
    void WatchDvdNavigation();
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
    // The power button's hint: the action PowerState names (ZoPowerButton.cpp).
    void UpdatePowerCaption();
    // The items end and the after-playback action is on: the countdown, or
    // with PowerState 1 the window closes.
    void StartAfterPlaybackAction();
    // The next section of the chain plays (ZoBookmarks.cpp).
    void ChainNextDvdSection();
    void OnDvdDomainChange(long domain);
    void OnDvdValidOperations(DWORD prohibited);
    void OnDvdRateChange(long rate);
    void OnDvdParentalLevelChange();
    void ShowDvdErrorBox(long code);
    // A title or domain change ends the A-B section and hands a deferred end to the left-button handler.
    void EndDvdSelection();
    void SetDvdSeekPending(long seconds);

public:

    // ---- DVD resume point, bookmarks and disc folder (ZoDvdResume.cpp) ----
    // Writes "Resume.rsm" (isResume) or a new bookmark file of the disc folder;
    // outName receives the bookmark's file name.
    bool SaveResumePoint(bool isResume, QString* outName = nullptr);
    // name empty: the resume file, asking unless noQuestion; else that bookmark.
    void LoadResumePoint(const QString& name, bool noQuestion) override;
    void ReadDvdVolumeName();
    void BuildBookmarkMenu();
    bool MakeDvdBookmark() override;
    void DvdBookmarkClick(QAction* item);
    bool SaveDvdSections(bool removeOnly) override;
    void LoadDvdSections() override;
    // The disc folder (ending with "/"); empty without a disc identifier.
    QString DvdDiscFolder() const override;
    // The DVD bookmark menu and the section menu as the commands see them.
    bookmarks::IBookmarkMenu& DvdBookmarkMenu() override;
    bookmarks::IBookmarkMenu& SectionMenu() override;

    // ---- DVD menus and commands (ZoDvdMenus.cpp) ----
    // The title menu; fails when the disc has no volume.
    HRESULT BuildDvdTitleMenu();
    // The audio, subpicture and angle menus and the karaoke captions.
    void BuildDvdStreamMenus();
    // The play list holds the current title's chapters; the title menu marks that title.
    void BuildDvdChapterList();
    void ClearDvdMenus();
    void ShowDvdMenus(bool visible);
    void TBtnFastforwardClick();
    void TBtnRewindClick();

private:
    void BookmarkDlgClosed();
    void ClearDialogOpen() { dialogOpen_ = false; }
    // CloseMedia's and the destruction's DVD step: the resume point (at
    // destruction only with DVDResumeEnable) and the DVD menus cleared.
    void CloseDvdResume(bool destroying);
    bool ReadKaraokeAttributes();
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
    void MenuKaraoke1Click(QAction* sender);
    void MiCcOnClick();
    void MiCcRightBottomClick();
    // Closed captions over the picture (ZoDvdCaptions.cpp).
    bool DvdDecodesCaptions() const;
    void ShowDvdCaption();
    void LayoutDvdCaption();
    QLabel* captionLabel_ = nullptr;   // made at the first caption
    void MenuPanscanClick();
    void MiVistaClick();
    void PanOffClick();
    // The press selects the disc-menu button under a client point; true when
    // one was hit (the window is then not dragged).
    bool SelectDvdButtonAt(const QPoint& client);
    // The left button's release: the pointer back in full screen, the
    // selected disc-menu button activated.
    void FormMouseUp(const QPoint& client);
    void DvdFastPlay(bool forward);
    void SelectDvdMenuButton(dvd::RelativeButton direction);
    bool PanScan(bool cinemascope);
    // Adds a radio item to a selection sub-menu.
    QAction* AddDvdMenuItem(QMenu* menu, const QString& caption, int tag, bool checked,
                            void (TZoMain::*handler)(QAction*));

public:

    // ---- video operations (flip, aspect mode, points, pan) ----
    // A point of the window's client area in the picture's own coordinates.
    QPoint VideoPointFromClient(const QPoint& client) const;

private:
    void ConnectVideoOperations();
    void MiFlipDefaultClick(QAction* sender);
    void SetRendererAspectMode(bool keepAspect);
    bool LoadVmr9Color();
    void PanVideo(int dx);

};

// The one main window of the process.
extern TZoMain* ZoMain;

// One part of a slider (its groove or handle) where its style draws it, in
// the slider's coordinates.
QRect SliderPart(const QSlider* slider, QStyle::SubControl part);

// Component "Tag" values (integers kept on the component).
int Tag(const QObject* component);
void SetTag(QObject* component, int value);
