// Play list, current index and shuffle order.
#include "Playlist.h"

#include <algorithm>
#include <chrono>
#include <numeric>

std::mt19937& TPlayList::Generator()
{
    // Seeded once per process: rebuilding an order within the same second
    // must not repeat the previous one.
    static std::mt19937 generator([] {
        std::random_device device;
        const auto now = static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        std::seed_seq seq{device(), device(), now};
        return std::mt19937(seq);
    }());
    return generator;
}

void TPlayList::SeedRandom(std::uint32_t seed) { Generator().seed(seed); }

void TPlayList::Add(const TPlayListItem& item, bool appendMode, bool shuffle)
{
    items_.push_back(item);
    if (appendMode && shuffle) InsertShuffleEntry();
}

void TPlayList::Insert(int index, const TPlayListItem& item)
{
    index = std::clamp(index, 0, Count());
    items_.insert(items_.begin() + index, item);
    if (order_.empty()) return;
    for (int& value : order_) {
        if (value >= index) ++value;
    }
    order_.push_back(index);
}

void TPlayList::Move(int from, int to)
{
    if (items_.empty()) return;
    from = std::clamp(from, 0, Count() - 1);
    to = std::clamp(to, 0, Count() - 1);
    if (from == to) return;
    TPlayListItem item = std::move(items_[static_cast<size_t>(from)]);
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, std::move(item));
    for (int& value : order_) {
        if (value == from) value = to;
        else if (from < to && value > from && value <= to) --value;
        else if (from > to && value >= to && value < from) ++value;
    }
}

void TPlayList::SetItem(int index, const TPlayListItem& item)
{
    if (IsValidIndex(index)) items_[static_cast<size_t>(index)] = item;
}

bool TPlayList::Sort(const Sorter& sort)
{
    int current = listIndex_;
    if (!sort(items_, &current)) return false;
    const bool reshuffle = !order_.empty();
    if (reshuffle) ClearShuffleOrder();
    listIndex_ = current;
    if (reshuffle) BuildShuffleOrderFromCurrent();
    return true;
}

void TPlayList::Clear()
{
    items_.clear();
    order_.clear();
    listIndex_ = 0;
    position_ = 0;
    direction_ = Direction::Forward;
}

void TPlayList::SetListIndex(int index)
{
    listIndex_ = index;
    if (order_.empty()) return;
    if (position_ >= 0 && position_ < static_cast<int>(order_.size()) && order_[static_cast<size_t>(position_)] == index)
        return;
    const auto it = std::find(order_.begin(), order_.end(), index);
    if (it != order_.end()) position_ = static_cast<int>(it - order_.begin());
}

const TPlayListItem* TPlayList::Current() const
{
    return IsValidIndex(listIndex_) ? &items_[static_cast<size_t>(listIndex_)] : nullptr;
}

// ---- shuffle order ----

void TPlayList::ShuffleIndices(std::vector<int>& a)
{
    auto& generator = Generator();
    for (size_t i = 1; i < a.size(); ++i) {
        std::uniform_int_distribution<size_t> pick(0, i);
        std::swap(a[i], a[pick(generator)]);
    }
}

void TPlayList::BuildShuffleOrder()
{
    order_.clear();
    position_ = 0;
    const int n = Count();
    if (n < 2) return;
    order_.resize(static_cast<size_t>(n));
    std::iota(order_.begin(), order_.end(), 0);
    ShuffleIndices(order_);
}

void TPlayList::BuildShuffleOrderFromCurrent()
{
    if (!IsValidIndex(listIndex_)) {
        BuildShuffleOrder();
        return;
    }
    BuildShuffleOrder();
    if (order_.empty()) return;
    // The current entry first, the others in their shuffled order.
    const auto it = std::find(order_.begin(), order_.end(), listIndex_);
    std::rotate(order_.begin(), it, it + 1);
    position_ = 0;
}

void TPlayList::InsertShuffleEntry()
{
    const int n = Count();
    if (n < 2) return;
    if (order_.empty() || static_cast<int>(order_.size()) != n - 1) {
        // No order yet (the list had one entry) or a stale one: start an
        // order at the current entry, so the new one comes after it.
        BuildShuffleOrderFromCurrent();
        return;
    }
    const int size = static_cast<int>(order_.size());
    position_ = std::clamp(position_, 0, size - 1);
    const int places = n - position_ - 1;   // places after the current one, the end included
    int r = 0;
    if (places > 1) r = std::uniform_int_distribution<int>(0, places - 1)(Generator());
    order_.insert(order_.begin() + position_ + 1 + r, n - 1);
}

void TPlayList::ClearShuffleOrder()
{
    order_.clear();
    position_ = 0;
}

void TPlayList::FreeSmallShuffleOrder()
{
    if (order_.size() < 2) ClearShuffleOrder();
}

bool TPlayList::UsableOrder()
{
    if (order_.empty()) return false;
    if (static_cast<int>(order_.size()) != Count()) BuildShuffleOrderFromCurrent();
    return !order_.empty();
}

// ---- steps ----

bool TPlayList::StepNext(bool shuffle)
{
    const int n = Count();
    if (n < 2) return false;
    direction_ = Direction::Forward;
    if (shuffle && UsableOrder()) {
        const int size = static_cast<int>(order_.size());
        if (position_ >= size - 1) BuildShuffleOrder();
        else position_ = std::max(position_, -1) + 1;
        listIndex_ = order_[static_cast<size_t>(position_)];
    } else {
        listIndex_ = (listIndex_ < -1 || listIndex_ >= n - 1) ? 0 : listIndex_ + 1;
    }
    return true;
}

bool TPlayList::StepPrevious(bool shuffle)
{
    const int n = Count();
    if (n < 2) return false;
    direction_ = Direction::Backward;
    if (shuffle && UsableOrder()) {
        const int size = static_cast<int>(order_.size());
        if (position_ < 1) {
            BuildShuffleOrder();
            position_ = size - 1;
        } else {
            position_ = std::min(position_, size) - 1;
        }
        listIndex_ = order_[static_cast<size_t>(position_)];
    } else {
        listIndex_ = (listIndex_ <= 0 || listIndex_ > n) ? n - 1 : listIndex_ - 1;
    }
    return true;
}

int TPlayList::RemoveCurrent(bool shuffle)
{
    if (!IsValidIndex(listIndex_)) return Count();
    const int removed = listIndex_;
    items_.erase(items_.begin() + removed);

    bool steppedInOrder = false;
    if (!order_.empty()) {
        // The element for the removed entry: normally the one at the
        // position; searched for when the two have drifted apart.
        int at = -1;
        if (position_ >= 0 && position_ < static_cast<int>(order_.size()) &&
            order_[static_cast<size_t>(position_)] == removed)
            at = position_;
        else {
            const auto it = std::find(order_.begin(), order_.end(), removed);
            if (it != order_.end()) at = static_cast<int>(it - order_.begin());
        }
        if (at >= 0) {
            order_.erase(order_.begin() + at);
            position_ = at;
        }
        for (int& value : order_) {
            if (value > removed) --value;
        }
        if (order_.size() < 2 || static_cast<int>(order_.size()) != Count()) ClearShuffleOrder();
        else steppedInOrder = shuffle && at >= 0;
    }

    const int left = Count();
    if (left <= 1) {
        listIndex_ = 0;
        position_ = 0;
        return left;
    }
    // The position (or ListIndex) now names the follower of the removed
    // entry; going forward steps back one so that the next step reaches it,
    // going backward the previous step reaches the one before it.
    if (direction_ == Direction::Forward) {
        if (steppedInOrder) position_ -= 1;
        else listIndex_ -= 1;
    }
    return left;
}
