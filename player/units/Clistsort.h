// Sorting of the player's lists in place: the play list and the records of
// the media library's views, by one sort key shared by the whole program.
// The key is set first (SetListSortKey), then one of the sort operations runs.
//
// Keys: 1 and 2 title ascending and descending (the user's locale, case
// ignored), 3 and 4 extension (play list) or kind (library), 5 and 6 the
// file's last-write date (oldest first, newest first). Ties on extension,
// kind or date fall back to title ascending; entries that are still equal
// keep their order. Any other key leaves the list as it is.
//
// Every record's title, extension and date are read once before sorting, so
// a file that changes or disappears while the list is sorted cannot make the
// comparison inconsistent; a file that cannot be read sorts as the oldest.
//
// Main thread only: the key is a plain program-wide value.
#pragma once

#include "player/units/Playlist.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

// One record of the media library's views (kinds 0 and 1 of the library window).
struct TLibraryItem {
    QString Name;               // shown text; the record's title for sorting
    QString Path;
    int IconIndex = -1;         // system image list index, -1 until fetched
    int Kind = 0;               // 0 folder, 1 list file, 2 media file, 3 disc drive
    std::uint8_t IconLoaded = 0;
    int Time = 0;               // the file's DOS date-time from the folder scan; 0 for library entries
};

class Clistsort {
public:
    enum : int {
        skNone = 0,
        skTitleAscending = 1,
        skTitleDescending = 2,
        skExtensionAscending = 3,
        skExtensionDescending = 4,
        skDateAscending = 5,
        skDateDescending = 6,
    };
    // Lists longer than this are not sorted by date: every record's file
    // would have to be opened.
    static constexpr int kMaxDateSortRecords = 1000;

    static void SetListSortKey(int key);
    static int ListSortKey();

    // Sort with the play-list comparison (extensions of the paths, DOS
    // date-time stamps of the files). When `follow` names an entry, it is
    // set to that entry's new index. False when nothing was sorted (date
    // keys on more than kMaxDateSortRecords entries).
    static bool SortList(std::vector<TPlayListItem>& list, int* follow = nullptr);
    // Sort with the library comparison (the records' kinds, the last-write
    // times of the paths themselves, folders included). `follow` and the
    // result as for SortList.
    static bool SortLibraryItems(std::vector<TLibraryItem>& items, int* follow = nullptr);
    // Sort by the records' Time values as signed integers: key 5 ascending,
    // any other key descending; ties by title ascending. Reads no files.
    static void SortItemsByValue(std::vector<TLibraryItem>& items);

    // Last-write time of a file as a DOS date-time stamp, compared unsigned
    // (stamps from 2044 on have the top bit set); 0, older than any stamp,
    // when the file cannot be opened.
    static std::uint32_t FileDate(const QString& path);

    // Replaces the reading of file dates for both comparisons (larger is
    // newer); an empty function restores the files' own dates. For tests that
    // model files changing while a list is sorted.
    using FileDateReader = std::function<std::int64_t(const QString& path)>;
    static void SetFileDateReader(FileDateReader reader);
};
