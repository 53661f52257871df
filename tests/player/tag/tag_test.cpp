// ID3 reader: versions, encodings, unsynchronisation, ID3v1, hostile input,
// duration walk.
#include "player/tag/mp3_maker.h"
#include "support/test_util.h"
#include "units/Ctag.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

using namespace mp3test;

namespace {

class TagTest : public ::testing::Test {
protected:
    QString Write(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(testutil::WriteFile(path, bytes));
        return path;
    }
    QTemporaryDir dir_;
};

QByteArray ThreeFrames23(const QByteArray& title, const QByteArray& artist, const QByteArray& album, char enc = 0)
{
    return Frame23("TIT2", Text(enc, title)) + Frame23("TPE1", Text(enc, artist)) + Frame23("TALB", Text(enc, album));
}

}  // namespace

TEST_F(TagTest, ReadsEachVersionOfId3v2)
{
    const QString v22 = Write("v22.mp3", Tag(2, Frame22("TT2", Text(0, "Title")) + Frame22("TP1", Text(0, "Artist")) +
                                                  Frame22("TAL", Text(0, "Album")) + QByteArray(20, 0)));
    const QString v23 = Write("v23.mp3", Tag(3, Frame23("TXXX", Text(0, "skip me")) + ThreeFrames23("T3", "A3", "B3") +
                                                  QByteArray(64, 0)));
    const QString v24 = Write("v24.mp3", Tag(4, Frame24("TIT2", Text(3, "タイトル")) + Frame24("TPE1", Text(3, "歌手")) +
                                                  Frame24("TALB", Text(3, "盤"))));
    CMP3Info info(false);
    ASSERT_TRUE(info.ReadTag(v22, true));
    EXPECT_EQ(info.tag.title, "Title");
    EXPECT_EQ(info.tag.artist, "Artist");
    EXPECT_EQ(info.tag.album, "Album");
    ASSERT_TRUE(info.ReadTag(v23, true));
    EXPECT_EQ(info.tag.title, "T3");
    EXPECT_EQ(info.tag.artist, "A3");
    EXPECT_EQ(info.tag.album, "B3");
    ASSERT_TRUE(info.ReadTag(v24, true));
    EXPECT_EQ(info.tag.title, QString::fromUtf8("タイトル"));
    EXPECT_EQ(info.tag.artist, QString::fromUtf8("歌手"));
    EXPECT_EQ(info.tag.album, QString::fromUtf8("盤"));
}

TEST_F(TagTest, FrameSizesOf128BytesAndMoreFollowEachVersionsRule)
{
    // 2.3 stores plain big-endian sizes, 2.4 syncsafe ones; a long frame in
    // front must be stepped over exactly for the title behind it to be found.
    const QByteArray longText = Text(0, QByteArray(300, 'x'));
    const QString v23 = Write("long23.mp3", Tag(3, Frame23("COMM", longText) + Frame23("TIT2", Text(0, "after"))));
    const QString v24 = Write("long24.mp3", Tag(4, Frame24("COMM", longText) + Frame24("TIT2", Text(0, "after"))));
    CMP3Info info(false);
    ASSERT_TRUE(info.ReadTag(v23, true));
    EXPECT_EQ(info.tag.title, "after");
    ASSERT_TRUE(info.ReadTag(v24, true));
    EXPECT_EQ(info.tag.title, "after");
    ASSERT_TRUE(info.ReadTag(Write("title_long.mp3", Tag(3, Frame23("TIT2", longText))), true));
    EXPECT_EQ(info.tag.title, QString(300, 'x'));
}

TEST_F(TagTest, V24FrameSizesWrittenPlainAreToldByWhereTheNextFrameStands)
{
    // Some writers store 2.4 frame sizes as plain numbers. Sizes whose bytes
    // are all below 0x80 read as valid syncsafe numbers too, so only the
    // frame header that follows tells the two apart.
    const auto plainFrame = [](const char* id, const QByteArray& content) {
        return QByteArray(id, 4) + BigEndian(quint32(content.size()), 4) + QByteArray(2, 0) + content;
    };
    std::mt19937 random(31);
    QByteArray picture = Text(0, QByteArray("image/jpeg\0\x03\0\xFF\xD8\xFF\xE0", 17));
    while (picture.size() < 20000) picture += char(random());   // 0x4E20: both readings fit the tag
    // Below 128 bytes both readings agree.
    const QByteArray texts = Frame24("TIT2", Text(0, "Title")) + Frame24("TPE1", Text(0, "Artist")) +
                             Frame24("TALB", Text(0, "Album"));
    const struct {
        const char* name;
        QByteArray body;
    } cases[] = {
        {"comment300.mp3", plainFrame("COMM", Text(0, QByteArray(299, 'x'))) + texts + QByteArray(100, 0)},
        {"picture.mp3", plainFrame("APIC", picture) + texts},
        {"text300.mp3", plainFrame("TIT2", Text(0, QByteArray(299, 'T'))) + plainFrame("TPE1", Text(0, "Artist")) +
                            plainFrame("TALB", Text(0, "Album")) + QByteArray(100, 0)},
        {"syncsafe_picture.mp3", Frame24("APIC", picture) + texts + QByteArray(100, 0)},
    };
    CMP3Info info(false);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(info.ReadTag(Write(c.name, Tag(4, c.body) + Mpeg1Layer3Frames(2)), true));
        EXPECT_EQ(info.tag.title, c.name == QByteArray("text300.mp3") ? QString(299, 'T') : QString("Title"));
        EXPECT_EQ(info.tag.artist, "Artist");
        EXPECT_EQ(info.tag.album, "Album");
    }
}

TEST_F(TagTest, TextEncodings)
{
    const QByteArray le("\xFF\xFE" "S\0o\0n\0g\0" "\0\0" "x\0", 14);
    const QByteArray be("\xFE\xFF" "\0A\0r\0t", 8);
    const QByteArray sjis("\x93\xFA\x96\x7B", 4);   // 日本 in CP932
    const QString path = Write("enc.mp3", Tag(3, Frame23("TIT2", Text(1, le)) + Frame23("TPE1", Text(1, be)) +
                                                  Frame23("TALB", Text(0, sjis))));
    CMP3Info info(false);
    ASSERT_TRUE(info.ReadTag(path, true));
    EXPECT_EQ(info.tag.title, "Song");   // ends at the terminator
    EXPECT_EQ(info.tag.artist, "Art");
    EXPECT_EQ(info.tag.album, QString::fromUtf8("日本"));

    // Encoding 2 (UTF-16 big-endian without mark) and an odd last byte.
    const QString p2 = Write("enc2.mp3", Tag(4, Frame24("TIT2", Text(2, QByteArray("\0O\0K\0", 5)))));
    ASSERT_TRUE(info.ReadTag(p2, true));
    EXPECT_EQ(info.tag.title, "OK");
}

TEST_F(TagTest, UnsynchronisedTagReadsLikeThePlainOne)
{
    const QByteArray utf16("\xFF\xFE" "\xFF\x00" "a\0", 6);   // U+00FF then 'a'
    const QByteArray body = Frame23("TIT2", Text(1, utf16)) + Frame23("TPE1", Text(0, "\xFF\xFF\xE0x")) +
                            Frame23("TALB", Text(0, "plain"));
    const QByteArray unsynced = Unsynchronise(body);
    ASSERT_NE(unsynced.size(), body.size());
    CMP3Info plain(false), unsync(false);
    ASSERT_TRUE(plain.ReadTag(Write("plain.mp3", Tag(3, body)), true));
    ASSERT_TRUE(unsync.ReadTag(Write("unsync.mp3", Tag(3, unsynced, 0x80)), true));
    EXPECT_EQ(plain.tag.title, QString::fromUtf8("ÿa"));
    EXPECT_EQ(unsync.tag.title, plain.tag.title);
    EXPECT_EQ(unsync.tag.artist, plain.tag.artist);
    EXPECT_EQ(unsync.tag.album, "plain");

    // 2.4 marks unsynchronisation per frame.
    const QByteArray frame = Unsynchronise(Text(1, utf16));
    CMP3Info v24(false);
    ASSERT_TRUE(v24.ReadTag(Write("unsync24.mp3", Tag(4, Frame24("TIT2", frame, 0x02))), true));
    EXPECT_EQ(v24.tag.title, plain.tag.title);
}

TEST_F(TagTest, ExtendedHeaderIsSkippedPerVersion)
{
    const QByteArray ext23 = BigEndian(6, 4) + QByteArray(6, 0);      // size excludes itself
    const QByteArray ext24 = SyncSafe(6) + QByteArray("\x01\x00", 2);  // size includes itself
    CMP3Info info(false);
    ASSERT_TRUE(info.ReadTag(Write("ext23.mp3", Tag(3, ext23 + ThreeFrames23("t", "a", "b"), 0x40)), true));
    EXPECT_EQ(info.tag.title, "t");
    ASSERT_TRUE(info.ReadTag(Write("ext24.mp3", Tag(4, ext24 + Frame24("TIT2", Text(0, "t4")), 0x40)), true));
    EXPECT_EQ(info.tag.title, "t4");
}

TEST_F(TagTest, Id3v1AndTheChoiceBetweenVersions)
{
    const QByteArray v1 = Id3v1("Padded title   ", "Artist", "Album", ' ');
    const QString onlyV1 = Write("v1.mp3", Mpeg1Layer3Frames(3) + v1);
    CMP3Info info(false);
    ASSERT_TRUE(info.ReadTag(onlyV1, true));
    EXPECT_EQ(info.tag.title, "Padded title");
    EXPECT_EQ(info.tag.artist, "Artist");
    EXPECT_EQ(info.tag.album, "Album");

    const QString zeroCut = Write("v1zero.mp3", Id3v1(QByteArray("Ti\0tle", 6), "", ""));
    ASSERT_TRUE(info.ReadTag(zeroCut, false));
    EXPECT_EQ(info.tag.title, "Ti");

    // Both present: ID3v2 wins when allowed, ID3v1 otherwise.
    const QString both = Write("both.mp3", Tag(3, ThreeFrames23("two", "", "")) + Mpeg1Layer3Frames(2) +
                                               Id3v1("one", "", ""));
    ASSERT_TRUE(info.ReadTag(both, true));
    EXPECT_EQ(info.tag.title, "two");
    ASSERT_TRUE(info.ReadTag(both, false));
    EXPECT_EQ(info.tag.title, "one");

    // A tag size of 0 is no ID3v2 header: ID3v1 is read.
    const QString sizeZero = Write("size0.mp3", Tag(3, QByteArray(), 0, 0) + Id3v1("fallback", "", ""));
    ASSERT_TRUE(info.ReadTag(sizeZero, true));
    EXPECT_EQ(info.tag.title, "fallback");

    // A valid ID3v2 header without wanted frames counts as found.
    ASSERT_TRUE(info.ReadTag(Write("empty2.mp3", Tag(3, QByteArray(32, 0)) + Id3v1("v1", "", "")), true));
    EXPECT_TRUE(info.tag.title.isEmpty());

    EXPECT_FALSE(info.ReadTag(Write("none.mp3", Mpeg1Layer3Frames(2)), true));
    EXPECT_FALSE(info.ReadTag(dir_.filePath("missing.mp3"), true));
    EXPECT_FALSE(info.ReadTag(Write("tiny.mp3", "TAG"), true));
}

TEST_F(TagTest, TruncatedAndHostileTagsStayInsideTheFile)
{
    CMP3Info info(false);
    // Tag size far beyond the file.
    const QByteArray body = ThreeFrames23("t", "a", "b");
    ASSERT_TRUE(info.ReadTag(Write("trunc.mp3", Tag(3, body, 0, 0x0FFFFFFF)), true));
    EXPECT_EQ(info.tag.title, "t");
    // The body cut in the middle of the second frame.
    ASSERT_TRUE(info.ReadTag(Write("cut.mp3", Tag(3, body.left(body.size() - 3), 0, body.size())), true));
    EXPECT_EQ(info.tag.title, "t");
    EXPECT_TRUE(info.tag.album.isEmpty());
    // A frame that claims more than the body holds ends the walk.
    QByteArray huge = Frame23("TIT2", Text(0, "x"));
    huge.replace(4, 4, BigEndian(0x7FFFFFFF, 4));
    ASSERT_TRUE(info.ReadTag(Write("huge.mp3", Tag(3, huge + Frame23("TPE1", Text(0, "never")))), true));
    EXPECT_TRUE(info.tag.title.isEmpty());
    EXPECT_TRUE(info.tag.artist.isEmpty());
    // An extended header larger than the body, a 2.2 tag marked compressed.
    EXPECT_TRUE(info.ReadTag(Write("ext.mp3", Tag(3, BigEndian(0xFFFFFFF0, 4) + body, 0x40)), true));
    EXPECT_TRUE(info.tag.title.isEmpty());
    EXPECT_TRUE(info.ReadTag(Write("comp22.mp3", Tag(2, Frame22("TT2", Text(0, "x")), 0x40)), true));
    EXPECT_TRUE(info.tag.title.isEmpty());
    // Only the header.
    EXPECT_TRUE(info.ReadTag(Write("hdr.mp3", Tag(3, QByteArray(), 0, 100)), true));
    // Encoding bytes alone, a data-length flag on a frame too short for it.
    ASSERT_TRUE(info.ReadTag(Write("short.mp3", Tag(4, Frame24("TIT2", "\x01") + Frame24("TPE1", "\x03", 0x01))), true));
    EXPECT_TRUE(info.tag.title.isEmpty());

    // Random damage to a valid tag never reads outside it (run under ASan).
    const QByteArray tail = Mpeg1Layer3Frames(4) + Id3v1("x", "y", "z");
    const QByteArray valid[] = {
        Tag(3, Frame23("TIT2", Text(1, QByteArray("\xFF\xFEt\0", 4))) + body, 0x80) + tail,
        Tag(4, SyncSafe(6) + QByteArray("\x01\x00", 2) + Frame24("TIT2", Text(3, "t"), 0x43) + Frame24("TPE1", Text(2, "\0a")), 0x40) + tail,
        Tag(2, Frame22("TT2", Text(1, QByteArray("\xFE\xFF\0t", 4))) + Frame22("TP1", Text(0, "a"))) + tail,
    };
    std::mt19937 random(7);
    CMP3Info walker(true);
    for (int i = 0; i < 1200; ++i) {
        QByteArray damaged = valid[i % 3];
        const int changes = 1 + int(random() % 8);
        for (int c = 0; c < changes; ++c) damaged[qsizetype(random() % damaged.size())] = char(random());
        if (i % 3 == 0) damaged.truncate(qsizetype(random() % damaged.size()));
        const QString path = Write("fuzz.mp3", damaged);
        walker.ReadTag(path, true);
        walker.ReadTag(path, false);
    }
}

TEST_F(TagTest, DurationWalk)
{
    // 1000 frames of MPEG 1 Layer III at 128 kbit/s and 44100 Hz: ~26 s,
    // behind an ID3v2 tag, with an ID3v1 block at the end.
    CMP3Info info(true);
    ASSERT_TRUE(info.ReadTag(Write("cbr.mp3", Tag(3, ThreeFrames23("t", "a", "b")) + Mpeg1Layer3Frames(1000) +
                                                  Id3v1("t", "", "")),
                             false));
    EXPECT_EQ(info.duration, 26);
    EXPECT_EQ(info.tag.title, "t");   // ID3v1, as ID3v2 was not allowed

    // 2300 frames: 2300 x 0.026 = 59.9 s.
    ASSERT_FALSE(info.ReadTag(Write("cbr2.mp3", Mpeg1Layer3Frames(2300)), true));
    EXPECT_EQ(info.duration, 60);

    // MPEG 2 Layer III, 64 kbit/s, 22050 Hz: 576 samples a frame.
    const QByteArray mpeg2 = Frames(1000, QByteArray("\xFF\xF3\x80\x00", 4), 208);
    info.ReadTag(Write("mpeg2.mp3", mpeg2), false);
    EXPECT_EQ(info.duration, 26);

    // Junk before the first frame, shorter than the search limit.
    info.ReadTag(Write("junk.mp3", QByteArray(5000, 0x11) + Mpeg1Layer3Frames(100)), false);
    EXPECT_EQ(info.duration, 3);

    // No frame sync in the first 10,000 bytes after the tag.
    info.ReadTag(Write("nosync.mp3", Tag(3, ThreeFrames23("t", "", "")) + QByteArray(10500, 0x11) +
                                          Mpeg1Layer3Frames(100)),
                 true);
    EXPECT_EQ(info.duration, 0);
    EXPECT_EQ(info.tag.title, "t");

    // Free-format and reserved headers are no frames: the walk ends.
    info.ReadTag(Write("free.mp3", Frames(50, QByteArray("\xFF\xFB\x00\x00", 4), 417)), false);
    EXPECT_EQ(info.duration, 0);

    // Without readDuration the duration stays 0.
    CMP3Info noDuration(false);
    noDuration.ReadTag(dir_.filePath("cbr.mp3"), true);
    EXPECT_EQ(noDuration.duration, 0);
}
