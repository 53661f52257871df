// cdplayer.ini as the CD player uses it: whatever the file holds, a disc's
// section reads at most 99 titles of at most 299 bytes, and the titles
// written back (the file's other sections kept) read back the same.
#include "units/Ccdplayerini.h"

#include "fuzz_folder.h"

#include "platform/profile/profile.h"

#include <QFile>

#include <cstdint>
#include <cstdlib>

namespace {

// A home of our own: the data folder holds cdplayer.ini, the registry is empty.
const QString& DataFolder()
{
    static const QString folder = [] {
        const QString home = QString::fromLocal8Bit(FuzzFolder("fuzz_cdini"));
        qputenv("ZORAVEL_HOME", QFile::encodeName(home + QStringLiteral("data")));
        qputenv("ZORAVEL_REGISTRY", QFile::encodeName(home + QStringLiteral("registry.reg")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("config")));
        return home + QStringLiteral("data/");
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString path;
    const QString folder = DataFolder();
    if (!CCDINI::GetPath(&path, false)) std::abort();
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    out.write(bytes);
    out.close();

    // The disc is the file's first section (a TOC would name it), else one of none.
    profile::TProfile file;
    file.SetContent(bytes);
    const QStringList sections = file.Sections();
    CCDINI ini(QStringLiteral("/nonexistent/drive"));
    ini.section = sections.isEmpty() ? QStringLiteral("1A2B3C") : sections.front();
    if (ini.section.isEmpty()) return 0;
    const int read = ini.Read();
    if (read < 0 || read > 99 || read != ini.titles.size()) std::abort();
    for (const QString& text : ini.titles + QStringList{ini.artist, ini.title})
        if (text.toUtf8().size() > 299) std::abort();

    CCDINI written(QStringLiteral("/nonexistent/drive"));
    written.section = ini.section;
    written.artist = ini.artist;
    written.title = ini.title;
    for (const QString& title : ini.titles) written.AddTitle(title);
    if (written.Write() != 1) return 0;
    CCDINI back(QStringLiteral("/nonexistent/drive"));
    back.section = ini.section;
    back.Read();
    if (back.artist != ini.artist || back.title != ini.title || back.titles != ini.titles) std::abort();
    // The other discs stay as they were.
    profile::TProfile after;
    if (after.Load(path) != 0) std::abort();
    for (const QString& section : sections) {
        if (section.compare(ini.section, Qt::CaseInsensitive) == 0) continue;
        for (const QString& key : file.Keys(section))
            if (after.ReadString(section, key) != file.ReadString(section, key)) std::abort();
    }
    return 0;
}
