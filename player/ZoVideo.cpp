// Operations on the picture that the file and DVD graphs share: flipping,
// the aspect mode, window points in the picture's coordinates, panning, and
// keeping the window on top.
#include "player/ZoMain.h"

#include "platform/dvd/player.h"
#include "player/units/Dvdpipeline.h"
#include "player/units/Videoops.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

void TZoMain::ConnectVideoOperations()
{
    // The four flip items of the file menu and of the DVD menu, by mode.
    const std::pair<QAction*, int> items[] = {
        {ui_->MiFlipDefault, 0},    {ui_->MiFlipV, 1},    {ui_->MiFlipH, 2},    {ui_->MiFlipHV, 3},
        {ui_->MiDVDFlipDefault, 0}, {ui_->MiDVDFlipV, 1}, {ui_->MiDVDFlipH, 2}, {ui_->MiDVDFlipVH, 3},
    };
    auto* fileGroup = new QActionGroup(this);
    auto* dvdGroup = new QActionGroup(this);
    for (size_t i = 0; i < std::size(items); ++i) {
        QAction* item = items[i].first;
        SetTag(item, items[i].second);
        item->setCheckable(true);
        (i < 4 ? fileGroup : dvdGroup)->addAction(item);
        connect(item, &QAction::triggered, this, [this, item] { MiFlipDefaultClick(item); });
    }
}

void TZoMain::MiFlipDefaultClick(QAction* sender)
{
    const TFlipAxes axes = FlipAxes(Tag(sender));
    dvd::DvdPlayer* dvdPlayer = DvdPipeline();
    bool done = false;
    if (dvd_.Mode && dvdPlayer && dvdPlayer->CanFlip()) {
        dvdPlayer->SetFlip(axes.horizontal, axes.vertical);
        done = true;
    } else if (graph_ && graph_->CanFlip()) {
        graph_->SetFlip(axes.horizontal, axes.vertical);
        done = true;
    }
    if (done) sender->setChecked(true);
}

void TZoMain::SetRendererAspectMode(bool keepAspect)
{
    if (!graph_ && !DvdControl()) return;
    rendererStretched_ = !keepAspect;
    LayoutVideoWindow();
}

QPoint TZoMain::VideoPointFromClient(const QPoint& client) const
{
    QSize picture;
    long width = 0, height = 0;
    if (dvd::DvdPlayer* dvdPlayer = DvdPipeline()) {
        if (SUCCEEDED(dvdPlayer->GetNativeVideoSize(&width, &height))) picture = QSize(int(width), int(height));
    } else if (graph_ && SUCCEEDED(graph_->GetNativeVideoSize(&width, &height))) {
        picture = QSize(int(width), int(height));
    }
    const QRect video(videoRectLeft_, videoRectTop_, videoRectWidth_, videoRectHeight_);
    // The panel's point: the window's client area less the panel's place.
    const QPoint inPanel = client - ui_->ViewPanel->pos();
    return PictureFromClient(inPanel, video, picture, false, QPoint());
}

void TZoMain::PanVideo(int dx)
{
    if (videoRectWidth_ <= 0) return;
    const int left = PannedLeft(videoRectLeft_, videoRectWidth_, ui_->ViewPanel->width(), dx);
    if (left == videoRectLeft_) return;
    videoRectLeft_ = left;
    const QRect video(videoRectLeft_, videoRectTop_, videoRectWidth_, videoRectHeight_);
    if (graph_) graph_->SetVideoPosition(video);
    else if (dvd::DvdPlayer* p = DvdPipeline()) p->SetVideoPosition(video);
    ShowStatusText(QString::number(left));
}
