#include "units/Videoops.h"

#include <algorithm>

TFlipAxes FlipAxes(int mode)
{
    switch (mode) {
    case 1: return {false, true};
    case 2: return {true, false};
    case 3: return {true, true};
    default: return {};
    }
}

TNormalRect FlipRectangle(int mode)
{
    switch (mode) {
    case 1: return {0, 1, 1, 0};
    case 2: return {1, 0, 0, 1};
    case 3: return {1, 1, 0, 0};
    default: return {0, 0, 1, 1};
    }
}

int MpegSplitterKindForCaps(const QString& caps, bool mpeg2SplitterOn)
{
    const bool system = caps.contains(QLatin1String("systemstream=(boolean)true"));
    const bool mpeg2 = caps.contains(QLatin1String("mpegversion=(int)2"));
    if (caps.startsWith(QLatin1String("video/mpegts"))) return 0;   // transport streams: the system's own
    if (caps.startsWith(QLatin1String("video/mpeg")) && system) return mpeg2 ? (mpeg2SplitterOn ? 1 : 0) : 2;
    if (caps.startsWith(QLatin1String("video/mpeg")) && !mpeg2) return 2;   // MPEG-1 video
    if (caps.startsWith(QLatin1String("audio/mpeg")) && caps.contains(QLatin1String("mpegversion=(int)1")))
        return 2;   // MPEG audio
    return 0;
}

std::vector<int> MpegSplitterOrder(int kind)
{
    if (kind == 2) return {2};
    return kind == 1 ? std::vector<int>{1, 0} : std::vector<int>{0, 1};
}

QString MpegSplitterFactory(int kind, const QString& caps)
{
    const bool system = caps.contains(QLatin1String("systemstream=(boolean)true"));
    if (caps.startsWith(QLatin1String("video/mpegts"))) return kind == 0 ? QStringLiteral("tsdemux") : QString();
    if (caps.startsWith(QLatin1String("audio/mpeg"))) return kind == 2 ? QStringLiteral("mpegaudioparse") : QString();
    if (!caps.startsWith(QLatin1String("video/mpeg"))) return {};
    if (!system) return kind == 2 || kind == 0 ? QStringLiteral("mpegvideoparse") : QString();
    // Program streams: one demuxer serves the MPEG-1 and the system's kind;
    // no separate MPEG-2 splitter is installed.
    return kind == 1 ? QString() : QStringLiteral("mpegpsdemux");
}

QPoint PictureFromClient(const QPoint& client, const QRect& videoRect, const QSize& picture, bool panScan,
                         const QPoint& panOffset)
{
    const QPoint origin = panScan ? panOffset : videoRect.topLeft();
    QPoint p = client - origin;
    if (videoRect.width() > 0 && videoRect.height() > 0 && picture.isValid()) {
        p.setX(int(qint64(p.x()) * picture.width() / videoRect.width()));
        p.setY(int(qint64(p.y()) * picture.height() / videoRect.height()));
        p.setX(std::clamp(p.x(), 0, std::max(0, picture.width() - 1)));
        p.setY(std::clamp(p.y(), 0, std::max(0, picture.height() - 1)));
    }
    return p;
}

int PannedLeft(int left, int pictureWidth, int windowWidth, int dx)
{
    const int moved = left + dx;
    if (moved > 0 || moved + pictureWidth < windowWidth) return left;
    return moved;
}
