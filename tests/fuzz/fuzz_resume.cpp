// "Resume.rsm" as the player reads and writes it: whatever the file holds,
// a load gives a position that is not negative and an index the list check
// keeps inside the list; a save over it keeps the other section and what it
// wrote reads back.
#include "units/Resumefile.h"

#include "fuzz_folder.h"

#include "platform/profile/profile.h"

#include <QFile>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

QString Folder() { return QString::fromLocal8Bit(FuzzFolder("fuzz_resume")); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 9) return 0;
    // Eight bytes choose the position and index saved; the rest is the file.
    std::int64_t position;
    std::memcpy(&position, data, sizeof position);
    position &= 0x7fffffffffffLL;   // tenths of a second: far beyond any clip
    const int index = data[8] % 5;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 9), static_cast<qsizetype>(size - 9));
    const resume::TResumeFiles files(Folder());
    QFile out(files.ProfilePath());
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    out.write(bytes);
    out.close();
    QFile::remove(files.ListPath());

    const resume::TModes both{true, true};
    for (const resume::TModes modes : {resume::TModes{true, false}, resume::TModes{false, true}, both}) {
        const resume::TResumePoint point = files.Load(modes);
        if (point.Position < 0) std::abort();
        for (int count : {0, 1, 7}) {
            const int valid = resume::TResumeFiles::ValidIndex(point.ListIndex, count);
            if (valid < 0 || (count > 0 && valid >= count)) std::abort();
        }
    }

    // Saved over the file: the specific file's section stays addressed to
    // the file it names, and the list's values read back.
    profile::TProfile before;
    if (before.Load(files.ProfilePath()) != 0) return 0;
    const resume::TResumePoint stored = files.Load(both);
    resume::TSnapshot snapshot;
    snapshot.Paths = {QStringLiteral("/media/a.avi"), QStringLiteral("/media/b.avi"), QStringLiteral("/media/c.avi"),
                      QStringLiteral("/media/d.avi"), QStringLiteral("/media/e.avi")};
    snapshot.ListIndex = index;
    snapshot.OpenedPath = stored.SpecificFile;
    snapshot.Position = position;
    const resume::SaveResult saved = files.Save(snapshot, both);
    if (saved != resume::SaveResult::Saved) return 0;
    const resume::TResumePoint back = files.Load(both);
    if (back.ListIndex != index || back.Position != position || back.ListPath != files.ListPath()) std::abort();
    if (files.Load(resume::TModes{false, true}).SpecificFile != stored.SpecificFile) std::abort();
    return 0;
}
