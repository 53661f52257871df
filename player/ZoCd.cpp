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

// ---- the CD player's view of the window ----

class TZoMain::CdHost final : public ICdHost {
public:
    explicit CdHost(TZoMain& window) : w_(window) {}

    void ClearTracks() override { w_.ClearPlayList(); }

    void AddTrack(const TPlayListItem& entry) override { w_.playList_.Add(entry, false, false); }

    void ReplaceTrack(int index, const TPlayListItem& entry) override { w_.playList_.SetItem(index, entry); }

    int TrackCount() const override { return w_.playList_.Count(); }

    TPlayListItem Track(int index) const override { return w_.playList_.Item(index); }

    int TrackIndex() const override { return w_.playList_.ListIndex(); }

    void SetTrackIndex(int index) override { w_.playList_.SetListIndex(index); }

    int StartShuffleOrder() override
    {
        w_.playList_.BuildShuffleOrder();
        return w_.playList_.HasShuffleOrder() ? w_.playList_.ShuffleOrder().front() : -1;
    }

    bool ShuffleEntriesLeft() const override { return w_.playList_.HasShuffleOrder() && !w_.playList_.IsAtLastPosition(true); }

    void PlayNextEntry() override { w_.PlayNextFile(); }

    bool OnePlayOn() const override { return w_.ui_->miOnePlay->isChecked(); }

    bool ShuffleOn() const override { return w_.ui_->MShuffle->isChecked(); }

    bool LoopOn() const override { return w_.ui_->NLoop->isChecked(); }

    bool PowerActionWaiting() const override { return w_.ui_->TBPowerState->isChecked(); }

    void StartPowerAction() override { w_.StartAfterPlaybackAction(); }

    int ShownPlayState() const override { return w_.playState_; }

    void ShowPlayState(int state) override { w_.SetPlayState(state); }

    void MarkAudioOnly() override { w_.item_.AudioOnly = true; }

    int SeekBarValue() const override { return w_.ui_->TrackBarForSeek->value(); }

    int SeekBarMaximum() const override { return w_.ui_->TrackBarForSeek->maximum(); }

    bool SeekBarHeld() const override { return w_.ui_->TrackBarForSeek->isSliderDown(); }

    bool SeekBarMoved() const override { return w_.item_.SeekBarMoved; }

    void ClearSeekBarMoved() override { w_.item_.SeekBarMoved = false; }

    void ShowTrackLength(int seekBarMaximum, const QString& text) override
    {
        w_.SetSeekBarMaximum(seekBarMaximum);
        w_.ui_->TrackBarForSeek->setEnabled(true);
        w_.ui_->taTime->setText(text);
    }

    void ShowElapsed(int seconds) override { w_.FormatTime(seconds); }

    void SetTimeText(const QString& text) override { w_.ui_->tnTime->setText(text); }

    void ShowTitle(const QString& title) override { w_.ui_->LblTitle->setText(title); }

    void ShowArtistLine(const QString& line) override { w_.ui_->LblArtist->setText(line); }

    void LayOutForDiscTexts() override
    {
        w_.ui_->LblTitle->setVisible(true);
        w_.ui_->LblArtist->setVisible(true);
        w_.SizeWindowForMedia();
        w_.LayoutControls();
    }

    void ShowCdControls(int trackCount) override
    {
        w_.ui_->TBtnShowCombo->setToolTip(QStringLiteral("トラックの選択"));
        w_.ui_->TBtnNextTrack->setToolTip(QStringLiteral("次のトラック"));
        w_.ui_->TBtnPreviousTrack->setToolTip(QStringLiteral("前のトラック"));
        w_.ui_->TrackBarForSeek->setContextMenuPolicy(Qt::NoContextMenu);
        w_.ui_->miWindowSizeMenu->menuAction()->setVisible(false);
        w_.ui_->miAspectMenu->menuAction()->setVisible(false);
        w_.ui_->NFullScreen->setVisible(false);
        w_.ui_->NLoop->setVisible(true);
        w_.ui_->miOnePlay->setVisible(true);
        w_.ui_->CDDB1->menuAction()->setVisible(true);
        w_.ui_->NContinuousPlay->setVisible(false);
        w_.ui_->TBtnNextTrack->setEnabled(trackCount >= 2);
        w_.ui_->TBtnPreviousTrack->setEnabled(trackCount >= 2);
        for (QWidget* w : {static_cast<QWidget*>(w_.ui_->BtnStepFrame), static_cast<QWidget*>(w_.ui_->BtnSkip),
                           static_cast<QWidget*>(w_.ui_->TBtnFastforward), static_cast<QWidget*>(w_.ui_->TBtnRewind)})
            w->setEnabled(false);
    }

    void ShowFileControls() override
    {
        w_.ui_->miOnePlay->setVisible(false);
        w_.ui_->CDDB1->menuAction()->setVisible(false);
        w_.ui_->NContinuousPlay->setVisible(true);
        // The file mode's menus come back with its seek-bar menu.
        w_.ui_->miWindowSizeMenu->menuAction()->setVisible(true);
        w_.ui_->miAspectMenu->menuAction()->setVisible(true);
        w_.ui_->NFullScreen->setVisible(true);
        w_.ui_->TrackBarForSeek->setContextMenuPolicy(Qt::CustomContextMenu);
        w_.ui_->TBtnShowCombo->setToolTip(QStringLiteral("ファイルの選択"));
        w_.ui_->TBtnNextTrack->setToolTip(QStringLiteral("次のファイル"));
        w_.ui_->TBtnPreviousTrack->setToolTip(QStringLiteral("前のファイル"));
        w_.ui_->miSaveToCDIni->setEnabled(false);
        // The bar showed the disc's own volume; the files' volume is its Tag.
        if (!w_.BalanceShown()) w_.ui_->TrackBarVolume->setValue(Tag(w_.ui_->TrackBarVolume));
    }

    void SetVolumeBar(int percent) override { w_.ui_->TrackBarVolume->setValue(percent); }

    void EnableSaveTitles() override { w_.ui_->miSaveToCDIni->setEnabled(true); }

    QMenu* AddCdTextMenu() override
    {
        // Above the main menu's last three items.
        QMenu* main = w_.ui_->MainPopupMenu;
        const QList<QAction*> items = main->actions();
        QAction* before = items.size() >= 3 ? items.at(items.size() - 3) : nullptr;
        auto* menu = new QMenu(QStringLiteral("CD-TEXT"), main);
        menu->menuAction()->setProperty("Tag", kCdTextMenuTag);
        main->insertMenu(before, menu);
        return menu;
    }

    void RemoveCdTextMenu(QMenu* menu) override
    {
        w_.ui_->MainPopupMenu->removeAction(menu->menuAction());
        delete menu;
    }

    void SetCdTimer(bool on) override
    {
        if (on)
            w_.CDTimer->start();
        else
            w_.CDTimer->stop();
    }

    void StartNotifyTimer(unsigned ms) override { w_.SetTimer(kCdNotifyTimer, ms); }

    void SetCdVolumeControl(CdVolumeControl* control) override
    {
        if (!control) w_.ReleaseAudioMixer();
        w_.cdVolume_ = control;
    }

    void Inform(const QString& text) override
    {
        MessageBox(&w_, text, QStringLiteral("情報"), MB_ICONINFORMATION | MB_TOPMOST);
    }

    void SetSeekBar(int value) override { w_.SetSeekBar(value); }
    bool CdTimerActive() const override { return w_.CdTimerActive(); }
    TForm* NoticeWindow() override { return &w_; }

private:
    TZoMain& w_;
};

void TZoMain::CdHostDeleter::operator()(CdHost* host) const { delete host; }

void TZoMain::StartAudioCd()
{
    if (playState_ != psNothing || !playList_.IsEmpty()) {
        CloseMedia();
        UpdateControlsForMedia(false);
    }
    DeleteCdPlayer();
    if (!cdHost_) cdHost_.reset(new CdHost(*this));
    cdPlayer_ = std::make_unique<CCDPlay>(*cdHost_);
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
