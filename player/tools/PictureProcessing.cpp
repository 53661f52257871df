#include "player/tools/PictureProcessing.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace capture {

namespace {

// The sharpening kernel: centre 1, ring k, divided by 1 + 8k.
constexpr double kRing = -0.0355339;
constexpr double kDivisor = 0.7157288;

QImage AsBgr(const QImage& picture)
{
    return picture.format() == QImage::Format_BGR888 ? picture : picture.convertToFormat(QImage::Format_BGR888);
}

// Source coordinate of a target index with the neighbours used around it.
struct Axis {
    int i0, i1, i2, im;
    double f;
};

std::vector<Axis> Axes(int source, int target)
{
    std::vector<Axis> axes(target);
    for (int t = 0; t < target; ++t) {
        double s = double(source) * t / target;
        s = std::clamp(s, 0.0, double(source - 1));
        Axis& a = axes[t];
        a.i0 = int(s);
        a.f = s - a.i0;
        a.i1 = std::min(a.i0 + 1, source - 1);
        a.i2 = std::min(a.i0 + 2, source - 1);
        a.im = std::max(a.i0 - 1, 0);
    }
    return axes;
}

// The bilinear formula over sample(x, y, channel) of a source of the given
// size, into a width x height picture.
template <typename Sample>
QImage Interpolate(int width, int height, int sourceWidth, int sourceHeight, Sample sample)
{
    QImage target(width, height, QImage::Format_BGR888);
    const std::vector<Axis> xs = Axes(sourceWidth, width);
    const std::vector<Axis> ys = Axes(sourceHeight, height);
    for (int y = 0; y < height; ++y) {
        const Axis& ay = ys[y];
        uchar* out = target.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const Axis& ax = xs[x];
            for (int c = 0; c < 3; ++c) {
                const double p00 = sample(ax.i0, ay.i0, c);
                const double p10 = sample(ax.i1, ay.i0, c);
                const double p01 = sample(ax.i0, ay.i1, c);
                const double p11 = sample(ax.i1, ay.i1, c);
                const double v = ax.f * ay.f * (p00 - p10 - p01 + p11) + (p10 - p00) * ax.f + (p01 - p00) * ay.f + p00;
                out[x * 3 + c] = uchar(ClampByte(v));
            }
        }
    }
    return target;
}

}  // namespace

int ClampByte(double value)
{
    const double rounded = std::trunc(value + 0.5);
    if (rounded < 0) return 0;
    if (rounded > 255) return 255;
    return int(rounded);
}

QImage ResizeBilinear(const QImage& source, int width, int height)
{
    if (width <= 0 || height <= 0 || source.isNull()) return {};
    const QImage src = AsBgr(source);
    return Interpolate(width, height, src.width(), src.height(),
                       [&src](int x, int y, int c) { return double(src.constScanLine(y)[x * 3 + c]); });
}

QImage ResizeBicubic(const QImage& source, int width, int height)
{
    if (width <= 0 || height <= 0 || source.isNull()) return {};
    const QImage src = AsBgr(source);
    const int w = src.width();
    const int h = src.height();
    // The sharpened value depends on the source pixel alone: once per picture.
    std::vector<float> sharp(size_t(w) * h * 3);
    for (int b = 0; b < h; ++b) {
        const uchar* rows[3] = {src.constScanLine(std::max(b - 1, 0)), src.constScanLine(b),
                                src.constScanLine(std::min(b + 1, h - 1))};
        for (int a = 0; a < w; ++a) {
            const int cols[3] = {std::max(a - 1, 0), a, std::min(a + 1, w - 1)};
            for (int c = 0; c < 3; ++c) {
                double ring = 0;
                for (int r = 0; r < 3; ++r)
                    for (int q = 0; q < 3; ++q)
                        if (r != 1 || q != 1) ring += rows[r][cols[q] * 3 + c];
                const double centre = rows[1][a * 3 + c];
                sharp[(size_t(b) * w + a) * 3 + c] = float((centre + kRing * ring) / kDivisor);
            }
        }
    }
    return Interpolate(width, height, w, h,
                       [&sharp, w](int x, int y, int c) { return double(sharp[(size_t(y) * w + x) * 3 + c]); });
}

QSize FitToPanel(int videoWidth, int videoHeight, const QSize& panel)
{
    if (videoWidth <= 0 || videoHeight <= 0 || panel.width() <= 0 || panel.height() <= 0) return {};
    const double r = double(videoHeight) / videoWidth;
    if (double(panel.height()) / panel.width() >= r) return QSize(panel.width(), int(panel.width() * r));
    return QSize(int(panel.height() / r), panel.height());
}

QSize NativeSize(int videoWidth, int videoHeight, bool unlockAspect, const QSize& videoRect)
{
    int w = videoWidth;
    if (unlockAspect && videoRect.height() > 0) w = videoRect.width() * videoHeight / videoRect.height();
    return QSize(w, videoHeight);
}

QSize KeptSize(int sizeIndex, const VideoGeometry& geometry, const QSize& pictureSize)
{
    if (sizeIndex <= 0 || !geometry.hasGraph) return pictureSize;
    QSize size;
    if (sizeIndex == 2) {
        size = geometry.dvdMode && !geometry.dvdStretchVideo
                   ? FitToPanel(geometry.videoWidth, geometry.videoHeight, geometry.panel)
                   : geometry.videoRect;
    } else if (sizeIndex == 1) {
        size = NativeSize(geometry.videoWidth, geometry.videoHeight, geometry.unlockAspect, geometry.videoRect);
    }
    if (size.width() <= 0 || size.height() <= 0) return pictureSize;
    return size;
}

QImage ResizedCopy(const QImage& picture, const QSize& size, Interpolation how)
{
    if (picture.isNull()) return {};
    if (size == picture.size() || size.isEmpty()) return AsBgr(picture).copy();
    switch (how) {
    case Interpolation::Bilinear: return ResizeBilinear(picture, size.width(), size.height());
    case Interpolation::Bicubic: return ResizeBicubic(picture, size.width(), size.height());
    case Interpolation::Smooth: break;
    }
    return AsBgr(picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

QImage CentredCut(const QImage& frame, const QSize& panel, const QRect& rect)
{
    if (frame.isNull() || rect.isEmpty()) return {};
    const QImage drawn = ResizedCopy(frame, rect.size(), Interpolation::Smooth);
    if (panel.isEmpty()) return drawn;
    const QPoint cut((panel.width() - rect.width()) / 2, (panel.height() - rect.height()) / 2);
    if (rect.topLeft() == cut && QRect(QPoint(), panel).contains(rect)) return drawn;
    QImage out(rect.size(), QImage::Format_BGR888);
    out.fill(Qt::black);
    QPainter painter(&out);
    // Nothing of the panel lies outside it.
    painter.setClipRect(QRect(-cut, panel));
    painter.drawImage(rect.topLeft() - cut, drawn);
    painter.end();
    return out;
}

void ApplyCorrection(QImage* picture, const Correction& correction)
{
    if (!picture || picture->isNull() || !correction.on) return;
    if (picture->format() != QImage::Format_BGR888) *picture = AsBgr(*picture);
    int add[3];   // blue, green, red
    if (correction.rgb) {
        add[0] = correction.bar3;
        add[1] = correction.bar2;
        add[2] = correction.bar1;
    } else {
        if (correction.bar1 == 0) return;
        add[0] = add[1] = add[2] = correction.bar1;
    }
    for (int y = 0; y < picture->height(); ++y) {
        uchar* row = picture->scanLine(y);
        for (int x = 0; x < picture->width(); ++x)
            for (int c = 0; c < 3; ++c) row[x * 3 + c] = uchar(std::clamp(row[x * 3 + c] + add[c], 0, 255));
    }
}

}  // namespace capture
