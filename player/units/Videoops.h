// The small operations on the picture that the file and DVD graphs share, as
// pure functions: flip modes, the MPEG splitter for a source's caps and the
// order in which splitters are tried, window points in the picture's own
// coordinates, and how far the picture may be panned.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

// Flip modes of the flip menus: 0 none, 1 upside down, 2 mirrored, 3 turned
// by 180 degrees.
struct TFlipAxes {
    bool horizontal = false;
    bool vertical = false;
};
TFlipAxes FlipAxes(int mode);
// The output rectangle of a mixer for a mode, normalised (0..1); mode 0
// for a value out of range.
struct TNormalRect {
    double left, top, right, bottom;
    bool operator==(const TNormalRect&) const = default;
};
TNormalRect FlipRectangle(int mode);

// Splitter kinds: 2 the MPEG-1 splitter, 1 the optional MPEG-2 splitter
// (with the `MPEG-2 Splitter` setting), 0 the system's own.
int MpegSplitterKindForCaps(const QString& caps, bool mpeg2SplitterOn);
// The kinds to try in order; an empty tail means plain rendering.
std::vector<int> MpegSplitterOrder(int kind);
// The element that stands for a kind on a stream of these caps; empty when
// none does.
QString MpegSplitterFactory(int kind, const QString& caps);

// A point of the view panel in the picture's own coordinates: relative to
// the video rectangle, scaled from its size to the picture's. With pan-scan
// the stored pan offset is taken instead of the rectangle's place. Points
// outside the picture are clamped to its edge.
QPoint PictureFromClient(const QPoint& client, const QRect& videoRect, const QSize& picture, bool panScan,
                         const QPoint& panOffset);

// The picture's new left edge after a pan by dx, or the old one when the
// picture would no longer cover the window (left edge right of 0, right edge
// left of the window's width).
int PannedLeft(int left, int pictureWidth, int windowWidth, int dx);
