// The sort unit: every key with ties on real files' names and dates, the
// library's kinds and dates, the limit on date sorts, dates read once however
// the files change, and the locale's order.
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
    const time_t t = time_t(QDateTime(date, QTime(12, 0)).toSecsSinceEpoch());
    const struct timespec times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
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
    // A file last written on the given day of January 2020 (or on a date).
    QString Make(const QString& name, int day, QDate date = {})
    {
        const QString path = home.filePath(name);
        EXPECT_TRUE(testutil::WriteFile(path, "x"));
        SetLastWrite(path, date.isValid() ? date : QDate(2020, 1, day));
        return path;
    }
    QTemporaryDir home;
};

TEST_F(ListSort, PlayListEveryKeyWithTies)
{
    // Titles that tie (case ignored, and equal), extensions in mixed case,
    // equal dates, a missing file (the oldest) and a stamp of 2050 (top bit
    // set, still the newest). Ties fall back to title, then to list order.
    const std::vector<TPlayListItem> list = {
        {"b", Make("b.mp3", 2)},   {"a", Make("a.wav", 1)},   {"c", Make("c.mp3", 2)},
        {"B", Make("B2.MP3", 3)},  {"a", Make("dup.ogg", 1)}, {"g", home.filePath("gone.wav")},
        {"f", Make("f.wav", 0, QDate(2050, 6, 1))}};
    const struct {
        int key;
        QStringList order;
    } cases[] = {
        {0, {"b.mp3", "a.wav", "c.mp3", "B2.MP3", "dup.ogg", "gone.wav", "f.wav"}},
        {1, {"a.wav", "dup.ogg", "b.mp3", "B2.MP3", "c.mp3", "f.wav", "gone.wav"}},
        {2, {"gone.wav", "f.wav", "c.mp3", "b.mp3", "B2.MP3", "a.wav", "dup.ogg"}},
        {3, {"b.mp3", "B2.MP3", "c.mp3", "dup.ogg", "a.wav", "f.wav", "gone.wav"}},
        {4, {"a.wav", "f.wav", "gone.wav", "dup.ogg", "b.mp3", "B2.MP3", "c.mp3"}},
        {5, {"gone.wav", "a.wav", "dup.ogg", "b.mp3", "c.mp3", "B2.MP3", "f.wav"}},
        {6, {"f.wav", "B2.MP3", "b.mp3", "c.mp3", "a.wav", "dup.ogg", "gone.wav"}},
        {7, {"b.mp3", "a.wav", "c.mp3", "B2.MP3", "dup.ogg", "gone.wav", "f.wav"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        std::vector<TPlayListItem> sorted = list;
        Clistsort::SetListSortKey(c.key);
        EXPECT_TRUE(Clistsort::SortList(sorted));
        EXPECT_EQ(Names(sorted), c.order);
    }
}

TEST_F(ListSort, LibraryByKindDateAndTimeValue)
{
    ASSERT_TRUE(QDir().mkpath(home.filePath("Movies")));
    SetLastWrite(home.filePath("Movies/"), QDate(2020, 1, 4));
    const std::vector<TLibraryItem> items = {
        {"song", Make("song.mp3", 1), -1, 2, 0, 300},      {"Movies", home.filePath("Movies/"), -1, 0, 0, -5},
        {"list", Make("list.zol", 6), -1, 1, 0, 300},      {"gone", home.filePath("gone.mp3"), -1, 2, 0, 7},
        {"drive", "/nonexistent/sr9", -1, 3, 0, 0}};
    const struct {
        int key;
        QStringList order;
    } cases[] = {
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
    // By Time as signed values, 5 ascending, any other key descending.
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
    auto descending = [](int n) {
        std::vector<TPlayListItem> list;
        for (int i = n; i > 0; --i) list.push_back({QString("t%1").arg(i, 5, 10, QChar('0')), QString("/none/%1").arg(i)});
        return list;
    };
    int reads = 0;
    Clistsort::SetFileDateReader([&reads](const QString&) { return ++reads, std::int64_t(0); });
    for (int key : {5, 6, 1}) {
        SCOPED_TRACE(key);
        Clistsort::SetListSortKey(key);
        std::vector<TPlayListItem> big = descending(1001);
        std::vector<TLibraryItem> bigItems;
        for (const auto& e : big) bigItems.push_back({e.Title, e.Path, -1, 2, 0, 0});
        const bool byTitle = key == 1;
        EXPECT_EQ(Clistsort::SortList(big), byTitle);
        EXPECT_EQ(Clistsort::SortLibraryItems(bigItems), byTitle);
        EXPECT_EQ(big.front().Title, byTitle ? "t00001" : "t01001");
        EXPECT_EQ(bigItems.front().Name, byTitle ? "t00001" : "t01001");
        EXPECT_EQ(reads, 0);   // no file was opened
        // A thousand are sorted (equal dates, so by title).
        std::vector<TPlayListItem> limit = descending(1000);
        EXPECT_TRUE(Clistsort::SortList(limit));
        EXPECT_EQ(limit.front().Title, "t00001");
        reads = 0;
    }
}

TEST_F(ListSort, DatesAreReadOnceAndTheFollowedEntryMovesWithIt)
{
    // Every read gives another date, as for files written while the list is
    // sorted: each path is read once and the order is that of the reading.
    std::vector<TPlayListItem> list;
    for (int i = 0; i < 600; ++i) list.push_back({"same", QString("/f/%1").arg(i)});
    std::map<QString, int> reads;
    std::map<QString, std::int64_t> first;
    std::int64_t clock = 1000000;
    Clistsort::SetFileDateReader([&](const QString& path) {
        ++reads[path];
        const std::int64_t date = (clock -= 7) % 997;
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
}

TEST_F(ListSort, TitlesFollowTheUsersLocale)
{
    // Japanese order takes kana by reading, hiragana and katakana together;
    // code-point order would put every katakana after every hiragana.
    std::vector<TPlayListItem> list;
    for (const char* t : {"ウ", "か", "イ", "あ", "エ", "お"}) list.push_back({QString::fromUtf8(t), QString::fromUtf8(t)});
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    Clistsort::SetListSortKey(1);
    Clistsort::SortList(list);
    EXPECT_EQ(Names(list), QStringList({"あ", "イ", "ウ", "エ", "お", "か"}));
    // Case is ignored in the C locale too.
    QLocale::setDefault(QLocale::c());
    std::vector<TPlayListItem> mixed = {{"beta", "1"}, {"Alpha", "2"}, {"alpha", "3"}, {"Gamma", "4"}};
    Clistsort::SortList(mixed);
    EXPECT_EQ(Names(mixed), QStringList({"2", "3", "1", "4"}));
}

}  // namespace
