#include "platform/profile/profile.h"

#include "platform/files/boundedread.h"
#include "platform/files/statefile.h"

#include <QFile>
#include <QStringDecoder>

#include <iconv.h>

#include <cerrno>
#include <limits>

namespace profile {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

QByteArray TrimBlanks(const QByteArray& bytes)
{
    qsizetype start = 0;
    qsizetype end = bytes.size();
    while (start < end && IsBlank(bytes[start])) ++start;
    while (end > start && IsBlank(bytes[end - 1])) --end;
    return bytes.mid(start, end - start);
}

QString DecodeCp932(const QByteArray& bytes)
{
    iconv_t cd = iconv_open("UTF-16LE", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return QString::fromLatin1(bytes);
    QByteArray out(bytes.size() * 2 + 2, '\0');
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = static_cast<size_t>(bytes.size());
    char* to = out.data();
    size_t outLeft = static_cast<size_t>(out.size());
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &to, &outLeft) != static_cast<size_t>(-1)) break;
        if (errno != EILSEQ && errno != EINVAL) break;
        // A byte that is no CP932 character stands for itself.
        if (outLeft < 2) break;
        *to++ = *in;
        *to++ = '\0';
        outLeft -= 2;
        ++in;
        --inLeft;
    }
    iconv_close(cd);
    const qsizetype units = (to - out.data()) / 2;
    return QString(reinterpret_cast<const QChar*>(out.constData()), units);
}

QString DecodeText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError()) return text;
    return DecodeCp932(bytes);
}

QString TrimBlanks(const QString& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && (text[start] == QLatin1Char(' ') || text[start] == QLatin1Char('\t'))) ++start;
    while (end > start && (text[end - 1] == QLatin1Char(' ') || text[end - 1] == QLatin1Char('\t'))) --end;
    return text.mid(start, end - start);
}

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

bool HasLineBreakOrNul(const QString& text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) || text.contains(QChar(0));
}

QString Unquoted(const QString& value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

// Quotes a value that would not read back as written: blanks at either end
// are trimmed on reading, and a pair of quotes around it would be taken off.
QString Stored(const QString& value)
{
    if (value.isEmpty()) return value;
    const bool blankEnds = TrimBlanks(value).size() != value.size();
    if (blankEnds || Unquoted(value) != value) return QLatin1Char('"') + value + QLatin1Char('"');
    return value;
}

}  // namespace

std::int64_t LeadingNumber(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    // Gathered as a negative number so that the smallest int64 fits.
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') break;
        const int digit = c - u'0';
        if (value < (kMin + digit) / 10) {
            value = kMin;
            // Further digits only make it larger still.
            while (i + 1 < text.size() && text[i + 1] >= QLatin1Char('0') && text[i + 1] <= QLatin1Char('9')) ++i;
            break;
        }
        value = value * 10 - digit;
    }
    if (negative) return value;
    return value == kMin ? std::numeric_limits<std::int64_t>::max() : -value;
}

TProfile::Line TProfile::ParseLine(const QByteArray& raw)
{
    Line line;
    line.raw = raw;
    QByteArray text = TrimBlanks(raw);
    if (text.startsWith("\xEF\xBB\xBF")) text = TrimBlanks(text.mid(3));   // a byte-order mark before the first line
    if (text.isEmpty()) {
        line.kind = Kind::Blank;
    } else if (text.front() == ';') {
        line.kind = Kind::Comment;
    } else if (text.front() == '[') {
        line.kind = Kind::Section;
        const qsizetype close = text.indexOf(']');
        line.name = DecodeText(TrimBlanks(close < 0 ? text.mid(1) : text.mid(1, close - 1)));
    } else {
        const qsizetype equals = text.indexOf('=');
        const QByteArray key = equals < 0 ? QByteArray() : TrimBlanks(text.left(equals));
        if (!key.isEmpty()) {
            line.kind = Kind::Key;
            line.name = DecodeText(key);
            line.value = Unquoted(DecodeText(TrimBlanks(text.mid(equals + 1))));
        }
    }
    return line;
}

int TProfile::Load(const QString& path)
{
    SetContent(QByteArray());
    loadError_ = 0;
    QFile file(path);
    if (!file.exists()) return ENOENT;
    if (!file.open(QIODevice::ReadOnly)) {
        loadError_ = file.error() == QFileDevice::PermissionsError ? EACCES : EIO;
        return loadError_;
    }
    if (file.size() > kMaxFileSize) {
        loadError_ = EFBIG;
        return loadError_;
    }
    // Read one byte past the limit: a file that grew since size() was asked is caught too.
    const QByteArray bytes = files::ReadAtMost(file, kMaxFileSize);
    if (bytes.size() > kMaxFileSize || file.error() != QFileDevice::NoError) {
        loadError_ = bytes.size() > kMaxFileSize ? EFBIG : EIO;
        return loadError_;
    }
    SetContent(bytes);
    return 0;
}

void TProfile::SetContent(const QByteArray& bytes)
{
    lines_.clear();
    lineEnd_ = "\n";
    if (bytes.isEmpty()) return;
    const qsizetype firstBreak = bytes.indexOf('\n');
    if (firstBreak > 0 && bytes[firstBreak - 1] == '\r') lineEnd_ = "\r\n";
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        const bool last = end < 0;
        if (last) end = bytes.size();
        // "\r\n" ends a line, and so does a "\r" that ends the file.
        qsizetype textEnd = end;
        if (textEnd > start && bytes[textEnd - 1] == '\r') --textEnd;
        Line line = ParseLine(bytes.mid(start, textEnd - start));
        line.end = bytes.mid(textEnd, last ? end - textEnd : end + 1 - textEnd);
        lines_.push_back(std::move(line));
        start = end + 1;
    }
}

QByteArray TProfile::Content() const
{
    QByteArray out;
    for (const Line& line : lines_) out += line.raw + line.end;
    return out;
}

int TProfile::Save(const QString& path) const
{
    // Saving over a file that could not be read would lose all of it.
    if (loadError_ != 0) return EPERM;
    const QByteArray bytes = Content();
    return statefile::WriteAtomically(QFile::encodeName(path).toStdString(),
                                      std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

int TProfile::FindSection(const QString& section) const
{
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == Kind::Section && SameName(lines_[i].name, section)) return static_cast<int>(i);
    }
    return -1;
}

int TProfile::SectionEnd(int header) const
{
    int i = header + 1;
    while (i < static_cast<int>(lines_.size()) && lines_[static_cast<size_t>(i)].kind != Kind::Section) ++i;
    return i;
}

int TProfile::FindKey(const QString& section, const QString& key) const
{
    const int header = FindSection(section);
    if (header < 0) return -1;
    const int end = SectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        const Line& line = lines_[static_cast<size_t>(i)];
        if (line.kind == Kind::Key && SameName(line.name, key)) return i;
    }
    return -1;
}

void TProfile::EndEveryLine()
{
    // Only the file's last line can lack its end; once written, the file ends with one.
    for (Line& line : lines_) {
        if (line.end.isEmpty()) line.end = lineEnd_;
        if (line.end == "\r") line.end = "\r\n";
    }
}

bool TProfile::HasSection(const QString& section) const { return FindSection(section) >= 0; }

bool TProfile::HasKey(const QString& section, const QString& key) const { return FindKey(section, key) >= 0; }

QStringList TProfile::Sections() const
{
    QStringList names;
    for (const Line& line : lines_) {
        if (line.kind != Kind::Section) continue;
        bool seen = false;
        for (const QString& name : names) seen = seen || SameName(name, line.name);
        if (!seen) names.append(line.name);
    }
    return names;
}

QStringList TProfile::Keys(const QString& section) const
{
    QStringList names;
    const int header = FindSection(section);
    if (header < 0) return names;
    const int end = SectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        const Line& line = lines_[static_cast<size_t>(i)];
        if (line.kind != Kind::Key) continue;
        bool seen = false;
        for (const QString& name : names) seen = seen || SameName(name, line.name);
        if (!seen) names.append(line.name);
    }
    return names;
}

QString TProfile::ReadString(const QString& section, const QString& key, const QString& fallback) const
{
    const int i = FindKey(section, key);
    return i < 0 ? fallback : lines_[static_cast<size_t>(i)].value;
}

std::int64_t TProfile::ReadInteger(const QString& section, const QString& key, std::int64_t fallback) const
{
    const int i = FindKey(section, key);
    return i < 0 ? fallback : LeadingNumber(lines_[static_cast<size_t>(i)].value);
}

bool TProfile::WriteString(const QString& section, const QString& key, const QString& value)
{
    // Blanks around a name are not part of it, as on reading.
    const QString sectionName = TrimBlanks(section);
    const QString keyName = TrimBlanks(key);
    if (sectionName.isEmpty() || keyName.isEmpty()) return false;
    if (HasLineBreakOrNul(section) || HasLineBreakOrNul(key) || HasLineBreakOrNul(value)) return false;
    if (sectionName.contains(QLatin1Char(']'))) return false;
    if (keyName.contains(QLatin1Char('=')) || keyName.startsWith(QLatin1Char('[')) ||
        keyName.startsWith(QLatin1Char(';')))
        return false;

    const int existing = FindKey(sectionName, keyName);
    if (existing >= 0) {
        Line& line = lines_[static_cast<size_t>(existing)];
        // The key keeps the spelling it has in the file.
        const QByteArray end = line.end;
        line = ParseLine(line.name.toUtf8() + '=' + Stored(value).toUtf8());
        line.end = end;
        EndEveryLine();
        return true;
    }
    Line added = ParseLine(keyName.toUtf8() + '=' + Stored(value).toUtf8());
    added.end = lineEnd_;
    const int header = FindSection(sectionName);
    if (header >= 0) {
        // After the section's last key (or its header), so that the blank
        // lines and comments before the next section stay with it.
        int at = header + 1;
        const int end = SectionEnd(header);
        for (int i = header + 1; i < end; ++i) {
            if (lines_[static_cast<size_t>(i)].kind == Kind::Key) at = i + 1;
        }
        lines_.insert(lines_.begin() + at, std::move(added));
    } else {
        Line header = ParseLine('[' + sectionName.toUtf8() + ']');
        header.end = lineEnd_;
        lines_.push_back(std::move(header));
        lines_.push_back(std::move(added));
    }
    EndEveryLine();
    return true;
}

bool TProfile::WriteInteger(const QString& section, const QString& key, std::int64_t value)
{
    return WriteString(section, key, QString::number(value));
}

bool TProfile::DeleteKey(const QString& section, const QString& key)
{
    const int i = FindKey(section, key);
    if (i < 0) return false;
    lines_.erase(lines_.begin() + i);
    EndEveryLine();
    return true;
}

bool TProfile::DeleteSection(const QString& section)
{
    const int header = FindSection(section);
    if (header < 0) return false;
    lines_.erase(lines_.begin() + header, lines_.begin() + SectionEnd(header));
    EndEveryLine();
    return true;
}

QString ReadProfileString(const QString& path, const QString& section, const QString& key, const QString& fallback)
{
    TProfile file;
    if (file.Load(path) != 0) return fallback;
    return file.ReadString(section, key, fallback);
}

std::int64_t ReadProfileInteger(const QString& path, const QString& section, const QString& key,
                                std::int64_t fallback)
{
    TProfile file;
    if (file.Load(path) != 0) return fallback;
    return file.ReadInteger(section, key, fallback);
}

int WriteProfileString(const QString& path, const QString& section, const QString& key, const QString& value)
{
    TProfile file;
    const int loaded = file.Load(path);
    if (loaded != 0 && loaded != ENOENT) return loaded;
    if (!file.WriteString(section, key, value)) return EINVAL;
    return file.Save(path);
}

}  // namespace profile
