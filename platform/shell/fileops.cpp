#include "platform/shell/fileops.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUrl>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace shell {

namespace {

DesktopRecorder& Recorder()
{
    static DesktopRecorder recorder;
    return recorder;
}

QString Uri(const QString& path) { return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded); }

// One call of the file manager's interface; false when no file manager answers.
bool CallFileManager(const QString& method, const QStringList& uris)
{
    if (Recorder()) return Recorder()({method, uris});
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                                       QStringLiteral("org.freedesktop.FileManager1"), method);
    call << uris << QString();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

bool XdgOpen(const QString& path)
{
    if (Recorder()) return Recorder()({QStringLiteral("xdg-open"), {Uri(path)}});
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace

void SetDesktopRecorder(DesktopRecorder recorder) { Recorder() = std::move(recorder); }

bool ExploreFolder(const QString& folder, const QString& item)
{
    if (!item.isEmpty() && CallFileManager(QStringLiteral("ShowItems"), {Uri(item)})) return true;
    if (item.isEmpty() && CallFileManager(QStringLiteral("ShowFolders"), {Uri(folder)})) return true;
    return XdgOpen(folder);
}

bool ShowProperties(const QString& path) { return CallFileManager(QStringLiteral("ShowItemProperties"), {Uri(path)}); }

bool OpenWithDefaultApplication(const QString& path) { return XdgOpen(path); }

bool MoveToTrash(const QString& path)
{
    // Qt keeps the freedesktop layout: files/ and info/ of the home trash,
    // or of the volume's .Trash-$UID, with the original path and the date.
    // A new user's data folder may not exist yet; the trash is made inside it.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    QFile file(path);
    return file.moveToTrash();
}

RenameResult RenameNoReplace(const QString& from, const QString& to)
{
    const QByteArray a = QFile::encodeName(from);
    const QByteArray b = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_NOREPLACE) == 0)
        return RenameResult::Renamed;
    if (errno == EEXIST) return RenameResult::Exists;
    if (errno != EINVAL && errno != ENOSYS) return RenameResult::Failed;
    // The file system does not know the flag: a link fails on an existing
    // name as the flag would, then the old name goes.
    if (::link(a.constData(), b.constData()) == 0) {
        if (::unlink(a.constData()) == 0) return RenameResult::Renamed;
        ::unlink(b.constData());
        return RenameResult::Failed;
    }
    if (errno == EEXIST) return RenameResult::Exists;
    // No hard links either: the best left is to look just before the rename.
    struct stat st;
    if (::lstat(b.constData(), &st) == 0) return RenameResult::Exists;
    return ::rename(a.constData(), b.constData()) == 0 ? RenameResult::Renamed : RenameResult::Failed;
}

bool IsUsableFileName(const QString& folder, const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QLatin1Char('/')) ||
        name.contains(QChar(0)))
        return false;
    long limit = ::pathconf(QFile::encodeName(folder).constData(), _PC_NAME_MAX);
    if (limit <= 0) limit = NAME_MAX;
    return QFile::encodeName(name).size() <= limit;
}

QString DisplayName(const QString& path)
{
    QString clean = QDir::cleanPath(path);
    const QStorageInfo volume(clean);
    if (volume.isValid() && QDir::cleanPath(volume.rootPath()) == clean) {
        if (!volume.name().isEmpty()) return volume.name();
        if (clean == QLatin1String("/")) return clean;
    }
    return QFileInfo(clean).fileName();
}

}  // namespace shell
