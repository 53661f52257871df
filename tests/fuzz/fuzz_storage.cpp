// Compound files from untrusted bytes: a storage that reads must write and
// read back with the same streams.
#include "platform/storage/storage.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 256 * 1024) return 0;
    storage::Storage read;
    if (storage::Storage::Parse(QByteArray(reinterpret_cast<const char*>(data), int(size)), &read) != S_OK) return 0;
    QByteArray bytes;
    storage::Storage again;
    if (read.Serialize(&bytes) != S_OK) {
        // Names that a compound file may hold but we do not write.
        return 0;
    }
    if (storage::Storage::Parse(bytes, &again) != S_OK || again.StreamNames() != read.StreamNames()) std::abort();
    for (const QString& name : read.StreamNames()) {
        QByteArray a, b;
        read.ReadStream(name, &a);
        again.ReadStream(name, &b);
        if (a != b) std::abort();
    }
    return 0;
}
