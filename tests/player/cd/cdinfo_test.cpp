// The drive commands, the TOC parse, the disc identifier and the speed limit,
// against canned replies and disc images.
#include "cd_test_util.h"
#include "units/Cdinfo.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QDir>

using namespace cdtest;
using cdrom::CannedDrive;

namespace {

TEST(CdMsf, ConversionsBothWays)
{
    struct Case {
        int m, s, f, frames;
    };
    for (const Case& c : {Case{0, 2, 0, 150}, Case{45, 20, 30, 204030}, Case{0, 0, 74, 74}, Case{79, 59, 74, 359999}}) {
        EXPECT_EQ(MsfToFrames(c.m, c.s, c.f), c.frames);
        const MciMsf msf = FramesToMciMsf(c.frames);
        EXPECT_EQ(msf, static_cast<MciMsf>(c.m | (c.s << 8) | (c.f << 16))) << c.frames;
        EXPECT_EQ(MciMsfToFrames(msf), c.frames);
    }
    // Minutes beyond 8 bits wrap as the packed form holds them.
    EXPECT_EQ(FramesToMciMsf(256 * 4500) & 0xFF, 0u);
}

TEST(CdCommands, EveryCdbByteForByte)
{
    CannedDriveScope scope;
    scope.drive->SetReply(kReadTocCdb, FixtureBytes("toc_mixed.bin"));
    scope.drive->SetReply(kReadCdTextCdb, FixtureBytes("cdtext_one.bin"));
    scope.drive->SetReply(kDiscStructureCdb, {});
    scope.drive->SetReply(SetSpeedCdb(0xFFFF), {});
    scope.drive->SetReply(SetSpeedCdb(1234), {});
    CASPI aspi;
    CDinfo info;
    std::uint32_t id = 0;
    QString query;
    EXPECT_EQ(aspi.ReadTocSpti(&info, "/dev/sr0"), 1);
    EXPECT_EQ(aspi.ReadCdTextSpti(&info, "/dev/sr0"), 1);
    EXPECT_EQ(aspi.GetDiscIdSpti("/dev/sr0", &id, &query), 1);
    EXPECT_EQ(aspi.SetCDSpeed("/dev/sr0", -1), 1);
    EXPECT_EQ(aspi.SetCDSpeed("/dev/sr0", 1234), 1);
    EXPECT_EQ(aspi.SendCdbAD("/dev/sr0"), 1);
    const auto& sent = scope.drive->SentCommands();
    ASSERT_EQ(sent.size(), 6u);
    struct Expect {
        Bytes cdb;
        bool dataIn;
        int length;
        cdrom::Access access;
    };
    const std::vector<Expect> expected = {
        {kReadTocCdb, true, 804, cdrom::Access::Read},
        {kReadCdTextCdb, true, 5000, cdrom::Access::Read},
        {kReadTocCdb, true, 804, cdrom::Access::Read},
        {SetSpeedCdb(0xFFFF), false, 0, cdrom::Access::Write},
        {SetSpeedCdb(1234), false, 0, cdrom::Access::Write},
        {kDiscStructureCdb, false, 0, cdrom::Access::Read},
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(sent[i].cdb, expected[i].cdb) << i;
        EXPECT_EQ(sent[i].dataIn, expected[i].dataIn) << i;
        EXPECT_EQ(sent[i].length, expected[i].length) << i;
        EXPECT_EQ(sent[i].access, expected[i].access) << i;
    }
}

TEST(CdToc, AudioAndDataTracks)
{
    CannedDriveScope scope;
    scope.drive->SetReply(kReadTocCdb, FixtureBytes("toc_mixed.bin"));
    CDinfo info;
    ASSERT_EQ(CASPI().ReadTocSpti(&info, "d"), 1);
    ASSERT_EQ(info.trackCount, 4);
    ASSERT_EQ(info.tracks.size(), 4u);
    EXPECT_EQ(info.totalFrames, 150 + 40000);
    const int starts[] = {150, 150 + 4500, 150 + 9037, 150 + 20000, 150 + 40000};
    for (int i = 0; i < 4; ++i) {
        const TTrackRecord& t = *info.tracks[static_cast<size_t>(i)];
        EXPECT_EQ(t.number, i + 1);
        EXPECT_EQ(MciMsfToFrames(t.start), starts[i]);
        EXPECT_EQ(MciMsfToFrames(t.length), starts[i + 1] - starts[i]);
        EXPECT_EQ(t.audio, i < 3 ? 1 : 0);
    }
}

TEST(CdToc, MalformedRepliesYieldNoTracks)
{
    const Bytes good = MakeToc({150, 4650, 9000}, 20000);
    auto with = [&](const std::function<void(Bytes&)>& change) {
        Bytes b = good;
        change(b);
        return b;
    };
    struct Case {
        const char* what;
        Bytes reply;
        int size;   // bytes that came back; -1: all
    };
    const std::vector<Case> cases = {
        {"first track 2", FixtureBytes("toc_first2.bin"), -1},
        {"first track 0", with([](Bytes& b) { b[2] = 0; }), -1},
        {"last below first", with([](Bytes& b) { b[3] = 0; }), -1},
        {"last above 99", with([](Bytes& b) { b[3] = 100; }), -1},
        {"lead-out past the reply", good, static_cast<int>(good.size()) - 1},
        {"lead-out past the length field", with([](Bytes& b) { b[1] -= 8; }), -1},
        {"header only", good, 4},
        {"lead-out not 0xAA", with([](Bytes& b) { b[4 + 3 * 8 + 2] = 4; }), -1},
        {"descriptor of another track", with([](Bytes& b) { b[4 + 8 + 2] = 7; }), -1},
        {"starts not increasing", with([](Bytes& b) { b[4 + 2 * 8 + 5] = 0; }), -1},
        {"seconds out of range", with([](Bytes& b) { b[4 + 6] = 60; }), -1},
    };
    for (const Case& c : cases) {
        CDinfo info;
        // A record that held a disc before keeps nothing of it.
        ASSERT_TRUE(ParseToc(&info, good.data(), static_cast<int>(good.size())));
        const int size = c.size < 0 ? static_cast<int>(c.reply.size()) : c.size;
        EXPECT_FALSE(ParseToc(&info, c.reply.data(), size)) << c.what;
        EXPECT_TRUE(info.tracks.empty()) << c.what;
        EXPECT_EQ(info.trackCount, 0) << c.what;
        std::uint32_t id = 7;
        QString query;
        EXPECT_FALSE(DiscIdFromToc(c.reply.data(), size, &id, &query)) << c.what;
        EXPECT_EQ(id, 7u) << c.what;
    }
}

TEST(CdToc, RecordReadTwiceHoldsOnlyTheSecondDisc)
{
    CannedDriveScope scope;
    CDinfo info;
    scope.drive->SetReply(kReadTocCdb, MakeToc({150, 4650, 9000, 12000, 15000}, 20000));
    ASSERT_EQ(CASPI().ReadTocSpti(&info, "d"), 1);
    ASSERT_EQ(info.tracks.size(), 5u);
    scope.drive->SetReply(kReadTocCdb, MakeToc({150, 300}, 900));
    ASSERT_EQ(CASPI().ReadTocSpti(&info, "d"), 1);
    ASSERT_EQ(info.tracks.size(), 2u);
    EXPECT_EQ(info.trackCount, 2);
    EXPECT_EQ(MciMsfToFrames(info.tracks[1]->start), 300);
    EXPECT_EQ(MciMsfToFrames(info.tracks[1]->length), 600);
    // A disc that cannot be read leaves an empty record.
    scope.drive->SetFault(CannedDrive::Fault::Refused);
    EXPECT_EQ(CASPI().ReadTocSpti(&info, "d"), 0);
    EXPECT_TRUE(info.tracks.empty());
}

TEST(CdToc, CommandFaultsFail)
{
    for (const CannedDrive::Fault fault :
         {CannedDrive::Fault::Refused, CannedDrive::Fault::TimedOut, CannedDrive::Fault::ShortReply}) {
        CannedDriveScope scope;
        scope.drive->SetReply(kReadTocCdb, FixtureBytes("toc_mixed.bin"));
        scope.drive->SetReply(SetSpeedCdb(0xFFFF), {});
        scope.drive->SetFault(fault, 20);
        CDinfo info;
        std::uint32_t id = 0;
        QString query;
        EXPECT_EQ(CASPI().ReadTocSpti(&info, "d"), 0);
        EXPECT_EQ(CASPI().GetDiscIdSpti("d", &id, &query), 0);
        // A command without data cannot come back short.
        EXPECT_EQ(CASPI().SetCDSpeed("d", -1), fault == CannedDrive::Fault::ShortReply ? 1 : 0);
    }
    CannedDriveScope absent;
    absent.drive->SetUnavailable(true);
    CDinfo info;
    EXPECT_EQ(CASPI().ReadTocSpti(&info, "d"), 0);
    EXPECT_EQ(CASPI().SendCdbAD("d"), 0);
}

TEST(CdDiscId, IdentifierAndQueryCommand)
{
    // Tracks 1-10, lead-out at 45:20:30: length = 2720 - 2.
    std::vector<int> ten;
    for (int i = 0; i < 10; ++i) ten.push_back(150 + i * 20000);
    std::vector<int> many;
    for (int i = 0; i < 99; ++i) many.push_back(150 + i * 3000);
    struct Case {
        std::vector<int> starts;
        int leadOut;
    };
    const std::vector<Case> cases = {{ten, MsfToFrames(45, 20, 30)},
                                     {{150}, 150 + 225},
                                     {{150, 375}, 150 + 525},
                                     {{150, 375, 675}, 825},
                                     {many, 150 + 99 * 3000 + 100}};
    for (const Case& c : cases) {
        const Bytes toc = MakeToc(c.starts, c.leadOut);
        std::uint32_t id = 0;
        QString query;
        ASSERT_TRUE(DiscIdFromToc(toc.data(), static_cast<int>(toc.size()), &id, &query));
        int sum = 0;
        QString expectedTail;
        for (const int start : c.starts) {
            for (int n = start / 75; n > 0; n /= 10) sum += n % 10;
            expectedTail += QStringLiteral("+%1").arg(start);
        }
        const int n = static_cast<int>(c.starts.size());
        const int length = c.leadOut / 75 - c.starts[0] / 75;
        const std::uint32_t expected = (static_cast<std::uint32_t>(sum % 255) << 24) | (length << 8) | n;
        EXPECT_EQ(id, expected) << n;
        EXPECT_EQ(query, QString::asprintf("cddb+query+%08x+%d", expected, n) + expectedTail +
                             QStringLiteral("+%1").arg(c.leadOut / 75));
    }
    // The documented edge case, by its numbers.
    const Bytes toc = MakeToc(ten, MsfToFrames(45, 20, 30));
    std::uint32_t id = 0;
    QString query;
    ASSERT_TRUE(DiscIdFromToc(toc.data(), static_cast<int>(toc.size()), &id, &query));
    EXPECT_EQ((id >> 8) & 0xFFFF, 2720u - 2u);
    EXPECT_EQ(id & 0xFF, 10u);
}

TEST(CdSpeed, LimitRuleAndRestore)
{
    // Audio CD 12x, other CD 24x, DVD 6x.
    const std::uint32_t factors = (12u << 16) | (24u << 8) | 6u;
    const std::uint32_t limit = TDriveSpeedLimit::kLimitFlag;
    const std::uint32_t restore = TDriveSpeedLimit::kRestoreFlag;
    struct Case {
        const char* what;
        std::uint32_t setting;
        bool dvd;
        bool audioCd;
        int speed;   // 0: none sent
    };
    const std::vector<Case> cases = {
        {"limit off", factors, false, true, 0},
        {"limit off, restore on", factors | restore, true, false, 0},
        {"audio CD", factors | limit, false, true, 12 * 177},
        {"other CD", factors | limit, false, false, 24 * 177},
        {"DVD", factors | limit | restore, true, true, 6 * 1385},
        {"audio factor 0", (24u << 8) | 6u | limit, false, true, 0},
        {"other factor 0", (12u << 16) | 6u | limit, false, false, 0},
        {"DVD factor 0", (12u << 16) | (24u << 8) | limit, true, false, 0},
    };
    for (const Case& c : cases) {
        CannedDriveScope scope;
        if (c.dvd) scope.drive->SetReply(kDiscStructureCdb, {});
        if (c.speed) scope.drive->SetReply(SetSpeedCdb(c.speed), {});
        scope.drive->SetReply(SetSpeedCdb(0xFFFF), {});
        TDriveSpeedLimit speedLimit;
        EXPECT_EQ(speedLimit.Apply("/dev/sr0", c.setting, c.audioCd), c.speed != 0) << c.what;
        Bytes last;
        for (const auto& sent : scope.drive->SentCommands())
            if (sent.cdb[0] == 0xBB) last = sent.cdb;
        EXPECT_EQ(last, c.speed ? SetSpeedCdb(c.speed) : Bytes()) << c.what;
        EXPECT_EQ(speedLimit.ChangedDrive(), c.speed ? QStringLiteral("/dev/sr0") : QString()) << c.what;
        // Restore: full speed only with the restore flag; forgotten either way.
        scope.drive->ClearSent();
        speedLimit.Restore(c.setting);
        const bool restored = c.speed && (c.setting & restore);
        ASSERT_EQ(scope.drive->SentCommands().size(), restored ? 1u : 0u) << c.what;
        if (restored) {
            EXPECT_EQ(scope.drive->SentCommands()[0].cdb, SetSpeedCdb(0xFFFF));
        }
        EXPECT_TRUE(speedLimit.ChangedDrive().isEmpty());
        speedLimit.Restore(c.setting);
        EXPECT_EQ(scope.drive->SentCommands().size(), restored ? 1u : 0u) << c.what;
    }
    // A drive that refuses the speed is not remembered.
    CannedDriveScope refusing;
    TDriveSpeedLimit speedLimit;
    EXPECT_FALSE(speedLimit.Apply("/dev/sr0", factors | limit, true));
    EXPECT_TRUE(speedLimit.ChangedDrive().isEmpty());
}

// The disc identifier of each image, against the one cdiocddasrc posts.
QString CddaSrcDiscId(const QString& cueSheet)
{
    g_autoptr(GstElement) source = gst_element_factory_make("cdiocddasrc", nullptr);
    if (!source) return {};
    const QString description =
        QStringLiteral("cdiocddasrc device=\"%1\" track=1 ! fakesink").arg(cueSheet);
    g_autoptr(GError) error = nullptr;
    g_autoptr(GstElement) pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (!pipeline) return {};
    gst_element_set_state(pipeline, GST_STATE_PAUSED);
    g_autoptr(GstBus) bus = gst_element_get_bus(pipeline);
    QString id;
    while (id.isEmpty()) {
        g_autoptr(GstMessage) message = gst_bus_timed_pop_filtered(
            bus, 10 * GST_SECOND,
            static_cast<GstMessageType>(GST_MESSAGE_TAG | GST_MESSAGE_ERROR | GST_MESSAGE_ASYNC_DONE));
        if (!message || GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) break;
        if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_TAG) continue;
        g_autoptr(GstTagList) tags = nullptr;
        gst_message_parse_tag(message, &tags);
        gchar* value = nullptr;
        if (gst_tag_list_get_string(tags, "discid", &value)) {
            id = QString::fromUtf8(value);
            g_free(value);
        }
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    return id;
}

TEST(CdImage, ImageGivesTocAndDiscIdOfCddaSrc)
{
    if (!gst_element_factory_find("cdiocddasrc")) GTEST_SKIP() << "cdiocddasrc is not installed";
    struct Case {
        const char* name;
        int tracks;
    };
    for (const Case& c : {Case{"one", 1}, Case{"two", 2}, Case{"three", 3}}) {
        const QString sheet = testutil::Fixture(QStringLiteral("cd/%1.cue").arg(c.name));
        CDinfo info;
        ASSERT_EQ(CASPI().ReadTocSpti(&info, sheet), 1) << c.name;
        EXPECT_EQ(info.trackCount, c.tracks);
        EXPECT_EQ(MciMsfToFrames(info.tracks[0]->start), 150);
        for (const auto& t : info.tracks) EXPECT_EQ(t->audio, 1);
        std::uint32_t id = 0;
        QString query;
        ASSERT_EQ(CASPI().GetDiscIdSpti(sheet, &id, &query), 1) << c.name;
        EXPECT_EQ(QString::asprintf("%08x", id), CddaSrcDiscId(sheet)) << c.name;
        EXPECT_TRUE(query.startsWith(QString::asprintf("cddb+query+%08x+%d+150", id, c.tracks)));
    }
}

// A real drive with an audio CD, when the machine has one (ZORAVEL_TEST_DRIVE
// names another node than /dev/cdrom). The limit then slows it down.
TEST(CdDrive, RealDiscThroughSgIo)
{
    const QByteArray named = qgetenv("ZORAVEL_TEST_DRIVE");
    const QString drive = named.isEmpty() ? QStringLiteral("/dev/cdrom") : QString::fromLocal8Bit(named);
    CDinfo info;
    if (!QFile::exists(drive) || !CASPI().ReadTocSpti(&info, drive)) GTEST_SKIP() << "no audio CD in a drive";
    CASPI aspi;
    aspi.ReadCdTextSpti(&info, drive);
    std::uint32_t id = 0;
    QString query;
    ASSERT_EQ(aspi.GetDiscIdSpti(drive, &id, &query), 1);
    if (gst_element_factory_find("cdiocddasrc")) {
        EXPECT_EQ(QString::asprintf("%08x", id), CddaSrcDiscId(drive));
    }
    TDriveSpeedLimit speedLimit;
    const std::uint32_t setting = TDriveSpeedLimit::kLimitFlag | TDriveSpeedLimit::kRestoreFlag | (4u << 16);
    EXPECT_TRUE(speedLimit.Apply(drive, setting, true));
    speedLimit.Restore(setting);
}

}  // namespace
