#include "player/units/Transport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace transport {

namespace {

// a x b / c, truncated, exact for any 64-bit operands (c above 0).
std::int64_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c)
{
    __extension__ using Wide = __int128;
    const Wide r = static_cast<Wide>(a) * b / c;
    if (r > INT64_MAX) return INT64_MAX;
    if (r < INT64_MIN) return INT64_MIN;
    return static_cast<std::int64_t>(r);
}

}  // namespace

std::optional<std::int64_t> ClickValue(std::int64_t max, int x, int grooveLeft, int grooveRight)
{
    if (max < 1) return std::nullopt;
    const std::int64_t width = static_cast<std::int64_t>(grooveRight) - grooveLeft - 7;
    if (width <= 0) return std::nullopt;
    // Truncated toward zero, as the integer division does.
    return MulDiv(max, static_cast<std::int64_t>(x) - grooveLeft - 3, width);
}

REFERENCE_TIME BarTarget(REFERENCE_TIME duration, std::int64_t value, std::int64_t max)
{
    if (max <= 0 || duration <= 0) return 0;
    return MulDiv(duration, value, max);
}

REFERENCE_TIME LastSeekPosition(REFERENCE_TIME duration, bool mpegDecoders, REFERENCE_TIME mpegMargin)
{
    return std::max<REFERENCE_TIME>(mpegDecoders ? duration - mpegMargin : duration, 0);
}

REFERENCE_TIME LimitSeek(REFERENCE_TIME target, REFERENCE_TIME duration, bool mpegDecoders,
                         REFERENCE_TIME mpegMargin)
{
    return std::clamp<REFERENCE_TIME>(target, 0, LastSeekPosition(duration, mpegDecoders, mpegMargin));
}

REFERENCE_TIME SkipTarget(REFERENCE_TIME position, int seconds, REFERENCE_TIME duration, bool mpegDecoders)
{
    return LimitSeek(position + static_cast<REFERENCE_TIME>(seconds) * kUnitsPerSecond, duration, mpegDecoders,
                     kMpegSkipMargin);
}

std::int64_t BarValue(REFERENCE_TIME position, std::int64_t max, REFERENCE_TIME duration)
{
    if (duration <= 0 || max <= 0) return 0;
    return MulDiv(std::clamp<REFERENCE_TIME>(position, 0, duration), max, duration);
}

REFERENCE_TIME StepBackTarget(REFERENCE_TIME position, double framesPerSecond, bool mpegFile)
{
    REFERENCE_TIME back = mpegFile ? kMpegStepBack : kNtscFrame;
    if (framesPerSecond > 0 && std::isfinite(framesPerSecond))
        back = std::max<REFERENCE_TIME>(1, std::llround(static_cast<double>(kUnitsPerSecond) / framesPerSecond));
    return std::max<REFERENCE_TIME>(position - back, 0);
}

double RoundToDecimals(double value, int digits)
{
    const double scale = std::pow(10.0, digits);
    const double magnitude = std::trunc(std::fabs(value) * scale + 0.5);
    return std::copysign(magnitude, value) / scale;
}

QString RateText(double rate)
{
    // Six places are finer than any rate the graph or the disc takes; the
    // trailing zeros (and a bare point) go.
    QString text = QString::number(RoundToDecimals(rate, 6), 'f', 6);
    while (text.endsWith(QLatin1Char('0'))) text.chop(1);
    if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    if (text == QLatin1String("-0")) text = QStringLiteral("0");
    return text + QLatin1Char('x');
}

DvdTime DvdTimeFromSeconds(std::int64_t seconds)
{
    seconds = std::max<std::int64_t>(seconds, 0);
    DvdTime t;
    t.hours = static_cast<int>(std::min<std::int64_t>(seconds / 3600, 99));
    t.minutes = static_cast<int>(seconds % 3600 / 60);
    t.seconds = static_cast<int>(seconds % 60);
    t.frames = 1;
    return t;
}

std::int64_t DvdTimeSeconds(const DvdTime& time)
{
    return static_cast<std::int64_t>(time.hours) * 3600 + time.minutes * 60 + time.seconds;
}

DvdTime DvdBarTime(std::int64_t value, std::int64_t max)
{
    if (value > max - 1) value = max - 1;
    return DvdTimeFromSeconds(value);
}

std::optional<DvdTime> DvdSkipTime(const DvdTime& current, int skipLength, bool forward, std::int64_t titleSeconds)
{
    const std::int64_t now = DvdTimeSeconds(current);
    const std::int64_t length = std::max(skipLength, 0);
    if (forward) {
        // Past the end of the title the navigator has nothing to play.
        if (now + length >= titleSeconds) return std::nullopt;
        return DvdTimeFromSeconds(now + length);
    }
    return DvdTimeFromSeconds(std::min(std::max<std::int64_t>(now - length, 0), std::max<std::int64_t>(titleSeconds - 1, 0)));
}

}  // namespace transport
