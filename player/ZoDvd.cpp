// The DVD graph in the window: building it from the settings, starting the
// disc, taking the navigator's events, and releasing it all again.
#include "player/ZoMain.h"

#include "platform/cdrom/cdrom.h"
#include "platform/dialogs/dialogs.h"
#include "platform/dvd/navigator.h"
#include "platform/dvd/player.h"
#include "player/DlgPassword.h"
#include "player/units/Dvdgraph.h"
#include "player/units/Dvdpipeline.h"
#include "player/units/Imagelist.h"
#include "player/units/Reghelp.h"
#include "player/units/Shortcuts.h"
#include "player/units/Transport.h"
#include "player/units/Windowgeometry.h"
#include "ui_ZoMain.h"

#include <QMenu>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSlider>
#include <QToolButton>

#include <algorithm>

namespace {

constexpr HRESULT kNoDecoder = dvd::VFW_E_DVD_DECNOTENOUGH;
// Flush, send events and block: the navigator's flags for the user's commands.
constexpr DWORD kCommandFlags = dvd::DVD_CMD_FLAG_Flush | dvd::DVD_CMD_FLAG_SendEvents | dvd::DVD_CMD_FLAG_Block;
// Plain arrow keys in DVD menus: Right, Left, Up, Down.
constexpr WORD kArrowRight = 0x27, kArrowLeft = 0x25, kArrowUp = 0x26, kArrowDown = 0x28;
// An A-B section restarts when the time falls this far before its start.
constexpr long kSectionBackMargin = 5;
// The video area a DVD starts with when the window does not follow the picture.
constexpr int kDvdDefaultWidth = 640, kDvdDefaultHeight = 480;

QString DvdErrorText(long code)
{
    switch (code) {
    case 1: return QStringLiteral("予期しないエラーが発生しました。\nコンテンツのオーサリング方法に誤りがある可能性があります。");
    case 2: return QStringLiteral("DVD コピー保護のためのキー交換に失敗しました。");
    case 3: return QStringLiteral("規格 1.x に関して DVD-Video ディスクのオーサリング方法に誤りがあります。");
    case 4: return QStringLiteral("ディスクのリージョンがシステムリージョンと一致しないため\n再生できません。");
    case 5:
        return QStringLiteral("プレーヤーのペアレンタルレベルがこのディスクで利用可能\nな最低ペアレンタルロックレベルより低く設定されています。");
    case 6:
        return QStringLiteral("この DVD-Video はマクロビジョンによって保護されています。\nシステムはマクロビジョンの要求を満たしていません。");
    case 7: return QStringLiteral("デコーダリージョンとシステムリージョンが一致していません。");
    case 8: return QStringLiteral("このディスクはインストールされているデコーダのリージョンと一致していません。");
    default: return {};
    }
}

QString DvdWarningText(long code)
{
    switch (code) {
    case dvd::DVD_WARNING_Open: return QStringLiteral("ファイルを開けません。");
    case dvd::DVD_WARNING_Seek: return QStringLiteral("ファイルのシークに失敗しました。");
    case dvd::DVD_WARNING_Read: return QStringLiteral("ファイルの読み取りに失敗しました。");
    default: return {};
    }
}

QString HmsfText(const dvd::HmsfTime& t) { return QString::asprintf("%d:%02d:%02d", t.hours, t.minutes, t.seconds); }

// Enables a control of any kind the valid-operations table names.
void EnableControl(QObject* control, bool on)
{
    // A sub-menu is enabled through its item in the menu above it.
    if (auto* menu = qobject_cast<QMenu*>(control)) {
        menu->menuAction()->setEnabled(on);
    } else if (auto* item = qobject_cast<QAction*>(control)) {
        item->setEnabled(on);
    } else if (auto* widget = qobject_cast<QWidget*>(control)) {
        widget->setEnabled(on);
    }
}

bool ControlEnabled(const QObject* control)
{
    if (auto* menu = qobject_cast<const QMenu*>(control)) return menu->menuAction()->isEnabled();
    if (auto* item = qobject_cast<const QAction*>(control)) return item->isEnabled();
    if (auto* widget = qobject_cast<const QWidget*>(control)) return widget->isEnabled();
    return false;
}

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
    connect(DVDTimer, &QTimer::timeout, this, &TZoMain::DVDTimerTimer, Qt::UniqueConnection);
    DVDTimer->start();
    if (settings_.DVDResumeEnable) LoadResumePoint(QString(), false);
    ColorAtDvdRun();
    return hr;
}

// ---------------------------------------------------------------------------
// The navigator's events

void TZoMain::OnDvdEvent()
{
    // A message box or the password window opened by an event runs the event
    // loop: a notice that comes meanwhile leaves its events to this drain,
    // which takes them in order once the window is closed.
    if (inDvdEvent_ || !DvdControl()) return;
    const QScopedValueRollback<bool> draining(inDvdEvent_, true);
    long code = 0;
    LPARAM p1 = 0, p2 = 0;
    for (;;) {
        // The disc may have been closed while a window was open.
        dvd::Navigator* navigator = DvdControl();
        if (!navigator || navigator->GetEvent(&code, &p1, &p2, 0) != S_OK) return;
        switch (code) {
        case dvd::EC_DVD_DOMAIN_CHANGE:
            OnDvdDomainChange(long(p1));
            break;
        case dvd::EC_DVD_TITLE_CHANGE:
            EndDvdSelection();
            SetTag(ui_->NDVDTitle, int(p1));
            ReadDvdVideoAttributes();
            ShowDvdTitleLength();
            BuildDvdStreamMenus();
            BuildDvdChapterList();
            SetTag(ui_->MenuItem22, 0);
            SetTag(ui_->miSaveAB, 0);
            break;
        case dvd::EC_DVD_CHAPTER_START:
            playList_.SetListIndex(int(p1) - 1);
            break;
        case dvd::EC_DVD_AUDIO_STREAM_CHANGE:
            if (long(p1) != -1) SetTag(ui_->NDVDAudio, int(p1));
            SetTag(ui_->MIKaraoke, 0);
            break;
        case dvd::EC_DVD_SUBPICTURE_STREAM_CHANGE:
            // "Hide subtitles" checked while the disc shows them (or the
            // reverse): the user's choice is put back.
            if (!dvd_.InMenu && ui_->NDisplaySP->isChecked() == (p2 != 0))
                navigator->SetSubpictureState(!ui_->NDisplaySP->isChecked(), kCommandFlags);
            if (long(p1) != -1) SetTag(ui_->NDVDSubPic, int(p1));
            break;
        case dvd::EC_DVD_ANGLE_CHANGE:
            SetTag(ui_->MIAngle, int(p2));
            break;
        case dvd::EC_DVD_ANGLES_AVAILABLE:
            EnableControl(ui_->MIAngle, p1 != 0);
            break;
        case dvd::EC_DVD_VALID_UOPS_CHANGE:
            OnDvdValidOperations(DWORD(p1));
            break;
        case dvd::EC_DVD_STILL_ON:
            if (p1 == 1) {
                SetButtonImage(ui_->BtnStart, StartImage::Play);
                ui_->BtnStart->setToolTip(QStringLiteral("再生"));
                dvd_.StillOn = true;
                if (!dvd_.TimePlayProhibited) ui_->TrackBarForSeek->setEnabled(false);
            }
            break;
        case dvd::EC_DVD_STILL_OFF:
            dvd_.StillOn = false;
            if (!dvd_.TimePlayProhibited) ui_->TrackBarForSeek->setEnabled(true);
            break;
        case dvd::EC_DVD_CURRENT_HMSF_TIME:
            if (!dvd_.SeekPending && !dvd_.CommandPending) {
                dvd_.CurrentTimecode = dvd::HmsfTime::Unpack(p1);
                PostMessage(WM_DVDTIMEUPDATE, 0, 0);
            }
            break;
        case dvd::EC_DVD_CMD_START:
            dvd_.CommandPending = true;
            break;
        case dvd::EC_DVD_CMD_END:
            dvd_.CommandPending = false;
            break;
        case dvd::EC_DVD_PLAYBACK_RATE_CHANGE:
            OnDvdRateChange(long(p1));
            break;
        case dvd::EC_DVD_PARENTAL_LEVEL_CHANGE:
            OnDvdParentalLevelChange();
            break;
        case dvd::EC_DVD_PLAYBACK_STOPPED:
            // The root menu when the disc has one (blocking: its answer says
            // whether there is one), else the disc ends without a message.
            if (SUCCEEDED(navigator->ShowMenu(dvd::DVD_MENU_Root, dvd::DVD_CMD_FLAG_Flush | dvd::DVD_CMD_FLAG_Block)))
                break;
            if (RepeatOn()) {
                dvd_.SeekPending = false;
                KillTimer(kDvdSeekTimer);
                ClearSelection();
            }
            navigator->FreeEventParams(code, p1, p2);
            CloseMedia();
            UpdateControlsForMedia(false);
            return;
        case dvd::EC_DVD_NO_FP_PGC:
            navigator->PlayTitle(1, kCommandFlags);
            break;
        case dvd::EC_DVD_WARNING:
            if (!dvd_.WarningShown) {
                dvd_.WarningShown = true;
                const QString text = DvdWarningText(long(p1));
                if (!text.isEmpty())
                    MessageBox(this, text, QStringLiteral("警告"), MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST);
            }
            break;
        case dvd::EC_DVD_ERROR:
            // Closed as the other endings are, so that the arrow items get
            // their shortcuts back and the resume point is written.
            navigator->FreeEventParams(code, p1, p2);
            CloseMedia();
            UpdateControlsForMedia(false);
            ShowDvdErrorBox(long(p1));
            return;
        case dvd::EC_DVD_DISC_EJECTED:
            if (!dvd_.Playing) break;
            navigator->FreeEventParams(code, p1, p2);
            CloseMedia();
            UpdateControlsForMedia(true);
            return;
        default:
            break;
        }
        if (dvd::Navigator* still = DvdControl()) still->FreeEventParams(code, p1, p2);
    }
}

void TZoMain::ShowDvdErrorBox(long code)
{
    const QString text = DvdErrorText(code);
    if (text.isEmpty()) return;
    MessageBox(this, text, QStringLiteral("DVD エラー"), MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
}

void TZoMain::EndDvdSelection()
{
    if (RepeatOn()) ClearSelection();
    // A held button's end waits for its release, as a file's end does.
    if (heldButtons_.Any()) {
        endDeferred_ = true;
        PostMessage(WM_LBUTTONDOWN, 0, 0);
    }
}

void TZoMain::OnDvdDomainChange(long domain)
{
    // An accepted resume point that the navigator refused while the disc's
    // first play was still running is applied once the disc reaches its
    // first menu or title.
    const bool applyPendingResume = dvd_.ResumePending && !dvd_.TitlePlayed && !dvd_.InMenu &&
                                    (domain == dvd::DVD_DOMAIN_VideoManagerMenu ||
                                     domain == dvd::DVD_DOMAIN_VideoTitleSetMenu || domain == dvd::DVD_DOMAIN_Title);
    QAction* const arrows[] = {ui_->miDVDMenuR, ui_->miDVDMenuL, ui_->miDVDMenuU, ui_->miDVDMenuD};
    if (settings_.UseArrowKeyInMenu && dvd_.InMenu) {
        for (QAction* item : arrows) {
            SetItemShortCut(item, DWORD(Tag(item)));
            SetTag(item, 0);
        }
    }
    EndDvdSelection();
    SetTag(ui_->MenuItem22, 0);
    dvd::Navigator* navigator = DvdControl();
    switch (domain) {
    case dvd::DVD_DOMAIN_VideoManagerMenu:
    case dvd::DVD_DOMAIN_VideoTitleSetMenu: {
        dvd_.InMenu = true;
        ReadDvdVideoAttributes();
        ShowDvdTitleLength();
        if (playState_ != psPlaying && navigator) {
            if (playState_ != psScan) navigator->Run();
            navigator->PlayForwards(1.0, dvd::DVD_CMD_FLAG_None);
            SetPlayState(psPlaying);
        }
        if (settings_.UseArrowKeyInMenu) {
            const WORD keys[] = {kArrowRight, kArrowLeft, kArrowUp, kArrowDown};
            for (int i = 0; i < 4; ++i) {
                SetTag(arrows[i], ItemShortCut(arrows[i]));
                SetItemShortCut(arrows[i], keys[i]);
            }
        }
        DWORD prohibited = 0;
        if (dvd_.TitlePlayed && navigator && SUCCEEDED(navigator->GetCurrentUOPS(&prohibited)) &&
            !(prohibited & dvd::UOP_FLAG_Resume)) {
            SetButtonImage(ui_->BtnStart, StartImage::Resume);
            ui_->BtnStart->setToolTip(QStringLiteral("再生を続ける"));
        }
        break;
    }
    case dvd::DVD_DOMAIN_Title:
        dvd_.TitlePlayed = true;
        dvd_.InMenu = false;
        ReadDvdVideoAttributes();
        ShowDvdTitleLength();
        SetPlayState(playState_);
        break;
    default:
        break;
    }
    if (ListViewer) FreeClosedLibraryViewers();
    if (applyPendingResume) LoadResumePoint(QString(), true);
}

void TZoMain::OnDvdValidOperations(DWORD prohibited)
{
    using namespace dvd;
    auto allowed = [prohibited](DWORD flag) { return !(prohibited & flag); };
    dvd_.TimePlayProhibited = !allowed(UOP_FLAG_Play_Title_Or_AtTime);
    const struct {
        QObject* control;
        DWORD flag;
    } table[] = {
        {ui_->TrackBarForSeek, UOP_FLAG_Play_Title_Or_AtTime},
        {ui_->BtnSkip, UOP_FLAG_Play_Title_Or_AtTime},
        {ui_->TBtnShowCombo, UOP_FLAG_Play_Chapter},
        {ui_->NDVDTitle, UOP_FLAG_Play_Title},
        {ui_->BtnStop, UOP_FLAG_Stop},
        {ui_->MIStopClip, UOP_FLAG_Stop},
        {ui_->TBtnPreviousTrack, UOP_FLAG_PlayPrev_Or_Replay_Chapter},
        {ui_->MIPrevious, UOP_FLAG_PlayPrev_Or_Replay_Chapter},
        {ui_->TBtnNextTrack, UOP_FLAG_PlayNext_Chapter},
        {ui_->MINext, UOP_FLAG_PlayNext_Chapter},
        {ui_->BtnStepFrame, UOP_FLAG_Play_Forwards},
        {ui_->TBtnFastforward, UOP_FLAG_Play_Forwards},
        {ui_->MIStartClip, UOP_FLAG_Play_Forwards},
        {ui_->MIFastForward, UOP_FLAG_Play_Forwards},
        {ui_->TBtnRewind, UOP_FLAG_Play_Backwards},
        {ui_->MIBack, UOP_FLAG_Play_Backwards},
        {ui_->NTitleMenu, UOP_FLAG_ShowMenu_Title},
        {ui_->NRootMenu, UOP_FLAG_ShowMenu_Root},
        {ui_->NSPMenu, UOP_FLAG_ShowMenu_SubPic},
        {ui_->NAudioMenu, UOP_FLAG_ShowMenu_Audio},
        {ui_->NAngleMenu, UOP_FLAG_ShowMenu_Angle},
        {ui_->NChapterMenu, UOP_FLAG_ShowMenu_Chapter},
        {ui_->MiResume, UOP_FLAG_Resume},
        {ui_->MIPause, UOP_FLAG_Pause_On},
        {ui_->NDVDAudio, UOP_FLAG_Select_Audio_Stream},
        {ui_->NDVDSubPic, UOP_FLAG_Select_SubPic_Stream},
        {ui_->NDisplaySP, UOP_FLAG_Select_SubPic_Stream},
        {ui_->MIAngle, UOP_FLAG_Select_Angle},
        {ui_->MIKaraoke, UOP_FLAG_Select_Karaoke_Audio_Presentation_Mode},
    };
    for (const auto& row : table) EnableControl(row.control, allowed(row.flag));
    const bool cannotPlay = !allowed(UOP_FLAG_Play_Forwards) && !allowed(UOP_FLAG_Pause_On);
    // Play stays possible while the disc can resume a played title.
    ui_->BtnStart->setEnabled(!(cannotPlay && (!dvd_.TitlePlayed || !allowed(UOP_FLAG_Resume))));
    EnableControl(ui_->NExtraMenu, ControlEnabled(ui_->NSPMenu) || ControlEnabled(ui_->NAudioMenu) ||
                                       ControlEnabled(ui_->NAngleMenu) || ControlEnabled(ui_->NChapterMenu));
    if (dvd_.TitlePlayed && cannotPlay && allowed(UOP_FLAG_Resume)) {
        SetButtonImage(ui_->BtnStart, StartImage::Resume);
        ui_->BtnStart->setToolTip(QStringLiteral("再生を続ける"));
    }
}

void TZoMain::OnDvdRateChange(long rate)
{
    dvd_.PlaybackRate = transport::RoundToDecimals(rate * 0.0001, 1);
    ui_->STxtbai->setText(transport::RateText(dvd_.PlaybackRate));
    SetPlayState(dvd_.PlaybackRate == 1.0 ? psPlaying : psScan);
}

void TZoMain::OnDvdParentalLevelChange()
{
    bool accept = false;
    if (usePasswordToUnlock_ && !parentalPassword_.isEmpty()) {
        TDlgPassword dialog(this);
        if (dialog.exec() == QDialog::Accepted && dialog.Password() == parentalPassword_) accept = true;
    }
    // The disc may have been closed while the window was open.
    dvd::Navigator* navigator = DvdControl();
    if (!navigator) return;
    navigator->AcceptParentalLevelChange(accept);
    if (accept && dvd_.ResumePending) LoadResumePoint(QString(), true);
}

// ---------------------------------------------------------------------------
// Time display, sections and the deferred seek

void TZoMain::ShowDvdTime(const dvd::HmsfTime& time) { ui_->tnTime->setText(HmsfText(time)); }

void TZoMain::ShowDvdTitleLength()
{
    dvd::Navigator* navigator = DvdControl();
    dvd::HmsfTime length;
    if (!navigator || FAILED(navigator->GetTotalTitleTime(&length))) return;
    ui_->taTime->setText(HmsfText(length));
    SetSeekBarMaximum(int(length.TotalSeconds()));
}

void TZoMain::SetDvdSeekPending(long seconds)
{
    const transport::DvdTime t = transport::DvdTimeFromSeconds(seconds);
    dvd_.PendingTimecode = {BYTE(t.hours), BYTE(t.minutes), BYTE(t.seconds), 1};
    dvd_.SeekPending = true;
    SetTimer(kDvdSeekTimer, 100);
}

void TZoMain::OnDvdTimeUpdate()
{
    ShowDvdTime(dvd_.CurrentTimecode);
    const long position = dvd_.CurrentTimecode.TotalSeconds();
    if (!ui_->TrackBarForSeek->isSliderDown() && !dvd_.SeekPending && !dvd_.CommandPending)
        SetSeekBar(int(position));
    // The active section: past its end (once it has one) or well before its
    // start it plays again, or the next section of the chain plays.
    const bookmarks::TSectionState& section = SectionState();
    if (!section.RepeatOn || !DvdControl()) return;
    const bool after = section.EndSet && position > section.SelEnd;
    const bool before = position < section.SelStart - kSectionBackMargin;
    if (!after && !before) return;
    if (!ui_->miChainSections->isChecked())
        SetDvdSeekPending(section.SelStart);
    else
        ChainNextDvdSection();
}

void TZoMain::DoDvdDeferredSeek()
{
    dvd::Navigator* navigator = DvdControl();
    if (!navigator || ui_->TrackBarForSeek->isSliderDown() || dvd_.StillOn || !dvd_.SeekPending ||
        dvd_.CommandPending)
        return;
    KillTimer(kDvdSeekTimer);
    // A navigator that runs takes the time; a failed seek only ends the wait.
    if (SUCCEEDED(navigator->Run()) && SUCCEEDED(navigator->PlayAtTime(dvd_.PendingTimecode, kCommandFlags)) &&
        playState_ != psPlaying)
        SetPlayState(psPlaying);
    dvd_.SeekPending = false;
}

void TZoMain::DVDTimerTimer()
{
    const QSlider* bar = ui_->TrackBarForSeek;
    if (!dvd_.Playing || dvd_.InMenu || dvd_.StillOn || !DvdControl() || dvd_.SeekPending || dvd_.CommandPending ||
        dvd_.EndActionStarted || RepeatOn() || !ui_->TBPowerState->isChecked())
        return;
    // Only a title longer than a minute, in its last two seconds.
    if (bar->maximum() <= 60 || bar->maximum() - 2 >= bar->value()) return;
    dvd_.EndActionStarted = true;
    TBPowerStateClick();
}

void TZoMain::TBPowerStateMouseMove(int x, int y)
{
    if (QRect(0, 0, 16, 15).contains(x, y)) return;
    // Left while shown pressed: the button comes up again.
    ui_->TBPowerState->setDown(false);
}

// ---------------------------------------------------------------------------
// The picture's attributes and the window's size

void TZoMain::ReadDvdVideoAttributes()
{
    dvd::Navigator* navigator = DvdControl();
    if (!navigator) return;
    // The pipeline has no Line 21 decoder: no closed captions to offer.
    SetTag(ui_->NClosedCaption, 0);
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
        if (const QScreen* screen = WindowScreen()) {
            const QRect frame = frameGeometry();
            const QRect inside = geometry::PullInside(frame, {screen->availableGeometry()});
            move(pos() + (inside.topLeft() - frame.topLeft()));
        }
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
    DVDTimer->stop();
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
    if (playState_ == psStopped && FAILED(navigator->Run())) return;
    const dvd::HmsfTime time{BYTE(target->hours), BYTE(target->minutes), BYTE(target->seconds), 1};
    if (SUCCEEDED(navigator->PlayAtTime(time, kCommandFlags))) SetPlayState(psPlaying);
}
