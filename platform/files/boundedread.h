// Reading a file whole up to a limit. QIODevice::read(n) sets n bytes aside
// before it reads, so a generous limit would cost its whole size on every
// read of a small file; here the memory grows with what the file holds, and
// a file without end (a device, a FIFO) stops at the limit.
#pragma once

#include <QByteArray>
#include <QIODevice>

#include <algorithm>

namespace files {

// Reads from `device` until its end, or until more than `limit` bytes came:
// then limit + 1 bytes, so that callers tell a file beyond the limit by size().
inline QByteArray ReadAtMost(QIODevice& device, qint64 limit)
{
    constexpr qint64 kChunk = 64 * 1024;
    QByteArray out;
    while (out.size() <= limit) {
        const qsizetype had = out.size();
        const qint64 want = std::min<qint64>(kChunk, limit + 1 - had);
        out.resize(had + static_cast<qsizetype>(want));
        const qint64 got = device.read(out.data() + had, want);
        out.resize(had + static_cast<qsizetype>(std::max<qint64>(got, 0)));
        if (got <= 0) break;
    }
    return out;
}

}  // namespace files
