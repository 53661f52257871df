// The player's registrations as the freedesktop desktop sees them: the
// player's desktop entry with the MIME types it opens, default applications
// in mimeapps.list (the default that stood before kept, and put back when
// ours goes), a MIME package for the types that are ours and the icons of
// types, the handlers of inserted DVD videos and audio CDs, and the icons
// these name. Every file is the user's own ($XDG_DATA_HOME, $XDG_CONFIG_HOME)
// and is written whole to a temporary file and renamed.
//
// The mirror follows a state; it never reads the registrations itself.
// Main thread.
#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace shell {

// The MIME types of one of the player's extensions (".mp3"), each by the
// name this machine's MIME database gives it; empty for unknown extensions.
QStringList MimeTypesForExtension(const QString& extension);

// A program path as one quoted argument of an Exec line, as it is written
// in the file: the quoting rule of desktop entries (inside double quotes a
// backslash before '"', '`', '$' and '\', '%' doubled), then the escaping of
// the key's string value (every backslash doubled).
QString ExecProgram(const QString& program);
// A string value of a desktop entry: the key file's own escapes for the
// characters that would end or break the line.
QString KeyValue(const QString& text);

// The desktop files of the player.
inline constexpr char kPlayerEntry[] = "zoravel.desktop";
inline constexpr char kDvdEntry[] = "zoravel-dvd.desktop";
inline constexpr char kCdEntry[] = "zoravel-cd.desktop";

struct MirrorExtension {
    QString extension;        // ".mp3"
    bool associated = false;  // the player is the default verb of its type
    int iconIndex = 0;        // the player's icon the type shows: 1 media, 2 list, 0 none of ours
};

struct MirrorState {
    QString programFolder;                 // with a trailing "/"; the player is "Zorvi" there
    QList<MirrorExtension> extensions;     // every extension the registrations handle
    bool listTypeNamed = false;            // ".zol" names a file type
    QString listDescription;               // the list type's description
    bool m2pTypeNamed = false;             // ".m2p" names a file type
    bool dvdVerb = false, dvdAutoPlay = false;
    bool cdVerb = false, cdAutoPlay = false;
    // What the step being mirrored turned on: the player takes these types'
    // defaults over again even when a default is kept from before.
    QStringList extensionsTurnedOn;
    bool dvdAutoPlayTurnedOn = false, cdAutoPlayTurnedOn = false;
    // Icon name ("zoravel", "zoravel-media", "zoravel-list") to the PNG file
    // (48 x 48, a Qt resource path is fine) installed under that name.
    QMap<QString, QString> iconFiles;
    // Icons that launchers outside the mirror name (shortcuts), kept
    // installed while those launchers exist.
    QStringList launcherIcons;
};

// The defaults that stood before ours, one per MIME type; an empty text
// stands for no line. The setup tool keeps them in the registry.
class KeptDefaults {
public:
    virtual ~KeptDefaults() = default;
    virtual bool Get(const QString& type, QString* text) = 0;
    virtual void Set(const QString& type, const QString& text) = 0;
    virtual void Remove(const QString& type) = 0;
};

class DesktopMirror {
public:
    explicit DesktopMirror(KeptDefaults& kept) : kept_(kept) {}

    // Brings the desktop's files in line with `state`. A default is taken
    // over once, when the player becomes the type's handler, and given back
    // when it stops being so, but only while the line still names our entry:
    // a default the user chose meanwhile stays.
    void Follow(const MirrorState& state);
    // Refreshes the desktop's caches of entries and MIME types when Follow
    // changed their files (each updater is skipped when it is missing).
    void RunUpdaters();

    // Launchers in the application menu changed beside the mirror's own
    // entries: RunUpdaters refreshes the menu's cache too.
    void NoteEntriesChanged() { entriesChanged_ = true; }
    bool EntriesChanged() const { return entriesChanged_; }
    bool MimeChanged() const { return mimeChanged_; }

private:
    void FollowDefaults(const MirrorState& state);
    bool WriteOrRemove(const QString& path, const QByteArray& content);

    KeptDefaults& kept_;
    bool entriesChanged_ = false;
    bool mimeChanged_ = false;
};

// Removes the temporaries that mirrors killed while writing left behind.
void RemoveStaleMirrorTemporaries();

// Folders the mirror writes to.
QString ApplicationsFolder();   // $XDG_DATA_HOME/applications
QString MimeFolder();           // $XDG_DATA_HOME/mime

}  // namespace shell
