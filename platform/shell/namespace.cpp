#include "platform/shell/namespace.h"

#include "platform/shell/drives.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace shell {

namespace {

QString& MountTable()
{
    static QString table;
    return table;
}

QString MountTablePath()
{
    return MountTable().isEmpty() ? QStringLiteral("/proc/self/mountinfo") : MountTable();
}

bool IsNetworkType(const QString& type)
{
    static const QStringList kTypes = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "davfs", "fuse.davfs2",
                                       "afs", "9p", "fuse.rclone", "fuse.gvfsd-fuse"};
    return kTypes.contains(type);
}

// A path component shown as a name: never "/", which splits node paths.
QString NameOf(const QString& text) { return QString(text).replace(QLatin1Char('/'), QChar(0xFF0F)); }

QString Join(const QString& folder, const char* name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + QFile::decodeName(name)
                                             : folder + QLatin1Char('/') + QFile::decodeName(name);
}

// Walks a folder: each visible entry as an item, until `take` answers false.
void ForEachEntry(const QString& folder, const std::function<bool(ShellItem&&)>& take)
{
    const QByteArray path = QFile::encodeName(folder);
    DIR* dir = ::opendir(path.constData());
    if (!dir) return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        ShellItem item;
        item.parsingName = Join(folder, entry->d_name);
        item.displayName = QFile::decodeName(entry->d_name);
        unsigned char type = entry->d_type;
        struct stat st;
        if (type == DT_UNKNOWN && ::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
            type = S_ISLNK(st.st_mode) ? DT_LNK : S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
        if (type == DT_LNK) {
            item.link = true;
            item.refresh = true;
            item.folder = ::fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        } else {
            item.folder = type == DT_DIR;
        }
        if (!take(std::move(item))) break;
    }
    ::closedir(dir);
}

int Rank(const ShellItem& item)
{
    switch (item.special) {
    case ShellItem::Special::None: return 5;
    case ShellItem::Special::Volume:
    case ShellItem::Special::Drive: return 4;
    default: return static_cast<int>(item.special);
    }
}

// What identifies a volume from one look at the table to the next: an
// optical drive by its device (its medium comes and goes), others by where
// they are mounted.
QString KeyOf(const Volume& v) { return v.optical ? v.device : v.mountPoint; }

}  // namespace

QString DesktopFolder()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return desktop.isEmpty() ? QDir::homePath() + QStringLiteral("/Desktop") : desktop;
}

ShellItem DesktopItem()
{
    return {DesktopFolder(), QString::fromUtf8(kDesktopName), {}, ShellItem::Special::Desktop, true, false, false};
}

bool CanList(const ShellItem& item)
{
    switch (item.special) {
    case ShellItem::Special::Computer: return true;
    case ShellItem::Special::Drive: return false;
    case ShellItem::Special::Desktop: return true;
    default: break;
    }
    return item.folder && ::access(QFile::encodeName(item.parsingName).constData(), R_OK | X_OK) == 0;
}

std::vector<ShellItem> Children(const ShellItem& folder)
{
    std::vector<ShellItem> items;
    switch (folder.special) {
    case ShellItem::Special::Desktop:
        items.push_back({QDir::homePath(), QString::fromUtf8(kHomeName), {}, ShellItem::Special::Home, true, false, false});
        items.push_back({QString(), QString::fromUtf8(kComputerName), {}, ShellItem::Special::Computer, true, false, false});
        // A desktop folder that is the home folder itself lists nothing twice.
        if (QDir(folder.parsingName) != QDir::home())
            ForEachEntry(folder.parsingName, [&](ShellItem&& item) {
                items.push_back(std::move(item));
                return true;
            });
        return items;
    case ShellItem::Special::Computer:
        items.push_back({QStringLiteral("/"), QString::fromUtf8(kFileSystemName), {}, ShellItem::Special::FileSystem, true,
                         false, false});
        for (const Volume& v : Volumes()) items.push_back(ItemOf(v));
        return items;
    case ShellItem::Special::Drive:
        return items;
    default:
        ForEachEntry(folder.parsingName, [&](ShellItem&& item) {
            items.push_back(std::move(item));
            return true;
        });
        return items;
    }
}

bool AnyChild(const ShellItem& folder, const std::function<bool(const ShellItem&)>& counts)
{
    if (folder.special != ShellItem::Special::None && folder.special != ShellItem::Special::Home &&
        folder.special != ShellItem::Special::FileSystem && folder.special != ShellItem::Special::Volume) {
        for (const ShellItem& item : Children(folder))
            if (counts(item)) return true;
        return false;
    }
    bool found = false;
    ForEachEntry(folder.parsingName, [&](ShellItem&& item) {
        found = counts(item);
        return !found;
    });
    return found;
}

int CompareItems(const ShellItem& a, const ShellItem& b)
{
    const int ra = Rank(a), rb = Rank(b);
    if (ra != rb) return ra < rb ? -1 : 1;
    if (ra != 5) return 0;
    if (a.folder != b.folder) return a.folder ? -1 : 1;
    static thread_local QCollator collator = [] {
        // The C locale has no collation of its own and compares numbers as text.
        QCollator c(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale());
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(true);
        return c;
    }();
    return collator.compare(a.displayName, b.displayName);
}

// ---- volumes ----

void SetMountTable(const QString& path) { MountTable() = path; }

std::vector<Volume> Volumes()
{
    std::vector<Volume> volumes;
    QFile table(MountTablePath());
    if (table.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = table.readAll().split('\n');
        for (const QByteArray& line : lines) {
            const QList<QByteArray> fields = line.split(' ');
            const qsizetype dash = fields.indexOf("-");
            if (dash < 5 || dash + 2 >= fields.size()) continue;
            Volume v;
            v.mountPoint = UnescapeMountField(fields[4]);
            const QString type = UnescapeMountField(fields[dash + 1]);
            v.device = UnescapeMountField(fields[dash + 2]);
            v.network = IsNetworkType(type);
            const bool userMount = v.mountPoint.startsWith(QLatin1String("/media/")) ||
                                   v.mountPoint.startsWith(QLatin1String("/run/media/")) ||
                                   v.mountPoint.startsWith(QLatin1String("/mnt/"));
            if (!userMount && !v.network) continue;
            v.optical = v.device.startsWith(QLatin1String("/dev/sr")) || type == QLatin1String("iso9660") ||
                        type == QLatin1String("udf");
            v.removable = !v.mountPoint.startsWith(QLatin1String("/mnt/"));
            QString label = v.device.startsWith(QLatin1String("/dev/")) ? UdevLabelOf(v.device) : QString();
            if (label.isEmpty()) label = QFileInfo(v.mountPoint).fileName();
            v.name = NameOf(label);
            // A later mount over the same folder hides the earlier one.
            volumes.erase(std::remove_if(volumes.begin(), volumes.end(),
                                         [&](const Volume& o) { return o.mountPoint == v.mountPoint; }),
                          volumes.end());
            volumes.push_back(v);
        }
    }
    for (const OpticalDrive& drive : OpticalDrives()) {
        const bool mounted = std::any_of(volumes.begin(), volumes.end(), [&](const Volume& v) {
            return v.device == drive.device || (!drive.mountPoint.isEmpty() && v.mountPoint == drive.mountPoint);
        });
        if (mounted) continue;
        Volume v;
        v.device = drive.device;
        v.optical = true;
        v.name = QStringLiteral("光学ドライブ (%1)").arg(QFileInfo(drive.device).fileName());
        volumes.push_back(v);
    }
    return volumes;
}

ShellItem ItemOf(const Volume& v)
{
    ShellItem item;
    item.parsingName = v.mountPoint.isEmpty() ? v.device : v.mountPoint;
    item.displayName = v.name;
    item.device = v.device;
    item.special = v.mountPoint.isEmpty() ? ShellItem::Special::Drive : ShellItem::Special::Volume;
    item.folder = true;
    item.refresh = v.optical || v.removable || v.network;
    return item;
}

// ---- the watcher ----

MountWatcher::MountWatcher(QObject* parent) : QObject(parent), seen_(Volumes())
{
    // The kernel marks the table as changed with an exceptional condition.
    fd_ = ::open(QFile::encodeName(MountTablePath()).constData(), O_RDONLY | O_CLOEXEC);
    if (fd_ >= 0 && MountTable().isEmpty()) {
        notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Exception, this);
        connect(notifier_, &QSocketNotifier::activated, this, &MountWatcher::Check);
    }
    // Media in the optical drives give no notice: they are looked at once a second.
    poll_ = new QTimer(this);
    poll_->setInterval(1000);
    connect(poll_, &QTimer::timeout, this, &MountWatcher::Check);
    poll_->start();
}

MountWatcher::~MountWatcher()
{
    if (fd_ >= 0) ::close(fd_);
}

void MountWatcher::Check()
{
    if (fd_ >= 0 && notifier_) {
        // Read to the end, so the next change is signalled anew.
        char buffer[4096];
        ::lseek(fd_, 0, SEEK_SET);
        while (::read(fd_, buffer, sizeof buffer) > 0) {
        }
    }
    std::vector<Volume> now = Volumes();
    auto holds = [](const std::vector<Volume>& list, const Volume& v) {
        return std::any_of(list.begin(), list.end(), [&](const Volume& o) {
            return KeyOf(o) == KeyOf(v) && o.mountPoint.isEmpty() == v.mountPoint.isEmpty();
        });
    };
    const std::vector<Volume> before = std::move(seen_);
    seen_ = now;
    for (const Volume& v : before)
        if (!holds(now, v)) emit Removed(v.mountPoint, v.optical);
    for (const Volume& v : now)
        if (!holds(before, v)) emit Arrived(v.optical);
}

}  // namespace shell
