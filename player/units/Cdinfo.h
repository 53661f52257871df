// Direct commands to a CD/DVD drive: the table of contents into a disc
// record, CD-TEXT, the CD-database disc identifier and query command, the
// drive's reading speed and the READ DISC STRUCTURE probe.
//
// A drive is named as platform/cdrom names it (device node, link, mount
// point or disc image). Every command opens the drive, runs with a 10-second
// time-out and closes it again. Main thread; each call blocks until the
// drive answers.
#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// An address as the MCI CD device packs it: minutes in the low byte, seconds
// in the next, frames in the third.
using MciMsf = std::uint32_t;

inline constexpr int kFramesPerSecond = 75;
inline constexpr int kFramesPerMinute = 60 * kFramesPerSecond;

int MsfToFrames(int minutes, int seconds, int frames);
int MciMsfToFrames(MciMsf msf);
// Minutes are kept to 8 bits, as the packed form holds them.
MciMsf FramesToMciMsf(int frames);

struct TTrackRecord {
    int number = 0;          // 1-based
    QString title;           // CD-TEXT pack 0x80
    QString performer;       // CD-TEXT pack 0x81
    MciMsf length = 0;
    MciMsf start = 0;        // as READ TOC reports it (2-second lead-in included)
    int audio = 0;           // 1 when the control nibble's data bit is clear
};

class CDinfo {
public:
    std::vector<std::unique_ptr<TTrackRecord>> tracks;   // disc order; the record owns them
    int totalFrames = 0;     // start of the lead-out
    int trackCount = 0;      // the TOC's last track number
    QString performer;       // disc performer (0x81, track 0)
    QString title;           // disc title (0x80, track 0)
    QString message;         // 0x85, all pieces appended
    std::uint8_t languages[8] = {};   // language code of CD-TEXT blocks 0-7, 0 = absent
    int languageCount = 0;
};

// Sizes of the replies asked for (the allocation lengths of the CDBs).
inline constexpr int kTocReplySize = 804;
inline constexpr int kCdTextReplySize = 5000;

// The TOC parse over the bytes that came back. False, leaving the record's
// tracks empty, unless 1 = first track <= last track <= 99, every descriptor
// up to the lead-out (track 0xAA) lies inside the reply and the starts
// increase. The track list is rebuilt on every parse.
bool ParseToc(CDinfo* info, const std::uint8_t* reply, int size);
// The CD-TEXT parse of a format-5 reply into the record: the texts of block
// `textBlock`, the language codes and their count. 1 when at least one
// language block exists.
int ParseCdText(CDinfo* info, int textBlock, const std::uint8_t* reply, int size);
// Disc identifier and query command of a TOC reply; false when the reply is
// no valid TOC (as for ParseToc).
bool DiscIdFromToc(const std::uint8_t* reply, int size, std::uint32_t* discId, QString* query);

class CASPI {
public:
    // CD-TEXT language block to read (0-7); set before ReadCdTextSpti.
    int textBlock = 0;
    // The raw reply of the last CD-TEXT read, zero-filled past what came back.
    std::vector<std::uint8_t> textBuffer = std::vector<std::uint8_t>(kCdTextReplySize);

    // 1 when the TOC was read and parsed into the record; 0 when the command
    // failed or the reply is no valid TOC (the record then has no tracks).
    int ReadTocSpti(CDinfo* info, const QString& device);
    // 1 when at least one language block exists; the texts of textBlock go
    // into the record (track texts only for tracks the record holds).
    int ReadCdTextSpti(CDinfo* info, const QString& device);
    // Reads the TOC again and gives the disc identifier and query command.
    int GetDiscIdSpti(const QString& device, std::uint32_t* discId, QString* query);
    // Reading speed in kB/s, or -1 for the drive's maximum. 1 when accepted.
    int SetCDSpeed(const QString& device, int speed);
    // READ DISC STRUCTURE with no data; a drive accepts it for a DVD only.
    int SendCdbAD(const QString& device);
};

// The platform family of the drive-access callers: always the pass-through one.
int GetWindowsFamily();

// The reading-speed limit that the player applies while it reads from a disc.
// `setting` is the packed `DriveSpeed` value.
class TDriveSpeedLimit {
public:
    static constexpr std::uint32_t kLimitFlag = 0x2000000;
    static constexpr std::uint32_t kRestoreFlag = 0x1000000;
    static constexpr int kDvdUnit = 1385;   // kB/s per 1x
    static constexpr int kCdUnit = 177;     // kB/s per 1x, rounded up from 176.4

    // Sets the drive's speed by the setting (only with the limit flag; DVD
    // when the drive accepts READ DISC STRUCTURE, else the audio-CD or
    // other-CD factor). A factor of 0 sends nothing. A drive that accepted
    // a speed is remembered. True when a speed was set.
    bool Apply(const QString& drive, std::uint32_t setting, bool audioCd);
    // A remembered drive runs at its maximum again when the restore flag is
    // set; it is forgotten either way.
    void Restore(std::uint32_t setting);
    const QString& ChangedDrive() const { return changed_; }

private:
    QString changed_;
};
