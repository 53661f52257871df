// Full screen: the window covers its monitor without a frame, the view panel
// the whole client area; the pointer hides while it rests over the picture.
#include "player/ZoMain.h"

#include "player/units/Dvdmenus.h"
#include "player/tools/WindowPlacement.h"
#include "player/units/Windowgeometry.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

namespace {

// Pointer moves anywhere in the application while in full screen: the video
// sinks' own windows take the moves over the picture, not the main window.
// Another window of the program that shows (a dialog, a tool window, a
// pop-up menu) needs the pointer: it is shown at once.
class PointerWatch : public QObject {
public:
    PointerWatch(QWidget* window, std::function<void()> moved, std::function<void()> otherWindowShown)
        : QObject(window), window_(window), moved_(std::move(moved)), otherWindowShown_(std::move(otherWindowShown))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (!watched->isWidgetType()) return false;
        if (e->type() == QEvent::MouseMove) {
            const QPoint p = QCursor::pos();
            if (p != last_) {
                last_ = p;
                moved_();
            }
        } else if (e->type() == QEvent::Show) {
            auto* w = static_cast<QWidget*>(watched);
            if (w->isWindow() && w != window_) otherWindowShown_();
        }
        return false;
    }

private:
    QWidget* window_;
    std::function<void()> moved_;
    std::function<void()> otherWindowShown_;
    QPoint last_;
};

// Mouse moves without a button are reported only to widgets that track them.
void TrackPointer(QWidget* root, bool on)
{
    root->setMouseTracking(on);
    for (QWidget* w : root->findChildren<QWidget*>()) w->setMouseTracking(on);
}

}  // namespace

bool TZoMain::HasPictureSource() const
{
    if (item_.AudioOnly) return false;
    if (graph_) return graph_->HasVideo();
    if (dvd_.Mode) return DvdControl() != nullptr;
    // A RealMedia clip has a picture once it opened with a size.
    return HasRealControl() && item_.VideoWidth > 0 && item_.VideoHeight > 0;
}

void TZoMain::NFullScreenClick()
{
    // The items show the state, whatever the click did to their marks.
    ui_->NFullScreen->setChecked(fullScreen_);
    ui_->MIFullScr->setChecked(fullScreen_);
    if (!graph_ && !item_.RealMedia && !dvd_.Mode) return;
    if (dvd_.Mode && !dvd_.Playing) return;
    if (fullScreen_)
        LeaveFullScreen();
    else
        EnterFullScreen();
}

void TZoMain::SetFullScreenMenus(bool full)
{
    if (dvd_.Mode) {
        ui_->NDVDForeground->setVisible(!full);
        ui_->MiDVDSouceSize->setVisible(!full);
        for (QAction* a : {ui_->MIPanscan->menuAction(), ui_->MIStartClip, ui_->MIPause, ui_->MIStopClip,
                           ui_->MIFastForward, ui_->MIBack, ui_->MINext, ui_->MIPrevious, ui_->MDVDClose})
            a->setVisible(full);
        if (!full) {
            ui_->PanOff->setChecked(true);
            ui_->PMForeground->setChecked(false);
        }
        return;
    }
    for (QAction* a : {ui_->NSelectedSize, ui_->N640, ui_->N320, ui_->NSouce, ui_->NSelectCurrentSize})
        a->setVisible(!full);
    ui_->PMForeground->setVisible(!full && !CaptureWindow);
    ui_->NClose->setVisible(full);
    for (QAction* a : {ui_->miStretchW, ui_->miStretchH}) {
        a->setVisible(full);
        a->setEnabled(full);
        if (!full) a->setChecked(false);
    }
}

void TZoMain::EnterFullScreen()
{
    if (!HasPictureSource()) return;
    QScreen* screen = WindowScreen();
    if (!screen) return;
    savedGeometry_ = geometry();
    fullScreen_ = true;
    // Not topmost, no caption or sizing frame. The native window takes the
    // style as it is: the widget's own flags (the saved style) stay, and a
    // change of those would unmap the window and its video with it.
    if (QWindow* handle = windowHandle())
        handle->setFlags((windowFlags() | Qt::FramelessWindowHint) & ~Qt::WindowStaysOnTopHint);
    setGeometry(geometry::FullScreenRect(screen->geometry()));
    setWindowState(Qt::WindowFullScreen);
    show();
    LayoutControls();
    ui_->ControlPanel->hide();
    SetFullScreenMenus(true);
    ui_->NFullScreen->setChecked(true);
    ui_->MIFullScr->setChecked(true);
    // The pointer hides after five quiet ticks, then after two.
    mouseTicks_ = -3;
    lastPointer_ = QCursor::pos();
    MouseTimer->start();
    if (!pointerWatch_)
        pointerWatch_ = new PointerWatch(this, [this] { FullScreenPointerMoved(); },
                                         [this] {
                                             ShowCursorInFullScreen(true);
                                             mouseTicks_ = 0;
                                         });
    TrackPointer(this, true);
    qApp->installEventFilter(pointerWatch_);
    if (CaptureWindow) CaptureWindow->raise();
    raise();
    activateWindow();
    LayoutVideoWindow();
}

void TZoMain::LeaveFullScreen()
{
    if (!fullScreen_) return;
    KillTimer(kStatusTextTimer);
    ui_->TxtInfo->hide();
    ui_->TxtInfo->clear();
    MouseTimer->stop();
    ShowCursorInFullScreen(true);
    if (pointerWatch_) qApp->removeEventFilter(pointerWatch_);
    TrackPointer(this, false);
    fullScreen_ = false;
    setWindowState(Qt::WindowNoState);
    if (QWindow* handle = windowHandle()) handle->setFlags(windowFlags());
    // The monitors may have changed meanwhile: the window comes back inside one.
    setGeometry(geometry::PullInside(savedGeometry_, TWindowPlacement::WorkAreas()));
    show();
    raise();
    activateWindow();
    ui_->ControlPanel->show();
    LayoutControls();
    SetFullScreenMenus(false);
    if (!dvd_.Mode && item_.AudioOnly && !isMaximized()) {
        const bool noTexts = ui_->LblTitle->text().isEmpty() && ui_->LblArtist->text().isEmpty();
        SetClientSize(geometry::kMinClientWidth, noTexts ? 60 : 99);
    }
    ui_->NFullScreen->setChecked(false);
    ui_->MIFullScr->setChecked(false);
    if (BookmarkWindow) BookmarkWindow->raise();
    if (CaptureWindow) CaptureWindow->raise();
    LayoutVideoWindow();
    update();
}

void TZoMain::miStretchClick(QAction* item)
{
    // The two fits exclude each other; with neither the picture keeps its box.
    QAction* other = item == ui_->miStretchW ? ui_->miStretchH : ui_->miStretchW;
    if (item->isChecked()) other->setChecked(false);
    LayoutVideoWindow();
    AppendOnOffText(item, true);
}

void TZoMain::MouseTimerTimer()
{
    if (!fullScreen_) {
        MouseTimer->stop();
        return;
    }
    // A move over a video window made after full screen began (the next
    // entry's) reaches no filter: the timer sees it.
    if (QCursor::pos() != lastPointer_) {
        FullScreenPointerMoved();
        return;
    }
    if (++mouseTicks_ >= 2) {
        mouseTicks_ = 0;
        ShowCursorInFullScreen(false);
    }
}

void TZoMain::FullScreenPointerMoved()
{
    if (!fullScreen_) return;
    lastPointer_ = QCursor::pos();
    ShowCursorInFullScreen(true);
    // The control strip comes up while the pointer is at the bottom edge.
    const QPoint p = mapFromGlobal(QCursor::pos());
    if (p.y() >= ClientHeight() - geometry::kControlsHeight && rect().contains(p)) {
        ui_->ControlPanel->show();
        ui_->ControlPanel->raise();
    }
    mouseTicks_ = 0;
    if (!MouseTimer->isActive()) MouseTimer->start();
}

void TZoMain::ShowCursorInFullScreen(bool show)
{
    if (show) {
        if (cursorHidden_) {
            cursorHidden_ = false;
            QGuiApplication::restoreOverrideCursor();
        }
        return;
    }
    if (cursorHidden_) return;
    const QPoint global = QCursor::pos();
    // Over the control strip, with a dialog or a menu open, or over a tool
    // window the pointer stays.
    const bool dialog = dialogOpen_ || QApplication::activeModalWidget() || QApplication::activePopupWidget();
    const QWidget* under = QApplication::widgetAt(global);
    const bool overOther = under && under->window() != this;
    if (!dvdmenus::PointerMayHide(mapFromGlobal(global), QSize(ClientWidth(), ClientHeight()), dialog, overOther))
        return;
    if (ui_->ControlPanel->isVisible()) ui_->ControlPanel->hide();
    cursorHidden_ = true;
    QGuiApplication::setOverrideCursor(Qt::BlankCursor);
}
