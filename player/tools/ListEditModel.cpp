#include "player/tools/ListEditModel.h"

#include "player/tools/ListEditRows.h"

#include <QLineEdit>
#include <QMouseEvent>

namespace {

// How far the pointer moves with the button held before a row is dragged.
constexpr int kDragThreshold = 10;

}  // namespace

TListEditModel::TListEditModel(TListEditRows& rows, QObject* parent)
    : QAbstractTableModel(parent), rows_(rows), captions_(ColumnCount)
{
}

int TListEditModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_.Count(); }

int TListEditModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant TListEditModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.Count()) return {};
    const TFileItem& item = rows_.Item(index.row());
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (index.column()) {
        case ColumnTitle: return item.Title;
        case ColumnKind: return item.KindText;
        case ColumnArtist: return item.Artist;
        case ColumnPath: return item.Path;
        default: return {};
        }
    }
    if (role == Qt::DecorationRole && index.column() == ColumnTitle && iconOf_) return iconOf_(index.row());
    return {};
}

bool TListEditModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || index.column() != ColumnTitle || !OnEdited) return false;
    OnEdited(index.row(), value.toString());
    return true;
}

QVariant TListEditModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount) return {};
    return captions_.at(section);
}

Qt::ItemFlags TListEditModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (editable_ && index.column() == ColumnTitle) f |= Qt::ItemIsEditable;
    return f;
}

void TListEditModel::Reload()
{
    beginResetModel();
    endResetModel();
}

void TListEditModel::RowsChanged(int first, int last)
{
    if (first > last || rows_.Count() == 0) return;
    emit dataChanged(index(std::max(first, 0), 0), index(std::min(last, rows_.Count() - 1), ColumnCount - 1));
}

void TListEditModel::SetCaption(int column, const QString& caption)
{
    captions_[column] = caption;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void TListEditModel::SetIcons(std::function<QVariant(int row)> iconOf)
{
    iconOf_ = std::move(iconOf);
    if (rows_.Count() > 0) RowsChanged(0, rows_.Count() - 1);
}

void TListEditView::CancelDrag()
{
    dragging_ = false;
    pressedRow_ = -1;
}

void TListEditView::CancelEdit()
{
    if (auto* editor = viewport()->findChild<QLineEdit*>()) closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

void TListEditView::mousePressEvent(QMouseEvent* event)
{
    QTreeView::mousePressEvent(event);
    pressedRow_ = -1;
    if (event->button() != Qt::LeftButton) return;
    const QModelIndex at = indexAt(event->position().toPoint());
    if (!at.isValid()) return;
    pressedRow_ = at.row();
    pressedAt_ = event->position().toPoint();
}

void TListEditView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (!(event->buttons() & Qt::LeftButton) || pressedRow_ < 0) {
        if (dragging_ && drag_.MoveWithoutRow) drag_.MoveWithoutRow();
        QTreeView::mouseMoveEvent(event);
        return;
    }
    // A held press on a row never extends the selection: it drags the rows.
    if (!dragging_) {
        if ((pos - pressedAt_).manhattanLength() < kDragThreshold) return;
        dragging_ = true;
        if (drag_.Start) drag_.Start(pos);
    }
    if (drag_.Move) drag_.Move(pos, event->modifiers());
}

void TListEditView::mouseReleaseEvent(QMouseEvent* event)
{
    const bool dropped = dragging_ && event->button() == Qt::LeftButton;
    QTreeView::mouseReleaseEvent(event);
    if (dropped) {
        dragging_ = false;
        pressedRow_ = -1;
        if (drag_.Drop) drag_.Drop(event->position().toPoint());
    }
    if (event->button() == Qt::LeftButton) pressedRow_ = -1;
}

bool TListEditView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    const bool started = QTreeView::edit(index, trigger, event);
    if (started && trigger == AllEditTriggers && OnEditing) OnEditing(true);
    return started;
}

void TListEditView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    QTreeView::closeEditor(editor, hint);
    if (OnEditing) OnEditing(false);
}
