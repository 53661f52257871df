// The profile reader and writer on arbitrary bytes: read every section and
// key it finds, write one key back, and check that a write changed only
// what it should and that what was written reads back.
#include "platform/profile/profile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    profile::TProfile file;
    file.SetContent(bytes);
    // Untouched, the bytes come back as they were.
    if (file.Content() != bytes) std::abort();
    const QStringList sections = file.Sections();
    for (const QString& section : sections) {
        for (const QString& key : file.Keys(section)) {
            if (!file.HasKey(section, key)) std::abort();
            profile::LeadingNumber(file.ReadString(section, key));
        }
    }
    const QString section = sections.isEmpty() ? QStringLiteral("S") : sections.front();
    const QString value = QString::fromUtf8(bytes.left(64)).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    if (file.WriteString(section, QStringLiteral("Fuzz"), value)) {
        profile::TProfile again;
        again.SetContent(file.Content());
        if (again.ReadString(section, QStringLiteral("Fuzz")) != file.ReadString(section, QStringLiteral("Fuzz")))
            std::abort();
        if (again.Sections().size() != file.Sections().size()) std::abort();
    }
    file.DeleteSection(section);
    return 0;
}
