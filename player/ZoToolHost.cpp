// The main window as the tool windows see it (IToolHost): the operations
// that are more than a field's read or write.
#include "player/ZoMain.h"

#include "platform/dvd/player.h"
#include "platform/media/capture.h"
#include "platform/realmedia/realmedia.h"
#include "player/tools/TCaptureDlg.h"
#include "player/units/Shortcuts.h"
#include "ui_ZoMain.h"

#include <QAction>

void TZoMain::ApplyAlwaysOnTop() { SetWindowTopmost(ui_->PMForeground->isChecked()); }

void TZoMain::KeepPointerVisible()
{
    // In full screen the pointer hides after a while; a tool's menu that is
    // open needs it.
    if (!fullScreen_) return;
    MouseTimer->stop();
    ShowCursorInFullScreen(true);
}

QWidget* TZoMain::ViewPanel() { return ui_->ViewPanel; }

namespace {

QWidget* ToolWindowOf(const TZoMain& w, TToolWindow window)
{
    switch (window) {
    case TToolWindow::Capture: return w.CaptureWindow;
    case TToolWindow::PlayListEditor: return w.ListEditWindow;
    case TToolWindow::LibraryEditor: return w.LibraryEditWindow;
    case TToolWindow::FileBrowser: return w.FileBrowserWindow;
    case TToolWindow::Bookmarks: return w.BookmarkWindow;
    case TToolWindow::Countdown: return w.EndingWindow;
    }
    return nullptr;
}

}  // namespace

bool TZoMain::ToolWindowOpen(TToolWindow window) const { return ToolWindowOf(*this, window) != nullptr; }

bool TZoMain::FocusToolWindow(TToolWindow window)
{
    QWidget* tool = ToolWindowOf(*this, window);
    if (!tool) return false;
    tool->raise();
    tool->activateWindow();
    return true;
}

void TZoMain::FocusMainWindow()
{
    raise();
    activateWindow();
}

// ---- picture capture ----

WORD TZoMain::MenuItemShortCut(const char* itemName) const
{
    const auto* item = findChild<QAction*>(QString::fromLatin1(itemName));
    return item ? ItemShortCut(item) : 0;
}

bool TZoMain::AspectUnlocked() const { return ui_->MIUnlockAspect->isChecked(); }

QImage TZoMain::RealMediaPicture() const { return RealControl ? RealControl->CurrentImage() : QImage(); }

HRESULT TZoMain::GrabDvdPicture(QImage* picture)
{
    if (!picture) return E_POINTER;
    const dvd::DvdPlayer* player = DvdPipeline();
    *picture = player ? media::AsCapturedPicture(player->CurrentImage()) : QImage();
    return picture->isNull() ? E_FAIL : S_OK;
}

TCaptureDlg* TZoMain::CaptureDlg() const { return qobject_cast<TCaptureDlg*>(CaptureWindow.data()); }
