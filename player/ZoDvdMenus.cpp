// The DVD pop-up menu's commands and the selection menus built from the disc:
// the disc's own menus, titles, streams, angles and chapters, subtitles,
// karaoke mixing, fast play, pan-and-scan in full screen and the disc-menu
// buttons under the mouse.
#include "player/ZoMain.h"

#include "platform/dvd/navigator.h"
#include "platform/dvd/player.h"
#include "player/units/Dvdmenus.h"
#include "player/units/Imagelist.h"
#include "player/units/Shortcuts.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QScreen>
#include <QToolButton>

namespace {

// Flush, send events and block: the flags of every menu command.
// The stream selections send events without flushing.
constexpr DWORD kStreamFlags = dvd::DVD_CMD_FLAG_SendEvents | dvd::DVD_CMD_FLAG_Block;
// Fast play flushes and blocks.
constexpr DWORD kScanFlags = dvd::DVD_CMD_FLAG_Flush | dvd::DVD_CMD_FLAG_Block;

// Bounds of what a volume can hold; a navigator's larger count is not
// trusted for building menus.
constexpr ULONG kMaxTitles = 99;
constexpr ULONG kMaxAudioStreams = 8;
constexpr ULONG kMaxSubpictureStreams = 32;
constexpr ULONG kMaxAngles = 9;
constexpr ULONG kMaxChapters = 999;

// Removes the items of a menu from index `from` on. The items go later: one
// of them may be the item whose click led here.
void ClearMenuItems(QMenu* menu, int from)
{
    const QList<QAction*> items = menu->actions();
    for (int i = from; i < items.size(); ++i) {
        QAction* item = items[i];
        menu->removeAction(item);
        if (item->parent() == menu) item->deleteLater();
    }
}

// One item of a radio group checked, the others not.
void CheckOnly(const QList<QAction*>& items, QAction* checked)
{
    for (QAction* item : items)
        if (item->isCheckable()) item->setChecked(item == checked);
}

// A checkable item's click has already turned its mark; the handlers set the
// mark from the outcome, so the click's own turn is undone first.
void UndoClickMark(QAction* item) { item->setChecked(!item->isChecked()); }

}  // namespace

void TZoMain::ConnectDvdMenus()
{
    using Handler = void (TZoMain::*)();
    const std::pair<QAction*, Handler> items[] = {
        {ui_->NSPMenu, &TZoMain::NSPMenuClick},
        {ui_->NAudioMenu, &TZoMain::NAudioMenuClick},
        {ui_->NAngleMenu, &TZoMain::NAngleMenuClick},
        {ui_->NChapterMenu, &TZoMain::NChapterMenuClick},
        {ui_->MiResume, &TZoMain::MiResumeClick},
        {ui_->MIStartClip, &TZoMain::MIStartClipClick},
        {ui_->MIPause, &TZoMain::MIPauseClick},
        {ui_->MIFastForward, &TZoMain::TBtnFastforwardClick},
        {ui_->MIBack, &TZoMain::TBtnRewindClick},
    };
    for (const auto& [item, handler] : items)
        connect(item, &QAction::triggered, this, [this, handler = handler] { (this->*handler)(); });
    // Items with a mark: the handler decides the mark.
    const std::pair<QAction*, Handler> marked[] = {
        {ui_->NDisplaySP, &TZoMain::NDisplaySPClick},     {ui_->MiCcOn, &TZoMain::MiCcOnClick},
        {ui_->MiCcRightBottom, &TZoMain::MiCcRightBottomClick}, {ui_->MenuPanscan, &TZoMain::MenuPanscanClick},
        {ui_->MiVista, &TZoMain::MiVistaClick},           {ui_->PanOff, &TZoMain::PanOffClick},
    };
    for (const auto& [item, handler] : marked) {
        connect(item, &QAction::triggered, this, [this, item = item, handler = handler] {
            UndoClickMark(item);
            (this->*handler)();
        });
    }
    // The karaoke and pan-and-scan groups keep their marks only when the
    // command succeeded.
    ui_->grpKaraoke->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
    ui_->grpPanscan->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
    for (QAction* item : {ui_->MenuKaraoke1, ui_->MenuKaraoke2, ui_->MenuKaraoke3}) {
        connect(item, &QAction::triggered, this, [this, item] {
            UndoClickMark(item);
            MenuKaraoke1Click(item);
        });
    }
    // The buttons' presses scan a file; their clicks set the DVD's speed.
    connect(ui_->TBtnFastforward, &QToolButton::clicked, this, [this] { TBtnFastforwardClick(); });
    connect(ui_->TBtnRewind, &QToolButton::clicked, this, [this] { TBtnRewindClick(); });
}

// ---- the disc's menus ----

void TZoMain::NRootMenuClick()
{
    if (dvd::Navigator* n = DvdControl()) n->ShowMenu(dvd::DVD_MENU_Root, kCommandFlags);
}

void TZoMain::NTitleMenuClick()
{
    if (dvd::Navigator* n = DvdControl()) n->ShowMenu(dvd::DVD_MENU_Title, kCommandFlags);
}

void TZoMain::NSPMenuClick()
{
    if (dvd::Navigator* n = DvdControl()) n->ShowMenu(dvd::DVD_MENU_Subpicture, kCommandFlags);
}

void TZoMain::NAudioMenuClick()
{
    if (dvd::Navigator* n = DvdControl()) n->ShowMenu(dvd::DVD_MENU_Audio, kCommandFlags);
}

void TZoMain::NAngleMenuClick()
{
    if (dvd::Navigator* n = DvdControl()) n->ShowMenu(dvd::DVD_MENU_Angle, kCommandFlags);
}

void TZoMain::NChapterMenuClick()
{
    if (dvd::Navigator* n = DvdControl()) n->ShowMenu(dvd::DVD_MENU_Chapter, kCommandFlags);
}

void TZoMain::MiResumeClick()
{
    // Only a menu has a title to go back to.
    dvd::Navigator* n = DvdControl();
    if (n && dvd_.InMenu) n->Resume(kCommandFlags);
}

void TZoMain::MIStartClipClick()
{
    if (ButtonImageIndex(ui_->BtnStart) == StartImage::Play) TogglePlayPause();
}

void TZoMain::MIPauseClick()
{
    if (ButtonImageIndex(ui_->BtnStart) == StartImage::Pause) TogglePlayPause();
}

// ---- selection sub-menus ----

QAction* TZoMain::AddDvdMenuItem(QMenu* menu, const QString& caption, int tag, bool checked,
                                 void (TZoMain::*handler)(QAction*))
{
    auto* item = new QAction(caption, menu);
    item->setCheckable(true);
    item->setChecked(checked);
    SetTag(item, tag);
    menu->addAction(item);
    connect(item, &QAction::triggered, this, [this, item, handler] {
        UndoClickMark(item);
        (this->*handler)(item);
    });
    return item;
}

HRESULT TZoMain::BuildDvdTitleMenu()
{
    QMenu* menu = ui_->NDVDTitle;
    ClearMenuItems(menu, 0);
    dvd::Navigator* n = DvdControl();
    if (!n) return E_FAIL;
    ULONG titles = 0;
    const HRESULT hr = n->GetNumberOfTitles(&titles);
    if (FAILED(hr)) return hr;
    if (titles == 0) return E_FAIL;
    dvd::Location location;
    const ULONG current = SUCCEEDED(n->GetCurrentLocation(&location)) ? location.title : 0;
    for (ULONG t = 0; t < std::min(titles, kMaxTitles); ++t)
        AddDvdMenuItem(menu, dvdmenus::TitleCaption(int(t + 1)), int(t), t + 1 == current,
                       &TZoMain::DvdTitleItemClick);
    return S_OK;
}

void TZoMain::BuildDvdStreamMenus()
{
    QMenu* audioMenu = ui_->NDVDAudio;
    QMenu* subMenu = ui_->NDVDSubPic;
    QMenu* angleMenu = ui_->MIAngle;
    for (QMenu* menu : {audioMenu, subMenu, angleMenu}) ClearMenuItems(menu, 0);
    dvd::Navigator* n = DvdControl();
    if (!n) return;

    ULONG streams = 0, current = 0;
    if (SUCCEEDED(n->GetCurrentAudio(&streams, &current))) {
        for (ULONG s = 0; s < std::min(streams, kMaxAudioStreams); ++s) {
            dvd::AudioAttributes audio;
            if (FAILED(n->GetAudioAttributes(s, &audio))) continue;
            const QString caption = dvdmenus::AudioCaption(audio);
            if (!caption.isEmpty())
                AddDvdMenuItem(audioMenu, caption, int(s), s == current, &TZoMain::DvdAudioItemClick);
        }
        SetTag(audioMenu->menuAction(), int(current));
    }

    bool shown = false;
    if (SUCCEEDED(n->GetCurrentSubpicture(&streams, &current, &shown))) {
        for (ULONG s = 0; s < std::min(streams, kMaxSubpictureStreams); ++s) {
            dvd::SubpictureAttributes subpicture;
            if (FAILED(n->GetSubpictureAttributes(s, &subpicture))) continue;
            const QString caption = dvdmenus::SubpictureCaption(subpicture);
            if (!caption.isEmpty())
                AddDvdMenuItem(subMenu, caption, int(s), s == current, &TZoMain::DvdSubpictureItemClick);
        }
        SetTag(subMenu->menuAction(), int(current));
    }

    ULONG angles = 0, angle = 0;
    if (SUCCEEDED(n->GetCurrentAngle(&angles, &angle))) {
        for (ULONG a = 0; a < std::min(angles, kMaxAngles); ++a)
            AddDvdMenuItem(angleMenu, QStringLiteral("アングル %1").arg(a + 1), int(a), a + 1 == angle,
                           &TZoMain::DvdAngleItemClick);
        SetTag(angleMenu->menuAction(), int(angle));
    }
    ReadKaraokeAttributes();
}

void TZoMain::BuildDvdChapterList()
{
    dvd::Navigator* n = DvdControl();
    if (!n) return;
    dvd::Location location;
    if (FAILED(n->GetCurrentLocation(&location)) || location.title == 0) return;
    ULONG chapters = 0;
    if (FAILED(n->GetNumberOfChapters(location.title, &chapters))) return;
    TPlayListModel::Batch batch(playList_);
    ClearPlayList();
    if (ListViewer) FreeClosedLibraryViewers();
    // Title and path alike: the list windows and the chapter commands find
    // a chapter by its place in the list.
    for (ULONG c = 1; c <= std::min(chapters, kMaxChapters); ++c) {
        const QString caption = dvdmenus::ChapterCaption(int(c));
        playList_.Add(TPlayListItem(caption, caption), false, false);
    }
    if (location.chapter >= 1 && location.chapter <= ULONG(playList_.Count()))
        playList_.SetListIndex(int(location.chapter) - 1);
    // The title menu marks the title now playing.
    for (QAction* item : ui_->NDVDTitle->actions())
        if (ULONG(Tag(item)) + 1 == location.title) CheckOnly(ui_->NDVDTitle->actions(), item);
}

bool TZoMain::ReadKaraokeAttributes()
{
    dvd::Navigator* n = DvdControl();
    ULONG streams = 0, current = 0;
    dvd::AudioAttributes audio;
    if (!n || FAILED(n->GetCurrentAudio(&streams, &current)) || FAILED(n->GetAudioAttributes(current, &audio)) ||
        !audio.karaoke)
        return true;
    QAction* items[] = {ui_->MenuKaraoke1, ui_->MenuKaraoke2, ui_->MenuKaraoke3};
    for (int i = 0; i < 3; ++i) items[i]->setText(dvdmenus::KaraokeChannelName(audio.karaokeContents[i]));
    return true;
}

void TZoMain::ClearDvdMenus()
{
    for (QMenu* menu : {ui_->NDVDTitle, ui_->NDVDSubPic, ui_->NDVDAudio, ui_->MIAngle}) ClearMenuItems(menu, 0);
    // The bookmark menu keeps its two commands and their separator.
    ClearMenuItems(ui_->MIDVDBookmark, 3);
}

void TZoMain::ShowDvdMenus(bool visible)
{
    for (QAction* item : {ui_->NRootMenu, ui_->NTitleMenu, ui_->NExtraMenu->menuAction(),
                          ui_->NDVDTitle->menuAction(), ui_->NDVDSubPic->menuAction(), ui_->NDVDAudio->menuAction(),
                          ui_->MIAngle->menuAction(), ui_->NDisplaySP, ui_->MIDVDBookmark->menuAction(),
                          ui_->N19->menuAction()})
        item->setVisible(visible);
}

void TZoMain::DvdTitleItemClick(QAction* item)
{
    dvd::Navigator* n = DvdControl();
    if (!n) return;
    // A title the disc does not have is never asked for.
    const int tag = Tag(item);
    ULONG titles = 0;
    if (tag < 0 || FAILED(n->GetNumberOfTitles(&titles)) || ULONG(tag) >= titles) return;
    if (FAILED(n->PlayTitle(ULONG(tag) + 1, kCommandFlags))) return;
    CheckOnly(ui_->NDVDTitle->actions(), item);
    if (playState_ != psPlaying && SUCCEEDED(n->Run())) SetPlayState(psPlaying);
    if (fullScreen_ && settings_.ShowStatus) ShowStatusText(item->text());
}

void TZoMain::DvdAudioItemClick(QAction* item)
{
    dvd::Navigator* n = DvdControl();
    if (!n || FAILED(n->SelectAudioStream(ULONG(Tag(item)), kStreamFlags))) return;
    CheckOnly(ui_->NDVDAudio->actions(), item);
    SetTag(ui_->NDVDAudio->menuAction(), Tag(item));
    ReadKaraokeAttributes();
}

void TZoMain::DvdSubpictureItemClick(QAction* item)
{
    dvd::Navigator* n = DvdControl();
    if (!n || FAILED(n->SelectSubpictureStream(ULONG(Tag(item)), kStreamFlags))) return;
    CheckOnly(ui_->NDVDSubPic->actions(), item);
    SetTag(ui_->NDVDSubPic->menuAction(), Tag(item));
}

void TZoMain::DvdAngleItemClick(QAction* item)
{
    dvd::Navigator* n = DvdControl();
    if (!n) return;
    const int tag = Tag(item);
    ULONG angles = 0, current = 0;
    if (tag < 0 || FAILED(n->GetCurrentAngle(&angles, &current)) || ULONG(tag) >= angles) return;
    if (FAILED(n->SelectAngle(ULONG(tag) + 1, kCommandFlags))) return;
    CheckOnly(ui_->MIAngle->actions(), item);
    SetTag(ui_->MIAngle->menuAction(), tag + 1);
}

// ---- fast play ----

void TZoMain::DvdFastPlay(bool forward)
{
    dvd::Navigator* n = DvdControl();
    if (!n || !dvd_.Mode || !dvd_.Playing || dvd_.InMenu || dvd_.StillOn || dvd_.CommandPending) return;
    n->Run();
    const double speed = dvdmenus::NextFastSpeed(dvd_.PlaybackRate, forward);
    if (forward)
        n->PlayForwards(speed, kScanFlags);
    else
        n->PlayBackwards(speed, kScanFlags);
}

void TZoMain::TBtnFastforwardClick() { DvdFastPlay(true); }

void TZoMain::TBtnRewindClick() { DvdFastPlay(false); }

void TZoMain::miDVDForwardClick()
{
    if (KeyLatch) return;
    KeyLatch = 1;
    dvd::Navigator* n = DvdControl();
    if (!n || !dvd_.Mode || !dvd_.Playing) return;
    // Scanning backwards: the key plays forwards at normal speed again.
    if (dvd_.PlaybackRate < 0 &&
        SUCCEEDED(n->PlayForwards(1.0, dvd::DVD_CMD_FLAG_Flush | dvd::DVD_CMD_FLAG_SendEvents)))
        return;
    TBtnFastforwardClick();
}

void TZoMain::miDVDRewindClick()
{
    if (KeyLatch) return;
    KeyLatch = 1;
    dvd::Navigator* n = DvdControl();
    if (!n || !dvd_.Mode || !dvd_.Playing) return;
    // Scanning forwards: the key plays at normal speed again.
    if (dvd_.PlaybackRate > 1.0 &&
        SUCCEEDED(n->PlayForwards(1.0, dvd::DVD_CMD_FLAG_Flush | dvd::DVD_CMD_FLAG_SendEvents)))
        return;
    TBtnRewindClick();
}

// ---- subtitles, captions and karaoke ----

void TZoMain::NDisplaySPClick()
{
    dvd::Navigator* n = DvdControl();
    if (!n) return;
    QAction* item = ui_->NDisplaySP;
    // The item reads "hide subtitles": checked while they are hidden.
    const bool hide = !item->isChecked();
    if (SUCCEEDED(n->SetSubpictureState(!hide, kCommandFlags))) item->setChecked(hide);
    if (settings_.ShowStatus) AppendOnOffText(item, true);
}

void TZoMain::MenuKaraoke1Click(QAction* sender)
{
    dvd::Navigator* n = DvdControl();
    if (!n || FAILED(n->SelectKaraokeAudioPresentationMode(dvdmenus::KaraokeMixFlags(Tag(sender))))) return;
    CheckOnly(ui_->grpKaraoke->actions(), sender);
}

// ---- pan-and-scan ----

bool TZoMain::PanScan(bool cinemascope)
{
    if (!fullScreen_ || !DvdControl()) return false;
    QScreen* screen = WindowScreen();
    const int screenHeight = screen ? screen->geometry().height() : ClientHeight();
    const int height =
        dvdmenus::PanScanHeight(cinemascope, !dvd_.Aspect43, dvd_.InMenu, screenHeight, ClientHeight());
    const QRect video = dvdmenus::PanScanRect(height, ClientWidth(), item_.VideoWidth, item_.VideoHeight);
    if (video.isEmpty()) return false;
    dvd::DvdPlayer* player = DvdPipeline();
    if (player && FAILED(player->SetVideoPosition(video))) return false;
    // Points in the picture (disc-menu buttons) are found through the panned place.
    videoRectLeft_ = video.left();
    videoRectTop_ = video.top();
    videoRectWidth_ = video.width();
    videoRectHeight_ = video.height();
    return true;
}

void TZoMain::MenuPanscanClick()
{
    if (!PanScan(true)) return;
    CheckOnly(ui_->grpPanscan->actions(), ui_->MenuPanscan);
    if (settings_.ShowStatus) AppendOnOffText(ui_->MenuPanscan, true);
}

void TZoMain::MiVistaClick()
{
    if (!PanScan(false)) return;
    CheckOnly(ui_->grpPanscan->actions(), ui_->MiVista);
    if (settings_.ShowStatus) AppendOnOffText(ui_->MiVista, true);
}

void TZoMain::PanOffClick()
{
    // The layout paints the borders of the picture's box itself.
    CheckOnly(ui_->grpPanscan->actions(), ui_->PanOff);
    LayoutVideoWindow();
}

void TZoMain::ApplyPanScanMode()
{
    if (!fullScreen_) return;
    if (ui_->MenuPanscan->isChecked())
        PanScan(true);
    else if (ui_->MiVista->isChecked())
        PanScan(false);
}

// ---- disc-menu buttons under the mouse ----

bool TZoMain::SelectDvdButtonAt(const QPoint& client)
{
    dvd::Navigator* n = DvdControl();
    dvd_.ButtonClickWaiting = false;
    if (!n || !dvd_.Mode || !dvd_.Playing) return false;
    const QPoint p = VideoPointFromClient(client);
    dvd_.ButtonClickWaiting = SUCCEEDED(n->SelectAtPosition(p.x(), p.y()));
    return dvd_.ButtonClickWaiting;
}

void TZoMain::FormMouseUp(const QPoint& client)
{
    if (fullScreen_ && IsCursorHidden()) ShowCursorInFullScreen(true);
    dvd::Navigator* n = DvdControl();
    if (!n || !dvd_.ButtonClickWaiting || !dvd_.Playing) return;
    const QPoint p = VideoPointFromClient(client);
    if (SUCCEEDED(n->ActivateAtPosition(p.x(), p.y()))) dvd_.ButtonClickWaiting = false;
}
