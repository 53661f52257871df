// Play, pause and stop, next and previous entry, the seek bar, the position
// display, the volume and the status text.
#include "player/ZoMain.h"

#include "player/units/Imagelist.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QFontMetrics>
#include <QLabel>
#include <QSlider>
#include <QToolButton>

#include <cmath>

void TZoMain::SetPlayState(int state)
{
    playState_ = state;
    if (state == psPlaying) {
        SetButtonImage(ui_->BtnStart, 2);
        ui_->BtnStart->setToolTip(QStringLiteral("一時停止"));
    } else {
        SetButtonImage(ui_->BtnStart, 0);
        ui_->BtnStart->setToolTip(QStringLiteral("再生"));
    }
    if (fullScreen_ && settings_.ShowStatus) {
        switch (state) {
        case psStopped: ShowStatusText(QStringLiteral("停止")); break;
        case psPaused: ShowStatusText(QStringLiteral("一時停止")); break;
        case psPlaying: ShowStatusText(QStringLiteral("再生")); break;
        case psScan: ShowStatusText(ui_->STxtbai->text()); break;
        default: break;
        }
    }
    UpdateScreenSaverHold();
}

void TZoMain::BtnStartClick()
{
    // Reloading the last list when nothing is loaded comes with the resume
    // files; until then Play toggles play and pause.
    TogglePlayPause();
}

void TZoMain::TogglePlayPause()
{
    // Nothing open: the list plays from its first entry (not while an intake
    // fills it: the intake plays it when it is done).
    if (!graph_) {
        if (!playList_.IsEmpty() && !addingItems_) {
            playList_.SetListIndex(0);
            OpenEntry(0);
        }
        return;
    }
    // A still picture: the slide show runs or stops (the picture timer follows the state).
    if (item_.StillPicture) {
        if (ui_->BtnStart->isEnabled()) SetPlayState(SlideShowRunning() ? psStopped : psPlaying);
        return;
    }
    if (playState_ == psStopped || playState_ == psPaused || playState_ == psScan) {
        // A stopped stream starts again from its beginning.
        if (item_.UrlStream && playState_ == psStopped) SeekTo(0);
        if (SUCCEEDED(graph_->Run())) SetPlayState(psPlaying);
    } else if (SUCCEEDED(graph_->Pause())) {
        SetPlayState(psPaused);
    }
}

void TZoMain::BtnStopClick()
{
    if (item_.Opening) return;
    // Stop ends a running folder scan; while one runs, that is all it does
    // (closing the item would pull it from under the intake).
    const bool scanning = IsScanning();
    SetScanGoesOn(false);
    if (!graph_ || scanning) return;
    // A second stop closes the media.
    if (playState_ == psStopped || !ui_->BtnStart->isEnabled()) {
        if ((settings_.ResumeFile || settings_.OpenSpecificFile) && !item_.UrlStream) SaveLastList(false);
        CloseMedia();
        UpdateControlsForMedia(true);
        return;
    }
    if (item_.NoDuration || item_.UrlStream) {
        graph_->Stop();
    } else if (FAILED(SeekTo(0))) {
        graph_->Stop();
    } else {
        if (ui_->TrackBarForSeek->maximum() > 0) graph_->Pause();
        ignoreNextSeekChange_ = true;
        ui_->TrackBarForSeek->setValue(0);
        ignoreNextSeekChange_ = false;
        FormatTime(0);
    }
    SetPlayState(psStopped);
}

void TZoMain::TBtnNextTrackClick() { StepEntry(true); }

void TZoMain::TBtnPreviousTrackClick() { StepEntry(false); }

void TZoMain::StepEntry(bool forward)
{
    // The new entry keeps the play state of the one it replaces.
    // Not while an item opens or an intake fills the list.
    if (!graph_ || playList_.Count() < 2 || item_.Opening || addingItems_) return;
    const int state = playState_;
    if (forward)
        PlayNextFile();
    else
        PlayPreviousFile();
    if (state != psPlaying && graph_ && SUCCEEDED(graph_->Pause())) SetPlayState(state);
}

HRESULT TZoMain::SeekTo(REFERENCE_TIME position, const REFERENCE_TIME* stop)
{
    if (!graph_) return E_FAIL;
    REFERENCE_TIME current = position;
    REFERENCE_TIME stopAt = stop ? *stop : 0;
    return graph_->SetPositions(&current, media::AM_SEEKING_AbsolutePositioning | media::AM_SEEKING_SeekToKeyFrame,
                                stop ? &stopAt : nullptr,
                                stop ? media::AM_SEEKING_AbsolutePositioning : media::AM_SEEKING_NoPositioning);
}

void TZoMain::TrackBarForSeekChange()
{
    QSlider* bar = ui_->TrackBarForSeek;
    if (ignoreNextSeekChange_) return;
    if (!bar->isSliderDown() || bar->maximum() <= 0 || !graph_ || item_.NoDuration) return;
    const REFERENCE_TIME duration = item_.Duration;
    REFERENCE_TIME target = duration * bar->value() / bar->maximum();
    const REFERENCE_TIME last = item_.MpegDecodersFound ? duration - kMpegSeekEndMargin : duration;
    target = std::clamp<REFERENCE_TIME>(target, 0, std::max<REFERENCE_TIME>(last, 0));
    if (!settings_.ReduceSeekingLoad && !item_.AudioOnly) {
        if (FAILED(SeekTo(target))) return;
    } else {
        // Sound only (or with ReduceSeekingLoad) the position timer seeks once the bar is let go.
        item_.SeekBarMoved = true;
    }
    FormatTime(static_cast<int>(target / kUnitsPerSecond));
}

void TZoMain::TimerTimer()
{
    // During a folder scan the next tick after it does the work.
    if (!graph_ || IsScanning()) return;
    QSlider* bar = ui_->TrackBarForSeek;
    if (bar->isSliderDown()) return;
    if (item_.SeekBarMoved) {
        // The deferred seek of a drag: where the bar was let go.
        const REFERENCE_TIME duration = item_.Duration;
        if (bar->maximum() > 0 && duration > 0) {
            REFERENCE_TIME target = duration * bar->value() / bar->maximum();
            if (item_.MpegDecodersFound) target = std::min<REFERENCE_TIME>(target, duration - kMpegSeekEndMargin);
            SeekTo(std::max<REFERENCE_TIME>(target, 0));
        }
        item_.SeekBarMoved = false;
        if (playState_ == psPlaying) graph_->Run();
    }
    REFERENCE_TIME position = 0;
    if (FAILED(graph_->GetCurrentPosition(&position))) return;
    if (bar->maximum() > 0) {
        ignoreNextSeekChange_ = true;
        bar->setValue(static_cast<int>(position / kUnitsPerSeekStep));
        ignoreNextSeekChange_ = false;
    }
    FormatTime(static_cast<int>(position / kUnitsPerSecond));
    if (item_.BufferingShown) ShowStatusText(QStringLiteral("バッファリング中"));
}

void TZoMain::ShowStatusText(const QString& text)
{
    QLabel* label = ui_->TxtInfo;
    const int fontHeight = QFontMetrics(label->font()).height();
    if (ui_->ViewPanel->height() < fontHeight) return;
    SetTimer(kStatusTextTimer, 2000);
    label->setText(text);
    label->adjustSize();
    const int right = ui_->ViewPanel->geometry().right();
    if (label->geometry().right() > right) label->resize(std::max(0, right - label->x()), label->height());
    label->show();
    label->raise();
}

void TZoMain::SaveLastList(bool takePosition)
{
    // The last list and the resume point are kept once the resume files are
    // part of the player.
    Q_UNUSED(takePosition);
}

void TZoMain::SetAudioVolume()
{
    if (!graph_) return;
    // The bar's 0..100 as a level in hundredths of dB: 20 log10 of the bar's
    // share of the 16-bit full scale, less the 96.329 dB of that scale.
    const int v = VolumeBarValue();
    long level;
    if (v <= 0) {
        level = -10000;
    } else if (v >= 100) {
        level = 0;
    } else {
        level = static_cast<long>(100.0 * (20.0 * std::log10(v * 65536.0 * 0.01) - 96.329));
        level = std::clamp(level, -10000L, 0L);
    }
    graph_->put_Volume(level);
}
