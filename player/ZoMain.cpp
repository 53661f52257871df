// Life cycle of the main window, its message map and window procedure, the
// window timers, tool-window notices, dropped files and file-graph events.
#include "player/ZoMain.h"

#include "platform/dialogs/dialogs.h"
#include "platform/instance/instance.h"
#include "platform/paths/paths.h"
#include "platform/power/screensaver.h"
#include "platform/registry/registry.h"
#include "player/units/Imagelist.h"
#include "player/units/Reghelp.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSlider>
#include <QToolButton>

const char* const kAppMutexName = "Zoraavel_Applocation";
const char* const kMainWindowClass = "TZoMain";

TZoMain* ZoMain = nullptr;

int Tag(const QObject* component) { return component ? component->property("Tag").toInt() : 0; }

void SetTag(QObject* component, int value)
{
    if (component) component->setProperty("Tag", value);
}

TZoMain::TZoMain(const QStringList& arguments) : arguments_(arguments)
{
    ZoMain = this;
    // Form resource and the form's own timers.
    ui_ = new Ui::TZoMain;
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
    // The end of the session (also SIGTERM and SIGHUP) closes the window as
    // the user would; a signal that comes while it is still being built is
    // taken once its message loop runs.
    InstallSessionEndHandler(this);

    // 1. The play list starts empty; strings start empty.
    viewerPath_.clear();
    openedPath_.clear();
    // 2-3. The screen saver and the monitor's power saving are held off
    // while playing (by `ScreenSaver` and `MonitorPower`).
    screenSaverHold_ = std::make_unique<power::ScreenSaverHold>();
    // 4. Accept dropped files.
    DragAcceptFiles(true);
    // 5. Settings.
    LoadSettings();
    // 6. The view panel's events come through the window first.
    ui_->ViewPanel->installEventFilter(this);
    // 7. Hold the single-instance mutex unless every start opens its own window.
    if (!settings_.MakeNewWindow) {
        bool existed = false;
        appMutex_ = instance::NamedMutex::Create(QString::fromLatin1(kAppMutexName), &existed);
    }
    classServer_ = std::make_unique<instance::WindowClassServer>(
        this, QString::fromLatin1(kMainWindowClass), [this](WPARAM sender) { OnCopyDataSenderGone(sender); });
    // 9. Aspect menu.
    ApplySettingsToControls();
    // 10. Client size 290 x 60 when empty.
    setMinimumSize(120, 60);
    SetClientSize(290, 60);
    // 11. Placement inside the work area of the monitor.
    PlaceWindow();
    // 13. Rate, play state, bookmark items.
    playbackRate_ = 1.0;
    playState_ = psNothing;
    if (!settings_.UseBookmark) {
        ui_->miBookmark2->setVisible(false);
        ui_->miSaveAB->menuAction()->setVisible(false);
        ui_->miChainSections->setVisible(false);
    }
    // 15. Command line, always-on-top included.
    HandleCommandLine();
}

TZoMain::~TZoMain()
{
    FormDestroy();
    delete ui_;
    if (ZoMain == this) ZoMain = nullptr;
}

void TZoMain::FormDestroy()
{
    if (destroyed_) return;
    destroyed_ = true;
    // 1. Timers.
    KillTimer(15);
    Timer->stop();
    RMTimer->stop();
    MouseTimer->stop();
    DVDTimer->stop();
    KillTimer(5);
    KillTimer(1);
    KillTimer(2);
    KillTimer(3);
    // 2. Shuffle order.
    playList_.ClearShuffleOrder();
    // 3. Pending arguments and tool windows.
    pendingArguments_.reset();
    for (QPointer<QWidget>* w : {&LibraryViewer, &FolderViewer, &ListViewer, &BookmarkWindow, &CaptureWindow,
                                 &FileBrowserWindow, &ListEditWindow, &EndingWindow}) {
        delete w->data();
        *w = nullptr;
    }
    // 5. Last list and resume point.
    if (settings_.ResumeFile || settings_.OpenSpecificFile) SaveLastList(true);
    // 8. The graph.
    if (graph_) {
        graph_->Stop();
        graph_->SetNotifyWindow(nullptr, 0, 0);
        graph_.reset();
    }
    screenSaverHold_.reset();
    // 10. Mutex handle and the window's class registration.
    classServer_.reset();
    appMutex_.reset();
    // 11. Play list.
    ClearPlayList();
    // 12. Dropped files.
    DragAcceptFiles(false);
    // 13. Settings.
    SaveSettings();
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
    if (dvdRequested_) {
        dvdRequested_ = false;
        StartDvd();
    }
}

bool TZoMain::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == ui_->ViewPanel && e->type() == QEvent::Resize) LayoutVideoWindow();
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
    case WM_DROPFILES:
        OnDropFiles(message);
        return;
    case WM_GRAPHNOTIFY:
        OnGraphEvent();
        return;
    default:
        TForm::Dispatch(message);
    }
}

void TZoMain::WndProc(TMessage& message)
{
    switch (message.Msg) {
    case WM_MOVE:
    case WM_SIZE:
        LayoutControls();
        LayoutVideoWindow();
        break;
    case WM_KILLFOCUS:
        if (graph_ && playState_ == psPlaying && mouseButtonHeld_) graph_->Run();
        mouseButtonHeld_ = false;
        KillTimer(11);
        KillTimer(3);
        SetButtonImage(ui_->BtnSkip, 5);
        SetButtonImage(ui_->BtnStepFrame, 4);
        repaintAtNextPress_ = true;
        break;
    case WM_CAPTURECHANGED:
        KillTimer(11);
        KillTimer(3);
        if (graph_ && playState_ == psPlaying && mouseButtonHeld_) graph_->Run();
        SetButtonImage(ui_->BtnSkip, 5);
        SetButtonImage(ui_->BtnStepFrame, 4);
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
            } else if (graph_) {
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
        OnWindowTimer(static_cast<UINT>(message.WParam));
        break;
    case WM_TOOLNOTIFY:
        OnToolNotify(message.WParam, message.LParam);
        break;
    default:
        break;
    }
    TForm::WndProc(message);
}

void TZoMain::OnWindowTimer(UINT id)
{
    switch (id) {
    case 1: {
        // Hide the volume area once the cursor has left it.
        const QPoint p = mapFromGlobal(QCursor::pos());
        const QRect bar = ui_->TrackBarVolume->geometry();
        const QRect area(bar.left() - 5, bar.top() - 15, ClientWidth() + 10 - (bar.left() - 5),
                         ClientHeight() + 10 - (bar.top() - 15));
        if (!area.contains(p)) {
            ui_->TrackBarVolume->hide();
            ui_->BtnSound->hide();
            KillTimer(1);
        }
        break;
    }
    case 2:
    case 3:
    case 11:
    case 14:
    case 15:
    case 16:
        KillTimer(id);
        break;
    case 5: {
        ui_->TxtInfo->hide();
        if (stillPicture_ && ui_->NContinuousPlay->isChecked() && ButtonImageIndex(ui_->BtnStart) == 2) {
            KillTimer(5);
            if (!playList_.IsAtLastPosition(ui_->MShuffle->isChecked()) || LoopsWithoutPowerAction())
                PlayNextFile();
            else
                HandleEndOfMedia();
        }
        break;
    }
    case 13:
        KillTimer(13);
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
    for (QPointer<QWidget>* w : {&LibraryViewer, &FolderViewer, &ListViewer}) {
        if (*w && !(*w)->isVisible()) DeleteToolWindow(*w);
    }
}

void TZoMain::OnToolNotify(WPARAM wParam, LPARAM lParam)
{
    switch (wParam) {
    case 0:
        FreeClosedLibraryViewers();
        switch (lParam) {
        case 1:
            if (!viewerPath_.isEmpty()) {
                CloseMedia();
                UpdateControlsForMedia(false);
                addingItems_ = true;
                SetTag(ui_->miFolderSerch, 1);
                if (IsExistingFolder(viewerPath_))
                    AddFolder(viewerPath_);
                else
                    AddPathOrPlayList(viewerPath_);
                SetTag(ui_->miFolderSerch, 0);
                if (playList_.IsEmpty())
                    ShowNoFileNotice();
                else
                    PlayListItem(true, true);
                addingItems_ = false;
            }
            break;
        case 2:
            if (!dvdMode_ && playList_.IsValidIndex(playList_.ListIndex())) {
                addingItems_ = true;
                CloseMedia();
                OpenFileActivated(playList_.Item(playList_.ListIndex()).Path);
                addingItems_ = false;
            }
            break;
        case 3:
            if (!playList_.IsEmpty()) {
                openedPath_ = playList_.Item(0).Path;
                PlayListItem(true, false);
            }
            addingItems_ = false;
            break;
        case 4:
            break;
        case 5:
            if (!viewerPath_.isEmpty()) StartDvd();
            break;
        default:
            break;
        }
        break;
    case 1:
        if (CaptureWindow) DeleteToolWindow(CaptureWindow);
        break;
    case 2:
        if (lParam == 0) {
            if (ListEditWindow) {
                DeleteToolWindow(ListEditWindow);
                SetWindowTopmost(ui_->PMForeground->isChecked());
            }
        } else if (LibraryEditWindow) {
            DeleteToolWindow(LibraryEditWindow);
            SetWindowTopmost(ui_->PMForeground->isChecked());
        }
        break;
    case 3:
        if (FileBrowserWindow) {
            DeleteToolWindow(FileBrowserWindow);
            SetWindowTopmost(ui_->PMForeground->isChecked());
        }
        break;
    case 4:
        if (EndingWindow) DeleteToolWindow(EndingWindow);
        break;
    case 5:
        if (BookmarkWindow) {
            DeleteToolWindow(BookmarkWindow);
            dialogOpen_ = false;
            SetWindowTopmost(ui_->PMForeground->isChecked());
        }
        break;
    default:
        break;
    }
}

void TZoMain::OnDropFiles(TMessage& message)
{
    auto drop = reinterpret_cast<HDROP>(message.WParam);
    // 1. Busy: the drop is released unread.
    if (addingItems_ || graphStarting_) {
        DragFinish(drop);
        return;
    }
    // 2. A playing DVD is stopped only when the user agrees.
    if (dvdMode_ && dvdPlaying_ &&
        MessageBox(this, QStringLiteral("DVDを再生中です。\n停止してよろしいですか？"), QStringLiteral("確認"),
                   MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) != IDYES) {
        DragFinish(drop);
        return;
    }
    // 3.
    addingItems_ = true;
    const bool serchFiles = settings_.SerchFiles;
    if (IsCtrlHeld()) settings_.SerchFiles = !settings_.SerchFiles;
    // 4.
    appendToList_ = IsShiftHeld() && !dvdMode_;
    if (!appendToList_) {
        CloseMedia();
        UpdateControlsForMedia(false);
    }
    // 5.
    SetTag(ui_->miFolderSerch, 1);
    SetOpenControlsEnabled(false);
    // 6. Names are taken whole, whatever their length.
    const UINT count = DragQueryFileCount(drop);
    QStringList names;
    for (UINT i = 0; i < count; ++i) names << DragQueryFile(drop, i);
    bool ifoFirst = false;
    for (UINT i = 0; i < count; ++i) {
        const QString& name = names[static_cast<int>(i)];
        if (i == 0 && GetFileExtension(name) == QLatin1String("ifo")) {
            ifoFirst = true;
            break;
        }
        if (i == 0 && IsExistingFile(name)) settings_.InitialDir = ExtractFileDir(name);
        AddArgument(name, static_cast<int>(i) + 1, true);
        if (Tag(ui_->miFolderSerch) == 0) break;
    }
    // 7.
    DragFinish(drop);
    if (ifoFirst) {
        // 8.
        viewerPath_ = ExtractFileDir(names.first());
        StartDvd();
    } else if (!appendToList_) {
        // 9.
        playList_.SetListIndex(0);
        if (count == 1 && settings_.SerchFiles && IsExistingFile(names.first()))
            AddFolderMediaFiles(names.first(), false);
        if (playList_.IsEmpty())
            ShowNoFileNotice();
        else
            PlayListItem(true, true);
    } else if (!playList_.IsEmpty()) {
        // 10.
        if (playState_ != psNothing && playList_.IsValidIndex(playList_.ListIndex()))
            UpdateCaption(playList_.Item(playList_.ListIndex()).Title);
        else
            setWindowTitle(QStringLiteral("Zoravel"));
        if (playList_.Count() > 1) {
            ui_->TBtnNextTrack->setEnabled(true);
            ui_->TBtnPreviousTrack->setEnabled(true);
        }
    }
    // 11.
    SetOpenControlsEnabled(true);
    SetTag(ui_->miFolderSerch, 0);
    settings_.SerchFiles = serchFiles;
    appendToList_ = false;
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
            if (stillPicture_) break;
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
            if (mouseButtonHeld_ && ui_->NContinuousPlay->isChecked()) {
                endDeferred_ = true;
                PostMessage(WM_LBUTTONDOWN, 0, 0);
            } else {
                GoToNextEntryOrEnd();
            }
            return;
        }
        case media::EC_PAUSED:
            if (!firstPauseSeen_) {
                firstPauseSeen_ = true;
                if (!stillPicture_ && !audioOnly_ && settings_.UseColorCtrl && ui_->MIColor->isEnabled()) {
                    if (settings_.ColorCtlWait == 0)
                        OnWindowTimer(15);
                    else
                        SetTimer(15, settings_.ColorCtlWait);
                }
            }
            graphStarting_ = false;
            break;
        case media::EC_ERRORABORT:
            // A graph that fails after it was built never pauses: release the
            // guard so that drops and second starts are taken again.
            graphStarting_ = false;
            graph_->FreeEventParams(code, p1, p2);
            if (!firstPauseSeen_) {
                ShowCannotPlay();
            } else {
                HandleEndOfMedia();
            }
            return;
        case media::EC_OLE_EVENT:
            if (p1 != 0) {
                bufferingShown_ = true;
            } else {
                bufferingShown_ = false;
                if (ui_->TxtInfo->isVisible()) {
                    KillTimer(13);
                    ui_->TxtInfo->hide();
                    ui_->TxtInfo->clear();
                }
            }
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
    mouseButtonHeld_ = false;
    if (endDeferred_) {
        endDeferred_ = false;
        if (!dvdMode_) GoToNextEntryOrEnd();
        return;
    }
    if (repaintAtNextPress_) {
        repaintAtNextPress_ = false;
        update();
    }
    if (!isMaximized() && !fullScreen_ && message.WParam != 0) {
        // Drag the window by its client area.
        SetEventHandled(true);
        TMessage move{WM_SYSCOMMAND, SC_MOVE | 2, 0, 0};
        DefaultHandler(move);
    }
}

void TZoMain::SetWindowTopmost(bool on)
{
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible) show();
}

void TZoMain::UpdateScreenSaverHold()
{
    if (!screenSaverHold_) return;
    screenSaverHold_->Set(playState_ == psPlaying && (settings_.ScreenSaver || settings_.MonitorPower));
}
