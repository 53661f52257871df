// The numbered commands, the key items of the hidden key menus with their
// KeyLatch rules, and the small menu handlers of the main window.
#include "player/ZoMain.h"
#include "player/tools/TCaptureDlg.h"

#include "player/tools/TBookmarkDlg.h"
#include "player/tools/TColorDlg.h"
#include "player/tools/TFileBrowser.h"
#include "player/tools/TListEditForm.h"
#include "player/tools/TMediaViewer.h"
#include "player/tools/TShowFilterDlg.h"
#include "player/tools/WindowPlacement.h"
#include "player/units/Shortcuts.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QToolButton>

// ---- skip rows of the command table ----

void TZoMain::SkipByCommand(int seconds, bool mouse)
{
    const bool seekable = ui_->TrackBarForSeek->isEnabled();
    // The key skips need the seek bar; the mouse skips run the graph on in any case.
    if (!mouse && !seekable) return;
    if (seekable) SkipSeconds(seconds);
    // The seek leaves the graph paused.
    if (graph_ && playState_ == psPlaying) graph_->Run();
}

void TZoMain::SkipCommand() { SkipByCommand(SkipLength(), false); }
void TZoMain::SkipBackCommand() { SkipByCommand(-SkipLength(), false); }
void TZoMain::SkipSmallCommand() { SkipByCommand(static_cast<int>(settings_.MouseCtlLength), true); }
void TZoMain::SkipBackSmallCommand() { SkipByCommand(-static_cast<int>(settings_.MouseCtlLength), true); }

bool TZoMain::MouseSkipAllowed() const { return !dvd_.Mode && !cd_.Open && !item_.RealMedia; }
bool TZoMain::LibraryButtonShown() const { return ui_->TBtnShowLibrary->isVisible(); }
bool TZoMain::FolderButtonShown() const { return ui_->TBtnShowFolder1->isVisible(); }

// ---- commands that are clicks of their menu items ----
// The items' own handlers (window size, aspect) run from their triggers.

void TZoMain::SelectedSizeCommand() { ui_->NSelectedSize->trigger(); }
void TZoMain::Size640Command() { ui_->N640->trigger(); }
void TZoMain::Size320Command() { ui_->N320->trigger(); }
void TZoMain::SourceSizeCommand() { ui_->NSouce->trigger(); }
void TZoMain::KeepSizeCommand() { ui_->miKeepSize->trigger(); }
void TZoMain::FitWindowCommand() { ui_->miWindowFix->trigger(); }
void TZoMain::SourceAspectCommand() { ui_->MIOriginalAspect->trigger(); }
void TZoMain::Aspect43Command() { ui_->MIAspect43->trigger(); }
void TZoMain::Aspect169Command() { ui_->miAspect169->trigger(); }
void TZoMain::UnlockAspectCommand() { ui_->MIUnlockAspect->trigger(); }
void TZoMain::SizeRatioAspectCommand() { ui_->miSizeRatio->trigger(); }
void TZoMain::LoopCommand() { ui_->NLoop->trigger(); }

// ---- key items ----

void TZoMain::miPlayClick()
{
    if (KeyLatch) return;
    BtnStartClick();
    KeyLatch = 1;
}

void TZoMain::miStopClick()
{
    if (KeyLatch) return;
    BtnStopClick();
    KeyLatch = 1;
}

void TZoMain::miStepFrameClick()
{
    // The step repeats by timer 3 until the key is let go.
    if (!item_.StillPicture && !heldButtons_.StepFrame) BtnStepFrameMouseDown(true);
    KeyLatch = 1;
}

void TZoMain::miStepBackClick()
{
    if (!item_.StillPicture && !heldButtons_.StepFrame) BtnStepFrameMouseDown(false);
}

// A held key's repeated presses find the repeat running: the press starts it once.
void TZoMain::miSkipClick() { BtnSkipMouseDown(true); }
void TZoMain::miSkipBackClick() { BtnSkipMouseDown(false); }
void TZoMain::miForwardClick() { TBtnFastforwardMouseDown(); }
void TZoMain::miRewindClick() { TBtnRewindMouseDown(); }

void TZoMain::miShowPlayListClick()
{
    // Set first: the viewer stands at its button when a key calls it up.
    KeyLatch = 1;
    TBtnShowComboClick();
}

void TZoMain::miShowLibViewerClick()
{
    // Set first: the viewer stands at its button when a key calls it up.
    KeyLatch = 1;
    if (LibraryButtonShown()) TBtnShowLibraryClick();
}

void TZoMain::miFoldeLibClick()
{
    // Set first: the viewer stands at its button when a key calls it up.
    KeyLatch = 1;
    if (FolderButtonShown()) TBtnShowFolder1Click();
}

void TZoMain::miPlayNextClick()
{
    if (dvd_.Mode) {
        // A disc steps one chapter per press, as the transport button does:
        // a held key's repeats do not run through the chapters.
        if (KeyLatch) return;
        DvdStepChapter(true);
    } else if (playList_.Count() >= 2 && !item_.Opening) {
        // Every repeat of a held key steps on.
        TBtnNextTrackClick();
    }
    KeyLatch = 1;
}

void TZoMain::miPlayPreviousClick()
{
    if (dvd_.Mode) {
        if (KeyLatch) return;
        DvdStepChapter(false);
    } else if (playList_.Count() >= 2 && !item_.Opening) {
        TBtnPreviousTrackClick();
    }
    KeyLatch = 1;
}

void TZoMain::miVolumeUpClick()
{
    ShowVolumeBar();
    QSlider* bar = ui_->TrackBarVolume;
    if (bar->value() < bar->maximum()) bar->setValue(bar->value() + 1);
}

void TZoMain::miVolumeDnClick()
{
    ShowVolumeBar();
    QSlider* bar = ui_->TrackBarVolume;
    if (bar->value() > 0) bar->setValue(bar->value() - 1);
}

void TZoMain::miVolumeMuteClick()
{
    if (KeyLatch) return;
    ShowVolumeBar();
    QSlider* bar = ui_->TrackBarVolume;
    // The time label keeps the volume from before the mute.
    if (bar->value() < 1) {
        bar->setValue(Tag(ui_->taTime));
        SetTag(ui_->taTime, 0);
    } else {
        SetTag(ui_->taTime, bar->value());
        bar->setValue(0);
    }
    KeyLatch = 1;
}

void TZoMain::miShowBrowserClick()
{
    if (KeyLatch) return;
    KeyLatch = 1;
    if (!FileBrowserWindow) FileBrowserWindow = new TFileBrowser(*this);
    FileBrowserWindow->show();
    FileBrowserWindow->raise();
    FileBrowserWindow->activateWindow();
}

void TZoMain::miShowEditListClick()
{
    if (KeyLatch) return;
    KeyLatch = 1;
    MiListEditClick();
}

void TZoMain::ShowLibraryEditor(int mode) { ShowListEditor(mode, LibraryEditWindow); }

// The editor reads its mode from listEditMode_ as it is made; one that is
// open already is only brought forward.
void TZoMain::ShowListEditor(int mode, QPointer<QWidget>& editor)
{
    if (!editor) {
        listEditMode_ = mode;
        editor = new TListEditForm(*this);
    }
    editor->show();
    editor->raise();
    editor->activateWindow();
}

void TZoMain::miShowCapDlgClick()
{
    if (KeyLatch) return;
    KeyLatch = 1;
    if (CaptureWindow) {
        FocusToolWindow(TToolWindow::Capture);
        return;
    }
    auto* window = new TCaptureDlg(*this, this);
    CaptureWindow = window;
    window->show();
    window->CaptureFrame();
}

void TZoMain::miChangeWindowClick()
{
    QWidget* target = FileBrowserWindow ? FileBrowserWindow.data()
                      : ListEditWindow  ? ListEditWindow.data()
                                        : BookmarkWindow.data();
    if (target) {
        target->activateWindow();
        target->setFocus();
    }
}

// The arrow items move the highlight among a DVD menu's buttons.
void TZoMain::SelectDvdMenuButton(dvd::RelativeButton direction)
{
    dvd::Navigator* n = DvdControl();
    if (n && dvd_.Mode && dvd_.Playing) n->SelectRelativeButton(direction);
}

void TZoMain::miDVDMenuUClick() { SelectDvdMenuButton(dvd::DVD_Relative_Upper); }
void TZoMain::miDVDMenuDClick() { SelectDvdMenuButton(dvd::DVD_Relative_Lower); }
void TZoMain::miDVDMenuLClick() { SelectDvdMenuButton(dvd::DVD_Relative_Left); }
void TZoMain::miDVDMenuRClick() { SelectDvdMenuButton(dvd::DVD_Relative_Right); }

void TZoMain::miShowBkmrkDlgClick() { ShowBookmarkEditor(false); }
void TZoMain::miEditSectionsClick() { ShowBookmarkEditor(true); }

void TZoMain::ShowBookmarkEditor(bool sections)
{
    if (BookmarkWindow) return;
    ApplyAlwaysOnTop();
    auto* editor = new TBookmarkDlg(*this, sections);
    BookmarkWindow = editor;
    editor->show();
    // The editor owns the entries while it is open; BookmarkDlgClosed gives them back.
    for (QAction* item : {ui_->miMakeBkmrk, ui_->miShowBkmrkDlg}) item->setEnabled(false);
    for (QMenu* menu : {ui_->MiBookMrk, ui_->miSaveAB, ui_->MIDVDBookmark}) {
        menu->setEnabled(false);
        menu->menuAction()->setEnabled(false);
    }
}

// ---- toggles ----

void TZoMain::NLoopClick() { AppendOnOffText(ui_->NLoop, true); }

void TZoMain::NContinuousPlayClick()
{
    ui_->NContinuousPlay->setChecked(!ui_->NContinuousPlay->isChecked());
    if (settings_.ShowStatus) AppendOnOffText(ui_->NContinuousPlay, true);
}

void TZoMain::PMForegroundClick()
{
    const bool on = !ui_->PMForeground->isChecked();
    ui_->PMForeground->setChecked(on);
    ui_->NDVDForeground->setChecked(on);
    // A tool window that is open keeps the player below it until it closes,
    // which applies the state then.
    const bool toolWindowOpen = BookmarkWindow || FileBrowserWindow || ListEditWindow || LibraryEditWindow;
    if (!on || !toolWindowOpen) SetWindowTopmost(on);
    if (settings_.ShowStatus) AppendOnOffText(ui_->PMForeground, true);
}

// ---- tool windows, full screen and the rest ----

void TZoMain::ShowMediaViewer(int kind, QPointer<QWidget>& viewer, QWidget* callingButton)
{
    viewerKind_ = kind;
    auto* window = new TMediaViewer(*this, callingButton);
    viewer = window;
    if (ui_->PMForeground->isChecked()) TWindowPlacement::SetStayOnTop(window, true);
    window->show();
}

void TZoMain::TBtnShowComboClick()
{
    if (playList_.IsEmpty() && !dvd_.Playing) return;
    // One viewer at a time, none while arguments are taken, a DVD still shows or the window is busy.
    if (ListViewer || ScanGoesOn() || dvd_.StillOn || addingItems_) return;
    ShowMediaViewer(TMediaLibrary::kList, ListViewer, ui_->TBtnShowCombo);
}

void TZoMain::TBtnShowLibraryClick()
{
    if (!LibraryViewer) ShowMediaViewer(TMediaLibrary::kLibrary, LibraryViewer, ui_->TBtnShowLibrary);
}

void TZoMain::TBtnShowFolder1Click()
{
    if (!FolderViewer) ShowMediaViewer(TMediaLibrary::kFolders, FolderViewer, ui_->TBtnShowFolder1);
}

int TZoMain::RememberedFolderRow() const { return Tag(ui_->MiShowLibrary); }
void TZoMain::SetRememberedFolderRow(int row) { SetTag(ui_->MiShowLibrary, row); }

void TZoMain::TBtnShowFolder1MouseUp()
{
    if (LibraryEditWindow) return;
    ui_->MiShowLibrary->setVisible(true);
    ui_->N24->setVisible(false);
    ui_->PopupLib->popup(QCursor::pos());
}

void TZoMain::TBtnShowLibraryMouseUp()
{
    if (LibraryEditWindow) return;
    ui_->MiShowLibrary->setVisible(false);
    ui_->N24->setVisible(true);
    ui_->PopupLib->popup(QCursor::pos());
}

// The pop-up of the library buttons: the folder library's editor and the library's.
void TZoMain::MiShowLibraryClick() { ShowLibraryEditor(2); }
void TZoMain::N24Click() { ShowLibraryEditor(1); }

void TZoMain::MIColorClick()
{
    if (!graph_ && !dvdBuilt_) return;
    TColorDlg dialog(*this);
    if (dialog.exec() == TColorDlg::kOk && dialog.presetsChanged()) ColorPresetsChanged();
}

void TZoMain::NShowFilterClick()
{
    TShowFilterDlg dialog(*this);
    dialog.exec();
}

void TZoMain::taTimeClick()
{
    ShowVolumeBar();
    SetTimer(kHidePanelsTimer, 1000);
}

void TZoMain::BtnListMouseUp()
{
    if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
    ui_->PmWindow->popup(QCursor::pos());
}
