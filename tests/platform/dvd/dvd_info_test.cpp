// What libdvdread tells about the fixture discs, the disc identifier, the
// prohibited-operations mask from a program chain and a NAV pack, which button
// commands may run during a still, which bus warnings are the disc's, and the
// saved-state record.
#include "platform/dvd/discinfo.h"
#include "platform/dvd/player.h"
#include "platform/dvd/state.h"
#include "support/test_util.h"

#include <dvdread/ifo_types.h>
#include <dvdread/nav_types.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace dvd;

namespace {

bool CopyFolder(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QFileInfo& entry : QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + "/" + entry.fileName();
        if (entry.isDir() ? !CopyFolder(entry.filePath(), target) : !QFile::copy(entry.filePath(), target))
            return false;
    }
    return true;
}

}  // namespace

TEST(DvdDiscInfo, TitlesStreamsAndVolumePaths)
{
    const QString menu = testutil::Fixture("dvd_menu");
    if (!QFileInfo::exists(menu)) GTEST_SKIP() << "fixtures not made";
    DiscInfo disc;
    // The VIDEO_TS folder, the folder above it and the IFO file all name it.
    for (const QString& path : {menu, menu + "/VIDEO_TS", menu + "/VIDEO_TS/VIDEO_TS.IFO"}) {
        ASSERT_TRUE(disc.Open(path)) << path.toStdString();
    }
    ASSERT_EQ(disc.Titles().size(), 2u);
    const TitleInfo& one = disc.Titles()[0];
    EXPECT_EQ(one.chapters, 3);
    EXPECT_EQ(one.length.minutes, 1);
    EXPECT_GE(one.length.seconds, 4);
    EXPECT_EQ(one.video.aspectX, 4u);
    ASSERT_EQ(one.audio.size(), 2u);
    EXPECT_EQ(one.audio[0].language, "en");
    EXPECT_EQ(one.audio[0].channels, 2);
    EXPECT_EQ(one.audio[1].language, "ja");
    EXPECT_EQ(one.audio[1].channels, 6);
    ASSERT_EQ(one.subpictures.size(), 1u);
    EXPECT_EQ(one.subpictures[0].language, "ja");
    const TitleInfo& two = disc.Titles()[1];
    EXPECT_EQ(two.chapters, 2);
    EXPECT_EQ(two.titleSet, 2);
    EXPECT_EQ(two.video.aspectX, 16u);
    EXPECT_EQ(two.video.aspectY, 9u);

    EXPECT_FALSE(DiscInfo::IsDvdVolume(testutil::Fixture("not_dvd")));
    EXPECT_FALSE(DiscInfo::IsDvdVolume(testutil::Fixture("not_dvd/VIDEO_TS")));
    EXPECT_FALSE(DiscInfo::IsDvdVolume(testutil::Fixture("no_such_folder")));
}

TEST(DvdDiscInfo, DiscIdentifierIsTheSameForCopiesAndDiffersBetweenDiscs)
{
    const QString menu = testutil::Fixture("dvd_menu");
    if (!QFileInfo::exists(menu)) GTEST_SKIP() << "fixtures not made";
    QTemporaryDir dir;
    // A copy under a longer name with capitals and "_": the path keeps its case.
    const QString copy = dir.filePath("Copy_Of_Disc");
    ASSERT_TRUE(CopyFolder(menu, copy));
    DiscInfo a, b, c;
    ASSERT_TRUE(a.Open(menu));
    ASSERT_TRUE(b.Open(copy + "/VIDEO_TS"));
    ASSERT_TRUE(c.Open(testutil::Fixture("dvd_titles")));
    EXPECT_NE(a.DiscId(), 0u);
    EXPECT_EQ(a.DiscId(), b.DiscId());
    EXPECT_NE(a.DiscId(), c.DiscId());
}

TEST(DvdMask, ProgramChainBitsAndButtonCommands)
{
    // Bits 0 to 15 keep their place; resume and the stream changes move down
    // past the disc's button and still operations; the pause goes above them.
    user_ops_t ops{};
    ops.title_play = 1;
    ops.forward_scan = 1;
    ops.resume = 1;
    ops.button_select_or_activate = 1;   // not the navigator's
    ops.audio_stream_change = 1;
    ops.angle_change = 1;
    EXPECT_EQ(UopsFromUserOps(UserOpsBits(&ops)), UOP_FLAG_Play_Title | UOP_FLAG_Play_Forwards | UOP_FLAG_Resume |
                                                      UOP_FLAG_Select_Audio_Stream | UOP_FLAG_Select_Angle);
    ops.pause_on = 1;
    EXPECT_EQ(UopsFromUserOps(UserOpsBits(&ops)) & ~DWORD(0x3FFFFF), UOP_FLAG_Pause_On);

    // Jumps, calls and links branch; a plain register set does not.
    const unsigned char jumpTitle[8] = {0x30, 0x02, 0, 0, 0, 0x01, 0, 0};
    const unsigned char callMenu[8] = {0x30, 0x08, 0, 0, 0, 0, 0x83, 0};
    const unsigned char linkPgcn[8] = {0x20, 0x04, 0, 0, 0, 0, 0, 0x02};
    const unsigned char linkNoLink[8] = {0x20, 0x01, 0, 0, 0, 0, 0, 0x00};
    const unsigned char linkTopCell[8] = {0x20, 0x01, 0, 0, 0, 0, 0, 0x01};
    const unsigned char setRegister[8] = {0x71, 0x00, 0x00, 0x01, 0x00, 0x07, 0x00, 0x00};
    const unsigned char setAndLink[8] = {0x71, 0x01, 0x00, 0x01, 0x00, 0x07, 0x00, 0x05};
    const unsigned char nop[8] = {};
    EXPECT_TRUE(CommandCanBranch(jumpTitle));
    EXPECT_TRUE(CommandCanBranch(callMenu));
    EXPECT_TRUE(CommandCanBranch(linkPgcn));
    EXPECT_FALSE(CommandCanBranch(linkNoLink));
    EXPECT_TRUE(CommandCanBranch(linkTopCell));
    EXPECT_FALSE(CommandCanBranch(setRegister));
    EXPECT_TRUE(CommandCanBranch(setAndLink));
    EXPECT_FALSE(CommandCanBranch(nop));

    // Only a jump to a title names the title a button leads to.
    const unsigned char jumpTitle12[8] = {0x30, 0x02, 0, 0, 0, 0x0C, 0, 0};
    const unsigned char jumpVtsTitle[8] = {0x30, 0x03, 0, 0, 0, 0x01, 0, 0};
    EXPECT_EQ(TitleJumpOf(jumpTitle), 1);
    EXPECT_EQ(TitleJumpOf(jumpTitle12), 12);
    EXPECT_EQ(TitleJumpOf(jumpVtsTitle), 0);
    EXPECT_EQ(TitleJumpOf(callMenu), 0);
    EXPECT_EQ(TitleJumpOf(linkPgcn), 0);
    EXPECT_EQ(TitleJumpOf(setAndLink), 0);
    EXPECT_EQ(TitleJumpOf(nop), 0);
}

TEST(DvdWarnings, OnlyTheNavigatorsElementsWarnOfTheDisc)
{
    gst_init(nullptr, nullptr);
    g_autoptr(GstElement) pipeline = GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("graph")));
    GstElement* navigator = gst_bin_new("DVD Navigator");
    GstElement* source = gst_element_factory_make("fakesrc", "dvdsrc");
    GstElement* sink = gst_element_factory_make("fakesink", "audiosink");
    ASSERT_TRUE(navigator && source && sink);
    gst_bin_add(GST_BIN(navigator), source);
    gst_bin_add_many(GST_BIN(pipeline), navigator, sink, nullptr);
    const auto kind = [](GstElement* from, GQuark domain, int code, GstElement* nav) {
        g_autoptr(GError) error = g_error_new_literal(domain, code, "warning");
        g_autoptr(GstMessage) message = gst_message_new_warning(GST_OBJECT(from), error, nullptr);
        return DiscWarningKind(message, nav ? GST_OBJECT(nav) : nullptr);
    };
    const GQuark resource = GST_RESOURCE_ERROR;
    EXPECT_EQ(kind(source, resource, GST_RESOURCE_ERROR_OPEN_READ, navigator), DVD_WARNING_Open);
    EXPECT_EQ(kind(source, resource, GST_RESOURCE_ERROR_SEEK, navigator), DVD_WARNING_Seek);
    EXPECT_EQ(kind(source, resource, GST_RESOURCE_ERROR_READ, navigator), DVD_WARNING_Read);
    EXPECT_EQ(kind(navigator, resource, GST_RESOURCE_ERROR_FAILED, navigator), DVD_WARNING_Read);
    // A sound sink's failed try (no sound server) and warnings of other kinds are no disc warnings.
    EXPECT_EQ(kind(sink, resource, GST_RESOURCE_ERROR_OPEN_READ, navigator), 0);
    EXPECT_EQ(kind(sink, resource, GST_RESOURCE_ERROR_OPEN_WRITE, navigator), 0);
    EXPECT_EQ(kind(source, GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE, navigator), 0);
    EXPECT_EQ(kind(source, resource, GST_RESOURCE_ERROR_READ, nullptr), 0);
}

TEST(DvdState, RecordRoundTripsAndRejectsBadData)
{
    const QString menu = testutil::Fixture("dvd_menu");
    if (!QFileInfo::exists(menu)) GTEST_SKIP() << "fixtures not made";
    DiscInfo disc, other;
    ASSERT_TRUE(disc.Open(menu));
    ASSERT_TRUE(other.Open(testutil::Fixture("dvd_titles")));
    StateRecord r;
    r.discId = disc.DiscId();
    r.title = 1;
    r.chapter = 2;
    r.time = {0, 0, 25, 12};
    r.audio = 1;
    r.subpicture = 0;
    r.subpictureShown = true;
    r.angle = 1;
    const QByteArray bytes = WriteStateRecord(r);
    StateRecord back;
    ASSERT_EQ(ReadStateRecord(bytes, disc, &back), S_OK);
    EXPECT_EQ(back.title, 1u);
    EXPECT_EQ(back.chapter, 2u);
    EXPECT_EQ(back.time, r.time);
    EXPECT_EQ(back.audio, 1);
    EXPECT_TRUE(back.subpictureShown);

    EXPECT_EQ(ReadStateRecord(bytes, other, &back), VFW_E_DVD_STATE_WRONG_DISC);
    for (int cut : {0, 10, 19, 20, int(bytes.size()) - 1})
        EXPECT_EQ(ReadStateRecord(bytes.left(cut), disc, &back), VFW_E_DVD_STATE_CORRUPT) << cut;
    EXPECT_EQ(ReadStateRecord(QByteArray(bytes.size(), 'x'), disc, &back), VFW_E_DVD_STATE_CORRUPT);
    QByteArray newer = bytes;
    newer[16] = 9;
    EXPECT_EQ(ReadStateRecord(newer, disc, &back), VFW_E_DVD_STATE_WRONG_VERSION);
    // Fields that do not fit the disc.
    for (auto broken : {+[](StateRecord& s) { s.title = 3; }, +[](StateRecord& s) { s.chapter = 4; },
                        +[](StateRecord& s) { s.time.minutes = 5; }, +[](StateRecord& s) { s.audio = 2; },
                        +[](StateRecord& s) { s.angle = 0; }}) {
        StateRecord bad = r;
        broken(bad);
        EXPECT_EQ(ReadStateRecord(WriteStateRecord(bad), disc, &back), VFW_E_DVD_STATE_CORRUPT);
    }
}

// Where chapters begin, and the parental table the fixture script writes,
// as libdvdread reads them back.
TEST(DvdDiscInfo, ChapterStartsAndTheParentalTable)
{
    const QString chapters = testutil::Fixture("dvd_chapters");
    if (!QFileInfo::exists(chapters)) GTEST_SKIP() << "fixtures not made";
    DiscInfo disc;
    ASSERT_TRUE(disc.Open(chapters));
    const std::vector<std::int64_t>& starts = disc.Title(1)->chapterStartsMs;
    ASSERT_EQ(starts.size(), 3u);
    EXPECT_EQ(starts[0], 0);
    EXPECT_NEAR(double(starts[1]), 8000, 600);
    EXPECT_NEAR(double(starts[2]), 16000, 600);
    EXPECT_EQ(disc.ChapterAt(1, 0), 1);
    EXPECT_EQ(disc.ChapterAt(1, starts[1] - 1), 1);
    EXPECT_EQ(disc.ChapterAt(1, starts[1]), 2);
    EXPECT_EQ(disc.ChapterAt(1, 60000), 3);
    EXPECT_EQ(disc.ChapterAt(2, 0), 0) << "no such title";
    EXPECT_EQ(disc.ParentalLevelNeeded(1, 0), 0) << "no table";
    EXPECT_FALSE(DiscInfo::IsScrambled(chapters));

    DiscInfo parental;
    ASSERT_TRUE(parental.Open(testutil::Fixture("dvd_parental")));
    EXPECT_EQ(parental.ParentalLevelNeeded(1, DiscInfo::CountryCode("JP")), 6);
    EXPECT_EQ(parental.ParentalLevelNeeded(1, 0), 6) << "no country: the table's first";
    EXPECT_EQ(parental.ParentalLevelNeeded(1, DiscInfo::CountryCode("US")), 0) << "a country the disc does not name";
    EXPECT_EQ(parental.ParentalLevelNeeded(0, 0), 0) << "the volume manager is left out";
}
