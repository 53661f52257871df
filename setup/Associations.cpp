// File associations and type icons: a verb "PlaywithZo" made the default of
// the extension's file type, and the player's icon as the type's icon, each
// with the previous value kept under "ZoravelBAK" for undoing.
#include "setup/Registrations.h"

#include "common/Reghelp.h"

#include <QHash>

#include <vector>

namespace zoset {

namespace {

constexpr char kBackup[] = "ZoravelBAK";
// The back-up name of earlier releases.
constexpr char kOldBackup[] = "BAK";
constexpr char kZolType[] = "zolfile";
// Texts as long as a path may be.
constexpr DWORD kTextLimit = 32768;

RegKey OpenClass(const QString& path, REGSAM access)
{
    return RegKey::Open(HKEY_CLASSES_ROOT, path.toUtf8().constData(), access);
}

RegKey CreateClass(const QString& path)
{
    return RegKey::Create(HKEY_CLASSES_ROOT, path.toUtf8().constData(), KEY_ALL_ACCESS);
}

bool IsListExtension(const QString& extension)
{
    return extension == QLatin1String(".zol") || extension == QLatin1String(".m3u");
}

// The default verb of a type's "shell" key as it stands now.
bool DefaultVerbIsOurs(HKEY shell)
{
    QString verb;
    return ReadSz(shell, nullptr, &verb) && verb == QLatin1String(kPlayVerb);
}

}  // namespace

bool ReadSz(HKEY key, const char* name, QString* text)
{
    text->clear();
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueEx(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) return false;
    return RegReadString(key, name, text, kTextLimit) == ERROR_SUCCESS;
}

QString GetFileNamePart(const QString& path)
{
    qsizetype cut = -1;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const QChar c = path.at(i);
        if (c == QLatin1Char('/') || c == QLatin1Char(':') || c == QLatin1Char('\\')) cut = i;
    }
    return path.mid(cut + 1);
}

QString GetFileTitle(const QString& text)
{
    QString name = GetFileNamePart(text);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) name.truncate(dot);
    return name;
}

bool NamesPlayer(const QString& text)
{
    QString name = GetFileNamePart(text);
    // An icon text ends in ",<index>", which is not part of the file's name.
    const qsizetype comma = name.lastIndexOf(QLatin1Char(','));
    if (comma >= 0) {
        bool number = false;
        name.mid(comma + 1).toInt(&number);
        if (number) name.truncate(comma);
    }
    return GetFileTitle(name) == QLatin1String(kPlayerName);
}

QString DefaultTypeName(const QString& extension)
{
    static const QHash<QString, QString> names{
        {".mpg", "mpegfile"}, {".m2p", "m2pfile"},   {".avi", "avifile"},  {".asf", "ASFFile"},
        {".wmv", "WMVFile"},  {".mp3", "mp3file"},   {".wma", "WMAFile"},  {".wav", "soundrec"},
        {".mid", "midfile"},  {".aif", "AIFFFile"},  {".rm", "RealPlayer.RM.6"}, {".ra", "RealPlayer.RA.6"},
        {".rmvb", "RealPlayer.RMVB.6"}, {".m3u", "m3ufile"}, {".zol", kZolType},
    };
    const auto it = names.constFind(extension);
    if (it != names.constEnd()) return *it;
    return extension.mid(1) + QStringLiteral("file");
}

QStringList RealMediaExtensions() { return {".rm", ".ra", ".rmvb"}; }

QString PlayCommand(const QString& folder)
{
    return QLatin1Char('"') + folder + QLatin1String(kPlayerName) + QStringLiteral("\" \"%1\"");
}

QString TypeIconText(const QString& folder, const QString& extension)
{
    return folder + QLatin1String(kPlayerName) + (IsListExtension(extension) ? QStringLiteral(",2") : QStringLiteral(",1"));
}

void ReadAssociation(const QString& extension, bool* associated, bool* icon)
{
    *associated = false;
    *icon = false;
    RegKey ext = OpenClass(extension, KEY_READ);
    if (!ext) return;
    QString type;
    ReadSz(ext.get(), nullptr, &type);
    // A type without verbs can still have our icon (set without the
    // association): the icon box reads from DefaultIcon either way.
    if (RegKey shell = OpenClass(type + QStringLiteral("\\shell"), KEY_READ)) *associated = DefaultVerbIsOurs(shell.get());
    RegKey defaultIcon = OpenClass(type + QStringLiteral("\\DefaultIcon"), KEY_READ);
    if (!defaultIcon) return;
    QString text;
    ReadSz(defaultIcon.get(), nullptr, &text);
    *icon = NamesPlayer(text);
}

void Associate(const QString& folder, const QString& extension)
{
    RegKey ext = CreateClass(extension);
    if (!ext) return;
    QString type;
    if (!ReadSz(ext.get(), nullptr, &type) || type.isEmpty()) {
        type = DefaultTypeName(extension);
        RegWriteString(ext.get(), nullptr, type);
        // The list type is ours: it gets its description only when we gave
        // ".zol" its type, never over a type someone else named.
        if (extension == QLatin1String(".zol")) {
            RegKey zol = RegKey::Create(HKEY_CLASSES_ROOT, kZolType, KEY_ALL_ACCESS);
            if (zol) RegWriteString(zol.get(), nullptr, QStringLiteral("Zoravel リストファイル"));
        }
    }
    RegKey command = CreateClass(type + QStringLiteral("\\shell\\PlaywithZo\\command"));
    if (!command) return;
    RegWriteString(command.get(), nullptr, PlayCommand(folder));
    RegKey shell = CreateClass(type + QStringLiteral("\\shell"));
    if (shell) {
        QString verb;
        ReadSz(shell.get(), nullptr, &verb);
        // Already ours: the back-up of the first association stays.
        if (verb != QLatin1String(kPlayVerb)) {
            RegWriteString(shell.get(), kBackup, verb);
            RegWriteString(shell.get(), nullptr, QLatin1String(kPlayVerb));
        }
    }
    RegKey menu = CreateClass(type + QStringLiteral("\\shell\\PlaywithZo"));
    if (menu) RegWriteString(menu.get(), nullptr, QStringLiteral("&Zoravel で再生"));
}

void Unassociate(const QString& extension)
{
    if (extension == QLatin1String(".zol")) {
        RegDeleteKey(HKEY_CLASSES_ROOT, ".zol");
        RegDeleteKey(HKEY_CLASSES_ROOT, kZolType);
        return;
    }
    QString type;
    {
        RegKey ext = OpenClass(extension, KEY_READ);
        if (!ext || !ReadSz(ext.get(), nullptr, &type)) return;
    }
    RegKey shell = OpenClass(type + QStringLiteral("\\shell"), KEY_ALL_ACCESS);
    if (!shell) return;
    // A program that made itself the default after us keeps its verb; our
    // back-up would undo its registration.
    if (!DefaultVerbIsOurs(shell.get())) return;
    for (const char* name : {kBackup, kOldBackup}) {
        QString previous;
        if (!ReadSz(shell.get(), name, &previous)) continue;
        if (previous == QLatin1String(kPlayVerb)) return;
        RegWriteString(shell.get(), nullptr, previous);
        RegDeleteValue(shell.get(), name);
        RegDeleteKey(shell.get(), kPlayVerb);
        return;
    }
}

void SetTypeIcon(const QString& folder, const QString& extension)
{
    RegKey ext = CreateClass(extension);
    if (!ext) return;
    QString type;
    if (!ReadSz(ext.get(), nullptr, &type) || type.isEmpty()) {
        // The extension must lead to the type, or the icon never shows and
        // the box reads unchecked at the next start.
        type = DefaultTypeName(extension);
        RegWriteString(ext.get(), nullptr, type);
    }
    RegKey defaultIcon = CreateClass(type + QStringLiteral("\\DefaultIcon"));
    if (!defaultIcon) return;
    QString old;
    ReadSz(defaultIcon.get(), nullptr, &old);
    const QString text = TypeIconText(folder, extension);
    if (old == text) return;
    RegWriteString(defaultIcon.get(), kBackup, old);
    RegWriteString(defaultIcon.get(), nullptr, text);
}

void RestoreTypeIcon(const QString& extension)
{
    QString type;
    {
        RegKey ext = OpenClass(extension, KEY_READ);
        if (!ext || !ReadSz(ext.get(), nullptr, &type)) return;
    }
    RegKey defaultIcon = OpenClass(type + QStringLiteral("\\DefaultIcon"), KEY_ALL_ACCESS);
    if (!defaultIcon) return;
    // An icon another program set after us stays.
    QString current;
    ReadSz(defaultIcon.get(), nullptr, &current);
    if (!NamesPlayer(current)) return;
    if (extension == QLatin1String(".zol")) {
        defaultIcon.Close();
        RegKey typeKey = OpenClass(type, KEY_ALL_ACCESS);
        if (typeKey) RegDeleteKey(typeKey.get(), "DefaultIcon");
        return;
    }
    QString previous;
    if (!ReadSz(defaultIcon.get(), kBackup, &previous) || NamesPlayer(previous)) return;
    RegWriteString(defaultIcon.get(), nullptr, previous);
    RegDeleteValue(defaultIcon.get(), kBackup);
}

int TypeIconIndex(const QString& extension)
{
    RegKey ext = OpenClass(extension, KEY_READ);
    QString type, text;
    if (!ext || !ReadSz(ext.get(), nullptr, &type)) return 0;
    RegKey defaultIcon = OpenClass(type + QStringLiteral("\\DefaultIcon"), KEY_READ);
    if (!defaultIcon || !ReadSz(defaultIcon.get(), nullptr, &text) || !NamesPlayer(text)) return 0;
    return text.section(QLatin1Char(','), -1).toInt() == 2 ? 2 : 1;
}

}  // namespace zoset
