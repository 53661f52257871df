// The sort unit: every key with ties on real files' names and dates, the
// library's kinds and dates, the limit on date sorts, the followed entry,
// dates read once however the files change, and the locale's order.
#include "support/test_util.h"
#include "units/Clistsort.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <map>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << l.join(", ").toStdString(); }
QT_END_NAMESPACE

namespace {

void SetLastWrite(const QString& path, const QDate& date)
{
    const qint64 t = QDateTime(date, QTime(12, 0)).toSecsSinceEpoch();
    const struct timespec times[2] = {{time_t(t), 0}, {time_t(t), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

// A file whose last-write time is `days` days after 2020-01-01 local time.
void MakeFile(const QString& path, int days)
{
    ASSERT_TRUE(testutil::WriteFile(path, "x"));
    SetLastWrite(path, QDate(2020, 1, 1).addDays(days));
}

// The last component of each path; a folder keeps its "/".
template <class Record>
QStringList Names(const std::vector<Record>& records)
{
    QStringList names;
    for (const Record& r : records)
        names << (r.Path.endsWith('/') ? r.Path.section('/', -2, -2) + "/" : r.Path.section('/', -1));
    return names;
}

class ListSort : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override
    {
        Clistsort::SetListSortKey(0);
        Clistsort::SetFileDateReader({});
        QLocale::setDefault(QLocale::system());
    }
    QString File(const QString& name) const { return home.filePath(name); }
    QTemporaryDir home;
};

TEST_F(ListSort, PlayListEveryKeyWithTies)
{
    // Titles that tie (case ignored, and equal), extensions in mixed case, and
    // equal dates: the ties fall back to title, then to the list's own order.
    MakeFile(File("b.mp3"), 2);
    MakeFile(File("a.wav"), 1);
    MakeFile(File("c.mp3"), 2);
    MakeFile(File("B2.MP3"), 3);
    MakeFile(File("dup.ogg"), 1);
    const std::vector<TPlayListItem> list = {
        {"b", File("b.mp3")}, {"a", File("a.wav")}, {"c", File("c.mp3")}, {"B", File("B2.MP3")}, {"a", File("dup.ogg")}};

    const struct {
        int key;
        QStringList order;
    } cases[] = {
        {0, {"b.mp3", "a.wav", "c.mp3", "B2.MP3", "dup.ogg"}},
        {1, {"a.wav", "dup.ogg", "b.mp3", "B2.MP3", "c.mp3"}},
        {2, {"c.mp3", "b.mp3", "B2.MP3", "a.wav", "dup.ogg"}},
        {3, {"b.mp3", "B2.MP3", "c.mp3", "dup.ogg", "a.wav"}},
        {4, {"a.wav", "dup.ogg", "b.mp3", "B2.MP3", "c.mp3"}},
        {5, {"a.wav", "dup.ogg", "b.mp3", "c.mp3", "B2.MP3"}},
        {6, {"B2.MP3", "b.mp3", "c.mp3", "a.wav", "dup.ogg"}},
        {7, {"b.mp3", "a.wav", "c.mp3", "B2.MP3", "dup.ogg"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        std::vector<TPlayListItem> sorted = list;
        Clistsort::SetListSortKey(c.key);
        EXPECT_TRUE(Clistsort::SortList(sorted));
        EXPECT_EQ(Names(sorted), c.order);
        // Sorting a sorted list again changes nothing: ties are kept stable.
        std::vector<TPlayListItem> again = sorted;
        Clistsort::SortList(again);
        EXPECT_EQ(Names(again), c.order);
    }
}

TEST_F(ListSort, MissingFilesAndStampsPast2043SortByTheirDates)
{
    MakeFile(File("old.wav"), 0);
    MakeFile(File("new.wav"), 400);
    // A stamp from 2044 on has its top bit set; it is still the newest.
    ASSERT_TRUE(testutil::WriteFile(File("future.wav"), "x"));
    SetLastWrite(File("future.wav"), QDate(2050, 6, 1));
    EXPECT_EQ(Clistsort::FileDate(File("gone.wav")), 0u);

    const std::vector<TPlayListItem> list = {
        {"n", File("new.wav")}, {"f", File("future.wav")}, {"g", File("gone.wav")}, {"o", File("old.wav")},
        {"u", "http://host/stream"}};
    std::vector<TPlayListItem> sorted = list;
    Clistsort::SetListSortKey(5);
    Clistsort::SortList(sorted);
    EXPECT_EQ(Names(sorted), QStringList({"gone.wav", "stream", "old.wav", "new.wav", "future.wav"}));
    sorted = list;
    Clistsort::SetListSortKey(6);
    Clistsort::SortList(sorted);
    EXPECT_EQ(Names(sorted), QStringList({"future.wav", "new.wav", "old.wav", "gone.wav", "stream"}));
}

TEST_F(ListSort, LibraryKindsDatesAndTimeValues)
{
    ASSERT_TRUE(QDir().mkpath(File("Movies")));
    MakeFile(File("list.zol"), 5);
    MakeFile(File("song.mp3"), 1);
    const QString folder = File("Movies/");
    SetLastWrite(folder, QDate(2020, 1, 4));
    const std::vector<TLibraryItem> items = {
        {"song", File("song.mp3"), -1, 2, 0, 300},
        {"Movies", folder, -1, 0, 0, -5},
        {"list", File("list.zol"), -1, 1, 0, 300},
        {"gone", File("gone.mp3"), -1, 2, 0, 7},
        {"drive", "/nonexistent/sr9", -1, 3, 0, 0},
    };
    const struct {
        int key;
        QStringList order;
    } cases[] = {
        {1, {"sr9", "gone.mp3", "list.zol", "Movies/", "song.mp3"}},
        {2, {"song.mp3", "Movies/", "list.zol", "gone.mp3", "sr9"}},
        {3, {"Movies/", "list.zol", "gone.mp3", "song.mp3", "sr9"}},
        {4, {"sr9", "gone.mp3", "song.mp3", "list.zol", "Movies/"}},
        {5, {"sr9", "gone.mp3", "song.mp3", "Movies/", "list.zol"}},
        {6, {"list.zol", "Movies/", "song.mp3", "sr9", "gone.mp3"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        std::vector<TLibraryItem> sorted = items;
        Clistsort::SetListSortKey(c.key);
        EXPECT_TRUE(Clistsort::SortLibraryItems(sorted));
        EXPECT_EQ(Names(sorted), c.order);
    }

    // By Time as signed values; equal values by title.
    std::vector<TLibraryItem> byValue = items;
    Clistsort::SetListSortKey(5);
    Clistsort::SortItemsByValue(byValue);
    EXPECT_EQ(Names(byValue), QStringList({"Movies/", "sr9", "gone.mp3", "list.zol", "song.mp3"}));
    Clistsort::SetListSortKey(1);
    Clistsort::SortItemsByValue(byValue);
    EXPECT_EQ(Names(byValue), QStringList({"list.zol", "song.mp3", "gone.mp3", "sr9", "Movies/"}));
}

TEST_F(ListSort, DateKeysSortNothingPastAThousandRecords)
{
    // Titles in descending order, paths that do not exist (all dates equal,
    // so a date sort that runs orders them by title).
    auto make = [](int n) {
        std::vector<TPlayListItem> list;
        for (int i = n; i > 0; --i) list.push_back({QString("t%1").arg(i, 5, 10, QChar('0')), QString("/none/%1").arg(i)});
        return list;
    };
    auto libraryOf = [](const std::vector<TPlayListItem>& list) {
        std::vector<TLibraryItem> items;
        for (const auto& e : list) items.push_back({e.Title, e.Path, -1, 2, 0, 0});
        return items;
    };
    int reads = 0;
    Clistsort::SetFileDateReader([&reads](const QString&) { return ++reads, std::int64_t(0); });
    for (int key : {5, 6}) {
        SCOPED_TRACE(key);
        Clistsort::SetListSortKey(key);
        std::vector<TPlayListItem> big = make(1001);
        std::vector<TLibraryItem> bigItems = libraryOf(big);
        EXPECT_FALSE(Clistsort::SortList(big));
        EXPECT_FALSE(Clistsort::SortLibraryItems(bigItems));
        EXPECT_EQ(big.front().Title, "t01001");
        EXPECT_EQ(bigItems.front().Name, "t01001");
        EXPECT_EQ(reads, 0);   // no file was opened

        std::vector<TPlayListItem> limit = make(1000);
        EXPECT_TRUE(Clistsort::SortList(limit));
        EXPECT_EQ(limit.front().Title, "t00001");
        reads = 0;
    }
    Clistsort::SetListSortKey(1);
    std::vector<TPlayListItem> big = make(1001);
    EXPECT_TRUE(Clistsort::SortList(big));
    EXPECT_EQ(big.front().Title, "t00001");
    EXPECT_EQ(big.back().Title, "t01001");
}

TEST_F(ListSort, DatesAreReadOnceAndTheFollowedEntryMovesWithIt)
{
    // Every read of a file gives another date, as for files being written
    // while the list is sorted. The order is the one of the first reading,
    // each path is read once, and the followed entry stays the same entry.
    std::vector<TPlayListItem> list;
    for (int i = 0; i < 600; ++i) list.push_back({QString("same"), QString("/f/%1").arg(i)});
    std::map<QString, int> reads;
    std::map<QString, std::int64_t> first;
    std::int64_t clock = 1000000;
    Clistsort::SetFileDateReader([&](const QString& path) {
        ++reads[path];
        const std::int64_t date = (clock -= 7) % 997;   // jumps around, changes every call
        first.emplace(path, date);
        return date;
    });
    Clistsort::SetListSortKey(6);
    int follow = 123;
    const QString followed = list[123].Path;
    ASSERT_TRUE(Clistsort::SortList(list, &follow));
    ASSERT_EQ(reads.size(), 600u);
    for (const auto& [path, count] : reads) EXPECT_EQ(count, 1) << path.toStdString();
    for (size_t i = 1; i < list.size(); ++i) ASSERT_GE(first[list[i - 1].Path], first[list[i].Path]) << i;
    EXPECT_EQ(list[size_t(follow)].Path, followed);

    // Nothing sorted: the followed index is left alone.
    Clistsort::SetListSortKey(0);
    const std::vector<TPlayListItem> before = list;
    Clistsort::SortList(list, &follow);
    EXPECT_EQ(list[size_t(follow)].Path, followed);
    EXPECT_EQ(Names(list), Names(before));
}

TEST_F(ListSort, TitlesFollowTheUsersLocale)
{
    // Japanese order puts kana by their reading, hiragana and katakana
    // together; code-point order would put every katakana after every hiragana.
    const QStringList titles = {"ウ", "か", "イ", "あ", "エ", "お"};
    std::vector<TPlayListItem> list;
    for (const QString& t : titles) list.push_back({t, "/none/" + t});
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    Clistsort::SetListSortKey(1);
    Clistsort::SortList(list);
    QStringList order;
    for (const auto& e : list) order << e.Title;
    EXPECT_EQ(order, QStringList({"あ", "イ", "ウ", "エ", "お", "か"}));

    // Case is ignored in every locale, the C locale included.
    for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedStates), QLocale::c()}) {
        SCOPED_TRACE(locale.name().toStdString());
        QLocale::setDefault(locale);
        std::vector<TPlayListItem> mixed = {{"beta", "/1"}, {"Alpha", "/2"}, {"alpha", "/3"}, {"Gamma", "/4"}};
        Clistsort::SortList(mixed);
        EXPECT_EQ(Names(mixed), QStringList({"2", "3", "1", "4"}));
    }
}

}  // namespace
