// The folder of one disc in the per-user "Bookmark" folder and the names in
// it: the disc name read from the volume's path, the folder's name, the
// bookmark files and their menu captions, and the lines of "Repeat.rsm".
// Pure text rules: the window (ZoDvdResume.cpp) and the bookmark window both
// use them.
//
// Bookmark files are named "T<title>P<hhmmss>N<note>.bmk" (the title as two
// digits below 100); the menu shows them as "<title> <hh:mm:ss> <note>" and
// the two forms turn into each other exactly. A menu tag is
// title x 1,000,000 + hours x 10,000 + minutes x 100 + seconds.
#pragma once

#include "platform/dvd/navigator.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace dvdfolder {

inline constexpr char kResumeFileName[] = "Resume.rsm";
inline constexpr char kRepeatFileName[] = "Repeat.rsm";
// The one stream of the resume and bookmark files.
inline constexpr char kStreamName[] = "ZoravelBookmarks";
// The longest file or folder name the file system takes, in bytes.
inline constexpr int kMaxNameBytes = 255;
// "Repeat.rsm" is a short list; a longer file or line is no list of ours.
inline constexpr qint64 kMaxRepeatFileBytes = 1024 * 1024;
inline constexpr int kMaxRepeatLineChars = 1024;

// Whether a single name component fits the file system.
bool NameFits(const QString& name);

// "<disc name>_<identifier in lower-case hexadecimal without leading zeros>".
QString DiscFolderName(const QString& discName, std::uint64_t discId);
// The disc folder below `bookmarkRoot` (which ends with "/"), ending with
// "/"; empty when its name does not fit.
QString DiscFolderPath(const QString& bookmarkRoot, const QString& discName, std::uint64_t discId);

// The disc name from the volume's folder: the folder above a "VIDEO_TS"
// folder (compared without regard to case), else the folder itself; its last
// component, or `volumeLabel` when the folder is the root of a disc
// (`isDiscRoot`) or of the file system; blanks become "_"; "E" when empty.
QString DiscNameFromDirectory(const QString& directory, const QString& volumeLabel,
                              const std::function<bool(const QString&)>& isDiscRoot);

// "T07P010203N.bmk" for title 7 at 1:02:03.
QString BookmarkFileName(ULONG title, const dvd::HmsfTime& time);
std::int64_t BookmarkTag(int title, int hours, int minutes, int seconds);

struct TBookmarkItem {
    QString caption;
    std::int64_t tag = 0;
};
// The menu item of a bookmark file name; none for a name that does not follow
// the pattern (only the final ".bmk" is taken off; the note may hold
// anything, "." included).
std::optional<TBookmarkItem> BookmarkItemFromFileName(const QString& fileName);
// The file name of a menu caption made by BookmarkItemFromFileName; empty
// for a caption that is not of that form.
QString FileNameFromCaption(const QString& caption);

// One repeat section of a disc: "<title>/<name>/<start>/<end>", the start
// and end as the section menu's items hold them.
struct TDvdSection {
    int title = 0;
    QString name;
    int start = 0;
    int end = 0;
    bool operator==(const TDvdSection&) const = default;
};
// A line split at its three "/"; none for a line that does not fit (not
// exactly three "/", an empty name, numbers out of range, too long).
std::optional<TDvdSection> ParseSectionLine(const QString& line);
QString SectionLine(const TDvdSection& section);
// The lines of the file's text (a final line end or a carriage return before
// it taken off).
QStringList SplitLines(const QByteArray& text);
// The sections of `title` in the file's lines, in file order.
std::vector<TDvdSection> SectionsOfTitle(const QStringList& lines, int title);
// The file's lines with those of `title` replaced by `sections`: lines of
// other titles and lines that are not sections stay as they are.
QStringList ReplaceSectionsOfTitle(const QStringList& lines, int title, const std::vector<TDvdSection>& sections);

}  // namespace dvdfolder
