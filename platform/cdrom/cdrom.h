// Direct access to a CD/DVD drive: one SCSI command at a time through a
// transport, and the names a drive goes by.
//
// A drive is named by its device node (/dev/sr0), a link to one (/dev/cdrom),
// the mount point of the disc in it, or a disc image (a cue sheet whose data
// files lie beside it). Each command opens the drive, runs and closes it
// again; nothing is kept open between commands. Main thread; a command blocks
// until the drive answers or its time-out passes.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

#include <vector>

namespace cdrom {

inline constexpr int kCommandTimeoutMs = 10000;
inline constexpr int kSenseLength = 32;

// How a command needs the drive opened: commands that change the drive's
// state (SET CD SPEED) need the node opened for writing.
enum class Access { Read, Write };

class Transport {
public:
    virtual ~Transport() = default;
    // Runs one command: `cdb` of `cdbLength` bytes; with `dataIn` the drive
    // may return up to `length` bytes into `buffer`, else no data moves. True
    // only when the drive completed the command (good SCSI, host and driver
    // status); `*transferred` then holds the number of bytes that came back.
    // The buffer is zero-filled before the command runs, so bytes that did
    // not come back read as 0.
    virtual bool Execute(const std::uint8_t* cdb, int cdbLength, bool dataIn, std::uint8_t* buffer, int length,
                         int* transferred) = 0;
};

// What a drive name stands for.
struct DriveName {
    enum Kind { None, Device, Image } kind = None;
    QString path;   // the device node or the cue sheet, absolute
};

// Resolves a drive name: a cue sheet that exists is an image; a block device
// (links followed) is a device; a folder that is a mount point stands for the
// block device mounted there. Anything else is None.
DriveName ResolveDrive(const QString& name);
// The device node of the optical drive that holds `path` (the source of the
// longest mount point containing it), or "" when the path is not on a disc.
QString DriveOfPath(const QString& path);
// The same over the text of a mountinfo file, without the optical check:
// the mount source of the longest mount point that contains `path` (which
// must be absolute and free of links), or "".
QString MountSourceOf(const QByteArray& mountinfo, const QString& path);

// The transport for a drive name, or null when the name is no drive or the
// drive cannot be opened with the access asked for.
std::unique_ptr<Transport> OpenDrive(const QString& name, Access access);

// Tests replace every drive by their own transports: while a factory is set,
// OpenDrive asks it instead. An empty function restores the real drives.
using TransportFactory = std::function<std::unique_ptr<Transport>(const QString& name, Access access)>;
void SetTransportFactory(TransportFactory factory);

// The individual transports, for callers that know what they hold.
std::unique_ptr<Transport> OpenDeviceTransport(const QString& node, Access access);
std::unique_ptr<Transport> OpenImageTransport(const QString& cueSheet);

// One track as libcdio lists it: LBA counts frames with the 2-second lead-in.
struct LibcdioTrack {
    int number = 0;
    int lba = 0;
    bool audio = true;
};
// The track list and lead-out of a drive through libcdio, which is kept
// quiet. False when it has no usable list (no tracks, more than 99, or an
// address it cannot give); `tracks` then holds what was read. Disc images
// are read by our own sheet reader (cuesheet.h).
bool ReadLibcdioTracks(const QString& device, std::vector<LibcdioTrack>* tracks, int* leadOut);

}  // namespace cdrom
