// The bookmark file's reader and writer on arbitrary bytes: the block of a
// header taken from the input is read, replaced and removed; what was
// written reads back as it was, and removing it leaves no line of it.
#include "player/units/Bookmarkfile.h"

#include <cstdint>
#include <cstdlib>

using namespace bookmarks;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // The first line that looks like a header names the block; else a fixed one.
    QByteArray header = "/clip.avi/1";
    for (const QByteArray& line : bytes.split('\n')) {
        if (line.startsWith('/') && !line.contains('\r')) {
            header = line;
            break;
        }
    }
    const std::optional<TBlock> found = FindBlock(bytes, header);
    TBlock block = found ? *found : TBlock();
    block.Bookmarks.push_back({QString::fromUtf8(bytes.left(40)), 12345});
    block.Sections.push_back({QString::fromUtf8(bytes.mid(40, 20)), 1, 2});
    for (const TBookmark& mark : block.Bookmarks) BookmarkLine(mark);
    const QByteArray written = ReplaceBlock(bytes, header, &block);
    const std::optional<TBlock> back = FindBlock(written, header);
    if (!back) std::abort();
    if (back->Bookmarks.size() != block.Bookmarks.size() || back->Sections.size() != block.Sections.size())
        std::abort();
    for (size_t i = 0; i < block.Bookmarks.size(); ++i)
        if (back->Bookmarks[i].Position != block.Bookmarks[i].Position) std::abort();
    for (size_t i = 0; i < block.Sections.size(); ++i)
        if (back->Sections[i].Start != block.Sections[i].Start || back->Sections[i].End != block.Sections[i].End)
            std::abort();
    if (FindBlock(ReplaceBlock(written, header, nullptr), header)) std::abort();
    DigitsToInt(bytes);
    return 0;
}
