// What libdvdread tells about a DVD-Video volume, read once on a read-only
// handle of our own: titles, chapters and lengths, stream attributes,
// prohibited operations, the volume name and the disc identifier. Any thread
// may read a DiscInfo once Open has returned.
#pragma once

#include "platform/dvd/navigator.h"

#include <QString>

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

private:
    std::vector<TitleInfo> titles_;
    std::uint64_t discId_ = 0;
    QString volumeName_;
    VideoAttributes menuVideo_;
};

// The path libdvdread and rsndvdbin take: the folder above VIDEO_TS when the
// path names the VIDEO_TS folder or a file in it; other paths unchanged.
QString VolumePath(const QString& path);

}  // namespace dvd
