// The DVD graph in the window: building it from the settings, starting the
// disc, taking the navigator's events, and releasing it all again.
#include "player/ZoMain.h"

#include "platform/dialogs/dialogs.h"
#include "platform/dvd/navigator.h"
#include "player/units/Dvdgraph.h"
#include "player/units/Dvdpipeline.h"
#include "player/units/Reghelp.h"
#include "ui_ZoMain.h"

#include <QMenu>

namespace {

constexpr HRESULT kNoDecoder = dvd::VFW_E_DVD_DECNOTENOUGH;

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
    SetAudioVolume();
    return S_OK;
}

void TZoMain::ReleaseDvdGraph()
{
    if (!dvdBuilder_) return;
    if (dvd::Navigator* navigator = DvdControl()) navigator->SetNotifyWindow(nullptr, 0, 0);
    // The layer's threads stop and the pipeline goes with it.
    dvdBuilder_->Release();
    dvdBuilt_ = false;
}

void TZoMain::StartDvd()
{
    if (playState_ != psNothing || !playList_.IsEmpty()) {
        CloseMedia();
        UpdateControlsForMedia(!fullScreen_);
    }
    if (!dvd_.Mode) {
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
    setWindowTitle(QStringLiteral("Zoravel DVD"));
    dvd_.Mode = true;
    dvd::Navigator* navigator = DvdControl();
    // The picture's display size sizes the window, as for a file.
    dvd::VideoAttributes video;
    navigator->GetCurrentVideoAttributes(&video);
    item_.VideoHeight = long(video.height);
    item_.VideoWidth = long(video.height * video.aspectX / video.aspectY);
    SizeWindowForMedia();
    if (FAILED(navigator->Run())) return;
    dvd_.Playing = true;
    SetPlayState(psPlaying);
}

void TZoMain::OnDvdEvent()
{
    dvd::Navigator* navigator = DvdControl();
    if (!navigator) return;
    long code;
    LPARAM p1, p2;
    while (navigator->GetEvent(&code, &p1, &p2, 0) == S_OK) {
        navigator->FreeEventParams(code, p1, p2);
        switch (code) {
        case dvd::EC_DVD_PLAYBACK_STOPPED:
            // The disc's end: its root menu when it has one, else the end.
            if (SUCCEEDED(navigator->ShowMenu(dvd::DVD_MENU_Root, dvd::DVD_CMD_FLAG_Flush | dvd::DVD_CMD_FLAG_Block)))
                break;
            [[fallthrough]];
        case dvd::EC_DVD_ERROR:
        case dvd::EC_DVD_DISC_EJECTED:
            CloseMedia();
            UpdateControlsForMedia(false);
            return;
        default:
            break;
        }
    }
}

HRESULT TZoMain::RunDvd() { return S_OK; }

void TZoMain::OnDvdTimeUpdate() {}

void TZoMain::DoDvdDeferredSeek() {}

void TZoMain::DVDTimerTimer() {}

void TZoMain::ShowDvdTime(const dvd::HmsfTime&) {}

void TZoMain::ShowDvdTitleLength() {}

void TZoMain::ReadDvdVideoAttributes() {}
