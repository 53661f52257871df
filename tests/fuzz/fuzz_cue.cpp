// The cue-sheet reader: the input as a sheet, laid out over files of sizes
// taken from its own bytes, and its CD-TEXT; and the input as the head of a
// WAVE file.
#include "platform/cdrom/cuesheet.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 2 * cdrom::kMaxSheetBytes) return 0;
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    cdrom::FileExtent wave;
    cdrom::WaveExtent(input, static_cast<std::int64_t>(size) + (size > 0 ? data[0] : 0) * 1000, &wave);
    cdrom::CueSheet sheet;
    if (!cdrom::ParseCueSheet(input, &sheet)) return 0;
    std::vector<cdrom::FileExtent> files;
    for (size_t i = 0; i < sheet.files.size(); ++i) {
        // Sizes from a few minutes down to a part of one frame, and an odd offset now and then.
        const std::uint8_t b = size > 0 ? data[i % size] : 0;
        files.push_back({b & 1 ? 44 : 0, std::int64_t{b} * 75 * cdrom::kBytesPerFrame + (b & 0x0F) * 7});
    }
    cdrom::DiscLayout layout;
    if (cdrom::LayOutDisc(sheet, files, &layout)) {
        int last = 0;
        for (const cdrom::DiscTrack& t : layout.tracks) {
            if (t.start <= last || t.start >= layout.leadOut) __builtin_trap();
            last = t.start;
        }
    }
    const std::vector<std::uint8_t> packs = cdrom::CueCdTextPacks(sheet);
    if (packs.size() % 18 != 0 || packs.size() > 255 * 18) __builtin_trap();
    return 0;
}
