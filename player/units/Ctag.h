// ID3 tag reader of MP3 files (version 2, else version 1), which can also
// measure an MP3 file's playing time by walking its frames.
#pragma once

#include <QByteArray>
#include <QString>

struct TAG_STRINGS {
    QString title;
    QString artist;
    QString album;
};

class CMP3Info {
public:
    explicit CMP3Info(bool readDuration);
    // True when a tag was found (a readable ID3v2 header with allowId3v2, or
    // an ID3v1 block); fills the strings and, when asked, the duration.
    // Every read is bounded by the file: a truncated or hostile tag yields
    // what lies inside it and nothing else.
    bool ReadTag(const QString& path, bool allowId3v2);

    int duration = 0;          // playing time in whole seconds, 0 until measured
    bool readDuration = false;
    TAG_STRINGS tag;
};
