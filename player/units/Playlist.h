// The play list: entries in order, the index of the current entry, and the
// shuffle order (a permutation of the entries' indexes, present only for
// lists of two or more entries) with its position. No window: the list's
// model (PlaylistModel.h) owns one and is the way every window changes it.
//
// Indexes are checked before every use: an index outside the list never
// reaches an entry, and a shuffle order that no longer matches the list is
// rebuilt from the current entry before it is stepped through.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <random>
#include <utility>
#include <vector>

struct TPlayListItem {
    TPlayListItem() = default;
    TPlayListItem(QString title, QString path, QString performer = {})
        : Title(std::move(title)), Path(std::move(path)), Performer(std::move(performer))
    {
    }

    QString Title;   // text shown in captions, menus and list views
    QString Path;    // file path or address
    QString Performer;   // an audio CD's track performer; empty otherwise
};

class TPlayList {
public:
    enum class Direction { Forward, Backward };

    int Count() const { return static_cast<int>(items_.size()); }
    bool IsEmpty() const { return items_.empty(); }
    const TPlayListItem& Item(int index) const { return items_.at(static_cast<size_t>(index)); }
    bool IsValidIndex(int index) const { return index >= 0 && index < Count(); }
    // The entries in list order.
    const std::vector<TPlayListItem>& Items() const { return items_; }
    // Replaces the entry at index; an index outside the list changes nothing.
    void SetItem(int index, const TPlayListItem& item);
    // Reorders the entries with `sort`, which permutes them in place and moves
    // `follow` along with its entry, false when it sorted nothing
    // (Clistsort::SortList). ListIndex follows the current entry; a shuffle
    // order, which names entries by their old indexes, is built anew from it.
    using Sorter = std::function<bool(std::vector<TPlayListItem>& items, int* follow)>;
    bool Sort(const Sorter& sort);

    // Appends an entry; in append mode with shuffle on it is also placed into
    // the shuffle order after the current position.
    void Add(const TPlayListItem& item, bool appendMode, bool shuffle);
    // Inserts at index (clamped to the list). ListIndex is left as it is; a
    // shuffle order keeps naming the same entries and takes the new one last.
    void Insert(int index, const TPlayListItem& item);
    // Moves the entry at `from` to `to` (both clamped). ListIndex is left as
    // it is; a shuffle order keeps naming the same entries.
    void Move(int from, int to);
    // Frees every entry, the shuffle order and resets the indexes.
    void Clear();

    int ListIndex() const { return listIndex_; }
    // Sets the current entry. With a shuffle order the position moves to the
    // entry's place in the order, so the next step continues from there.
    void SetListIndex(int index);
    // The current entry, or null when the index lies outside the list.
    const TPlayListItem* Current() const;

    // ---- shuffle order ----
    bool HasShuffleOrder() const { return !order_.empty(); }
    const std::vector<int>& ShuffleOrder() const { return order_; }
    int ShufflePosition() const { return position_; }
    // New random permutation of all entries, position 0 (ListIndex is left
    // to the caller). No order for fewer than two entries.
    void BuildShuffleOrder();
    // New order that begins with the current entry, position 0.
    void BuildShuffleOrderFromCurrent();
    // Places the last entry (just appended) at a random place after the
    // current position, never before it.
    void InsertShuffleEntry();
    void ClearShuffleOrder();
    // Random exchange in place: for i from 1 to n-1, swap a[i] with a[j], j
    // uniform in 0..i.
    void ShuffleIndices(std::vector<int>& a);
    // Drops a shuffle order of fewer than 2 entries.
    void FreeSmallShuffleOrder();

    // ---- steps (choose the entry, open nothing) ----
    // One step forward or backward in list or shuffle order; sets ListIndex
    // and the direction. Past either end of the shuffle order a fresh order
    // is built (forward: its first entry, backward: its last). False when the
    // list has fewer than two entries.
    bool StepNext(bool shuffle);
    bool StepPrevious(bool shuffle);
    Direction LastDirection() const { return direction_; }
    // Whether the current entry is the last of the playing order (the shuffle
    // order when shuffle is on and an order exists, else the list).
    bool IsAtLastPosition(bool shuffle) const
    {
        if (shuffle && HasShuffleOrder()) return position_ >= static_cast<int>(order_.size()) - 1;
        return listIndex_ >= Count() - 1;
    }

    // Removes the current entry (it could not be played): from the list and,
    // with shuffle on, from the shuffle order; then moves the indexes back by
    // one so that the next step in the last direction reaches the entry that
    // follows. With one entry or none left, ListIndex and the position are 0.
    // Returns the number of entries left. An invalid ListIndex removes nothing.
    int RemoveCurrent(bool shuffle);

    // The generator is seeded once per process; tests may seed it.
    static void SeedRandom(std::uint32_t seed);

private:
    // Whether the shuffle order is usable for a list of the current count;
    // a stale one is rebuilt from the current entry.
    bool UsableOrder();
    static std::mt19937& Generator();

    std::vector<TPlayListItem> items_;
    std::vector<int> order_;
    int listIndex_ = 0;
    int position_ = 0;
    Direction direction_ = Direction::Forward;
};
