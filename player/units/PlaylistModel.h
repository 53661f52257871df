// The play list as a table model: the one owner of the TPlayList and the only
// way to change it, so that every window that shows the list (the main
// window's caption, the list editor, the play-list viewer) learns of each
// change from the model's signals instead of being told by hand.
//
// The changing operations keep TPlayList's names and meaning. Each reports
// its change as rows inserted, removed or moved, a reset (clear, sort) or
// data changed (an entry replaced), and listIndexChanged when ListIndex ends
// with another value. A row is a list index.
//
// Loads of many entries open a Batch: whatever changes inside it reaches the
// views as one reset when the outermost batch closes, so a list of 100,000
// entries is not announced entry by entry.
#pragma once

#include "player/units/Playlist.h"

#include <QAbstractTableModel>

class TPlayListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // The list editor's columns, in its order.
    enum Column { ColumnTitle, ColumnKind, ColumnArtist, ColumnPath, ColumnCount };

    explicit TPlayListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // ---- reading ----
    const TPlayList& List() const { return list_; }
    int Count() const { return list_.Count(); }
    bool IsEmpty() const { return list_.IsEmpty(); }
    bool IsValidIndex(int index) const { return list_.IsValidIndex(index); }
    const TPlayListItem& Item(int index) const { return list_.Item(index); }
    const std::vector<TPlayListItem>& Items() const { return list_.Items(); }
    int ListIndex() const { return list_.ListIndex(); }
    const TPlayListItem* Current() const { return list_.Current(); }
    bool HasShuffleOrder() const { return list_.HasShuffleOrder(); }
    const std::vector<int>& ShuffleOrder() const { return list_.ShuffleOrder(); }
    int ShufflePosition() const { return list_.ShufflePosition(); }
    TPlayList::Direction LastDirection() const { return list_.LastDirection(); }
    bool IsAtLastPosition(bool shuffle) const { return list_.IsAtLastPosition(shuffle); }

    // ---- changing (TPlayList's operations) ----
    void Add(const TPlayListItem& item, bool appendMode, bool shuffle);
    void Insert(int index, const TPlayListItem& item);
    void Move(int from, int to);
    void Clear();
    void SetListIndex(int index);
    int RemoveCurrent(bool shuffle);
    bool StepNext(bool shuffle);
    bool StepPrevious(bool shuffle);
    // Replaces the entry at index (an audio CD's titles in another language).
    void SetItem(int index, const TPlayListItem& item);
    // Sorts by the program-wide sort key (Clistsort); ListIndex follows the
    // current entry and a shuffle order is built anew from it. False when
    // nothing was sorted (date keys on a list too long to read the dates of).
    bool Sort();
    // The shuffle order changes no row and no index: no signal.
    void BuildShuffleOrder() { list_.BuildShuffleOrder(); }
    void BuildShuffleOrderFromCurrent() { list_.BuildShuffleOrderFromCurrent(); }
    void ClearShuffleOrder() { list_.ClearShuffleOrder(); }
    void FreeSmallShuffleOrder() { list_.FreeSmallShuffleOrder(); }

    // Holds the signals of the changes made while it lives and sends one
    // reset (and listIndexChanged) when the outermost batch ends; nothing at
    // all when nothing changed.
    class Batch {
    public:
        explicit Batch(TPlayListModel& model) : model_(model) { model_.BeginBatch(); }
        ~Batch() { model_.EndBatch(); }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        TPlayListModel& model_;
    };

signals:
    void listIndexChanged(int index);

private:
    // The signals around a change, or the batch's reset begun at its first change.
    bool Announce();
    void BeginBatch();
    void EndBatch();
    // Sends listIndexChanged when the index moved from `before` (outside a batch).
    void IndexChangedFrom(int before);

    TPlayList list_;
    int batchDepth_ = 0;
    bool batchResetting_ = false;
    int batchIndex_ = 0;   // ListIndex when the outermost batch began
};
