// Folder intake: sub-folder scan order, links, media files of one folder.
#include "support/test_util.h"
#include "units/Folderscan.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <dirent.h>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

class FolderScanTest : public ::testing::Test {
protected:
    QString Path(const QString& relative) const { return root_.path() + "/" + relative; }
    void Folder(const QString& relative) { ASSERT_TRUE(QDir().mkpath(Path(relative))); }
    void File(const QString& relative) { ASSERT_TRUE(testutil::WriteFile(Path(relative), "x")); }

    QStringList Paths(const QStringList& relative) const
    {
        QStringList paths;
        for (const QString& r : relative) paths << Path(r);
        return paths;
    }

    QTemporaryDir root_;
};

}  // namespace

TEST_F(FolderScanTest, SubFoldersComeDepthFirstEachBeforeItsOwn)
{
    for (const char* f : {"a/a1/a11", "a/a1/a12", "a/a2", "b", "c/c1/c11/c111", "d.avi"}) Folder(f);
    for (const char* f : {"x.avi", "a/y.mp3", "a/a1/z.mp3", "c/c1/w"}) File(f);
    const QStringList expected = Paths({"a", "a/a1", "a/a1/a11", "a/a1/a12", "a/a2", "b", "c", "c/c1", "c/c1/c11",
                                        "c/c1/c11/c111", "d.avi"});
    EXPECT_EQ(ScanFolder(root_.path(), nullptr), expected);
    EXPECT_EQ(ScanFolder(root_.path() + "/", [] { return true; }), expected);   // a trailing "/" changes nothing
    EXPECT_TRUE(ScanFolder(Path("b"), nullptr).isEmpty());
    EXPECT_TRUE(ScanFolder(Path("x.avi"), nullptr).isEmpty());
    EXPECT_TRUE(ScanFolder(Path("none"), nullptr).isEmpty());
}

// Names come as the user's locale orders them, numbers as numbers, whatever
// order the file system keeps; sub-folders likewise.
TEST_F(FolderScanTest, EntriesComeInTheLocalesNameOrder)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    for (const char* f : {"track10.mp3", "Track1.mp3", "track2.mp3", "track1.mp3", "eb.mp3", "\xC3\xA9" "a.mp3",
                          "10.mp3", "9.mp3"})
        File(f);
    for (const char* f : {"disc10", "disc2", "Disc1", "disc2/b", "disc2/a10", "disc2/a9"}) Folder(f);
    EXPECT_EQ(FolderMediaFiles(root_.path(), true, "*.mp3"),
              Paths({"9.mp3", "10.mp3", QString::fromUtf8("\xC3\xA9" "a.mp3"), "eb.mp3", "track1.mp3",
                     "Track1.mp3", "track2.mp3", "track10.mp3"}));
    EXPECT_EQ(ScanFolder(root_.path(), nullptr),
              Paths({"Disc1", "disc2", "disc2/a9", "disc2/a10", "disc2/b", "disc10"}));

    // A large folder starts with its first name, not with what the file
    // system happens to hand out first.
    for (int i = 9999; i >= 0; --i) File(QString("many/track%1.avi").arg(i, 5, 10, QChar('0')));
    const QStringList many = FolderMediaFiles(Path("many"), true, "*.avi");
    ASSERT_EQ(many.size(), 10000);
    EXPECT_EQ(many.front(), Path("many/track00000.avi"));
    EXPECT_EQ(many[4122], Path("many/track04122.avi"));
    EXPECT_EQ(many.back(), Path("many/track09999.avi"));
    QLocale::setDefault(before);
}

TEST_F(FolderScanTest, StopsWhenAskedBetweenEntries)
{
    for (int i = 0; i < 20; ++i) Folder(QString("f%1").arg(i));
    int calls = 0;
    const QStringList found = ScanFolder(root_.path(), [&calls] { return ++calls < 5; });
    EXPECT_EQ(calls, 5);
    EXPECT_EQ(found.size(), 4);
}

TEST_F(FolderScanTest, LinksAreFollowedOnceAndLoopsEnd)
{
    QTemporaryDir outside;
    ASSERT_TRUE(QDir().mkpath(outside.path() + "/inner"));
    Folder("a/b");
    ASSERT_TRUE(QFile::link(root_.path(), Path("a/b/up")));        // back to the root
    ASSERT_TRUE(QFile::link(Path("a"), Path("a/b/again")));         // back into a folder being scanned
    ASSERT_TRUE(QFile::link(outside.path(), Path("a/out1")));       // elsewhere, twice
    ASSERT_TRUE(QFile::link(outside.path(), Path("out2")));
    ASSERT_TRUE(QFile::link(Path("missing"), Path("dangling")));
    const QStringList found = ScanFolder(root_.path(), nullptr);
    EXPECT_TRUE(found.contains(Path("a")));
    EXPECT_TRUE(found.contains(Path("a/b")));
    EXPECT_FALSE(found.contains(Path("a/b/up")));
    EXPECT_FALSE(found.contains(Path("a/b/again")));
    EXPECT_FALSE(found.contains(Path("dangling")));
    // The outside folder is entered through one of its two links only.
    const int viaOut1 = int(found.contains(Path("a/out1"))) + int(found.contains(Path("out2")));
    EXPECT_EQ(viaOut1, 1);
    EXPECT_EQ(found.filter("/inner").size(), 1);
    EXPECT_EQ(found.size(), 4);
}

TEST_F(FolderScanTest, MediaFilesOfOneFolder)
{
    for (const char* f : {"a.avi", "b.MPG", "c.txt", "noext", "VIDEO_TS.IFO", "d.mp3", "sub/e.avi", "f.tar.gz"}) File(f);
    Folder("movie.avi");   // a folder is never an entry
    ASSERT_TRUE(QFile::link(Path("movie.avi"), Path("linked.mpg")));
    ASSERT_TRUE(QFile::link(Path("a.avi"), Path("alias.avi")));
    const QString list = "*.avi;*.mpg;*.mp3;*.ifo;*.gz";

    EXPECT_EQ(FolderMediaFiles(root_.path(), true, list), Paths({"a.avi", "alias.avi", "b.MPG", "d.mp3", "f.tar.gz"}));
    EXPECT_EQ(FolderMediaFiles(root_.path() + "/", true, list), FolderMediaFiles(root_.path(), true, list));
    // From a file: its folder, without the file itself.
    EXPECT_EQ(FolderMediaFiles(Path("d.mp3"), false, list),
              Paths({"a.avi", "alias.avi", "b.MPG", "f.tar.gz"}));
    // Extensions of the list are compared exactly: an upper-case item matches nothing.
    EXPECT_TRUE(FolderMediaFiles(root_.path(), true, "*.AVI").isEmpty());
    EXPECT_TRUE(FolderMediaFiles(root_.path(), true, "").isEmpty());
    EXPECT_TRUE(FolderMediaFiles(Path("none"), true, list).isEmpty());
}

TEST_F(FolderScanTest, ShortcutsAreTakenAsTheirTargets)
{
    QTemporaryDir other;
    const QString target = other.path() + "/song.mp3";
    ASSERT_TRUE(testutil::WriteFile(target, "x"));
    File("plain.mp3");
    ASSERT_TRUE(testutil::WriteFile(Path("song.desktop"),
                                    "[Desktop Entry]\nType=Link\nName=song\nURL=file://" + target.toUtf8() + "\n"));
    ASSERT_TRUE(testutil::WriteFile(Path("gone.desktop"),
                                    "[Desktop Entry]\nType=Link\nName=gone\nURL=file:///no/such/file.mp3\n"));
    ASSERT_TRUE(testutil::WriteFile(Path("folder.desktop"),
                                    "[Desktop Entry]\nType=Link\nName=f\nURL=file://" + other.path().toUtf8() + "\n"));
    ASSERT_TRUE(QFile::link(target, Path("song.lnk")));
    QStringList found = FolderMediaFiles(root_.path(), true, "*.mp3;*.desktop;*.lnk");
    found.sort();
    QStringList expected{Path("plain.mp3"), target, target};
    expected.sort();
    EXPECT_EQ(found, expected);
    // Without the shortcut extensions in the list they are not looked at.
    EXPECT_EQ(FolderMediaFiles(root_.path(), true, "*.mp3"), QStringList{Path("plain.mp3")});
}

TEST(ExtensionList, PreparedLikeTheDisplayedTypesText)
{
    EXPECT_EQ(ParseExtensionList("*.avi;*.mpg;*.mp3"), (QStringList{"avi", "mpg", "mp3"}));
    EXPECT_EQ(ParseExtensionList(".avi;;*.tar.gz;"), (QStringList{"avi", "tar", "gz"}));
    EXPECT_TRUE(ParseExtensionList("").isEmpty());
}
