// The disc folder's text rules on untrusted names and lines: a bookmark
// file name that is listed turns back into itself through its caption, and a
// repeat line that parses is written back unchanged.
#include "player/units/Dvdfolder.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096) return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    const QString text = QString::fromUtf8(bytes);
    if (const auto item = dvdfolder::BookmarkItemFromFileName(text)) {
        if (dvdfolder::FileNameFromCaption(item->caption) != text) std::abort();
    }
    (void)dvdfolder::FileNameFromCaption(text);
    const QStringList lines = dvdfolder::SplitLines(bytes);
    for (const QString& line : lines) {
        const auto section = dvdfolder::ParseSectionLine(line);
        if (section && dvdfolder::ParseSectionLine(dvdfolder::SectionLine(*section)) != section) std::abort();
    }
    const auto sections = dvdfolder::SectionsOfTitle(lines, 2);
    const QStringList replaced = dvdfolder::ReplaceSectionsOfTitle(lines, 2, sections);
    if (dvdfolder::SectionsOfTitle(replaced, 2) != sections) std::abort();
    (void)dvdfolder::DiscNameFromDirectory(text, text, nullptr);
    return 0;
}
