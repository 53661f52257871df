// The list editor's rows and every operation on them, without a window: a
// play list (".zol", ".m3u", WPL read), the media library or the folder
// library, read, sorted, moved, shuffled, thinned and written. Rows are
// addressed by index; a selection is a list of indexes in ascending order.
// Main thread only.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class TLibraryFile;

struct TFileItem {
    QString Title;
    QString KindText;   // the lower-case extension, or "フォルダ"
    QString Artist;
    QString Path;
    int IconIndex = -1; // the shell's icon index, -1 until fetched
    bool IconFetched = false;
    bool Missing = false;   // neither a file nor a folder when read
};

class TListEditRows {
public:
    enum Mode { kPlayList = 0, kLibrary = 1, kFolderLibrary = 2 };
    static constexpr int kKeyCount = 8;   // column c: key 2c ascending, 2c + 1 descending

    TListEditRows(int mode, bool readId3v2) : mode_(mode), readId3v2_(readId3v2) {}

    int Mode() const { return mode_; }
    int Count() const { return static_cast<int>(items_.size()); }
    const std::vector<TFileItem>& Items() const { return items_; }
    const TFileItem& Item(int row) const { return items_[static_cast<size_t>(row)]; }
    // For the icon a row keeps once fetched.
    TFileItem& ItemAt(int row) { return items_[static_cast<size_t>(row)]; }
    QStringList Paths() const;
    void SetTitle(int row, const QString& title);
    // Set by any change of the rows or their order, cleared by a save.
    bool Modified = false;
    // Some row carries an artist from its tag: the artist column is shown.
    bool HasArtist = false;

    // ---- adding ----
    // One media row: title from the file name (the MP3 tag's title and
    // artist when present), kind from the extension.
    void AddListItem(const QString& path);
    // A folder row; `title` is its display name.
    void AddFolderRow(const QString& path, const QString& title);
    // The entries of a ".zol" or ".m3u" list, missing ones included.
    void ReadListFile(const QString& path);
    // A WPL list's existing entries; a file that is no WPL is one row.
    void ReadWplFile(const QString& path);
    // By type: play lists are read in the play-list mode, WPL always; any
    // other file is one row.
    void AddPathByType(const QString& path);
    // The rows of a library file: modes 1 (files, lists and folders) and 2 (folders).
    void LoadLibrary(const TLibraryFile& file);

    // ---- writing ----
    // One path a line, no header, ".zol" and ".m3u" alike. False when the
    // file could not be replaced; the old one is then left whole.
    bool WriteListFile(const QString& path) const;
    // The library file rewritten as name, "?", path lines.
    bool SaveLibrary(const TLibraryFile& file) const;

    // ---- order ----
    // Sort key 0 to 7 (title, kind, artist, path; even ascending, odd
    // descending); equal rows keep their order.
    void Sort(int key);
    // The selected rows one place up or down; the new selection, or the
    // old one unchanged when a selected row already stands at that end.
    std::vector<int> MoveRowsUp(const std::vector<int>& selected);
    std::vector<int> MoveRowsDown(const std::vector<int>& selected);
    // The selected rows, in their order, to the top (target -1) or to just
    // after row `target`; the new selection.
    std::vector<int> MoveRowsTo(const std::vector<int>& selected, int target);
    // A random order; every row is read again as new (titles and tags).
    void Shuffle();

    // ---- removing ----
    void Delete(const std::vector<int>& selected);
    // Rows whose path is now neither a file nor a folder; how many went.
    int DeleteMissing();
    // Later rows with the path of an earlier one (with case); how many went.
    int RemoveDuplicates();
    void ResetRows();

    // The counter: first selected row (1-based, 0 without one) "/" rows.
    static QString CountText(int firstSelected, int count);

private:
    void MarkModified() { Modified = true; }

    int mode_;
    bool readId3v2_;
    std::vector<TFileItem> items_;
};
