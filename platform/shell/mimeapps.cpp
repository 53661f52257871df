#include "platform/shell/mimeapps.h"

#include <QDir>
#include <QStringList>

namespace shell {

namespace {

constexpr char kGroup[] = "[Default Applications]";

bool IsGroupHeader(const QString& line) { return line.trimmed().startsWith(QLatin1Char('[')); }

// The key of a "key=value" line, empty for comments, blank lines and headers.
QString LineKey(const QString& line)
{
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')) || trimmed.startsWith(QLatin1Char('['))) return {};
    const qsizetype equals = trimmed.indexOf(QLatin1Char('='));
    return equals < 0 ? QString() : trimmed.left(equals).trimmed();
}

// Where the group's lines are: the header's index and the index after its
// last line; -1 when the group is missing.
qsizetype FindGroup(const QStringList& lines, qsizetype* end)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed() != QLatin1String(kGroup)) continue;
        qsizetype j = i + 1;
        while (j < lines.size() && !IsGroupHeader(lines[j])) ++j;
        *end = j;
        return i;
    }
    return -1;
}

qsizetype FindLine(const QStringList& lines, qsizetype begin, qsizetype end, const QString& type)
{
    for (qsizetype i = begin; i < end; ++i)
        if (LineKey(lines[i]) == type) return i;
    return -1;
}

}  // namespace

QString MimeAppsPath()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!config.startsWith(QLatin1Char('/'))) config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/mimeapps.list");
}

bool FindDefaultApplication(const QString& text, const QString& type, QString* value)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    qsizetype end = 0;
    const qsizetype group = FindGroup(lines, &end);
    if (group < 0) return false;
    const qsizetype line = FindLine(lines, group + 1, end, type);
    if (line < 0) return false;
    const QString trimmed = lines[line].trimmed();
    *value = trimmed.mid(trimmed.indexOf(QLatin1Char('=')) + 1).trimmed();
    return true;
}

QString SetDefaultApplication(const QString& text, const QString& type, const QString* value)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    const QString newLine = value ? type + QLatin1Char('=') + *value : QString();
    qsizetype end = 0;
    const qsizetype group = FindGroup(lines, &end);
    if (group < 0) {
        if (!value) return text;
        // The text ends with its newline, which split leaves as an empty last line.
        if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty()) lines << QString();
        lines << QLatin1String(kGroup) << newLine << QString();
        return lines.join(QLatin1Char('\n'));
    }
    const qsizetype line = FindLine(lines, group + 1, end, type);
    if (line >= 0) {
        if (value)
            lines[line] = newLine;
        else
            lines.removeAt(line);
    } else if (value) {
        // After the group's last entry, before the blank lines that part it
        // from the next group.
        qsizetype at = end;
        while (at > group + 1 && lines[at - 1].trimmed().isEmpty()) --at;
        lines.insert(at, newLine);
    }
    return lines.join(QLatin1Char('\n'));
}

bool NamesDefault(const QString& value, const QString& desktopId)
{
    return value.section(QLatin1Char(';'), 0, 0).trimmed() == desktopId;
}

}  // namespace shell
