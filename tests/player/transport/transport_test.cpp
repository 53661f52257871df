// The transport's arithmetic: where a seek-bar click lands, bar values and
// positions without overflow, the limits of seeks and frame steps, the rate
// label and the DVD's skip and seek-bar times.
#include "player/units/Transport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

using namespace transport;

namespace {

constexpr REFERENCE_TIME kSec = kUnitsPerSecond;

TEST(SeekBarClick, GrooveEdgesAreStartAndEndAndOutsideIsOutOfRange)
{
    // Groove 10 .. 110 (exclusive): 93 pixels of travel from x = 13.
    const struct {
        std::int64_t max;
        int x;
        std::int64_t value;
    } cases[] = {
        {600, 13, 0},       // 3 pixels in: the start
        {600, 106, 600},    // 4 pixels before the end: the end
        {600, 59, 296},     // 46 of 93 pixels, truncated
        {600, 5, -51},      // left of the groove: below 0, the caller limits it
        {600, 200, 1206},   // right of it: beyond max
        {1, 60, 0},
        // The longest bar a slider holds does not overflow.
        {std::numeric_limits<int>::max(), 106, std::numeric_limits<int>::max()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.x);
        const auto v = ClickValue(c.max, c.x, 10, 110);
        ASSERT_TRUE(v.has_value());
        EXPECT_EQ(*v, c.value);
    }
    // No range or no width: nothing to convert.
    EXPECT_FALSE(ClickValue(0, 50, 10, 110));
    EXPECT_FALSE(ClickValue(-5, 50, 10, 110));
    EXPECT_FALSE(ClickValue(600, 12, 10, 17));
    EXPECT_FALSE(ClickValue(600, 12, 10, 10));
}

TEST(SeekBarClick, BarValuesAndPositionsConvertBothWaysWithoutOverflow)
{
    EXPECT_EQ(BarTarget(60 * kSec, 300, 600), 30 * kSec);
    EXPECT_EQ(BarTarget(60 * kSec, 300, 0), 0);       // a bar without range
    EXPECT_EQ(BarTarget(0, 300, 600), 0);
    // Ten thousand hours at a two-billion-step bar: 64 bits would overflow.
    const REFERENCE_TIME longest = 10000LL * 3600 * kSec;
    const std::int64_t max = std::numeric_limits<int>::max();
    EXPECT_EQ(BarTarget(longest, max, max), longest);
    EXPECT_GE(BarTarget(longest, max - 1, max), longest - longest / max - 1);
    EXPECT_EQ(BarValue(longest, max, longest), max);
    EXPECT_EQ(BarValue(30 * kSec, 600, 60 * kSec), 300);
    EXPECT_EQ(BarValue(-kSec, 600, 60 * kSec), 0);
    EXPECT_EQ(BarValue(90 * kSec, 600, 60 * kSec), 600);
    EXPECT_EQ(BarValue(30 * kSec, 600, 0), 0);
}

TEST(SeekLimits, NoSeekGoesBeforeTheStartOrPastTheEnd)
{
    const REFERENCE_TIME d = 60 * kSec;
    const struct {
        REFERENCE_TIME position;
        int seconds;
        bool mpeg;
        REFERENCE_TIME target;
    } skips[] = {
        {10 * kSec, 25, false, 35 * kSec},
        {10 * kSec, -25, false, 0},
        {50 * kSec, 25, false, d},
        {50 * kSec, 25, true, d - kSec},   // the MPEG decoders: a second before the end
        {0, -2, true, 0},
    };
    for (const auto& s : skips) {
        SCOPED_TRACE(s.seconds);
        EXPECT_EQ(SkipTarget(s.position, s.seconds, d, s.mpeg), s.target);
    }
    EXPECT_EQ(LimitSeek(59 * kSec, d, true, kMpegBarSeekMargin), d - kMpegBarSeekMargin);
    EXPECT_EQ(LimitSeek(-1, d, false, kMpegBarSeekMargin), 0);
    // An item shorter than the margin seeks to its start, never before it.
    EXPECT_EQ(LimitSeek(kSec / 2, kSec, true, kMpegBarSeekMargin), 0);
    EXPECT_EQ(SkipTarget(0, 5, kSec / 2, true), 0);
}

TEST(SeekLimits, BackwardFrameStepTakesOneFrameAndStaysAtTheStart)
{
    EXPECT_EQ(StepBackTarget(kSec, 25.0, false), kSec - 400000);
    EXPECT_EQ(StepBackTarget(kSec, 0, true), kSec - kMpegStepBack);
    EXPECT_EQ(StepBackTarget(kSec, 0, false), kSec - kNtscFrame);
    EXPECT_EQ(StepBackTarget(100000, 25.0, false), 0);
    EXPECT_EQ(StepBackTarget(0, 0, true), 0);
}

TEST(RateLabel, ShortestDecimalFormAndHalvesAwayFromZero)
{
    const struct {
        double rate;
        const char* text;
    } rates[] = {{2.0, "2x"}, {0.5, "0.5x"}, {1.0, "1x"}, {1.25, "1.25x"}, {-2.0, "-2x"}, {0.1 + 0.2, "0.3x"}, {16, "16x"}};
    for (const auto& r : rates) EXPECT_EQ(RateText(r.rate).toStdString(), r.text);

    EXPECT_DOUBLE_EQ(RoundToDecimals(0.25, 1), 0.3);
    EXPECT_DOUBLE_EQ(RoundToDecimals(-0.25, 1), -0.3);
    EXPECT_DOUBLE_EQ(RoundToDecimals(1.04, 1), 1.0);
    EXPECT_DOUBLE_EQ(RoundToDecimals(2.5, 0), 3.0);
    EXPECT_DOUBLE_EQ(RoundToDecimals(-2.5, 0), -3.0);
    // The disc's rate event: param x 0.0001 to one place.
    EXPECT_DOUBLE_EQ(RoundToDecimals(19999 * 0.0001, 1), 2.0);
}

TEST(DvdTimes, SkipInWholeSecondsInsideTheTitle)
{
    const DvdTime at{0, 59, 50, 1};
    // Carries at 60 both ways; an hour and more moves by all of it.
    EXPECT_EQ(DvdSkipTime(at, 25, true, 7200), (DvdTime{1, 0, 15, 1}));
    EXPECT_EQ(DvdSkipTime(at, 3700, true, 10800), (DvdTime{2, 1, 30, 1}));
    EXPECT_EQ(DvdSkipTime(at, 25, false, 7200), (DvdTime{0, 59, 25, 1}));
    // Forward past the end of the title: no skip. Backward before its start: the start.
    EXPECT_FALSE(DvdSkipTime(at, 25, true, 3600));
    EXPECT_FALSE(DvdSkipTime(at, 25, true, 0));
    EXPECT_EQ(DvdSkipTime(DvdTime{0, 0, 10, 1}, 25, false, 3600), (DvdTime{0, 0, 0, 1}));
    // Near the end a backward skip is still taken (the end condition is forward only).
    EXPECT_EQ(DvdSkipTime(DvdTime{0, 59, 59, 1}, 25, false, 3600), (DvdTime{0, 59, 34, 1}));

    // A dragged DVD bar counts seconds and asks for one short of its end at most.
    EXPECT_EQ(DvdBarTime(3725, 7200), (DvdTime{1, 2, 5, 1}));
    EXPECT_EQ(DvdBarTime(7200, 7200), (DvdTime{1, 59, 59, 1}));
    EXPECT_EQ(DvdBarTime(0, 0), (DvdTime{0, 0, 0, 1}));
}

}  // namespace
