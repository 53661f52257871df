// The setup tool's registrations in the registry, without widgets: the file
// associations and type icons of the player, the DVD and audio-CD verbs and
// the AutoPlay handlers, all under HKEY_CLASSES_ROOT (the handlers under
// HKEY_LOCAL_MACHINE). The desktop mirror (platform/shell) follows what
// these write. None of the writers reports a failure: a key that cannot be
// opened or created ends the operation silently.
//
// `folder` is the tool's folder with a trailing "/": the player lies there as
// "Zorvi". Main thread, like the registry.
#pragma once

#include "platform/registry/registry.h"

#include <QString>
#include <QStringList>

namespace zoset {

// The player's program name, and the icon index of its media and list files.
inline constexpr char kPlayerName[] = "Zorvi";
// The default verb of an associated file type.
inline constexpr char kPlayVerb[] = "PlaywithZo";

// Reads a value that is present only as REG_SZ; false (and an empty text)
// when it is missing or of another type.
bool ReadSz(HKEY key, const char* name, QString* text);

// The text after the last "/", ":" or "\".
QString GetFileNamePart(const QString& path);
// The file name part with everything from its last "." cut off.
QString GetFileTitle(const QString& text);
// Whether a command or icon text names the player: its file name part,
// less a trailing ",<index>", has the file title "Zorvi" (case matters).
bool NamesPlayer(const QString& text);

// The file type name used for an extension (".mp3") that has none yet.
QString DefaultTypeName(const QString& extension);
// The extensions that one RealMedia box stands for, in order.
QStringList RealMediaExtensions();

// The command and icon texts the registrations write.
QString PlayCommand(const QString& folder);       // "<F>Zorvi" "%1"
QString TypeIconText(const QString& folder, const QString& extension);   // <F>Zorvi,1 or ,2

// Start state of one extension's boxes.
void ReadAssociation(const QString& extension, bool* associated, bool* icon);
void Associate(const QString& folder, const QString& extension);
void Unassociate(const QString& extension);
void SetTypeIcon(const QString& folder, const QString& extension);
void RestoreTypeIcon(const QString& extension);
// The index of the player's icon that the extension's type shows (1 or 2),
// 0 when its icon is not the player's.
int TypeIconIndex(const QString& extension);

// ---- DVD and audio-CD verbs and AutoPlay handlers ----

enum class Medium { Dvd, Cd };

// What one medium's two boxes show at start.
struct MediumState {
    bool verb = false;               // the verb box's start state (checked)
    bool autoPlay = false;           // the AutoPlay box's start state (checked)
    bool groupAvailable = true;      // false when the drive type key is missing
    bool autoPlayAvailable = false;  // true when the AutoPlay event key exists
    bool verbEnabled = true;
    bool autoPlayEnabled = true;
};

QString DriveCommand(const QString& folder, Medium medium);   // "<F>Zorvi" /DVD %1
QString HandlerName(Medium medium);    // "ZoravelDVDEventHandler", "ZoravelCDOnArrival"

MediumState ReadMediumState(const QString& folder, Medium medium);
void AddVerb(const QString& folder, Medium medium);
void AddAutoPlay(const QString& folder, Medium medium);
void RemoveVerb(Medium medium);
void RemoveAutoPlay(Medium medium);
// Whether the verb and the AutoPlay handler are in place now, as the desktop
// mirror follows them: the verb by its command naming the player, the
// handler by its event value.
bool HasVerb(Medium medium);
bool HasAutoPlay(Medium medium);

// The keys the desktop's own drive types would hold: the drive type's verb
// key and the AutoPlay event (and handlers) key, created or opened, nothing
// written, for each medium the desktop knows.
void CreateSystemKeys(bool knowsDvdVideo, bool knowsAudioCd);

}  // namespace zoset
