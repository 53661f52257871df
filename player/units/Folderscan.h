// Folder scans of the folder intake: the sub-folders of a tree, and the
// media files of one folder.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// All sub-folders below `folder`, depth first, each listed before its own
// sub-folders, siblings in name order (the user's locale collation, numbers in
// names compared as numbers); paths without a trailing "/". `keepGoing` is called between entries; the scan stops when it
// returns false (what was collected so far is returned). Each folder is
// entered once: a symbolic link to a folder already met (the tree itself
// included) is not followed again, so link loops end.
QStringList ScanFolder(const QString& folder, const std::function<bool()>& keepGoing);

// The media files of one folder (not its sub-folders), in name order as
// ScanFolder's sub-folders. `extensionList` is the displayed-file-types text
// ("*.avi;*.mpg;..."); an entry is taken when its lower-cased extension equals
// one of the listed extensions exactly. With isFolder true `path` is the
// folder; with isFolder false it is a file whose folder is scanned and whose
// own name is skipped. Entries without extension or with "ifo" are skipped;
// folders are never taken, whatever their name; a shortcut (lnk, desktop) is
// taken as its target when that is an existing file.
QStringList FolderMediaFiles(const QString& path, bool isFolder, const QString& extensionList);

// The names of the entries of one folder that are not folders (links
// followed), in name order as ScanFolder's sub-folders; empty when the
// folder cannot be read.
QStringList FolderFileNames(const QString& folder);

// The extensions of an `Extension` text: "*" and ";" removed, a leading "."
// removed, the rest split at ".". "*.avi;*.mpg" gives avi, mpg.
QStringList ParseExtensionList(const QString& extensionList);
