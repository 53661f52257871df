// Title of a new play-list entry.
#pragma once

#include <QString>

// The file name without its extension, or with it when showExtension is on.
// An MP3 file (shown without extension) takes its title from its tag: the
// tag title, then " - " and the artist when there is one; ID3v2 is read only
// with readId3v2. A path that ends in "/" (an address of a folder) is its
// own title.
QString MakeEntryTitle(const QString& path, bool showExtension, bool readId3v2);
