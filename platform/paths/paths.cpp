#include "platform/paths/paths.h"

#include "platform/files/boundedread.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <ctime>

namespace {

QString WithSlash(const QString& folder)
{
    if (folder.endsWith(QLatin1Char('/'))) return folder;
    return folder + QLatin1Char('/');
}

// An XDG base folder from the environment; relative values are invalid and
// ignored, as the base directory rules ask.
QString XdgFolder(const char* variable, const QString& fallbackBelowHome)
{
    const QString value = QFile::decodeName(qgetenv(variable));
    if (value.startsWith(QLatin1Char('/'))) return QDir::cleanPath(value);
    return QDir::cleanPath(QDir::homePath() + QLatin1Char('/') + fallbackBelowHome);
}

QString MadeFolder(const QString& folder)
{
    QDir().mkpath(folder);
    return WithSlash(folder);
}

// Follows a chain of symbolic links to its final target. A link whose target
// is missing still resolves (to the missing path); the caller checks whether
// the target exists. A loop or an unreadable link fails.
bool FollowLinks(const QString& start, QString* target)
{
    QString current = QFileInfo(start).absoluteFilePath();
    for (int hops = 0; hops < 40; ++hops) {
        const QByteArray encoded = QFile::encodeName(current);
        struct stat st;
        if (lstat(encoded.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            if (hops == 0) return false;
            *target = current;
            return true;
        }
        QByteArray buffer(PATH_MAX, '\0');
        const ssize_t length = readlink(encoded.constData(), buffer.data(), buffer.size());
        if (length <= 0 || length >= buffer.size()) return false;
        buffer.truncate(length);
        QString next = QFile::decodeName(buffer);
        if (!next.startsWith(QLatin1Char('/'))) next = ExtractFileDir(current) + QLatin1Char('/') + next;
        current = QDir::cleanPath(next);
    }
    return false;
}

// Undoes the escapes of a desktop entry value (\s \n \t \r \\).
QString UnescapeDesktopValue(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 >= value.size()) {
            out += c;
            continue;
        }
        const QChar e = value.at(++i);
        if (e == QLatin1Char('s')) out += QLatin1Char(' ');
        else if (e == QLatin1Char('n')) out += QLatin1Char('\n');
        else if (e == QLatin1Char('t')) out += QLatin1Char('\t');
        else if (e == QLatin1Char('r')) out += QLatin1Char('\r');
        else if (e == QLatin1Char('\\')) out += QLatin1Char('\\');
        else out += QLatin1Char('\\'), out += e;
    }
    return out;
}

// Local file path named by a link file's URL: a file URL (percent-decoded,
// local host only) or a plain path (relative to the link file's folder).
bool LocalPathOfUrl(const QString& url, const QString& linkFile, QString* target)
{
    if (url.isEmpty()) return false;
    if (url.startsWith(QLatin1Char('/'))) {
        *target = QDir::cleanPath(url);
        return true;
    }
    const qsizetype colon = url.indexOf(QLatin1Char(':'));
    const qsizetype slash = url.indexOf(QLatin1Char('/'));
    const bool hasScheme = colon > 0 && (slash < 0 || colon < slash);
    if (!hasScheme) {
        *target = QDir::cleanPath(ExtractFileDir(QFileInfo(linkFile).absoluteFilePath()) + QLatin1Char('/') + url);
        return true;
    }
    const QUrl parsed(url, QUrl::TolerantMode);
    if (!parsed.isValid() || parsed.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) != 0) return false;
    const QString host = parsed.host();
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0) return false;
    // Decode the bytes ourselves so that names which are not UTF-8 survive.
    const QByteArray bytes = QByteArray::fromPercentEncoding(parsed.path(QUrl::FullyEncoded).toLatin1());
    if (!bytes.startsWith('/')) return false;
    *target = QDir::cleanPath(QFile::decodeName(bytes));
    return true;
}

// Reads a freedesktop link file: "[Desktop Entry]" with Type=Link and URL=.
bool ReadLinkFile(const QString& path, QString* target)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    constexpr qint64 kMaxSize = 256 * 1024;
    if (file.size() > kMaxSize) return false;
    const QString text = QString::fromUtf8(files::ReadAtMost(file, kMaxSize));

    bool inEntry = false;
    bool sawEntry = false;
    QString type;
    QString url;
    bool haveUrl = false;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#'))) continue;
        if (trimmed.startsWith(QLatin1Char('['))) {
            // Keys of a repeated group are ignored, as are those of other groups.
            inEntry = !sawEntry && trimmed == QLatin1String("[Desktop Entry]");
            if (inEntry) sawEntry = true;
            continue;
        }
        if (!inEntry) continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        // The first occurrence of a key counts.
        if (key == QLatin1String("Type") && type.isNull()) type = value;
        else if (key == QLatin1String("URL") && !haveUrl) url = UnescapeDesktopValue(value), haveUrl = true;
    }
    if (!sawEntry || type != QLatin1String("Link") || !haveUrl) return false;
    return LocalPathOfUrl(url, path, target);
}

// stat() of the path. A name holding a zero character names no file: the
// system would read it only up to the zero, which is another path.
bool StatPath(const QString& path, struct stat* st)
{
    if (path.isEmpty() || path.contains(QChar(0))) return false;
    return stat(QFile::encodeName(path).constData(), st) == 0;
}

}  // namespace

QString GetProgramFolder()
{
    if (QCoreApplication::instance()) return WithSlash(QCoreApplication::applicationDirPath());
    QByteArray buffer(PATH_MAX, '\0');
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || length >= buffer.size()) return QString();
    buffer.truncate(length);
    return WithSlash(ExtractFileDir(QFile::decodeName(buffer)));
}

QString UserDataFolderPath()
{
    const QString own = QFile::decodeName(qgetenv("ZORAVEL_HOME"));
    if (!own.isEmpty()) return WithSlash(QDir::cleanPath(QFileInfo(own).absoluteFilePath()));
    return WithSlash(XdgFolder("XDG_DATA_HOME", QStringLiteral(".local/share")) + QStringLiteral("/Zoravel"));
}

QString GetUserDataFolder() { return MadeFolder(UserDataFolderPath()); }

QString ListFilesFolderPath() { return UserDataFolderPath() + QStringLiteral("ListFiles/"); }

QString GetListFilesFolder() { return MadeFolder(GetUserDataFolder() + QStringLiteral("ListFiles")); }

QString GetBookmarkFolder() { return MadeFolder(GetUserDataFolder() + QStringLiteral("Bookmark")); }

QString GetWindowsFolder() { return MadeFolder(XdgFolder("XDG_CONFIG_HOME", QStringLiteral(".config"))); }

QString GetFileExtension(const QString& path)
{
    const qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    // A "." in a folder name is no extension; a name that starts with "."
    // (".bashrc") has the rest of the name as its extension.
    if (dot < nameStart) return QString();
    if (path.size() - dot > 256) return QString();
    return path.mid(dot + 1).toLower();
}

bool IsExistingFile(const QString& path)
{
    struct stat st;
    return StatPath(path, &st) && S_ISREG(st.st_mode);
}

bool IsExistingFolder(const QString& path)
{
    struct stat st;
    return StatPath(path, &st) && S_ISDIR(st.st_mode);
}

QString ExtractFileDir(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) return QString();
    if (slash == 0) return QStringLiteral("/");   // the root keeps its "/"
    return path.left(slash);
}

QString ExtractFileName(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }

bool ResolveShortcut(const QString& path, QString* target)
{
    if (path.isEmpty() || path.contains(QChar(0)) || !target) return false;
    struct stat st;
    if (lstat(QFile::encodeName(path).constData(), &st) != 0) return false;
    if (S_ISLNK(st.st_mode)) return FollowLinks(path, target);
    if (S_ISREG(st.st_mode)) return ReadLinkFile(path, target);
    return false;
}

bool IsShortcutExtension(const QString& extension)
{
    return extension == QLatin1String("lnk") || extension == QLatin1String("desktop");
}

int GetFileDosDateTime(const QString& path)
{
    if (path.isEmpty() || path.contains(QChar(0))) return -1;
    // Opened for reading as the stamp's readers expect; never blocks on a FIFO.
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st;
    const bool ok = fstat(fd, &st) == 0;
    close(fd);
    if (!ok) return -1;

    const time_t seconds = st.st_mtim.tv_sec;
    struct tm local;
    if (!localtime_r(&seconds, &local)) return -1;
    const int year = local.tm_year + 1900;
    unsigned date;
    unsigned time;
    if (year < 1980) {
        date = (1u << 5) | 1u;   // 1980-01-01 00:00:00, the earliest DOS stamp
        time = 0;
    } else if (year > 2107) {
        date = (127u << 9) | (12u << 5) | 31u;   // 2107-12-31 23:59:58, the latest
        time = (23u << 11) | (59u << 5) | 29u;
    } else {
        date = (unsigned(year - 1980) << 9) | (unsigned(local.tm_mon + 1) << 5) | unsigned(local.tm_mday);
        const int second = local.tm_sec > 59 ? 59 : local.tm_sec;   // a leap second stays in range
        time = (unsigned(local.tm_hour) << 11) | (unsigned(local.tm_min) << 5) | unsigned(second / 2);
    }
    return static_cast<int>((date << 16) | time);
}
