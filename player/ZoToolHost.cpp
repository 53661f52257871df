// The main window as the tool windows see it (IToolHost): the operations
// that are more than a field's read or write.
#include "player/ZoMain.h"

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

void TZoMain::OpenLibraryEditor(int mode)
{
    // The main window's own commands: "ライブラリの編集" and "フォルダライブラリの編集".
    if (mode == 2) MiShowLibraryClick();
    else N24Click();
}

void TZoMain::OpenListInEditor(const QString& path)
{
    // The play-list editor opens the list named in ViewerPath.
    viewerPath_ = path;
    miShowEditListClick();
}
