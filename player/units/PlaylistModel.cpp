// The play list's table model: each change of the list with its signals.
#include "PlaylistModel.h"

#include "platform/paths/paths.h"
#include "player/units/Clistsort.h"

#include <algorithm>

TPlayListModel::TPlayListModel(QObject* parent) : QAbstractTableModel(parent) {}

int TPlayListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Count(); }

int TPlayListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant TPlayListModel::data(const QModelIndex& index, int role) const
{
    // A view may still ask for a row that a batch has since taken away.
    if (role != Qt::DisplayRole || !index.isValid() || index.parent().isValid() || !IsValidIndex(index.row()))
        return {};
    const TPlayListItem& item = Item(index.row());
    switch (index.column()) {
    case ColumnTitle:
        return item.Title;
    case ColumnKind:
        return GetFileExtension(item.Path);
    case ColumnArtist:
        return item.Performer;
    case ColumnPath:
        return item.Path;
    default:
        return {};
    }
}

QVariant TPlayListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case ColumnTitle:
        return QStringLiteral("タイトル");
    case ColumnKind:
        return QStringLiteral("種類");
    case ColumnArtist:
        return QStringLiteral("アーティスト");
    case ColumnPath:
        return QStringLiteral("ファイル名");
    default:
        return {};
    }
}

Qt::ItemFlags TPlayListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    return QAbstractTableModel::flags(index) | Qt::ItemNeverHasChildren;
}

// ---- batches ----

bool TPlayListModel::Announce()
{
    if (batchDepth_ == 0) return true;
    // The reset is begun before the batch's first change, as views require.
    if (!batchResetting_) {
        batchResetting_ = true;
        beginResetModel();
    }
    return false;
}

void TPlayListModel::BeginBatch()
{
    if (batchDepth_++ == 0) batchIndex_ = ListIndex();
}

void TPlayListModel::EndBatch()
{
    if (--batchDepth_ > 0) return;
    if (batchResetting_) {
        batchResetting_ = false;
        endResetModel();
    }
    IndexChangedFrom(batchIndex_);
}

void TPlayListModel::IndexChangedFrom(int before)
{
    if (batchDepth_ == 0 && ListIndex() != before) emit listIndexChanged(ListIndex());
}

// ---- changes ----

void TPlayListModel::Add(const TPlayListItem& item, bool appendMode, bool shuffle)
{
    const bool announce = Announce();
    if (announce) beginInsertRows(QModelIndex(), Count(), Count());
    list_.Add(item, appendMode, shuffle);
    if (announce) endInsertRows();
}

void TPlayListModel::Insert(int index, const TPlayListItem& item)
{
    index = std::clamp(index, 0, Count());
    const bool announce = Announce();
    if (announce) beginInsertRows(QModelIndex(), index, index);
    list_.Insert(index, item);
    if (announce) endInsertRows();
}

void TPlayListModel::Move(int from, int to)
{
    if (IsEmpty()) return;
    from = std::clamp(from, 0, Count() - 1);
    to = std::clamp(to, 0, Count() - 1);
    if (from == to) return;
    const bool announce = Announce();
    // The destination counts rows before the move: below the source it is one further.
    if (announce) beginMoveRows(QModelIndex(), from, from, QModelIndex(), to > from ? to + 1 : to);
    list_.Move(from, to);
    if (announce) endMoveRows();
}

void TPlayListModel::Clear()
{
    const int before = ListIndex();
    // Closing media clears an empty list every time: no rows, no reset.
    const bool announce = !IsEmpty() && Announce();
    if (announce) beginResetModel();
    list_.Clear();
    if (announce) endResetModel();
    IndexChangedFrom(before);
}

void TPlayListModel::SetListIndex(int index)
{
    const int before = ListIndex();
    list_.SetListIndex(index);
    IndexChangedFrom(before);
}

int TPlayListModel::RemoveCurrent(bool shuffle)
{
    const int row = ListIndex();
    if (!IsValidIndex(row)) return Count();
    const bool announce = Announce();
    if (announce) beginRemoveRows(QModelIndex(), row, row);
    const int left = list_.RemoveCurrent(shuffle);
    if (announce) endRemoveRows();
    IndexChangedFrom(row);
    return left;
}

bool TPlayListModel::StepNext(bool shuffle)
{
    const int before = ListIndex();
    const bool stepped = list_.StepNext(shuffle);
    IndexChangedFrom(before);
    return stepped;
}

bool TPlayListModel::StepPrevious(bool shuffle)
{
    const int before = ListIndex();
    const bool stepped = list_.StepPrevious(shuffle);
    IndexChangedFrom(before);
    return stepped;
}

void TPlayListModel::SetItem(int index, const TPlayListItem& item)
{
    if (!IsValidIndex(index)) return;
    const bool announce = Announce();
    list_.SetItem(index, item);
    if (announce) emit dataChanged(this->index(index, 0), this->index(index, ColumnCount - 1));
}

bool TPlayListModel::Sort()
{
    const int before = ListIndex();
    // A date sort of a list too long for dates sorts nothing; the views are
    // reset all the same, since the sort tells so only after the fact.
    const bool announce = Announce();
    if (announce) beginResetModel();
    const bool sorted = list_.Sort([](std::vector<TPlayListItem>& items, int* follow) {
        return Clistsort::SortList(items, follow);
    });
    if (announce) endResetModel();
    IndexChangedFrom(before);
    return sorted;
}
