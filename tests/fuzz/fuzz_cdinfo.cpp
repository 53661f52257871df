// The TOC and CD-TEXT parses over a drive's reply. The first byte chooses
// the CD-TEXT block (low 3 bits); the rest is the reply, parsed as a TOC, as
// the disc identifier's TOC and as CD-TEXT over the tracks that TOC gave (or
// over 99 tracks when it gave none).
#include "units/Cdinfo.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 65536) return 0;
    const int block = data[0] & 0x07;
    // A copy of exactly the reply's length, so a read past it is caught.
    const std::vector<uint8_t> reply(data + 1, data + size);
    const int n = static_cast<int>(reply.size());
    CDinfo info;
    if (!ParseToc(&info, reply.data(), n)) {
        std::vector<uint8_t> toc = {0, 0, 1, 99};
        for (int i = 0; i <= 99; ++i) {
            const int frames = 150 + i * 1000;
            toc.insert(toc.end(), {0, 0x10, static_cast<uint8_t>(i == 99 ? 0xAA : i + 1), 0, 0,
                                   static_cast<uint8_t>(frames / 4500), static_cast<uint8_t>(frames / 75 % 60),
                                   static_cast<uint8_t>(frames % 75)});
        }
        toc[0] = static_cast<uint8_t>((toc.size() - 2) >> 8);
        toc[1] = static_cast<uint8_t>(toc.size() - 2);
        ParseToc(&info, toc.data(), static_cast<int>(toc.size()));
    }
    std::uint32_t id = 0;
    QString query;
    DiscIdFromToc(reply.data(), n, &id, &query);
    ParseCdText(&info, block, reply.data(), n);
    return 0;
}
