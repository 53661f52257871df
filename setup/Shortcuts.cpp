#include "setup/Shortcuts.h"

#include "common/Reghelp.h"
#include "setup/Registrations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zoset {

namespace {

QString InFolder(const QString& folder, const char* name)
{
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + QLatin1String(name);
}

void RemoveIfThere(const QString& path)
{
    if (!path.isEmpty() && QFileInfo::exists(path)) QFile::remove(path);
}

}  // namespace

QString GetSpecialFolder(int kind) { return shell::LauncherFolderPath(static_cast<shell::LauncherFolder>(kind)); }

QString MenuFolder() { return InFolder(GetSpecialFolder(kMenuShortcut), shell::kMenuFolder); }

QString ShortcutPath(int kind)
{
    switch (kind) {
    case kDesktopShortcut:
        return InFolder(GetSpecialFolder(kind), shell::kDesktopLauncher);
    case kSendToShortcut:
        return InFolder(GetSpecialFolder(kind), shell::kSendToScript);
    case kMenuShortcut:
        return InFolder(MenuFolder(), shell::kMenuPlayer);
    }
    return QString();
}

bool HasShortcut(int kind)
{
    const QString path = ShortcutPath(kind);
    return !path.isEmpty() && QFileInfo::exists(path);
}

shell::Launcher PlayerLauncher(const QString& folder, const QString& categories)
{
    shell::Launcher launcher;
    launcher.program = folder + QLatin1String(kPlayerName);
    // Several selected files arrive as one start, in their order.
    launcher.arguments = QStringLiteral("%F");
    launcher.name = launcher.comment = QStringLiteral("Zoravel");
    launcher.workingFolder = folder;
    launcher.icon = QStringLiteral("zoravel");
    launcher.categories = categories;
    return launcher;
}

shell::Launcher SetupLauncher(const QString& folder)
{
    shell::Launcher launcher;
    launcher.program = folder + QStringLiteral("Zoset");
    launcher.name = launcher.comment = QStringLiteral("Zoravel 初期設定");
    launcher.workingFolder = folder;
    launcher.icon = QStringLiteral("zoravel-setup");
    launcher.categories = QStringLiteral("Settings;");
    return launcher;
}

void RemoveShortcut(int kind)
{
    switch (kind) {
    case kDesktopShortcut:
        RemoveIfThere(ShortcutPath(kind));
        break;
    case kSendToShortcut:
        RemoveIfThere(ShortcutPath(kind));
        RemoveIfThere(InFolder(shell::ServiceMenuFolder(), shell::kServiceMenu));
        break;
    case kMenuShortcut: {
        const QString menu = MenuFolder();
        RemoveIfThere(InFolder(menu, shell::kMenuPlayer));
        RemoveIfThere(InFolder(menu, shell::kMenuSetup));
        // Fails, as it should, while the user's own files are in it.
        QDir().rmdir(menu);
        break;
    }
    }
}

QStringList ShortcutIcons()
{
    QStringList icons;
    const QString menu = MenuFolder();
    if (HasShortcut(kDesktopShortcut) || HasShortcut(kSendToShortcut) ||
        QFileInfo::exists(InFolder(shell::ServiceMenuFolder(), shell::kServiceMenu)) ||
        QFileInfo::exists(InFolder(menu, shell::kMenuPlayer)))
        icons << QStringLiteral("zoravel");
    if (QFileInfo::exists(InFolder(menu, shell::kMenuSetup))) icons << QStringLiteral("zoravel-setup");
    return icons;
}

void DeleteSettingsBranch()
{
    {
        RegKey bruvo = RegKey::Open(HKEY_CURRENT_USER, kBruvoKey, KEY_ALL_ACCESS);
        if (!bruvo) return;
        RegDeleteKey(bruvo.get(), "ZoDVD");
        DWORD subKeys = 0;
        if (RegQueryInfoKey(bruvo.get(), &subKeys, nullptr) != ERROR_SUCCESS || subKeys != 0) return;
    }
    if (RegKey software = RegKey::Open(HKEY_CURRENT_USER, "Software", KEY_ALL_ACCESS))
        RegDeleteKey(software.get(), "Bruvo");
}

}  // namespace zoset
