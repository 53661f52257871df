// The capture window's picture processing, without a window: the sizes a
// saved or copied picture is given, the two interpolations, and the colour
// corrections. Pictures are QImage::Format_BGR888: rows of blue, green, red
// bytes, row 0 at the top. Any thread; nothing here keeps state.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

namespace capture {

// trunc(value + 0.5), limited to 0..255.
int ClampByte(double value);

// Interpolation into a w x h picture (both above 0; else a null image).
// Bilinear over the four neighbours; bicubic first sharpens each neighbour
// with a 3 x 3 kernel whose weights sum to 1, then interpolates as bilinear.
QImage ResizeBilinear(const QImage& source, int width, int height);
QImage ResizeBicubic(const QImage& source, int width, int height);

// What the size rules read of the main window.
struct VideoGeometry {
    bool hasGraph = false;   // a file or DVD graph is built
    int videoWidth = 0;      // the stream's own size
    int videoHeight = 0;
    QSize videoRect;         // the picture's rectangle in the view panel
    QSize panel;             // the view panel
    bool dvdMode = false;
    bool dvdStretchVideo = false;
    bool unlockAspect = false;   // the aspect lock menu item is checked off
};

// The largest size of the video's shape inside the panel (ratio in floating
// point); an invalid size when the video has no size.
QSize FitToPanel(int videoWidth, int videoHeight, const QSize& panel);
// The video's own size; with the aspect unlocked, its width follows the
// shown rectangle. A rectangle of height 0 keeps the width.
QSize NativeSize(int videoWidth, int videoHeight, bool unlockAspect, const QSize& videoRect);

// The size-keeping choice: 0 none, 1 the aspect ratio, 2 the shown size.
// The size the picture is written or copied at; the picture's own size when
// nothing applies or a rule gives no width or height.
QSize KeptSize(int sizeIndex, const VideoGeometry& geometry, const QSize& pictureSize);

enum class Interpolation { Smooth, Bilinear, Bicubic };
// A copy of `picture` at `size` (its own size: a plain copy), always BGR888.
QImage ResizedCopy(const QImage& picture, const QSize& size, Interpolation how);

// What a panel of size `panel` shows in a rectangle of `rect`'s size about
// its centre, when the frame is drawn stretched over `rect` (panel
// coordinates) and the panel is black elsewhere; BGR888, null without a
// frame or rectangle.
QImage CentredCut(const QImage& frame, const QSize& panel, const QRect& rect);

// The correction the window's controls ask for.
struct Correction {
    bool on = false;    // 色補正
    bool rgb = false;   // RGB補正: bar1 red, bar2 green, bar3 blue; else bar1 brightness
    int bar1 = 0;
    int bar2 = 0;
    int bar3 = 0;
};
// Adds the correction to every pixel in place, each channel limited to 0..255.
void ApplyCorrection(QImage* picture, const Correction& correction);

}  // namespace capture
