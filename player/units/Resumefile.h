// The last play list and the resume point: "LastList.zol" (the list, one
// path a line) and the profile file "Resume.rsm" in the ListFiles folder.
//
// "Resume.rsm" holds two sections of decimal values: "SpecificFile" with
// "FileName" (the one file whose position is kept, named by the options),
// "Index" and "Position", and "ResumeFile" with "Index" and "Position".
// Positions are tenths of a second. Both files are replaced whole through
// the state-file writer, so a failed or interrupted save keeps the previous
// ones. No window: the main window gathers what is saved and acts on what
// is loaded.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace resume {

inline constexpr char kListFileName[] = "LastList.zol";
inline constexpr char kProfileFileName[] = "Resume.rsm";

// Which of the two kinds of resume are on (the `Main` settings of the same names).
struct TModes {
    bool ResumeFile = false;
    bool OpenSpecificFile = false;
};

// What a save keeps.
struct TSnapshot {
    QStringList Paths;            // the play list's entries in list order (not the shuffle order)
    int ListIndex = 0;
    QString OpenedPath;           // the path of the open item
    std::int64_t Position = 0;    // tenths of a second
};

enum class SaveResult {
    Saved,
    NotTheSpecificFile,   // OpenSpecificFile on and another file is open: nothing was written
    NothingOn,            // neither mode is on
    ListNotWritten,       // "LastList.zol" could not be written; its index and position were kept
    ProfileNotWritten,    // "Resume.rsm" could not be written (or read first): it was kept
};

// What a load found.
struct TResumePoint {
    bool Found = false;            // "Resume.rsm" exists
    QString SpecificFile;          // "FileName" (with OpenSpecificFile on)
    int ListIndex = 0;             // the stored index (not yet checked against the list)
    std::int64_t Position = 0;     // tenths of a second; never negative
    QString ListPath;              // "LastList.zol" when ResumeFile is on and it exists, else empty
};

class TResumeFiles {
public:
    // `folder` is the ListFiles folder (with or without its final "/").
    explicit TResumeFiles(const QString& folder);
    QString ListPath() const { return folder_ + QLatin1String(kListFileName); }
    QString ProfilePath() const { return folder_ + QLatin1String(kProfileFileName); }

    // With OpenSpecificFile on, the position of the specific file when it is
    // the open one (another open file stops the save before anything is
    // written); with ResumeFile on, the list, then its index and position.
    // The index and position of the list are written only once the list is:
    // they never point into a list that was not saved.
    SaveResult Save(const TSnapshot& snapshot, const TModes& modes) const;

    // Reads what the modes ask for; with both on, the list's index and
    // position win over the specific file's. Missing values read as 0.
    TResumePoint Load(const TModes& modes) const;

    // The index to resume at in a list of `count` entries: one outside the
    // list (a list that changed since the save, a value edited by hand) is 0.
    static int ValidIndex(int stored, int count);

private:
    QString folder_;
};

}  // namespace resume
