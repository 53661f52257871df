#include "units/Resumefile.h"

#include "platform/paths/paths.h"
#include "platform/files/statefile.h"
#include "platform/profile/profile.h"
#include "units/Creadlist.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace resume {

namespace {

const QString kSpecificSection = QStringLiteral("SpecificFile");
const QString kResumeSection = QStringLiteral("ResumeFile");
const QString kFileNameKey = QStringLiteral("FileName");
const QString kIndexKey = QStringLiteral("Index");
const QString kPositionKey = QStringLiteral("Position");

int ToIndex(std::int64_t value)
{
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) return -1;
    return static_cast<int>(value);
}

}  // namespace

TResumeFiles::TResumeFiles(const QString& folder) : folder_(folder)
{
    if (!folder_.isEmpty() && !folder_.endsWith(QLatin1Char('/'))) folder_ += QLatin1Char('/');
}

SaveResult TResumeFiles::Save(const TSnapshot& snapshot, const TModes& modes) const
{
    if (!modes.ResumeFile && !modes.OpenSpecificFile) return SaveResult::NothingOn;
    // Another window may save its point at the same time: the file is read,
    // changed and saved under its lock, so neither loses the other's section.
    const statefile::FileLock lock(QFile::encodeName(ProfilePath()).toStdString());
    profile::TProfile file;
    const int loaded = file.Load(ProfilePath());
    if (loaded != 0 && loaded != ENOENT) return SaveResult::ProfileNotWritten;
    if (modes.OpenSpecificFile) {
        if (file.ReadString(kSpecificSection, kFileNameKey) != snapshot.OpenedPath)
            return SaveResult::NotTheSpecificFile;
        file.WriteInteger(kSpecificSection, kIndexKey, snapshot.ListIndex);
        file.WriteInteger(kSpecificSection, kPositionKey, snapshot.Position);
    }
    bool listWritten = true;
    if (modes.ResumeFile) {
        listWritten = WritePlayListFile(ListPath(), snapshot.Paths);
        if (listWritten) {
            file.WriteInteger(kResumeSection, kIndexKey, snapshot.ListIndex);
            file.WriteInteger(kResumeSection, kPositionKey, snapshot.Position);
        }
    }
    if (file.Save(ProfilePath()) != 0) return SaveResult::ProfileNotWritten;
    return listWritten ? SaveResult::Saved : SaveResult::ListNotWritten;
}

TResumePoint TResumeFiles::Load(const TModes& modes) const
{
    TResumePoint point;
    profile::TProfile file;
    if (file.Load(ProfilePath()) != 0) return point;
    point.Found = true;
    std::int64_t index = 0;
    std::int64_t position = 0;
    if (modes.OpenSpecificFile) {
        point.SpecificFile = file.ReadString(kSpecificSection, kFileNameKey);
        index = profile::LeadingNumber(file.ReadString(kSpecificSection, kIndexKey));
        position = profile::LeadingNumber(file.ReadString(kSpecificSection, kPositionKey));
    }
    if (modes.ResumeFile) {
        index = profile::LeadingNumber(file.ReadString(kResumeSection, kIndexKey));
        position = profile::LeadingNumber(file.ReadString(kResumeSection, kPositionKey));
        if (IsExistingFile(ListPath())) point.ListPath = ListPath();
    }
    point.ListIndex = ToIndex(index);
    point.Position = std::max<std::int64_t>(position, 0);
    return point;
}

int TResumeFiles::ValidIndex(int stored, int count) { return stored >= 0 && stored < count ? stored : 0; }

}  // namespace resume
