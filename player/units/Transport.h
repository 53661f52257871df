// The arithmetic of the transport, apart from any window: where a click on
// the seek bar lands, seek-bar values to graph positions and back, the limits
// of a seek, the backward frame step, the rate label's text and the DVD's
// skip and seek-bar times. Positions are in 100-ns units (REFERENCE_TIME);
// the seek bar of a file counts tenths of a second, that of a DVD seconds.
#pragma once

#include "platform/wintypes.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace transport {

inline constexpr REFERENCE_TIME kUnitsPerSecond = 10'000'000;
inline constexpr REFERENCE_TIME kUnitsPerTenth = 1'000'000;
// With the MPEG decoders a seek-bar seek stays this far before the end, a
// relative seek one second: a seek into the last frames leaves no picture.
inline constexpr REFERENCE_TIME kMpegBarSeekMargin = 15'000'000;
inline constexpr REFERENCE_TIME kMpegSkipMargin = 10'000'000;
// A backward frame step when the graph knows no frame rate.
inline constexpr REFERENCE_TIME kMpegStepBack = 5'000'000;   // half a second
inline constexpr REFERENCE_TIME kNtscFrame = 333'667;        // one frame at 29.97 per second

// The seek-bar value under a click at `x` (the bar's coordinates), from the
// groove's left edge and its exclusive right edge: the first 3 pixels of the
// groove are the start, the last 4 the end. Not limited to 0..max (a click
// beside the groove lies outside); nullopt when the groove has no width or
// the bar no range.
std::optional<std::int64_t> ClickValue(std::int64_t max, int x, int grooveLeft, int grooveRight);

// duration x value / max without overflow; 0 when max is not above 0.
REFERENCE_TIME BarTarget(REFERENCE_TIME duration, std::int64_t value, std::int64_t max);

// The last position a seek may go to: the duration, less `mpegMargin` when
// the MPEG decoders play the item; never below 0.
REFERENCE_TIME LastSeekPosition(REFERENCE_TIME duration, bool mpegDecoders, REFERENCE_TIME mpegMargin);

// `target` inside 0 .. LastSeekPosition.
REFERENCE_TIME LimitSeek(REFERENCE_TIME target, REFERENCE_TIME duration, bool mpegDecoders,
                         REFERENCE_TIME mpegMargin);

// A relative seek by whole seconds from `position`, limited as above (one
// second's margin with the MPEG decoders).
REFERENCE_TIME SkipTarget(REFERENCE_TIME position, int seconds, REFERENCE_TIME duration, bool mpegDecoders);

// The seek-bar value of a position: target x max / duration; 0 without a duration.
std::int64_t BarValue(REFERENCE_TIME position, std::int64_t max, REFERENCE_TIME duration);

// One frame before `position`: by the frame rate when known (above 0), else
// half a second for an MPEG file and one NTSC frame for others; never before 0.
REFERENCE_TIME StepBackTarget(REFERENCE_TIME position, double framesPerSecond, bool mpegFile);

// Rounds half away from zero to `digits` decimal places.
double RoundToDecimals(double value, int digits);

// The rate label: the rate in its shortest decimal form and "x" ("2x", "0.5x", "1.25x").
QString RateText(double rate);

// A DVD time as the navigator takes it.
struct DvdTime {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int frames = 1;
    bool operator==(const DvdTime&) const = default;
};
DvdTime DvdTimeFromSeconds(std::int64_t seconds);
std::int64_t DvdTimeSeconds(const DvdTime& time);

// The time a dragged DVD seek bar asks for: its value in seconds, one short
// of the end at most, never below 0.
DvdTime DvdBarTime(std::int64_t value, std::int64_t max);

// A DVD skip from `current` by `skipLength` whole seconds within a title of
// `titleSeconds`: forward only while the target stays before the end of the
// title (nullopt otherwise); backward never before the title's start.
std::optional<DvdTime> DvdSkipTime(const DvdTime& current, int skipLength, bool forward, std::int64_t titleSeconds);

}  // namespace transport
