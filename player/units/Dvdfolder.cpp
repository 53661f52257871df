#include "player/units/Dvdfolder.h"

namespace dvdfolder {

namespace {

// DVD-Video numbers its titles from 1 to 99.
constexpr int kMaxTitle = 99;
// A navigator's time code counts at most 255 hours.
constexpr int kMaxSectionTime = 255 * 3600 + 59 * 60 + 59;
// A bookmark's title has at most this many digits ("%d" from 100).
constexpr int kMaxTitleDigits = 4;

bool AllDigits(QStringView text)
{
    if (text.isEmpty()) return false;
    for (const QChar c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

int Digits(QStringView text) { return text.toInt(); }

// The parts of a bookmark: title digits, "hhmmss" and the note.
struct TParts {
    QString title;
    QString time;   // six digits
    QString note;
};

std::optional<TParts> CheckedParts(TParts parts)
{
    if (!AllDigits(parts.title) || parts.title.size() > kMaxTitleDigits || !AllDigits(parts.time) ||
        parts.time.size() != 6)
        return std::nullopt;
    if (Digits(QStringView(parts.time).mid(2, 2)) > 59 || Digits(QStringView(parts.time).mid(4, 2)) > 59)
        return std::nullopt;
    return parts;
}

QString LastComponent(const QString& path) { return path.mid(path.lastIndexOf('/') + 1); }

}  // namespace

bool NameFits(const QString& name) { return name.toUtf8().size() <= kMaxNameBytes; }

QString DiscFolderName(const QString& discName, std::uint64_t discId)
{
    return discName + QLatin1Char('_') + QString::number(discId, 16);
}

QString DiscFolderPath(const QString& bookmarkRoot, const QString& discName, std::uint64_t discId)
{
    const QString name = DiscFolderName(discName, discId);
    if (!NameFits(name)) return QString();
    return bookmarkRoot + name + QLatin1Char('/');
}

QString DiscNameFromDirectory(const QString& directory, const QString& volumeLabel,
                              const std::function<bool(const QString&)>& isDiscRoot)
{
    QString folder = directory;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
    if (LastComponent(folder).compare(QLatin1String("VIDEO_TS"), Qt::CaseInsensitive) == 0) {
        const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'));
        folder = slash > 0 ? folder.left(slash) : slash == 0 ? QStringLiteral("/") : QString();
    }
    QString name = LastComponent(folder);
    if (name.isEmpty() || (isDiscRoot && isDiscRoot(folder))) name = volumeLabel;
    // The name becomes one folder name: nothing in it may separate folders.
    for (QChar& c : name)
        if (c == QLatin1Char(' ') || c == QLatin1Char('/') || c.unicode() < 0x20) c = QLatin1Char('_');
    return name.isEmpty() ? QStringLiteral("E") : name;
}

QString BookmarkFileName(ULONG title, const dvd::HmsfTime& time)
{
    const QString titleText =
        title < 100 ? QStringLiteral("%1").arg(title, 2, 10, QLatin1Char('0')) : QString::number(title);
    return QStringLiteral("T%1P%2%3%4N.bmk")
        .arg(titleText)
        .arg(time.hours, 2, 10, QLatin1Char('0'))
        .arg(time.minutes, 2, 10, QLatin1Char('0'))
        .arg(time.seconds, 2, 10, QLatin1Char('0'));
}

std::int64_t BookmarkTag(int title, int hours, int minutes, int seconds)
{
    return std::int64_t{title} * 1000000 + hours * 10000 + minutes * 100 + seconds;
}

std::optional<TBookmarkItem> BookmarkItemFromFileName(const QString& fileName)
{
    static const QLatin1String extension(".bmk");
    if (!fileName.endsWith(extension) || !fileName.startsWith(QLatin1Char('T'))) return std::nullopt;
    const QString base = fileName.chopped(extension.size());
    const qsizetype p = base.indexOf(QLatin1Char('P'));
    if (p < 0 || base.size() < p + 8 || base.at(p + 7) != QLatin1Char('N')) return std::nullopt;
    const std::optional<TParts> parts = CheckedParts({base.mid(1, p - 1), base.mid(p + 1, 6), base.mid(p + 8)});
    if (!parts) return std::nullopt;
    const QString& t = parts->time;
    TBookmarkItem item;
    item.caption = parts->title + QLatin1Char(' ') + t.mid(0, 2) + QLatin1Char(':') + t.mid(2, 2) +
                   QLatin1Char(':') + t.mid(4, 2) + QLatin1Char(' ') + parts->note;
    item.tag = BookmarkTag(parts->title.toInt(), Digits(QStringView(t).mid(0, 2)), Digits(QStringView(t).mid(2, 2)),
                           Digits(QStringView(t).mid(4, 2)));
    return item;
}

QString FileNameFromCaption(const QString& caption)
{
    // "<title> hh:mm:ss <note>"
    const qsizetype blank = caption.indexOf(QLatin1Char(' '));
    if (blank < 0 || caption.size() < blank + 10) return QString();
    const QString clock = caption.mid(blank + 1, 8);
    if (clock.at(2) != QLatin1Char(':') || clock.at(5) != QLatin1Char(':') ||
        caption.at(blank + 9) != QLatin1Char(' '))
        return QString();
    const std::optional<TParts> parts = CheckedParts(
        {caption.left(blank), clock.mid(0, 2) + clock.mid(3, 2) + clock.mid(6, 2), caption.mid(blank + 10)});
    if (!parts) return QString();
    return QLatin1Char('T') + parts->title + QLatin1Char('P') + parts->time + QLatin1Char('N') + parts->note +
           QLatin1String(".bmk");
}

std::optional<TDvdSection> ParseSectionLine(const QString& line)
{
    if (line.size() > kMaxRepeatLineChars) return std::nullopt;
    const QStringList fields = line.split(QLatin1Char('/'));
    if (fields.size() != 4 || fields.at(1).isEmpty()) return std::nullopt;
    bool titleOk = false, startOk = false, endOk = false;
    TDvdSection section;
    section.title = fields.at(0).toInt(&titleOk);
    section.name = fields.at(1);
    section.start = fields.at(2).toInt(&startOk);
    section.end = fields.at(3).toInt(&endOk);
    if (!titleOk || !startOk || !endOk) return std::nullopt;
    if (section.title < 1 || section.title > kMaxTitle) return std::nullopt;
    // A section without length would loop on one spot.
    if (section.start < 0 || section.end <= section.start || section.end > kMaxSectionTime) return std::nullopt;
    return section;
}

QString SectionLine(const TDvdSection& s)
{
    return QStringLiteral("%1/%2/%3/%4").arg(s.title).arg(s.name).arg(s.start).arg(s.end);
}

QStringList SplitLines(const QByteArray& text)
{
    QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    return lines;
}

std::vector<TDvdSection> SectionsOfTitle(const QStringList& lines, int title)
{
    std::vector<TDvdSection> sections;
    for (const QString& line : lines) {
        const std::optional<TDvdSection> section = ParseSectionLine(line);
        if (section && section->title == title) sections.push_back(*section);
    }
    return sections;
}

QStringList ReplaceSectionsOfTitle(const QStringList& lines, int title, const std::vector<TDvdSection>& sections)
{
    QStringList kept;
    for (const QString& line : lines) {
        bool ok = false;
        const int lineTitle = line.section(QLatin1Char('/'), 0, 0).toInt(&ok);
        if (!(ok && lineTitle == title)) kept << line;
    }
    for (const TDvdSection& section : sections) kept << SectionLine(section);
    return kept;
}

}  // namespace dvdfolder
