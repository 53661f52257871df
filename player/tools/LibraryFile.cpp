#include "player/tools/LibraryFile.h"

#include "common/Cstrings.h"
#include "platform/files/statefile.h"
#include "platform/paths/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// A registration list is small; these bound what a foreign file can make us hold.
constexpr qint64 kMaxFileBytes = 64LL << 20;
constexpr qsizetype kMaxLineBytes = 64 << 10;

const QChar kSeparator = QLatin1Char('?');
const QChar kNameQuestionMark = QChar(0xFF1F);

bool HoldsLineEnd(const QString& text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

// Windows of several players change one list: each change reads the file and
// writes it back under the file's lock, so none is lost to another's rewrite
// (an append to the old file while a rewrite renames a new one over it).
statefile::FileLock Locked(const QString& path)
{
    return statefile::FileLock(QFile::encodeName(path).toStdString());
}

}  // namespace

TLibraryFile TLibraryFile::InListFiles(const char* fileName)
{
    return TLibraryFile(ListFilesFolderPath() + QLatin1String(fileName));
}

bool TLibraryFile::Exists() const { return QFileInfo(path_).isFile(); }

TLibraryEntry TLibraryFile::SplitLine(const QString& line)
{
    const qsizetype mark = line.indexOf(kSeparator);
    if (mark < 0) return {line, line};
    return {line.left(mark), line.mid(mark + 1)};
}

QString TLibraryFile::LineOf(const TLibraryEntry& entry)
{
    QString name = entry.Name;
    name.replace(kSeparator, kNameQuestionMark);
    return name + kSeparator + entry.Path;
}

bool TLibraryFile::ReadLines(std::vector<QString>* lines) const
{
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray content = file.read(kMaxFileBytes);
    qsizetype start = 0;
    while (start < content.size()) {
        qsizetype end = content.indexOf('\n', start);
        if (end < 0) end = content.size();
        qsizetype length = end - start;
        if (length > 0 && content.at(start + length - 1) == '\r') --length;
        if (length > 0 && length <= kMaxLineBytes)
            lines->push_back(DecodeLegacyText(QByteArray::fromRawData(content.constData() + start, length)));
        start = end + 1;
    }
    return true;
}

std::vector<TLibraryEntry> TLibraryFile::Read() const
{
    std::vector<QString> lines;
    ReadLines(&lines);
    std::vector<TLibraryEntry> entries;
    entries.reserve(lines.size());
    for (const QString& line : lines) entries.push_back(SplitLine(line));
    return entries;
}

bool TLibraryFile::MakeFolder() const
{
    return QDir().mkpath(QFileInfo(path_).absolutePath());
}

bool TLibraryFile::Append(const TLibraryEntry& entry) const
{
    if (HoldsLineEnd(entry.Name) || HoldsLineEnd(entry.Path) || !MakeFolder()) return false;
    const statefile::FileLock lock = Locked(path_);
    QFile file(path_);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append)) return false;
    QByteArray bytes = LineOf(entry).toUtf8() + '\n';
    // A last line without its end would be glued to ours.
    const qint64 size = file.size();
    if (size > 0) {
        char last = '\n';
        if (!file.seek(size - 1) || !file.getChar(&last)) return false;
        if (last != '\n') bytes.prepend('\n');
    }
    const bool written = file.write(bytes) == bytes.size();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

bool TLibraryFile::WriteLines(const std::vector<QString>& lines) const
{
    if (!MakeFolder()) return false;
    QByteArray content;
    for (const QString& line : lines) content += line.toUtf8() + '\n';
    return statefile::WriteAtomically(QFile::encodeName(path_).toStdString(),
                                      std::string_view(content.constData(), content.size())) == 0;
}

bool TLibraryFile::Replace(const TLibraryEntry& entry, const TLibraryEntry& replacement) const
{
    if (HoldsLineEnd(replacement.Name) || HoldsLineEnd(replacement.Path)) return false;
    const statefile::FileLock lock = Locked(path_);
    std::vector<QString> lines;
    if (!ReadLines(&lines)) return false;
    const QString wanted = LineOf(entry);
    for (QString& line : lines) {
        if (line != wanted) continue;
        line = LineOf(replacement);
        return WriteLines(lines);
    }
    return false;
}

bool TLibraryFile::Remove(const TLibraryEntry& entry) const
{
    const statefile::FileLock lock = Locked(path_);
    std::vector<QString> lines;
    if (!ReadLines(&lines)) return false;
    const QString wanted = LineOf(entry);
    for (auto it = lines.begin(); it != lines.end(); ++it) {
        if (*it != wanted) continue;
        lines.erase(it);
        return WriteLines(lines);
    }
    return false;
}

bool TLibraryFile::RemoveAt(int index) const
{
    const statefile::FileLock lock = Locked(path_);
    std::vector<QString> lines;
    if (!ReadLines(&lines) || index < 0 || index >= static_cast<int>(lines.size())) return false;
    lines.erase(lines.begin() + index);
    return WriteLines(lines);
}

bool TLibraryFile::Rewrite(const std::vector<TLibraryEntry>& entries) const
{
    std::vector<QString> lines;
    lines.reserve(entries.size());
    for (const TLibraryEntry& entry : entries) {
        if (HoldsLineEnd(entry.Name) || HoldsLineEnd(entry.Path)) continue;
        lines.push_back(LineOf(entry));
    }
    if (!MakeFolder()) return false;
    const statefile::FileLock lock = Locked(path_);
    return WriteLines(lines);
}
