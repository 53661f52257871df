// The player's main window: settings, the play list and the playing item,
// the hand-over from a second start, dropped files, the file graph's events
// and the window timers. Its methods are split over several source files by
// concern (ZoMain.cpp: life cycle and messages; ZoEntry.cpp: command line,
// second starts and argument intake; ZoOpen.cpp: opening and closing media;
// ZoGraph.cpp: the file graph; ZoPlayList.cpp: play list steps; ZoTransport.cpp:
// play, stop, seek and position display; ZoWindowSize.cpp: window and video sizing).
#pragma once

#include "platform/forms/forms.h"
#include "platform/media/graph.h"
#include "player/units/Creadlist.h"
#include "player/units/Playlist.h"
#include "player/units/Settings.h"

#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <memory>

namespace Ui {
class TZoMain;
}
namespace instance {
class NamedMutex;
class WindowClassServer;
}
namespace power {
class ScreenSaverHold;
}
class QAction;
class QMenu;
class QToolButton;
class QSlider;
class QLabel;
class QWidget;

// Messages of the main window.
constexpr UINT WM_GRAPHNOTIFY = WM_USER + 53;
constexpr UINT WM_DVDNOTIFY = WM_USER + 54;
constexpr UINT WM_TOOLNOTIFY = WM_USER + 55;
constexpr UINT WM_DVDTIMEUPDATE = WM_USER + 56;

// The name of the single-instance mutex and the window class a second start looks for.
extern const char* const kAppMutexName;
extern const char* const kMainWindowClass;

// Play states.
enum : int { psNothing = 0, psStopped = 1, psPaused = 2, psPlaying = 3, psScan = 4 };

class TZoMain : public TForm, public IListSink {
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
    void OnDropFiles(TMessage& message);
    void OnGraphEvent();
    void OnLeftButton(TMessage& message);
    void OnToolNotify(WPARAM wParam, LPARAM lParam);
    void OnWindowTimer(UINT id);

    // ---- opening media ----
    void OpenFileActivated(const QString& path);
    void OpenByFileType(const QString& path, const QByteArray& header);
    void CloseMedia();
    void UpdateControlsForMedia(bool resetWindow);
    void HandleEndOfMedia();
    void BtnOpenClick();
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
    void AddMpegSplitter(int kind, bool elementaryStream);
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
    void MShuffleClick();
    void SortPlayList(int key);

    // ---- transport ----
    void SetPlayState(int state);
    void BtnStartClick();
    void TogglePlayPause();
    void BtnStopClick();
    void TBtnNextTrackClick();
    void TBtnPreviousTrackClick();
    void TrackBarForSeekChange();
    void TimerTimer();
    HRESULT SeekTo(REFERENCE_TIME position, const REFERENCE_TIME* stop = nullptr);
    void ShowStatusText(const QString& text);
    void SaveLastList(bool takePosition);
    void SetAudioVolume();

    // ---- window size ----
    void ApplyWindowSize(bool force);
    void LayoutVideoWindow();
    void SetClientSize(int width, int height);
    void PlaceWindow();
    void SetWindowTopmost(bool on);
    void LayoutControls();

    // ---- state the tool windows and tests read ----
    TPlayList& PlayList() { return playList_; }
    int ListIndex() const { return playList_.ListIndex(); }
    int PlayState() const { return playState_; }
    const TMainSettings& Settings() const { return settings_; }
    TMainSettings& MutableSettings() { return settings_; }
    media::FilterGraph* Graph() const { return graph_.get(); }
    Ui::TZoMain* Form() const { return ui_; }
    REFERENCE_TIME Duration() const { return duration_; }
    bool IsStillPicture() const { return stillPicture_; }
    bool IsAudioOnly() const { return audioOnly_; }
    bool IsMpegFile() const { return isMpegFile_; }
    bool IsMp3File() const { return isMp3File_; }
    bool IsWindowsMediaFile() const { return isWindowsMediaFile_; }
    bool IsRealMediaFile() const { return isRealMedia_; }
    int FileStamp() const;
    bool IsAddingItems() const { return addingItems_; }
    bool IsGraphStarting() const { return graphStarting_; }
    WPARAM CopyDataSender() const { return copyDataSender_; }
    bool HasPendingArguments() const { return pendingArguments_ != nullptr; }
    QString ViewerPath() const { return viewerPath_; }
    void SetViewerPath(const QString& path) { viewerPath_ = path; }
    QString OpenedPath() const { return openedPath_; }
    QString InitialDir() const { return settings_.InitialDir; }
    bool DvdRequested() const { return dvdRequested_; }
    bool CdRequested() const { return cdRequested_; }
    bool AppendToList() const { return appendToList_; }
    bool IsFullScreen() const { return fullScreen_; }
    bool IsDialogOpen() const { return dialogOpen_; }
    void SetDialogOpen(bool open) { dialogOpen_ = open; }

    // Tool windows (null while closed).
    QPointer<QWidget> EndingWindow, CaptureWindow, ListEditWindow, LibraryEditWindow, FileBrowserWindow,
        BookmarkWindow;
    QPointer<QWidget> LibraryViewer, FolderViewer, ListViewer;

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    void ConnectHandlers();
    void ApplySettingsToControls();
    void ReadControlsIntoSettings();
    void SetOpenControlsEnabled(bool enabled);
    void BringToForeground();
    void FreeClosedLibraryViewers();
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

    Ui::TZoMain* ui_ = nullptr;
    TMainSettings settings_;
    bool settingsKeyOpened_ = false;
    QStringList arguments_;
    QString extensionCache_;

    // Single instance.
    std::unique_ptr<instance::NamedMutex> appMutex_;
    std::unique_ptr<instance::WindowClassServer> classServer_;
    WPARAM copyDataSender_ = 0;
    std::unique_ptr<QStringList> pendingArguments_;
    bool dvdRequested_ = false;
    bool cdRequested_ = false;

    // Re-entry guards and per-item flags.
    bool addingItems_ = false;
    bool graphStarting_ = false;
    bool openingMedia_ = false;
    bool appendToList_ = false;
    bool mouseButtonHeld_ = false;
    bool endDeferred_ = false;
    bool firstPauseSeen_ = false;
    bool bufferingShown_ = false;
    bool dialogOpen_ = false;
    bool keepInBackground_ = false;
    bool repaintAtNextPress_ = false;
    bool inCannotPlay_ = false;
    bool cannotPlayAgain_ = false;
    bool destroyed_ = false;
    bool placedWithFrame_ = false;

    // Opened item.
    QString viewerPath_;
    QString openedPath_;
    bool isMpegFile_ = false;
    bool isMp3File_ = false;
    bool isWindowsMediaFile_ = false;
    bool isRealMedia_ = false;
    bool stillPicture_ = false;
    bool audioOnly_ = false;
    bool noDuration_ = false;
    bool urlStream_ = false;
    bool mpegDecodersFound_ = false;
    int mpegSplitterKind_ = 0;
    REFERENCE_TIME duration_ = 0;
    int playState_ = psNothing;
    double playbackRate_ = 1.0;
    bool dvdMode_ = false;
    bool dvdPlaying_ = false;
    bool fullScreen_ = false;

    // Seek bar.
    bool ignoreNextSeekChange_ = false;
    bool seekBarMoved_ = false;

    // Video rectangle inside the view panel.
    int videoRectTop_ = 0, videoRectLeft_ = 0, videoRectHeight_ = 0, videoRectWidth_ = 0;
    long videoWidth_ = 0, videoHeight_ = 0;

    TPlayList playList_;
    std::unique_ptr<media::FilterGraph> graph_;
    std::unique_ptr<power::ScreenSaverHold> screenSaverHold_;
    int lastShownHours_ = -1, lastShownMinutes_ = -1, lastShownSeconds_ = -1;

    // Form timers.
    QTimer* Timer = nullptr;
    QTimer* DVDTimer = nullptr;
    QTimer* CDTimer = nullptr;
    QTimer* RMTimer = nullptr;
    QTimer* MouseTimer = nullptr;
};

// The one main window of the process.
extern TZoMain* ZoMain;

// Component "Tag" values (integers kept on the component).
int Tag(const QObject* component);
void SetTag(QObject* component, int value);
