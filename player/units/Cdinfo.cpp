// Drive commands, the TOC and CD-TEXT parses, the disc identifier and the
// reading-speed limit.
#include "Cdinfo.h"

#include "common/Cstrings.h"
#include "platform/cdrom/cdrom.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kTocHeader = 4;
constexpr int kDescriptorSize = 8;
constexpr int kLeadOutTrack = 0xAA;
constexpr int kPackSize = 18;
constexpr int kPackText = 12;
// Items longer than this are cut (at a character boundary).
constexpr int kMaxItemBytes = 255;

// The bytes of a reply that can be trusted: those that came back, and no
// more than the reply's own length field (which counts from byte 2) gives.
int ReplyBytes(const std::uint8_t* reply, int size)
{
    if (!reply || size < kTocHeader) return 0;
    return std::min(size, 2 + ((reply[0] << 8) | reply[1]));
}

// A checked TOC reply: the first track is 1, the descriptors of tracks 1 to
// `last` and the lead-out lie inside the reply, each names its track, every
// address is a valid MSF and the starts increase.
struct TocView {
    int last = 0;
    const std::uint8_t* descriptors = nullptr;   // last + 1 of them, the lead-out last

    int Control(int index) const { return descriptors[index * kDescriptorSize + 1] & 0x0F; }
    int Minutes(int index) const { return descriptors[index * kDescriptorSize + 5]; }
    int Seconds(int index) const { return descriptors[index * kDescriptorSize + 6]; }
    int Frames(int index) const
    {
        const std::uint8_t* d = descriptors + index * kDescriptorSize;
        return MsfToFrames(d[5], d[6], d[7]);
    }
    // Minutes x 60 + seconds, frames dropped.
    int WholeSeconds(int index) const { return Minutes(index) * 60 + Seconds(index); }
};

bool CheckToc(const std::uint8_t* reply, int size, TocView* view)
{
    const int bytes = ReplyBytes(reply, size);
    if (bytes < kTocHeader) return false;
    const int first = reply[2];
    const int last = reply[3];
    if (first != 1 || last < first || last > 99) return false;
    if (kTocHeader + (last + 1) * kDescriptorSize > bytes) return false;
    const std::uint8_t* d = reply + kTocHeader;
    int previous = -1;
    for (int i = 0; i <= last; ++i) {
        const std::uint8_t* descriptor = d + i * kDescriptorSize;
        const int track = descriptor[2];
        if (track != (i == last ? kLeadOutTrack : i + 1)) return false;
        if (descriptor[6] >= 60 || descriptor[7] >= kFramesPerSecond) return false;
        const int frames = MsfToFrames(descriptor[5], descriptor[6], descriptor[7]);
        if (frames <= previous) return false;
        previous = frames;
    }
    view->last = last;
    view->descriptors = d;
    return true;
}

int DigitSum(int n)
{
    int sum = 0;
    for (; n > 0; n /= 10) sum += n % 10;
    return sum;
}

bool ExecCommand(const QString& device, cdrom::Access access, bool dataIn, const std::uint8_t* cdb, int cdbLength,
                 std::uint8_t* buffer, int length, int* transferred)
{
    *transferred = 0;
    if (buffer && length > 0) std::memset(buffer, 0, static_cast<size_t>(length));
    const std::unique_ptr<cdrom::Transport> transport = cdrom::OpenDrive(device, access);
    if (!transport) return false;
    return transport->Execute(cdb, cdbLength, dataIn, buffer, length, transferred);
}

bool ReadToc(const QString& device, std::uint8_t* buffer, int* transferred)
{
    static const std::uint8_t cdb[10] = {0x43, 0x02, 0x00, 0, 0, 0, 0, 0x03, 0x24, 0};
    return ExecCommand(device, cdrom::Access::Read, true, cdb, sizeof cdb, buffer, kTocReplySize, transferred);
}

void ClearTexts(CDinfo* info)
{
    info->title.clear();
    info->performer.clear();
    info->message.clear();
    for (auto& track : info->tracks) {
        track->title.clear();
        track->performer.clear();
    }
    std::fill(std::begin(info->languages), std::end(info->languages), 0);
    info->languageCount = 0;
}

void StoreItem(CDinfo* info, int type, int track, const QByteArray& bytes, int characterCode)
{
    if (type == 0x85) {
        info->message += DecodeCdText(bytes, characterCode);
        return;
    }
    if (type != 0x80 && type != 0x81) return;
    QString* target = nullptr;
    if (track == 0) {
        target = type == 0x80 ? &info->title : &info->performer;
    } else if (track <= info->trackCount && track <= static_cast<int>(info->tracks.size())) {
        TTrackRecord* record = info->tracks[static_cast<size_t>(track - 1)].get();
        target = type == 0x80 ? &record->title : &record->performer;
    }
    if (target) *target = DecodeCdText(bytes, characterCode);
}

}  // namespace

int MsfToFrames(int minutes, int seconds, int frames)
{
    return minutes * kFramesPerMinute + seconds * kFramesPerSecond + frames;
}

int MciMsfToFrames(MciMsf msf) { return MsfToFrames(msf & 0xFF, (msf >> 8) & 0xFF, (msf >> 16) & 0xFF); }

MciMsf FramesToMciMsf(int frames)
{
    if (frames < 0) frames = 0;
    const MciMsf minutes = static_cast<MciMsf>(frames / kFramesPerMinute) & 0xFF;
    const MciMsf seconds = static_cast<MciMsf>((frames / kFramesPerSecond) % 60);
    const MciMsf rest = static_cast<MciMsf>(frames % kFramesPerSecond);
    return minutes | (seconds << 8) | (rest << 16);
}

bool ParseToc(CDinfo* info, const std::uint8_t* reply, int size)
{
    // A record read again holds only what this reply gives.
    info->tracks.clear();
    info->trackCount = 0;
    info->totalFrames = 0;
    TocView toc;
    if (!CheckToc(reply, size, &toc)) return false;
    for (int i = 0; i < toc.last; ++i) {
        auto track = std::make_unique<TTrackRecord>();
        track->number = i + 1;
        track->start = FramesToMciMsf(toc.Frames(i));
        track->length = FramesToMciMsf(toc.Frames(i + 1) - toc.Frames(i));
        track->audio = (toc.Control(i) & 0x04) == 0 ? 1 : 0;
        info->tracks.push_back(std::move(track));
    }
    info->trackCount = toc.last;
    info->totalFrames = toc.Frames(toc.last);
    return true;
}

bool DiscIdFromToc(const std::uint8_t* reply, int size, std::uint32_t* discId, QString* query)
{
    TocView toc;
    if (!CheckToc(reply, size, &toc)) return false;
    const int n = toc.last;
    int sum = 0;
    for (int i = 0; i < n; ++i) sum += DigitSum(toc.WholeSeconds(i));
    const int length = toc.WholeSeconds(n) - toc.WholeSeconds(0);
    const std::uint32_t id = (static_cast<std::uint32_t>(sum % 255) << 24) |
                             (static_cast<std::uint32_t>(length) << 8) | static_cast<std::uint32_t>(n);
    QString text = QString::asprintf("cddb+query+%08x+%d", id, n);
    for (int i = 0; i < n; ++i) text += QString::asprintf("+%d", toc.Frames(i));
    text += QString::asprintf("+%d", toc.WholeSeconds(n));
    // The command buffer holds 2,047 characters and its terminating zero.
    text.truncate(2047);
    *discId = id;
    *query = text;
    return true;
}

int ParseCdText(CDinfo* info, int textBlock, const std::uint8_t* reply, int size)
{
    ClearTexts(info);
    if (textBlock < 0 || textBlock > 7) return 0;
    const int bytes = ReplyBytes(reply, size);
    // Whole packs only: a pack cut off by the end of the reply is not read.
    const int packs = bytes < kTocHeader ? 0 : (bytes - kTocHeader) / kPackSize;
    auto pack = [&](int i) { return reply + kTocHeader + i * kPackSize; };

    // The blocks before the one wanted: each runs while its sequence numbers
    // count up from 0.
    int p = 0;
    for (int block = 0; block < textBlock; ++block)
        for (int seq = 0; seq <= 255 && p < packs && pack(p)[2] == seq; ++seq) ++p;
    const int begin = p;
    int end = p;
    for (int seq = 0; seq <= 254 && end < packs && pack(end)[2] == seq; ++seq) ++end;
    auto inBlock = [&](const std::uint8_t* pk) { return ((pk[3] >> 4) & 0x07) == textBlock; };

    // The block's character code is the first text byte of its first
    // size-information pack; it tells single-byte from double-byte text.
    int characterCode = kCdTextIso8859;
    for (int i = begin; i < end; ++i) {
        if (pack(i)[0] == 0x8F && inBlock(pack(i))) {
            characterCode = pack(i)[4];
            break;
        }
    }
    const bool doubleByte = characterCode == kCdTextMsJis;
    const int step = doubleByte ? 2 : 1;
    const int limit = doubleByte ? kMaxItemBytes - 1 : kMaxItemBytes;

    QByteArray collector;
    int collectorType = -1;
    int sizeInfoPacks = 0;
    for (int i = begin; i < end; ++i) {
        const std::uint8_t* pk = pack(i);
        if (!inBlock(pk)) continue;
        const int type = pk[0];
        const std::uint8_t* text = pk + 4;
        if (type >= 0x80 && type <= 0x85) {
            // An item does not run on into the packs of another type.
            if (type != collectorType) collector.clear();
            collectorType = type;
            int track = pk[1];
            for (int j = 0; j < kPackText; j += step) {
                const bool terminator = doubleByte ? (text[j] == 0 && text[j + 1] == 0) : text[j] == 0;
                if (!terminator) {
                    for (int k = 0; k < step; ++k)
                        if (text[j + k] != 0 && collector.size() + step - k <= limit)
                            collector.append(static_cast<char>(text[j + k]));
                    continue;
                }
                // Every terminator ends an item, an empty one too: a track
                // without this text must not take the next track's.
                StoreItem(info, type, track, collector, characterCode);
                ++track;
                collector.clear();
            }
        } else if (type == 0x8F) {
            if (++sizeInfoPacks == 3) {
                for (int b = 0; b < 8; ++b) {
                    info->languages[b] = text[4 + b];
                    if (text[4 + b] != 0) ++info->languageCount;
                }
            }
        }
    }
    return info->languageCount != 0 ? 1 : 0;
}

int CASPI::ReadTocSpti(CDinfo* info, const QString& device)
{
    std::uint8_t buffer[kTocReplySize];
    int transferred = 0;
    if (!ReadToc(device, buffer, &transferred)) {
        ParseToc(info, nullptr, 0);
        return 0;
    }
    return ParseToc(info, buffer, transferred) ? 1 : 0;
}

int CASPI::ReadCdTextSpti(CDinfo* info, const QString& device)
{
    static const std::uint8_t cdb[10] = {0x43, 0x02, 0x05, 0, 0, 0, 0, 0x13, 0x88, 0};
    textBuffer.assign(kCdTextReplySize, 0);
    int transferred = 0;
    if (!ExecCommand(device, cdrom::Access::Read, true, cdb, sizeof cdb, textBuffer.data(), kCdTextReplySize,
                     &transferred))
        transferred = 0;
    return ParseCdText(info, textBlock, textBuffer.data(), transferred);
}

int CASPI::GetDiscIdSpti(const QString& device, std::uint32_t* discId, QString* query)
{
    std::uint8_t buffer[kTocReplySize];
    int transferred = 0;
    if (!ReadToc(device, buffer, &transferred)) return 0;
    return DiscIdFromToc(buffer, transferred, discId, query) ? 1 : 0;
}

int CASPI::SetCDSpeed(const QString& device, int speed)
{
    // -1 and anything the field cannot hold ask for the drive's maximum.
    const int value = speed < 0 || speed > 0xFFFF ? 0xFFFF : speed;
    const std::uint8_t cdb[12] = {0xBB, 0, static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value),
                                  0xFF, 0xFF, 0, 0, 0, 0, 0, 0};
    int transferred = 0;
    return ExecCommand(device, cdrom::Access::Write, false, cdb, sizeof cdb, nullptr, 0, &transferred) ? 1 : 0;
}

int CASPI::SendCdbAD(const QString& device)
{
    static const std::uint8_t cdb[12] = {0xAD, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    int transferred = 0;
    return ExecCommand(device, cdrom::Access::Read, false, cdb, sizeof cdb, nullptr, 0, &transferred) ? 1 : 0;
}

int GetWindowsFamily() { return 4; }

bool TDriveSpeedLimit::Apply(const QString& drive, std::uint32_t setting, bool audioCd)
{
    if ((setting & kLimitFlag) == 0 || drive.isEmpty()) return false;
    // A drive slowed earlier is not left behind slowed.
    if (!changed_.isEmpty() && changed_ != drive) Restore(setting);
    CASPI aspi;
    int factor;
    int unit;
    if (aspi.SendCdbAD(drive)) {
        factor = static_cast<int>(setting & 0xFF);
        unit = kDvdUnit;
    } else {
        factor = static_cast<int>((setting >> (audioCd ? 16 : 8)) & 0xFF);
        unit = kCdUnit;
    }
    if (factor == 0) return false;
    if (!aspi.SetCDSpeed(drive, factor * unit)) return false;
    changed_ = drive;
    return true;
}

void TDriveSpeedLimit::Restore(std::uint32_t setting)
{
    if (changed_.isEmpty()) return;
    if (setting & kRestoreFlag) CASPI().SetCDSpeed(changed_, -1);
    changed_.clear();
}
