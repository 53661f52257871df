// The media library window's menus: the list's pop-up menus, the sort
// keys, the library's categories and the folder viewer's folders.
#include "player/tools/TMediaViewer.h"

#include "player/tools/MediaViewerRows.h"
#include "player/tools/ToolHost.h"
#include "player/units/PlaylistModel.h"
#include "player/units/Settings.h"
#include "ui_TMediaViewer.h"

#include <QActionGroup>

namespace {

int Tag(const QAction* item) { return item->property("Tag").toInt(); }

}  // namespace

// ---- menus ----

void TMediaViewer::ShowPopup(const QPoint& pos)
{
    const QPoint global = ui_->LibraryListView->viewport()->mapToGlobal(pos);
    if (library_.Kind() != TMediaLibrary::kList)
        ui_->PopupLibrary->popup(global);
    else if (popupAllowed_)
        ui_->PopupMenu1->popup(global);
}

void TMediaViewer::PopupMenu1Popup()
{
    const bool dates = host_.PlayList().Count() <= Clistsort::kMaxDateSortRecords;
    ui_->N30->setEnabled(dates);
    ui_->N31->setEnabled(dates);
}

void TMediaViewer::StoreSortKey()
{
    TMainSettings& s = host_.MutableSettings();
    const DWORD key = static_cast<DWORD>(library_.SortKey);
    switch (library_.Kind()) {
    case TMediaLibrary::kLibrary:
        s.LibrarySort = key;
        break;
    case TMediaLibrary::kFolders:
        s.FolderSort = key;
        break;
    default:
        s.ListSort = key;
        break;
    }
}

void TMediaViewer::SortLibraryView()
{
    if (library_.Kind() == TMediaLibrary::kList) {
        // The play list itself is sorted; its current entry stays current.
        host_.SortPlayList(library_.SortKey);
    } else {
        library_.Sort();
        model_->Reload();
    }
    ui_->LibraryListView->viewport()->update();
}

void TMediaViewer::mSortClick(QAction* item)
{
    item->setChecked(true);
    menuShown_ = false;
    busy_ = true;
    library_.SortKey = Tag(item);
    if (library_.SortKey > 0) SortLibraryView();
    StoreSortKey();
    busy_ = false;
}

void TMediaViewer::N24Click()
{
    if (library_.SortKey == 0) return;
    library_.SortKey = 0;
    ui_->N24->setChecked(true);
    ClearLibraryItems();
    StoreSortKey();
    if (library_.Kind() == TMediaLibrary::kLibrary) {
        LoadLibraryList();
    } else {
        host_.SetRememberedFolderRow(0);
        const int last = static_cast<int>(host_.Settings().LastSelectedFolder);
        if (last >= 0 && last < folderPaths_.size()) ListFolderContents(folderPaths_.at(last));
        else FitToContent();
    }
}

void TMediaViewer::CategoryClick(QAction* item)
{
    if (Tag(item) == library_.CategoryShown) return;
    item->setChecked(true);
    ClearLibraryItems();
    LoadLibraryList();
}

void TMediaViewer::FolderMenuClick(QAction* item)
{
    const int folder = Tag(item);
    if (folder == shownFolder_ || folder < 0 || folder >= folderPaths_.size()) return;
    busy_ = true;
    item->setChecked(true);
    shownFolder_ = folder;
    ClearLibraryItems();
    ListFolderContents(folderPaths_.at(folder));
    host_.MutableSettings().LastSelectedFolder = static_cast<DWORD>(folder);
    host_.SetRememberedFolderRow(0);
    busy_ = false;
}
