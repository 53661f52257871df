// The DVD navigator's events in the window (domains, titles, chapters,
// streams, stills, the operations the disc allows, rate, parental level,
// endings, warnings and errors) and the DVD time display: the title's time
// and length, A-B sections, the deferred seek and the end action's timer.
#include "player/ZoMain.h"

#include "platform/dialogs/dialogs.h"
#include "platform/dvd/navigator.h"
#include "player/DlgPassword.h"
#include "player/units/Imagelist.h"
#include "player/units/Shortcuts.h"
#include "player/units/Transport.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QMenu>
#include <QScopedValueRollback>
#include <QSlider>
#include <QToolButton>

namespace {

// Plain arrow keys in DVD menus: Right, Left, Up, Down.
constexpr WORD kArrowRight = 0x27, kArrowLeft = 0x25, kArrowUp = 0x26, kArrowDown = 0x28;
// An A-B section restarts when the time falls this far before its start.
constexpr long kSectionBackMargin = 5;

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
        case dvd::EC_DVD_CAPTION_CHANGE:
            ShowDvdCaption();
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
    StartAfterPlaybackAction();
}

void TZoMain::TBPowerStateMouseMove(int x, int y)
{
    if (QRect(0, 0, 16, 15).contains(x, y)) return;
    // Left while shown pressed: the button comes up again.
    ui_->TBPowerState->setDown(false);
}
