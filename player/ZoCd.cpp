// The window's side of audio CDs: opening a drive's disc, the device's
// notices, the CD timers and the CD menu commands.
#include "player/ZoMain.h"

#include "player/units/Ccdplay.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QSlider>

void TZoMain::StartAudioCd()
{
    if (playState_ != psNothing || !playList_.IsEmpty()) {
        CloseMedia();
        UpdateControlsForMedia(false);
    }
    DeleteCdPlayer();
    cdPlayer_ = std::make_unique<CCDPlay>(this);
    cdOpen_ = true;
    if (!viewerPath_.isEmpty()) {
        openDriveLetter_ = viewerPath_;
        ApplyDriveSpeed(openDriveLetter_, true);
    }
    if (!cdPlayer_->Open()) {
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
    cdOpen_ = false;
    KillTimer(kCdNotifyTimer);
    player.reset();
    openDriveLetter_.clear();
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
    if (cdPlayer_) cdPlayer_->QueryCdDatabase();
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
