// The picture operations as functions: flip modes and their rectangles, the
// MPEG splitter for a stream's caps and the order of the fallbacks, points at
// several window sizes in the picture's coordinates, and the pan limits.
#include "units/Videoops.h"

#include <gtest/gtest.h>

TEST(VideoOps, FlipModes)
{
    EXPECT_EQ(FlipRectangle(0), (TNormalRect{0, 0, 1, 1}));
    EXPECT_EQ(FlipRectangle(1), (TNormalRect{0, 1, 1, 0}));
    EXPECT_EQ(FlipRectangle(2), (TNormalRect{1, 0, 0, 1}));
    EXPECT_EQ(FlipRectangle(3), (TNormalRect{1, 1, 0, 0}));
    EXPECT_EQ(FlipRectangle(7), FlipRectangle(0));
    // The axes agree with the rectangles: a swapped pair is a flip on that axis.
    for (int mode = 0; mode <= 3; ++mode) {
        const TNormalRect r = FlipRectangle(mode);
        EXPECT_EQ(FlipAxes(mode).horizontal, r.left > r.right) << mode;
        EXPECT_EQ(FlipAxes(mode).vertical, r.top > r.bottom) << mode;
    }
}

TEST(VideoOps, SplitterKindsAndFallbackOrder)
{
    const QString ps2 = "video/mpeg, systemstream=(boolean)true, mpegversion=(int)2";
    const QString ps1 = "video/mpeg, systemstream=(boolean)true, mpegversion=(int)1";
    const QString es1 = "video/mpeg, systemstream=(boolean)false, mpegversion=(int)1";
    const QString mp2 = "audio/mpeg, mpegversion=(int)1, layer=(int)2";
    const QString ts = "video/mpegts, systemstream=(boolean)true, packetsize=(int)188";
    EXPECT_EQ(MpegSplitterKindForCaps(ps1, false), 2);
    EXPECT_EQ(MpegSplitterKindForCaps(es1, false), 2);
    EXPECT_EQ(MpegSplitterKindForCaps(mp2, false), 2);
    EXPECT_EQ(MpegSplitterKindForCaps(ps2, true), 1);
    EXPECT_EQ(MpegSplitterKindForCaps(ps2, false), 0);
    EXPECT_EQ(MpegSplitterKindForCaps(ts, true), 0);
    EXPECT_EQ(MpegSplitterKindForCaps("video/x-msvideo", true), 0);
    // A program stream with the MPEG-2 splitter off tries the system's kind,
    // then the MPEG-2 splitter; the MPEG-1 kind has no fallback.
    EXPECT_EQ(MpegSplitterOrder(0), (std::vector<int>{0, 1}));
    EXPECT_EQ(MpegSplitterOrder(1), (std::vector<int>{1, 0}));
    EXPECT_EQ(MpegSplitterOrder(2), (std::vector<int>{2}));
    // No separate MPEG-2 splitter: kind 1 falls back to the demuxer.
    EXPECT_TRUE(MpegSplitterFactory(1, ps2).isEmpty());
    EXPECT_EQ(MpegSplitterFactory(0, ps2), "mpegpsdemux");
    EXPECT_EQ(MpegSplitterFactory(2, es1), "mpegvideoparse");
    EXPECT_EQ(MpegSplitterFactory(2, mp2), "mpegaudioparse");
    EXPECT_EQ(MpegSplitterFactory(0, ts), "tsdemux");
    EXPECT_TRUE(MpegSplitterFactory(0, "video/x-msvideo").isEmpty());
}

TEST(VideoOps, PointsInThePictureAtSeveralWindowSizes)
{
    const QSize picture(352, 240);
    // The button at (100, 140) of the picture, clicked on windows of three sizes.
    for (const QRect& video : {QRect(0, 0, 352, 240), QRect(10, 20, 704, 480), QRect(0, 30, 176, 120)}) {
        const QPoint click(video.left() + 100 * video.width() / 352, video.top() + 140 * video.height() / 240);
        EXPECT_EQ(PictureFromClient(click, video, picture, false, {}), QPoint(100, 140)) << video.width();
    }
    // Outside the picture: its edge.
    EXPECT_EQ(PictureFromClient({-5, 900}, QRect(0, 0, 704, 480), picture, false, {}), QPoint(0, 239));
    // Pan-scan takes the stored offset.
    EXPECT_EQ(PictureFromClient({60, 10}, QRect(0, 0, 352, 240), picture, true, {-40, 0}), QPoint(100, 10));
}

TEST(VideoOps, PanKeepsTheWindowCovered)
{
    // An 800-pixel picture in a 600-pixel window may move between 0 and -200.
    EXPECT_EQ(PannedLeft(0, 800, 600, -50), -50);
    EXPECT_EQ(PannedLeft(-50, 800, 600, 50), 0);
    EXPECT_EQ(PannedLeft(0, 800, 600, 10), 0);
    EXPECT_EQ(PannedLeft(-200, 800, 600, -1), -200);
    EXPECT_EQ(PannedLeft(-150, 800, 600, -50), -200);
    EXPECT_EQ(PannedLeft(0, 600, 600, -1), 0);
}
