// The media library window: a small frameless list at the pointer that
// offers the library (kind 0), the media files of a registered folder
// (kind 1) or the play list (kind 2) for a quick choice, hands the choice to
// the main window as a library request and goes as soon as it loses
// activation. The entries, their loading, sorting and the requests live in
// TMediaLibrary; this form shows them and keeps the handlers thin.
#pragma once

#include "player/tools/MediaLibrary.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <memory>

class IToolHost;
class QAction;
class QActionGroup;
class QMenu;
class TLibraryModel;
struct TRowLook;
namespace Ui {
class TMediaViewer;
}

class TMediaViewer : public QMainWindow {
    Q_OBJECT

public:
    // Made as the host's ViewerKind says. `callingButton` is where the window
    // stands when a key called it up; else it stands at the pointer.
    TMediaViewer(IToolHost& host, QWidget* callingButton);
    ~TMediaViewer() override;

    // Set while the window runs a dialog or an operation: the main window keeps it then.
    bool Busy() const { return busy_; }
    // Removes entry `index` from the view (-1: only repaints it).
    void DeleteItem(int index);

    int Kind() const { return library_.Kind(); }
    const TMediaLibrary& Library() const { return library_; }
    Ui::TMediaViewer* Form() const { return ui_.get(); }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // ---- the form's handlers ----
    void FormShow();
    void FormClose();
    void FormDestroy();
    void LibraryListViewClick();
    TRowLook LibraryListViewDrawItem(int row);
    bool LibraryListViewKeyDown(QKeyEvent* event);
    void LibraryListViewMouseMove(const QPoint& pos);
    // Presses at the right and bottom edges size the window, on the free
    // part of the menu bar (or with Ctrl) move it. True when taken.
    bool OnNcHitTest(QWidget* widget, QMouseEvent* event);
    void WndProcDeactivate();
    void mSortClick(QAction* item);
    void N24Click();
    void PopupMenu1Popup();
    void CategoryClick(QAction* item);
    void FolderMenuClick(QAction* item);

    // ---- registration and entry commands (TMediaViewerCommands.cpp) ----
    void ConnectCommands();
    void N1Click();
    void miAddFileToLibClick();
    void miAddListToLibClick();
    void N4Click();
    void N5Click();
    void AddLibraryEntry(const QString& path, const QString& defaultName);
    void RegisterFileDialog();
    void RegisterFolderDialog();
    void PopupLibraryPopup();
    void N2Click();
    void N12Click();
    void N13Click();
    void N19Click();
    void N16Click();
    void N38Click();
    void N8Click();
    void N11Click();
    // The file entry's rename with its refusals; the play list follows.
    void RenameFile(int index, const QString& name);

    // ---- operations ----
    void ApplyKindMenus();
    void LoadLibraryList();
    void LoadFolderLibrary();
    void ListFolderContents(const QString& folder);
    void FillFromPlayList();
    void FitToContent();
    void SortLibraryView();
    void ClearLibraryItems();
    void DeleteLibraryEntry(int index);
    void StoreSortKey();
    int SelectedRow() const;
    void SelectRow(int row);
    // The popup menus: the list's for the library kinds, the sort menu for the play list.
    void ShowPopup(const QPoint& pos);
    // Items inserted into "表示(&V)" ahead of its separator.
    QAction* InsertViewItem(const QString& caption, int tag, void (TMediaViewer::*handler)(QAction*));

    IToolHost& host_;
    std::unique_ptr<Ui::TMediaViewer> ui_;
    TMediaLibrary library_;
    TLibraryModel* model_ = nullptr;
    TViewerMetrics metrics_;
    QRect area_;                   // the display area the window stays in
    QPoint anchor_;
    bool icons_ = false;           // the rows show icons
    bool popupAllowed_ = true;
    int menuHeight_ = 0;           // the menu bar's height; 0 for the play list
    QStringList folderPaths_;      // kind 1: the registered folders, as their menu items
    int shownFolder_ = -1;
    QActionGroup* viewItems_ = nullptr;   // categories or folders
    QActionGroup* sortItems_ = nullptr;
    bool busy_ = true;
    bool handingOver_ = false;
    bool menuShown_ = false;
    bool destroyed_ = false;
};
