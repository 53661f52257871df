// CD-TEXT: blocks, character codes, the item cut, empty items and replies
// that end early; the text decoding it shares with the other readers.
#include "cd_test_util.h"
#include "units/Cdinfo.h"
#include "common/Cstrings.h"

#include <gtest/gtest.h>

using namespace cdtest;

namespace {

// A record of `tracks` tracks, as a TOC read leaves it.
void WithTracks(CDinfo* info, int tracks)
{
    std::vector<int> starts;
    for (int i = 0; i < tracks; ++i) starts.push_back(150 + i * 1000);
    const Bytes toc = MakeToc(starts, 150 + tracks * 1000);
    ASSERT_TRUE(ParseToc(info, toc.data(), static_cast<int>(toc.size())));
}

struct Texts {
    QString title, performer;
    std::vector<QString> titles, performers;
};

Texts TextsOf(const CDinfo& info)
{
    Texts t{info.title, info.performer, {}, {}};
    for (const auto& track : info.tracks) {
        t.titles.push_back(track->title);
        t.performers.push_back(track->performer);
    }
    return t;
}

TEST(CdText, BlocksAndCharacterCodes)
{
    struct Case {
        const char* reply;
        int block;
        int result;
        int languageCount;
        Texts texts;
    };
    const Texts english{"Zoravel Tones", "Zoravel Band", {"First Tone", "Second Tone", "Third Tone"},
                        {"Alice", "", "Carol"}};
    const Texts japanese{QString::fromUtf8("ゾラベル音"), QString::fromUtf8("合奏団"),
                         {QString::fromUtf8("最初の音"), QString::fromUtf8("二番目"), QString::fromUtf8("三番目")},
                         {QString::fromUtf8("花子"), "", QString::fromUtf8("次郎")}};
    const std::vector<Case> cases = {
        {"cdtext_one.bin", 0, 1, 1, english},
        {"cdtext_two.bin", 0, 1, 2, english},
        {"cdtext_two.bin", 1, 1, 2, japanese},
        // A block the disc does not have gives no texts, but the languages.
        {"cdtext_one.bin", 1, 0, 0, Texts{"", "", {"", "", ""}, {"", "", ""}}},
    };
    for (const Case& c : cases) {
        CannedDriveScope scope;
        scope.drive->SetReply(kReadCdTextCdb, FixtureBytes(c.reply));
        CDinfo info;
        WithTracks(&info, 3);
        CASPI aspi;
        aspi.textBlock = c.block;
        EXPECT_EQ(aspi.ReadCdTextSpti(&info, "d"), c.result) << c.reply << c.block;
        EXPECT_EQ(info.languageCount, c.languageCount) << c.reply << c.block;
        const Texts t = TextsOf(info);
        EXPECT_EQ(t.title, c.texts.title) << c.reply << c.block;
        EXPECT_EQ(t.performer, c.texts.performer) << c.reply << c.block;
        // The track without a performer keeps none: the empty item is an item.
        EXPECT_EQ(t.titles, c.texts.titles) << c.reply << c.block;
        EXPECT_EQ(t.performers, c.texts.performers) << c.reply << c.block;
    }
    CDinfo info;
    WithTracks(&info, 3);
    const Bytes two = FixtureBytes("cdtext_two.bin");
    ParseCdText(&info, 0, two.data(), static_cast<int>(two.size()));
    EXPECT_EQ(info.languages[0], 0x09);
    EXPECT_EQ(info.languages[1], 0x69);
    EXPECT_EQ(info.languages[2], 0);
}

TEST(CdText, LongItemsCutAtACharacter)
{
    const Bytes reply = FixtureBytes("cdtext_long.bin");
    CDinfo info;
    WithTracks(&info, 1);
    ASSERT_EQ(ParseCdText(&info, 0, reply.data(), static_cast<int>(reply.size())), 1);
    EXPECT_EQ(info.title, QString(255, QLatin1Char('A')));
    EXPECT_EQ(info.tracks[0]->title, "short");
    ASSERT_EQ(ParseCdText(&info, 1, reply.data(), static_cast<int>(reply.size())), 1);
    // 254 bytes of double-byte text: 127 whole characters.
    EXPECT_EQ(info.title, QString::fromUtf8("長").repeated(127));
    EXPECT_EQ(info.tracks[0]->title, QString::fromUtf8("短"));
}

TEST(CdText, ReadsOnlyWholePacksThatCameBack)
{
    const Bytes reply = FixtureBytes("cdtext_one.bin");
    // Packs: 0-3 titles, 4-6 performers, 7-9 size information.
    struct Case {
        int size;
        bool languages;
        QString lastPerformer;
    };
    for (const Case& c : {Case{static_cast<int>(reply.size()), true, "Carol"},
                          Case{4 + 18 * 9 + 17, false, "Carol"},   // the last size pack cut off
                          Case{4 + 18 * 6, false, ""},   // the end of the last performer missing
                          Case{3, false, ""}}) {
        CDinfo info;
        WithTracks(&info, 3);
        EXPECT_EQ(ParseCdText(&info, 0, reply.data(), c.size), c.languages ? 1 : 0) << c.size;
        EXPECT_EQ(info.tracks[2]->performer, c.lastPerformer) << c.size;
    }
    // A length field shorter than the bytes that came back wins.
    Bytes shortened = reply;
    shortened[1] = static_cast<std::uint8_t>(2 + 18 * 6);
    CDinfo info;
    WithTracks(&info, 3);
    EXPECT_EQ(ParseCdText(&info, 0, shortened.data(), static_cast<int>(shortened.size())), 0);
    EXPECT_EQ(info.tracks[0]->performer, "Alice");
    EXPECT_EQ(info.tracks[2]->performer, "");
}

TEST(CdText, TextsOfAnotherDiscDoNotStay)
{
    const Bytes reply = FixtureBytes("cdtext_one.bin");
    CDinfo info;
    WithTracks(&info, 3);
    ASSERT_EQ(ParseCdText(&info, 0, reply.data(), static_cast<int>(reply.size())), 1);
    ASSERT_EQ(ParseCdText(&info, 0, reply.data(), 4), 0);
    EXPECT_TRUE(info.title.isEmpty());
    EXPECT_TRUE(info.tracks[0]->title.isEmpty());
}

TEST(CdText, FromTheImagesCdTextFile)
{
    struct Case {
        const char* sheet;
        int result;
        QString title;
    };
    for (const Case& c : {Case{"one", 1, "Tone 1"}, Case{"three", 1, "Tone 1"}, Case{"two", 0, ""}}) {
        const QString sheet = testutil::Fixture(QStringLiteral("cd/%1.cue").arg(c.sheet));
        CDinfo info;
        ASSERT_EQ(CASPI().ReadTocSpti(&info, sheet), 1) << c.sheet;
        EXPECT_EQ(CASPI().ReadCdTextSpti(&info, sheet), c.result) << c.sheet;
        EXPECT_EQ(info.tracks[0]->title, c.title) << c.sheet;
        EXPECT_EQ(info.title, c.result ? QStringLiteral("Image Disc") : QString()) << c.sheet;
    }
}

TEST(CdText, DecodedByCharacterCode)
{
    struct Case {
        QByteArray bytes;
        int code;
        QString text;
    };
    for (const Case& c : {Case{"caf\xE9", kCdTextIso8859, QString::fromUtf8("café")},
                          Case{"caf\xE9", kCdTextAscii, QString::fromUtf8("caf\uFFFD")},
                          Case{"\x83\x65\x83\x58\x83\x67", kCdTextMsJis, QString::fromUtf8("テスト")},
                          Case{"\xE9", 0x07, QString::fromUtf8("é")}})
        EXPECT_EQ(DecodeCdText(c.bytes, c.code), c.text) << c.code;
}

TEST(LegacyText, Utf8ElseCp932)
{
    EXPECT_EQ(DecodeLegacyText("plain"), "plain");
    EXPECT_EQ(DecodeLegacyText(QByteArray("\xE6\x97\xA5", 3)), QString::fromUtf8("日"));
    EXPECT_EQ(DecodeLegacyText(QByteArray("\x83\x65\x83\x58\x83\x67", 6)), QString::fromUtf8("テスト"));
    // Half-width katakana and an invalid trailing lead byte.
    EXPECT_EQ(DecodeLegacyText(QByteArray("\xB1\x81", 2)), QString::fromUtf8("ｱ\uFFFD"));
    EXPECT_FALSE(IsValidUtf8("\xC0\x80", 2));           // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80", 3));       // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80", 4));   // beyond U+10FFFF
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x8E\xB5", 4));
}

TEST(HalfWidth, JapaneseCdTextAsShown)
{
    struct Case {
        const char* in;
        const char* out;
    };
    for (const Case& c : {
             // Full-width Latin, digits, signs and the ideographic space.
             Case{"ＡＢＣ　ｘｙｚ！０９～", "ABC xyz!09~"},
             // Full-width katakana, the long-vowel mark and Japanese punctuation stay.
             Case{"テスト・ソング、「ー」。", "テスト・ソング、「ー」。"},
             // The prime becomes an apostrophe.
             Case{"Rock′n", "Rock'n"},
             // Half-width katakana become full-width, marks join their letter.
             Case{"ｶﾞｷﾞﾊﾟﾋﾟｳﾞﾀﾞｲｽｹ", "ガギパピヴダイスケ"},
             // A mark that no letter takes stays a mark of its own; a lone mark too.
             Case{"ｱﾞﾝﾟ ﾞ", "ア゛ン゜ ゛"},
             Case{"ｰｧｨｩ｡｢｣､･", "ーァィゥ。「」、・"},
             // Other text as it is.
             Case{"漢字 abc ￥", "漢字 abc ￥"},
             Case{"", ""},
         }) {
        const QString in = QString::fromUtf8(c.in);
        const QString out = ConvertToHalfWidth(in);
        EXPECT_EQ(out, QString::fromUtf8(c.out)) << c.in;
        EXPECT_LE(out.toUtf8().size(), in.toUtf8().size()) << c.in;
    }
}

}  // namespace
