// Readers of play-list files, and the writer of the player's own lists.
//
// Kinds: 0 ".zol" (the player's own list), 1 ".m3u", 2 WPL, 3 ASX,
// 4 Internet shortcut (".url"), 5 RealMedia metafile (".ram").
// Entries found are handed on in file order through the sink.
//
// Lines of a list are resolved like this: "/..." is absolute and an address
// ("scheme://...") is a stream, both taken as they are; any other line is
// relative to the list's folder ("\" read as "/");
// network paths ("\\..." or "//...") and drive paths ("X:...") of lists
// written elsewhere are skipped. Text that is not valid UTF-8 is CP932.
// A line of more than 64 KiB is no entry and is skipped whole; of a list
// larger than 64 MiB the first 64 MiB are read.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

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

    // The list editor's reading of ".zol" and ".m3u": every entry is handed
    // on whether it exists or not (the editor marks the missing ones), and
    // the M3U header lines are skipped in both kinds.
    void SetEditorRules(bool on) { editorRules_ = on; }

    // Fetches the content of a list named by an address ("scheme://...").
    // Without a loader such a list cannot be opened: kinds 2 to 5 then hand
    // the address on as one media item (a stream), kinds 0 and 1 add nothing.
    using AddressLoader = std::function<bool(const QString& address, QByteArray* content)>;
    static void SetAddressLoader(AddressLoader loader);

private:
    void ReadPlainList(bool m3u);
    void ReadWpl();
    void ReadAsx();
    void ReadInternetShortcut();
    void ReadRealMetafile();

    IListSink* sink_;
    QString path_;
    bool editorRules_ = false;
};

// Kind of a list file by its extension (lower case): 0..5, or -1 for none.
int ListKindForExtension(const QString& extension);

// Writes the paths one per line, each followed by "\n", through the state-file
// writer (a flushed temporary file renamed over the old one). A path holding a line end cannot be written
// as a line and is left out. False when the file cannot be written.
bool WritePlayListFile(const QString& path, const QStringList& paths);

// Resolves one line of a list against the list's folder (see above); empty
// when the line is skipped (empty, network or drive path).
QString ResolveListLine(const QString& line, const QString& listFolder);
// Decodes the XML entities &amp; &lt; &gt; &quot; &apos; &#NN; &#xNN;.
QString DecodeXmlEntities(const QString& text);
