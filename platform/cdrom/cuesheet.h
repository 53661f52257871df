// Cue sheets of audio-CD images, read by our own code: the sheet's text, the
// disc laid out from it (tracks, gaps, lead-out as a drive would report
// them) and the sound of the disc read back from its files.
//
// A sheet names its data files (FILE, relative to the sheet, raw 44.1 kHz
// 16-bit stereo little-endian as BINARY, or RIFF PCM of that format as
// WAVE), one for the disc or one per track. A track starts at its INDEX 01;
// INDEX 00 begins its pre-gap in the file; PREGAP and POSTGAP are gaps on
// the disc without data. TITLE and PERFORMER before the first track are the
// disc's, after a TRACK line that track's. Any thread; no state is shared.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace cdrom {

inline constexpr int kLeadInFrames = 150;
inline constexpr int kBytesPerFrame = 2352;
// Sheets longer than this are no sheets of ours.
inline constexpr int kMaxSheetBytes = 256 * 1024;

struct CueTrack {
    int number = 0;
    bool audio = true;
    int sectorSize = kBytesPerFrame;   // bytes of one frame in its file
    int file0 = -1, index0 = -1;       // INDEX 00: file (CueSheet::files) and frames into it; -1 when absent
    int file = -1, index1 = -1;        // INDEX 01
    int pregap = 0;                    // frames of gap without data
    int postgap = 0;
    QByteArray title, performer;
};

struct CueFile {
    QByteArray name;   // as written, quotes removed
    bool wave = false;
};

struct CueSheet {
    QByteArray title, performer, cdTextFile;
    std::vector<CueFile> files;
    std::vector<CueTrack> tracks;
};

// Reads the sheet's text; false when it is not a usable sheet (no tracks,
// numbers out of order, a track without INDEX 01, a file type we do not
// read, more than 99 tracks or files).
bool ParseCueSheet(const QByteArray& text, CueSheet* sheet);

// Where a file's sound lies: bytes from `offset`, `length` bytes.
struct FileExtent {
    std::int64_t offset = 0;
    std::int64_t length = 0;
};

// A stretch of the disc: `frames` frames from `file` at byte `offset`, or
// silence (file -1: a gap, or a data track, which has no sound).
struct DiscPiece {
    int file = -1;
    std::int64_t offset = 0;
    int frames = 0;
};

struct DiscTrack {
    int number = 0;
    bool audio = true;
    int start = 0;   // frames, with the lead-in, as READ TOC reports it
};

struct DiscLayout {
    std::vector<DiscTrack> tracks;
    int leadOut = 0;                 // frames, with the lead-in
    std::vector<DiscPiece> pieces;   // the disc from the end of the lead-in
};

// Lays out the disc from the sheet and its files' extents (one per file of
// the sheet); false when the indexes do not fit the files or the disc would
// be longer than a TOC can say.
bool LayOutDisc(const CueSheet& sheet, const std::vector<FileExtent>& files, DiscLayout* layout);

// The sound region of a WAVE file from its first bytes and its size: false
// unless it is RIFF PCM, 2 channels, 44,100 Hz, 16 bits.
bool WaveExtent(const QByteArray& head, std::int64_t fileSize, FileExtent* extent);

// A CD-TEXT file holds at most 8 blocks of 256 packs of 18 bytes, perhaps
// behind the drive's 4-byte reply header; the drive's reply carries no more.
inline constexpr qint64 kMaxCdTextFileBytes = 8 * 256 * 18 + 4;

// Opens a regular file for reading, never a device node, folder or FIFO
// (their open could block and their reads never end); null otherwise.
std::unique_ptr<QFile> OpenRegularFile(const QString& path);
// Reads a whole regular file of at most `limit` bytes; false for any other
// kind of file and for a longer one.
bool ReadRegularFile(const QString& path, qint64 limit, QByteArray* bytes);

// A sheet read from disk with its files found and checked.
struct DiscImage {
    CueSheet sheet;
    DiscLayout layout;
    std::vector<QString> files;   // absolute paths, one per CueSheet::files
    QString cdTextFile;           // absolute, or "" without CDTEXTFILE
};
// False when the sheet cannot be read or a file it names (data or CD-TEXT)
// is missing, no regular file, or a CD-TEXT file too long: a drive without a
// disc.
bool LoadDiscImage(const QString& cueSheet, DiscImage* image);

// CD-TEXT packs (READ TOC format 5 without its header) of the sheet's TITLE
// and PERFORMER lines in one block; empty when it has none.
std::vector<std::uint8_t> CueCdTextPacks(const CueSheet& sheet);

// Reads the disc's sound: 16-bit stereo bytes counted from the end of the
// lead-in, gaps and data tracks as silence. Files are opened as needed.
class DiscReader {
public:
    explicit DiscReader(const DiscImage& image);
    ~DiscReader();
    // Fills `size` bytes from `position`; false when a file cannot be read
    // (the rest is then zero). Beyond the disc's end reads silence.
    bool Read(std::int64_t position, char* out, std::int64_t size);

private:
    std::vector<QString> paths_;
    std::vector<DiscPiece> pieces_;
    std::vector<std::int64_t> starts_;   // disc byte of each piece
    std::vector<std::unique_ptr<QFile>> open_;
};

}  // namespace cdrom
