// The ID3 tag reader and the duration walk over a file made of the input,
// kept in memory (memfd) and opened by its /proc path.
#include "common/Cstrings.h"
#include "units/Ctag.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const int fd = memfd_create("tag", 0);
    if (fd < 0) return 0;
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    for (const bool id3v2 : {true, false}) {
        CMP3Info info(id3v2);
        info.ReadTag(QString::fromLatin1(path), id3v2);
    }
    DecodeLegacyText(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    return 0;
}
