// What libdvdread tells about a DVD-Video volume, read once on a read-only
// handle of our own: titles, chapters and lengths, stream attributes,
// prohibited operations, the volume name and the disc identifier. Any thread
// may read a DiscInfo once Open has returned.
#pragma once

#include "platform/dvd/navigator.h"

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace dvd {

// Operations a program chain or title prohibits, as libdvdread's bit field
// of user operations, turned into the navigator's UOP_FLAG_ bits.
DWORD UopsFromUserOps(std::uint32_t userOps);

// The bits of a libdvdread user_ops_t (bit 0 = title_or_time_play).
std::uint32_t UserOpsBits(const void* userOps);

struct TitleInfo {
    int titleSet = 0;
    int chapters = 0;
    HmsfTime length;
    DWORD prohibited = 0;     // title and its program chain, as UOP_FLAG_ bits
    VideoAttributes video;
    // Where each chapter begins in the title's time, in milliseconds; empty
    // when a chapter lies in another program chain than the first one.
    std::vector<std::int64_t> chapterStartsMs;
    std::vector<AudioAttributes> audio;
    std::vector<SubpictureAttributes> subpictures;
};

class DiscInfo {
public:
    // Reads the volume at a VIDEO_TS folder, the folder above it, an image
    // file or a device node. False when it is no DVD-Video volume.
    bool Open(const QString& path);
    // Whether the path holds a DVD-Video volume (a volume manager's IFO that
    // libdvdread reads).
    static bool IsDvdVolume(const QString& path);
    // A disc known by its titles and identifier, without reading a volume.
    static DiscInfo FromTitles(std::vector<TitleInfo> titles, std::uint64_t discId)
    {
        DiscInfo info;
        info.titles_ = std::move(titles);
        info.discId_ = discId;
        return info;
    }

    const std::vector<TitleInfo>& Titles() const { return titles_; }
    const TitleInfo* Title(ULONG title) const
    {
        return title >= 1 && title <= titles_.size() ? &titles_[title - 1] : nullptr;
    }
    // The first 8 bytes of libdvdread's disc identifier (an MD5 over the IFO
    // files) as a big-endian number.
    std::uint64_t DiscId() const { return discId_; }
    QString VolumeName() const { return volumeName_; }
    VideoAttributes MenuVideo() const { return menuVideo_; }
    // The chapter of `title` that holds the time `ms`, 0 when the disc does
    // not say where its chapters begin.
    int ChapterAt(ULONG title, std::int64_t ms) const;
    // The lowest parental level (1 to 8) at which the title set may play in
    // the country (two letters as a big-endian number; 0: the table's first
    // country), from the disc's parental management table: the first level
    // whose identifier field for the set is not zero. 0 when the disc
    // restricts the set nowhere.
    int ParentalLevelNeeded(int titleSet, std::uint16_t country) const;
    // A country code of two letters ("JP") as the table writes it.
    static std::uint16_t CountryCode(const char* letters) { return std::uint16_t(letters[0] << 8 | letters[1]); }
    // Whether the volume's title data is scrambled: a sample of packs of each
    // title set has the PES scrambling bits set. Reads the volume again.
    static bool IsScrambled(const QString& path);

private:
    struct ParentalCountry {
        std::uint16_t code = 0;
        // Per title set (0: the volume manager), the identifier field of levels 1 to 8.
        std::vector<std::array<std::uint16_t, 8>> fields;
    };
    std::vector<ParentalCountry> parental_;
    std::vector<TitleInfo> titles_;
    std::uint64_t discId_ = 0;
    QString volumeName_;
    VideoAttributes menuVideo_;
};

// The path libdvdread and rsndvdbin take: the folder above VIDEO_TS when the
// path names the VIDEO_TS folder or a file in it; other paths unchanged.
QString VolumePath(const QString& path);

}  // namespace dvd
