#include "units/Bookmarkfile.h"

#include "platform/files/boundedread.h"
#include "platform/files/statefile.h"
#include "common/Cstrings.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <cerrno>
#include <limits>

namespace bookmarks {

namespace {

// Walks the lines of a content, each without its "\n" (and a "\r" before it).
class LineReader {
public:
    explicit LineReader(QByteArrayView content) : content_(content) {}
    bool Next(QByteArrayView* line, qsizetype* start = nullptr)
    {
        if (pos_ >= content_.size()) return false;
        const qsizetype begin = pos_;
        qsizetype end = content_.indexOf('\n', pos_);
        if (end < 0) {
            end = content_.size();
            pos_ = end;
        } else {
            pos_ = end + 1;
        }
        QByteArrayView text = content_.sliced(begin, end - begin);
        if (text.endsWith('\r')) text.chop(1);
        *line = text;
        if (start) *start = begin;
        return true;
    }
    qsizetype Position() const { return pos_; }

private:
    QByteArrayView content_;
    qsizetype pos_ = 0;
};

bool IsControl(QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; }

QString WithoutControls(QString text)
{
    for (QChar& c : text)
        if (IsControl(c)) c = QLatin1Char('_');
    return text;
}

// A number of decimal digits only, within 32 bits.
std::optional<int> StrictNumber(QByteArrayView text)
{
    if (text.isEmpty()) return std::nullopt;
    for (char c : text)
        if (c < '0' || c > '9') return std::nullopt;
    return DigitsToInt(text);
}

QByteArrayView Trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t')) text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t')) text.chop(1);
    return text;
}

}  // namespace

QByteArray BlockHeader(const QString& mediaPath, int stamp)
{
    QString name = mediaPath.mid(mediaPath.lastIndexOf(QLatin1Char('/')) + 1);
    name = CutUtf8(WithoutControls(name), kHeaderNameBytes);
    return '/' + name.toUtf8() + '/' + QByteArray::number(stamp);
}

std::optional<int> DigitsToInt(QByteArrayView text)
{
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') continue;
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<int>::max()) return std::nullopt;
    }
    return static_cast<int>(value);
}

QString TimeText(std::int64_t hundredths)
{
    const std::int64_t seconds = hundredths > 0 ? hundredths / 100 : 0;
    return QString::asprintf("%lld:%02d:%02d", static_cast<long long>(seconds / 3600),
                             static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
}

QByteArray BookmarkLine(const TBookmark& bookmark)
{
    QString caption = WithoutControls(bookmark.Caption);
    if (caption.isEmpty()) caption = TimeText(bookmark.Position);
    if (caption.startsWith(QLatin1Char('/')) || caption.startsWith(QLatin1Char('<'))) caption.prepend(QLatin1Char(' '));
    return caption.toUtf8() + '/' + QByteArray::number(static_cast<qlonglong>(bookmark.Position));
}

QByteArray SectionLine(const TSection& section)
{
    QString name = WithoutControls(section.Name);
    for (QChar& c : name)
        if (c.isSpace() || c == QLatin1Char('>') || c == QLatin1Char('/')) c = QLatin1Char('_');
    if (name.isEmpty()) name = TimeText(section.Start) + QLatin1Char('-') + TimeText(section.End);
    return '<' + name.toUtf8() + '>' + QByteArray::number(static_cast<qlonglong>(section.Start)) + '/' +
           QByteArray::number(static_cast<qlonglong>(section.End));
}

std::optional<TBookmark> ParseBookmarkLine(QByteArrayView line)
{
    // The caption may hold "/" itself: the position follows the last one.
    const qsizetype slash = line.lastIndexOf('/');
    if (slash < 0) return std::nullopt;
    const std::optional<int> position = DigitsToInt(line.sliced(slash + 1));
    if (!position) return std::nullopt;
    TBookmark bookmark;
    bookmark.Caption = DecodeLegacyText(line.first(slash).toByteArray());
    bookmark.Position = *position;
    return bookmark;
}

std::optional<TSection> ParseSectionLine(QByteArrayView line)
{
    // "<", the first ">" and the first "/" after it separate name, start and
    // end; each part is one word.
    if (!line.startsWith('<')) return std::nullopt;
    const qsizetype close = line.indexOf('>');
    if (close < 0) return std::nullopt;
    const qsizetype slash = line.indexOf('/', close + 1);
    if (slash < 0) return std::nullopt;
    const QByteArrayView name = Trimmed(line.sliced(1, close - 1));
    if (name.isEmpty() || name.contains(' ') || name.contains('\t')) return std::nullopt;
    const std::optional<int> start = StrictNumber(Trimmed(line.sliced(close + 1, slash - close - 1)));
    const std::optional<int> end = StrictNumber(Trimmed(line.sliced(slash + 1)));
    if (!start || !end) return std::nullopt;
    TSection section;
    section.Name = DecodeLegacyText(name.toByteArray());
    section.Start = *start;
    section.End = *end;
    return section;
}

std::optional<TBlock> FindBlock(QByteArrayView content, QByteArrayView header, int limit)
{
    LineReader reader(content);
    QByteArrayView line;
    bool found = false;
    while (reader.Next(&line)) {
        if (line.startsWith('/') && line == header) {
            found = true;
            break;
        }
    }
    if (!found) return std::nullopt;
    TBlock block;
    if (!reader.Next(&line) || line.startsWith('/') || line.isEmpty()) return block;
    bool countOk = false;
    const int count = line.toByteArray().trimmed().toInt(&countOk);
    if (!countOk || count < 1) return block;
    int kept = 0;
    for (int i = 0; i < count && kept < limit && reader.Next(&line); ++i) {
        if (line.isEmpty() || line.startsWith('/')) break;
        if (line.startsWith('<')) {
            if (std::optional<TSection> section = ParseSectionLine(line)) {
                block.Sections.push_back(*section);
                ++kept;
            }
        } else if (std::optional<TBookmark> bookmark = ParseBookmarkLine(line)) {
            block.Bookmarks.push_back(*bookmark);
            ++kept;
        }
    }
    return block;
}

namespace {

// The entries of `stored` less those removed from `before` to `after`, with
// those added placed by their key; `Line` writes an entry, `Key` orders it.
template <typename Entry, typename Line, typename Key>
std::vector<Entry> MergeEntries(const std::vector<Entry>& stored, const std::vector<Entry>& before,
                                const std::vector<Entry>& after, Line line, Key key)
{
    QHash<QByteArray, int> removed;   // lines of `before` not in `after`, with their counts
    for (const Entry& e : before) ++removed[line(e)];
    std::vector<const Entry*> added;
    for (const Entry& e : after) {
        const auto it = removed.find(line(e));
        if (it != removed.end() && it.value() > 0) {
            --it.value();
        } else {
            added.push_back(&e);
        }
    }
    std::vector<Entry> out;
    out.reserve(stored.size() + added.size());
    for (const Entry& e : stored) {
        const auto it = removed.find(line(e));
        if (it != removed.end() && it.value() > 0) {
            --it.value();
            continue;
        }
        out.push_back(e);
    }
    for (const Entry* e : added) {
        auto at = out.begin();
        while (at != out.end() && key(*at) <= key(*e)) ++at;
        out.insert(at, *e);
    }
    return out;
}

}  // namespace

TBlock MergeBlock(const TBlock& stored, const TBlock& before, const TBlock& after)
{
    TBlock out;
    out.Bookmarks = MergeEntries(stored.Bookmarks, before.Bookmarks, after.Bookmarks, BookmarkLine,
                                 [](const TBookmark& b) { return b.Position; });
    out.Sections = MergeEntries(stored.Sections, before.Sections, after.Sections, SectionLine,
                                [](const TSection& s) { return s.Start; });
    return out;
}

QByteArray ReplaceBlock(QByteArrayView content, QByteArrayView header, const TBlock* block)
{
    QByteArray out;
    out.reserve(content.size() + 256);
    if (block) {
        out += header;
        out += '\n';
        out += QByteArray::number(static_cast<qulonglong>(block->Bookmarks.size() + block->Sections.size()));
        out += '\n';
        for (const TBookmark& bookmark : block->Bookmarks) out += BookmarkLine(bookmark) + '\n';
        for (const TSection& section : block->Sections) out += SectionLine(section) + '\n';
    }
    // The other lines as they were, runs of lines kept whole; the old
    // block goes from its header up to the next header.
    LineReader reader(content);
    QByteArrayView line;
    qsizetype start = 0;
    bool skipping = false;
    qsizetype keepFrom = 0;
    while (reader.Next(&line, &start)) {
        if (!line.startsWith('/')) continue;
        const bool ours = line == header;
        if (ours && !skipping) {
            out += content.sliced(keepFrom, start - keepFrom);
            skipping = true;
        } else if (!ours && skipping) {
            keepFrom = start;
            skipping = false;
        }
    }
    if (!skipping) {
        out += content.sliced(keepFrom);
        // A last line without its line end gets one before anything follows it.
        if (!out.isEmpty() && !out.endsWith('\n')) out += '\n';
    }
    return out;
}

std::optional<TBlock> CBookmarkFile::Load(QByteArrayView header) const
{
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    if (file.size() > kMaxFileBytes) return std::nullopt;
    const QByteArray content = files::ReadAtMost(file, kMaxFileBytes);
    return FindBlock(content, header);
}

template <typename Change>
int CBookmarkFile::Rewrite(QByteArrayView header, Change change) const
{
    const statefile::FileLock lock(QFile::encodeName(path_).toStdString());
    QByteArray content;
    QFile file(path_);
    if (file.open(QIODevice::ReadOnly)) {
        if (file.size() > kMaxFileBytes) return EFBIG;
        content = files::ReadAtMost(file, kMaxFileBytes);
        file.close();
    } else if (file.exists()) {
        return EACCES;
    }
    const std::optional<TBlock> block = change(content);
    if (!block && content.isEmpty()) return 0;   // nothing to remove from
    const QByteArray updated = ReplaceBlock(content, header, block ? &*block : nullptr);
    if (updated == content) return 0;
    return statefile::WriteAtomically(QFile::encodeName(path_).toStdString(),
                                      std::string_view(updated.constData(), static_cast<size_t>(updated.size())));
}

int CBookmarkFile::Save(QByteArrayView header, const TBlock& block) const
{
    return Rewrite(header, [&](const QByteArray&) { return std::optional<TBlock>(block); });
}

int CBookmarkFile::Remove(QByteArrayView header) const
{
    return Rewrite(header, [](const QByteArray&) { return std::optional<TBlock>(); });
}

int CBookmarkFile::Update(QByteArrayView header, const TBlock& before, const TBlock& after) const
{
    return Rewrite(header, [&](const QByteArray& content) {
        const std::optional<TBlock> stored = FindBlock(content, header, std::numeric_limits<int>::max());
        TBlock merged = MergeBlock(stored.value_or(TBlock()), before, after);
        return merged.IsEmpty() ? std::optional<TBlock>() : std::optional<TBlock>(std::move(merged));
    });
}

}  // namespace bookmarks
