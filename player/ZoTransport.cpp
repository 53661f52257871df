// Play, pause and stop, next and previous entry, the seek bar (drag, click
// and the deferred seek), the position display, the held fast forward,
// rewind, skip and frame step, the playback rate, the volume and the status text.
#include "player/ZoMain.h"

#include "platform/realmedia/realmedia.h"
#include "player/units/Ccdplay.h"
#include "player/units/Dvdpipeline.h"
#include "player/units/Imagelist.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QFontMetrics>
#include <QLabel>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

#include <algorithm>
#include <cmath>

void TZoMain::SetPlayState(int state) { ApplyPlayState(state, true); }

void TZoMain::ResumePlay()
{
    // A DVD plays through its navigator, whatever graph the window holds.
    if (playState_ != psScan) {
        if (dvd_.Mode) {
            if (dvd::Navigator* navigator = DvdControl()) navigator->Run();
        } else if (graph_) {
            graph_->Run();
        }
    }
    ApplyPlayState(psPlaying, false);
}

void TZoMain::ApplyPlayState(int state, bool announce)
{
    playState_ = state;
    if (state == psPlaying) {
        SetButtonImage(ui_->BtnStart, StartImage::Pause);
        ui_->BtnStart->setToolTip(QStringLiteral("一時停止"));
    } else {
        SetButtonImage(ui_->BtnStart, StartImage::Play);
        ui_->BtnStart->setToolTip(QStringLiteral("再生"));
    }
    if (announce && fullScreen_ && settings_.ShowStatus) {
        switch (state) {
        case psStopped: ShowStatusText(QStringLiteral("停止")); break;
        case psPaused: ShowStatusText(QStringLiteral("一時停止")); break;
        case psPlaying: ShowStatusText(QStringLiteral("再生")); break;
        case psScan: ShowStatusText(ui_->STxtbai->text()); break;
        default: break;
        }
    }
    UpdateScreenSaverHold();
    UpdatePositionTimers();
}

void TZoMain::UpdatePositionTimers()
{
    // A held skip or step shows its own target; a paused picture moves only
    // through a drag or a deferred seek, whose tick ends the timer again.
    const bool moving = playState_ == psPlaying || playState_ == psScan || ui_->TrackBarForSeek->isSliderDown() ||
                        item_.SeekBarMoved || item_.BufferingShown;
    const auto follow = [this](QTimer* timer, bool run, void (TZoMain::*lastUpdate)()) {
        if (run == timer->isActive()) return;
        if (run) {
            timer->start();
            return;
        }
        timer->stop();
        // The last tick may lie up to an interval back: the display shows
        // where it stays. A stop shows the start itself; its seek there may
        // not have landed yet, and a read now would give the old place.
        if (lastUpdate && playState_ != psStopped) (this->*lastUpdate)();
    };
    follow(Timer, positionTimers_.File && moving, &TZoMain::ShowFilePosition);
    follow(RMTimer, positionTimers_.RealMedia && moving, &TZoMain::ShowRealPosition);
    // The DVD's display follows its navigator's time events; its timer only
    // watches for the title's end, which comes only while the disc plays.
    follow(DVDTimer, positionTimers_.Dvd && (playState_ == psPlaying || playState_ == psScan), nullptr);
}

void TZoMain::ShowFilePosition()
{
    REFERENCE_TIME position = 0;
    if (graph_ && !ui_->TrackBarForSeek->isSliderDown() && SUCCEEDED(graph_->GetCurrentPosition(&position)))
        ShowPosition(position);
}

void TZoMain::BtnStartClick()
{
    // With nothing loaded, Play brings back the last list (or the specific
    // file) where it was left; not while an open or an intake is under way.
    if ((settings_.ResumeFile || settings_.OpenSpecificFile) && !dvd_.Mode && playList_.IsEmpty() &&
        ui_->BtnStart->isEnabled() && !item_.Opening && !addingItems_ && !IsScanning()) {
        LoadLastList();
        return;
    }
    TogglePlayPause();
}

void TZoMain::TogglePlayPause()
{
    if (cdPlayer_ && !graph_) {
        cdPlayer_->TogglePause();
        return;
    }
    if (!graph_ && RealControl) {
        RealTogglePlayPause();
        return;
    }
    if (dvd_.Mode) {
        DvdTogglePlayPause();
        return;
    }
    // Nothing open: the list plays from its first entry (not while an intake
    // fills it: the intake plays it when it is done).
    if (!graph_) {
        if (!dvd_.Mode && !playList_.IsEmpty() && !addingItems_) {
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
        const bool fromStop = playState_ == psStopped;
        // A stopped stream starts again from its beginning.
        if (item_.UrlStream && fromStop) SeekTo(0);
        if (FAILED(graph_->Run())) return;
        SetPlayState(psPlaying);
        // A stopped MPEG overlay has lost its colour values.
        if (fromStop && item_.MpegDecodersFound && settings_.UseColorCtrl && !item_.AudioOnly)
            OnWindowTimer(kColorControlsTimer);
    } else if (SUCCEEDED(graph_->Pause())) {
        SetPlayState(psPaused);
    }
}

void TZoMain::BtnStopClick()
{
    if (item_.Opening) return;
    if (cdPlayer_) {
        // Stopping ends the disc's play: its notice is not a track's end.
        cdPlayer_->suppressNotify = true;
        if (playState_ == psStopped) {
            CloseMedia();
            UpdateControlsForMedia(true);
        } else {
            cdPlayer_->Stop();
        }
        return;
    }
    // Stop ends a running folder scan; while one runs, that is all it does
    // (closing the item would pull it from under the intake).
    const bool scanning = IsScanning();
    SetScanGoesOn(false);
    if (dvd_.Mode && !scanning) {
        DvdStop();
        return;
    }
    if ((!graph_ && !RealControl) || scanning) return;
    // A clip still loading (no range yet) that plays keeps playing.
    if (!graph_ && ui_->TrackBarForSeek->maximum() == 0 && playState_ == psPlaying) return;
    // A second stop closes the media.
    if (playState_ == psStopped || !ui_->BtnStart->isEnabled()) {
        if ((settings_.ResumeFile || settings_.OpenSpecificFile) && !item_.UrlStream) SaveLastList(false);
        CloseMedia();
        UpdateControlsForMedia(true);
        return;
    }
    // The section ends with the stop: the rewound item plays to its end.
    if (!dvd_.Mode) ClearSelection();
    if (!graph_) {
        RealStop();
        return;
    }
    if (item_.NoDuration || item_.UrlStream) {
        graph_->Stop();
    } else {
        // The resume file takes the stopped position in its own field: the
        // A point of a repeat section stays where it was. Without
        // ResumePosition an earlier stop's position is not the one to keep.
        item_.StoppedAt = 0;
        REFERENCE_TIME position = 0;
        if (settings_.ResumePosition && SUCCEEDED(graph_->GetCurrentPosition(&position)) && position > 0)
            item_.StoppedAt = position / kUnitsPerSeekStep;
        if (FAILED(SeekTo(0))) {
            graph_->Stop();
        } else {
            if (ui_->TrackBarForSeek->maximum() > 0) graph_->Pause();
            ShowPosition(0);
        }
    }
    SetPlayState(psStopped);
}

void TZoMain::TBtnNextTrackClick() { StepEntry(true); }

void TZoMain::TBtnPreviousTrackClick() { StepEntry(false); }

void TZoMain::StepEntry(bool forward)
{
    if (dvd_.Mode) {
        DvdStepChapter(forward);
        return;
    }
    if (cdPlayer_) {
        cdPlayer_->suppressNotify = true;
        if (forward)
            PlayNextFile();
        else
            PlayPreviousFile();
        return;
    }
    // The new entry keeps the play state of the one it replaces.
    // Not while an item opens or an intake fills the list.
    if ((!graph_ && !RealControl) || playList_.Count() < 2 || item_.Opening || addingItems_) return;
    const int state = playState_;
    if (forward)
        PlayNextFile();
    else
        PlayPreviousFile();
    if (state != psPlaying && graph_ && SUCCEEDED(graph_->Pause())) SetPlayState(state);
    // A clip pauses itself once it plays (OnPlayStateChange).
    else if (state != psPlaying && !graph_ && RealControl) SetPlayState(state);
}

HRESULT TZoMain::SeekTo(REFERENCE_TIME position, const REFERENCE_TIME* stop)
{
    if (!graph_) return E_FAIL;
    REFERENCE_TIME current = std::max<REFERENCE_TIME>(position, 0);
    REFERENCE_TIME stopAt = stop ? *stop : 0;
    return graph_->SetPositions(&current, media::AM_SEEKING_AbsolutePositioning | media::AM_SEEKING_SeekToKeyFrame,
                                stop ? &stopAt : nullptr,
                                stop ? media::AM_SEEKING_AbsolutePositioning : media::AM_SEEKING_NoPositioning);
}

void TZoMain::ShowPosition(REFERENCE_TIME position)
{
    QSlider* bar = ui_->TrackBarForSeek;
    if (bar->maximum() > 0) {
        const auto value = transport::BarValue(position, bar->maximum(), item_.Duration);
        ignoreNextSeekChange_ = true;
        bar->setValue(static_cast<int>(std::clamp<std::int64_t>(value, 0, bar->maximum())));
        ignoreNextSeekChange_ = false;
    }
    FormatTime(static_cast<int>(std::max<REFERENCE_TIME>(position, 0) / kUnitsPerSecond));
}

void TZoMain::TrackBarForSeekChange()
{
    QSlider* bar = ui_->TrackBarForSeek;
    // The program's own moves and a click being converted are not drags.
    if (ignoreNextSeekChange_ || seekBarBusy_) return;
    if (!bar->isSliderDown() || bar->maximum() <= 0) return;
    if (dvd_.Mode) {
        DvdSeekBarDragged();
        return;
    }
    if (cdPlayer_) {
        // The CD player seeks from its own timer once the bar is let go.
        FormatTime(bar->value() / 10);
        item_.SeekBarMoved = true;
        return;
    }
    if (!graph_ && !RealControl) return;
    if (item_.UrlStream && playState_ == psStopped) return;
    if (!graph_) {
        if (!item_.NoDuration) RealSeekBarChange();
        return;
    }
    // A DVD seeks through its navigator (transport::DvdBarTime gives the time it asks for).
    if (dvd_.Mode || item_.NoDuration) return;
    const REFERENCE_TIME target = transport::LimitSeek(
        transport::BarTarget(item_.Duration, bar->value(), bar->maximum()), item_.Duration, item_.MpegDecodersFound,
        kMpegSeekEndMargin);
    if (!settings_.ReduceSeekingLoad && !item_.AudioOnly) {
        if (FAILED(SeekTo(target))) return;
    } else {
        // Sound only (or with ReduceSeekingLoad) the position timer seeks.
        item_.SeekBarMoved = true;
        UpdatePositionTimers();
    }
    FormatTime(static_cast<int>(target / kUnitsPerSecond));
}

void TZoMain::TrackBarForSeekEnter(int x)
{
    // Every way out clears the flag: a refused click must not block the drags after it.
    const QScopedValueRollback<bool> busy(seekBarBusy_, true);
    QSlider* bar = ui_->TrackBarForSeek;
    const int max = bar->maximum();
    if (max < 1) return;
    if (item_.UrlStream && playState_ == psStopped) return;
    if ((!graph_ && !cdPlayer_ && !RealControl && !dvd_.Mode) || item_.NoDuration) return;
    const QRect groove = SliderPart(bar, QStyle::SC_SliderGroove);
    const auto clicked = transport::ClickValue(max, x, groove.left(), groove.left() + groove.width());
    if (!clicked) return;
    if (dvd_.Mode) {
        DvdSeekBarClicked(static_cast<int>(*clicked));
        return;
    }
    const int value = static_cast<int>(std::clamp<std::int64_t>(*clicked, 0, max));
    if (cdPlayer_) {
        // The CD player plays from there at its next tick.
        SetSeekBar(value);
        item_.SeekBarMoved = true;
        FormatTime(value / 10);
        return;
    }
    if (!graph_) {
        RealSeekBarClick(value);
        return;
    }
    // A playing item pauses for the seek; the position timer runs it again.
    if (playState_ == psPlaying) graph_->Pause();
    ignoreNextSeekChange_ = true;
    bar->setValue(value);
    ignoreNextSeekChange_ = false;
    item_.SeekBarMoved = true;
    UpdatePositionTimers();
    const REFERENCE_TIME target = transport::LimitSeek(transport::BarTarget(item_.Duration, value, max),
                                                       item_.Duration, item_.MpegDecodersFound, kMpegSeekEndMargin);
    // Sound only, the position timer seeks (SeekToBar).
    if (!item_.AudioOnly && FAILED(SeekTo(target))) return;
    FormatTime(static_cast<int>(target / kUnitsPerSecond));
}

void TZoMain::SeekToBar()
{
    QSlider* bar = ui_->TrackBarForSeek;
    if (!graph_ || bar->maximum() <= 0) return;
    SeekTo(transport::LimitSeek(transport::BarTarget(item_.Duration, bar->value(), bar->maximum()), item_.Duration,
                                item_.MpegDecodersFound, kMpegSeekEndMargin));
}

void TZoMain::TimerTimer()
{
    // The tick that ends a deferred seek or a buffering wait on a paused item ends the timer too.
    const auto settle = qScopeGuard([this] { UpdatePositionTimers(); });
    // During a folder scan the next tick after it does the work.
    if (!graph_ || IsScanning()) return;
    QSlider* bar = ui_->TrackBarForSeek;
    if (bar->isSliderDown()) {
        // With ReduceSeekingLoad a drag seeks at most once a tick, and only when the bar moved.
        if (item_.SeekBarMoved && settings_.ReduceSeekingLoad && !item_.AudioOnly && bar->value() != Tag(bar)) {
            SetTag(bar, bar->value());
            SeekToBar();
        }
        return;
    }
    if (item_.SeekBarMoved) {
        // The deferred seek of a drag or click: where the bar was let go.
        if (item_.AudioOnly || settings_.ReduceSeekingLoad) SeekToBar();
        if (playState_ != psPlaying || SUCCEEDED(graph_->Run())) item_.SeekBarMoved = false;
    }
    REFERENCE_TIME position = 0;
    if (FAILED(graph_->GetCurrentPosition(&position))) return;
    ShowPosition(position);
    CheckSectionLoop();
    if (item_.BufferingShown) ShowStatusText(QStringLiteral("バッファリング中"));
}

// ---- held buttons ----

int TZoMain::SkipLength() const { return Tag(ui_->BtnSkip); }

void TZoMain::TBtnFastforwardMouseDown()
{
    // The DVD's scan speeds come with its navigator.
    if (heldButtons_.Repeating() || (!graph_ && !RealControl) || dvd_.Mode || item_.NoDuration ||
        item_.StillPicture)
        return;
    // With StillSeek a playing clip pauses while the button is held.
    if (!graph_ && settings_.StillSeek && playState_ == psPlaying) RealControl->DoPause();
    // Held before the first step, so that the step leaves the file paused.
    heldButtons_.FastForward = true;
    SkipSeconds(static_cast<int>(settings_.FastForwardLength));
    SetTimer(kHeldRepeatTimer, std::max<UINT>(settings_.SeekInterval, 10));
}

void TZoMain::TBtnRewindMouseDown()
{
    if (heldButtons_.Repeating() || (!graph_ && !RealControl) || dvd_.Mode || item_.NoDuration ||
        item_.StillPicture)
        return;
    if (!graph_ && settings_.StillSeek && playState_ == psPlaying) RealControl->DoPause();
    heldButtons_.Rewind = true;
    SkipSeconds(-static_cast<int>(settings_.FastForwardLength));
    SetTimer(kHeldRepeatTimer, std::max<UINT>(settings_.SeekInterval, 10));
}

void TZoMain::BtnSkipMouseDown(bool forward)
{
    if (heldButtons_.Repeating()) return;
    // A DVD skips once per click (BtnSkipClick), in the direction of the
    // button that pressed it.
    if (dvd_.Mode) {
        SetButtonImage(ui_->BtnSkip, forward ? ToolImage::SkipForward : ToolImage::SkipBackward);
        return;
    }
    if ((!graph_ && !RealControl) || item_.NoDuration || item_.StillPicture) return;
    // The image tells the direction to the timer and to BtnSkipClick.
    SetButtonImage(ui_->BtnSkip, forward ? ToolImage::SkipForward : ToolImage::SkipBackward);
    (forward ? heldButtons_.SkipForward : heldButtons_.SkipBackward) = true;
    SkipStep(forward);
    SetTimer(kHeldRepeatTimer, kSkipRepeatMs);
}

void TZoMain::BtnStepFrameMouseDown(bool forward)
{
    if (heldButtons_.StepFrame || !graph_ || dvd_.Mode || item_.StillPicture) return;
    SetButtonImage(ui_->BtnStepFrame, forward ? ToolImage::StepForward : ToolImage::StepBackward);
    heldButtons_.StepFrame = true;
    FrameStep(forward);
    SetTimer(kFrameStepTimer, kFrameStepRepeatMs);
}

void TZoMain::BtnStepFrameMouseUp()
{
    if (!graph_) return;
    heldButtons_.StepFrame = false;
    KeyLatch = 0;
    SetButtonImage(ui_->BtnStepFrame, ToolImage::StepForward);
    KillTimer(kFrameStepTimer);
}

void TZoMain::StopHeldCommands()
{
    if (heldButtons_.SeekPaused && playState_ == psPlaying && graph_) graph_->Run();
    // A clip paused for the held button (StillSeek) plays on.
    if (heldButtons_.Repeating() && !graph_ && RealControl && settings_.StillSeek && playState_ == psPlaying)
        RealControl->DoPlay();
    KillTimer(kHeldRepeatTimer);
    KillTimer(kFrameStepTimer);
    heldButtons_ = THeldButtons();
    SetButtonImage(ui_->BtnSkip, ToolImage::SkipForward);
    SetButtonImage(ui_->BtnStepFrame, ToolImage::StepForward);
    if (ui_->TrackBarVolume->isVisible()) {
        ui_->TrackBarVolume->hide();
        ui_->BtnSound->hide();
    }
    KeyLatch = 0;
}

void TZoMain::RepeatHeldStep()
{
    // A drag of the seek bar has the position meanwhile.
    if (ui_->TrackBarForSeek->isSliderDown()) return;
    if (!graph_ && !RealControl) {
        StopHeldCommands();
        return;
    }
    const int fast = static_cast<int>(settings_.FastForwardLength);
    if (heldButtons_.FastForward)
        SkipSeconds(fast);
    else if (heldButtons_.Rewind)
        SkipSeconds(-fast);
    else if (heldButtons_.SkipForward)
        SkipSeconds(SkipLength());
    else if (heldButtons_.SkipBackward)
        SkipSeconds(-SkipLength());
    else
        KillTimer(kHeldRepeatTimer);
    // A paused clip shows the picture at its new place.
    if (!graph_ && RealControl && !settings_.StillSeek && playState_ == psPaused) {
        RealControl->DoPlay();
        RealControl->DoPause();
    }
}

void TZoMain::SkipStep(bool forward)
{
    if (dvd_.Mode) {
        DvdSkipStep(forward);
        return;
    }
    if (!graph_ && !RealControl) return;
    SkipSeconds(forward ? SkipLength() : -SkipLength());
}

void TZoMain::BtnSkipClick() { SkipStep(ButtonImageIndex(ui_->BtnSkip) == ToolImage::SkipForward); }

// ---- frame step and rate ----

bool TZoMain::AcquireFrameStepper()
{
    if (!item_.CanStep && graph_ && !item_.AudioOnly && !item_.StillPicture)
        item_.CanStep = graph_->CanStep() == S_OK;
    return item_.CanStep;
}

void TZoMain::FrameStep(bool forward)
{
    if (!graph_ || dvd_.Mode || !AcquireFrameStepper()) return;
    const bool wasPaused = playState_ == psPaused;
    HRESULT hr = S_OK;
    if (forward) {
        // The step pauses a running graph itself and waits for the pause:
        // a step sent while the graph is still running would skip frames.
        hr = graph_->Step(1);
    } else {
        if (!wasPaused && FAILED(graph_->Pause())) return;
        REFERENCE_TIME position = 0;
        hr = graph_->GetCurrentPosition(&position);
        if (SUCCEEDED(hr)) {
            double fps = 0;
            if (FAILED(graph_->GetFrameRate(&fps))) fps = 0;
            REFERENCE_TIME target = transport::StepBackTarget(position, fps, item_.Mpeg);
            hr = graph_->SetPositions(&target, media::AM_SEEKING_AbsolutePositioning, nullptr,
                                      media::AM_SEEKING_NoPositioning);
        }
    }
    // Paused even when the step itself failed after the pause.
    if (!wasPaused && graph_->State() != media::GraphState::Running) SetPlayState(psPaused);
    if (FAILED(hr) || item_.NoDuration) return;
    REFERENCE_TIME position = 0;
    if (SUCCEEDED(graph_->GetCurrentPosition(&position))) ShowPosition(position);
}

HRESULT TZoMain::SetRate(double rate)
{
    if (!graph_) return VFW_E_WRONG_STATE;
    const HRESULT hr = graph_->SetRate(rate);
    if (FAILED(hr)) return hr;
    ui_->STxtbai->setText(transport::RateText(rate));
    item_.PlaybackRate = rate;
    return hr;
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
