// The cue-sheet reader, the disc layout and the disc's sound.
#include "platform/cdrom/cuesheet.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace cdrom {

namespace {

constexpr int kMaxTracks = 99;
constexpr int kFramesPerSecond = 75;
// The TOC holds minutes in one byte.
constexpr std::int64_t kMaxDiscFrames = 255LL * 60 * kFramesPerSecond;
constexpr int kMaxItemBytes = 255;
constexpr int kPackText = 12;
// A block holds at most 255 packs, three of which give its sizes.
constexpr int kMaxTextPacks = 252;

// The line cut into words; a quoted word keeps its blanks.
std::vector<QByteArray> Words(const QByteArray& line)
{
    std::vector<QByteArray> words;
    int i = 0;
    const int n = static_cast<int>(line.size());
    while (i < n) {
        while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= n) break;
        int begin = i;
        if (line[i] == '"') {
            const int close = static_cast<int>(line.indexOf('"', i + 1));
            const int end = close < 0 ? n : close;
            words.push_back(line.mid(begin + 1, end - begin - 1));
            i = end + 1;
        } else {
            while (i < n && line[i] != ' ' && line[i] != '\t') ++i;
            words.push_back(line.mid(begin, i - begin));
        }
    }
    return words;
}

// The rest of a line after its keyword, quotes removed: names and texts may
// be written without quotes and still hold blanks.
QByteArray Rest(const QByteArray& line, int keywordLength)
{
    QByteArray rest = line.mid(keywordLength).trimmed();
    if (rest.size() >= 2 && rest.startsWith('"')) {
        const qsizetype close = rest.indexOf('"', 1);
        return close < 0 ? rest.mid(1) : rest.mid(1, close - 1);
    }
    return rest;
}

// mm:ss:ff in frames, or -1.
int Msf(const QByteArray& word)
{
    const QList<QByteArray> parts = word.split(':');
    if (parts.size() != 3) return -1;
    int value[3];
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        value[i] = parts[i].toInt(&ok);
        if (!ok || value[i] < 0 || parts[i].size() > 3) return -1;
    }
    if (value[1] > 59 || value[2] >= kFramesPerSecond) return -1;
    return (value[0] * 60 + value[1]) * kFramesPerSecond + value[2];
}

int SectorSizeOf(const QByteArray& mode)
{
    if (mode == "AUDIO" || mode == "MODE1/2352" || mode == "MODE2/2352") return kBytesPerFrame;
    if (mode == "MODE1/2048" || mode == "MODE2/2048") return 2048;
    if (mode == "MODE2/2324") return 2324;
    if (mode == "MODE2/2336" || mode == "CDI/2336") return 2336;
    if (mode == "CDG") return 2448;
    if (mode == "CDI/2352") return kBytesPerFrame;
    return 0;
}

void AppendPiece(DiscLayout* layout, int file, std::int64_t offset, std::int64_t frames)
{
    if (frames <= 0) return;
    if (!layout->pieces.empty()) {
        DiscPiece& last = layout->pieces.back();
        // Silence next to silence, or sound that runs on in the same file, is one piece.
        if (last.file == file && (file < 0 || last.offset + std::int64_t{last.frames} * kBytesPerFrame == offset)) {
            last.frames += static_cast<int>(frames);
            return;
        }
    }
    layout->pieces.push_back({file, offset, static_cast<int>(frames)});
}

std::uint16_t Crc16(const std::uint8_t* data, int size)
{
    std::uint16_t crc = 0;
    for (int i = 0; i < size; ++i) {
        crc ^= static_cast<std::uint16_t>(data[i] << 8);
        for (int b = 0; b < 8; ++b) crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return static_cast<std::uint16_t>(~crc);
}

// UTF-8 text as CP932 (the MS-JIS of Japanese CD-TEXT); a character it
// lacks becomes "?".
QByteArray Cp932Of(const QByteArray& utf8)
{
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return QString::fromUtf8(utf8).toLatin1();
    QByteArray out;
    char* in = const_cast<char*>(utf8.constData());
    size_t inLeft = static_cast<size_t>(utf8.size());
    char buffer[256];
    while (inLeft > 0) {
        char* o = buffer;
        size_t oLeft = sizeof(buffer);
        const size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buffer, static_cast<qsizetype>(sizeof(buffer) - oLeft));
        if (r != static_cast<size_t>(-1) || errno == E2BIG) continue;
        out.append('?');
        // Past the whole character it could not take.
        do {
            ++in;
            --inLeft;
        } while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80);
    }
    iconv_close(cd);
    return out;
}

}  // namespace

bool ParseCueSheet(const QByteArray& text, CueSheet* sheet)
{
    *sheet = {};
    if (text.size() > kMaxSheetBytes) return false;
    QByteArray body = text;
    if (body.startsWith("\xEF\xBB\xBF")) body.remove(0, 3);
    for (QByteArray line : body.split('\n')) {
        line = line.trimmed();
        const std::vector<QByteArray> words = Words(line);
        if (words.empty()) continue;
        const QByteArray keyword = words[0].toUpper();
        CueTrack* track = sheet->tracks.empty() ? nullptr : &sheet->tracks.back();
        if (keyword == "FILE") {
            // The type is the last word; the name is everything between.
            if (words.size() < 3 || static_cast<int>(sheet->files.size()) >= kMaxTracks) return false;
            const QByteArray type = words.back().toUpper();
            if (type != "BINARY" && type != "WAVE") return false;
            QByteArray name = line.mid(4, line.lastIndexOf(words.back()) - 4).trimmed();
            if (name.size() >= 2 && name.startsWith('"') && name.endsWith('"')) name = name.mid(1, name.size() - 2);
            if (name.isEmpty()) return false;
            sheet->files.push_back({name, type == "WAVE"});
        } else if (keyword == "TRACK") {
            if (words.size() < 3 || sheet->files.empty() || static_cast<int>(sheet->tracks.size()) >= kMaxTracks)
                return false;
            bool ok = false;
            const int number = words[1].toInt(&ok);
            const int sectorSize = SectorSizeOf(words[2].toUpper());
            if (!ok || number < 1 || number > kMaxTracks || sectorSize == 0) return false;
            if (track && (track->index1 < 0 || number != track->number + 1)) return false;
            CueTrack next;
            next.number = number;
            next.audio = words[2].toUpper() == "AUDIO";
            next.sectorSize = sectorSize;
            next.file = static_cast<int>(sheet->files.size()) - 1;
            sheet->tracks.push_back(next);
        } else if (keyword == "INDEX") {
            if (!track || words.size() < 3) return false;
            bool ok = false;
            const int index = words[1].toInt(&ok);
            const int at = Msf(words[2]);
            if (!ok || at < 0) return false;
            // INDEX 00 may lie at the end of one file and INDEX 01 at the
            // start of the next (gaps kept with the track before).
            const int file = static_cast<int>(sheet->files.size()) - 1;
            if (index == 0) {
                if (track->index0 >= 0 || track->index1 >= 0) return false;
                track->index0 = at;
                track->file0 = file;
            } else if (index == 1) {
                if (track->index1 >= 0 || (track->index0 >= 0 && file == track->file0 && at < track->index0))
                    return false;
                track->index1 = at;
                track->file = file;
            } else if (track->index1 < 0) {
                return false;   // later indexes only follow INDEX 01
            }
        } else if (keyword == "PREGAP" || keyword == "POSTGAP") {
            const int frames = words.size() >= 2 ? Msf(words[1]) : -1;
            if (!track || frames < 0) return false;
            (keyword == "PREGAP" ? track->pregap : track->postgap) = frames;
        } else if (keyword == "TITLE" || keyword == "PERFORMER") {
            QByteArray value = Rest(line, static_cast<int>(keyword.size())).left(kMaxItemBytes);
            if (track)
                (keyword == "TITLE" ? track->title : track->performer) = value;
            else
                (keyword == "TITLE" ? sheet->title : sheet->performer) = value;
        } else if (keyword == "CDTEXTFILE") {
            sheet->cdTextFile = Rest(line, 10);
        }
        // REM, CATALOG, FLAGS, ISRC, SONGWRITER and the like say nothing of the layout.
    }
    return !sheet->tracks.empty() && sheet->tracks.back().index1 >= 0;
}

bool LayOutDisc(const CueSheet& sheet, const std::vector<FileExtent>& files, DiscLayout* layout)
{
    *layout = {};
    if (files.size() != sheet.files.size() || sheet.tracks.empty()) return false;
    // The sheet's index points in order: where a track begins (its pre-gap
    // in the file, or its start) and where it starts.
    struct Point {
        const CueTrack* track;
        int file;
        int frame;
        bool begins, starts;
    };
    std::vector<Point> points;
    for (const CueTrack& t : sheet.tracks) {
        if (t.index0 >= 0) points.push_back({&t, t.file0, t.index0, true, false});
        points.push_back({&t, t.file, t.index1, t.index0 < 0, true});
    }
    std::int64_t position = 0;   // frames from the end of the lead-in
    const CueTrack* current = nullptr;
    int pendingPostgap = 0;
    size_t next = 0;
    for (int f = 0; f < static_cast<int>(files.size()); ++f) {
        const FileExtent& extent = files[static_cast<size_t>(f)];
        std::int64_t fileFrame = 0, byte = 0;
        // The file's sound up to `frame` belongs to the track playing (or,
        // before the first, to the first); its bytes per frame are that track's.
        auto runTo = [&](std::int64_t frame, const CueTrack* owner) {
            const std::int64_t frames = frame - fileFrame;
            if (frames < 0 || frames > kMaxDiscFrames || byte + frames * owner->sectorSize > extent.length) return false;
            AppendPiece(layout, owner->audio ? f : -1, extent.offset + byte, frames);
            position += frames;
            byte += frames * owner->sectorSize;
            fileFrame = frame;
            return position <= kMaxDiscFrames;
        };
        for (; next < points.size() && points[next].file == f; ++next) {
            const Point& p = points[next];
            if (!runTo(p.frame, current ? current : p.track)) return false;
            if (p.begins) {
                AppendPiece(layout, -1, 0, pendingPostgap + p.track->pregap);
                position += pendingPostgap + p.track->pregap;
                pendingPostgap = p.track->postgap;
                current = p.track;
            }
            if (p.starts) layout->tracks.push_back({p.track->number, p.track->audio, static_cast<int>(position) + kLeadInFrames});
        }
        // The rest of the file, in whole frames, is the last track's.
        const CueTrack* owner = current ? current : (next < points.size() ? points[next].track : nullptr);
        if (!owner || !runTo(fileFrame + (extent.length - byte) / owner->sectorSize, owner)) return false;
    }
    AppendPiece(layout, -1, 0, pendingPostgap);
    position += pendingPostgap;
    if (next != points.size() || position > kMaxDiscFrames) return false;
    layout->leadOut = static_cast<int>(position) + kLeadInFrames;
    // Every track must start inside the disc and after the one before.
    for (size_t i = 0; i < layout->tracks.size(); ++i) {
        const int end = i + 1 < layout->tracks.size() ? layout->tracks[i + 1].start : layout->leadOut;
        if (layout->tracks[i].start >= end) return false;
    }
    return true;
}

bool WaveExtent(const QByteArray& head, std::int64_t fileSize, FileExtent* extent)
{
    auto u16 = [&](qsizetype at) {
        return static_cast<int>(static_cast<std::uint8_t>(head[at]) | static_cast<std::uint8_t>(head[at + 1]) << 8);
    };
    auto u32 = [&](qsizetype at) { return static_cast<std::uint32_t>(u16(at)) | static_cast<std::uint32_t>(u16(at + 2)) << 16; };
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE") return false;
    bool format = false;
    std::int64_t at = 12;
    // Chunks are walked within the bytes read; sizes are only compared.
    while (at + 8 <= head.size()) {
        const QByteArray id = head.mid(at, 4);
        const std::int64_t size = u32(at + 4);
        const std::int64_t body = at + 8;
        if (id == "fmt ") {
            if (size < 16 || body + 16 > head.size()) return false;
            int tag = u16(body);
            // WAVE_FORMAT_EXTENSIBLE names its format in the sub-format's first two bytes.
            if (tag == 0xFFFE && size >= 40 && body + 26 <= head.size()) tag = u16(body + 24);
            if (tag != 1 || u16(body + 2) != 2 || u32(body + 4) != 44100 || u16(body + 12) != 4 || u16(body + 14) != 16)
                return false;
            format = true;
        } else if (id == "data") {
            if (!format || body > fileSize) return false;
            extent->offset = body;
            extent->length = std::min(size, fileSize - body);
            return true;
        }
        at = body + size + (size & 1);
    }
    return false;
}

std::unique_ptr<QFile> OpenRegularFile(const QString& path)
{
    // Without O_NONBLOCK the open of a FIFO waits for a writer; the kind is
    // checked on the open descriptor, so a name swapped meanwhile is caught.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return nullptr;
    }
    return file;
}

bool ReadRegularFile(const QString& path, qint64 limit, QByteArray* bytes)
{
    const std::unique_ptr<QFile> file = OpenRegularFile(path);
    if (!file) return false;
    // One byte past the limit tells a file that grew since it was opened.
    *bytes = file->read(limit + 1);
    return bytes->size() <= limit;
}

bool LoadDiscImage(const QString& cueSheet, DiscImage* image)
{
    *image = {};
    QByteArray text;
    if (!ReadRegularFile(cueSheet, kMaxSheetBytes, &text) || !ParseCueSheet(text, &image->sheet)) return false;
    const QDir folder = QFileInfo(cueSheet).absoluteDir();
    auto resolve = [&](const QByteArray& written) {
        QByteArray bytes = written;
        bytes.replace('\\', '/');
        QString name = QString::fromUtf8(bytes);
        if (QStringDecoder utf8(QStringDecoder::Utf8); (void)(QString)utf8(bytes), utf8.hasError())
            name = QFile::decodeName(bytes);
        QString path = QFileInfo(name).isAbsolute() ? name : folder.filePath(name);
        if (QFileInfo::exists(path)) return path;
        // Sheets written elsewhere often differ from the file in letter case only.
        const QFileInfo info(path);
        for (const QString& entry : info.absoluteDir().entryList(QDir::Files))
            if (entry.compare(info.fileName(), Qt::CaseInsensitive) == 0) return info.absoluteDir().filePath(entry);
        return path;
    };
    std::vector<FileExtent> extents;
    for (const CueFile& cue : image->sheet.files) {
        const QString path = resolve(cue.name);
        const std::unique_ptr<QFile> data = OpenRegularFile(path);
        if (!data) return false;
        FileExtent extent{0, data->size()};
        // The format chunk comes first in practice; 4 KiB leave room for others before it.
        if (cue.wave && !WaveExtent(data->read(4096), data->size(), &extent)) return false;
        extents.push_back(extent);
        image->files.push_back(path);
    }
    if (!LayOutDisc(image->sheet, extents, &image->layout)) return false;
    if (!image->sheet.cdTextFile.isEmpty()) {
        image->cdTextFile = resolve(image->sheet.cdTextFile);
        QByteArray packs;
        if (!ReadRegularFile(image->cdTextFile, kMaxCdTextFileBytes, &packs)) return false;
    }
    return std::any_of(image->layout.tracks.begin(), image->layout.tracks.end(),
                       [](const DiscTrack& t) { return t.audio; });
}

std::vector<std::uint8_t> CueCdTextPacks(const CueSheet& sheet)
{
    bool any = !sheet.title.isEmpty() || !sheet.performer.isEmpty();
    bool utf8 = true, latin1 = true;
    std::vector<const QByteArray*> texts[2];   // titles, performers; disc first
    texts[0].push_back(&sheet.title);
    texts[1].push_back(&sheet.performer);
    for (const CueTrack& t : sheet.tracks) {
        texts[0].push_back(&t.title);
        texts[1].push_back(&t.performer);
        any = any || !t.title.isEmpty() || !t.performer.isEmpty();
    }
    if (!any) return {};
    for (const auto& list : texts)
        for (const QByteArray* text : list) {
            QStringDecoder decoder(QStringDecoder::Utf8);
            const QString decoded = decoder(*text);
            utf8 = utf8 && !decoder.hasError();
            latin1 = latin1 && std::all_of(decoded.begin(), decoded.end(), [](QChar c) { return c.unicode() < 0x100; });
        }
    // UTF-8 text that ISO 8859-1 holds goes into a block of single bytes;
    // other UTF-8 text is written as MS-JIS, and a sheet that is no UTF-8 is
    // taken as the MS-JIS of Japanese sheets already.
    const bool singleByte = utf8 && latin1;
    const int characterCode = singleByte ? 0x00 : 0x80;
    const int firstTrack = sheet.tracks.front().number, lastTrack = sheet.tracks.back().number;
    std::vector<std::uint8_t> packs;
    int sequence = 0;
    int counts[16] = {};
    auto pack = [&](int type, int track, int position, const std::uint8_t* text) {
        std::uint8_t p[18] = {static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(track),
                              static_cast<std::uint8_t>(sequence++), static_cast<std::uint8_t>(std::min(position, 15))};
        std::memcpy(p + 4, text, kPackText);
        const std::uint16_t crc = Crc16(p, 16);
        p[16] = static_cast<std::uint8_t>(crc >> 8);
        p[17] = static_cast<std::uint8_t>(crc);
        packs.insert(packs.end(), p, p + 18);
        ++counts[type & 0x0F];
    };
    for (int kind = 0; kind < 2; ++kind) {
        // The items one after another, each with its terminator, and for
        // every byte the track it belongs to and its place in its item.
        std::vector<std::uint8_t> stream;
        std::vector<std::pair<int, int>> owner;
        for (size_t i = 0; i < texts[kind].size(); ++i) {
            QByteArray item = *texts[kind][i];
            if (singleByte)
                item = QString::fromUtf8(item).toLatin1();
            else if (utf8)
                item = Cp932Of(item);
            item.replace('\0', '?');
            // Double-byte items end on a whole pair of zero bytes.
            if (!singleByte && item.size() % 2) item.append('\0');
            item.append(singleByte ? 1 : 2, '\0');
            const int track = i == 0 ? 0 : firstTrack + static_cast<int>(i) - 1;
            for (int b = 0; b < item.size(); ++b) {
                stream.push_back(static_cast<std::uint8_t>(item[b]));
                owner.push_back({track, b});
            }
        }
        // A kind without any text gives no packs.
        if (std::all_of(stream.begin(), stream.end(), [](std::uint8_t b) { return b == 0; })) continue;
        for (size_t at = 0; at < stream.size() && sequence < kMaxTextPacks; at += kPackText) {
            std::uint8_t text[kPackText] = {};
            std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(at), std::min<size_t>(kPackText, stream.size() - at), text);
            pack(0x80 + kind, owner[at].first, owner[at].second, text);
        }
    }
    // Three size-information packs: character code, track range, the count
    // of each pack type, the last sequence number and the language (English).
    std::uint8_t info[36] = {};
    info[0] = static_cast<std::uint8_t>(characterCode);
    info[1] = static_cast<std::uint8_t>(firstTrack);
    info[2] = static_cast<std::uint8_t>(lastTrack);
    counts[0x0F] = 3;
    for (int i = 0; i < 16; ++i) info[4 + i] = static_cast<std::uint8_t>(counts[i]);
    info[20] = static_cast<std::uint8_t>(sequence + 2);
    info[28] = 0x09;
    for (int i = 0; i < 3; ++i) pack(0x8F, i, 0, info + 12 * i);
    return packs;
}

DiscReader::DiscReader(const DiscImage& image) : paths_(image.files), pieces_(image.layout.pieces)
{
    std::int64_t at = 0;
    for (const DiscPiece& p : pieces_) {
        starts_.push_back(at);
        at += std::int64_t{p.frames} * kBytesPerFrame;
    }
    open_.resize(paths_.size());
}

DiscReader::~DiscReader() = default;

bool DiscReader::Read(std::int64_t position, char* out, std::int64_t size)
{
    std::memset(out, 0, static_cast<size_t>(size));
    if (position < 0 || pieces_.empty()) return true;
    size_t i = static_cast<size_t>(std::upper_bound(starts_.begin(), starts_.end(), position) - starts_.begin());
    if (i > 0) --i;
    std::int64_t done = 0;
    for (; i < pieces_.size() && done < size; ++i) {
        const DiscPiece& piece = pieces_[i];
        const std::int64_t into = position + done - starts_[i];
        const std::int64_t available = std::int64_t{piece.frames} * kBytesPerFrame - into;
        if (available <= 0) continue;
        const std::int64_t n = std::min(available, size - done);
        if (piece.file >= 0) {
            std::unique_ptr<QFile>& file = open_[static_cast<size_t>(piece.file)];
            if (!file) {
                file = OpenRegularFile(paths_[static_cast<size_t>(piece.file)]);
                if (!file) return false;
            }
            // A file that ends early (cut after the sheet was read) reads as a failure.
            if (!file->seek(piece.offset + into) || file->read(out + done, n) != n) return false;
        }
        done += n;
    }
    return true;
}

}  // namespace cdrom
