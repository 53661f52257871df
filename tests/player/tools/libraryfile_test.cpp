// The registration lists read back what was written, whatever the names,
// paths and line ends, and the editing writes change only the line meant.
#include "player/tools/LibraryFile.h"
#include "support/test_util.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

// Readable entries in failure messages.
void PrintTo(const TLibraryEntry& e, std::ostream* os)
{
    *os << "{" << e.Name.toStdString() << " | " << e.Path.toStdString() << "}";
}

namespace {

using Entries = std::vector<TLibraryEntry>;

TEST(LibraryFile, ReadsEveryLineFormAndWritesNamesWithoutTheSeparator)
{
    testutil::IsolatedHome home;
    const TLibraryFile file = TLibraryFile::InListFiles(TLibraryFile::kLibrary);
    const QString folder = QFileInfo(file.Path()).absolutePath();

    // Missing file and folder: nothing, and reading makes no folder.
    EXPECT_TRUE(file.Read().empty());
    EXPECT_FALSE(file.Remove({QStringLiteral("a"), QStringLiteral("/a")}));
    EXPECT_FALSE(file.Replace({QStringLiteral("a"), QStringLiteral("/a")}, {QStringLiteral("b"), QStringLiteral("/a")}));
    EXPECT_FALSE(QFileInfo::exists(folder));

    // A file copied from elsewhere: CR LF ends, empty lines, no final end,
    // a line without "?", a path with "?" after the name's end.
    ASSERT_TRUE(testutil::WriteFile(file.Path(), QByteArray("曲?/m/song.mp3\r\n\r\n/m/plain.ogg\n\n"
                                                           "net?http://host/x?id=1\r\nlast?/m/last.wav")));
    const Entries read = file.Read();
    const Entries expected = {
        {QStringLiteral("曲"), QStringLiteral("/m/song.mp3")},
        {QStringLiteral("/m/plain.ogg"), QStringLiteral("/m/plain.ogg")},
        {QStringLiteral("net"), QStringLiteral("http://host/x?id=1")},
        {QStringLiteral("last"), QStringLiteral("/m/last.wav")},
    };
    EXPECT_EQ(read, expected);

    // Appending after a last line without its end starts a line of its own;
    // a name's "?" is stored as "？", so the path's own "?" survives.
    ASSERT_TRUE(file.Append({QStringLiteral("what?"), QStringLiteral("/m/a?b.mp3")}));
    Entries after = expected;
    after.push_back({QStringLiteral("what？"), QStringLiteral("/m/a?b.mp3")});
    EXPECT_EQ(file.Read(), after);
    EXPECT_TRUE(testutil::ReadFile(file.Path()).endsWith("last?/m/last.wav\nwhat？?/m/a?b.mp3\n"));

    // A line end cannot be part of an entry.
    EXPECT_FALSE(file.Append({QStringLiteral("x"), QStringLiteral("/m/a\nb")}));
    EXPECT_EQ(file.Read(), after);
}

TEST(LibraryFile, EditsChangeTheFirstEqualLineOnlyComparedWithCase)
{
    testutil::IsolatedHome home;
    const TLibraryFile file = TLibraryFile::InListFiles(TLibraryFile::kFolderLibrary);
    const TLibraryEntry a{QStringLiteral("A"), QStringLiteral("/m/Dir")};
    const TLibraryEntry lower{QStringLiteral("A"), QStringLiteral("/m/dir")};
    const TLibraryEntry b{QStringLiteral("B"), QStringLiteral("/m/b")};

    // Append makes the folder and the file.
    for (const TLibraryEntry& e : {a, b, lower, a}) ASSERT_TRUE(file.Append(e));
    EXPECT_EQ(file.Read(), (Entries{a, b, lower, a}));

    // Rename: the first equal line only; the case-different path is another entry.
    const TLibraryEntry renamed{QStringLiteral("Renamed?"), a.Path};
    ASSERT_TRUE(file.Replace(a, renamed));
    const TLibraryEntry stored{QStringLiteral("Renamed？"), a.Path};
    EXPECT_EQ(file.Read(), (Entries{stored, b, lower, a}));
    // Renaming what no line holds (edited by hand meanwhile) changes nothing.
    EXPECT_FALSE(file.Replace({QStringLiteral("A"), QStringLiteral("/m/gone")}, b));

    // Remove by content: first equal line; the renamed entry is found by what it is written as.
    ASSERT_TRUE(file.Remove(a));
    EXPECT_EQ(file.Read(), (Entries{stored, b, lower}));
    ASSERT_TRUE(file.Remove(renamed));
    EXPECT_FALSE(file.Remove({QStringLiteral("a"), QStringLiteral("/m/dir")}));
    EXPECT_EQ(file.Read(), (Entries{b, lower}));

    // Remove by position, then a whole rewrite in a new order; no temporaries
    // stay (the changes' lock file does, as for every state file).
    EXPECT_FALSE(file.RemoveAt(2));
    ASSERT_TRUE(file.RemoveAt(0));
    EXPECT_EQ(file.Read(), (Entries{lower}));
    ASSERT_TRUE(file.Rewrite({b, a, lower}));
    EXPECT_EQ(file.Read(), (Entries{b, a, lower}));
    EXPECT_EQ(QDir(QFileInfo(file.Path()).absolutePath()).entryList(QDir::Files | QDir::Hidden),
              QStringList({QStringLiteral(".FolderLib.zorf.lock"), QStringLiteral("FolderLib.zorf")}));
}

TEST(LibraryFile, PlayersChangingOneListTogetherLoseNoEntry)
{
    // One player registers entries while another renames an entry again and
    // again (each rename rewrites the file): every registration stays.
    testutil::IsolatedHome home;
    const TLibraryFile file = TLibraryFile::InListFiles(TLibraryFile::kLibrary);
    const TLibraryEntry a{QStringLiteral("a"), QStringLiteral("/m/a.mp3")};
    const TLibraryEntry b{QStringLiteral("b"), QStringLiteral("/m/a.mp3")};
    ASSERT_TRUE(file.Append(a));
    constexpr int kEntries = 200;
    const pid_t renamer = fork();
    ASSERT_GE(renamer, 0);
    if (renamer == 0) {
        for (int i = 0; i < kEntries; ++i) {
            if (!file.Replace(a, b)) file.Replace(b, a);
            else file.Replace(b, a);
        }
        _exit(0);
    }
    for (int i = 0; i < kEntries; ++i) ASSERT_TRUE(file.Append({QString::number(i), QStringLiteral("/m/%1.mp3").arg(i)}));
    int status = 0;
    ASSERT_EQ(waitpid(renamer, &status, 0), renamer);
    EXPECT_EQ(file.Read().size(), static_cast<size_t>(kEntries + 1));
}

}  // namespace
