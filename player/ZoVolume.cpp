// The volume bar: the graph's volume and balance, and for media that play
// outside the graph (RealMedia clips, audio CDs) a line of the sound card's mixer.
#include "player/ZoMain.h"

#include "player/units/Dvdpipeline.h"

#include "ui_ZoMain.h"

#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>

bool TZoMain::HasGraphAudio() const
{
    long level = 0;
    if (graph_) return graph_->get_Volume(&level) == S_OK;
    const dvd::DvdPlayer* dvdPlayer = DvdPipeline();
    return dvdPlayer && dvdPlayer->get_Volume(&level) == S_OK;
}

void TZoMain::SetAudioVolume()
{
    const long level = VolumeLevel(VolumeBarValue());
    if (graph_) {
        graph_->put_Volume(level);
    } else if (dvd::DvdPlayer* dvdPlayer = DvdPipeline()) {
        dvdPlayer->put_Volume(level);
    }
}

void TZoMain::TrackBarVolumeChange(int position)
{
    if (BalanceShown()) {
        if (!HasGraphAudio()) return;
        const int snapped = SnappedBalancePosition(position);
        if (snapped != position) {
            const QSignalBlocker quiet(ui_->TrackBarVolume);
            ui_->TrackBarVolume->setValue(snapped);
        }
        if (graph_) graph_->put_Balance(BalanceOfPosition(snapped));
        else if (dvd::DvdPlayer* dvdPlayer = DvdPipeline())
            dvdPlayer->put_Balance(BalanceOfPosition(snapped));
        return;
    }
    if (fullScreen_ && settings_.ShowStatus) ShowStatusText(QStringLiteral("ボリューム %1").arg(position));
    // An audio CD's volume is its device's, not the stored one.
    if (!cd_.Open) SetTag(ui_->TrackBarVolume, position);
    if (HasGraphAudio()) {
        SetAudioVolume();
        return;
    }
    const bool realMediaPlays = item_.RealMedia && !graph_ && playState_ != psNothing;
    if (!cd_.Open && !realMediaPlays) return;
    // The line keeps its level until the bar moves: the mixer is made now.
    AudioMixer()->SetVolume(cd_.Open ? CAudioMixer::CompactDisc : CAudioMixer::Wave,
                            static_cast<long>(position) * mixer::kMaxVolume / 100);
}

void TZoMain::BtnSoundClick()
{
    QToolButton* button = ui_->BtnSound;
    QSlider* bar = ui_->TrackBarVolume;
    if (!BalanceShown()) {
        // Only the graph has a balance.
        long balance = 0;
        if (!graph_ || graph_->get_Balance(&balance) != S_OK) return;
        button->setText(QStringLiteral("bal."));
        SetTag(button, 1);
        const QSignalBlocker quiet(bar);
        bar->setValue(PositionOfBalance(balance));
        return;
    }
    button->setText(QStringLiteral("vol."));
    SetTag(button, 0);
    button->setToolTip(QStringLiteral("バランスを表示"));
    bar->setToolTip(QStringLiteral("ボリューム"));
    const QSignalBlocker quiet(bar);
    bar->setValue(VolumeBarValue());
}

void TZoMain::ShowVolumeBar()
{
    if (BalanceShown()) BtnSoundClick();
    ui_->TrackBarVolume->show();
    ui_->BtnSound->show();
    ui_->TrackBarVolume->raise();
    ui_->BtnSound->raise();
}

CAudioMixer* TZoMain::AudioMixer()
{
    if (!mixer_) mixer_ = mixerFactory_ ? mixerFactory_(cdVolume_) : CAudioMixer::ForSoundCard(cdVolume_);
    return mixer_.get();
}

void TZoMain::ReleaseAudioMixer()
{
    if (!mixer_) return;
    if (settings_.ResetAudioMixer) mixer_->RestoreVolume();
    mixer_.reset();
}

void TZoMain::ApplyRealMediaVolume()
{
    if (!settings_.VolumeAuto) return;
    AudioMixer()->SetVolume(CAudioMixer::Wave, static_cast<long>(VolumeBarValue()) * mixer::kMaxVolume / 100);
}
