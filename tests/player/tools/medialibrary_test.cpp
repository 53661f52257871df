// The media library's entries without a window: what the library and a
// registered folder list under each category and extension list, the discs
// of the drives, the window's size and place, and what a click asks for.
#include "platform/shell/drives.h"
#include "player/tools/LibraryFile.h"
#include "player/tools/MediaLibrary.h"
#include "support/test_util.h"

#include <QDir>
#include <QFile>
#include <QLocale>

#include <gtest/gtest.h>

namespace {

using Rows = std::vector<std::pair<QString, int>>;   // name, kind

Rows RowsOf(const TMediaLibrary& library)
{
    Rows rows;
    for (const TLibraryItem& item : library.Items()) rows.emplace_back(item.Name, item.Kind);
    return rows;
}

// Every character 7 pixels wide.
int SevenEach(const QString& text) { return 7 * static_cast<int>(text.size()); }

class MediaLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        shell::SetDriveTable([] {
            using C = shell::OpticalDrive::Content;
            return std::vector<shell::OpticalDrive>{
                {QStringLiteral("/dev/sr0"), C::AudioCd, {}, {}},
                {QStringLiteral("/dev/sr1"), C::Empty, {}, {}},
                {QStringLiteral("/dev/sr2"), C::Data, QStringLiteral("/media/u/BACKUP"), {}},
                {QStringLiteral("/dev/sr3"), C::DvdVideo, {}, QStringLiteral("MOVIE")},
                {QStringLiteral("/dev/sr4"), C::DvdVideo, {}, {}},
                {QStringLiteral("/dev/sr5"), C::Data, QStringLiteral("/media/u/x"), QStringLiteral("Photos 2020")},
            };
        });
    }
    void TearDown() override { shell::SetDriveTable({}); }

    QString Make(const QString& relative, bool folder = false) const
    {
        const QString path = home.File(relative);
        if (folder)
            QDir().mkpath(path);
        else
            testutil::WriteFile(path, "x");
        return path;
    }

    testutil::IsolatedHome home;
};

TEST_F(MediaLibraryTest, DrivesAreNamedByWhatTheirDiscsAre)
{
    const std::vector<shell::DiscEntry> expected = {
        {QStringLiteral("オーディオ CD (sr0)"), QStringLiteral("/dev/sr0")},
        {QStringLiteral("BACKUP"), QStringLiteral("/media/u/BACKUP/")},
        {QStringLiteral("MOVIE"), QStringLiteral("/dev/sr3")},
        {QStringLiteral("DVD (sr4)"), QStringLiteral("/dev/sr4")},
        {QStringLiteral("Photos 2020"), QStringLiteral("/media/u/x/")},
    };
    EXPECT_EQ(shell::DiscEntries(shell::OpticalDrives()), expected);
}

TEST_F(MediaLibraryTest, LibraryListsWhatExistsByCategoryDrivesFirstAndLeavesTheFileAlone)
{
    const TLibraryFile file(home.File("ListFiles/Library.zorf"));
    ASSERT_TRUE(file.Rewrite({
        {QStringLiteral("song"), Make("m/song.mp3")},
        {QStringLiteral("gone"), home.File("m/gone.mp3")},
        {QStringLiteral("list"), Make("m/mix.m3u")},
        {QStringLiteral("own"), Make("m/all.zol")},
        {QStringLiteral("dir"), Make("m/dir", true)},
    }));
    const QByteArray before = testutil::ReadFile(file.Path());
    const int d = TMediaLibrary::kDrive;

    struct Case {
        int category;
        Rows rows;
    };
    const std::vector<Case> cases = {
        {TMediaLibrary::kAll,
         {{"オーディオ CD (sr0)", d}, {"BACKUP", d}, {"MOVIE", d}, {"DVD (sr4)", d}, {"Photos 2020", d},
          {"song", 2}, {"list", 1}, {"own", 1}, {"dir", 0}}},
        {TMediaLibrary::kMediaFiles, {{"song", 2}}},
        {TMediaLibrary::kLists, {{"list", 1}, {"own", 1}}},
        {TMediaLibrary::kFoldersAndDrives,
         {{"オーディオ CD (sr0)", d}, {"BACKUP", d}, {"MOVIE", d}, {"DVD (sr4)", d}, {"Photos 2020", d},
          {"dir", 0}}},
    };
    for (const Case& c : cases) {
        TMediaLibrary library(TMediaLibrary::kLibrary, SevenEach);
        library.CategoryShown = c.category;
        library.LoadLibraryList(file);
        EXPECT_EQ(RowsOf(library), c.rows) << "category " << c.category;
    }
    EXPECT_EQ(testutil::ReadFile(file.Path()), before);

    // Sorted by name descending when the key asks; widths grow to the widest name, never past the limit.
    TMediaLibrary library(TMediaLibrary::kLibrary, SevenEach);
    library.CategoryShown = TMediaLibrary::kMediaFiles;
    library.ExtraWidth = 40;
    library.LoadLibraryList(file);
    EXPECT_EQ(library.ContentWidth, 120);   // "song": 28 + 40
    library.AddLibraryItem(QString(20, QLatin1Char('w')), Make("m/long.mp3"), TMediaLibrary::kMediaFile, 0);
    EXPECT_EQ(library.ContentWidth, 180);
    library.AddLibraryItem(QString(200, QLatin1Char('w')), Make("m/longer.mp3"), TMediaLibrary::kMediaFile, 0);
    EXPECT_EQ(library.ContentWidth, 350);
    library.SortKey = 2;
    library.Sort();
    EXPECT_EQ(library.Items().back().Name, QStringLiteral("song"));
}

TEST_F(MediaLibraryTest, FolderListsItsFilesByTheExtensionTokensInNameOrder)
{
    Make("f/10 b.asf");
    Make("f/2 a.WMA");
    Make("f/notes.txt");
    Make("f/noextension");
    Make("f/movie.asfx");
    Make("f/VIDEO_TS.IFO");
    Make("f/folder.asf", true);
    const QString target = Make("elsewhere/far.wma");
    ASSERT_TRUE(QFile::link(target, home.File("f/far link.lnk")));
    ASSERT_TRUE(QFile::link(home.File("f/missing.wma"), home.File("f/dead.lnk")));
    const QString extensions = QStringLiteral("*.asf;*.wma;*.lnk;*.ifo");
    // The order is the user's locale's, numbers as numbers.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    TMediaLibrary library(TMediaLibrary::kFolders, SevenEach);
    library.ListFolderContents(home.File("f"), extensions, false);
    EXPECT_EQ(RowsOf(library), (Rows{{"2 a", 2}, {"10 b", 2}, {"far link", 2}, {"VIDEO_TS", 2}}));
    EXPECT_EQ(library.Items()[2].Path, target);
    EXPECT_EQ(library.Items()[0].Path, home.File("f/2 a.WMA"));
    EXPECT_NE(library.Items()[0].Time, 0);

    // With extensions shown, from a folder given with its "/", and without lnk no shortcut.
    library.Clear();
    library.ListFolderContents(home.File("f") + QLatin1Char('/'), QStringLiteral("*.asf;*.wma"), true);
    EXPECT_EQ(RowsOf(library), (Rows{{"2 a.WMA", 2}, {"10 b.asf", 2}}));
    // A folder that is gone lists nothing.
    library.Clear();
    library.ListFolderContents(home.File("nothing"), extensions, true);
    EXPECT_TRUE(library.Items().empty());
    QLocale::setDefault(before);
}

TEST_F(MediaLibraryTest, WindowGrowsWithItsRowsWithinTheLimitsAndStaysInsideTheArea)
{
    const TViewerMetrics m{16, 17, 2, 20};
    TMediaLibrary library(TMediaLibrary::kLibrary, SevenEach);
    const QSize frame(0, 20);   // the menu bar
    // ViewerMax 6440 on 1024 x 768: 25 % and 40 % less the frame.
    library.SetLimits(QRect(0, 0, 1024, 768), 6440, frame);
    EXPECT_EQ(library.MaxWidth, 256);
    EXPECT_EQ(library.MaxHeight, 307 - 20);

    const QRect area(100, 50, 1024, 768);
    // Empty: 120 x 40 where it stands.
    auto fit = library.FitToContent(0, 18, 0, frame, QPoint(300, 300), area, m);
    EXPECT_EQ(fit.Client, QSize(120, 40));
    EXPECT_EQ(fit.TopLeft, QPoint(300, 300));

    // Three rows fit without a scroll bar.
    library.ContentWidth = 200;
    fit = library.FitToContent(3, 18, 0, frame, QPoint(300, 300), area, m);
    EXPECT_EQ(fit.Client, QSize(200, 3 * 18 + 4));
    EXPECT_EQ(fit.ColumnWidth, 200 - 4);

    // Many rows stop at MaxHeight and bring the scroll bar; near the bottom right
    // the window moves up and left, near the top left down and right.
    fit = library.FitToContent(1000, 18, 0, frame, QPoint(1100, 800), area, m);
    EXPECT_EQ(fit.Client, QSize(200, 287));
    EXPECT_EQ(fit.ColumnWidth, 200 - 17 - 4);
    EXPECT_EQ(fit.TopLeft, QPoint(1124 - 200, 818 - 307));
    fit = library.FitToContent(1000, 18, 0, frame, QPoint(-40, 10), area, m);
    EXPECT_EQ(fit.TopLeft, QPoint(100, 50));

    // A locked width takes the limit whatever the names.
    library.LockWidth = true;
    fit = library.FitToContent(1, 18, 0, frame, QPoint(300, 300), area, m);
    EXPECT_EQ(fit.Client, QSize(256, 40));
}

TEST_F(MediaLibraryTest, ClickAsksForWhatTheEntryIs)
{
    // A disc image counts as a drive: the open CD's own entry opens nothing new.
    const QString cue = Make("disc/album.cue");
    Make("disc/album.bin");
    struct Case {
        TLibraryItem item;
        TOpenDisc open;
        LibraryRequest request;
        QString path;
    };
    const std::vector<Case> cases = {
        {{"f", "/m/dir/", -1, 0, 0, 0}, {}, LibraryRequest::OpenViewerPath, "/m/dir"},
        {{"l", "/m/a.m3u", -1, 1, 0, 0}, {}, LibraryRequest::OpenViewerPath, "/m/a.m3u"},
        {{"s", "/m/a.mp3", -1, 2, 0, 0}, {}, LibraryRequest::OpenViewerPath, "/m/a.mp3"},
        {{"d", "/m/VIDEO_TS/VIDEO_TS.IFO", -1, 2, 0, 0}, {}, LibraryRequest::StartDvd, "/m/VIDEO_TS/VIDEO_TS.IFO"},
        {{"r", "/", -1, 0, 0, 0}, {}, LibraryRequest::OpenViewerPath, "/"},
        {{"cd", cue, -1, 3, 0, 0}, {}, LibraryRequest::OpenDrive, cue},
        {{"cd", cue, -1, 3, 0, 0}, {false, true, cue}, LibraryRequest::OpenDrive, ""},
        {{"cd", cue, -1, 3, 0, 0}, {true, false, cue}, LibraryRequest::OpenDrive, ""},
        {{"cd", cue, -1, 3, 0, 0}, {false, true, home.File("other.cue")}, LibraryRequest::OpenDrive, cue},
        {{"dvd", "/dev/sr9", -1, 3, 0, 0}, {false, true, "/dev/sr9"}, LibraryRequest::OpenDrive, "/dev/sr9"},
    };
    for (const Case& c : cases) {
        const TLibraryChoice choice = TMediaLibrary::ChoiceFor(c.item, c.open);
        EXPECT_EQ(choice.Request, c.request) << c.item.Path.toStdString();
        EXPECT_EQ(choice.Path, c.path) << c.item.Path.toStdString();
    }
}

}  // namespace
