// Path helpers shared by the player, the library and the setup tool.
// Paths use "/"; folders handed out end with "/".
#pragma once

#include <QString>

// Folder of the running program, with a trailing "/".
QString GetProgramFolder();
// Per-user data folder: $ZORAVEL_HOME, else $XDG_DATA_HOME/Zoravel/
// (~/.local/share/Zoravel/), with a trailing "/". Created on first use.
QString GetUserDataFolder();
// "ListFiles/" and "Bookmark/" inside the data folder (created on first use).
QString GetListFilesFolder();
QString GetBookmarkFolder();
// The same folders named without creating them, for readers, which must not.
QString UserDataFolderPath();
QString ListFilesFolderPath();
// Stand-in for the system's Windows folder: $XDG_CONFIG_HOME (~/.config), with "/".
QString GetWindowsFolder();

// Lower-cased text after the last "." of the path's last component; empty when
// that component has no ".", or when the text from the last "." on is longer
// than 256 characters. A "." in a folder name is not an extension; a name that
// starts with its only "." (".bashrc") has the rest as extension ("bashrc").
QString GetFileExtension(const QString& path);
bool IsExistingFile(const QString& path);     // a regular file (symbolic links followed)
bool IsExistingFolder(const QString& path);   // a folder (symbolic links followed)
// Folder part of a path up to, not including, its last "/" ("" when none;
// "/" for a name directly in the root).
QString ExtractFileDir(const QString& path);
// Last component of a path.
QString ExtractFileName(const QString& path);

// Target of a shortcut: a symbolic link, or a freedesktop link file
// ("[Desktop Entry]" with Type=Link and a file URL or path). False when the
// path is neither or its target cannot be read. A chain of links is followed
// to its end; the target is absolute and need not exist (callers check).
bool ResolveShortcut(const QString& path, QString* target);
// Whether the extension (lower case) names a shortcut file.
bool IsShortcutExtension(const QString& extension);

// Last-write time of the file as a DOS date-time integer (date in the high
// word, time in the low word, local time), or -1 when it cannot be opened for
// reading. Times before 1980 give 1980-01-01 00:00:00, times after 2107 the
// last stamp of 2107; years from 2044 on set the top bit (a negative int).
int GetFileDosDateTime(const QString& path);
