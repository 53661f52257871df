// The window's side of audio CDs: opening a drive's disc, the device's
// notices, the CD timers, the CD menu commands, and the window as the CD
// player sees it (ICdHost).
#include "player/ZoMain.h"

#include "platform/dialogs/dialogs.h"
#include "player/units/Ccdplay.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QToolButton>

void TZoMain::StartAudioCd()
{
    if (playState_ != psNothing || !playList_.IsEmpty()) {
        CloseMedia();
        UpdateControlsForMedia(false);
    }
    DeleteCdPlayer();
    cdPlayer_ = std::make_unique<CCDPlay>(*this);
    cd_.Open = true;
    if (!viewerPath_.isEmpty()) {
        cd_.Drive = viewerPath_;
        ApplyDriveSpeed(cd_.Drive, true);
    }
    update();
    viewerPath_.clear();
    if (!cdPlayer_->Open(cd_.Drive)) {
        RestoreDriveSpeed();
        DeleteCdPlayer();
        UpdateControlsForMedia(true);
    }
}

void TZoMain::DeleteCdPlayer()
{
    if (!cdPlayer_) return;
    // Off the field first: what the destruction sets must not reach it again.
    std::unique_ptr<CCDPlay> player = std::move(cdPlayer_);
    cd_.Open = false;
    KillTimer(kCdNotifyTimer);
    player.reset();
    cd_.Drive.clear();
}

void TZoMain::OnMciNotify(WPARAM flags, LPARAM deviceId)
{
    Q_UNUSED(flags);
    // A notice of a device closed since is no longer this disc's.
    if (!cdPlayer_ || static_cast<std::uint32_t>(deviceId) != cdPlayer_->DeviceId()) return;
    cdPlayer_->OnNotify();
}

void TZoMain::SetSeekBar(int value)
{
    ignoreNextSeekChange_ = true;
    ui_->TrackBarForSeek->setValue(value);
    ignoreNextSeekChange_ = false;
}

void TZoMain::SetSeekBarMaximum(int maximum)
{
    ignoreNextSeekChange_ = true;
    ui_->TrackBarForSeek->setMaximum(maximum);
    ignoreNextSeekChange_ = false;
}

void TZoMain::CDTimerTimer()
{
    if (cdPlayer_) cdPlayer_->OnTimer();
}

void TZoMain::miOnePlayClick()
{
    // The item's check flips as it is clicked; a disc that cannot take the
    // new play range keeps the old one, and the check says so.
    if (!cdPlayer_) return;
    if (!cdPlayer_->ApplyOnePlay()) ui_->miOnePlay->setChecked(!ui_->miOnePlay->isChecked());
}

void TZoMain::miConnectCDDBClick()
{
    if (!cdPlayer_) return;
    update();
    cdPlayer_->QueryCdDatabase();
}

void TZoMain::miSaveToCDIniClick()
{
    if (cdPlayer_) cdPlayer_->SaveCdIni();
}

bool TZoMain::DriveHoldsAudioCd(const QString& drive)
{
    CDinfo info;
    if (CASPI().ReadTocSpti(&info, drive) != 1) return false;
    for (const auto& track : info.tracks)
        if (track->audio) return true;
    return false;
}

// ---- the CD player's view of the window ----

void TZoMain::ClearTracks() { ClearPlayList(); }

void TZoMain::AddTrack(const TPlayListItem& entry) { playList_.Add(entry, false, false); }

void TZoMain::ReplaceTrack(int index, const TPlayListItem& entry) { playList_.SetItem(index, entry); }

int TZoMain::TrackCount() const { return playList_.Count(); }

TPlayListItem TZoMain::Track(int index) const { return playList_.Item(index); }

int TZoMain::TrackIndex() const { return playList_.ListIndex(); }

void TZoMain::SetTrackIndex(int index) { playList_.SetListIndex(index); }

int TZoMain::StartShuffleOrder()
{
    playList_.BuildShuffleOrder();
    return playList_.HasShuffleOrder() ? playList_.ShuffleOrder().front() : -1;
}

bool TZoMain::ShuffleEntriesLeft() const { return playList_.HasShuffleOrder() && !playList_.IsAtLastPosition(true); }

void TZoMain::PlayNextEntry() { PlayNextFile(); }

bool TZoMain::OnePlayOn() const { return ui_->miOnePlay->isChecked(); }

bool TZoMain::ShuffleOn() const { return ui_->MShuffle->isChecked(); }

bool TZoMain::LoopOn() const { return ui_->NLoop->isChecked(); }

bool TZoMain::PowerActionWaiting() const { return ui_->TBPowerState->isChecked(); }

int TZoMain::ShownPlayState() const { return playState_; }

void TZoMain::ShowPlayState(int state) { SetPlayState(state); }

void TZoMain::MarkAudioOnly() { item_.AudioOnly = true; }

int TZoMain::SeekBarValue() const { return ui_->TrackBarForSeek->value(); }

int TZoMain::SeekBarMaximum() const { return ui_->TrackBarForSeek->maximum(); }

bool TZoMain::SeekBarHeld() const { return ui_->TrackBarForSeek->isSliderDown(); }

bool TZoMain::SeekBarMoved() const { return item_.SeekBarMoved; }

void TZoMain::ClearSeekBarMoved() { item_.SeekBarMoved = false; }

void TZoMain::ShowTrackLength(int seekBarMaximum, const QString& text)
{
    SetSeekBarMaximum(seekBarMaximum);
    ui_->TrackBarForSeek->setEnabled(true);
    ui_->taTime->setText(text);
}

void TZoMain::ShowElapsed(int seconds) { FormatTime(seconds); }

void TZoMain::SetTimeText(const QString& text) { ui_->tnTime->setText(text); }

void TZoMain::ShowTitle(const QString& title) { ui_->LblTitle->setText(title); }

void TZoMain::ShowArtistLine(const QString& line) { ui_->LblArtist->setText(line); }

void TZoMain::LayOutForDiscTexts()
{
    ui_->LblTitle->setVisible(true);
    ui_->LblArtist->setVisible(true);
    SizeWindowForMedia();
    LayoutControls();
}

void TZoMain::ShowCdControls(int trackCount)
{
    ui_->TBtnShowCombo->setToolTip(QStringLiteral("トラックの選択"));
    ui_->TBtnNextTrack->setToolTip(QStringLiteral("次のトラック"));
    ui_->TBtnPreviousTrack->setToolTip(QStringLiteral("前のトラック"));
    ui_->TrackBarForSeek->setContextMenuPolicy(Qt::NoContextMenu);
    ui_->miWindowSizeMenu->menuAction()->setVisible(false);
    ui_->miAspectMenu->menuAction()->setVisible(false);
    ui_->NFullScreen->setVisible(false);
    ui_->NLoop->setVisible(true);
    ui_->miOnePlay->setVisible(true);
    ui_->CDDB1->menuAction()->setVisible(true);
    ui_->NContinuousPlay->setVisible(false);
    ui_->TBtnNextTrack->setEnabled(trackCount >= 2);
    ui_->TBtnPreviousTrack->setEnabled(trackCount >= 2);
    for (QWidget* w : {static_cast<QWidget*>(ui_->BtnStepFrame), static_cast<QWidget*>(ui_->BtnSkip),
                       static_cast<QWidget*>(ui_->TBtnFastforward), static_cast<QWidget*>(ui_->TBtnRewind)})
        w->setEnabled(false);
}

void TZoMain::ShowFileControls()
{
    ui_->miOnePlay->setVisible(false);
    ui_->CDDB1->menuAction()->setVisible(false);
    ui_->NContinuousPlay->setVisible(true);
    // The file mode's menus come back with its seek-bar menu.
    ui_->miWindowSizeMenu->menuAction()->setVisible(true);
    ui_->miAspectMenu->menuAction()->setVisible(true);
    ui_->NFullScreen->setVisible(true);
    ui_->TrackBarForSeek->setContextMenuPolicy(Qt::CustomContextMenu);
    ui_->TBtnShowCombo->setToolTip(QStringLiteral("ファイルの選択"));
    ui_->TBtnNextTrack->setToolTip(QStringLiteral("次のファイル"));
    ui_->TBtnPreviousTrack->setToolTip(QStringLiteral("前のファイル"));
    ui_->miSaveToCDIni->setEnabled(false);
    // The bar showed the disc's own volume; the files' volume is its Tag.
    if (!BalanceShown()) ui_->TrackBarVolume->setValue(Tag(ui_->TrackBarVolume));
}

void TZoMain::SetVolumeBar(int percent) { ui_->TrackBarVolume->setValue(percent); }

void TZoMain::EnableSaveTitles() { ui_->miSaveToCDIni->setEnabled(true); }

QMenu* TZoMain::AddCdTextMenu()
{
    // Above the main menu's last three items.
    QMenu* main = ui_->MainPopupMenu;
    const QList<QAction*> items = main->actions();
    QAction* before = items.size() >= 3 ? items.at(items.size() - 3) : nullptr;
    auto* menu = new QMenu(QStringLiteral("CD-TEXT"), main);
    menu->menuAction()->setProperty("Tag", kCdTextMenuTag);
    main->insertMenu(before, menu);
    return menu;
}

void TZoMain::RemoveCdTextMenu(QMenu* menu)
{
    ui_->MainPopupMenu->removeAction(menu->menuAction());
    delete menu;
}

void TZoMain::SetCdTimer(bool on)
{
    if (on)
        CDTimer->start();
    else
        CDTimer->stop();
}

void TZoMain::StartNotifyTimer(unsigned ms) { SetTimer(kCdNotifyTimer, ms); }

void TZoMain::SetCdVolumeControl(CdVolumeControl* control)
{
    if (!control) ReleaseAudioMixer();
    cdVolume_ = control;
}

void TZoMain::Inform(const QString& text)
{
    MessageBox(this, text, QStringLiteral("情報"), MB_ICONINFORMATION | MB_TOPMOST);
}
