// ID3v2 / ID3v1 tag reader and MP3 duration walk.
#include "Ctag.h"

#include "common/Cstrings.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>

namespace {

// ---------------------------------------------------------------------------
// File access: reads at given offsets through a window of the file, never
// outside the file.

class TagFile {
public:
    bool Open(const QString& path)
    {
        file_.setFileName(path);
        if (!file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return false;
        size_ = file_.size();
        return true;
    }
    qint64 Size() const { return size_; }

    // Copies n bytes at pos; false when the file does not hold them.
    bool Read(qint64 pos, unsigned char* out, int n)
    {
        if (pos < 0 || n < 0 || pos > size_ - n) return false;
        if (pos < windowStart_ || pos + n > windowStart_ + window_.size()) {
            if (!file_.seek(pos)) return false;
            window_ = file_.read(kWindow);
            windowStart_ = pos;
            if (window_.size() < n) return false;
        }
        std::memcpy(out, window_.constData() + (pos - windowStart_), static_cast<size_t>(n));
        return true;
    }

    // Up to n bytes at pos (fewer at the end of the file).
    QByteArray ReadBlock(qint64 pos, qint64 n)
    {
        if (pos < 0 || pos >= size_ || n <= 0) return QByteArray();
        n = std::min(n, size_ - pos);
        if (!file_.seek(pos)) return QByteArray();
        return file_.read(n);
    }

private:
    static constexpr qint64 kWindow = 64 * 1024;
    QFile file_;
    qint64 size_ = 0;
    QByteArray window_;
    qint64 windowStart_ = 0;
};

quint32 SyncSafe(const unsigned char* p, int n)
{
    quint32 v = 0;
    for (int i = 0; i < n; ++i) v = (v << 7) | (p[i] & 0x7F);
    return v;
}

quint32 BigEndian(const unsigned char* p, int n)
{
    quint32 v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}

// Removes every 0x00 that directly follows 0xFF.
QByteArray RemoveUnsynchronisation(const char* data, qsizetype size)
{
    QByteArray out;
    out.reserve(size);
    for (qsizetype i = 0; i < size; ++i) {
        out.append(data[i]);
        if (static_cast<unsigned char>(data[i]) == 0xFF && i + 1 < size && data[i + 1] == 0) ++i;
    }
    return out;
}

QString DecodeUtf16(const unsigned char* p, qsizetype n, bool bigEndian)
{
    n &= ~qsizetype(1);   // an odd last byte is dropped
    QString s;
    s.reserve(n / 2);
    for (qsizetype i = 0; i + 1 < n; i += 2) {
        const char16_t unit = bigEndian ? char16_t((p[i] << 8) | p[i + 1]) : char16_t((p[i + 1] << 8) | p[i]);
        if (unit == 0) break;
        s.append(QChar(unit));
    }
    return s;
}

// Text of a text frame's content: the first byte names the encoding.
QString DecodeTextFrame(const unsigned char* p, qsizetype n)
{
    if (n < 1) return QString();
    const unsigned char encoding = p[0];
    ++p;
    --n;
    switch (encoding) {
    case 1: {
        bool bigEndian = false;
        if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
            p += 2;
            n -= 2;
        } else if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) {
            bigEndian = true;
            p += 2;
            n -= 2;
        }
        return DecodeUtf16(p, n, bigEndian);
    }
    case 2:
        return DecodeUtf16(p, n, true);
    case 3: {
        const auto* end = static_cast<const unsigned char*>(std::memchr(p, 0, static_cast<size_t>(n)));
        return QString::fromUtf8(reinterpret_cast<const char*>(p), end ? end - p : n);
    }
    default: {
        const auto* end = static_cast<const unsigned char*>(std::memchr(p, 0, static_cast<size_t>(n)));
        return DecodeLegacyText(QByteArray(reinterpret_cast<const char*>(p), end ? end - p : n));
    }
    }
}

bool IsFrameIdChar(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// Whether a frame ending at next leaves the walk at a sensible place: the end
// of the body, its zero padding (zeroTail is where the body's trailing run of
// zeros begins), or a 2.4 frame header with a valid identifier and a size
// that fits the body by its smaller reading. The size check keeps text such
// as "TTTT..." inside a frame from passing for a header.
bool NextFrameLinesUp(const unsigned char* data, qsizetype end, qsizetype zeroTail, qsizetype next)
{
    if (next == end || next >= zeroTail) return next <= end;
    if (end - next < 10) return false;
    const unsigned char* h = data + next;
    for (int i = 0; i < 4; ++i) {
        if (!IsFrameIdChar(h[i])) return false;
    }
    const bool plainOnly = (h[4] | h[5] | h[6] | h[7]) & 0x80;
    const qsizetype least = qsizetype(plainOnly ? BigEndian(h + 4, 4) : SyncSafe(h + 4, 4));
    return least <= end - next - 10;
}

// A 2.4 frame's size. The standard stores it syncsafe, but a common writer
// fault stores a plain big-endian number. A byte with its top bit set can
// only be plain; otherwise, when the two readings differ (128 bytes and
// more), the one after which the next frame header lines up is taken, the
// syncsafe one first, and the syncsafe one when neither does.
qsizetype Frame24Size(const unsigned char* data, qsizetype pos, qsizetype end, qsizetype zeroTail)
{
    const unsigned char* s = data + pos + 4;
    if ((s[0] | s[1] | s[2] | s[3]) & 0x80) return qsizetype(BigEndian(s, 4));
    const qsizetype syncSafe = qsizetype(SyncSafe(s, 4));
    const qsizetype plain = qsizetype(BigEndian(s, 4));
    if (syncSafe == plain) return syncSafe;
    const qsizetype room = end - pos - 10;   // the caller ensures a whole header
    if (syncSafe <= room && NextFrameLinesUp(data, end, zeroTail, pos + 10 + syncSafe)) return syncSafe;
    if (plain <= room && NextFrameLinesUp(data, end, zeroTail, pos + 10 + plain)) return plain;
    return syncSafe;
}

// Walks the frames of an ID3v2 tag body and fills title, artist and album.
void ReadId3v2Frames(QByteArray body, int major, unsigned char flags, TAG_STRINGS* tag)
{
    // Versions 2.2 and 2.3 unsynchronise the whole tag; 2.4 marks it per frame.
    if ((flags & 0x80) && major < 4) body = RemoveUnsynchronisation(body.constData(), body.size());

    const auto* data = reinterpret_cast<const unsigned char*>(body.constData());
    const qsizetype end = body.size();
    qsizetype pos = 0;

    if (flags & 0x40) {
        if (major == 2) return;   // 2.2: the tag is compressed; nothing can be read
        if (end < 4) return;
        if (major == 3) {
            pos = 4 + qsizetype(BigEndian(data, 4));   // size excludes itself
        } else {
            pos = qsizetype(SyncSafe(data, 4));        // size includes itself
        }
        if (pos < 0 || pos > end) return;
    }

    qsizetype zeroTail = end;
    while (zeroTail > pos && data[zeroTail - 1] == 0) --zeroTail;

    const int idLength = major == 2 ? 3 : 4;
    const int headerLength = major == 2 ? 6 : 10;
    static const char* const kWanted22[3] = {"TT2", "TP1", "TAL"};
    static const char* const kWanted[3] = {"TIT2", "TPE1", "TALB"};
    const char* const* wanted = major == 2 ? kWanted22 : kWanted;
    QString* targets[3] = {&tag->title, &tag->artist, &tag->album};
    bool seen[3] = {false, false, false};
    int seenCount = 0;

    while (end - pos >= headerLength && seenCount < 3) {
        const unsigned char* h = data + pos;
        if (h[0] == 0) break;   // padding
        bool validId = true;
        for (int i = 0; i < idLength; ++i) validId = validId && IsFrameIdChar(h[i]);
        if (!validId) break;

        qsizetype size;
        unsigned char formatFlags = 0;
        if (major == 2) {
            size = qsizetype(BigEndian(h + 3, 3));
        } else if (major == 3) {
            size = qsizetype(BigEndian(h + 4, 4));
            formatFlags = h[9];
        } else {
            size = Frame24Size(data, pos, end, zeroTail);
            formatFlags = h[9];
        }
        if (size > end - pos - headerLength) break;   // a frame larger than the tag ends the walk

        int which = -1;
        for (int i = 0; i < 3; ++i) {
            if (std::memcmp(h, wanted[i], static_cast<size_t>(idLength)) == 0) which = i;
        }
        if (which >= 0 && size > 0 && !seen[which]) {
            seen[which] = true;
            ++seenCount;
            const unsigned char* content = h + headerLength;
            qsizetype contentSize = size;
            bool readable = true;
            bool unsync = false;
            if (major == 3) {
                if (formatFlags & 0xC0) readable = false;   // compressed or encrypted
                if (formatFlags & 0x20) {                   // group identifier byte
                    content += 1;
                    contentSize -= 1;
                }
            } else if (major == 4) {
                if (formatFlags & 0x0C) readable = false;   // compressed or encrypted
                if (formatFlags & 0x40) {                   // group identifier byte
                    content += 1;
                    contentSize -= 1;
                }
                if (formatFlags & 0x01) {                   // data length indicator
                    content += 4;
                    contentSize -= 4;
                }
                unsync = (formatFlags & 0x02) || (flags & 0x80);
            }
            if (readable && contentSize > 0) {
                if (unsync) {
                    const QByteArray plain = RemoveUnsynchronisation(reinterpret_cast<const char*>(content), contentSize);
                    *targets[which] = DecodeTextFrame(reinterpret_cast<const unsigned char*>(plain.constData()), plain.size());
                } else {
                    *targets[which] = DecodeTextFrame(content, contentSize);
                }
            }
        }
        pos += headerLength + size;
    }
}

// Cut at the first zero, trailing blanks removed.
QString Id3v1Field(const unsigned char* p, int n)
{
    int length = 0;
    while (length < n && p[length] != 0) ++length;
    while (length > 0 && p[length - 1] == ' ') --length;
    return DecodeLegacyText(QByteArray(reinterpret_cast<const char*>(p), length));
}

bool ReadId3v1(TagFile& file, TAG_STRINGS* tag)
{
    unsigned char block[128];
    if (!file.Read(file.Size() - 128, block, 128)) return false;
    if (std::memcmp(block, "TAG", 3) != 0) return false;
    tag->title = Id3v1Field(block + 3, 30);
    tag->artist = Id3v1Field(block + 33, 30);
    tag->album = Id3v1Field(block + 63, 30);
    return true;
}

// ---------------------------------------------------------------------------
// Duration walk

constexpr int kBitrates[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},   // MPEG 1 Layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},      // MPEG 1 Layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},       // MPEG 1 Layer III
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},      // MPEG 2/2.5 Layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},           // MPEG 2/2.5 Layer II, III
};

constexpr int kRates[4][3] = {
    {11025, 12000, 8000},    // MPEG 2.5
    {0, 0, 0},               // reserved
    {22050, 24000, 16000},   // MPEG 2
    {44100, 48000, 32000},   // MPEG 1
};

constexpr int kMaxSyncSearch = 10000;

int MeasureDuration(TagFile& file, qint64 start)
{
    int version = -1;   // fixed by the first frame
    int layer = -1;
    int rate = 0;
    double total = 0.0;
    bool found = false;
    int misses = 0;
    qint64 pos = start;
    unsigned char h[4];

    while (file.Read(pos, h, 4)) {
        const int v = (h[1] >> 3) & 3;
        const int l = (h[1] >> 1) & 3;
        const int bitrateIndex = h[2] >> 4;
        const int rateIndex = (h[2] >> 2) & 3;
        // A header needs the sync bits and a usable description; anything
        // else (reserved values, free format, another version or layer than
        // the first frame's) is taken as data and the search goes on.
        bool header = h[0] == 0xFF && (h[1] & 0xE0) == 0xE0 && v != 1 && l != 0 && bitrateIndex != 0 &&
                      bitrateIndex != 15;
        if (header && version >= 0 && (v != version || l != layer)) header = false;
        if (header && version < 0 && rateIndex == 3) header = false;
        if (!header) {
            if (++misses > kMaxSyncSearch) break;
            ++pos;
            continue;
        }
        misses = 0;
        if (version < 0) {
            version = v;
            layer = l;
        }
        if (rateIndex != 3) rate = kRates[version][rateIndex];
        const bool mpeg1 = version == 3;
        int row;
        if (layer == 3) row = mpeg1 ? 0 : 3;        // Layer I
        else if (layer == 2) row = mpeg1 ? 1 : 4;   // Layer II
        else row = mpeg1 ? 2 : 4;                   // Layer III
        const int bitrate = kBitrates[row][bitrateIndex];
        const int padding = (h[2] >> 1) & 1;
        qint64 length;
        if (layer == 3) length = (qint64(12000) * bitrate / rate + padding) * 4;
        else if (layer == 1 && !mpeg1) length = qint64(72000) * bitrate / rate + padding;   // 576 samples a frame
        else length = qint64(144000) * bitrate / rate + padding;
        total += double(length) * 8.0 / (double(bitrate) * 1000.0);
        found = true;
        pos += std::max<qint64>(length, 4);
    }
    return found ? static_cast<int>(std::lround(total)) : 0;
}

}  // namespace

// ---------------------------------------------------------------------------

namespace {
constexpr qint64 kMaxTagRead = 16 * 1024 * 1024;
}  // namespace

CMP3Info::CMP3Info(bool readDuration) : readDuration(readDuration) {}

bool CMP3Info::ReadTag(const QString& path, bool allowId3v2)
{
    tag = TAG_STRINGS();
    duration = 0;
    TagFile file;
    if (!file.Open(path)) return false;
    if (!allowId3v2 && !readDuration) return ReadId3v1(file, &tag);

    bool found = false;
    qint64 audioStart = 0;
    unsigned char h[10];
    if (file.Read(0, h, 10) && std::memcmp(h, "ID3", 3) == 0) {
        const int versionWord = h[3] * 256 + h[4];
        const quint32 size = SyncSafe(h + 6, 4);
        if (versionWord >= 0x200 && versionWord <= 0x400 && size > 0) {
            // The audio starts after the header, the body and a 2.4 footer.
            audioStart = 10 + qint64(size) + ((h[3] == 4 && (h[5] & 0x10)) ? 10 : 0);
            if (allowId3v2) {
                try {
                    // Title, artist and album stand near the start; a tag that
                    // claims more than this is read up to it, not allocated whole.
                    const QByteArray body = file.ReadBlock(10, std::min<qint64>(size, kMaxTagRead));
                    found = true;
                    ReadId3v2Frames(body, h[3], h[5], &tag);
                } catch (const std::bad_alloc&) {
                    found = false;
                    tag = TAG_STRINGS();
                }
            }
        }
    }
    if (!found) found = ReadId3v1(file, &tag);
    if (readDuration) duration = MeasureDuration(file, audioStart);
    return found;
}
