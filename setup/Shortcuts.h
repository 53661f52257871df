// The setup tool's launchers for the player and the tool, and the reset of
// the player's settings, without widgets. The launchers are desktop entries
// (the send-to stand-ins a script and a service menu) written through
// platform/shell; the dialog reports the ones that cannot be written.
//
// `folder` is the tool's folder with a trailing "/". Main thread.
#pragma once

#include "platform/shell/shortcuts.h"

#include <QStringList>

namespace zoset {

// The kinds of GetSpecialFolder, which are also the shortcut boxes' order.
enum ShortcutKind { kDesktopShortcut = 1, kSendToShortcut = 2, kMenuShortcut = 3 };

// The folder of a kind's shortcuts, without a trailing "/"; empty when it
// does not exist (the desktop folder only).
QString GetSpecialFolder(int kind);
// The file whose presence checks a kind's box; empty when its folder is
// missing.
QString ShortcutPath(int kind);
bool HasShortcut(int kind);
// The folder "Zoravel" in the application menu's folder.
QString MenuFolder();

// The launchers: the player (taking files) and the tool.
shell::Launcher PlayerLauncher(const QString& folder, const QString& categories = QString());
shell::Launcher SetupLauncher(const QString& folder);

// Removes a kind's files, each when it is there. The menu folder goes
// with them only when nothing else is left in it.
void RemoveShortcut(int kind);

// The icons the shortcuts in place name, to be kept installed.
QStringList ShortcutIcons();

// Deletes HKEY_CURRENT_USER "Software\Bruvo\ZoDVD" with everything below
// it, then "Software\Bruvo" when no other key is left under it.
void DeleteSettingsBranch();

}  // namespace zoset
