// Saving and loading the last list and the resume point in a temp folder:
// each branch of both modes, files that cannot be written, and writers
// killed in the middle of their saves.
#include "units/Resumefile.h"
#include "units/Creadlist.h"

#include "platform/profile/profile.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace resume;
using testutil::IsolatedHome;

namespace {

class ResumeFiles : public ::testing::Test {
protected:
    IsolatedHome home;
    TResumeFiles files{home.File("ListFiles")};
    QString Folder() const { return home.File("ListFiles"); }
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(Folder())); }
    QString Profile() const { return QString::fromUtf8(testutil::ReadFile(files.ProfilePath())); }
    QByteArray List() const { return testutil::ReadFile(files.ListPath()); }
};

TSnapshot Snapshot(int index, std::int64_t position, const QString& opened = QStringLiteral("/m/c.wav"))
{
    return {{"/m/a.wav", "/m/b.wav", "/m/c.wav", "/m/d e.wav"}, index, opened, position};
}

TEST_F(ResumeFiles, SavesTheListAndItsPointAsTheModesSay)
{
    EXPECT_EQ(files.Save(Snapshot(2, 655), {}), SaveResult::NothingOn);
    EXPECT_FALSE(QFile::exists(files.ProfilePath()));

    // The list alone.
    EXPECT_EQ(files.Save(Snapshot(2, 655), {true, false}), SaveResult::Saved);
    EXPECT_EQ(List(), "/m/a.wav\n/m/b.wav\n/m/c.wav\n/m/d e.wav\n");
    EXPECT_EQ(Profile(), "[ResumeFile]\nIndex=2\nPosition=655\n");

    // The specific file: another file open writes nothing at all, not even the list.
    ASSERT_EQ(profile::WriteProfileString(files.ProfilePath(), "SpecificFile", "FileName", "/m/b.wav"), 0);
    const QString before = Profile();
    TSnapshot other = Snapshot(0, 10);
    other.Paths = QStringList{"/m/new.wav"};
    EXPECT_EQ(files.Save(other, {true, true}), SaveResult::NotTheSpecificFile);
    EXPECT_EQ(Profile(), before);
    EXPECT_EQ(List(), "/m/a.wav\n/m/b.wav\n/m/c.wav\n/m/d e.wav\n");

    // The specific file open: both sections, the options' own key untouched.
    EXPECT_EQ(files.Save(Snapshot(1, 42, "/m/b.wav"), {true, true}), SaveResult::Saved);
    EXPECT_EQ(Profile(), "[ResumeFile]\nIndex=1\nPosition=42\n"
                         "[SpecificFile]\nFileName=/m/b.wav\nIndex=1\nPosition=42\n");
    // Specific file only: the list's point stays.
    EXPECT_EQ(files.Save(Snapshot(3, 7, "/m/b.wav"), {false, true}), SaveResult::Saved);
    EXPECT_EQ(Profile(), "[ResumeFile]\nIndex=1\nPosition=42\n"
                         "[SpecificFile]\nFileName=/m/b.wav\nIndex=3\nPosition=7\n");
}

TEST_F(ResumeFiles, FilesThatCannotBeWrittenKeepWhatTheyHeld)
{
    ASSERT_EQ(files.Save(Snapshot(2, 420), {true, false}), SaveResult::Saved);
    const QString profile = Profile();

    // The list cannot be replaced: its point is not moved to a list that was not saved.
    const QString list = files.ListPath();
    ASSERT_TRUE(QFile::remove(list));
    ASSERT_TRUE(QDir().mkpath(list));
    EXPECT_EQ(files.Save(Snapshot(0, 1), {true, false}), SaveResult::ListNotWritten);
    EXPECT_EQ(Profile(), profile);
    ASSERT_TRUE(QDir(list).removeRecursively());

    // A profile that cannot be read is not written over; nothing else is written either.
    const QString saved = files.ProfilePath();
    ASSERT_TRUE(QFile::remove(saved));
    ASSERT_TRUE(QDir().mkpath(saved));
    EXPECT_EQ(files.Save(Snapshot(0, 1), {true, false}), SaveResult::ProfileNotWritten);
    EXPECT_FALSE(QFile::exists(list));
    EXPECT_TRUE(QFileInfo(saved).isDir());
    EXPECT_FALSE(files.Load({true, true}).Found);
}

TEST_F(ResumeFiles, LoadsWhatTheModesAskFor)
{
    EXPECT_FALSE(files.Load({true, true}).Found);

    ASSERT_TRUE(testutil::WriteFile(files.ProfilePath(), "[SpecificFile]\nfilename=/m/b.wav\nIndex=1\nPosition=70\n"
                                                         "[RESUMEFILE]\nindex=3\nposition=655"));
    // The list's point wins over the specific file's; the list only when it exists.
    TResumePoint both = files.Load({true, true});
    EXPECT_TRUE(both.Found);
    EXPECT_EQ(both.SpecificFile, "/m/b.wav");
    EXPECT_EQ(both.ListIndex, 3);
    EXPECT_EQ(both.Position, 655);
    EXPECT_TRUE(both.ListPath.isEmpty());
    ASSERT_TRUE(WritePlayListFile(files.ListPath(), {"/m/a.wav"}));
    EXPECT_EQ(files.Load({true, false}).ListPath, files.ListPath());
    EXPECT_TRUE(files.Load({true, false}).SpecificFile.isEmpty());

    const TResumePoint specific = files.Load({false, true});
    EXPECT_EQ(specific.ListIndex, 1);
    EXPECT_EQ(specific.Position, 70);
    EXPECT_TRUE(specific.ListPath.isEmpty());

    // Missing values are 0, a negative position is 0, an index past int is
    // outside every list; the index is checked against the list it is used for.
    ASSERT_TRUE(testutil::WriteFile(files.ProfilePath(), "[ResumeFile]\nPosition=-30\nIndex=99999999999\n"));
    const TResumePoint odd = files.Load({true, false});
    EXPECT_EQ(odd.Position, 0);
    EXPECT_EQ(TResumeFiles::ValidIndex(odd.ListIndex, 4), 0);
    ASSERT_TRUE(testutil::WriteFile(files.ProfilePath(), "[ResumeFile]\n"));
    EXPECT_EQ(files.Load({true, false}).ListIndex, 0);
    EXPECT_EQ(files.Load({true, false}).Position, 0);
    for (auto [stored, count, valid] : {std::tuple{2, 4, 2}, {3, 4, 3}, {4, 4, 0}, {10, 4, 0}, {-1, 4, 0}, {0, 0, 0}})
        EXPECT_EQ(TResumeFiles::ValidIndex(stored, count), valid) << stored << " of " << count;
}

// Writers killed at random moments of their saves: each file is always one
// whole version, never a mixture or a part.
TEST_F(ResumeFiles, AKilledSaveLeavesWholeFiles)
{
    TSnapshot first = Snapshot(1, 100);
    TSnapshot second = Snapshot(2, 200);
    for (int i = 0; i < 3000; ++i) {
        first.Paths.append(QStringLiteral("/m/first/%1.wav").arg(i));
        second.Paths.append(QStringLiteral("/m/second/%1.wav").arg(i));
    }
    ASSERT_EQ(files.Save(first, {true, false}), SaveResult::Saved);
    const QByteArray firstList = List();
    const QString firstProfile = Profile();
    ASSERT_EQ(files.Save(second, {true, false}), SaveResult::Saved);
    const QByteArray secondList = List();
    const QString secondProfile = Profile();

    // Kills at spread-out moments until some have landed inside a save
    // (their temporaries are left behind); a slow build takes more tries.
    auto landed = [&] { return !QDir(Folder()).entryList({".*.tmp"}, QDir::Hidden | QDir::Files).isEmpty(); };
    for (int kill = 0; kill < 60 || (!landed() && kill < 600); ++kill) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(ready[0]);
            for (int n = 0;; ++n) {
                files.Save(n % 2 ? first : second, {true, false});
                if (n == 0 && write(ready[1], "r", 1) != 1) _exit(1);
            }
        }
        close(ready[1]);
        char c;
        ASSERT_EQ(read(ready[0], &c, 1), 1);
        close(ready[0]);
        usleep(static_cast<useconds_t>(kill * 7919 % 30000));
        ::kill(pid, SIGKILL);
        ASSERT_EQ(waitpid(pid, nullptr, 0), pid);
        const QByteArray list = List();
        EXPECT_TRUE(list == firstList || list == secondList) << "list of " << list.size() << " bytes";
        const QString profile = Profile();
        EXPECT_TRUE(profile == firstProfile || profile == secondProfile) << profile.toStdString();
    }
    EXPECT_TRUE(landed());
}

}  // namespace
