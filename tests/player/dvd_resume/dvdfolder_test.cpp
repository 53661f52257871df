// The disc folder's names: folder, disc name, bookmark files and captions
// turning into each other, and the lines of "Repeat.rsm".
#include "player/units/Dvdfolder.h"

#include <gtest/gtest.h>

using namespace dvdfolder;

namespace {

TEST(DvdFolder, FolderNames)
{
    EXPECT_EQ(DiscFolderName("MOVIE", 0xABCDEF01), "MOVIE_abcdef01");
    EXPECT_EQ(DiscFolderName("MOVIE", 0x0ABC), "MOVIE_abc") << "no leading zeros";
    EXPECT_EQ(DiscFolderName("MOVIE", 0xF000000000000000ULL), "MOVIE_f000000000000000");
    EXPECT_EQ(DiscFolderName("", 0x12), "_12");
    EXPECT_EQ(DiscFolderPath("/home/u/Bookmark/", "A", 1), "/home/u/Bookmark/A_1/");
    // No limit on the whole path; only a name longer than the file system takes.
    const QString deep = "/" + QString(300, 'd') + "/Bookmark/";
    EXPECT_EQ(DiscFolderPath(deep, "A", 1), deep + "A_1/");
    EXPECT_EQ(DiscFolderPath("/b/", QString(253, 'n'), 0xF), "/b/" + QString(253, 'n') + "_f/");
    EXPECT_EQ(DiscFolderPath("/b/", QString(254, 'n'), 0xF), "") << "256 bytes";
    EXPECT_EQ(DiscFolderPath("/b/", QString(120, QChar(0x6620)), 0xF), "") << "360 bytes in UTF-8";
}

TEST(DvdFolder, DiscNameFromTheVolumesFolder)
{
    const auto roots = [](const QString& folder) { return folder == "/media/cdrom" || folder == "/dev/sr0"; };
    struct Case {
        const char* directory;
        const char* label;
        const char* name;
    } cases[] = {
        {"/home/u/My Movie/VIDEO_TS", "LABEL", "My_Movie"},
        {"/home/u/My Movie/video_ts/", "LABEL", "My_Movie"},
        {"/home/u/dvd_titles", "LABEL", "dvd_titles"},
        {"/home/u/dvd_titles/", "LABEL", "dvd_titles"},
        {"/home/u/movie.iso", "LABEL", "movie.iso"},
        {"/media/cdrom", "MY DISC", "MY_DISC"},          // a disc's root: its label
        {"/media/cdrom/VIDEO_TS", "MY DISC", "MY_DISC"},
        {"/dev/sr0", "MY DISC", "MY_DISC"},
        {"/VIDEO_TS", "ROOT", "ROOT"},
        {"/", "ROOT", "ROOT"},
        {"/media/cdrom", "", "E"},
        {"", "", "E"},
        {"/home/u/映画 ディスク", "", "映画_ディスク"},
        {"/media/cdrom", "A/B", "A_B"},                   // a label never makes two folders
    };
    for (const Case& c : cases)
        EXPECT_EQ(DiscNameFromDirectory(QString::fromUtf8(c.directory), QString::fromUtf8(c.label), roots),
                  QString::fromUtf8(c.name))
            << c.directory;
}

TEST(DvdFolder, BookmarkFilesAndCaptionsTurnIntoEachOther)
{
    EXPECT_EQ(BookmarkFileName(7, {1, 2, 3, 0}), "T07P010203N.bmk");
    EXPECT_EQ(BookmarkFileName(123, {0, 0, 9, 0}), "T123P000009N.bmk");
    EXPECT_EQ(BookmarkTag(7, 1, 2, 3), 7010203);

    struct Case {
        const char* file;
        const char* caption;   // null: not listed
        std::int64_t tag;
    } cases[] = {
        {"T07P010203N.bmk", "07 01:02:03 ", 7010203},
        {"T07P010203Nscene 2.bmk", "07 01:02:03 scene 2", 7010203},
        {"T07P010203Nscene.2.bmk", "07 01:02:03 scene.2", 7010203},   // a "." in the note
        {"T07P010203Nend.bmk.bmk", "07 01:02:03 end.bmk", 7010203},
        {"T07P010203NPart N.bmk", "07 01:02:03 Part N", 7010203},
        {"T123P000009N.bmk", "123 00:00:09 ", 123000009},
        {"T07.bmk", nullptr, 0},
        {"x07P010203N.bmk", nullptr, 0},
        {"T07P010203.bmk", nullptr, 0},
        {"T07P0102N.bmk", nullptr, 0},
        {"TP010203N.bmk", nullptr, 0},
        {"T07P016003N.bmk", nullptr, 0},      // 60 minutes
        {"T7aP010203N.bmk", nullptr, 0},
        {"T07P010203N.BMK", nullptr, 0},      // its caption would not find it again
        {"T07P010203N.txt", nullptr, 0},
    };
    for (const Case& c : cases) {
        const std::optional<TBookmarkItem> item = BookmarkItemFromFileName(c.file);
        if (!c.caption) {
            EXPECT_FALSE(item) << c.file;
            continue;
        }
        ASSERT_TRUE(item) << c.file;
        EXPECT_EQ(item->caption, QString::fromUtf8(c.caption));
        EXPECT_EQ(item->tag, c.tag) << c.file;
        EXPECT_EQ(FileNameFromCaption(item->caption), QString::fromUtf8(c.file));
    }
    for (const char* caption : {"", "07", "07 01:02:03", "07 010203 x", "07 01:02:03x", "x 01:02:03 "})
        EXPECT_EQ(FileNameFromCaption(caption), "") << caption;
}

TEST(DvdFolder, RepeatLines)
{
    EXPECT_EQ(ParseSectionLine("2/0:01:00-0:02:00/60/120"), (TDvdSection{2, "0:01:00-0:02:00", 60, 120}));
    EXPECT_EQ(ParseSectionLine("2/my scene/60/120"), (TDvdSection{2, "my scene", 60, 120}));
    EXPECT_EQ(SectionLine({2, "my scene", 60, 120}), "2/my scene/60/120");
    for (const char* bad : {"2/a/60", "2/a/b/60/120", "2//60/120", "x/a/60/120", "0/a/60/120", "100/a/60/120",
                            "2/a/-1/120", "2/a/120/60", "2/a/60/60", "2/a/60/99999999999", "2/a/60/1e3", ""})
        EXPECT_FALSE(ParseSectionLine(bad)) << bad;
    EXPECT_FALSE(ParseSectionLine("2/" + QString(2000, 'a') + "/1/2")) << "too long";

    const QStringList file = SplitLines("1/a/1/2\r\n2/b/3/4\n2/c c/5/6\njunk\n2/broken\n3/d/7/8\n");
    EXPECT_EQ(file, (QStringList{"1/a/1/2", "2/b/3/4", "2/c c/5/6", "junk", "2/broken", "3/d/7/8"}));
    EXPECT_EQ(SectionsOfTitle(file, 2), (std::vector<TDvdSection>{{2, "b", 3, 4}, {2, "c c", 5, 6}}));
    // The title's lines go, its new sections follow; other lines stay.
    EXPECT_EQ(ReplaceSectionsOfTitle(file, 2, {{2, "e", 9, 10}}),
              (QStringList{"1/a/1/2", "junk", "3/d/7/8", "2/e/9/10"}));
    EXPECT_EQ(ReplaceSectionsOfTitle({"2/b/3/4"}, 2, {}), QStringList{});
}

}  // namespace
