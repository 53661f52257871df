// Drive names and the SG_IO transport of a drive's device node.
#include "platform/cdrom/cdrom.h"

#include <QFile>
#include <QFileInfo>
#include <QList>

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstring>

namespace cdrom {

namespace {

TransportFactory& Factory()
{
    static TransportFactory factory;
    return factory;
}

// SCSI CD-ROM drives (/dev/sr*) have this block major number.
constexpr unsigned kScsiCdromMajor = 11;

bool IsBlockDevice(const QString& path, dev_t* rdev = nullptr)
{
    struct stat st {};
    if (stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISBLK(st.st_mode)) return false;
    if (rdev) *rdev = st.st_rdev;
    return true;
}

bool IsOpticalDrive(const QString& node)
{
    dev_t rdev = 0;
    return IsBlockDevice(node, &rdev) && major(rdev) == kScsiCdromMajor;
}

// Mountinfo escapes blanks, tabs, newlines and backslashes as octal "\ooo".
QString UnescapeMountField(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = false;
            const int value = digits.toInt(&ok, 8);
            if (ok && digits.size() == 3 && value < 256) {
                out.append(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return QString::fromUtf8(out);
}

bool PathIsUnder(const QString& path, const QString& mountPoint)
{
    if (mountPoint == QLatin1String("/")) return path.startsWith(QLatin1Char('/'));
    return path == mountPoint || path.startsWith(mountPoint + QLatin1Char('/'));
}

QString CanonicalPath(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QString() : canonical;
}

QByteArray ReadMountInfo()
{
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    // The kernel gives the file in pieces; it has no size to read by.
    return file.readAll();
}

// ---------------------------------------------------------------------------
// SG_IO on a device node.

class DeviceTransport final : public Transport {
public:
    explicit DeviceTransport(int fd) : fd_(fd) {}
    ~DeviceTransport() override { close(fd_); }
    DeviceTransport(const DeviceTransport&) = delete;
    DeviceTransport& operator=(const DeviceTransport&) = delete;

    bool Execute(const std::uint8_t* cdb, int cdbLength, bool dataIn, std::uint8_t* buffer, int length,
                 int* transferred) override
    {
        *transferred = 0;
        if (cdbLength <= 0 || cdbLength > 16 || length < 0 || (length > 0 && !buffer)) return false;
        if (length > 0) std::memset(buffer, 0, static_cast<size_t>(length));
        std::uint8_t command[16] = {};
        std::memcpy(command, cdb, static_cast<size_t>(cdbLength));
        std::uint8_t sense[kSenseLength] = {};
        sg_io_hdr_t io {};
        io.interface_id = 'S';
        io.cmd_len = static_cast<unsigned char>(cdbLength);
        io.cmdp = command;
        io.mx_sb_len = sizeof(sense);
        io.sbp = sense;
        if (dataIn && length > 0) {
            io.dxfer_direction = SG_DXFER_FROM_DEV;
            io.dxfer_len = static_cast<unsigned>(length);
            io.dxferp = buffer;
        } else {
            io.dxfer_direction = SG_DXFER_NONE;
        }
        io.timeout = kCommandTimeoutMs;
        if (ioctl(fd_, SG_IO, &io) != 0) return false;
        // Delivered is not done: the drive, the adapter and the driver must
        // each report success, else the reply holds nothing to trust.
        if (io.status != 0 || io.host_status != 0 || io.driver_status != 0) return false;
        if (io.dxfer_direction == SG_DXFER_FROM_DEV) {
            const int resid = io.resid < 0 ? 0 : io.resid;
            *transferred = resid >= length ? 0 : length - resid;
        }
        return true;
    }

private:
    int fd_;
};

}  // namespace

void SetTransportFactory(TransportFactory factory) { Factory() = std::move(factory); }

QString MountSourceOf(const QByteArray& mountinfo, const QString& path)
{
    QString best;
    qsizetype bestLength = -1;
    for (const QByteArray& line : mountinfo.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        // id parent major:minor root mount-point options [optional...] - type source super-options
        if (fields.size() < 10) continue;
        qsizetype separator = -1;
        for (qsizetype i = 6; i < fields.size(); ++i) {
            if (fields[i] == "-") {
                separator = i;
                break;
            }
        }
        if (separator < 0 || separator + 2 >= fields.size()) continue;
        const QString mountPoint = UnescapeMountField(fields[4]);
        if (!PathIsUnder(path, mountPoint)) continue;
        // Later mounts over the same point hide the earlier ones.
        if (mountPoint.size() >= bestLength) {
            bestLength = mountPoint.size();
            best = UnescapeMountField(fields[separator + 2]);
        }
    }
    return best;
}

QString DriveOfPath(const QString& path)
{
    const QString canonical = CanonicalPath(path);
    if (canonical.isEmpty()) return {};
    const QString source = MountSourceOf(ReadMountInfo(), canonical);
    if (source.isEmpty() || !IsOpticalDrive(source)) return {};
    return source;
}

DriveName ResolveDrive(const QString& name)
{
    DriveName drive;
    if (name.isEmpty()) return drive;
    const QString canonical = CanonicalPath(name);
    if (canonical.isEmpty()) return drive;
    const QFileInfo info(canonical);
    if (info.isFile() && canonical.endsWith(QLatin1String(".cue"), Qt::CaseInsensitive)) {
        drive.kind = DriveName::Image;
        drive.path = canonical;
    } else if (IsBlockDevice(canonical)) {
        drive.kind = DriveName::Device;
        drive.path = canonical;
    } else if (info.isDir()) {
        // Only the mount point itself names the drive, not a folder on the disc.
        const QByteArray mountinfo = ReadMountInfo();
        const QString source = MountSourceOf(mountinfo, canonical);
        if (!source.isEmpty() && IsBlockDevice(source)) {
            for (const QByteArray& line : mountinfo.split('\n')) {
                const QList<QByteArray> fields = line.split(' ');
                if (fields.size() > 4 && UnescapeMountField(fields[4]) == canonical) {
                    drive.kind = DriveName::Device;
                    drive.path = source;
                    break;
                }
            }
        }
    }
    return drive;
}

std::unique_ptr<Transport> OpenDeviceTransport(const QString& node, Access access)
{
    // Without CAP_SYS_RAWIO the kernel passes SET CD SPEED only to a node
    // opened for writing; reads need no more than read access. O_NONBLOCK
    // opens a drive whose tray is empty or still settling.
    const int flags = (access == Access::Write ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC;
    const int fd = open(QFile::encodeName(node).constData(), flags);
    if (fd < 0) return nullptr;
    return std::make_unique<DeviceTransport>(fd);
}

std::unique_ptr<Transport> OpenDrive(const QString& name, Access access)
{
    if (Factory()) return Factory()(name, access);
    const DriveName drive = ResolveDrive(name);
    switch (drive.kind) {
    case DriveName::Device:
        return OpenDeviceTransport(drive.path, access);
    case DriveName::Image:
        return OpenImageTransport(drive.path);
    case DriveName::None:
        break;
    }
    return nullptr;
}

}  // namespace cdrom
