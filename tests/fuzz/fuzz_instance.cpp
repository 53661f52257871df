// The single-instance socket's records as the window's side takes them:
// bytes arriving in pieces of any size give the records that were sent, in
// order and whole, or break the stream on a header no command line needs;
// nothing is taken twice and nothing is lost.
#include "platform/instance/instance.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    // The first byte sets the pieces' size, the rest is the stream.
    const int piece = data[0] % 64 + 1;
    const QByteArray stream(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    instance::RecordReader reader;
    QByteArray taken;
    for (qsizetype at = 0; at < stream.size(); at += piece) {
        reader.Append(stream.mid(at, piece));
        for (;;) {
            std::intptr_t dwData = 0;
            QByteArray record;
            const instance::RecordReader::Result next = reader.Next(&dwData, &record);
            if (next != instance::RecordReader::Result::Record) break;
            if (record.size() > 64 * 1024 * 1024) std::abort();
            taken += instance::EncodeRecord(dwData, record);
            // The argument as the window reads it: up to the first zero.
            const qsizetype zero = record.indexOf('\0');
            (void)QString::fromUtf8(record.constData(), zero < 0 ? record.size() : zero);
        }
    }
    // The records taken are the stream's beginning, and what is left is less
    // than a record (or the stream broke on a header).
    if (!stream.startsWith(taken)) std::abort();
    const qsizetype left = stream.size() - taken.size();
    if (!reader.Broken() && left >= 12) {
        const auto* header = reinterpret_cast<const unsigned char*>(stream.constData() + taken.size());
        const std::uint32_t length = header[8] | header[9] << 8 | header[10] << 16 | std::uint32_t(header[11]) << 24;
        if (left >= 12 + static_cast<qsizetype>(length)) std::abort();
    }
    return 0;
}
