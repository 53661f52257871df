// A disc image as a drive: a cue sheet with its data files answers READ TOC
// (format 0 from the layout of our own sheet reader, format 5 from the
// sheet's CD-TEXT file, else from its TITLE and PERFORMER lines) and refuses
// every other command. Devices' track lists come through libcdio.
#include "platform/cdrom/cdrom.h"
#include "platform/cdrom/cuesheet.h"

#include <QFile>
#include <QFileInfo>

#include <cdio/cdio.h>
#include <cdio/logging.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace cdrom {

namespace {

// A CD-TEXT file holds at most 8 blocks of 256 packs.
constexpr int kPackSize = 18;

void SilentLog(cdio_log_level_t, const char*) {}

struct ImageTrack {
    int number = 0;
    bool data = false;
    int lba = 0;   // including the 2-second lead-in, as READ TOC reports it
};

}  // namespace

bool ReadLibcdioTracks(const QString& device, std::vector<LibcdioTrack>* tracks, int* leadOut)
{
    // libcdio reports a disc it dislikes on stderr; nothing of ours is logged.
    const cdio_log_handler_t previous = cdio_log_set_handler(SilentLog);
    const QByteArray name = QFile::encodeName(device);
    CdIo_t* cdio = cdio_open(name.constData(), DRIVER_UNKNOWN);
    bool ok = false;
    if (cdio) {
        const track_t first = cdio_get_first_track_num(cdio);
        const track_t count = cdio_get_num_tracks(cdio);
        if (first != CDIO_INVALID_TRACK && count != CDIO_INVALID_TRACK && count > 0 && first + count - 1 <= 99) {
            ok = true;
            for (int t = first; t < first + count; ++t) {
                const lba_t lba = cdio_get_track_lba(cdio, static_cast<track_t>(t));
                if (lba == CDIO_INVALID_LBA) ok = false;
                tracks->push_back(
                    {t, static_cast<int>(lba), cdio_get_track_format(cdio, static_cast<track_t>(t)) == TRACK_FORMAT_AUDIO});
            }
            const lba_t end = cdio_get_track_lba(cdio, CDIO_CDROM_LEADOUT_TRACK);
            if (end == CDIO_INVALID_LBA) ok = false;
            *leadOut = static_cast<int>(end);
        }
        cdio_destroy(cdio);
    }
    cdio_log_set_handler(previous);
    return ok;
}

namespace {

class ImageTransport final : public Transport {
public:
    bool Open(const QString& cueSheet)
    {
        DiscImage image;
        if (!LoadDiscImage(cueSheet, &image)) return false;
        for (const DiscTrack& t : image.layout.tracks) tracks_.push_back({t.number, !t.audio, t.start});
        tracks_.push_back({0xAA, false, image.layout.leadOut});
        cdTextFile_ = image.cdTextFile;
        sheetPacks_ = CueCdTextPacks(image.sheet);
        return true;
    }

    bool Execute(const std::uint8_t* cdb, int cdbLength, bool dataIn, std::uint8_t* buffer, int length,
                 int* transferred) override
    {
        *transferred = 0;
        if (length < 0 || (length > 0 && !buffer)) return false;
        if (length > 0) std::memset(buffer, 0, static_cast<size_t>(length));
        // Only READ TOC in MSF form is answered.
        if (cdbLength < 10 || cdb[0] != 0x43 || !dataIn || (cdb[1] & 0x02) == 0) return false;
        const int allocation = std::min(length, (cdb[7] << 8) | cdb[8]);
        std::vector<std::uint8_t> reply;
        switch (cdb[2] & 0x0F) {
        case 0:
            reply = TocReply();
            break;
        case 5:
            if (!CdTextReply(&reply)) return false;
            break;
        default:
            return false;
        }
        const int n = std::min(allocation, static_cast<int>(reply.size()));
        if (n > 0) std::memcpy(buffer, reply.data(), static_cast<size_t>(n));
        *transferred = n;
        return true;
    }

private:
    std::vector<std::uint8_t> TocReply() const
    {
        std::vector<std::uint8_t> reply(4);
        reply[2] = static_cast<std::uint8_t>(tracks_.front().number);
        reply[3] = static_cast<std::uint8_t>(tracks_[tracks_.size() - 2].number);
        for (const ImageTrack& t : tracks_) {
            const int m = t.lba / (75 * 60), s = (t.lba / 75) % 60, f = t.lba % 75;
            // ADR 1 (position data); control bit 2 marks a data track.
            const std::uint8_t control = t.data ? 0x04 : 0x00;
            const std::uint8_t descriptor[8] = {0, static_cast<std::uint8_t>(0x10 | control),
                                                static_cast<std::uint8_t>(t.number), 0, 0,
                                                static_cast<std::uint8_t>(m), static_cast<std::uint8_t>(s),
                                                static_cast<std::uint8_t>(f)};
            reply.insert(reply.end(), descriptor, descriptor + 8);
        }
        const size_t dataLength = reply.size() - 2;
        reply[0] = static_cast<std::uint8_t>(dataLength >> 8);
        reply[1] = static_cast<std::uint8_t>(dataLength);
        return reply;
    }

    bool CdTextReply(std::vector<std::uint8_t>* reply) const
    {
        QByteArray packs;
        if (cdTextFile_.isEmpty()) {
            packs = QByteArray(reinterpret_cast<const char*>(sheetPacks_.data()), static_cast<qsizetype>(sheetPacks_.size()));
        } else {
            if (!ReadRegularFile(cdTextFile_, kMaxCdTextFileBytes, &packs)) return false;
        }
        // Some writers put the 4-byte header of the drive's reply in front.
        if (packs.size() % kPackSize == 4) packs.remove(0, 4);
        packs.truncate(packs.size() - packs.size() % kPackSize);
        if (packs.isEmpty()) return false;
        reply->assign(4, 0);
        const size_t dataLength = static_cast<size_t>(packs.size()) + 2;
        (*reply)[0] = static_cast<std::uint8_t>(dataLength >> 8);
        (*reply)[1] = static_cast<std::uint8_t>(dataLength);
        reply->insert(reply->end(), packs.begin(), packs.end());
        return true;
    }

    std::vector<ImageTrack> tracks_;
    QString cdTextFile_;
    std::vector<std::uint8_t> sheetPacks_;
};

}  // namespace

std::unique_ptr<Transport> OpenImageTransport(const QString& cueSheet)
{
    auto transport = std::make_unique<ImageTransport>();
    if (!transport->Open(cueSheet)) return nullptr;
    return transport;
}

}  // namespace cdrom
