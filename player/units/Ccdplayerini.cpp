// cdplayer.ini on the profile files.
#include "Ccdplayerini.h"

#include "Cdinfo.h"
#include "common/Cstrings.h"
#include "common/Reghelp.h"
#include "platform/paths/paths.h"
#include "platform/files/statefile.h"
#include "platform/profile/profile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace {

constexpr int kMaxTitles = 99;
// The values are read into buffers of 300 bytes, terminating zero included.
constexpr int kValueBytes = 299;

const QString kFileName = QStringLiteral("cdplayer.ini");

}  // namespace

std::uint32_t AudioCdSerialNumber(const CDinfo& info)
{
    std::uint32_t serial = 0;
    for (const auto& track : info.tracks) {
        const std::uint32_t m = track->start & 0xFF, s = (track->start >> 8) & 0xFF, f = (track->start >> 16) & 0xFF;
        serial += (m << 16) + (s << 8) + f;
    }
    if (!info.tracks.empty() && info.tracks.size() < 3) {
        const MciMsf first = info.tracks.front()->start;
        serial += (first >> 16) & 0xFF;
        serial += static_cast<std::uint32_t>(info.totalFrames - MciMsfToFrames(first));
    }
    return serial;
}

CCDINI::CCDINI(const QString& drive)
{
    CDinfo info;
    if (CASPI().ReadTocSpti(&info, drive)) section = QString::asprintf("%X", AudioCdSerialNumber(info));
    if (RegKey key = RegKey::Open(HKEY_CURRENT_USER, kMainKey, KEY_READ))
        inWindowsFolder = RegReadBool(key.get(), "SaveINIToWinFolder", false);
}

bool CCDINI::GetPath(QString* path, bool windowsFolder)
{
    const QString folder = windowsFolder ? GetWindowsFolder() : GetUserDataFolder();
    if (folder.isEmpty()) return false;
    *path = folder.endsWith(QLatin1Char('/')) ? folder + kFileName : folder + QLatin1Char('/') + kFileName;
    return true;
}

int CCDINI::Read()
{
    if (section.isEmpty()) return 0;
    QString path;
    if (!GetPath(&path, inWindowsFolder) || !IsExistingFile(path)) {
        if (!GetPath(&path, !inWindowsFolder) || !IsExistingFile(path)) return 0;
    }
    profile::TProfile file;
    if (file.Load(path) != 0) return 0;
    const QString unknown = QStringLiteral("不明");
    artist = CutUtf8(file.ReadString(section, QStringLiteral("artist"), unknown), kValueBytes);
    title = CutUtf8(file.ReadString(section, QStringLiteral("title"), unknown), kValueBytes);
    // A missing count reads no titles; a count beyond a disc's 99 tracks
    // reads no more than those.
    const std::int64_t count = file.ReadInteger(section, QStringLiteral("numtracks"), INT_MIN);
    numTracks = static_cast<int>(std::clamp<std::int64_t>(count, INT_MIN, INT_MAX));
    const int n = static_cast<int>(std::clamp<std::int64_t>(count, 0, kMaxTitles));
    for (int i = 0; i < n; ++i) {
        const QString fallback = QString::asprintf("TRACK %02d", i + 1);
        titles.append(CutUtf8(file.ReadString(section, QString::number(i), fallback), kValueBytes));
    }
    return static_cast<int>(titles.size());
}

int CCDINI::Write()
{
    if (section.isEmpty()) return 0;
    QString path;
    if (!GetPath(&path, inWindowsFolder)) return 0;
    // Other windows write their discs into the same file: each reads it,
    // changes its section and saves it under the file's lock.
    const statefile::FileLock lock(QFile::encodeName(path).toStdString());
    profile::TProfile file;
    const int loaded = file.Load(path);
    if (loaded != 0 && loaded != ENOENT) return 0;
    // Every value goes into the section in memory first; the file is saved
    // once, so a value that cannot be stored leaves the old file as it was.
    bool ok = file.WriteString(section, QStringLiteral("artist"), artist) &&
              file.WriteString(section, QStringLiteral("title"), title) &&
              file.WriteInteger(section, QStringLiteral("numtracks"), titles.size());
    for (qsizetype i = 0; ok && i < titles.size(); ++i)
        ok = file.WriteString(section, QString::number(i), titles[i]);
    if (!ok) return 0;
    return file.Save(path) == 0 ? 1 : 0;
}
