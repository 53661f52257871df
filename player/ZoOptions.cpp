// What the options dialog sees of the main window and how the window follows
// the settings it confirmed.
#include "player/ZoMain.h"

#include "platform/instance/instance.h"
#include "player/tools/TBookmarkDlg.h"
#include "player/units/Ccdplay.h"
#include "ui_ZoMain.h"

#include <QApplication>
#include <QEvent>

namespace {

// Keeps the tool tips of one window back while its hints are off.
class THintGate : public QObject {
public:
    explicit THintGate(QWidget* window) : QObject(window), window_(window) {}
    bool on = true;
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (on || e->type() != QEvent::ToolTip || !watched->isWidgetType()) return false;
        return static_cast<QWidget*>(watched)->window() == window_;
    }

private:
    QWidget* window_;
};

}  // namespace

TWindowOptions TZoMain::WindowOptions() const
{
    TWindowOptions o;
    o.powerButtonVisible = settings_.ShowPowerState;
    o.viewerButtonsVisible = settings_.UseViewer;
    o.keepSize = ui_->miKeepSize->isChecked();
    o.aspectLock = ui_->miWindowFix->isChecked();
    o.hints = settings_.ShowHint;
    o.dvdOpen = dvd_.Mode;
    o.audioCdOpen = cd_.Open && cdPlayer_;
    if (cdPlayer_)
        o.cdFlags = {cdPlayer_->autoConnect, cdPlayer_->readCdText, cdPlayer_->searchCdIni, cdPlayer_->iniAutoSave,
                     cdPlayer_->convertToHalf};
    return o;
}

void TZoMain::ApplyOptions(const TMainSettings& before, const TWindowOptions& chosen, TShownSheets shown)
{
    auto was = [&](TOptionSheet sheet) { return shown[size_t(sheet)]; };
    if (was(TOptionSheet::Power) && !dvd_.Mode) {
        ui_->TBPowerState->setChecked(settings_.PowerControl);
        UpdatePowerCaption();
    }
    if (was(TOptionSheet::Display)) {
        ui_->miKeepSize->setChecked(chosen.keepSize);
        QAction* sizes[] = {ui_->NSelectedSize, ui_->N640, ui_->N320, ui_->NSouce};
        for (QAction* a : sizes) a->setChecked(false);
        if (!chosen.keepSize && settings_.WindowSize <= 3) sizes[settings_.WindowSize]->setChecked(true);
        QAction* aspects[] = {ui_->MIOriginalAspect, ui_->miSizeRatio, ui_->MIAspect43, ui_->miAspect169,
                              ui_->MIUnlockAspect};
        aspects[settings_.AspectRatio <= 4 ? settings_.AspectRatio : 0]->setChecked(true);
        SetTag(ui_->miAspectRatio, static_cast<int>(settings_.AspectRatio));
        // The lock's own command reads its check: set it first.
        const bool lockWas = ui_->miWindowFix->isChecked();
        ui_->miWindowFix->setChecked(chosen.aspectLock);
        const bool videoOpen = !item_.Path.isEmpty() && !item_.AudioOnly && !dvd_.Mode;
        const bool aspectChanged =
            before.AspectRatio != settings_.AspectRatio || before.GetVideoSize != settings_.GetVideoSize;
        if (videoOpen && aspectChanged) ReadVideoSize();
        if (videoOpen && before.WindowSize != settings_.WindowSize) {
            ApplyWindowSize(true);
            LayoutVideoWindow();
            if (!isMaximized() && !fullScreen_) RememberVideoPanelSize();
        } else {
            if (videoOpen && aspectChanged && !item_.StillPicture) FitWindowToAspect();
            if (!lockWas && chosen.aspectLock) miWindowFixClick();
        }
    }
    // One window for every start while MakeNewWindow is off: the lock tells
    // the next start to hand its arguments over.
    if (was(TOptionSheet::Play)) {
        if (!settings_.MakeNewWindow && !appMutex_) {
            bool existed = false;
            appMutex_ = instance::NamedMutex::Create(QString::fromLatin1(kAppMutexName), &existed);
        } else if (settings_.MakeNewWindow && appMutex_) {
            appMutex_.reset();
        }
    }
    if (was(TOptionSheet::Operation)) {
        const bool on = settings_.UseBookmark;
        if (before.UseBookmark != on) {
            if (on) ShowBookmarkMenus();
            else ClearBookmarkMenus(true);
        }
        if (!dvd_.Mode) ui_->miBookmark2->setVisible(on);
        if (!item_.Path.isEmpty() && !dvd_.Mode && !item_.StillPicture) {
            ui_->miSaveAB->menuAction()->setVisible(on);
            ui_->miChainSections->setVisible(on);
        }
    }
    if (was(TOptionSheet::Dvd) && dvd_.Mode && before.DVDStretchVideo != settings_.DVDStretchVideo) {
        SetRendererAspectMode(!settings_.DVDStretchVideo);
        LayoutVideoWindow();
    }
    if (was(TOptionSheet::Cd) && cdPlayer_ && chosen.audioCdOpen) {
        cdPlayer_->autoConnect = chosen.cdFlags[0];
        cdPlayer_->readCdText = chosen.cdFlags[1];
        cdPlayer_->searchCdIni = chosen.cdFlags[2];
        cdPlayer_->iniAutoSave = chosen.cdFlags[3];
        cdPlayer_->convertToHalf = chosen.cdFlags[4];
    }
    if (was(TOptionSheet::Display)) ApplyHints();
    if (ui_->TBPowerState->isChecked()) UpdatePowerCaption();
    // The small tool bar: the power button and the two viewer buttons.
    settings_.UseViewer = chosen.viewerButtonsVisible;
    ui_->TBPowerState->setVisible(chosen.powerButtonVisible);
    ui_->TBtnShowFolder1->setVisible(chosen.viewerButtonsVisible);
    ui_->TBtnShowLibrary->setVisible(chosen.viewerButtonsVisible);
    LayoutControls();
}

void TZoMain::BookmarksDeleted()
{
    if (!dvd_.Mode) return;
    DvdBookmarkMenu().RemoveFrom(3);
    if (auto* editor = qobject_cast<TBookmarkDlg*>(BookmarkWindow.data())) editor->Refresh();
}

void TZoMain::ApplyHints()
{
    if (!hintGate_) {
        hintGate_ = new THintGate(this);
        qApp->installEventFilter(hintGate_);
    }
    static_cast<THintGate*>(hintGate_)->on = settings_.ShowHint;
}
