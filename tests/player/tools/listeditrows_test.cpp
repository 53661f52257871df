// The list editor's rows without a window: the lines of the lists it reads
// and how their paths resolve, WPL, saves read back by the player's reader
// and by the library's list-file class, lists behind symbolic links, moves
// with blocks at both ends, sorting and thinning.
#include "player/tools/LibraryFile.h"
#include "player/tools/ListEditRows.h"
#include "player/units/Creadlist.h"
#include "support/test_util.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Collect : IListSink {
    QStringList paths;
    void AddFileToList(const QString& path) override { paths << path; }
    void AddPathOrPlayList(const QString& path) override { paths << path; }
};

// An MP3 file with an ID3v1 tag at its end.
QByteArray Mp3With(const QByteArray& title, const QByteArray& artist)
{
    QByteArray tag("TAG");
    tag += title.leftJustified(30, '\0') + artist.leftJustified(30, '\0') + QByteArray(30 + 4 + 30 + 1, '\0');
    return QByteArray(512, '\xFF') + tag;
}

std::vector<int> Order(const TListEditRows& rows)
{
    std::vector<int> order;
    for (const TFileItem& item : rows.Items()) order.push_back(item.Title.toInt());
    return order;
}

class ListEditRowsTest : public ::testing::Test {
protected:
    QString Make(const QString& relative, const QByteArray& bytes = "x") const
    {
        const QString path = home.File(relative);
        testutil::WriteFile(path, bytes);
        return path;
    }
    // Rows titled "0" .. "n-1".
    static TListEditRows Numbered(int n)
    {
        TListEditRows rows(TListEditRows::kPlayList, false);
        for (int i = 0; i < n; ++i) rows.AddListItem(QStringLiteral("/n/%1").arg(i));
        return rows;
    }
    testutil::IsolatedHome home;
};

TEST_F(ListEditRowsTest, ListLinesResolveAgainstTheListsFolderAndMissingEntriesStayAsRows)
{
    const QString song = Make("l/song.mp3", Mp3With("Real Title", "Someone"));
    const QString up = Make("up.ogg");
    const QString sub = Make("l/sub/c.wav");
    const QString longName = QString(150, QLatin1Char('d')) + QStringLiteral("/") + QString(150, QLatin1Char('n')) + QStringLiteral(".ogg");
    Make("l/" + longName);
    const QByteArray lines = "#EXTM3U\n#EXTINF:12,Song\nsong.mp3\r\n..\\up.ogg\n\\\\server\\share\\x.mp3\n"
                             "\\sub\\c.wav\n\n/abs/none.mp3\nhttp://radio.example/live.mp3\n" +
                             longName.toUtf8() + "\n./gone.ogg\n";
    const QString m3u = Make("l/mix.m3u", lines);
    const QString zol = Make("l/mix.zol", lines);
    const QStringList expected = {song, up, sub, "/abs/none.mp3", "http://radio.example/live.mp3",
                                  home.File("l/" + longName), home.File("l/gone.ogg")};
    for (const QString& list : {m3u, zol}) {
        SCOPED_TRACE(list.toStdString());
        TListEditRows rows(TListEditRows::kPlayList, true);
        rows.AddPathByType(list);
        EXPECT_EQ(rows.Paths(), expected);
        ASSERT_EQ(rows.Count(), 7);
        // The tag gives title and artist; other rows are named by file.
        EXPECT_EQ(rows.Item(0).Title, "Real Title");
        EXPECT_EQ(rows.Item(0).Artist, "Someone");
        EXPECT_TRUE(rows.HasArtist);
        EXPECT_EQ(rows.Item(1).Title, "up");
        EXPECT_EQ(rows.Item(1).KindText, "ogg");
        std::vector<bool> missing;
        for (const TFileItem& item : rows.Items()) missing.push_back(item.Missing);
        EXPECT_EQ(missing, std::vector<bool>({false, false, false, true, true, false, true}));
    }
    // In the library modes a list file is an entry of its own.
    TListEditRows library(TListEditRows::kLibrary, true);
    library.AddPathByType(m3u);
    EXPECT_EQ(library.Paths(), QStringList({m3u}));
    EXPECT_EQ(library.Item(0).KindText, "m3u");
}

TEST_F(ListEditRowsTest, WplEntriesAreDecodedResolvedAndKeptOnlyWhenTheyExist)
{
    const QString amp = Make("w/R&B.mp3");
    const QString rel = Make("w/sub/b.ogg");
    const QString wpl = Make("w/list.wpl", "<?wpl version=\"1.0\"?>\n<smil><body><seq>\n"
                                           "  <media src=\"R&amp;B.mp3\"/>\n"
                                           "  <media src=\"sub\\b.ogg\" tid=\"{1}\"/>\n"
                                           "  <media src=\"gone.mp3\"/>\n"
                                           "  <media src=broken/>\n</seq></body></smil>\n");
    TListEditRows rows(TListEditRows::kPlayList, true);
    rows.AddPathByType(wpl);
    EXPECT_EQ(rows.Paths(), QStringList({amp, rel}));

    const QString fake = Make("w/fake.wpl", "not a play list");
    TListEditRows one(TListEditRows::kPlayList, true);
    one.AddPathByType(fake);
    EXPECT_EQ(one.Paths(), QStringList({fake}));
}

TEST_F(ListEditRowsTest, SavesAreOnePathALineThatThePlayersReaderReadsBackEvenBehindALink)
{
    const QString a = Make("s/a.ogg");
    const QString b = Make("s/other/b.mp3");
    TListEditRows rows(TListEditRows::kPlayList, true);
    rows.AddListItem(a);
    rows.AddListItem(b);
    rows.AddListItem(QStringLiteral("http://radio.example/x"));
    ASSERT_TRUE(rows.WriteListFile(home.File("s/out.m3u")));
    ASSERT_TRUE(rows.WriteListFile(home.File("s/out.zol")));
    const QByteArray bytes = testutil::ReadFile(home.File("s/out.m3u"));
    EXPECT_EQ(bytes, (a + "\n" + b + "\nhttp://radio.example/x\n").toUtf8());
    EXPECT_EQ(testutil::ReadFile(home.File("s/out.zol")), bytes);
    Collect player;
    CReadList(&player).Read(home.File("s/out.zol"), 0);
    EXPECT_EQ(player.paths, QStringList({a, b}));   // the player plays what exists

    // A list behind a symbolic link: the target gets the new list, the link
    // stays a link, and the target keeps its permissions.
    const QString target = Make("s/real/kept.zol", "old\n");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    const QString link = home.File("s/link.zol");
    ASSERT_TRUE(QFile::link(target, link));
    ASSERT_TRUE(rows.WriteListFile(link));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(testutil::ReadFile(target), bytes);
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // A list that cannot be replaced stays whole and the save says so.
    const QString locked = Make("s/locked.zol", "mine\n");
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0444), 0);
    if (::access(QFile::encodeName(locked).constData(), W_OK) != 0) {
        EXPECT_FALSE(rows.WriteListFile(locked));
        EXPECT_EQ(testutil::ReadFile(locked), "mine\n");
    }
}

TEST_F(ListEditRowsTest, LibraryModesReadTheirKindsAndSaveThroughTheListFile)
{
    const QString song = Make("m/song.ogg");
    const QString list = Make("m/mix.zol");
    ASSERT_TRUE(QDir().mkpath(home.File("m/dir")));
    const TLibraryFile file(home.File("ListFiles/Library.zorf"));
    ASSERT_TRUE(file.Rewrite({{"Song", song}, {"Mix?", list}, {"Dir", home.File("m/dir")}, {"Gone", home.File("m/no")}}));

    TListEditRows library(TListEditRows::kLibrary, true);
    library.LoadLibrary(file);
    QStringList kinds;
    for (const TFileItem& item : library.Items()) kinds << item.KindText + (item.Missing ? "!" : "");
    EXPECT_EQ(kinds, QStringList({"ogg", "zol", "フォルダ", "!"}));
    EXPECT_EQ(library.Item(1).Title, "Mix？");

    TListEditRows folders(TListEditRows::kFolderLibrary, true);
    folders.LoadLibrary(file);
    kinds.clear();
    for (const TFileItem& item : folders.Items()) kinds << item.KindText + (item.Missing ? "!" : "");
    EXPECT_EQ(kinds, QStringList({"!", "!", "フォルダ", "!"}));

    library.SetTitle(0, QStringLiteral("Renamed"));
    library.MoveRowsDown({0});
    ASSERT_TRUE(library.SaveLibrary(file));
    const std::vector<TLibraryEntry> back = file.Read();
    ASSERT_EQ(back.size(), 4u);
    EXPECT_EQ(back[0], (TLibraryEntry{"Mix？", list}));
    EXPECT_EQ(back[1], (TLibraryEntry{"Renamed", song}));
}

TEST_F(ListEditRowsTest, MovesKeepBlocksTogetherAndNeverPastEitherEnd)
{
    struct Case {
        const char* name;
        std::vector<int> selected;
        int move;   // -1 up, +1 down, 2 to the top, 3+t after row t
        std::vector<int> order;
        std::vector<int> selection;
    };
    const std::vector<Case> cases = {
        {"down", {2, 3, 5}, +1, {0, 1, 4, 2, 3, 6, 5, 7}, {3, 4, 6}},
        {"up", {2, 3, 5}, -1, {0, 2, 3, 1, 5, 4, 6, 7}, {1, 2, 4}},
        {"block at the end", {3, 7}, +1, {0, 1, 2, 3, 4, 5, 6, 7}, {3, 7}},
        {"block at the start", {0, 1, 4}, -1, {0, 1, 2, 3, 4, 5, 6, 7}, {0, 1, 4}},
        {"to the top", {3, 5}, 2, {3, 5, 0, 1, 2, 4, 6, 7}, {0, 1}},
        {"after a later row", {1, 2}, 3 + 5, {0, 3, 4, 5, 1, 2, 6, 7}, {4, 5}},
        {"after an earlier row", {6, 7}, 3 + 0, {0, 6, 7, 1, 2, 3, 4, 5}, {1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TListEditRows rows = Numbered(8);
        rows.Modified = false;
        std::vector<int> now;
        if (c.move == -1) now = rows.MoveRowsUp(c.selected);
        else if (c.move == 1) now = rows.MoveRowsDown(c.selected);
        else now = rows.MoveRowsTo(c.selected, c.move == 2 ? -1 : c.move - 3);
        EXPECT_EQ(Order(rows), c.order);
        EXPECT_EQ(now, c.selection);
        EXPECT_EQ(rows.Modified, c.order != std::vector<int>({0, 1, 2, 3, 4, 5, 6, 7}));
    }
}

TEST_F(ListEditRowsTest, SortingThinningAndTheCounter)
{
    TListEditRows rows(TListEditRows::kPlayList, true);
    for (const char* path : {"/x/b.ogg", "/x/A.mp3", "/x/c.mp3", "/x/a.mp3", "/x/b.ogg", "/x/B.ogg"})
        rows.AddListItem(QString::fromUtf8(path));
    rows.Sort(3);   // kind descending; equal kinds keep their order
    EXPECT_EQ(rows.Paths(), QStringList({"/x/b.ogg", "/x/b.ogg", "/x/B.ogg", "/x/A.mp3", "/x/c.mp3", "/x/a.mp3"}));
    rows.Sort(0);   // title, case ignored, stable
    EXPECT_EQ(rows.Paths(), QStringList({"/x/A.mp3", "/x/a.mp3", "/x/b.ogg", "/x/b.ogg", "/x/B.ogg", "/x/c.mp3"}));
    rows.Sort(1);
    EXPECT_EQ(rows.Paths().front(), "/x/c.mp3");

    // Paths that differ in case are different files.
    EXPECT_EQ(rows.RemoveDuplicates(), 1);
    EXPECT_EQ(rows.RemoveDuplicates(), 0);
    EXPECT_EQ(rows.Count(), 5);
    const QString real = Make("k/here.ogg");
    rows.AddListItem(real);
    rows.Delete({0, 2});
    EXPECT_EQ(rows.Count(), 4);
    EXPECT_EQ(rows.DeleteMissing(), 3);
    EXPECT_EQ(rows.Paths(), QStringList({real}));
    EXPECT_EQ(TListEditRows::CountText(-1, 4), "0/4");
    EXPECT_EQ(TListEditRows::CountText(2, 4), "3/4");

    rows.Modified = false;
    rows.SetTitle(0, rows.Item(0).Title);
    EXPECT_FALSE(rows.Modified);   // the same name changes nothing
}

}  // namespace
