// List sorting by title, extension or kind, and file date.
#include "Clistsort.h"

#include "platform/paths/paths.h"

#include <QCollator>
#include <QFile>
#include <QLocale>

#include <sys/stat.h>

#include <algorithm>
#include <limits>
#include <numeric>

namespace {

int g_sortKey = Clistsort::skNone;
Clistsort::FileDateReader g_dateReader;

// What each record is compared by, read once per record before sorting:
// std::stable_sort needs a comparison that stays the same throughout, which
// re-reading files during the sort cannot promise.
struct SortKeys {
    std::vector<QCollatorSortKey> titles;
    std::vector<QByteArray> extensions;    // keys 3 and 4 of the play list
    std::vector<std::int64_t> numbers;     // kinds, dates or Time values
    bool byExtension = false;              // keys 3 and 4 compare extensions, not numbers
};

std::vector<QCollatorSortKey> TitleKeys(const std::vector<QString>& titles)
{
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    // The C locale's sort keys are the bare UTF-8 bytes, which would put
    // every capital before every small letter; folding the case first keeps
    // titles that differ only in case together.
    const bool plain = QLocale().language() == QLocale::C;
    std::vector<QCollatorSortKey> keys;
    keys.reserve(titles.size());
    for (const QString& title : titles) keys.push_back(collator.sortKey(plain ? title.toCaseFolded() : title));
    return keys;
}

// Last-write time of the path itself, as a directory listing reports it (a
// symbolic link's own time, folders included), in nanoseconds.
std::int64_t EntryTime(const QString& path)
{
    struct stat st;
    if (path.isEmpty() || lstat(QFile::encodeName(path).constData(), &st) != 0)
        return std::numeric_limits<std::int64_t>::min();   // missing: the oldest
    return std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// How two records compare under the key, from their precomputed keys.
class Order {
public:
    Order(const SortKeys& keys, int key) : keys_(keys), key_(key) {}

    bool operator()(int a, int b) const
    {
        switch (key_) {
        case Clistsort::skTitleAscending:
            return Title(a, b) < 0;
        case Clistsort::skTitleDescending:
            return Title(b, a) < 0;
        case Clistsort::skExtensionAscending:
        case Clistsort::skExtensionDescending:
        case Clistsort::skDateAscending:
        case Clistsort::skDateDescending: {
            const bool byExtension = key_ <= Clistsort::skExtensionDescending && keys_.byExtension;
            const int c = byExtension ? keys_.extensions[size_t(a)].compare(keys_.extensions[size_t(b)])
                                      : Compare(keys_.numbers[size_t(a)], keys_.numbers[size_t(b)]);
            if (c == 0) return Title(a, b) < 0;
            const bool ascending = key_ == Clistsort::skExtensionAscending || key_ == Clistsort::skDateAscending;
            return ascending ? c < 0 : c > 0;
        }
        default:
            return false;   // every pair equal: the list keeps its order
        }
    }

private:
    int Title(int a, int b) const { return keys_.titles[size_t(a)].compare(keys_.titles[size_t(b)]); }
    static int Compare(std::int64_t a, std::int64_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

    const SortKeys& keys_;
    int key_;
};

// Sorts the records by the order and moves `follow` along with its record.
template <class Record>
void Apply(std::vector<Record>& records, const SortKeys& keys, int key, int* follow)
{
    std::vector<int> order(records.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), Order(keys, key));

    std::vector<Record> sorted;
    sorted.reserve(records.size());
    int followed = -1;
    for (size_t i = 0; i < order.size(); ++i) {
        if (follow && order[i] == *follow) followed = int(i);
        sorted.push_back(std::move(records[size_t(order[i])]));
    }
    records = std::move(sorted);
    if (follow && followed >= 0) *follow = followed;
}

// Keys of records whose title is `title` (a member pointer), read once.
template <class Record>
SortKeys TitledKeys(const std::vector<Record>& records, QString Record::*title)
{
    SortKeys keys;
    std::vector<QString> titles;
    titles.reserve(records.size());
    for (const Record& record : records) titles.push_back(record.*title);
    keys.titles = TitleKeys(titles);
    return keys;
}

bool IsDateKey(int key) { return key == Clistsort::skDateAscending || key == Clistsort::skDateDescending; }

bool TooLongForDates(size_t count, int key)
{
    return IsDateKey(key) && count > size_t(Clistsort::kMaxDateSortRecords);
}

}   // namespace

void Clistsort::SetListSortKey(int key) { g_sortKey = key; }

int Clistsort::ListSortKey() { return g_sortKey; }

std::uint32_t Clistsort::FileDate(const QString& path)
{
    const int stamp = GetFileDosDateTime(path);
    return stamp == -1 ? 0u : static_cast<std::uint32_t>(stamp);
}

void Clistsort::SetFileDateReader(FileDateReader reader) { g_dateReader = std::move(reader); }

bool Clistsort::SortList(std::vector<TPlayListItem>& list, int* follow)
{
    const int key = g_sortKey;
    if (TooLongForDates(list.size(), key)) return false;
    SortKeys keys = TitledKeys(list, &TPlayListItem::Title);
    if (key == skExtensionAscending || key == skExtensionDescending) {
        keys.byExtension = true;
        keys.extensions.reserve(list.size());
        for (const TPlayListItem& item : list) keys.extensions.push_back(GetFileExtension(item.Path).toUtf8());
    } else if (IsDateKey(key)) {
        keys.numbers.reserve(list.size());
        for (const TPlayListItem& item : list)
            keys.numbers.push_back(g_dateReader ? g_dateReader(item.Path) : std::int64_t(FileDate(item.Path)));
    }
    Apply(list, keys, key, follow);
    return true;
}

bool Clistsort::SortLibraryItems(std::vector<TLibraryItem>& items, int* follow)
{
    const int key = g_sortKey;
    if (TooLongForDates(items.size(), key)) return false;
    SortKeys keys = TitledKeys(items, &TLibraryItem::Name);
    keys.numbers.reserve(items.size());
    for (const TLibraryItem& item : items) {
        if (IsDateKey(key))
            keys.numbers.push_back(g_dateReader ? g_dateReader(item.Path) : EntryTime(item.Path));
        else
            keys.numbers.push_back(item.Kind);
    }
    Apply(items, keys, key, follow);
    return true;
}

void Clistsort::SortItemsByValue(std::vector<TLibraryItem>& items)
{
    SortKeys keys = TitledKeys(items, &TLibraryItem::Name);
    keys.numbers.reserve(items.size());
    for (const TLibraryItem& item : items) keys.numbers.push_back(item.Time);
    // The same comparison as the date keys: 5 ascending, anything else descending.
    Apply(items, keys, g_sortKey == skDateAscending ? skDateAscending : skDateDescending, nullptr);
}
