// What the media library window lists, apart from the window: the entries
// of its kind (the library with the discs in the drives, the media files of
// one registered folder), how they are loaded, filtered by category, sized,
// sorted and removed, the size and place the window takes for them, and
// what a click on an entry asks the main window to do. The window
// (TMediaViewer) owns one and shows it; tests drive it without a window.
//
// Kind 2 (the play list) lists no entries of its own: its rows are the play
// list's shared model; only its widths and place are worked out here.
#pragma once

#include "player/tools/ToolNotice.h"
#include "player/units/Clistsort.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class TLibraryFile;
struct TLibraryEntry;

// The style's measures the window's sizes are made of, in pixels. Tests fix
// them so that sizes come out the same on every style.
struct TViewerMetrics {
    int SmallIcon = 16;    // an icon of the list
    int ScrollBar = 16;    // the width of a vertical scroll bar
    int Edge = 2;          // the list's frame, each side
    int MenuBar = 20;      // the height of a menu bar

    // The style's values, or the ones a test fixed.
    static TViewerMetrics Current();
    static void Fix(std::optional<TViewerMetrics> metrics);
};

// What a click on an entry asks: the request and the path it is for.
struct TLibraryChoice {
    LibraryRequest Request = LibraryRequest::Nothing;
    QString Path;
};

// What is open while the user clicks: a drive entry of the open disc's drive
// opens nothing new.
struct TOpenDisc {
    bool DvdPlaying = false;
    bool CdOpen = false;
    QString Drive;   // the open audio CD's drive (the main window's OpenDriveLetter)
};

class TMediaLibrary {
public:
    enum Kind : int { kLibrary = 0, kFolders = 1, kList = 2 };
    // Entry kinds of TLibraryItem, and 2 "not yet known" for library lines.
    enum EntryKind : int { kFolder = 0, kListFile = 1, kMediaFile = 2, kDrive = 3 };
    // The categories of the library's view menu (their Tags).
    enum Category : int { kAll = 0, kMediaFiles = 1, kLists = 2, kFoldersAndDrives = 3 };

    using TextWidth = std::function<int(const QString&)>;

    TMediaLibrary(int kind, TextWidth textWidth);

    int Kind() const { return kind_; }
    const std::vector<TLibraryItem>& Items() const { return items_; }
    int Count() const { return static_cast<int>(items_.size()); }
    // An entry whose icon the view fetches and keeps.
    TLibraryItem& Item(int index) { return items_[static_cast<size_t>(index)]; }

    // ---- widths: the client width the entries need, within the limits ----
    int ContentWidth = 120;
    int MaxWidth = 350;
    int MaxHeight = 300;
    int ExtraWidth = 0;      // icon, number column, scroll bar, frame and a margin
    int NumberWidth = 0;     // kind 2: the number column
    bool LockWidth = false;  // LockMLWidth: the window keeps MaxWidth
    int SortKey = 0;
    int CategoryShown = kAll;

    // ---- loading ----
    // One entry; in the library a path of kind 2 is looked at first (a list
    // file, a media file or a folder; gone: not added) and filtered by the
    // category. True when the entry was added.
    bool AddLibraryItem(const QString& name, const QString& path, int kind, int time);
    // The library: the discs in the drives (for "all" and "folders and
    // drives"), then the file's entries; sorted unless the key is 0.
    void LoadLibraryList(const TLibraryFile& file);
    // The registered folders of the folder library that exist, in file order.
    static std::vector<TLibraryEntry> RegisteredFolders(const TLibraryFile& file);
    // The files of `folder` (not of its sub-folders) whose extension is in
    // `extensionList` ("*.avi;*.mpg"), in name order; shortcuts by their
    // targets; sorted unless the key is 0.
    void ListFolderContents(const QString& folder, const QString& extensionList, bool showExtension);
    // Kind 2: the widths of the play list's titles (the first 501 at most).
    void MeasureTitles(const std::vector<QString>& titles);
    void Clear();
    // Kinds 0 and 1 by SortKey: folder dates by the scan's stamps, the rest
    // by Clistsort's library comparison.
    void Sort();
    // Removes entry `index`; false when there is none.
    bool DeleteItem(int index);
    // Entry `index` shows `name` (a renamed registration or file); the
    // width grows for it as for a new entry.
    void RenameItem(int index, const QString& name, const QString& path);

    // ---- registration ----
    // What a file chosen for the library registers: the file, its folder
    // when `folder` is set, and for an ".ifo" the DVD's folder (the one that
    // holds its "VIDEO_TS" folder, whatever its case).
    static QString RegistrationPath(const QString& chosen, bool folder);
    // A file's name without folder and extension, and the path the file
    // gets for the new base name `name` (its folder, its old extension).
    static QString BaseName(const QString& path);
    static QString RenamedPath(const QString& path, const QString& name);

    // ---- a click ----
    // The request for an entry that exists (the window asks about vanished
    // entries and a playing DVD before).
    static TLibraryChoice ChoiceFor(const TLibraryItem& item, const TOpenDisc& open);
    // Whether two drive names are one drive (the open disc's and an entry's).
    static bool SameDrive(const QString& a, const QString& b);

    // ---- size and place ----
    struct Fit {
        QSize Client;       // the list's area (the window less its menu bar)
        int ColumnWidth;    // the one column: less the scroll bar when one shows
        QPoint TopLeft;     // the window's frame, inside the display area
    };
    // The window's size for `count` rows of `rowHeight` with the first row at
    // `firstRowTop`, its frame (window less client) `frame`, at `topLeft`,
    // kept inside `area` on all four sides.
    Fit FitToContent(int count, int rowHeight, int firstRowTop, const QSize& frame, const QPoint& topLeft,
                     const QRect& area, const TViewerMetrics& metrics) const;
    // MaxWidth and MaxHeight from the display area and ViewerMax (width
    // percent x 256 + height percent), less the window's frame.
    void SetLimits(const QRect& area, unsigned viewerMax, const QSize& frame);

private:
    void Measure(const QString& name);
    bool Admitted(int kind) const;

    int kind_;
    TextWidth textWidth_;
    std::vector<TLibraryItem> items_;
};
