#include "player/tools/FolderSearch.h"

#include "common/Reghelp.h"
#include "platform/paths/paths.h"
#include "player/units/Folderscan.h"

#include <QFile>

namespace {

struct KindRow {
    const char* value;
    bool def;
    std::initializer_list<const char*> extensions;
};

// Indexed by TSearchKinds::Kind.
const KindRow kKinds[] = {
    {"SerchMpeg", true, {"m2p", "mpg", "mpeg", "m1v", "mpa"}},
    {"SerchASF", true, {"asf", "wmv", "wma", "wm"}},
    {"SerchAVI", true, {"avi"}},
    {"SerchRealMedia", false, {"rm", "ra", "rmvb"}},
    {"SerchMp3", false, {"mp3"}},
    {"SerchAudio", false, {"wav", "au", "aif", "aiff", "mp2", "snd"}},
    {"SerchMidi", false, {"mid", "midi", "rmi"}},
    {"SerchPicture", false, {"bmp", "jpg", "jpeg", "gif", "tga", "dib"}},
    {"SerchList", false, {"m3u", "zol"}},
    {"SerchCustom1", false, {}},
    {"SerchCustom2", false, {}},
};

// The order the values are written in.
constexpr TSearchKinds::Kind kWriteOrder[] = {
    TSearchKinds::Avi,     TSearchKinds::Mpeg,    TSearchKinds::Mp3,     TSearchKinds::Audio,
    TSearchKinds::WindowsMedia, TSearchKinds::RealMedia, TSearchKinds::Picture, TSearchKinds::Midi,
    TSearchKinds::List,    TSearchKinds::Custom1, TSearchKinds::Custom2,
};

// A string value read with the size the registry reports for it.
QString ReadWholeString(HKEY key, const char* name)
{
    DWORD type = 0, size = 0;
    if (RegQueryValueEx(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0) return QString();
    QString text;
    RegReadString(key, name, &text, size + 1);
    return text;
}

}  // namespace

TSearchKinds TSearchKinds::Load()
{
    TSearchKinds kinds;
    const RegKey key = RegKey::Create(HKEY_CURRENT_USER, kMainKey, KEY_READ);
    for (int k = 0; k < KindCount; ++k)
        kinds.on[k] = key ? RegReadBool(key.get(), kKinds[k].value, kKinds[k].def) : kKinds[k].def;
    if (key) {
        kinds.custom1 = ReadWholeString(key.get(), "SerchFile1");
        kinds.custom2 = ReadWholeString(key.get(), "SerchFile2");
    }
    return kinds;
}

bool TSearchKinds::Save() const
{
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kMainKey, KEY_WRITE);
    if (!key) return false;
    bool ok = true;
    for (Kind kind : kWriteOrder) ok = RegWriteBool(key.get(), kKinds[kind].value, on[kind]) && ok;
    ok = RegWriteString(key.get(), "SerchFile1", custom1.toLower()) && ok;
    return RegWriteString(key.get(), "SerchFile2", custom2.toLower()) && ok;
}

bool TSearchKinds::AnyOn() const
{
    for (bool k : on)
        if (k) return true;
    return false;
}

bool TSearchKinds::Takes(const QString& extension) const
{
    for (int k = 0; k < KindCount; ++k) {
        if (!on[k]) continue;
        if (k == Custom1 || k == Custom2) {
            // Stored lower-cased; a value written by hand may not be.
            if (extension == (k == Custom1 ? custom1 : custom2).toLower()) return true;
            continue;
        }
        for (const char* e : kKinds[k].extensions)
            if (extension == QLatin1String(e)) return true;
    }
    return false;
}

TFolderSearch::TFolderSearch(const TSearchKinds& kinds) : kinds_(kinds) {}

TFolderSearch TFolderSearch::ByExtensionList(const QString& extensionList)
{
    TFolderSearch search;
    search.byKinds_ = false;
    search.extensions_ = ParseExtensionList(extensionList);
    return search;
}

bool TFolderSearch::Takes(const QString& extension) const
{
    return byKinds_ ? kinds_.Takes(extension) : extensions_.contains(extension);
}

bool TFolderSearch::Run(const QString& folder, const std::function<void(const QString&)>& add,
                        const std::function<bool()>& step) const
{
    const QString base = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    for (const QString& name : FolderFileNames(base)) {
        if (name.startsWith(QLatin1Char('.'))) continue;
        const QString extension = GetFileExtension(name);
        if (extension.isEmpty()) continue;
        if (Takes(extension)) {
            const QString path = base + name;
            QString target;
            if (!IsShortcutExtension(extension))
                add(path);
            else if (ResolveShortcut(path, &target) && IsExistingFile(target))
                add(target);
        }
        if (step && !step()) return false;
    }
    return true;
}
