// The play list: entries in order, the index of the current entry, and the
// shuffle order (a permutation of the entries' indexes, present only for
// lists of two or more entries) with its position. No window: the main
// window owns one and opens entries itself.
#pragma once

#include <QString>

#include <cstdint>
#include <random>
#include <vector>

struct TPlayListItem {
    QString Title;   // text shown in captions, menus and list views
    QString Path;    // file path or address
};

class TPlayList {
public:
    enum class Direction { Forward, Backward };

    int Count() const { return static_cast<int>(items_.size()); }
    bool IsEmpty() const { return items_.empty(); }
    const TPlayListItem& Item(int index) const { return items_.at(static_cast<size_t>(index)); }
    TPlayListItem& Item(int index) { return items_.at(static_cast<size_t>(index)); }
    bool IsValidIndex(int index) const { return index >= 0 && index < Count(); }

    // Appends an entry; in append mode with shuffle on it is also placed into
    // the shuffle order after the current position.
    void Add(const TPlayListItem& item, bool appendMode, bool shuffle);
    void Insert(int index, const TPlayListItem& item);
    void Move(int from, int to);
    // Frees every entry, the shuffle order and resets the indexes.
    void Clear();

    int ListIndex() const { return listIndex_; }
    void SetListIndex(int index) { listIndex_ = index; }
    // The current entry, or null when the index lies outside the list.
    const TPlayListItem* Current() const;

    // ---- shuffle order ----
    bool HasShuffleOrder() const { return !order_.empty(); }
    const std::vector<int>& ShuffleOrder() const { return order_; }
    int ShufflePosition() const { return position_; }
    void BuildShuffleOrder();
    void BuildShuffleOrderFromCurrent();
    void InsertShuffleEntry();
    void ClearShuffleOrder();
    // Random exchange in place: for i from 1 to n-1, swap a[i] with a[rand % (i+1)].
    void ShuffleIndices(std::vector<int>& a);
    // Drops a shuffle order of fewer than 2 entries.
    void FreeSmallShuffleOrder();

    // ---- steps (choose the entry, open nothing) ----
    // One step forward or backward in list or shuffle order; sets ListIndex
    // and the direction. False when the list has fewer than two entries.
    bool StepNext(bool shuffle);
    bool StepPrevious(bool shuffle);
    Direction LastDirection() const { return direction_; }

    // Removes the current entry (it could not be played): from the list and,
    // with shuffle on, from the shuffle order; then moves the indexes back by
    // one so that the next step in the last direction reaches the entry that
    // follows. Returns the number of entries left.
    int RemoveCurrent(bool shuffle);

    // The generator is seeded once per process; tests may seed it.
    static void SeedRandom(std::uint32_t seed);

private:
    std::vector<TPlayListItem> items_;
    std::vector<int> order_;
    int listIndex_ = 0;
    int position_ = 0;
    Direction direction_ = Direction::Forward;
};
