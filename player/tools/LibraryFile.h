// The user's registration lists in the data folder's "ListFiles":
// "Library.zorf" (the media library), "FolderLib.zorf" (the folder viewer's
// folders) and "Folders.zorf" (the file browser's folder shortcuts). One
// entry a line: name, "?", path, UTF-8 (CP932 when a copied file is not
// valid UTF-8), each line ended by "\n"; a "\r" before it is dropped, so
// files from elsewhere still read.
//
// A name is written with each "?" turned into "？" (U+FF1F): the first "?"
// of a line then always ends the name, and a path or an address with a
// query keeps its own "?" whole. A line without "?" is both name and path.
// Empty lines are no entries for any reader or editor.
//
// `ListFiles` is made before a write and never for a read. Whole rewrites
// go through the state-file writer (a temporary renamed over the old file);
// an append counts only when the file was also closed without error.
// Lines are compared with case: two paths that differ in case are two files.
#pragma once

#include <QString>

#include <vector>

struct TLibraryEntry {
    QString Name;
    QString Path;
    bool operator==(const TLibraryEntry&) const = default;
};

class TLibraryFile {
public:
    static constexpr const char* kLibrary = "Library.zorf";
    static constexpr const char* kFolderLibrary = "FolderLib.zorf";
    static constexpr const char* kFolders = "Folders.zorf";

    // The list `fileName` in ListFiles of the data folder (not made here).
    static TLibraryFile InListFiles(const char* fileName);
    // A list at any path (tests, benchmarks).
    explicit TLibraryFile(QString path) : path_(std::move(path)) {}

    const QString& Path() const { return path_; }
    bool Exists() const;

    // Every entry in file order; empty when the file is missing.
    std::vector<TLibraryEntry> Read() const;
    // Adds one line at the end. False when the entry cannot be a line (a
    // line end in it) or the file could not be written and closed.
    bool Append(const TLibraryEntry& entry) const;
    // The first line equal to `entry` replaced by `replacement`, or removed.
    // False when the file is missing, no line is equal or it cannot be written.
    bool Replace(const TLibraryEntry& entry, const TLibraryEntry& replacement) const;
    bool Remove(const TLibraryEntry& entry) const;
    // Removes the entry at `index` (in the order Read gives).
    bool RemoveAt(int index) const;
    // The whole file written anew from `entries`, in their order.
    bool Rewrite(const std::vector<TLibraryEntry>& entries) const;

    // One line's entry, and the line (without its end) an entry is written as.
    static TLibraryEntry SplitLine(const QString& line);
    static QString LineOf(const TLibraryEntry& entry);

private:
    // The file's non-empty lines as written; false when it cannot be read.
    bool ReadLines(std::vector<QString>* lines) const;
    bool WriteLines(const std::vector<QString>& lines) const;
    bool MakeFolder() const;

    QString path_;
};
