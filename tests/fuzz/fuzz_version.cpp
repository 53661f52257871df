// The version note reader over a file made of the input, and the block's
// lookups over whatever it accepts.
#include "platform/version/version.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const version::ReadAt read = [data, size](std::uint64_t offset, void* into, std::size_t length) {
        if (offset > size || length > size - offset) return false;
        std::memcpy(into, data + offset, length);
        return true;
    };
    std::vector<std::uint8_t> block = version::FindVersionNote(read, size);
    // The input itself as a block, when it is one.
    if (block.empty() && version::IsValidBlock(data, size)) block.assign(data, data + size);
    if (block.empty()) return 0;
    const void* value = nullptr;
    UINT length = 0;
    for (const char* query : {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\0411fde9\\FileVersion",
                              "\\StringFileInfo\\0411fde9\\OriginalFilename", "\\StringFileInfo\\0411fde9\\"}) {
        if (version::VerQueryValue(block.data(), QString::fromLatin1(query), &value, &length) && length > 0) {
            volatile std::uint8_t sink = static_cast<const std::uint8_t*>(value)[length - 1];
            (void)sink;
        }
    }
    return 0;
}
