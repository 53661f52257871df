// The DVD graph in the window: building it from the settings, starting and
// running the disc, fitting the window to its picture, the transport (play,
// pause, stop, the seek bar, chapter and skip steps), and releasing it all
// again. The navigator's events and the time display are in ZoDvdEvents.cpp.
#include "player/ZoMain.h"

#include "platform/cdrom/cdrom.h"
#include "platform/dialogs/dialogs.h"
#include "platform/dvd/navigator.h"
#include "platform/dvd/player.h"
#include "player/units/Dvdgraph.h"
#include "player/units/Dvdpipeline.h"
#include "player/units/Imagelist.h"
#include "player/units/Shortcuts.h"
#include "player/units/Transport.h"
#include "player/tools/WindowPlacement.h"
#include "ui_ZoMain.h"

#include <QMenu>
#include <QScreen>
#include <QSlider>
#include <QToolButton>

#include <algorithm>

namespace {

constexpr HRESULT kNoDecoder = dvd::VFW_E_DVD_DECNOTENOUGH;
// The video area a DVD starts with when the window does not follow the picture.
constexpr int kDvdDefaultWidth = 640, kDvdDefaultHeight = 480;

}  // namespace

void TZoMain::SetDvdPipelineBuilder(std::unique_ptr<TDvdPipelineBuilder> builder)
{
    ReleaseDvdGraph();
    dvdBuilder_ = std::move(builder);
}

dvd::Navigator* TZoMain::DvdControl() const
{
    return dvdBuilt_ && dvdBuilder_ ? dvdBuilder_->Navigator() : nullptr;
}

dvd::DvdPlayer* TZoMain::DvdPipeline() const
{
    return DvdPlayerOf(dvdBuilt_ ? dvdBuilder_.get() : nullptr);
}

int TZoMain::DvdFlipTag() const
{
    return Tag(ui_->MenuDVDFlip);
}

HRESULT TZoMain::BuildDvdGraph()
{
    // The window is drawn before the disc is read.
    repaint();
    const TDvdSettings settings = ReadDvdSettings();
    usePasswordToUnlock_ = settings.UsePasswordToUnlock;
    parentalPassword_ = settings.ParentalPassword;
    if (!dvdBuilder_) dvdBuilder_ = std::make_unique<TDvdPipeline>(ui_->ViewPanel);
    // A graph built anew: the VMR-9 values of the last one are stored as its object goes.
    ReleaseVmr9Mixer();

    QString audioSink;
    if (settings_.UseSelectedAudioRenderer) {
        const QByteArray id = ReadFilterClassId(9);
        if (!id.isEmpty()) audioSink = media::FactoryForClassId(id);
    }
    const TDvdBuildResult result =
        ::BuildDvdGraph(settings, viewerPath_, settings_.UseSelectedAudioRenderer, audioSink, *dvdBuilder_);
    if (result.volumeUnknown) {
        if (fullScreen_) LeaveFullScreen();
        SetClientSize(290, 60);
    }
    if (FAILED(result.hr)) {
        dvdBuilder_->Release();
        return result.hr;
    }
    dvdBuilt_ = true;
    dvd::Navigator* navigator = dvdBuilder_->Navigator();
    navigator->SetNotifyWindow(this, WM_DVDNOTIFY, 0);
    if (result.flipTag != 0) {
        SetTag(ui_->MenuDVDFlip, result.flipTag);
        ui_->MenuDVDFlip->menuAction()->setVisible(true);
    }
    // The pipeline's colour stage, for the colour menus and the overlay values.
    std::shared_ptr<media::ColorControl> stage;
    if (dvd::DvdPlayer* player = DvdPipeline(); player && player->HasColorControls()) {
        stage = std::make_shared<media::ColorControl>(
            [player] {
                media::ColorValues values;
                player->GetColorValues(&values);
                return values;
            },
            [player](const media::ColorValues& values) { player->SetColorValues(values); });
    }
    TakeColorObjects(MediaRendererForDvd(result.renderer, false), stage);
    // The VMR-9 renderer (windowless or not) mixes the picture itself: its
    // colour goes through the picture controls, as a file's does.
    if (!result.automatic && result.renderer == 2) {
        if (dvd::DvdPlayer* player = DvdPipeline()) CreateVmr9Mixer(player->GetPictureControls());
    }
    SetAudioVolume();
    return S_OK;
}

void TZoMain::ReleaseDvdGraph()
{
    if (!dvdBuilder_) return;
    if (dvd::Navigator* navigator = DvdControl()) navigator->SetNotifyWindow(nullptr, 0, 0);
    // The VMR-9 values are stored while the picture controls still answer;
    // the player detaches them as it goes.
    if (dvdBuilt_) ReleaseVmr9Mixer();
    // The layer's threads stop and the pipeline goes with it.
    dvdBuilder_->Release();
    dvdBuilt_ = false;
}


void TZoMain::StartDvd()
{
    const QString volume = viewerPath_;
    if (playState_ != psNothing || !playList_.IsEmpty()) {
        CloseMedia();
        UpdateControlsForMedia(!fullScreen_);
    } else if (!fullScreen_) {
        ui_->TxtInfo->hide();
        SetClientSize(290, 60);
        // The small window stays on its own monitor: a window left of the work
        // area comes to its left edge, and at most the caption may lie above its top.
        if (const QScreen* screen = WindowScreen()) {
            const QRect area = screen->availableGeometry();
            const int caption = geometry().top() - frameGeometry().top();
            QPoint at = pos();
            at.setX(std::max(at.x(), area.left()));
            at.setY(std::max(at.y(), area.top() - caption));
            if (at != pos()) move(at);
        }
    }
    // The drive slows down once the close above has given it its full speed back.
    if (!volume.isEmpty()) {
        const cdrom::DriveName name = cdrom::ResolveDrive(volume);
        const QString drive = name.kind == cdrom::DriveName::Device ? name.path : cdrom::DriveOfPath(volume);
        if (!drive.isEmpty()) {
            ApplyDriveSpeed(drive);
            dvd_.DiscDrive = drive;
        }
    }
    if (!dvd_.Mode) {
        DeleteToolWindow(CaptureWindow);
        const HRESULT hr = BuildDvdGraph();
        viewerPath_.clear();
        if (FAILED(hr)) {
            CloseMedia();
            UpdateControlsForMedia(false);
            const QString text = hr == kNoDecoder
                                     ? QStringLiteral("DVD デコーダがありません。\nDVDを再生するにはDVDに対応したデコーダが必要です。")
                                 : hr == E_INVALIDARG ? QStringLiteral("DVD ボリュームが見つかりません。")
                                                      : QStringLiteral("再生できません。");
            MessageBox(this, text, QStringLiteral("DVD エラー"), MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
            return;
        }
    }
    viewerPath_.clear();
    SetPlayState(psStopped);
    AddHiddenShortcutItems();
    // The window's pop-up menu follows DvdMode (DVDPopupMenu from here on).
    LoadMouseActions();
    ui_->TBtnNextTrack->setToolTip(QStringLiteral("次のチャプター"));
    ui_->TBtnPreviousTrack->setToolTip(QStringLiteral("前のチャプター"));
    ui_->TBtnShowCombo->setToolTip(QStringLiteral("チャプターの選択"));
    ui_->BtnStepFrame->setToolTip(QStringLiteral("コマ送り"));
    ui_->TBPowerState->setDown(false);
    setWindowTitle(QStringLiteral("Zoravel DVD"));
    // The disc starts with the after-playback action off; the files' flag waits.
    if (!dvd_.Mode) settings_.PowerControl = ui_->TBPowerState->isChecked();
    ui_->TBPowerState->setChecked(false);
    UpdatePowerCaption();
    dvd_.Mode = true;
    // A sound's title and artist texts lie on the view panel; over a window
    // sink's window they would stand as blank bands across the disc's picture.
    ui_->LblTitle->hide();
    ui_->LblArtist->hide();
    if (fullScreen_) SetFullScreenMenus(true);
    // The navigator has no frame step.
    ui_->BtnStepFrame->setEnabled(false);
    RunDvd();
}

HRESULT TZoMain::RunDvd()
{
    dvd::Navigator* navigator = DvdControl();
    if (!navigator || dvd_.Playing) return S_FALSE;
    if (FAILED(BuildDvdTitleMenu())) return E_FAIL;
    ui_->TrackBarForSeek->setEnabled(true);
    ShowDvdMenus(true);
    SetRendererAspectMode(!settings_.DVDStretchVideo);
    BuildDvdStreamMenus();
    // The VMR-9 ranges, the colour item and its presets (rebuilt when the renderer kind changed).
    ColorAtDvdStart();

    ReadDvdVolumeName();
    if (!dvd_.DiscName.isEmpty()) {
        QString name = dvd_.DiscName;
        name.replace(QLatin1Char('_'), QLatin1Char(' '));
        setWindowTitle(QStringLiteral("Zoravel DVD - ") + name);
    }
    BuildBookmarkMenu();

    if (!settings_.DVDAutoResize && !fullScreen_) {
        const QSize controls = size() - ui_->ViewPanel->size();
        QSize client(kDvdDefaultWidth + controls.width(), kDvdDefaultHeight + controls.height());
        const QSize limit = ClientLimit();
        if (limit.isValid()) client = client.boundedTo(limit);
        SetClientSize(client.width(), client.height());
        update();
    }

    const HRESULT hr = navigator->Run();
    if (FAILED(hr)) return hr;
    dvd_.Playing = true;
    SetPlayState(psPlaying);
    WatchDvdNavigation();
    connect(DVDTimer, &QTimer::timeout, this, &TZoMain::DVDTimerTimer, Qt::UniqueConnection);
    positionTimers_.Dvd = true;
    UpdatePositionTimers();
    if (settings_.DVDResumeEnable) LoadResumePoint(QString(), false);
    ColorAtDvdRun();
    return hr;
}

// ---------------------------------------------------------------------------
// The picture's attributes and the window's size

void TZoMain::ReadDvdVideoAttributes()
{
    dvd::Navigator* navigator = DvdControl();
    if (!navigator) return;
    SetTag(ui_->NClosedCaption, DvdDecodesCaptions() ? 1 : 0);
    const long oldWidth = item_.VideoWidth, oldHeight = item_.VideoHeight;
    dvd::VideoAttributes attributes;
    // Unreadable attributes or a shapeless picture keep the last size.
    if (SUCCEEDED(navigator->GetCurrentVideoAttributes(&attributes)) && attributes.aspectX > 0 &&
        attributes.aspectY > 0 && attributes.height > 0) {
        dvd_.Aspect43 = attributes.aspectX == 4;
        item_.VideoHeight = long(attributes.height);
        item_.VideoWidth = long(attributes.height) * long(attributes.aspectX) / long(attributes.aspectY);
        SetTag(ui_->miAspectX, int(attributes.aspectX));
        SetTag(ui_->miAspectY, int(attributes.aspectY));
    }
    if (fullScreen_) {
        ApplyPanScanMode();
        return;
    }
    if (!settings_.DVDAutoResize) {
        LayoutVideoWindow();
        return;
    }
    if (mouseGrabber() == this) releaseMouse();
    if (item_.VideoWidth == oldWidth && item_.VideoHeight == oldHeight) return;
    if (item_.VideoWidth <= 0 || item_.VideoHeight <= 0) return;
    if (isMaximized()) showNormal();
    const QSize controls = size() - ui_->ViewPanel->size();
    QSize video(int(item_.VideoWidth), int(item_.VideoHeight));
    const QSize limit = ClientLimit();
    const QSize room = limit.isValid() ? limit - controls : video;
    if (room.width() > 0 && room.height() > 0 && (video.width() > room.width() || video.height() > room.height())) {
        // Too big for the work area: the picture shrinks by its overflowing
        // side (a 16:9 picture by its width first), the other side follows
        // the shape, and the window is pulled inside the work area.
        video = video.scaled(room, Qt::KeepAspectRatio);
        SetClientSize(video.width() + controls.width(), video.height() + controls.height());
        TWindowPlacement::KeepInside(this);
    } else {
        SetClientSize(video.width() + controls.width(), video.height() + controls.height());
    }
    update();
}

// ---------------------------------------------------------------------------
// Closing and the transport

void TZoMain::ClearDvdState()
{
    if (settings_.UseArrowKeyInMenu && dvd_.InMenu) {
        for (QAction* item : {ui_->miDVDMenuR, ui_->miDVDMenuL, ui_->miDVDMenuU, ui_->miDVDMenuD}) {
            SetItemShortCut(item, DWORD(Tag(item)));
            SetTag(item, 0);
        }
    }
    KillTimer(kDvdSeekTimer);
    positionTimers_.Dvd = false;
    DVDTimer->stop();
    if (captionLabel_) captionLabel_->hide();
    TDvdState cleared;
    cleared.Requested = dvd_.Requested;
    // UpdateControlsForMedia leaves the DVD mode: it tests the flag.
    cleared.Mode = dvd_.Mode;
    dvd_ = cleared;
}

void TZoMain::DvdTogglePlayPause()
{
    if (!dvd_.Playing) {
        RunDvd();
        return;
    }
    dvd::Navigator* navigator = DvdControl();
    if (!navigator || dvd_.CommandPending) return;
    if (ButtonImageIndex(ui_->BtnStart) == StartImage::Resume) {
        if (SUCCEEDED(navigator->Resume(kCommandFlags))) {
            SetPlayState(psPlaying);
            return;
        }
        if (!ui_->MIStartClip->isEnabled() && !ui_->MIPause->isEnabled()) return;
    }
    HRESULT hr = E_FAIL;
    bool fromStop = false;
    switch (playState_) {
    case psStopped:
        hr = navigator->Run();
        fromStop = true;
        break;
    case psPaused:
        hr = navigator->PlayForwards(1.0, kCommandFlags);
        if (SUCCEEDED(hr)) hr = navigator->Run();
        break;
    case psPlaying:
        if (dvd_.StillOn) {
            // The navigator leaves a still by itself or through its buttons.
            dvd_.StillOn = false;
            return;
        }
        if (SUCCEEDED(navigator->Pause())) SetPlayState(psPaused);
        return;
    case psScan:
        hr = navigator->PlayForwards(1.0, kCommandFlags);
        break;
    default:
        return;
    }
    if (FAILED(hr)) return;
    SetPlayState(psPlaying);
    // A stopped overlay has lost its colour values.
    if (fromStop && settings_.UseColorCtrl) ScheduleOverlayColor();
}

void TZoMain::DvdStop()
{
    // A second stop (or one with nothing left to play) closes the disc.
    if (playState_ == psStopped || playState_ == psNothing || !ui_->BtnStart->isEnabled()) {
        CloseMedia();
        UpdateControlsForMedia(true);
        return;
    }
    dvd::Navigator* navigator = DvdControl();
    if (!navigator || dvd_.CommandPending) return;
    if (RepeatOn()) {
        dvd_.SeekPending = false;
        KillTimer(kDvdSeekTimer);
        ClearSelection();
    }
    if (FAILED(navigator->Stop())) return;
    SetPlayState(psStopped);
}

void TZoMain::DvdSeekBarDragged()
{
    const QSlider* bar = ui_->TrackBarForSeek;
    if (!dvd_.Playing || !DvdControl() || bar->maximum() <= 0) return;
    const transport::DvdTime t = transport::DvdBarTime(bar->value(), bar->maximum());
    SetDvdSeekPending(long(transport::DvdTimeSeconds(t)));
    ShowDvdTime(dvd_.PendingTimecode);
}

void TZoMain::DvdSeekBarClicked(int value)
{
    const QSlider* bar = ui_->TrackBarForSeek;
    if (!dvd_.Playing || !DvdControl() || dvd_.CommandPending || dvd_.StillOn || bar->maximum() < 1) return;
    const transport::DvdTime t = transport::DvdBarTime(value, bar->maximum());
    SetSeekBar(int(transport::DvdTimeSeconds(t)));
    SetDvdSeekPending(long(transport::DvdTimeSeconds(t)));
    ShowDvdTime(dvd_.PendingTimecode);
}

void TZoMain::DvdStepChapter(bool forward)
{
    dvd::Navigator* navigator = DvdControl();
    if (!dvd_.Playing || !navigator || dvd_.CommandPending) return;
    const int index = playList_.ListIndex();
    if (!forward && index == 0) return;
    const HRESULT hr =
        forward ? navigator->PlayNextChapter(kCommandFlags) : navigator->PlayPrevChapter(kCommandFlags);
    if (FAILED(hr)) return;
    if (playState_ != psPlaying) ResumePlay();
    // In full screen the chapter's name tells where the disc went.
    if (fullScreen_ && settings_.ShowStatus) {
        const int next = forward ? index + 1 : index - 1;
        if (playList_.IsValidIndex(next)) ShowStatusText(EntryTitle(next));
    }
}

void TZoMain::DvdSkipStep(bool forward)
{
    dvd::Navigator* navigator = DvdControl();
    const QSlider* bar = ui_->TrackBarForSeek;
    if (!dvd_.Playing || !navigator || dvd_.CommandPending || ui_->miChainSections->isChecked()) return;
    const dvd::HmsfTime& now = dvd_.CurrentTimecode;
    const auto target = transport::DvdSkipTime({now.hours, now.minutes, now.seconds, 1}, SkipLength(), forward,
                                               bar->maximum());
    if (!target) return;
    // Stopped and paused alike hold the pipeline still; the skip plays.
    if ((playState_ == psStopped || playState_ == psPaused) && FAILED(navigator->Run())) return;
    const dvd::HmsfTime time{BYTE(target->hours), BYTE(target->minutes), BYTE(target->seconds), 1};
    if (SUCCEEDED(navigator->PlayAtTime(time, kCommandFlags))) SetPlayState(psPlaying);
}
