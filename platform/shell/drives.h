// The optical drives and what their discs are, as the library lists them:
// every /dev/sr* that holds a medium. A mounted data disc is listed by its
// mount point (with a trailing "/") and named by its volume label (the mount
// folder's name when it has none); an audio CD by its device node, named
// "オーディオ CD (srN)"; a DVD-Video disc that is not mounted by its device
// node, named by its volume label or "DVD (srN)".
#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace shell {

struct OpticalDrive {
    enum class Content { Empty, Data, AudioCd, DvdVideo };
    QString device;       // "/dev/sr0"
    Content content = Content::Empty;
    QString mountPoint;   // where the disc is mounted; empty when it is not
    QString label;        // the volume label; empty when it has none
};

// One line of the library's drive section.
struct DiscEntry {
    QString name;
    QString path;
    bool operator==(const DiscEntry&) const = default;
};

// The drives of the machine (or of the table a test set), in device order.
std::vector<OpticalDrive> OpticalDrives();
// Replaces the machine's drives; an empty function restores them.
using DriveTable = std::function<std::vector<OpticalDrive>()>;
void SetDriveTable(DriveTable table);

// A field of /proc/self/mountinfo, its octal escapes ("\040") undone.
QString UnescapeMountField(const QByteArray& field);
// The label udev gives the device ("/dev/disk/by-label", its "\x20"
// escapes undone); empty when it has none.
QString UdevLabelOf(const QString& device);

// The entries for the drives that hold a medium, in drive order.
std::vector<DiscEntry> DiscEntries(const std::vector<OpticalDrive>& drives);

}  // namespace shell
