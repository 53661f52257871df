// Window placement and size, and the video rectangle inside the view panel.
#include "player/ZoMain.h"

#include "platform/realmedia/realmedia.h"

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

void TZoMain::PlaceWindow()
{
    // The stored position, kept inside the work area of the monitor that
    // holds it (the primary monitor when none does).
    QScreen* screen = QGuiApplication::screenAt(QPoint(static_cast<int>(settings_.Left), static_cast<int>(settings_.Top)));
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QSize frame = frameGeometry().size();
    int left = static_cast<int>(static_cast<LONG>(settings_.Left));
    int top = static_cast<int>(static_cast<LONG>(settings_.Top));
    top = std::min(top, area.bottom() + 1 - frame.height());
    left = std::min(left, area.right() + 1 - frame.width());
    top = std::max(top, area.top());
    left = std::max(left, area.left());
    move(left, top);
}

void TZoMain::ResetVideoRect()
{
    videoRectTop_ = videoRectLeft_ = 0;
    videoRectWidth_ = ui_->ViewPanel->width();
    videoRectHeight_ = ui_->ViewPanel->height();
}

void TZoMain::ApplyWindowSize(bool force)
{
    if (item_.VideoWidth <= 0 || item_.VideoHeight <= 0 || fullScreen_ || isMaximized()) return;
    int width = 0;
    int height = 0;
    if (ui_->miKeepSize->isChecked() && !force) {
        height = static_cast<int>(settings_.LastHeight) + 60;
        width = static_cast<int>(settings_.LastWidth) + 4;
    } else {
        switch (settings_.WindowSize) {
        case 0:
            height = static_cast<int>(settings_.SelectedSize & 4095);
            width = static_cast<int>(settings_.SelectedSize >> 12);
            break;
        case 1:
            height = 540;
            width = 644;
            break;
        case 2:
            height = 300;
            width = 324;
            break;
        default:
            height = static_cast<int>(item_.VideoHeight) + 60;
            width = static_cast<int>(item_.VideoWidth) + 4;
            break;
        }
    }
    const int mode = static_cast<int>(settings_.AspectRatio);
    if ((ui_->miWindowFix->isChecked() && mode != 4) || (ui_->NSouce->isChecked() && (mode == 2 || mode == 3))) {
        if (item_.VideoHeight > item_.VideoWidth)
            width = static_cast<int>((height - 60) * item_.VideoWidth / item_.VideoHeight) + 4;
        else
            height = static_cast<int>((width - 4) * item_.VideoHeight / item_.VideoWidth) + 60;
    }
    SetClientSize(width, height);
}

void TZoMain::LayoutVideoWindow()
{
    QWidget* panel = ui_->ViewPanel;
    if ((!graph_ && !RealControl) || item_.VideoWidth <= 0 || item_.VideoHeight <= 0) return;
    const QRect area = panel->rect();
    const int mode = static_cast<int>(settings_.AspectRatio);
    QRect video = area;
    if (mode != 4 && area.width() > 0) {
        double r;
        switch (mode) {
        case 2: r = 0.75; break;
        case 3: r = 0.5625; break;
        default: r = static_cast<double>(item_.VideoHeight) / static_cast<double>(item_.VideoWidth); break;
        }
        if (static_cast<double>(area.height()) / area.width() >= r) {
            const int h = static_cast<int>(area.width() * r);
            video = QRect(0, (area.height() - h) / 2, area.width(), h);
        } else {
            const int w = static_cast<int>(area.height() / r);
            video = QRect((area.width() - w) / 2, 0, w, area.height());
        }
    }
    // A still picture that fits is shown at its own size.
    if (item_.StillPicture && !ui_->NPictureSize->isChecked() && item_.VideoWidth <= area.width() &&
        item_.VideoHeight <= area.height()) {
        video = QRect((area.width() - static_cast<int>(item_.VideoWidth)) / 2,
                      (area.height() - static_cast<int>(item_.VideoHeight)) / 2, static_cast<int>(item_.VideoWidth),
                      static_cast<int>(item_.VideoHeight));
    }
    videoRectLeft_ = video.left();
    videoRectTop_ = video.top();
    videoRectWidth_ = video.width();
    videoRectHeight_ = video.height();
    if (graph_)
        graph_->SetVideoPosition(video);
    else
        RealControl->setGeometry(video);
}

void TZoMain::LeaveFullScreen()
{
    // Full screen comes with the window sizes; until then the window never
    // enters it and there is nothing to undo.
}
