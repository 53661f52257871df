// Launchers for a program in the user's desktop: a desktop entry in the
// desktop folder or in the application menu, and the file managers' own
// ways to hand selected files to a program (GNOME Files' scripts menu and a
// Dolphin service menu), which stand in for a "send to" menu no Linux
// desktop has. Every file is written whole to a temporary file and renamed,
// with its executable bit set: desktops start a launcher from the desktop
// folder or a script only when it may be executed.
//
// Main thread.
#pragma once

#include <QString>

namespace shell {

// The launchers the setup tool writes, by file name.
inline constexpr char kDesktopLauncher[] = "Zoravel.desktop";      // in the desktop folder
inline constexpr char kSendToScript[] = "Zoravel";                 // in the scripts folder
inline constexpr char kServiceMenu[] = "zoravel.desktop";          // in the service menus
inline constexpr char kMenuFolder[] = "Zoravel";                   // in the application menu's folder
inline constexpr char kMenuPlayer[] = "zoravel-player.desktop";    // in the menu folder
inline constexpr char kMenuSetup[] = "zoravel-setup.desktop";      // in the menu folder

// The user's data folder, $XDG_DATA_HOME (~/.local/share when unset).
QString DataHome();

// The folders that hold launchers.
enum class LauncherFolder {
    kDesktop = 1,   // the desktop folder of xdg-user-dirs
    kSendTo = 2,    // GNOME Files' scripts folder ($XDG_DATA_HOME/nautilus/scripts)
    kPrograms = 3,  // the application menu's folder ($XDG_DATA_HOME/applications)
};

// The folder's path without a trailing "/". The desktop folder is empty
// when it does not exist, or when xdg-user-dirs turned it off by naming
// the home folder: nothing is written in its place. The data folders are
// named whether or not they exist yet; writers create them.
QString LauncherFolderPath(LauncherFolder folder);

// Dolphin's service menus ($XDG_DATA_HOME/kio/servicemenus).
QString ServiceMenuFolder();

// One launcher: a desktop entry of Type Application.
struct Launcher {
    QString program;        // absolute path; quoted on the Exec line
    QString arguments;      // field codes after the program ("%F"), may be empty
    QString name;
    QString comment;
    QString workingFolder;  // the Path key
    QString icon;           // an icon name of the theme
    QString categories;     // "AudioVideo;Player;"; empty leaves the key out
};

// The entry's text, as WriteLauncher writes it.
QByteArray LauncherEntry(const Launcher& launcher);
// Writes the entry to `path` (the folder is created); false when it cannot.
bool WriteLauncher(const QString& path, const Launcher& launcher);
// Marks a launcher in the desktop folder as trusted, so that GNOME's desktop
// starts it on a double click (gio's metadata). Best effort: without gio or
// its metadata service nothing happens.
void TrustLauncher(const QString& path);

// A script for GNOME Files' scripts menu that starts `program` with the
// selected files and folders, each an argument of its own, as absolute
// paths in their order.
QByteArray SendToScript(const QString& program);
bool WriteSendToScript(const QString& path, const QString& program);
// A Dolphin service menu with one action that starts the launcher's
// program with the selected files and folders.
QByteArray ServiceMenu(const Launcher& launcher);
bool WriteServiceMenu(const QString& path, const Launcher& launcher);

}  // namespace shell
