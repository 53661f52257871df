// The main window as the tool windows see it (IToolHost): the operations
// that are more than a field's read or write.
#include "player/ZoMain.h"

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

QWidget* TZoMain::OpenToolWindow(TToolWindow window) const { return ToolWindowOf(*this, window); }

WORD TZoMain::MenuShortCut(const char* item) const
{
    const auto* action = findChild<QAction*>(QString::fromLatin1(item));
    return action ? ItemShortCut(action) : 0;
}

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
