// The texts and numbers of the DVD pop-up menu without a window: item
// captions for every audio format, channel count and extension and every
// subpicture extension, language names, karaoke names and flags, the
// fast-play cycle, pan-and-scan rectangles and the full-screen pointer rule.
#include "units/Dvdmenus.h"

#include <gtest/gtest.h>

using namespace dvdmenus;

namespace {

std::string S(const QString& s) { return s.toStdString(); }

}  // namespace

TEST(DvdMenuTexts, TitleChapterAndLanguageNames)
{
    EXPECT_EQ(S(TitleCaption(1)), "タイトル 1");
    EXPECT_EQ(S(TitleCaption(12)), "タイトル 12");
    EXPECT_EQ(S(ChapterCaption(3)), "チャプター 3");
    EXPECT_EQ(S(LanguageName("en")), "英語");
    EXPECT_EQ(S(LanguageName("ja")), "日本語");
    EXPECT_EQ(S(LanguageName("FR")), "フランス語");
    EXPECT_EQ(S(LanguageName("")), "");
    // Nothing that is not a plain code reaches the locale data.
    EXPECT_EQ(S(LanguageName("e_")), "e_");
}

TEST(DvdMenuTexts, AudioCaptionsForEveryFormatChannelCountAndExtension)
{
    const char* formats[] = {"Dolby AC-3", "MPEG-1", "MPEG-1(DRC)", "MPEG-2", "MPEG-2(DRC)", "LPCM", "DTS", "SDDS"};
    for (int f = 0; f < 8; ++f) EXPECT_EQ(S(AudioFormatName(f)), formats[f]) << f;
    EXPECT_EQ(S(AudioFormatName(8)), "");
    EXPECT_EQ(S(AudioFormatName(-1)), "");

    EXPECT_EQ(S(ChannelsText(6)), " 5.1ch");
    for (int c : {1, 2, 3, 4, 5, 7, 8}) EXPECT_EQ(S(ChannelsText(c)), " " + std::to_string(c) + "ch");

    EXPECT_EQ(S(AudioExtensionSuffix(2)), " [弱視者向け]");
    EXPECT_EQ(S(AudioExtensionSuffix(3)), " [Director Comments 1]");
    EXPECT_EQ(S(AudioExtensionSuffix(4)), " [Director Comments 2]");
    for (int e : {0, 1, 5, 255}) EXPECT_EQ(S(AudioExtensionSuffix(e)), "") << e;

    dvd::AudioAttributes a;
    a.language = "en";
    a.format = 0;
    a.channels = 2;
    EXPECT_EQ(S(AudioCaption(a)), "英語 Dolby AC-3 2ch");
    a.language = "ja";
    a.channels = 6;
    a.extension = 3;
    EXPECT_EQ(S(AudioCaption(a)), "日本語 Dolby AC-3 5.1ch [Director Comments 1]");
    // An unknown format leaves no double blank.
    a.format = 8;
    a.extension = 1;
    EXPECT_EQ(S(AudioCaption(a)), "日本語 5.1ch");
    // A stream without a language gets no item.
    a.language.clear();
    EXPECT_EQ(S(AudioCaption(a)), "");
}

TEST(DvdMenuTexts, SubpictureCaptionsForEveryExtension)
{
    const std::pair<int, const char*> suffixes[] = {
        {2, "[大]"}, {6, "[大]"}, {3, "[子供向け]"}, {7, "[子供向け]"}, {13, "[Director Comments]"},
        {14, "[Director Comments(大)]"}, {15, "[Director Comments(子供向け)]"}, {0, ""}, {1, ""}, {5, ""}, {9, ""},
    };
    dvd::SubpictureAttributes s;
    s.language = "ja";
    for (const auto& [extension, suffix] : suffixes) {
        EXPECT_EQ(S(SubpictureExtensionSuffix(extension)), suffix) << extension;
        s.extension = extension;
        EXPECT_EQ(S(SubpictureCaption(s)), *suffix ? std::string("日本語 ") + suffix : "日本語") << extension;
    }
    s.language.clear();
    EXPECT_EQ(S(SubpictureCaption(s)), "");
}

TEST(DvdMenuTexts, KaraokeNamesAndMixingFlags)
{
    const char* names[] = {"ガイドボーカル1",  "ガイドボーカル2",  "ガイドメロディ1",    "ガイドメロディ2",
                           "ガイドメロディA", "ガイドメロディB", "サウンドエフェクトA", "サウンドエフェクトB"};
    for (int bit = 0; bit < 8; ++bit) EXPECT_EQ(S(KaraokeChannelName(1 << bit)), names[bit]) << bit;
    // The lowest set bit names the channel.
    EXPECT_EQ(S(KaraokeChannelName(4 | 64)), "ガイドメロディ1");
    EXPECT_EQ(S(KaraokeChannelName(0)), "Unknown");
    EXPECT_EQ(S(KaraokeChannelName(256)), "Unknown");

    EXPECT_EQ(KaraokeMixFlags(1), 0x404u);
    EXPECT_EQ(KaraokeMixFlags(2), 0x808u);
    EXPECT_EQ(KaraokeMixFlags(3), 0x1010u);
    EXPECT_EQ(KaraokeMixFlags(0), 0u);
    EXPECT_EQ(KaraokeMixFlags(4), 0u);
}

TEST(DvdFastPlay, SpeedsCycleInEachDirection)
{
    // Four presses from normal play, the rate reported after each.
    for (bool forward : {true, false}) {
        double rate = 1.0;
        std::vector<double> speeds;
        for (int i = 0; i < 4; ++i) {
            const double speed = NextFastSpeed(rate, forward);
            speeds.push_back(speed);
            rate = forward ? speed : -speed;
        }
        EXPECT_EQ(speeds, (std::vector<double>{2, 4, 8, 2})) << forward;
    }
    // The other direction's speed starts the cycle again.
    EXPECT_EQ(NextFastSpeed(-4.0, true), 2.0);
    EXPECT_EQ(NextFastSpeed(4.0, false), 2.0);
    // A rounded report still counts.
    EXPECT_EQ(NextFastSpeed(2.0000001, true), 4.0);
}

TEST(DvdPanScan, PictureHeightFillsTheScreenCentred)
{
    // A 16:9 picture (853 x 480 as shown) on a 4:3 screen of 1600 x 1200:
    // cinemascope takes the screen's height and cuts the sides evenly.
    const int h = PanScanHeight(true, true, false, 1200, 1200);
    EXPECT_EQ(h, 1200);
    const QRect wide = PanScanRect(h, 1600, 853, 480);
    EXPECT_EQ(wide.width(), 2132);
    EXPECT_EQ(wide.height(), 1200);
    EXPECT_EQ(wide.left(), -266);
    EXPECT_EQ(wide.top(), 0);
    EXPECT_EQ(wide.center().x(), 799);
    // A 4:3 picture and a menu take the client's height.
    EXPECT_EQ(PanScanHeight(true, false, false, 1200, 1000), 1000);
    EXPECT_EQ(PanScanHeight(true, true, true, 1200, 1000), 1000);
    // Vista takes the client's height for a 16:9 picture outside menus too.
    EXPECT_EQ(PanScanHeight(false, true, false, 1200, 1000), 1000);
    const QRect narrow = PanScanRect(1000, 1600, 640, 480);
    EXPECT_EQ(narrow, QRect(133, 0, 1333, 1000));
    // A picture without a size gives nothing to place.
    EXPECT_TRUE(PanScanRect(1000, 1600, 0, 480).isEmpty());
    EXPECT_TRUE(PanScanRect(0, 1600, 640, 480).isEmpty());
}

TEST(DvdPointer, HidesOnlyOverThePictureWithNoDialogOrToolWindow)
{
    const QSize client(1600, 1200);
    EXPECT_TRUE(PointerMayHide(QPoint(800, 600), client, false, false));
    EXPECT_TRUE(PointerMayHide(QPoint(800, 1139), client, false, false));
    // The control strip: the bottom 60 pixels.
    EXPECT_FALSE(PointerMayHide(QPoint(800, 1140), client, false, false));
    EXPECT_FALSE(PointerMayHide(QPoint(0, 1199), client, false, false));
    // Outside the client area the strip rule does not hold.
    EXPECT_TRUE(PointerMayHide(QPoint(1700, 1150), client, false, false));
    EXPECT_FALSE(PointerMayHide(QPoint(800, 600), client, true, false));
    EXPECT_FALSE(PointerMayHide(QPoint(800, 600), client, false, true));
}
