// Title of a new play-list entry.
#include "Entrytitle.h"

#include "Ctag.h"
#include "platform/paths/paths.h"

QString MakeEntryTitle(const QString& path, bool showExtension, bool readId3v2)
{
    const QString name = ExtractFileName(path);
    if (name.isEmpty()) return path;
    if (showExtension) return name;

    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    QString base = dot > 0 ? name.left(dot) : name;
    if (GetFileExtension(path) != QLatin1String("mp3")) return base;
    if (path.contains(QLatin1String("://"))) return base;   // a stream address has no local tag

    CMP3Info info(false);
    if (!info.ReadTag(path, readId3v2) || info.tag.title.isEmpty()) return base;
    if (info.tag.artist.isEmpty()) return info.tag.title;
    return info.tag.title + QStringLiteral(" - ") + info.tag.artist;
}
