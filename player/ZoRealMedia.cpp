// RealMedia clips through the RealMedia control: opening a clip, the
// control's events, its position timer, and the transport's RealMedia
// branches (play and pause, stop, the seek bar, relative seeks).
#include "player/ZoMain.h"
#include "player/tools/TCaptureDlg.h"

#include "platform/realmedia/realmedia.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QLabel>
#include <QScopeGuard>
#include <QSlider>
#include <QToolButton>

#include <algorithm>

namespace {

// Milliseconds for a bar value of `max` steps over `duration` ms; 0 without a range.
std::int64_t BarToMs(std::int64_t duration, int value, int max)
{
    return max > 0 ? duration * value / max : 0;
}

}  // namespace

void TZoMain::DeleteRealControl()
{
    positionTimers_.RealMedia = false;
    RMTimer->stop();
    KillTimer(kRealMediaEndTimer);
    realmedia::TRealAudio* control = RealControl.data();
    RealControl = nullptr;
    if (!control) return;
    // The control may be in the middle of raising the event that ends it:
    // its pipeline stops now, its late events go nowhere, and the object
    // goes once the event is over.
    control->disconnect(this);
    control->Release();
    control->hide();
    control->deleteLater();
}

void TZoMain::PlayRealMedia(const QString& path)
{
    DeleteRealControl();
    if (playList_.ListIndex() >= 0 && playList_.ListIndex() < playList_.Count())
        UpdateCaption(EntryTitle(playList_.ListIndex()));
    realCaptionBase_ = windowTitle();

    realmedia::TRealAudio* control = RealControlFactory ? RealControlFactory(this, ui_->ViewPanel)
                                                        : new realmedia::TRealAudio(this, ui_->ViewPanel);
    RealControl = control;
    control->SetProperty(106, true);
    control->SetProperty(103, QStringLiteral("_master"));
    control->SetProperty(104, QStringLiteral("ImageWindow"));
    control->SetRenderer(static_cast<int>(settings_.Renderer));
    connect(control, &realmedia::TRealAudio::ClipOpened, this, &TZoMain::OnClipOpened);
    connect(control, &realmedia::TRealAudio::PlayStateChange, this, &TZoMain::OnPlayStateChange);
    connect(control, &realmedia::TRealAudio::ClipClosed, this, &TZoMain::OnClipClosed);
    connect(control, &realmedia::TRealAudio::SourceError, this, &TZoMain::OnRealSourceError);
    connect(RMTimer, &QTimer::timeout, this, &TZoMain::RMTimerTimer, Qt::UniqueConnection);
    control->SetImageStatus(0);
    control->setGeometry(ui_->ViewPanel->rect());
    // The control is shown once it plays, and only with a picture.

    // The capture window's hidden picture runs until the clip is open.
    if (TCaptureDlg* capture = CaptureDlg()) capture->RunPlaceholderGraph();
    // The whole path or address: a cut one would name another file.
    if (!control->SetSource(path)) {
        DeleteRealControl();
        ShowCannotPlay();
        return;
    }
    item_.Path = path;
    item_.Rendered = true;       // the transport drives the control from now on
    item_.CanStep = false;       // a clip does not step frames
    item_.GraphStarting = false;
    SetPlayState(psPlaying);
    UpdateTransportControls();
    ui_->MiCapture->setEnabled(true);
    // Outside the graph the clip's loudness is the sound card's wave line.
    ApplyRealMediaVolume();
}

void TZoMain::OnClipOpened(const QString& shortName, const QString& url)
{
    Q_UNUSED(shortName);
    Q_UNUSED(url);
    if (TCaptureDlg* capture = CaptureDlg()) capture->ReleaseCaptureGraph();
    if (!RealControl) return;
    // The length and size are read at the clip's first open only.
    if (item_.Duration == 0) {
        const int height = RealControl->GetClipHeight();
        const int width = RealControl->GetClipWidth();
        SetTag(ui_->miVideoHeight, std::max(height, 0));
        SetTag(ui_->miVideoWidth, std::max(width, 0));
        ReadVideoSize();
        const int length = RealControl->GetLength();
        item_.Duration = static_cast<REFERENCE_TIME>(std::max(length, 0)) * 10000;
        // A live stream has no length: nothing seeks.
        item_.NoDuration = length <= 0;
        if (length > 0) ShowRealLength(length / 100);
    }
    positionTimers_.RealMedia = true;
    UpdatePositionTimers();
    setWindowTitle(realCaptionBase_);
    ShowRealTitle();
    // The control applies a start position as soon as the clip can seek.
    if (PendingRealStart > 0) {
        RealControl->SetPosition(static_cast<int>(std::min<std::int64_t>(PendingRealStart, INT_MAX)));
        PendingRealStart = 0;
    }
    if (item_.VideoHeight < 1 || item_.VideoWidth < 1) {
        item_.AudioOnly = true;
        if (!isMaximized() && !fullScreen_) SetClientSize(290, 60);
    } else {
        ApplyWindowSize(false);
        LayoutVideoWindow();
        ShowBookmarkMenus();
        repaint();
    }
    item_.Opening = false;
    UpdateTransportControls();
}

void TZoMain::ShowRealTitle()
{
    if (!RealControl) return;
    // The caller has just set the caption without the title: it becomes the
    // base, so that a second open of the clip does not add the title again.
    realCaptionBase_ = windowTitle();
    QString title = RealControl->GetTitle();
    if (!title.isEmpty() && title.back().unicode() < 0x20) title.chop(1);
    if (!title.isEmpty()) setWindowTitle(QStringLiteral("%1 (%2)").arg(realCaptionBase_, title));
}

void TZoMain::OnPlayStateChange(int oldState, int newState)
{
    Q_UNUSED(oldState);
    if (!RealControl || newState != realmedia::kStatePlaying || !RealControl->isHidden()) return;
    if (!item_.AudioOnly) RealControl->show();
    ui_->TrackBarForSeek->setEnabled(item_.Duration > 0);
    LayoutVideoWindow();
    // The user paused while the clip was still loading.
    if (playState_ != psPlaying) {
        RealControl->DoPause();
        SetPlayState(psPaused);
    }
}

void TZoMain::OnClipClosed()
{
    if (playState_ == psPlaying) SetTimer(kRealMediaEndTimer, 10);
}

void TZoMain::OnRealSourceError(HRESULT hr, bool opened)
{
    Q_UNUSED(hr);
    if (!RealControl) return;
    // A clip that played ends as at its end; one that never opened is an
    // entry that cannot be played.
    if (opened) {
        OnClipClosed();
        if (playState_ != psPlaying) HandleEndOfMedia();
        return;
    }
    DeleteRealControl();
    ShowCannotPlay();
}

void TZoMain::RealMediaEnded()
{
    KillTimer(kRealMediaEndTimer);
    if (!RealControl) return;
    // A section marked without its end runs to the clip's end and loops: the
    // clip starts again and the position timer takes it back to A.
    if (RepeatOn()) {
        RealControl->DoPlay();
        return;
    }
    if (LoopsWithoutPowerAction() && (playList_.Count() <= 1 || !ui_->NContinuousPlay->isChecked())) {
        // The control plays a clip that has ended from its start.
        RealControl->DoPlay();
        return;
    }
    GoToNextEntryOrEnd();
}

void TZoMain::ShowRealLength(std::int64_t tenths)
{
    if (tenths < 1) {
        ui_->taTime->setText(QStringLiteral("0:00:00"));
        return;
    }
    ignoreNextSeekChange_ = true;
    ui_->TrackBarForSeek->setMaximum(static_cast<int>(std::min<std::int64_t>(tenths, INT_MAX)));
    ignoreNextSeekChange_ = false;
    const std::int64_t seconds = tenths / 10;
    ui_->taTime->setText(QString::asprintf("%d:%02d:%02d", static_cast<int>(seconds / 3600),
                                           static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60)));
}

void TZoMain::ShowRealPosition()
{
    // A stop has shown the start already; the control may not be there yet.
    if (item_.StillPicture || !RealControl || playState_ == psStopped) return;
    QSlider* bar = ui_->TrackBarForSeek;
    const std::int64_t duration = RealDuration();
    const int max = bar->maximum();
    if (duration <= 0 || max <= 0 || bar->isSliderDown()) return;
    const std::int64_t position = RealControl->GetPosition();
    ignoreNextSeekChange_ = true;
    bar->setValue(static_cast<int>(std::clamp<std::int64_t>(position * max / duration, 0, max)));
    ignoreNextSeekChange_ = false;
    FormatTime(static_cast<int>(position / 1000));
}

void TZoMain::RMTimerTimer()
{
    // The tick that ends a deferred seek on a paused clip ends the timer too.
    const auto settle = qScopeGuard([this] { UpdatePositionTimers(); });
    if (item_.StillPicture || !RealControl) return;
    const QRect video(videoRectLeft_, videoRectTop_, videoRectWidth_, videoRectHeight_);
    if (video.isValid() && RealControl->geometry() != video) RealControl->setGeometry(video);
    QSlider* bar = ui_->TrackBarForSeek;
    const std::int64_t duration = RealDuration();
    const int max = bar->maximum();
    // No range, no length: nothing to show or seek (and nothing to divide by).
    if (duration <= 0 || max <= 0) return;
    if (bar->isSliderDown()) {
        if (item_.SeekBarMoved && !settings_.StillSeek && settings_.ReduceSeekingLoad && !item_.AudioOnly &&
            bar->value() != Tag(bar)) {
            RealControl->SetPosition(static_cast<int>(BarToMs(duration, bar->value(), max)));
            RealControl->DoPlay();
            RealControl->DoPause();
        }
        SetTag(bar, bar->value());
        return;
    }
    if (!item_.SeekBarMoved) {
        if (playState_ != psPlaying) return;
        ShowRealPosition();
        CheckRealMediaSectionLoop(bar->value());
        return;
    }
    if (settings_.StillSeek || settings_.ReduceSeekingLoad) {
        RealControl->SetPosition(static_cast<int>(BarToMs(duration, bar->value(), max)));
        RealControl->DoPlay();
        RealControl->DoPause();
    }
    if (playState_ == psPlaying) RealControl->DoPlay();
    item_.SeekBarMoved = false;
}

// ---- the transport's RealMedia branches ----

std::int64_t TZoMain::RealControlPosition() const { return RealControl ? RealControl->GetPosition() : 0; }

void TZoMain::SetRealControlPosition(std::int64_t milliseconds)
{
    if (!RealControl) return;
    RealControl->SetPosition(static_cast<int>(std::clamp<std::int64_t>(milliseconds, 0, INT_MAX)));
}

void TZoMain::RealControlPlay()
{
    if (RealControl) RealControl->DoPlay();
}

void TZoMain::RealTogglePlayPause()
{
    if (!RealControl) return;
    QSlider* bar = ui_->TrackBarForSeek;
    switch (playState_) {
    case psStopped:
        if (RealControl->GetPlayState() != realmedia::kStateStopped && bar->maximum() > 0)
            RealControl->SetPosition(static_cast<int>(BarToMs(RealDuration(), bar->value(), bar->maximum())));
        RealControl->DoPlay();
        SetPlayState(psPlaying);
        break;
    case psPaused: {
        const int state = RealControl->GetPlayState();
        if (state == realmedia::kStateStopped || state == realmedia::kStatePaused) {
            RealControl->DoPlay();
            SetPlayState(psPlaying);
        }
        break;
    }
    case psPlaying:
        RealControl->DoPause();
        SetPlayState(psPaused);
        break;
    default:
        break;
    }
}

void TZoMain::RealStop()
{
    if (!RealControl) return;
    if (item_.UrlStream) {
        RealControl->DoStop();
    } else {
        item_.StoppedAt = 0;
        if (settings_.ResumePosition) item_.StoppedAt = RealControl->GetPosition() / 100;
        RealControl->SetPosition(0);
        RealControl->DoPlay();
        RealControl->DoPause();
        ShowPosition(0);
    }
    SetPlayState(psStopped);
}

void TZoMain::RealSeekBarChange()
{
    QSlider* bar = ui_->TrackBarForSeek;
    const std::int64_t target = BarToMs(RealDuration(), bar->value(), bar->maximum());
    if (!settings_.StillSeek && !settings_.ReduceSeekingLoad) {
        RealControl->SetPosition(static_cast<int>(target));
        RealControl->DoPlay();
        RealControl->DoPause();
    }
    item_.SeekBarMoved = true;
    UpdatePositionTimers();
    FormatTime(static_cast<int>(target / 1000));
}

void TZoMain::RealSeekBarClick(int value)
{
    QSlider* bar = ui_->TrackBarForSeek;
    if (playState_ == psPlaying) RealControl->DoPause();
    ignoreNextSeekChange_ = true;
    bar->setValue(value);
    ignoreNextSeekChange_ = false;
    item_.SeekBarMoved = true;
    UpdatePositionTimers();
    const std::int64_t target = BarToMs(RealDuration(), value, bar->maximum());
    if (!settings_.StillSeek) {
        RealControl->SetPosition(static_cast<int>(target));
        RealControl->DoPlay();
    }
    RealControl->DoPause();
    FormatTime(static_cast<int>(target / 1000));
}

void TZoMain::RealSkipSeconds(int seconds)
{
    if (!RealControl || (playState_ != psPaused && playState_ != psPlaying)) return;
    std::int64_t target = static_cast<std::int64_t>(RealControl->GetPosition()) + seconds * 1000LL;
    target = std::clamp<std::int64_t>(target, 0, RealDuration());
    RealControl->SetPosition(static_cast<int>(target));
    if (fullScreen_ && settings_.ShowStatus) ShowStatusText(ui_->tnTime->text() + QLatin1Char('/') + ui_->taTime->text());
}
