// Play-list file readers and writer.
#include "Creadlist.h"

#include "common/Cstrings.h"
#include "platform/files/statefile.h"
#include "platform/paths/paths.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <QUrl>

#include <algorithm>
#include <memory>

namespace {

CReadList::AddressLoader& Loader()
{
    static CReadList::AddressLoader loader;
    return loader;
}

// Lists being read by the Read calls on the stack of this thread, and how deep
// they nest (an Internet shortcut hands its target back to the window, which
// may read another list from there).
thread_local QSet<QString> t_reading;
constexpr int kMaxNesting = 16;

bool IsAddress(const QString& path) { return path.contains(QLatin1String("://")); }

QString ListKey(const QString& path)
{
    if (IsAddress(path)) return path;
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

class ReadingGuard {
public:
    explicit ReadingGuard(const QString& key) : key_(key)
    {
        if (t_reading.size() < kMaxNesting && !t_reading.contains(key_)) {
            t_reading.insert(key_);
            entered_ = true;
        }
    }
    ~ReadingGuard()
    {
        if (entered_) t_reading.remove(key_);
    }
    ReadingGuard(const ReadingGuard&) = delete;
    ReadingGuard& operator=(const ReadingGuard&) = delete;
    bool Entered() const { return entered_; }

private:
    QString key_;
    bool entered_ = false;
};

// The list's content: a local regular file, or an address through the loader.
std::unique_ptr<QIODevice> OpenSource(const QString& path)
{
    if (IsAddress(path)) {
        QByteArray content;
        if (!Loader() || !Loader()(path, &content)) return nullptr;
        auto buffer = std::make_unique<QBuffer>();
        buffer->setData(content);
        buffer->open(QIODevice::ReadOnly);
        return buffer;
    }
    if (!IsExistingFile(path)) return nullptr;
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) return nullptr;
    return file;
}

// A line longer than this is no path or address, only a broken or hostile
// file; a list longer than the other is read up to it. Both keep the memory
// and the time of a read bounded by what is kept.
constexpr qsizetype kMaxLineBytes = 64 * 1024;
constexpr qint64 kMaxListBytes = 64 * 1024 * 1024;

// Length of the byte-order mark the content opens with: a UTF-8 one is only
// dropped, a UTF-16 one (either order) also sets the decoder for the rest.
qsizetype OpeningMark(const QByteArray& head, QStringDecoder* utf16)
{
    if (head.startsWith("\xEF\xBB\xBF")) return 3;
    if (head.startsWith("\xFF\xFE")) *utf16 = QStringDecoder(QStringConverter::Utf16LE);
    else if (head.startsWith("\xFE\xFF")) *utf16 = QStringDecoder(QStringConverter::Utf16BE);
    else return 0;
    return 2;
}

// Splits the content into lines at "\n", "\r\n" or "\r"; a last line without
// a line end is whole. A UTF-8 byte-order mark is dropped; content with a
// UTF-16 mark (the "Unicode" of many editors) is decoded and handed out as
// UTF-8, so that every reader sees its lines in one form. A line holding a
// zero byte names no path (the system reads a name only up to the zero) and
// is passed over. A line longer than kMaxLineBytes is passed over without
// being copied, and reading ends after kMaxListBytes of the file.
class LineReader {
public:
    explicit LineReader(QIODevice* device) : device_(device) {}

    bool Next(QByteArray* line)
    {
        while (NextLine(line)) {
            if (!line->contains('\0')) return true;
        }
        return false;
    }

private:
    bool NextLine(QByteArray* line)
    {
        line->clear();
        bool any = false;
        bool tooLong = false;
        for (;;) {
            if (pos_ >= buffer_.size() && !Fill()) return any && !tooLong;
            if (skipLf_) {
                skipLf_ = false;
                if (buffer_[pos_] == '\n') {
                    ++pos_;
                    continue;
                }
            }
            const char* start = buffer_.constData() + pos_;
            const qsizetype n = buffer_.size() - pos_;
            const char* end = start;
            const char* const limit = start + n;
            while (end < limit && *end != '\n' && *end != '\r') ++end;
            const qsizetype i = end - start;
            any = true;
            if (!tooLong && line->size() + i > kMaxLineBytes) {
                tooLong = true;
                line->clear();
                line->squeeze();
            }
            if (!tooLong) line->append(start, i);
            if (i < n) {
                skipLf_ = start[i] == '\r';
                pos_ += i + 1;
                if (!tooLong) return true;
                tooLong = false;   // the over-long line is over: on to the next one
                any = false;
                continue;
            }
            pos_ = buffer_.size();
        }
    }

    bool Fill()
    {
        // A read may give nothing to hand out (only the mark, or one byte of
        // a UTF-16 character): then read on.
        for (;;) {
            const qint64 room = kMaxListBytes - consumed_;
            if (room <= 0) return false;
            const QByteArray raw = device_->read(std::min<qint64>(64 * 1024, room));
            if (raw.isEmpty()) return false;
            consumed_ += raw.size();
            qsizetype skip = 0;
            if (first_) {
                first_ = false;
                skip = OpeningMark(raw, &utf16_);
            }
            if (utf16_.isValid()) {
                buffer_ = QString(utf16_.decode(QByteArrayView(raw).sliced(skip))).toUtf8();
                pos_ = 0;
            } else {
                buffer_ = raw;
                pos_ = skip;
            }
            if (pos_ < buffer_.size()) return true;
        }
    }

    QIODevice* device_;
    QStringDecoder utf16_;
    QByteArray buffer_;
    qsizetype pos_ = 0;
    qint64 consumed_ = 0;
    bool skipLf_ = false;
    bool first_ = true;
};

// Whether the content opens with the text (case ignored), after a byte-order
// mark.
bool ProbeStartsWith(QIODevice* device, const char* expected)
{
    const qsizetype n = qsizetype(qstrlen(expected));
    QByteArray head = device->peek(2 * n + 3);
    QStringDecoder utf16;
    head.remove(0, OpeningMark(head, &utf16));
    if (utf16.isValid()) head = QString(utf16.decode(head)).toUtf8();
    return head.size() >= n && qstrnicmp(head.constData(), expected, n) == 0;
}

// Blanks and control characters removed from both ends.
QString TrimListLine(const QString& line)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && line.at(begin).unicode() <= 0x20) ++begin;
    while (end > begin && line.at(end - 1).unicode() <= 0x20) --end;
    return line.mid(begin, end - begin);
}

// The text between the line's first and second double quote; false when the
// line holds fewer than two.
bool QuotedValue(const QString& line, QString* value)
{
    const qsizetype first = line.indexOf(QLatin1Char('"'));
    if (first < 0) return false;
    const qsizetype second = line.indexOf(QLatin1Char('"'), first + 1);
    if (second < 0) return false;
    *value = line.mid(first + 1, second - first - 1);
    return true;
}

bool IsNetworkPath(const QString& line)
{
    return line.startsWith(QLatin1String("\\\\")) || line.startsWith(QLatin1String("//"));
}

// "scheme://...": letters, digits, "+", "-" or "." after a first letter.
bool StartsWithScheme(const QString& line)
{
    const qsizetype colon = line.indexOf(QLatin1String("://"));
    if (colon < 1 || !line.at(0).isLetter()) return false;
    for (qsizetype i = 1; i < colon; ++i) {
        const QChar c = line.at(i);
        if (!c.isLetterOrNumber() && c != QLatin1Char('+') && c != QLatin1Char('-') && c != QLatin1Char('.'))
            return false;
    }
    return true;
}

bool IsDrivePath(const QString& line) { return line.size() >= 2 && line.at(1) == QLatin1Char(':'); }

QString JoinPath(const QString& folder, const QString& relative)
{
    if (folder.endsWith(QLatin1Char('/'))) return folder + relative;
    return folder + QLatin1Char('/') + relative;
}

bool IsExistingEntry(const QString& path) { return IsExistingFile(path) || IsExistingFolder(path); }

// Folder of a local list (absolute), or of an address up to its last "/".
QString ListFolder(const QString& path)
{
    if (IsAddress(path)) return path.left(path.lastIndexOf(QLatin1Char('/')));
    return QFileInfo(path).absolutePath();
}

}  // namespace

QString ResolveListLine(const QString& line, const QString& listFolder)
{
    if (line.isEmpty() || IsNetworkPath(line) || IsDrivePath(line)) return QString();
    if (line.startsWith(QLatin1Char('/')) || StartsWithScheme(line)) return line;
    QString relative = line;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (relative.startsWith(QLatin1Char('.'))) return QDir::cleanPath(JoinPath(listFolder, relative));
    if (relative.startsWith(QLatin1Char('/'))) relative.remove(0, 1);   // "\a.mp3": in the list's folder
    return JoinPath(listFolder, relative);
}

QString DecodeXmlEntities(const QString& text)
{
    if (!text.contains(QLatin1Char('&'))) return text;
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('&')) {
            out.append(c);
            ++i;
            continue;
        }
        const qsizetype semicolon = text.indexOf(QLatin1Char(';'), i + 1);
        if (semicolon < 0 || semicolon - i > 12) {
            out.append(c);
            ++i;
            continue;
        }
        const QStringView name = QStringView(text).mid(i + 1, semicolon - i - 1);
        QString replacement;
        if (name == QLatin1String("amp")) replacement = QStringLiteral("&");
        else if (name == QLatin1String("lt")) replacement = QStringLiteral("<");
        else if (name == QLatin1String("gt")) replacement = QStringLiteral(">");
        else if (name == QLatin1String("quot")) replacement = QStringLiteral("\"");
        else if (name == QLatin1String("apos")) replacement = QStringLiteral("'");
        else if (name.startsWith(QLatin1Char('#')) && name.size() > 1) {
            bool ok = false;
            uint code;
            if (name.at(1) == QLatin1Char('x') || name.at(1) == QLatin1Char('X')) code = name.mid(2).toUInt(&ok, 16);
            else code = name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF)) {
                const char32_t scalar = code;
                replacement = QString::fromUcs4(&scalar, 1);
            }
        }
        if (replacement.isEmpty()) {
            out.append(c);   // not an entity we know: kept as written
            ++i;
            continue;
        }
        out.append(replacement);
        i = semicolon + 1;
    }
    return out;
}

void CReadList::SetAddressLoader(AddressLoader loader) { Loader() = std::move(loader); }

void CReadList::Read(const QString& path, int kind)
{
    if (!sink_ || path.isEmpty()) return;
    ReadingGuard guard(ListKey(path));
    if (!guard.Entered()) return;
    path_ = path;
    switch (kind) {
    case 0: ReadPlainList(false); break;
    case 1: ReadPlainList(true); break;
    case 2: ReadWpl(); break;
    case 3: ReadAsx(); break;
    case 4: ReadInternetShortcut(); break;
    case 5: ReadRealMetafile(); break;
    default: break;
    }
}

void CReadList::ReadPlainList(bool m3u)
{
    const std::unique_ptr<QIODevice> source = OpenSource(path_);
    if (!source) return;
    const QString folder = ListFolder(path_);
    LineReader reader(source.get());
    QByteArray bytes;
    while (reader.Next(&bytes)) {
        if (bytes.isEmpty()) continue;
        if ((m3u || editorRules_) && (bytes == "#EXTM3U" || bytes.startsWith("#EXTINF:"))) continue;
        const QString path = ResolveListLine(DecodeLegacyText(bytes), folder);
        if (path.isEmpty() || (!editorRules_ && !IsExistingEntry(path))) continue;
        sink_->AddFileToList(path);
    }
}

void CReadList::ReadWpl()
{
    const std::unique_ptr<QIODevice> source = OpenSource(path_);
    if (!source) {
        if (IsAddress(path_)) sink_->AddFileToList(path_);
        return;
    }
    if (!ProbeStartsWith(source.get(), "<?wpl version")) {
        sink_->AddFileToList(path_);
        return;
    }
    const QString folder = ListFolder(path_);
    LineReader reader(source.get());
    QByteArray bytes;
    while (reader.Next(&bytes)) {
        const QString line = TrimListLine(QString::fromUtf8(bytes));
        if (!line.toLower().contains(QLatin1String("media src"))) continue;
        QString value;
        if (!QuotedValue(line, &value)) continue;
        const QString path = ResolveListLine(DecodeXmlEntities(value), folder);
        if (path.isEmpty() || !IsExistingEntry(path)) continue;
        sink_->AddFileToList(path);
    }
}

void CReadList::ReadAsx()
{
    const std::unique_ptr<QIODevice> source = OpenSource(path_);
    if (!source) {
        if (IsAddress(path_)) sink_->AddFileToList(path_);
        return;
    }
    if (!ProbeStartsWith(source.get(), "<asx version")) {
        sink_->AddFileToList(path_);
        return;
    }
    const bool fromAddress = IsAddress(path_);
    const QString base = fromAddress ? path_.left(path_.lastIndexOf(QLatin1Char('/')) + 1)
                                     : QFileInfo(path_).absolutePath() + QLatin1Char('/');
    LineReader reader(source.get());
    QByteArray bytes;
    while (reader.Next(&bytes)) {
        const QString line = TrimListLine(DecodeLegacyText(bytes));
        if (!line.toLower().contains(QLatin1String("ref href"))) continue;
        QString value;
        if (!QuotedValue(line, &value)) continue;
        value = DecodeXmlEntities(value);
        if (value.isEmpty()) continue;
        if (IsAddress(value)) {
            sink_->AddFileToList(value);   // a stream address: not checked
            continue;
        }
        if (IsNetworkPath(value) || IsDrivePath(value)) continue;
        if (value.startsWith(QLatin1Char('/'))) {
            if (IsExistingFile(value)) sink_->AddFileToList(value);
            continue;
        }
        QString relative = value;
        relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
        while (relative.startsWith(QLatin1Char('/'))) relative.remove(0, 1);
        const QString full = base + relative;
        if (fromAddress || IsExistingFile(full)) sink_->AddFileToList(full);
    }
}

void CReadList::ReadInternetShortcut()
{
    const std::unique_ptr<QIODevice> source = OpenSource(path_);
    if (!source) {
        if (IsAddress(path_)) sink_->AddFileToList(path_);
        return;
    }
    if (!ProbeStartsWith(source.get(), "[InternetShortcut]")) {
        sink_->AddFileToList(path_);
        return;
    }
    // In the section [InternetShortcut] a key ending in "url" (URL, and the
    // BASEURL of saved pages) names a target; the key is taken as written, so
    // "URL = x" names none. Other sections' copies are not read.
    LineReader reader(source.get());
    QByteArray bytes;
    bool inShortcutSection = false;
    while (reader.Next(&bytes)) {
        const QString line = TrimListLine(DecodeLegacyText(bytes));
        if (line.startsWith(QLatin1Char('['))) {
            inShortcutSection = line.compare(QLatin1String("[InternetShortcut]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inShortcutSection) continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0 || !QStringView(line).left(equals).endsWith(QLatin1String("url"), Qt::CaseInsensitive))
            continue;
        QString target = TrimListLine(line.mid(equals + 1));
        if (target.startsWith(QLatin1String("file://"), Qt::CaseInsensitive)) {
            const QString local = QUrl(target).toLocalFile();
            if (!local.isEmpty()) target = local;
        }
        if (target.isEmpty()) continue;
        sink_->AddPathOrPlayList(target);
    }
}

void CReadList::ReadRealMetafile()
{
    const std::unique_ptr<QIODevice> source = OpenSource(path_);
    if (!source) {
        if (IsAddress(path_)) sink_->AddFileToList(path_);
        return;
    }
    if (!ProbeStartsWith(source.get(), "http://") && !ProbeStartsWith(source.get(), "rtsp://") &&
        !ProbeStartsWith(source.get(), "pnm://")) {
        sink_->AddFileToList(path_);
        return;
    }
    // Lines that are addresses of the three kinds the probe accepts, and any
    // line holding "http://".
    LineReader reader(source.get());
    QByteArray bytes;
    while (reader.Next(&bytes)) {
        const QString line = TrimListLine(DecodeLegacyText(bytes));
        if (line.isEmpty()) continue;
        const QString lower = line.toLower();
        if (lower.contains(QLatin1String("http://")) || lower.startsWith(QLatin1String("rtsp://")) ||
            lower.startsWith(QLatin1String("pnm://")))
            sink_->AddFileToList(line);
    }
}

int ListKindForExtension(const QString& extension)
{
    static const char* const kKinds[] = {"zol", "m3u", "wpl", "asx", "url", "ram"};
    for (int i = 0; i < 6; ++i) {
        if (extension == QLatin1String(kKinds[i])) return i;
    }
    return -1;
}

bool WritePlayListFile(const QString& path, const QStringList& paths)
{
    QByteArray content;
    for (const QString& entry : paths) {
        if (entry.contains(QLatin1Char('\n')) || entry.contains(QLatin1Char('\r'))) continue;
        content += entry.toUtf8();
        content += '\n';
    }
    return statefile::WriteAtomically(QFile::encodeName(path).toStdString(),
                                      std::string_view(content.constData(), size_t(content.size()))) == 0;
}
