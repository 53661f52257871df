// "Bookmarks.bmk" in the ListFiles folder: the bookmarks and repeat sections
// of media files, one block per file, the newest block first. Plain UTF-8
// text, lines ended by "\n":
//   /<file name, at most 70 bytes>/<file stamp>     the block's header
//   <count of bookmarks and sections>
//   <caption>/<position>                            one line per bookmark
//   <<name>><start>/<end>                           one line per section
// Positions are in hundredths of a second. A header is the only kind of line
// that begins with "/"; the writer keeps it so (see BookmarkLine).
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace bookmarks {

inline constexpr char kBookmarkFileName[] = "Bookmarks.bmk";
// The file name in a header is cut to this many bytes (at a character boundary).
inline constexpr int kHeaderNameBytes = 70;
// A larger file is neither read nor rewritten.
inline constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;
// A window's menus hold at most this many entries of a block (bookmarks and
// sections together, the first in the file); the file keeps the others.
inline constexpr int kMaxBlockItems = 1000;

struct TBookmark {
    QString Caption;
    std::int64_t Position = 0;   // hundredths of a second
};

struct TSection {
    QString Name;
    std::int64_t Start = 0;      // hundredths of a second
    std::int64_t End = 0;
};

struct TBlock {
    std::vector<TBookmark> Bookmarks;
    std::vector<TSection> Sections;
    bool IsEmpty() const { return Bookmarks.empty() && Sections.empty(); }
};

// The header line (without its line end) of the file at `mediaPath` with the
// file stamp `stamp`: its last path component, control characters as "_",
// cut to 70 bytes. Saving, loading and the bookmark editor all use this one.
QByteArray BlockHeader(const QString& mediaPath, int stamp);

// The number formed by the decimal digits of `text`, every other character
// dropped; 0 for none. Empty when it would not fit in 32 bits.
std::optional<int> DigitsToInt(QByteArrayView text);

// "%d:%02d:%02d" of the whole seconds of a position in hundredths.
QString TimeText(std::int64_t hundredths);

// The lines of one entry as written. A bookmark whose caption is empty is
// captioned with its time; a caption that begins with "/" or "<" gets a blank
// before it, so that it never reads as a header or a section. Control
// characters become "_" (a line end would split the line); in a section's
// name blanks, ">" and "/" too, so that the line parses back.
QByteArray BookmarkLine(const TBookmark& bookmark);
QByteArray SectionLine(const TSection& section);
// One line read back; empty for a malformed line (no separator, a missing
// start or end, a number beyond 32 bits).
std::optional<TBookmark> ParseBookmarkLine(QByteArrayView line);
std::optional<TSection> ParseSectionLine(QByteArrayView line);

// The block of `header` in the file's content, its first `limit` entries;
// empty when there is none. A count below 1 gives an empty block. No line
// after the last entry kept is read.
std::optional<TBlock> FindBlock(QByteArrayView content, QByteArrayView header, int limit = kMaxBlockItems);
// The block `stored` changed by what a window changed since it loaded
// `before` and now holds `after`: each entry of `before` missing from
// `after` is removed from `stored` once, each entry of `after` missing from
// `before` added (placed by its position, as the menus order them), and
// every other entry of `stored` (another window's, or beyond what the
// window held) stays as it stands. Entries compare by their written lines.
TBlock MergeBlock(const TBlock& stored, const TBlock& before, const TBlock& after);
// The content with every block of `header` removed and, when `block` is
// given, the new block first.
QByteArray ReplaceBlock(QByteArrayView content, QByteArrayView header, const TBlock* block);

class CBookmarkFile {
public:
    explicit CBookmarkFile(QString path) : path_(std::move(path)) {}
    const QString& Path() const { return path_; }

    // The block of `header`; empty when the file or the block is missing or
    // the file cannot be read.
    std::optional<TBlock> Load(QByteArrayView header) const;
    // Writes `block` first in the file, any older block of `header` removed.
    // 0 on success, else an errno; the file is replaced whole (temporary and
    // rename), never left half written.
    int Save(QByteArrayView header, const TBlock& block) const;
    // Removes the block of `header`; a missing file is left missing.
    int Remove(QByteArrayView header) const;
    // Applies to the block of `header` as the file holds it now what changed
    // from `before` to `after` (MergeBlock); a block left empty is removed.
    // Several processes may update the file at once: each change is made
    // under the file's lock on what the one before wrote.
    int Update(QByteArrayView header, const TBlock& before, const TBlock& after) const;

private:
    // Rewrites the file with the block of `header` replaced by what `change`
    // makes of the block stored now (null: the block removed).
    template <typename Change>
    int Rewrite(QByteArrayView header, Change change) const;
    QString path_;
};

}  // namespace bookmarks
