// Readers of play-list files, and the writer of the player's own lists.
//
// Kinds: 0 ".zol" (the player's own list), 1 ".m3u", 2 WPL, 3 ASX,
// 4 Internet shortcut (".url"), 5 RealMedia metafile (".ram").
// Entries found are handed on in file order through the sink.
#pragma once

#include <QString>
#include <QStringList>

class IListSink {
public:
    virtual ~IListSink() = default;
    // One media path or stream address.
    virtual void AddFileToList(const QString& path) = 0;
    // A target that may itself be a list (Internet shortcuts).
    virtual void AddPathOrPlayList(const QString& path) = 0;
};

class CReadList {
public:
    explicit CReadList(IListSink* sink) : sink_(sink) {}
    // Reads the list of the kind; nothing is returned. A list that is
    // already being read (a shortcut naming itself, two lists naming each
    // other) is not read again.
    void Read(const QString& path, int kind);

private:
    IListSink* sink_;
    QString path_;
};

// Kind of a list file by its extension (lower case): 0..5, or -1 for none.
int ListKindForExtension(const QString& extension);

// Writes the paths one per line, each followed by "\n", through a temporary
// file renamed over the old one. False when the file cannot be written.
bool WritePlayListFile(const QString& path, const QStringList& paths);
