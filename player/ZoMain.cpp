// Life cycle of the main window, its message map and window procedure, the
// window timers, tool-window notices, dropped files and file-graph events.
#include "player/ZoMain.h"

#include "platform/realmedia/realmedia.h"

#include "platform/dialogs/dialogs.h"
#include "platform/instance/instance.h"
#include "platform/paths/paths.h"
#include "platform/power/screensaver.h"
#include "platform/power/sleep.h"
#include "platform/registry/registry.h"
#include "player/units/Ccdplay.h"
#include "player/units/Imagelist.h"
#include "common/Reghelp.h"
#include "player/units/Shortcuts.h"
#include "player/tools/TMediaViewer.h"
#include "player/tools/WindowPlacement.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSlider>
#include <QToolButton>

#include <algorithm>

const char* const kAppMutexName = "Zoraavel_Applocation";
const char* const kMainWindowClass = "TZoMain";

TZoMain* ZoMain = nullptr;

int Tag(const QObject* component) { return component ? component->property("Tag").toInt() : 0; }

void SetTag(QObject* component, int value)
{
    if (component) component->setProperty("Tag", value);
}

TZoMain::TZoMain(const QStringList& arguments)
{
    arguments_ = arguments;
    ZoMain = this;
    // Form resource and the form's own timers.
    ui_ = std::make_unique<Ui::TZoMain>();
    ui_->setupUi(this);
    ApplyFormDesign(this);
    ui_->MainMenuHolder->hide();
    setWindowTitle(QStringLiteral("Zoravel"));
    Timer = new QTimer(this);
    Timer->setInterval(200);
    DVDTimer = new QTimer(this);
    DVDTimer->setInterval(500);
    CDTimer = new QTimer(this);
    CDTimer->setInterval(500);
    RMTimer = new QTimer(this);
    RMTimer->setInterval(200);
    MouseTimer = new QTimer(this);
    MouseTimer->setInterval(1000);
    ConnectHandlers();
    ConnectVideoOperations();
    ConnectPlayList();
    // The end of the session (also SIGTERM and SIGHUP) closes the window as
    // the user would; a signal that comes while it is still being built is
    // taken once its message loop runs.
    InstallSessionEndHandler(this);

    // The screen saver and the monitor's power saving are held off while
    // playing (by `ScreenSaver` and `MonitorPower`); the hold follows the play state.
    screenSaverHold_ = std::make_unique<power::ScreenSaverHold>();
    // A coming suspend is the window's suspend query; the system waits until it is handled.
    suspendQuery_ = std::make_unique<power::SuspendQuery>(
        [this] { SendMessage(WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0); });
    DragAcceptFiles(true);
    // The settings come before anything that reads them: the mutex
    // (MakeNewWindow), the check marks, the placement and the command line.
    LoadSettings();
    mouseActions_ = TMouseActions{settings_.MouseDouble, settings_.MouseMiddle, settings_.MouseX1,
                                  settings_.MouseX2,     settings_.WheelUp,     settings_.WheelDown};
    // The menus show the form's keys; the user's own replace them all.
    ShowItemShortCuts(this);
    if (settings_.ModifyKey) LoadShortcutKeys();
    // Resizes of the view panel re-fit the video rectangle; its mouse
    // gestures are the window's.
    ui_->ViewPanel->installEventFilter(this);
    // Without the mutex every start opens its own window; with it a second
    // start hands its arguments to this one.
    if (!settings_.MakeNewWindow) {
        bool existed = false;
        appMutex_ = instance::NamedMutex::Create(QString::fromLatin1(kAppMutexName), &existed);
    }
    classServer_ = std::make_unique<instance::WindowClassServer>(
        this, QString::fromLatin1(kMainWindowClass), [this](WPARAM sender) { OnCopyDataSenderGone(sender); });
    ApplySettingsToControls();
    // The empty window: the controls only (290 x 60), inside the work area
    // of the monitor that holds the stored position.
    setMinimumSize(120, 60);
    SetClientSize(290, 60);
    PlaceWindow();
    playState_ = psNothing;
    ConnectBookmarkHandlers();
    ApplyHints();
    if (!settings_.UseBookmark) {
        ui_->miBookmark2->setVisible(false);
        ui_->miSaveAB->menuAction()->setVisible(false);
        ui_->miChainSections->setVisible(false);
    }
    // Last: the command line may open media, which needs all of the above
    // (always-on-top included).
    HandleCommandLine();
}

TZoMain::~TZoMain()
{
    FormDestroy();
    if (ZoMain == this) ZoMain = nullptr;
}

void TZoMain::FormDestroy()
{
    if (destroyed_) return;
    destroyed_ = true;
    // No timer may fire into a half-destroyed window.
    KillTimer(kColorControlsTimer);
    positionTimers_ = {};
    Timer->stop();
    RMTimer->stop();
    MouseTimer->stop();
    DVDTimer->stop();
    KillTimer(kStillPictureTimer);
    KillTimer(kHidePanelsTimer);
    KillTimer(kDvdSeekTimer);
    KillTimer(kFrameStepTimer);
    playList_.ClearShuffleOrder();
    DeleteMenuItemsFrom(ui_->miAudio, 0);
    ClearBookmarkMenus(false);
    ClearColorPresetMenus();
    // Tool windows go before the graph and the list they read.
    pendingArguments_.reset();
    for (QPointer<QWidget>* w : {&LibraryViewer, &FolderViewer, &ListViewer, &BookmarkWindow, &CaptureWindow,
                                 &FileBrowserWindow, &ListEditWindow, &EndingWindow}) {
        delete w->data();
        *w = nullptr;
    }
    // The sound card's mixer is left as the player found it.
    ReleaseAudioMixer();
    // The resume point needs the graph's position: saved before it goes.
    if (settings_.ResumeFile || settings_.OpenSpecificFile) SaveLastList(true);
    if (RealControl) {
        RealControl->DoStop();
        delete RealControl.data();
    }
    // The display's overlay keeps no values of ours after the program.
    if (ColorApplied && graph_ && settings_.ResetColor && !item_.StillPicture && !item_.AudioOnly)
        ResetOverlayColor();
    // A disc keeps its place while its navigator still runs.
    CloseDvdResume(true);
    // The VMR-9 current values are stored as the object goes.
    vmr9Mixer_.reset();
    TakeColorObjects(0, nullptr);
    if (graph_) {
        graph_->Stop();
        graph_->SetNotifyWindow(nullptr, 0, 0);
        graph_.reset();
    }
    // A drive slowed for the media runs at full speed again once they are gone.
    RestoreDriveSpeed();
    DeleteCdPlayer();
    screenSaverHold_.reset();
    suspendQuery_.reset();
    // Released now, so that the next start is a first start even while this
    // window is still being torn down.
    classServer_.reset();
    appMutex_.reset();
    ClearPlayList();
    DragAcceptFiles(false);
    SaveSettings();
}

void TZoMain::FormClose()
{
    if (fullScreen_) LeaveFullScreen();
    // A folder search or an intake that runs the event loop ends at its next
    // entry: nothing may go on adding to a window that is going.
    SetScanGoesOn(false);
}

void TZoMain::closeEvent(QCloseEvent* e)
{
    FormClose();
    TForm::closeEvent(e);
}

void TZoMain::showEvent(QShowEvent* e)
{
    TForm::showEvent(e);
    // The frame exists only now: the stored position is kept inside the
    // work area with it.
    if (!placedWithFrame_) {
        placedWithFrame_ = true;
        PlaceWindow();
    }
    LayoutControls();
    if (dvd_.Requested) {
        dvd_.Requested = false;
        StartDvd();
    }
    // The CD of the command line starts with the window, as the DVD does:
    // its first sound need not wait for the first paint.
    if (startupIntakeAtShow_) {
        startupIntakeAtShow_ = false;
        RunStartupIntake();
    }
}

void TZoMain::paintEvent(QPaintEvent* e)
{
    TForm::paintEvent(e);
    // The window is on the screen now: the command line's paths are taken
    // once this paint has reached it.
    if (!firstPaintSeen_) {
        firstPaintSeen_ = true;
        if (startupIntake_) PostMessage(WM_STARTUPINTAKE, 0, 0);
    }
}

bool TZoMain::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == ui_->ViewPanel) {
        if (e->type() == QEvent::Resize) LayoutVideoWindow();
        if (ViewPanelGesture(e)) return true;
    }
    if (TransportEvent(watched, e) || SmallControlEvent(watched, e) || PowerButtonEvent(watched, e)) return true;
    return TForm::eventFilter(watched, e);
}

// ---------------------------------------------------------------------------
// Messages

void TZoMain::Dispatch(TMessage& message)
{
    switch (message.Msg) {
    case WM_COPYDATA:
        OnCopyData(message);
        return;
    case WM_LBUTTONDOWN:
        OnLeftButton(message);
        return;
    case WM_LBUTTONUP:
        FormMouseUp(QPoint(PointParamX(message.LParam), PointParamY(message.LParam)));
        return;
    case WM_DROPFILES:
        OnDropFiles(message);
        return;
    case WM_GRAPHNOTIFY:
        OnGraphEvent();
        return;
    case WM_DVDNOTIFY:
        OnDvdEvent();
        return;
    case WM_DVDTIMEUPDATE:
        OnDvdTimeUpdate();
        return;
    case WM_STARTUPINTAKE:
        RunStartupIntake();
        return;
    case WM_KEYDOWN: {
        const WORD code = static_cast<WORD>(message.WParam);
        // A menu item's key is that item's; only other keys reach FormKeyDown.
        if (IsShortCut(code) || FormKeyDown(code)) SetEventHandled(true);
        return;
    }
    case WM_KEYUP:
        FormKeyUp(static_cast<WORD>(message.WParam));
        SetEventHandled(true);
        return;
    case WM_CHAR:
        FormKeyPress();
        SetEventHandled(true);
        return;
    default:
        if (MouseGesture(message)) return;
        TForm::Dispatch(message);
    }
}

void TZoMain::WndProc(TMessage& message)
{
    if (HoldWhileScanning(message)) return;
    switch (message.Msg) {
    case WM_MOVE:
    case WM_SIZE:
        LayoutControls();
        if (fullScreen_)
            LayoutVideoWindow();
        else
            FormResize();
        break;
    case WM_KILLFOCUS:
        // A button held while the window lost the focus gets no release.
        StopHeldCommands();
        repaintAtNextPress_ = true;
        break;
    case WM_CAPTURECHANGED:
        StopHeldCommands();
        ui_->TrackBarVolume->hide();
        ui_->BtnSound->hide();
        break;
    case WM_QUERYENDSESSION:
        close();
        message.Result = 1;
        break;
    case WM_POWERBROADCAST:
        if (message.WParam == PBT_APMQUERYSUSPEND) {
            if (EndingWindow) {
                close();
            } else if (graph_ || cdPlayer_ || RealControl) {
                if (settings_.ResumeFile || settings_.OpenSpecificFile) SaveLastList(true);
                CloseMedia();
                UpdateControlsForMedia(true);
            }
        }
        break;
    case WM_DISPLAYCHANGE:
        if (graph_) graph_->DisplayModeChanged();
        break;
    case WM_TIMER:
        // A timer held during a scan and killed meanwhile does not fire.
        if (IsTimerSet(static_cast<UINT>(message.WParam))) OnWindowTimer(static_cast<UINT>(message.WParam));
        break;
    case WM_TOOLNOTIFY:
        OnToolNotify(message.WParam, message.LParam);
        break;
    case MM_MCINOTIFY:
        OnMciNotify(message.WParam, message.LParam);
        break;
    default:
        break;
    }
    TForm::WndProc(message);
}

void TZoMain::OnWindowTimer(UINT id)
{
    switch (id) {
    case kHidePanelsTimer: {
        // Hide the volume area once the cursor has left it.
        const QPoint p = mapFromGlobal(QCursor::pos());
        const QRect bar = ui_->TrackBarVolume->geometry();
        const QRect area(bar.left() - 5, bar.top() - 15, ClientWidth() + 10 - (bar.left() - 5),
                         ClientHeight() + 10 - (bar.top() - 15));
        if (!area.contains(p)) {
            ui_->TrackBarVolume->hide();
            ui_->BtnSound->hide();
            KillTimer(kHidePanelsTimer);
        }
        break;
    }
    case kHeldRepeatTimer:
        RepeatHeldStep();
        break;
    case kFrameStepTimer:
        // The button's image tells the direction.
        if (heldButtons_.StepFrame)
            FrameStep(ButtonImageIndex(ui_->BtnStepFrame) == ToolImage::StepForward);
        else
            KillTimer(kFrameStepTimer);
        break;
    case kColorControlsTimer:
        KillTimer(id);
        LoadOverlayColor();
        break;
    case kRealMediaEndTimer:
        RealMediaEnded();
        break;
    case kDvdSeekTimer:
        DoDvdDeferredSeek();
        break;
    case kCdNotifyTimer:
        KillTimer(id);
        if (cdPlayer_) cdPlayer_->suppressNotify = false;
        break;
    case kStillPictureTimer: {
        ui_->TxtInfo->hide();
        if (item_.StillPicture && ui_->NContinuousPlay->isChecked() && SlideShowRunning()) {
            KillTimer(kStillPictureTimer);
            if (!playList_.IsAtLastPosition(ui_->MShuffle->isChecked()) || LoopsWithoutPowerAction())
                PlayNextFile();
            else
                HandleEndOfMedia();
        }
        break;
    }
    case kStatusTextTimer:
        KillTimer(kStatusTextTimer);
        ui_->TxtInfo->hide();
        ui_->TxtInfo->clear();
        break;
    default:
        break;
    }
}

void TZoMain::DeleteToolWindow(QPointer<QWidget>& window)
{
    // The window that posted the notice may still be on the call stack of
    // its own close handling; it goes once the event loop is back.
    if (window) window->deleteLater();
    window = nullptr;
}

void TZoMain::FreeClosedLibraryViewers()
{
    // A window that runs one of its own dialogs stays.
    for (QPointer<QWidget>* w : {&LibraryViewer, &FolderViewer, &ListViewer}) {
        const auto* viewer = qobject_cast<const TMediaViewer*>(w->data());
        if (*w && !(viewer && viewer->Busy())) DeleteToolWindow(*w);
    }
}

void TZoMain::OnLibraryRequest(LibraryRequest request)
{
    FreeClosedLibraryViewers();
    switch (request) {
    case LibraryRequest::OpenViewerPath:
        // The library asks to play the folder or list in ViewerPath.
        if (!viewerPath_.isEmpty()) {
            CloseMedia();
            UpdateControlsForMedia(false);
            TPathIntake how;
            how.reader = TPathIntake::Reader::FolderOrList;
            TakePaths({viewerPath_}, how);
        }
        break;
    case LibraryRequest::PlayListIndex:
        if (cdPlayer_) {
            // The track chosen in the library; its end is not the disc's.
            cdPlayer_->suppressNotify = true;
            cdPlayer_->PlayTrack(playList_.ListIndex() + 1);
        } else if (!dvd_.Mode && playList_.IsValidIndex(playList_.ListIndex())) {
            addingItems_ = true;
            CloseMedia();
            OpenFileActivated(playList_.Item(playList_.ListIndex()).Path);
            addingItems_ = false;
        }
        break;
    case LibraryRequest::PlayFromStart:
        if (!playList_.IsEmpty()) {
            openedPath_ = playList_.Item(0).Path;
            PlayListItem(true, false);
        }
        addingItems_ = false;
        break;
    case LibraryRequest::OpenDrive:
        // The library opens a drive: its audio CD plays.
        if (!viewerPath_.isEmpty() && DriveHoldsAudioCd(viewerPath_)) StartAudioCd();
        break;
    case LibraryRequest::StartDvd:
        if (!viewerPath_.isEmpty()) StartDvd();
        break;
    case LibraryRequest::Nothing:
        break;
    }
}

void TZoMain::OnToolNotify(WPARAM wParam, LPARAM lParam)
{
    // A window deleted here may still be on the call stack of its own close
    // handling: DeleteToolWindow lets it go once the event loop is back.
    switch (static_cast<ToolNotice>(wParam)) {
    case ToolNotice::LibraryRequest:
        OnLibraryRequest(static_cast<LibraryRequest>(lParam));
        break;
    case ToolNotice::CaptureClosed:
        if (CaptureWindow) DeleteToolWindow(CaptureWindow);
        // The flip items the capture showed go with it, and a graph built
        // for capture goes back to the plain one, where the file stood.
        ui_->MenuFlipVideo->menuAction()->setVisible(false);
        if (graph_ && !dvd_.Mode && (CaptureRebuiltGraph || graph_->HasCaptureBranch())) {
            CaptureRebuiltGraph = false;
            if (FAILED(RebuildFileGraphInPlace())) ShowCannotPlay();
        }
        break;
    case ToolNotice::ListEditorClosed: {
        QPointer<QWidget>& editor = lParam == kPlayListEditor ? ListEditWindow : LibraryEditWindow;
        if (editor) {
            DeleteToolWindow(editor);
            SetWindowTopmost(ui_->PMForeground->isChecked());
        }
        break;
    }
    case ToolNotice::FileBrowserClosed:
        if (FileBrowserWindow) {
            DeleteToolWindow(FileBrowserWindow);
            SetWindowTopmost(ui_->PMForeground->isChecked());
        }
        break;
    case ToolNotice::CountdownClosed:
        if (EndingWindow) DeleteToolWindow(EndingWindow);
        break;
    case ToolNotice::BookmarksClosed:
        if (BookmarkWindow) BookmarkDlgClosed();
        break;
    }
}

void TZoMain::PostToolNotice(ToolNotice notice, LPARAM code)
{
    PostMessage(WM_TOOLNOTIFY, static_cast<WPARAM>(notice), code);
}

void TZoMain::OnDropFiles(TMessage& message)
{
    auto drop = reinterpret_cast<HDROP>(message.WParam);
    // While paths are taken or a graph starts, a drop would replace the list
    // under them: it is released unread.
    if (addingItems_ || item_.GraphStarting) {
        DragFinish(drop);
        return;
    }
    if (dvd_.Mode && dvd_.Playing &&
        MessageBox(this, QStringLiteral("DVDを再生中です。\n停止してよろしいですか？"), QStringLiteral("確認"),
                   MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) != IDYES) {
        DragFinish(drop);
        return;
    }
    // Names are taken whole, whatever their length.
    const UINT count = DragQueryFileCount(drop);
    QStringList names;
    for (UINT i = 0; i < count; ++i) names << DragQueryFile(drop, i);
    // Shift appends to the list (not to a DVD); Ctrl inverts SerchFiles for this drop.
    addingItems_ = true;
    const bool append = IsShiftHeld() && !dvd_.Mode;
    const bool siblings = settings_.SerchFiles != IsCtrlHeld();
    if (!append) {
        CloseMedia();
        UpdateControlsForMedia(false);
    }
    if (!names.isEmpty() && GetFileExtension(names.first()) == QLatin1String("ifo")) {
        // A DVD's information file first: the disc of its folder plays, the other names are not taken.
        DragFinish(drop);
        viewerPath_ = ExtractFileDir(names.first());
        StartDvd();
        addingItems_ = false;
        return;
    }
    TPathIntake how;
    how.showSearchWindow = true;
    how.siblings = siblings && !append;
    how.remember = TPathIntake::Remember::FirstPath;
    how.append = append;
    how.fromFirstEntry = true;
    how.lockOpenControls = true;
    TakePaths(names, how);
    DragFinish(drop);
    addingItems_ = false;
}

void TZoMain::SetOpenControlsEnabled(bool enabled)
{
    ui_->ToolBarSub->setEnabled(enabled);
    ui_->ToolBarPower->setEnabled(enabled);
    ui_->TBtnShowCombo->setEnabled(enabled);
    ui_->MShuffle->setEnabled(enabled);
    ui_->NProperty->setEnabled(enabled);
    ui_->PmOpen->setEnabled(enabled);
}

void TZoMain::OnGraphEvent()
{
    if (!graph_) return;
    long code = 0;
    LPARAM p1 = 0, p2 = 0;
    while (graph_ && graph_->GetEvent(&code, &p1, &p2, 0) == S_OK) {
        switch (code) {
        case media::EC_COMPLETE: {
            // A still picture stays for its time; the picture timer moves on.
            if (item_.StillPicture) break;
            // An active section loops (or the chain moves on).
            if (SectionComplete()) break;
            const bool loopOne = graph_->IsSeekable() && LoopsWithoutPowerAction() &&
                                 (playList_.Count() == 1 || !ui_->NContinuousPlay->isChecked());
            if (loopOne) {
                if (FAILED(SeekTo(0))) {
                    if (SUCCEEDED(graph_->Stop())) {
                        ui_->TrackBarForSeek->setValue(0);
                        FormatTime(0);
                        SetPlayState(psStopped);
                    }
                }
                break;
            }
            graph_->FreeEventParams(code, p1, p2);
            if (heldButtons_.Any() && ui_->NContinuousPlay->isChecked()) {
                endDeferred_ = true;
                PostMessage(WM_LBUTTONDOWN, 0, 0);
            } else {
                GoToNextEntryOrEnd();
            }
            return;
        }
        case media::EC_PAUSED:
            if (!item_.FirstPauseSeen) {
                item_.FirstPauseSeen = true;
                if (!item_.StillPicture && !item_.AudioOnly && !vmr9Mixer_ && settings_.UseColorCtrl &&
                    ui_->MIColor->isEnabled())
                    ScheduleOverlayColor();
            }
            item_.GraphStarting = false;
            // The pause takes hold a moment after it was asked for, and the
            // position read then may still have moved on: show where it rests.
            if (playState_ == psPaused && positionTimers_.File && !Timer->isActive()) ShowFilePosition();
            break;
        case media::EC_ERRORABORT:
            // A graph that fails after it was built never pauses: release the
            // guard so that drops and second starts are taken again.
            item_.GraphStarting = false;
            graph_->FreeEventParams(code, p1, p2);
            if (!item_.FirstPauseSeen) {
                ShowCannotPlay();
            } else {
                HandleEndOfMedia();
            }
            return;
        case media::EC_OLE_EVENT:
            if (p1 != 0) {
                item_.BufferingShown = true;
            } else {
                item_.BufferingShown = false;
                if (ui_->TxtInfo->isVisible()) {
                    KillTimer(kStatusTextTimer);
                    ui_->TxtInfo->hide();
                    ui_->TxtInfo->clear();
                }
            }
            // The text shows through the position timer's ticks.
            UpdatePositionTimers();
            break;
        default:
            break;
        }
        if (graph_) graph_->FreeEventParams(code, p1, p2);
    }
}

bool TZoMain::LoopsWithoutPowerAction() const
{
    return ui_->NLoop->isChecked() && !ui_->TBPowerState->isChecked();
}

void TZoMain::GoToNextEntryOrEnd()
{
    // The next entry while the list loops (and no power action waits),
    // else the end of the media.
    if (LoopsWithoutPowerAction() && playList_.Count() > 1)
        PlayNextFile();
    else
        HandleEndOfMedia();
}

void TZoMain::OnLeftButton(TMessage& message)
{
    Q_UNUSED(message);
    if (endDeferred_) {
        endDeferred_ = false;
        // The item ended under a held button: its repeat ends with it.
        if (heldButtons_.Any()) StopHeldCommands();
        if (!dvd_.Mode) GoToNextEntryOrEnd();
        return;
    }
    if (repaintAtNextPress_) {
        repaintAtNextPress_ = false;
        update();
    }
    // A disc-menu button under the pointer takes the press: no drag.
    const bool dvdButtonHit =
        message.WParam != 0 && SelectDvdButtonAt(QPoint(PointParamX(message.LParam), PointParamY(message.LParam)));
    if (!isMaximized() && !fullScreen_ && !dvdButtonHit && message.WParam != 0) {
        // Drag the window by its client area.
        SetEventHandled(true);
        TMessage move{WM_SYSCOMMAND, SC_MOVE | 2, 0, 0};
        DefaultHandler(move);
    }
}

void TZoMain::SetWindowTopmost(bool on) { TWindowPlacement::SetStayOnTop(this, on); }

void TZoMain::UpdateScreenSaverHold()
{
    if (!screenSaverHold_) return;
    screenSaverHold_->Set(playState_ == psPlaying && (settings_.ScreenSaver || settings_.MonitorPower));
}

// ---------------------------------------------------------------------------
// State kept on components

bool TZoMain::SlideShowRunning() const { return ButtonImageIndex(ui_->BtnStart) == 2; }
int TZoMain::KeptSortKey() const { return Tag(ui_->BtnStart); }
bool TZoMain::ScanGoesOn() const { return Tag(ui_->miFolderSerch) != 0; }
void TZoMain::SetScanGoesOn(bool on) { SetTag(ui_->miFolderSerch, on ? 1 : 0); }
int TZoMain::VolumeBarValue() const { return Tag(ui_->TrackBarVolume); }
bool TZoMain::BalanceShown() const { return Tag(ui_->BtnSound) != 0; }

// ---------------------------------------------------------------------------
// Re-entry: folder scans run the event loop (so that Stop can end them and
// the window repaints); what could close the item or open another waits.

TZoMain::ScanScope::ScanScope(TZoMain* window) : window_(window) { ++window_->scanDepth_; }

TZoMain::ScanScope::~ScanScope()
{
    if (--window_->scanDepth_ == 0) window_->ReleaseHeldMessages();
}

void TZoMain::ScanEvents() { QCoreApplication::processEvents(); }

bool TZoMain::HoldWhileScanning(const TMessage& message)
{
    if (scanDepth_ == 0) return false;
    auto heldAlready = [this, &message] {
        return std::any_of(held_.begin(), held_.end(), [&message](const TMessage& m) {
            return m.Msg == message.Msg && m.WParam == message.WParam && m.LParam == message.LParam;
        });
    };
    switch (message.Msg) {
    case WM_GRAPHNOTIFY:    // the end of media or an error would step or close the list being filled
    case WM_TIMER:          // the still picture's time would step the list
        // One of each is enough: the graph's events wait in its queue, a timer fires once when released.
        if (!heldAlready()) held_.push_back(message);
        return true;
    case WM_TOOLNOTIFY:     // a tool window's request closes and reopens
        held_.push_back(message);
        return true;
    case WM_LBUTTONDOWN:    // the release after a deferred end goes to the next entry
        if (!endDeferred_) return false;
        if (!heldAlready()) held_.push_back(message);
        return true;
    default:
        return false;
    }
}

void TZoMain::ReleaseHeldMessages()
{
    // Posted, not run here: the intake that ended the scan finishes first,
    // and a scan that starts before they arrive holds them again.
    std::vector<TMessage> held;
    held.swap(held_);
    for (const TMessage& m : held) PostMessage(m.Msg, m.WParam, m.LParam);
}
