#include "platform/files/statefile.h"

#include "support/test_util.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <string>

namespace {

using testutil::IsolatedHome;

QStringList Temporaries(const QString& folder)
{
    QStringList found;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
        if (statefile::IsTemporaryName(name.toStdString())) found << name;
    }
    return found;
}

TEST(StateFile, ReplacesWholeKeepsModeAndFollowsLinks)
{
    IsolatedHome home;
    const std::string path = home.File("state.zol").toStdString();
    ASSERT_EQ(statefile::WriteAtomically(path, "first\n"), 0);
    EXPECT_EQ(testutil::ReadFile(home.File("state.zol")), "first\n");
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);

    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    const timespec when{1000000000, 5};
    statefile::WriteOptions options;
    options.mtime = &when;
    struct stat written;
    ASSERT_EQ(statefile::WriteAtomically(path, "second\n", options, &written), 0);
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_ino, written.st_ino);
    EXPECT_EQ(st.st_mtim.tv_sec, when.tv_sec);
    EXPECT_EQ(st.st_mtim.tv_nsec, when.tv_nsec);

    // A link stays a link; its target gets the new content.
    const std::string link = home.File("link.zol").toStdString();
    ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
    ASSERT_EQ(statefile::WriteAtomically(link, "third\n"), 0);
    struct stat lst;
    ASSERT_EQ(lstat(link.c_str(), &lst), 0);
    EXPECT_TRUE(S_ISLNK(lst.st_mode));
    EXPECT_EQ(testutil::ReadFile(home.File("state.zol")), "third\n");

    // A folder in the way, or a missing folder: the error, nothing written.
    ASSERT_TRUE(QDir().mkpath(home.File("folder.zol")));
    EXPECT_EQ(statefile::WriteAtomically(home.File("folder.zol").toStdString(), "x"), EISDIR);
    EXPECT_EQ(statefile::WriteAtomically(home.File("missing/state.zol").toStdString(), "x"), ENOENT);
    if (geteuid() != 0) {   // root may write anything
        ASSERT_EQ(chmod(path.c_str(), 0440), 0);
        EXPECT_EQ(statefile::WriteAtomically(path, "fourth\n"), EACCES);
        EXPECT_EQ(testutil::ReadFile(home.File("state.zol")), "third\n");
    }
    EXPECT_TRUE(Temporaries(home.Path()).isEmpty());
}

// Writers killed in the middle of their saves leave temporaries; the next
// start removes them, leaves those of writers that still run, and the target
// is always one whole version.
TEST(StateFile, TemporariesOfKilledWritersAreRemoved)
{
    IsolatedHome home;
    const std::string path = home.File("LastList.zol").toStdString();
    const std::string version(512 * 1024, 'v');
    ASSERT_EQ(statefile::WriteAtomically(path, version), 0);

    int leftBehind = 0;
    for (int kill = 0; kill < 200; ++kill) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(ready[0]);
            bool told = false;
            // Ready once a save has ended: from then on the writer is nearly
            // always inside a save, so the kill lands in one.
            for (;;) {
                statefile::WriteAtomically(path, version);
                if (!told) {
                    told = write(ready[1], "r", 1) == 1;
                }
            }
        }
        close(ready[1]);
        char c;
        ASSERT_EQ(read(ready[0], &c, 1), 1);
        close(ready[0]);
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        leftBehind = static_cast<int>(Temporaries(home.Path()).size());
    }
    EXPECT_GT(leftBehind, 0);   // the kills did land inside saves

    // A writer that runs: its temporary stays.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t live = fork();
    ASSERT_GE(live, 0);
    if (live == 0) {
        const std::string own = home.File(".LastList.zol." + QString::number(getpid()) + "-0.tmp").toStdString();
        const int fd = open(own.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        flock(fd, LOCK_EX);
        if (write(ready[1], "r", 1) != 1) _exit(1);
        pause();
        _exit(0);
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    // Names like ours that are not ours stay too.
    ASSERT_TRUE(testutil::WriteFile(home.File(".LastList.zol.backup"), "mine"));
    ASSERT_TRUE(testutil::WriteFile(home.File("notes.1-2.tmp"), "mine"));

    const int removed = statefile::RemoveStaleTemporaries(home.Path().toStdString());
    EXPECT_GE(removed, leftBehind);
    EXPECT_EQ(Temporaries(home.Path()),
              QStringList{".LastList.zol." + QString::number(live) + "-0.tmp"});
    EXPECT_EQ(testutil::ReadFile(home.File(".LastList.zol.backup")), "mine");
    EXPECT_EQ(testutil::ReadFile(home.File("notes.1-2.tmp")), "mine");
    EXPECT_EQ(testutil::ReadFile(QString::fromStdString(path)), QByteArray::fromStdString(version));

    ::kill(live, SIGKILL);
    waitpid(live, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_EQ(statefile::RemoveStaleTemporaries(home.Path().toStdString(), "Other.zol"), 0);
    EXPECT_EQ(statefile::RemoveStaleTemporaries(home.Path().toStdString(), "LastList.zol"), 1);
    EXPECT_TRUE(Temporaries(home.Path()).isEmpty());
}

}  // namespace
