// Folder intake: sub-folder scan order, links, media files of one folder.
#include "support/test_util.h"
#include "units/Folderscan.h"

#include <QDir>
#include <QFile>
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

    // The names of a folder in the order the file system hands them out.
    static QStringList Enumeration(const QString& folder)
    {
        QStringList names;
        DIR* dir = opendir(QFile::encodeName(folder).constData());
        while (const dirent* e = readdir(dir)) {
            const QByteArray name(e->d_name);
            if (name != "." && name != "..") names << QFile::decodeName(name);
        }
        closedir(dir);
        return names;
    }

    // The pre-order listing of a tree of real folders, siblings in
    // enumeration order.
    static void Expected(const QString& folder, QStringList* out)
    {
        for (const QString& name : Enumeration(folder)) {
            const QString path = folder + "/" + name;
            if (!QFileInfo(path).isDir() || QFileInfo(path).isSymLink()) continue;
            out->append(path);
            Expected(path, out);
        }
    }

    QTemporaryDir root_;
};

}  // namespace

TEST_F(FolderScanTest, SubFoldersComeDepthFirstEachBeforeItsOwn)
{
    for (const char* f : {"a/a1/a11", "a/a1/a12", "a/a2", "b", "c/c1/c11/c111", "d.avi"}) Folder(f);
    for (const char* f : {"x.avi", "a/y.mp3", "a/a1/z.mp3", "c/c1/w"}) File(f);
    QStringList expected;
    Expected(root_.path(), &expected);
    ASSERT_EQ(expected.size(), 11);
    EXPECT_EQ(ScanFolder(root_.path(), nullptr), expected);
    EXPECT_EQ(ScanFolder(root_.path() + "/", [] { return true; }), expected);   // a trailing "/" changes nothing
    EXPECT_TRUE(ScanFolder(Path("b"), nullptr).isEmpty());
    EXPECT_TRUE(ScanFolder(Path("x.avi"), nullptr).isEmpty());
    EXPECT_TRUE(ScanFolder(Path("none"), nullptr).isEmpty());
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

    auto inEnumerationOrder = [this](QStringList names) {
        QStringList ordered;
        for (const QString& name : Enumeration(root_.path()))
            if (names.contains(name)) ordered << root_.path() + "/" + name;
        return ordered;
    };
    EXPECT_EQ(FolderMediaFiles(root_.path(), true, list),
              inEnumerationOrder({"a.avi", "b.MPG", "d.mp3", "alias.avi", "f.tar.gz"}));
    EXPECT_EQ(FolderMediaFiles(root_.path() + "/", true, list), FolderMediaFiles(root_.path(), true, list));
    // From a file: its folder, without the file itself.
    EXPECT_EQ(FolderMediaFiles(Path("d.mp3"), false, list),
              inEnumerationOrder({"a.avi", "b.MPG", "alias.avi", "f.tar.gz"}));
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
