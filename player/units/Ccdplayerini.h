// The titles of one audio CD in "cdplayer.ini", the profile file in which CD
// players keep disc titles: one section per disc, named by the disc's serial
// number, with "artist", "title", "numtracks" and one key per track ("0",
// "1", ...). The file lies in the per-user data folder or, with the setting
// `SaveINIToWinFolder`, in $XDG_CONFIG_HOME; reading falls back to the other
// folder. Main thread.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

class CDinfo;

// The serial number the platform gives an audio CD, computed from its TOC:
// the sum of each track's start address packed as minutes x 65,536 +
// seconds x 256 + frames; a disc of fewer than three tracks adds the first
// track's frames field and the disc's length from the first track to the
// lead-out in frames. Titles that other players keep under it stay found.
std::uint32_t AudioCdSerialNumber(const CDinfo& info);

class CCDINI {
public:
    // Reads the disc's TOC from the drive for the section name (empty when
    // the TOC cannot be read: nothing is then read or written) and the
    // folder setting.
    explicit CCDINI(const QString& drive);

    // Number of titles read (at most 99); 0 when no file is found or the
    // disc has no section name.
    int Read();
    // Puts the disc's values into its section and saves the file once; 1
    // when saved. A value that cannot be stored saves nothing, so the
    // previous file stays whole.
    int Write();
    void AddTitle(const QString& text) { titles.append(text); }
    // The file's path in the Windows folder or beside the program; false
    // when that folder is unknown.
    static bool GetPath(QString* path, bool windowsFolder);

    bool inWindowsFolder = false;
    QString title;
    QString artist;
    QString section;
    QStringList titles;
    int numTracks = 0;
};
