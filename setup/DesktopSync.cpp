#include "setup/DesktopSync.h"

#include "common/Reghelp.h"
#include "setup/Registrations.h"
#include "setup/Shortcuts.h"

namespace zoset {

namespace {

constexpr char kKeptDefaultsKey[] = "Zoravel.DesktopDefaults";

// The extension's file type name, empty when it names none.
QString TypeOf(const QString& extension)
{
    RegKey key = RegKey::Open(HKEY_CLASSES_ROOT, extension.toUtf8().constData(), KEY_READ);
    QString type;
    if (key) ReadSz(key.get(), nullptr, &type);
    return type;
}

}  // namespace

QStringList AllExtensions()
{
    return {".mpg", ".m2p", ".avi", ".asf", ".wmv", ".mp3", ".wma", ".wav", ".mid", ".aif", ".rm", ".ra", ".rmvb",
            ".m3u", ".zol"};
}

shell::MirrorState ReadMirrorState(const QString& folder)
{
    shell::MirrorState state;
    state.programFolder = folder;
    for (const QString& extension : AllExtensions()) {
        shell::MirrorExtension e;
        e.extension = extension;
        bool icon = false;
        ReadAssociation(extension, &e.associated, &icon);
        e.iconIndex = TypeIconIndex(extension);
        state.extensions << e;
    }
    const QString listType = TypeOf(QStringLiteral(".zol"));
    state.listTypeNamed = !listType.isEmpty();
    if (RegKey key = RegKey::Open(HKEY_CLASSES_ROOT, listType.toUtf8().constData(), KEY_READ); key && state.listTypeNamed)
        ReadSz(key.get(), nullptr, &state.listDescription);
    state.m2pTypeNamed = !TypeOf(QStringLiteral(".m2p")).isEmpty();
    state.dvdVerb = HasVerb(Medium::Dvd);
    state.dvdAutoPlay = HasAutoPlay(Medium::Dvd);
    state.cdVerb = HasVerb(Medium::Cd);
    state.cdAutoPlay = HasAutoPlay(Medium::Cd);
    for (const char* name : {"zoravel", "zoravel-setup", "zoravel-media", "zoravel-list"})
        state.iconFiles.insert(QLatin1String(name), QStringLiteral(":/icons/%1.png").arg(QLatin1String(name)));
    state.launcherIcons = ShortcutIcons();
    return state;
}

bool RegistryKeptDefaults::Get(const QString& type, QString* text)
{
    RegKey key = RegKey::Open(HKEY_CLASSES_ROOT, kKeptDefaultsKey, KEY_READ);
    return key && ReadSz(key.get(), type.toUtf8().constData(), text);
}

void RegistryKeptDefaults::Set(const QString& type, const QString& text)
{
    if (RegKey key = RegKey::Create(HKEY_CLASSES_ROOT, kKeptDefaultsKey, KEY_ALL_ACCESS))
        RegWriteString(key.get(), type.toUtf8().constData(), text);
}

void RegistryKeptDefaults::Remove(const QString& type)
{
    if (RegKey key = RegKey::Open(HKEY_CLASSES_ROOT, kKeptDefaultsKey, KEY_ALL_ACCESS))
        RegDeleteValue(key.get(), type.toUtf8().constData());
}

}  // namespace zoset
