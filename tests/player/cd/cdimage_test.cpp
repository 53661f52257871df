// Disc images from sheets the test writes: a FILE of any name, one WAVE file
// per track, gaps; the table, the disc identifier and the CD-TEXT that a
// drive of such an image answers, and the sheets that are no disc.
#include "units/Cdinfo.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <sys/stat.h>

#include <vector>

namespace {

// `seconds` of one constant sample, as raw disc data.
QByteArray Pcm(double seconds, qint16 value = 100)
{
    const int samples = static_cast<int>(seconds * 75) * 588;
    QByteArray pcm(samples * 4, Qt::Uninitialized);
    for (int i = 0; i < samples * 2; ++i) qToLittleEndian(value, pcm.data() + i * 2);
    return pcm;
}

QByteArray Wave(const QByteArray& pcm, quint16 channels = 2)
{
    auto u16 = [](quint16 v) { QByteArray b(2, 0); qToLittleEndian(v, b.data()); return b; };
    auto u32 = [](quint32 v) { QByteArray b(4, 0); qToLittleEndian(v, b.data()); return b; };
    const QByteArray format = u16(1) + u16(channels) + u32(44100) + u32(44100 * 2 * channels) + u16(2 * channels) + u16(16);
    const QByteArray body = "WAVE" + QByteArray("fmt ") + u32(16) + format + "data" + u32(static_cast<quint32>(pcm.size())) + pcm;
    return "RIFF" + u32(static_cast<quint32>(body.size())) + body;
}

// libcddb's disc identifier over a table: the digit sums of the track
// starts in whole seconds (lead-in included), and the disc's length.
std::uint32_t FreedbId(const CDinfo& info)
{
    auto digits = [](int n) { int s = 0; for (; n > 0; n /= 10) s += n % 10; return s; };
    int sum = 0;
    for (const auto& t : info.tracks) sum += digits(MciMsfToFrames(t->start) / 75);
    const int length = info.totalFrames / 75 - MciMsfToFrames(info.tracks.front()->start) / 75;
    return static_cast<std::uint32_t>((sum % 255) << 24 | length << 8 | static_cast<int>(info.tracks.size()));
}

std::vector<int> Starts(const CDinfo& info)
{
    std::vector<int> starts;
    for (const auto& t : info.tracks) starts.push_back(MciMsfToFrames(t->start));
    starts.push_back(info.totalFrames);
    return starts;
}

TEST(CdImageSheet, FileNamesWaveFilesAndGapsGiveTableIdAndText)
{
    testutil::IsolatedHome home;
    struct Case {
        const char* what;
        QByteArray sheet;
        std::vector<std::pair<const char*, QByteArray>> files;
        std::vector<int> starts;   // the tracks, then the lead-out, in frames
        std::uint32_t id;          // 0: only libcddb's formula over the table
    };
    const std::vector<Case> cases = {
        {"a name other than the sheet's, with blanks",
         "PERFORMER \"Image Band\"\nTITLE \"Other Disc\"\nFILE \"other name.bin\" BINARY\n"
         "  TRACK 01 AUDIO\n    TITLE \"First\"\n    INDEX 01 00:00:00\n"
         "  TRACK 02 AUDIO\n    TITLE Second Song\n    PERFORMER \"Guest\"\n    INDEX 01 00:03:00\n",
         {{"other name.bin", Pcm(5)}}, {150, 375, 525}, 0},
        {"one WAVE file per track, a pre-gap at the end of the file before, a name in other case",
         "FILE 01.wav WAVE\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n"
         "    INDEX 00 00:01:50\r\nFILE \"02.wav\" WAVE\r\n    INDEX 01 00:00:00\r\n"
         "FILE \"03.WAV\" WAVE\r\n  TRACK 03 AUDIO\r\n    INDEX 01 00:00:00\r\n",
         {{"01.wav", Wave(Pcm(2))}, {"02.wav", Wave(Pcm(3))}, {"03.wav", Wave(Pcm(1))}},
         {150, 150 + 150, 150 + 150 + 225, 150 + 150 + 225 + 75}, 0},
        // libcdio's reader left the PREGAP out: 1a007e03 for this table.
        {"PREGAP and POSTGAP",
         "FILE \"d.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 AUDIO\n  PREGAP 00:05:00\n"
         "  INDEX 01 00:33:00\n TRACK 03 AUDIO\n  INDEX 01 01:26:00\n",
         {{"d.bin", Pcm(126)}}, {150, 3000, 6975, 9975}, 0x12008303},
        {"a gap after the last track and INDEX 00 before the first",
         "FILE \"g.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 00 00:00:00\n  INDEX 01 00:01:00\n  POSTGAP 00:02:00\n",
         {{"g.bin", Pcm(4)}}, {225, 150 + 300 + 150}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(home.File("disc")).removeRecursively();
        QDir().mkpath(home.File("disc"));
        for (const auto& [name, data] : c.files) ASSERT_TRUE(testutil::WriteFile(home.File("disc/") + name, data));
        const QString sheet = home.File("disc/disc.cue");
        ASSERT_TRUE(testutil::WriteFile(sheet, c.sheet));
        CDinfo info;
        CASPI aspi;
        ASSERT_EQ(aspi.ReadTocSpti(&info, sheet), 1);
        EXPECT_EQ(Starts(info), c.starts);
        std::uint32_t id = 0;
        QString query;
        ASSERT_EQ(aspi.GetDiscIdSpti(sheet, &id, &query), 1);
        EXPECT_EQ(id, FreedbId(info));
        if (c.id) {
            EXPECT_EQ(QString::asprintf("%08x", id), QString::asprintf("%08x", c.id));
        }
    }
    // The first sheet's TITLE and PERFORMER lines are its CD-TEXT.
    QDir(home.File("disc")).removeRecursively();
    QDir().mkpath(home.File("disc"));
    ASSERT_TRUE(testutil::WriteFile(home.File("disc/other name.bin"), cases[0].files[0].second));
    const QString sheet = home.File("disc/disc.cue");
    ASSERT_TRUE(testutil::WriteFile(sheet, cases[0].sheet));
    CDinfo info;
    CASPI aspi;
    ASSERT_EQ(aspi.ReadTocSpti(&info, sheet), 1);
    ASSERT_EQ(aspi.ReadCdTextSpti(&info, sheet), 1);
    EXPECT_EQ(info.title, "Other Disc");
    EXPECT_EQ(info.performer, "Image Band");
    EXPECT_EQ(info.tracks[0]->title, "First");
    EXPECT_EQ(info.tracks[0]->performer, "");
    EXPECT_EQ(info.tracks[1]->title, "Second Song");
    EXPECT_EQ(info.tracks[1]->performer, "Guest");
    // Text beyond ISO 8859-1 goes into a Japanese (MS-JIS) block.
    ASSERT_TRUE(testutil::WriteFile(sheet, "TITLE \"日本のディスク\"\nFILE \"other name.bin\" BINARY\n"
                                           "  TRACK 01 AUDIO\n    TITLE \"朝 a\"\n    INDEX 01 00:00:00\n"));
    ASSERT_EQ(aspi.ReadTocSpti(&info, sheet), 1);
    ASSERT_EQ(aspi.ReadCdTextSpti(&info, sheet), 1);
    EXPECT_EQ(info.title, QStringLiteral("日本のディスク"));
    EXPECT_EQ(info.tracks[0]->title, QStringLiteral("朝 a"));
}

TEST(CdImageSheet, MissingOrForeignDataIsNoDisc)
{
    testutil::IsolatedHome home;
    const QByteArray track = "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    ASSERT_TRUE(testutil::WriteFile(home.File("mono.wav"), Wave(Pcm(1), 1)));
    ASSERT_TRUE(testutil::WriteFile(home.File("fine.bin"), Pcm(1)));
    ASSERT_TRUE(testutil::WriteFile(home.File("song.mp3"), Pcm(1)));
    const QByteArray sheets[] = {
        "FILE \"missing.bin\" BINARY\n" + track,
        "FILE \"fine.bin\" BINARY\n" + track + "FILE \"missing.wav\" WAVE\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n",
        "FILE \"mono.wav\" WAVE\n" + track,
        "FILE \"fine.bin\" WAVE\n" + track,
        "FILE \"song.mp3\" MP3\n" + track,
        "FILE \"fine.bin\" BINARY\n" + track + "  TRACK 02 AUDIO\n    INDEX 01 00:02:00\n",   // beyond the file
        "FILE \"fine.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n",          // no audio
        "FILE \"fine.bin\" BINARY\n  TRACK 01 AUDIO\n",
    };
    for (const QByteArray& text : sheets) {
        const QString sheet = home.File("x.cue");
        ASSERT_TRUE(testutil::WriteFile(sheet, text));
        CDinfo info;
        EXPECT_EQ(CASPI().ReadTocSpti(&info, sheet), 0) << text.toStdString();
    }
}

// Files that never end or never open: a device, a FIFO without a writer and a
// folder, named as data or as CD-TEXT, and a CD-TEXT file longer than any. Each is no disc, at once (a read of them would not end).
TEST(CdImageSheet, DevicesFifosFoldersAndOversizedCdTextAreNoDisc)
{
    testutil::IsolatedHome home;
    const QByteArray track = "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    ASSERT_TRUE(testutil::WriteFile(home.File("fine.bin"), Pcm(1)));
    ASSERT_TRUE(testutil::WriteFile(home.File("huge.cdt"), QByteArray(40000, '\x80')));
    ASSERT_TRUE(QDir().mkpath(home.File("folder.bin")));
    const QByteArray fifo = QFile::encodeName(home.File("fifo.bin"));
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    const QByteArray good = "FILE \"fine.bin\" BINARY\n" + track;
    const QString sheet = home.File("x.cue");
    ASSERT_TRUE(testutil::WriteFile(sheet, good));
    CDinfo info;
    ASSERT_NE(CASPI().ReadTocSpti(&info, sheet), 0);

    const QByteArray sheets[] = {
        "FILE \"/dev/zero\" BINARY\n" + track,
        "FILE \"fifo.bin\" BINARY\n" + track,
        "FILE \"folder.bin\" BINARY\n" + track,
        "CDTEXTFILE \"/dev/zero\"\n" + good,
        "CDTEXTFILE \"fifo.bin\"\n" + good,
        "CDTEXTFILE \"folder.bin\"\n" + good,
        "CDTEXTFILE \"huge.cdt\"\n" + good,
    };
    for (const QByteArray& text : sheets) {
        ASSERT_TRUE(testutil::WriteFile(sheet, text));
        CDinfo refused;
        EXPECT_EQ(CASPI().ReadTocSpti(&refused, sheet), 0) << text.toStdString();
    }
}

}  // namespace
