#include "player/units/Windowgeometry.h"

#include <algorithm>

namespace geometry {

namespace {

// A stored size within sense: at least the controls, at most the monitor.
QSize Sensible(QSize size, const QSize& limit)
{
    size = size.expandedTo(QSize(kMinClientWidth, kMinClientHeight));
    if (limit.isValid() && !limit.isEmpty()) size = size.boundedTo(limit.expandedTo(QSize(kMinClientWidth, kMinClientHeight)));
    return size;
}

QSize PanelOf(const QSize& client) { return {client.width() - kBorderWidth, client.height() - kControlsHeight}; }

}  // namespace

std::optional<QSize> WindowClientSize(const SizeRequest& r)
{
    if (r.videoWidth <= 0 || r.videoHeight <= 0 || r.fullScreen || r.maximized) return std::nullopt;
    QSize client;
    if (r.keepSize && !r.force) {
        client = Sensible(QSize(static_cast<int>(std::min(r.lastWidth, 65535u)) + kBorderWidth,
                                static_cast<int>(std::min(r.lastHeight, 65535u)) + kControlsHeight),
                          r.limit);
    } else {
        switch (r.windowSize) {
        case 0:
            client = Sensible(QSize(static_cast<int>((r.selectedSize >> 12) & 0xFFFFF),
                                    static_cast<int>(r.selectedSize & 4095)),
                              r.limit);
            break;
        case 1: client = QSize(644, 540); break;
        case 2: client = QSize(324, 300); break;
        default:
            client = QSize(static_cast<int>(r.videoWidth) + kBorderWidth,
                           static_cast<int>(r.videoHeight) + kControlsHeight);
            break;
        }
    }
    const bool modeHasShape = r.aspectMode != kAspectFree;
    const bool fixedShape = r.aspectMode == kAspect43 || r.aspectMode == kAspect169;
    if ((r.followShape && modeHasShape) || (r.sourceSizeChecked && fixedShape))
        client = ClientForShape(PanelOf(client),
                                QSize(static_cast<int>(r.videoWidth), static_cast<int>(r.videoHeight)));
    return client;
}

QSize ClientForShape(const QSize& panel, const QSize& shape)
{
    long long w = panel.width();
    long long h = panel.height();
    if (shape.width() > 0 && shape.height() > 0) {
        if (shape.height() > shape.width())
            w = std::max(0LL, h) * shape.width() / shape.height();
        else
            h = std::max(0LL, w) * shape.height() / shape.width();
    }
    return {static_cast<int>(w) + kBorderWidth, static_cast<int>(h) + kControlsHeight};
}

QSize PictureShape(int mode, long videoWidth, long videoHeight, long aspectX, long aspectY)
{
    switch (mode) {
    case kAspect43: return {4, 3};
    case kAspect169: return {16, 9};
    case kAspectFree: return {};
    case kAspectSource:
        if (aspectX > 0 && aspectY > 0) return {static_cast<int>(aspectX), static_cast<int>(aspectY)};
        [[fallthrough]];
    default:
        if (videoWidth <= 0 || videoHeight <= 0) return {};
        return {static_cast<int>(videoWidth), static_cast<int>(videoHeight)};
    }
}

QRect ViewPanelRect(const QSize& client, bool fullScreen)
{
    if (fullScreen) return QRect(QPoint(0, 0), client.expandedTo(QSize(0, 0)));
    return QRect(kPanelOffset, kPanelOffset, std::max(0, client.width() - kBorderWidth),
                 std::max(0, client.height() - kControlsHeight));
}

QRect VideoRect(const VideoLayout& l)
{
    const int aw = l.area.width();
    const int ah = l.area.height();
    const QRect whole(0, 0, std::max(0, aw), std::max(0, ah));
    if (aw <= 0 || ah <= 0) return whole;
    // A still picture that fits keeps its own size.
    if (l.stillPicture && !l.fitPicture && l.videoWidth > 0 && l.videoHeight > 0 && l.videoWidth <= aw &&
        l.videoHeight <= ah) {
        const int w = static_cast<int>(l.videoWidth);
        const int h = static_cast<int>(l.videoHeight);
        return QRect((aw - w) / 2, (ah - h) / 2, w, h);
    }
    if (l.aspectMode == kAspectFree) return whole;
    const QSize shape = PictureShape(l.aspectMode, l.videoWidth, l.videoHeight, l.aspectX, l.aspectY);
    if (shape.isEmpty()) return whole;
    // r is the picture's height per width.
    const double r = static_cast<double>(shape.height()) / shape.width();
    bool fullWidth = static_cast<double>(ah) / aw >= r;
    // The full-screen stretches are a file's.
    if (!l.dvd && l.stretch == Stretch::Width) fullWidth = true;
    if (!l.dvd && l.stretch == Stretch::Height) fullWidth = false;
    if (fullWidth) {
        const int h = static_cast<int>(aw * r);
        return QRect(0, (ah - h) / 2, aw, h);
    }
    const int w = static_cast<int>(ah / r);
    return QRect((aw - w) / 2, 0, w, ah);
}

QRect PullInside(const QRect& rect, const std::vector<QRect>& workAreas)
{
    if (workAreas.empty()) return rect;
    const QRect* best = &workAreas.front();
    long long bestArea = 0;
    for (const QRect& area : workAreas) {
        const QRect common = area.intersected(rect);
        const long long size = static_cast<long long>(common.width()) * common.height();
        if (size > bestArea) {
            bestArea = size;
            best = &area;
        }
    }
    const QRect& a = *best;
    QRect r(rect.topLeft(), rect.size().boundedTo(a.size()));
    r.moveLeft(std::clamp(r.left(), a.left(), a.left() + a.width() - r.width()));
    r.moveTop(std::clamp(r.top(), a.top(), a.top() + a.height() - r.height()));
    return r;
}

}  // namespace geometry
