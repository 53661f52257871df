// The list editor's table: showing the rows, the counter, selection, moves,
// sorting by column, renaming in place, the pop-up menu, icons, keys and
// reordering rows by dragging them.
#include "platform/dialogs/dialogs.h"
#include "platform/dialogs/filedialogs.h"
#include "platform/keys/keys.h"
#include "platform/shell/icons.h"
#include "platform/shell/properties.h"
#include "player/tools/ListEditModel.h"
#include "player/tools/TListEditForm.h"
#include "player/tools/ToolHost.h"
#include "player/units/Shortcuts.h"
#include "ui_TListEditForm.h"

#include <QDragEnterEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>

namespace {

constexpr int kArtistWidth = 85;
const char* const kColumnCaptions[] = {"タイトル", "種類", "アーティスト", "ファイル名"};
// Auto-scroll while dragging: the step, and how far outside the table the pointer must be.
constexpr int kScrollStep = 15;
constexpr int kBelowMargin = 4;
constexpr int kAboveMargin = 8;

}  // namespace

void TListEditForm::Reload()
{
    model_->Reload();
    TListEditView* view = ui_->ListViewForEdit;
    if (rows_.HasArtist && view->columnWidth(TListEditModel::ColumnArtist) == 0)
        view->setColumnWidth(TListEditModel::ColumnArtist, kArtistWidth);
    else if (!rows_.HasArtist)
        view->setColumnWidth(TListEditModel::ColumnArtist, 0);
    UpdateCountLabel();
}

void TListEditForm::UpdateCountLabel()
{
    const std::vector<int> selected = SelectedRows();
    lblFontSize_->setText(TListEditRows::CountText(selected.empty() ? -1 : selected.front(), rows_.Count()));
}

void TListEditForm::RestoreColumnCaptions()
{
    for (int c = 0; c < TListEditModel::ColumnCount; ++c) {
        model_->SetCaption(c, QString::fromUtf8(kColumnCaptions[c]));
        sortDescending_[c] = false;
    }
}

std::vector<int> TListEditForm::SelectedRows() const
{
    std::vector<int> rows;
    const QItemSelectionModel* selection = ui_->ListViewForEdit->selectionModel();
    if (!selection) return rows;
    for (const QItemSelectionRange& range : selection->selection())
        for (int r = range.top(); r <= range.bottom(); ++r) rows.push_back(r);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void TListEditForm::SelectRows(const std::vector<int>& rows)
{
    TListEditView* view = ui_->ListViewForEdit;
    // Runs of neighbouring rows become one range: a thousand moved rows are
    // one selection change, not a thousand.
    QItemSelection selection;
    for (size_t i = 0; i < rows.size();) {
        size_t j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1) ++j;
        selection.select(model_->index(rows[i], 0), model_->index(rows[j], TListEditModel::ColumnCount - 1));
        i = j + 1;
    }
    if (!rows.empty())
        view->selectionModel()->setCurrentIndex(model_->index(rows.front(), 0), QItemSelectionModel::NoUpdate);
    view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    UpdateCountLabel();
}

// ---- commands on the rows ----

void TListEditForm::AcMoveUpExecute()
{
    const std::vector<int> selected = SelectedRows();
    const std::vector<int> moved = rows_.MoveRowsUp(selected);
    if (moved == selected) return;
    model_->RowsChanged(moved.front(), selected.back());
    SelectRows(moved);
    ui_->ListViewForEdit->scrollTo(model_->index(moved.front(), 0));
}

void TListEditForm::AcMoveDownExecute()
{
    const std::vector<int> selected = SelectedRows();
    const std::vector<int> moved = rows_.MoveRowsDown(selected);
    if (moved == selected) return;
    model_->RowsChanged(selected.front(), moved.back());
    SelectRows(moved);
    ui_->ListViewForEdit->scrollTo(model_->index(moved.back(), 0));
}

void TListEditForm::AcDeleteExecute()
{
    const std::vector<int> selected = SelectedRows();
    if (selected.empty()) return;
    rows_.Delete(selected);
    Reload();
    if (rows_.Count() > 0) SelectRows({std::min(selected.front(), rows_.Count() - 1)});
}

void TListEditForm::AcDeleteNoFileExecute()
{
    const int removed = rows_.DeleteMissing();
    Reload();
    MessageBox(this,
               removed > 0 ? QStringLiteral("%1個のリンク切れアイテムを削除しました。").arg(removed)
                           : QStringLiteral("リンク切れアイテムは見つかりませんでした。"),
               QStringLiteral("情報"), MB_ICONINFORMATION | MB_TOPMOST);
}

void TListEditForm::N3Click()
{
    const int removed = rows_.RemoveDuplicates();
    Reload();
    MessageBox(this,
               removed > 0 ? QStringLiteral("%1個の重複アイテムを削除しました。").arg(removed)
                           : QStringLiteral("重複アイテムは見つかりませんでした。"),
               QStringLiteral("情報"), MB_ICONINFORMATION | MB_TOPMOST);
}

void TListEditForm::miShuffleClick()
{
    if (rows_.Mode() != TListEditRows::kPlayList) return;
    rows_.Shuffle();
    RestoreColumnCaptions();
    Reload();
}

void TListEditForm::AcSelectAllExecute()
{
    ui_->ListViewForEdit->selectAll();
    UpdateCountLabel();
}

void TListEditForm::ListViewForEditColumnClick(int column)
{
    if (column < 0 || column >= TListEditModel::ColumnCount) return;
    for (int c = 0; c < TListEditModel::ColumnCount; ++c) {
        if (c == column) continue;
        model_->SetCaption(c, QString::fromUtf8(kColumnCaptions[c]));
        sortDescending_[c] = false;
    }
    const bool descending = sortDescending_[column];
    model_->SetCaption(column, QString::fromUtf8(kColumnCaptions[column]) +
                                   (descending ? QStringLiteral("△") : QStringLiteral("▽")));
    sortDescending_[column] = !descending;
    rows_.Sort(2 * column + (descending ? 1 : 0));
    Reload();
}

// ---- font and icons ----

void TListEditForm::N4Click()
{
    QFont font = ui_->ListViewForEdit->font();
    const QFont before = font;
    host_.SetDialogOpen(true);
    const bool chosen = dialogs::ChooseFont(this, &font, [this](const QFont& f) { FontDialogApply(f); });
    host_.SetDialogOpen(false);
    ApplyListFont(chosen ? font : before);
}

void TListEditForm::FontDialogApply(const QFont& font) { ApplyListFont(font); }

void TListEditForm::miShowIconClick()
{
    if (ui_->miShowIcon->isChecked())
        model_->SetIcons([this](int row) { return RowIcon(row); });
    else
        model_->SetIcons({});
}

QVariant TListEditForm::RowIcon(int row)
{
    TFileItem& item = rows_.ItemAt(row);
    if (item.Missing) return {};
    if (!item.IconFetched) {
        item.IconIndex = shell::IconProvider::Shared().IndexForPath(item.Path);
        item.IconFetched = true;
    }
    if (item.IconIndex <= 0) return {};
    return shell::IconProvider::Shared().Icon(item.IconIndex);
}

// ---- renaming ----

void TListEditForm::SetEditingState(bool enabled)
{
    for (QAction* a : {ui_->MiRename, ui_->AcOpenFile, ui_->AcEditList, ui_->AcAddPlayingFile, ui_->AcAddAllFiles,
                       ui_->AcSaveList, ui_->AcMoveUp, ui_->AcMoveDown, ui_->AcDelete, ui_->AcDeleteNoFile,
                       ui_->AcShowGrid, ui_->AcSelectAll})
        a->setEnabled(enabled);
    editing_ = !enabled;
}

void TListEditForm::MiRenameClick()
{
    const std::vector<int> selected = SelectedRows();
    if (selected.empty() || rows_.Mode() == TListEditRows::kPlayList) return;
    ui_->ListViewForEdit->edit(model_->index(selected.front(), TListEditModel::ColumnTitle));
}

void TListEditForm::ListViewForEditEdited(int row, const QString& text)
{
    if (row >= 0 && row < rows_.Count() && text != rows_.Item(row).Title) {
        rows_.SetTitle(row, text);
        model_->RowsChanged(row, row);
    }
}

void TListEditForm::FormDeactivate()
{
    if (editing_) SetEditingState(true);
}

void TListEditForm::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) FormDeactivate();
    QMainWindow::changeEvent(event);
}

// ---- the pop-up menu ----

void TListEditForm::PopupMenuPopup(const QPoint& pos)
{
    TListEditView* view = ui_->ListViewForEdit;
    host_.KeepPointerVisible();
    const bool editorOpen = host_.ToolWindowOpen(TToolWindow::PlayListEditor);
    ui_->MiEditList->setEnabled(!editorOpen);
    const std::vector<int> selected = SelectedRows();
    if (rows_.Count() == 0 || selected.empty()) {
        for (QAction* a : {ui_->MiRename, ui_->MiEditList, ui_->pmDeleteFile, ui_->N5}) a->setEnabled(false);
    } else if (const QModelIndex at = view->indexAt(pos); at.isValid()) {
        const bool rowSelected = std::binary_search(selected.begin(), selected.end(), at.row());
        if (rows_.Mode() != TListEditRows::kPlayList) {
            if (editing_) {
                view->CancelEdit();
                SetEditingState(true);
            }
            ui_->MiRename->setEnabled(rowSelected);
            const QString kind = rows_.Item(at.row()).KindText;
            ui_->MiEditList->setEnabled(!editorOpen && rowSelected &&
                                        (kind == QLatin1String("zol") || kind == QLatin1String("m3u")));
        }
        ui_->pmDeleteFile->setEnabled(rowSelected);
        ui_->N5->setEnabled(rowSelected);
    }
    ui_->PopupMenu->popup(view->viewport()->mapToGlobal(pos));
}

void TListEditForm::MiEditListClick()
{
    const std::vector<int> selected = SelectedRows();
    if (selected.empty()) return;
    const QString path = rows_.Item(selected.front()).Path;
    auto* editor = qobject_cast<TListEditForm*>(host_.OpenToolWindow(TToolWindow::PlayListEditor));
    if (!editor) {
        host_.MiListEditClick();
        editor = qobject_cast<TListEditForm*>(host_.OpenToolWindow(TToolWindow::PlayListEditor));
        if (!editor) return;
    } else if (editor->Modified() && editor->Rows().Count() > 0 &&
               MessageBox(this, QStringLiteral("リストを編集中です。\n編集中のリストを破棄してよろしいですか？"),
                          QStringLiteral("確認"), MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) != IDYES) {
        return;
    }
    editor->OpenListFile(path);
    editor->show();
    editor->raise();
    editor->activateWindow();
}

void TListEditForm::N5Click()
{
    const std::vector<int> selected = SelectedRows();
    if (!selected.empty()) shell::ShowPathProperties(this, rows_.Item(selected.front()).Path);
}

// ---- keys ----

bool TListEditForm::DispatchKey(QKeyEvent* event)
{
    const WORD code = keys::ShortCutOf(*event);
    if (code == 0) return false;
    for (QAction* a : keyActions_) {
        if (ItemShortCut(a) != code) continue;
        if (!a->isEnabled() || !a->isVisible()) return false;
        a->trigger();
        return true;
    }
    return false;
}

bool TListEditForm::ListViewForEditKeyDown(QKeyEvent* event)
{
    if (editing_) return false;   // keys belong to the edit box
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && mods == Qt::NoModifier) {
        const std::vector<int> selected = SelectedRows();
        if (!selected.empty()) host_.OpenFileActivated(rows_.Item(selected.front()).Path);
        return true;
    }
    if (event->key() == Qt::Key_Escape && mods == Qt::NoModifier) {
        close();
        return true;
    }
    if (event->key() == Qt::Key_Delete && mods == Qt::NoModifier) {
        AcDeleteExecute();
        return true;
    }
    return DispatchKey(event);
}

void TListEditForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    if (!DispatchKey(event)) QMainWindow::keyPressEvent(event);
}

bool TListEditForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui_->ListViewForEdit && event->type() == QEvent::KeyPress &&
        ListViewForEditKeyDown(static_cast<QKeyEvent*>(event)))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

// ---- dragging rows ----

void TListEditForm::DragStart(const QPoint&)
{
    TListEditView* view = ui_->ListViewForEdit;
    draggedRow_ = view->currentIndex().row();
    dropTarget_ = -1;
    insertAtTop_ = false;
    timer_->start();
}

void TListEditForm::DragOver(const QPoint& pos, Qt::KeyboardModifiers modifiers)
{
    TListEditView* view = ui_->ListViewForEdit;
    dragPos_ = pos;
    dragModifiers_ = modifiers;
    timer_->setInterval(modifiers & Qt::ShiftModifier ? 20 : 50);
    // Over the table's head (less than a line's height from its top) the
    // rows go to the top of the list.
    const int fromTop = view->viewport()->mapTo(view, pos).y();
    const bool insert = fromTop < QFontMetrics(view->font()).height();
    if (insert != insertAtTop_ || insert) ShowCaption(insert);
    insertAtTop_ = insert;
    const int row = view->indexAt(pos).row();
    dropTarget_ = row >= 0 && row != draggedRow_ ? row : -1;
}

void TListEditForm::TimerTimer()
{
    TListEditView* view = ui_->ListViewForEdit;
    if (!view->Dragging()) {
        timer_->stop();
        return;
    }
    QScrollBar* bar = view->verticalScrollBar();
    const int fromTop = view->viewport()->mapTo(view, dragPos_).y();
    if (dragPos_.y() > view->viewport()->height() + kBelowMargin)
        bar->setValue(bar->value() + kScrollStep);
    else if (fromTop < -kAboveMargin)
        bar->setValue(bar->value() - kScrollStep);
}

void TListEditForm::DragDrop(const QPoint& pos)
{
    DragOver(pos, dragModifiers_);
    const std::vector<int> selected = SelectedRows();
    std::vector<int> moved;
    if (!selected.empty() && (insertAtTop_ || dropTarget_ >= 0))
        moved = rows_.MoveRowsTo(selected, insertAtTop_ ? -1 : dropTarget_);
    EndDrag();
    if (moved.empty()) return;
    model_->RowsChanged(0, rows_.Count() - 1);
    SelectRows(moved);
}

void TListEditForm::EndDrag()
{
    ui_->ListViewForEdit->CancelDrag();
    timer_->stop();
    draggedRow_ = -1;
    dropTarget_ = -1;
    insertAtTop_ = false;
    ShowCaption(false);
}

// ---- files dropped from elsewhere ----

void TListEditForm::dragEnterEvent(QDragEnterEvent* event)
{
    // A row drag that wandered off the table ends without a drop.
    if (ui_->ListViewForEdit->Dragging()) EndDrag();
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TListEditForm::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TListEditForm::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    event->acceptProposedAction();
    AddDroppedPaths(paths);
}
