#include "platform/shell/drives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dvdread/dvd_reader.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

namespace shell {

QString UnescapeMountField(const QByteArray& field)
{
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out += static_cast<char>(code);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return QString::fromUtf8(out);
}

QString UdevLabelOf(const QString& device)
{
    const QString canonical = QFileInfo(device).canonicalFilePath();
    const QDir labels(QStringLiteral("/dev/disk/by-label"));
    for (const QFileInfo& link : labels.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        if (link.canonicalFilePath() != canonical) continue;
        QByteArray name = QFile::encodeName(link.fileName());
        QByteArray out;
        for (qsizetype i = 0; i < name.size(); ++i) {
            if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
                bool ok = false;
                const int code = name.mid(i + 2, 2).toInt(&ok, 16);
                if (ok) {
                    out += static_cast<char>(code);
                    i += 3;
                    continue;
                }
            }
            out += name[i];
        }
        return QString::fromUtf8(out);
    }
    return {};
}


namespace {

DriveTable& Table()
{
    static DriveTable table;
    return table;
}

// The first mount point whose source is `device`.
QString MountPointOf(const QString& device)
{
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QString canonical = QFileInfo(device).canonicalFilePath();
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (dash < 5 || dash + 2 >= fields.size()) continue;
        const QString source = UnescapeMountField(fields[dash + 2]);
        if (source == device || (!canonical.isEmpty() && QFileInfo(source).canonicalFilePath() == canonical))
            return UnescapeMountField(fields[4]);
    }
    return {};
}

// The volume label of a DVD-Video disc through libdvdread; empty when the
// disc is no DVD-Video.
bool ReadDvdVideo(const QString& device, QString* label)
{
    dvd_reader_t* dvd = DVDOpen(QFile::encodeName(device).constData());
    if (!dvd) return false;
    char volume[33] = {};
    unsigned char set[128] = {};
    if (DVDUDFVolumeInfo(dvd, volume, sizeof volume, set, sizeof set) == 0) *label = QString::fromUtf8(volume).trimmed();
    // A disc with a video manager is DVD-Video.
    dvd_stat_t st;
    const bool video = DVDFileStat(dvd, 0, DVD_READ_INFO_FILE, &st) == 0;
    DVDClose(dvd);
    return video;
}

OpticalDrive ReadDrive(const QString& device)
{
    OpticalDrive drive;
    drive.device = device;
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return drive;
    const int status = ::ioctl(fd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
    const int disc = status == CDS_DISC_OK ? ::ioctl(fd, CDROM_DISC_STATUS, 0) : -1;
    ::close(fd);
    if (status != CDS_DISC_OK) return drive;
    drive.mountPoint = MountPointOf(device);
    drive.label = UdevLabelOf(device);
    if (!drive.mountPoint.isEmpty()) {
        drive.content = OpticalDrive::Content::Data;
    } else if (disc == CDS_AUDIO || disc == CDS_MIXED) {
        drive.content = OpticalDrive::Content::AudioCd;
    } else {
        QString label;
        if (ReadDvdVideo(device, &label)) {
            drive.content = OpticalDrive::Content::DvdVideo;
            if (!label.isEmpty()) drive.label = label;
        }
        // An unmounted data disc that is no DVD-Video cannot be opened from the library.
    }
    return drive;
}

QString NodeName(const QString& device) { return device.mid(device.lastIndexOf(QLatin1Char('/')) + 1); }

}  // namespace

void SetDriveTable(DriveTable table) { Table() = std::move(table); }

std::vector<OpticalDrive> OpticalDrives()
{
    if (Table()) return Table()();
    QStringList nodes = QDir(QStringLiteral("/dev")).entryList({QStringLiteral("sr*")}, QDir::System);
    std::sort(nodes.begin(), nodes.end(), [](const QString& a, const QString& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    std::vector<OpticalDrive> drives;
    for (const QString& node : nodes) drives.push_back(ReadDrive(QStringLiteral("/dev/") + node));
    return drives;
}

std::vector<DiscEntry> DiscEntries(const std::vector<OpticalDrive>& drives)
{
    std::vector<DiscEntry> entries;
    for (const OpticalDrive& drive : drives) {
        switch (drive.content) {
        case OpticalDrive::Content::Empty:
            break;
        case OpticalDrive::Content::Data: {
            if (drive.mountPoint.isEmpty()) break;
            QString path = drive.mountPoint;
            if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
            const QString folder = QDir(drive.mountPoint).dirName();
            entries.push_back({drive.label.isEmpty() ? folder : drive.label, path});
            break;
        }
        case OpticalDrive::Content::AudioCd:
            entries.push_back(
                {QStringLiteral("オーディオ CD (%1)").arg(NodeName(drive.device)), drive.device});
            break;
        case OpticalDrive::Content::DvdVideo:
            if (!drive.mountPoint.isEmpty()) {
                // A mounted DVD-Video disc is a data disc to the library: its folder opens.
                entries.push_back(DiscEntries({{drive.device, OpticalDrive::Content::Data, drive.mountPoint,
                                                drive.label}})
                                      .front());
            } else {
                entries.push_back({drive.label.isEmpty() ? QStringLiteral("DVD (%1)").arg(NodeName(drive.device))
                                                         : drive.label,
                                   drive.device});
            }
            break;
        }
    }
    return entries;
}

}  // namespace shell
