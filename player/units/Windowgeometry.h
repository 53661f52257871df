// The arithmetic of the main window's size and of the picture inside it,
// apart from any window: the client size a size command asks for, the view
// panel in the client area, the video rectangle in the panel by the aspect
// mode, and the rectangles of full screen. All sizes are in pixels of the
// client area; a client area is the view panel plus kBorderWidth in width and
// kControlsHeight in height (the panel sits at 2, 2).
#pragma once

#include <QRect>
#include <QSize>

#include <optional>
#include <vector>

namespace geometry {

inline constexpr int kBorderWidth = 4;
inline constexpr int kControlsHeight = 60;
inline constexpr int kPanelOffset = 2;
// The smallest client area a stored size may give: the controls alone.
inline constexpr int kMinClientWidth = 290;
inline constexpr int kMinClientHeight = 60;

// Aspect modes (the Tag of the aspect items).
enum AspectMode : int { kAspectSource = 0, kAspectSizeRatio = 1, kAspect43 = 2, kAspect169 = 3, kAspectFree = 4 };

// What a window-size command works from.
struct SizeRequest {
    long videoWidth = 0;          // native picture size; 0 without a picture
    long videoHeight = 0;
    bool force = false;           // a preset was chosen: keep-size does not apply
    bool keepSize = false;        // the last panel size is kept
    unsigned windowSize = 3;      // 0 selected size, 1 640x480, 2 320x240, 3 video size
    unsigned selectedSize = 1327404;   // client width x 4096 + client height
    unsigned lastWidth = 320;     // the panel size kept for keep-size
    unsigned lastHeight = 240;
    bool followShape = true;      // the window takes the picture's shape
    bool sourceSizeChecked = true;
    int aspectMode = kAspectSource;
    bool maximized = false;
    bool fullScreen = false;
    // The largest client area the monitor's work area holds; empty: no limit.
    QSize limit;
};

// The client size of a size command, or nullopt when the window keeps its
// size (no picture, maximised, full screen). Stored sizes are taken within
// kMinClient* .. limit; the values themselves are not changed.
std::optional<QSize> WindowClientSize(const SizeRequest& request);

// The client size whose panel takes `shape`: for a portrait shape the panel
// keeps its height and its width follows, otherwise the width stays and the
// height follows (integer arithmetic). An empty shape leaves the panel as it is.
QSize ClientForShape(const QSize& panel, const QSize& shape);

// The picture's shape (width : height) by the aspect mode: 4:3, 16:9, the
// native size, or for the source mode the stream's picture aspect when known
// and else the native size. Empty for the free mode and without a size.
QSize PictureShape(int mode, long videoWidth, long videoHeight, long aspectX, long aspectY);

// The view panel in a client area: at 2, 2, 4 narrower and 60 shorter; in
// full screen the whole client area. Never negative.
QRect ViewPanelRect(const QSize& client, bool fullScreen);

// How full screen fits the picture to the monitor.
enum class Stretch { None, Width, Height };

struct VideoLayout {
    QSize area;                   // the view panel (the client area in full screen)
    long videoWidth = 0;
    long videoHeight = 0;
    long aspectX = 0;             // the stream's picture aspect; 0 unknown
    long aspectY = 0;
    int aspectMode = kAspectSource;
    bool dvd = false;             // a playing DVD: no full-screen stretch
    bool stillPicture = false;
    bool fitPicture = false;      // a still picture is scaled even when it fits
    Stretch stretch = Stretch::None;
};

// The picture's rectangle in the area: the whole area for the free mode;
// else the largest rectangle of the picture's shape, centred (letter- or
// pillar-boxed); a still picture that fits at its own size, centred. With
// a stretch (never a DVD's) the picture spans the area's width (height) and
// may pass its other edges. An empty area or shape gives the area.
QRect VideoRect(const VideoLayout& layout);

// Full screen covers the whole monitor.
inline QRect FullScreenRect(const QRect& monitor) { return monitor; }

// `rect` moved (and shrunk when larger) into the work area that holds most
// of it, else the first one (the primary monitor's). Unchanged when there is
// no work area.
QRect PullInside(const QRect& rect, const std::vector<QRect>& workAreas);

}  // namespace geometry
