#include "platform/paths/paths.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

namespace {

using testutil::WriteFile;

TEST(PathsTest, ExtensionComesFromTheLastComponentOnly)
{
    EXPECT_EQ(GetFileExtension("/media/Movie.MPG"), "mpg");
    EXPECT_EQ(GetFileExtension("/media/archive.tar.GZ"), "gz");
    EXPECT_EQ(GetFileExtension("clip.rm"), "rm");
    EXPECT_EQ(GetFileExtension("http://host/stream/live.RMVB"), "rmvb");
    // Dots in folder names are no extension.
    EXPECT_EQ(GetFileExtension("/home/u/.config/x/README"), "");
    EXPECT_EQ(GetFileExtension("/srv/v1.2/track"), "");
    EXPECT_EQ(GetFileExtension("/media/folder.d/"), "");
    EXPECT_EQ(GetFileExtension("/home/u/.bashrc"), "bashrc");
    EXPECT_EQ(GetFileExtension("/media/name."), "");
    EXPECT_EQ(GetFileExtension(""), "");
    EXPECT_EQ(GetFileExtension("/media/ÄÖ.ÄVI"), "ävi");

    // The text from the last "." on may be 256 characters, not more.
    const QString longest = QString(255, QLatin1Char('A'));
    EXPECT_EQ(GetFileExtension("/f/x." + longest), longest.toLower());
    EXPECT_EQ(GetFileExtension("/f/x." + longest + "B"), "");
}

TEST(PathsTest, FolderAndNameParts)
{
    EXPECT_EQ(ExtractFileDir("/media/a/b.avi"), "/media/a");
    EXPECT_EQ(ExtractFileDir("/media/a/"), "/media/a");
    EXPECT_EQ(ExtractFileDir("/b.avi"), "/");
    EXPECT_EQ(ExtractFileDir("b.avi"), "");
    EXPECT_EQ(ExtractFileName("/media/a/b.avi"), "b.avi");
    EXPECT_EQ(ExtractFileName("b.avi"), "b.avi");
    EXPECT_EQ(ExtractFileName("/media/a/"), "");
}

TEST(PathsTest, ExistenceFollowsLinks)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("a.mp3");
    ASSERT_TRUE(WriteFile(file, "x"));
    ASSERT_TRUE(QFile::link(file, dir.filePath("link.mp3")));
    ASSERT_TRUE(QFile::link(dir.path(), dir.filePath("folderlink")));
    EXPECT_TRUE(IsExistingFile(file));
    EXPECT_TRUE(IsExistingFile(dir.filePath("link.mp3")));
    EXPECT_FALSE(IsExistingFile(dir.path()));
    EXPECT_FALSE(IsExistingFile(dir.filePath("missing")));
    EXPECT_FALSE(IsExistingFile(""));
    EXPECT_TRUE(IsExistingFolder(dir.path()));
    EXPECT_TRUE(IsExistingFolder(dir.filePath("folderlink")));
    EXPECT_FALSE(IsExistingFolder(file));
    EXPECT_FALSE(IsExistingFolder(""));
    // Cut at the zero these would name the file and the folder.
    EXPECT_FALSE(IsExistingFile(file + QChar(0) + "junk"));
    EXPECT_FALSE(IsExistingFolder(dir.path() + "/" + QChar(0)));
}

TEST(PathsTest, DataFoldersFollowTheEnvironment)
{
    testutil::IsolatedHome home;
    const QString own = home.File("data/");
    EXPECT_EQ(GetUserDataFolder(), own);
    EXPECT_TRUE(QFileInfo(own).isDir());
    EXPECT_EQ(GetListFilesFolder(), own + "ListFiles/");
    EXPECT_EQ(GetBookmarkFolder(), own + "Bookmark/");
    EXPECT_TRUE(QFileInfo(own + "ListFiles").isDir());
    EXPECT_TRUE(QFileInfo(own + "Bookmark").isDir());
    EXPECT_EQ(GetWindowsFolder(), home.File("config/"));

    const QByteArray savedXdg = qgetenv("XDG_DATA_HOME");
    qunsetenv("ZORAVEL_HOME");
    qputenv("XDG_DATA_HOME", home.File("xdg").toUtf8());
    EXPECT_EQ(GetUserDataFolder(), home.File("xdg/Zoravel/"));
    EXPECT_TRUE(QFileInfo(home.File("xdg/Zoravel")).isDir());
    // A relative value is not a base folder.
    qputenv("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(GetUserDataFolder(), QDir::homePath() + "/.local/share/Zoravel/");
    if (savedXdg.isNull()) qunsetenv("XDG_DATA_HOME");
    else qputenv("XDG_DATA_HOME", savedXdg);
}

TEST(PathsTest, SymbolicLinksResolveToTheirFinalTarget)
{
    QTemporaryDir dir;
    const QString root = QFileInfo(dir.path()).canonicalFilePath();
    QDir().mkpath(root + "/media/sub");
    ASSERT_TRUE(WriteFile(root + "/media/sub/film.avi", "x"));
    // A chain: absolute link -> relative link -> file.
    ASSERT_EQ(symlink("sub/film.avi", QFile::encodeName(root + "/media/rel.lnk").constData()), 0);
    ASSERT_EQ(symlink(QFile::encodeName(root + "/media/rel.lnk").constData(),
                      QFile::encodeName(root + "/first.lnk").constData()), 0);
    QString target;
    ASSERT_TRUE(ResolveShortcut(root + "/first.lnk", &target));
    EXPECT_EQ(target, root + "/media/sub/film.avi");

    // A link to a folder names the folder.
    ASSERT_EQ(symlink("media/sub", QFile::encodeName(root + "/folder.lnk").constData()), 0);
    ASSERT_TRUE(ResolveShortcut(root + "/folder.lnk", &target));
    EXPECT_EQ(target, root + "/media/sub");
    EXPECT_TRUE(IsExistingFolder(target));

    // A dangling link still names its target, which does not exist.
    ASSERT_EQ(symlink("gone.avi", QFile::encodeName(root + "/dangling.lnk").constData()), 0);
    ASSERT_TRUE(ResolveShortcut(root + "/dangling.lnk", &target));
    EXPECT_EQ(target, root + "/gone.avi");
    EXPECT_FALSE(IsExistingFile(target));

    // A loop resolves to nothing.
    ASSERT_EQ(symlink("loopB", QFile::encodeName(root + "/loopA").constData()), 0);
    ASSERT_EQ(symlink("loopA", QFile::encodeName(root + "/loopB").constData()), 0);
    EXPECT_FALSE(ResolveShortcut(root + "/loopA", &target));

    // Neither a link nor a link file, or missing.
    EXPECT_FALSE(ResolveShortcut(root + "/media/sub/film.avi", &target));
    EXPECT_FALSE(ResolveShortcut(root + "/media", &target));
    EXPECT_FALSE(ResolveShortcut(root + "/missing.lnk", &target));
}

TEST(PathsTest, LinkFilesResolveToTheirFileUrl)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    QString target;

    ASSERT_TRUE(WriteFile(root + "/url.desktop",
                          "# comment\n[Desktop Entry]\r\nName=映画\r\nType = Link\r\n"
                          "URL=file:///srv/my%20films/%E6%98%A0%E7%94%BB.mkv\r\n"));
    ASSERT_TRUE(ResolveShortcut(root + "/url.desktop", &target));
    EXPECT_EQ(target, QString::fromUtf8("/srv/my films/映画.mkv"));

    ASSERT_TRUE(WriteFile(root + "/host.desktop", "[Desktop Entry]\nType=Link\nURL=file://localhost/srv/a.mp3\n"));
    ASSERT_TRUE(ResolveShortcut(root + "/host.desktop", &target));
    EXPECT_EQ(target, "/srv/a.mp3");

    // Plain paths: absolute, with escapes, and relative to the link file.
    ASSERT_TRUE(WriteFile(root + "/plain.desktop", "[Desktop Entry]\nType=Link\nURL=/srv/a\\sb/../c.mp3\n"));
    ASSERT_TRUE(ResolveShortcut(root + "/plain.desktop", &target));
    EXPECT_EQ(target, "/srv/c.mp3");
    ASSERT_TRUE(WriteFile(root + "/rel.desktop", "[Desktop Entry]\nType=Link\nURL=sub/d.mp3\n"));
    ASSERT_TRUE(ResolveShortcut(root + "/rel.desktop", &target));
    EXPECT_EQ(target, QFileInfo(root).absoluteFilePath() + "/sub/d.mp3");

    // A symbolic link to a link file is a symbolic link: its target is the file.
    ASSERT_TRUE(QFile::link(root + "/url.desktop", root + "/alias"));
    ASSERT_TRUE(ResolveShortcut(root + "/alias", &target));
    EXPECT_EQ(target, QFileInfo(root + "/url.desktop").absoluteFilePath());

    const struct {
        const char* name;
        const char* text;
    } broken[] = {
        {"app.desktop", "[Desktop Entry]\nType=Application\nExec=/bin/true\nURL=file:///srv/a\n"},
        {"web.desktop", "[Desktop Entry]\nType=Link\nURL=http://example.org/a.mp3\n"},
        {"remote.desktop", "[Desktop Entry]\nType=Link\nURL=file://server/srv/a.mp3\n"},
        {"nourl.desktop", "[Desktop Entry]\nType=Link\n"},
        {"emptyurl.desktop", "[Desktop Entry]\nType=Link\nURL=\n"},
        {"othergroup.desktop", "[Desktop Action x]\nType=Link\nURL=/srv/a\n"},
        {"notgroup.desktop", "Type=Link\nURL=/srv/a\n"},
        {"binary.lnk", "L\0\0\0\x01\x14\x02\0"},
    };
    for (const auto& file : broken) {
        ASSERT_TRUE(WriteFile(root + "/" + file.name, QByteArray(file.text)));
        EXPECT_FALSE(ResolveShortcut(root + "/" + file.name, &target)) << file.name;
    }
}

bool SetLocalMtime(const QString& path, int year, int month, int day, int hour, int minute, int second)
{
    struct tm local = {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const time_t when = mktime(&local);
    struct timespec times[2] = {{when, 0}, {when, 0}};
    return utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

TEST(PathsTest, DosStampOfTheLastWriteTime)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("clip.mpg");
    ASSERT_TRUE(WriteFile(file, "x"));

    ASSERT_TRUE(SetLocalMtime(file, 2004, 7, 15, 13, 45, 31));
    const unsigned date2004 = (24u << 9) | (7u << 5) | 15u;
    const unsigned time2004 = (13u << 11) | (45u << 5) | 15u;   // seconds in steps of two
    EXPECT_EQ(GetFileDosDateTime(file), static_cast<int>((date2004 << 16) | time2004));

    // Late years set the top bit; the value is still a stamp, not -1.
    ASSERT_TRUE(SetLocalMtime(file, 2050, 12, 31, 23, 59, 59));
    const unsigned date2050 = (70u << 9) | (12u << 5) | 31u;
    const unsigned time2050 = (23u << 11) | (59u << 5) | 29u;
    EXPECT_EQ(GetFileDosDateTime(file), static_cast<int>((date2050 << 16) | time2050));

    // Before 1980 the earliest DOS stamp stands in.
    ASSERT_TRUE(SetLocalMtime(file, 1975, 3, 3, 3, 3, 3));
    EXPECT_EQ(GetFileDosDateTime(file), static_cast<int>(((1u << 5) | 1u) << 16));

    EXPECT_EQ(GetFileDosDateTime(dir.filePath("missing.mpg")), -1);
    EXPECT_EQ(GetFileDosDateTime(""), -1);
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(QFile::encodeName(file).constData(), 0), 0);
        EXPECT_EQ(GetFileDosDateTime(file), -1);
    }
    // A FIFO is stamped without waiting for a writer.
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_NE(GetFileDosDateTime(fifo), -1);
}

}  // namespace
