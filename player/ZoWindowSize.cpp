// Window placement and size, and the video rectangle inside the view panel.
// The arithmetic lives in units/Windowgeometry; these methods gather the
// window's state for it and apply what it gives.
#include "player/ZoMain.h"

#include "platform/realmedia/realmedia.h"
#include "player/units/Dvdpipeline.h"
#include "player/units/Shortcuts.h"
#include "player/units/Windowgeometry.h"
#include "player/tools/WindowPlacement.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

int TZoMain::ClientWidth() const { return width(); }
int TZoMain::ClientHeight() const { return height(); }

void TZoMain::SetClientSize(int width, int height)
{
    resize(std::max(width, minimumWidth()), std::max(height, minimumHeight()));
    LayoutControls();
}

QScreen* TZoMain::WindowScreen() const
{
    QScreen* screen = QGuiApplication::screenAt(frameGeometry().center());
    if (!screen && windowHandle()) screen = windowHandle()->screen();
    return screen ? screen : QGuiApplication::primaryScreen();
}

QSize TZoMain::ClientLimit() const
{
    const QScreen* screen = WindowScreen();
    if (!screen) return {};
    // The frame's share of the window stays outside the client area.
    const QSize frame = frameGeometry().size() - geometry().size();
    return screen->availableGeometry().size() - frame.expandedTo(QSize(0, 0));
}

void TZoMain::PlaceWindow()
{
    // The stored position, kept inside the work area of the monitor that
    // holds it (the primary monitor when none does).
    TWindowPlacement::MoveInside(this, QPoint(static_cast<int>(static_cast<LONG>(settings_.Left)),
                                              static_cast<int>(static_cast<LONG>(settings_.Top))));
}

void TZoMain::ResetVideoRect()
{
    videoRectTop_ = videoRectLeft_ = 0;
    videoRectWidth_ = ui_->ViewPanel->width();
    videoRectHeight_ = ui_->ViewPanel->height();
}

void TZoMain::ApplyWindowSize(bool force)
{
    geometry::SizeRequest r;
    r.videoWidth = item_.VideoWidth;
    r.videoHeight = item_.VideoHeight;
    r.force = force;
    r.keepSize = ui_->miKeepSize->isChecked();
    r.windowSize = settings_.WindowSize;
    r.selectedSize = settings_.SelectedSize;
    r.lastWidth = settings_.LastWidth;
    r.lastHeight = settings_.LastHeight;
    r.followShape = ui_->miWindowFix->isChecked();
    r.sourceSizeChecked = ui_->NSouce->isChecked();
    r.aspectMode = Tag(ui_->miAspectRatio);
    r.maximized = isMaximized();
    r.fullScreen = fullScreen_;
    r.limit = ClientLimit();
    const std::optional<QSize> client = geometry::WindowClientSize(r);
    if (!client) return;
    // A drag of the window's own must not go on into the new size.
    if (mouseGrabber() == this) releaseMouse();
    SetClientSize(client->width(), client->height());
}

void TZoMain::ReadVideoSize()
{
    long aspectX = 0;
    long aspectY = 0;
    if (graph_) {
        long width = 0;
        long height = 0;
        if (graph_->HasVideo() && FAILED(graph_->GetNativeVideoSize(&width, &height))) width = height = 0;
        item_.VideoWidth = width;
        item_.VideoHeight = height;
        // The picture's own shape (pixel aspect applied) only when asked for:
        // otherwise the source mode takes the size ratio.
        if (settings_.GetVideoSize && FAILED(graph_->GetPreferredAspectRatio(&aspectX, &aspectY)))
            aspectX = aspectY = 0;
    } else if (item_.RealMedia || RealControl) {
        // The RealMedia control reports its clip's size into these items.
        item_.VideoWidth = Tag(ui_->miVideoWidth);
        item_.VideoHeight = Tag(ui_->miVideoHeight);
    }
    SetTag(ui_->miAspectX, static_cast<int>(aspectX));
    SetTag(ui_->miAspectY, static_cast<int>(aspectY));
}

void TZoMain::LayoutVideoWindow()
{
    dvd::DvdPlayer* dvdPlayer = DvdPipeline();
    if (!graph_ && !dvdPlayer && !RealControl) return;
    if (item_.VideoWidth <= 0 && !dvd_.Mode) return;
    geometry::VideoLayout l;
    l.area = ui_->ViewPanel->size();
    l.videoWidth = item_.VideoWidth;
    l.videoHeight = item_.VideoHeight;
    l.aspectX = Tag(ui_->miAspectX);
    l.aspectY = Tag(ui_->miAspectY);
    // A renderer told not to keep the aspect fills the whole panel. A DVD's
    // renderer boxes the disc's picture by its size, which the picture's
    // aspect gave; the user's aspect choice is a file's.
    l.aspectMode = rendererStretched_ ? geometry::kAspectFree
                   : dvd_.Mode        ? geometry::kAspectSizeRatio
                                      : Tag(ui_->miAspectRatio);
    l.dvd = dvd_.Mode && dvd_.Playing;
    l.stillPicture = item_.StillPicture;
    l.fitPicture = ui_->NPictureSize->isChecked();
    if (fullScreen_ && ui_->miStretchW->isChecked()) l.stretch = geometry::Stretch::Width;
    if (fullScreen_ && ui_->miStretchH->isChecked()) l.stretch = geometry::Stretch::Height;
    const QRect video = geometry::VideoRect(l);
    const bool resized = video.size() != QSize(videoRectWidth_, videoRectHeight_);
    videoRectLeft_ = video.left();
    videoRectTop_ = video.top();
    videoRectWidth_ = video.width();
    videoRectHeight_ = video.height();
    if (captionLabel_ && captionLabel_->isVisible()) LayoutDvdCaption();
    if (!graph_) {
        // The RealMedia control draws its picture over its whole bounds.
        if (RealControl)
            RealControl->setGeometry(video);
        else
            dvdPlayer->SetVideoPosition(video);
        return;
    }
    graph_->SetVideoPosition(video);
    // A sink that is given frames of its window's size shows a paused frame
    // at the old size: the frame is made again where the graph stands.
    if (resized && !item_.StillPicture && graph_->State() == media::GraphState::Paused) {
        // An exact seek: a key-frame seek could show another picture.
        REFERENCE_TIME position = 0;
        if (SUCCEEDED(graph_->GetCurrentPosition(&position)))
            graph_->SetPositions(&position, media::AM_SEEKING_AbsolutePositioning, nullptr,
                                 media::AM_SEEKING_NoPositioning);
    }
}

void TZoMain::FitWindowToAspect()
{
    if ((!graph_ && !RealControl) || item_.VideoWidth <= 0 || item_.VideoHeight <= 0) return;
    if (ui_->miWindowFix->isChecked() && !isMaximized() && !fullScreen_) {
        const QSize shape = geometry::PictureShape(Tag(ui_->miAspectRatio), item_.VideoWidth, item_.VideoHeight,
                                                   Tag(ui_->miAspectX), Tag(ui_->miAspectY));
        const QSize client = geometry::ClientForShape(ui_->ViewPanel->size(), shape);
        if (client != size()) SetClientSize(client.width(), client.height());
    }
    LayoutVideoWindow();
    // The painted renderer paints its borders with the picture.
    ui_->ViewPanel->update();
}

void TZoMain::RememberVideoPanelSize()
{
    if (isMaximized() || isMinimized() || fullScreen_ || dvd_.Mode || playState_ == psNothing) return;
    if (item_.AudioOnly || item_.VideoWidth <= 0) return;
    settings_.LastHeight = static_cast<DWORD>(ui_->ViewPanel->height());
    settings_.LastWidth = static_cast<DWORD>(ui_->ViewPanel->width());
}

void TZoMain::FormResize()
{
    if (fullScreen_) return;
    const int panelWidth = ui_->ViewPanel->width();
    ui_->LblTitle->resize(panelWidth, ui_->LblTitle->height());
    ui_->LblArtist->resize(panelWidth, ui_->LblArtist->height());
    LayoutVideoWindow();
    RememberVideoPanelSize();
}

// ---- menu commands ----

void TZoMain::NSelectedSizeClick(QAction* sender)
{
    settings_.WindowSize = static_cast<DWORD>(Tag(sender));
    // Keep-size leaves every preset unchecked; the size is applied all the same.
    sender->setChecked(!ui_->miKeepSize->isChecked());
    if ((graph_ || RealControl) && !isMaximized()) {
        ApplyWindowSize(true);
        LayoutVideoWindow();
    }
    if (settings_.ShowStatus) ShowStatusText(ItemCaption(sender));
}

void TZoMain::NSelectCurrentSizeClick()
{
    settings_.SelectedSize = static_cast<DWORD>(ClientWidth()) * 4096 + static_cast<DWORD>(ClientHeight() & 4095);
    ShowStatusText(QStringLiteral("現在のサイズを選択"));
}

void TZoMain::miKeepSizeClick()
{
    QAction* sizes[] = {ui_->NSelectedSize, ui_->N640, ui_->N320, ui_->NSouce};
    if (ui_->miKeepSize->isChecked()) {
        for (QAction* a : sizes) a->setChecked(false);
    } else {
        if (settings_.WindowSize > 2) settings_.WindowSize = 3;
        sizes[settings_.WindowSize]->setChecked(true);
    }
    AppendOnOffText(ui_->miKeepSize, true);
}

void TZoMain::miWindowFixClick()
{
    if (ui_->miWindowFix->isChecked() && !ui_->MIUnlockAspect->isChecked() && (graph_ || RealControl) &&
        item_.VideoWidth > 0 &&
        item_.VideoHeight > 0 && !isMaximized() && !fullScreen_) {
        const QSize client = geometry::ClientForShape(
            ui_->ViewPanel->size(), QSize(static_cast<int>(item_.VideoWidth), static_cast<int>(item_.VideoHeight)));
        SetClientSize(client.width(), client.height());
        LayoutVideoWindow();
    }
}

void TZoMain::MIOriginalAspectClick(QAction* sender)
{
    QAction* aspects[] = {ui_->MIOriginalAspect, ui_->miSizeRatio, ui_->MIAspect43, ui_->miAspect169,
                          ui_->MIUnlockAspect};
    const int old = Tag(ui_->miAspectRatio);
    // A picture without a shape of its own keeps the mode it has.
    if (!item_.Path.isEmpty() && (item_.StillPicture || item_.AudioOnly)) {
        aspects[old >= 0 && old <= 4 ? old : 0]->setChecked(true);
        return;
    }
    const int mode = std::clamp(Tag(sender), 0, 4);
    sender->setChecked(true);
    SetTag(ui_->miAspectRatio, mode);
    if (settings_.ShowStatus) {
        static const char* const names[] = {"オリジナル", "サイズ比", "4:3", "16:9", "固定しない"};
        ShowStatusText(QStringLiteral("アスペクト比: ") + QString::fromUtf8(names[mode]));
    }
    // The renderers fill the rectangle, which has the mode's shape: the
    // aspect is kept by the rectangle alone, never boxed a second time.
    ReadVideoSize();
    LayoutVideoWindow();
}

void TZoMain::NPictureSizeClick() { LayoutVideoWindow(); }
