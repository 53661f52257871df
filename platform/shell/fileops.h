// What the tool windows ask of the desktop for one file or folder: show it
// in the file manager, show its properties, open it with the default
// application, move it to the trash, rename it, and the name the desktop
// shows for it. The desktop is reached through the file manager's D-Bus
// interface (org.freedesktop.FileManager1) and xdg-open; tests replace
// that edge with a recorder.
//
// Main thread.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace shell {

// Shows `folder` in the file manager (ShowFolders), or with `item`
// selected in it when `item` is set (ShowItems); else xdg-open of the folder.
bool ExploreFolder(const QString& folder, const QString& item = QString());
// The file manager's properties of `path` (ShowItemProperties).
bool ShowProperties(const QString& path);
// `path` opened by the desktop's default application (xdg-open).
bool OpenWithDefaultApplication(const QString& path);

// A request to the desktop: the file manager's method and its paths as
// URIs, or "xdg-open" and one URI. The recorder answers whether it was taken.
struct DesktopCall {
    QString method;   // "ShowFolders", "ShowItems", "ShowItemProperties", "xdg-open"
    QStringList uris;
};
using DesktopRecorder = std::function<bool(const DesktopCall&)>;
// While set, calls go to the recorder instead of the desktop.
void SetDesktopRecorder(DesktopRecorder recorder);

// Moves `path` into the freedesktop trash of its volume (the home trash on
// the home volume, the volume's own trash elsewhere), with its info file, so
// a file manager can restore it. False when it could not be moved.
bool MoveToTrash(const QString& path);

enum class RenameResult { Renamed, Exists, Failed };
// Renames `from` to `to` without ever replacing a file at `to`, also one
// that appears while it runs: renameat2 with RENAME_NOREPLACE; where the
// file system does not know that flag, a hard link and unlink; where it
// has no hard links either, a checked rename.
RenameResult RenameNoReplace(const QString& from, const QString& to);
// Whether `name` can be a file's name in `folder`: not empty, ".", ".."
// nor holding "/", and not longer than the file system there allows.
bool IsUsableFileName(const QString& folder, const QString& name);

// The name the desktop shows: a mounted volume's label (its mount folder's
// name when it has none, "/" for the root), else the file's or folder's name.
QString DisplayName(const QString& path);

}  // namespace shell
