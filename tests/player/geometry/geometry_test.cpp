#include "player/units/Windowgeometry.h"

#include <gtest/gtest.h>

#include <ostream>

inline std::ostream& operator<<(std::ostream& os, const QRect& r)
{
    return os << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}
inline std::ostream& operator<<(std::ostream& os, const QSize& s) { return os << s.width() << "x" << s.height(); }

using namespace geometry;

namespace {

SizeRequest Video(long w, long h)
{
    SizeRequest r;
    r.videoWidth = w;
    r.videoHeight = h;
    r.limit = QSize(1596, 1140);
    return r;
}

}  // namespace

TEST(WindowClientSize, PresetsKeepSizeAndShape)
{
    struct Case {
        const char* what;
        SizeRequest request;
        std::optional<QSize> client;
    };
    auto with = [](SizeRequest r, auto change) {
        change(r);
        return r;
    };
    const SizeRequest wide = Video(720, 480);
    const SizeRequest portrait = Video(480, 720);
    const Case cases[] = {
        {"selected size, shape free", with(wide, [](SizeRequest& r) { r.windowSize = 0; r.aspectMode = 4; r.sourceSizeChecked = false; }), QSize(324, 300)},
        {"640 preset, shape followed", with(wide, [](SizeRequest& r) { r.windowSize = 1; r.sourceSizeChecked = false; }), QSize(644, 486)},
        {"320 preset, shape followed", with(wide, [](SizeRequest& r) { r.windowSize = 2; r.sourceSizeChecked = false; }), QSize(324, 273)},
        {"video size", with(wide, [](SizeRequest& r) { r.followShape = false; }), QSize(724, 540)},
        {"portrait keeps the preset height", with(portrait, [](SizeRequest& r) { r.windowSize = 1; r.sourceSizeChecked = false; }), QSize(324, 540)},
        {"16:9 with the source preset follows the shape", with(wide, [](SizeRequest& r) { r.windowSize = 1; r.followShape = false; r.aspectMode = 3; }), QSize(644, 486)},
        {"free mode, no shape", with(wide, [](SizeRequest& r) { r.windowSize = 1; r.aspectMode = 4; }), QSize(644, 540)},
        {"keep size", with(wide, [](SizeRequest& r) { r.keepSize = true; r.followShape = false; r.lastWidth = 500; r.lastHeight = 400; }), QSize(504, 460)},
        {"a preset forces past keep size", with(wide, [](SizeRequest& r) { r.keepSize = true; r.force = true; r.windowSize = 2; r.followShape = false; r.sourceSizeChecked = false; }), QSize(324, 300)},
        {"kept size at least the controls", with(wide, [](SizeRequest& r) { r.keepSize = true; r.followShape = false; r.lastWidth = 0; r.lastHeight = 0; }), QSize(290, 60)},
        {"kept size at most the work area", with(wide, [](SizeRequest& r) { r.keepSize = true; r.followShape = false; r.lastWidth = 60000; r.lastHeight = 60000; }), QSize(1596, 1140)},
        {"selected size 0 at least the controls", with(wide, [](SizeRequest& r) { r.windowSize = 0; r.selectedSize = 0; r.followShape = false; }), QSize(290, 60)},
        {"selected size at most the work area", with(wide, [](SizeRequest& r) { r.windowSize = 0; r.selectedSize = 4000u * 4096 + 4000; r.followShape = false; }), QSize(1596, 1140)},
        {"maximised", with(wide, [](SizeRequest& r) { r.maximized = true; }), std::nullopt},
        {"full screen", with(wide, [](SizeRequest& r) { r.fullScreen = true; }), std::nullopt},
        {"no picture", Video(0, 480), std::nullopt},
        {"no height", Video(720, 0), std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(WindowClientSize(c.request), c.client) << c.what;
}

TEST(VideoRect, ModesBoxesAndStills)
{
    struct Case {
        const char* what;
        VideoLayout layout;
        QRect rect;
    };
    auto layout = [](QSize area, long w, long h, int mode) {
        VideoLayout l;
        l.area = area;
        l.videoWidth = w;
        l.videoHeight = h;
        l.aspectMode = mode;
        return l;
    };
    auto with = [](VideoLayout l, auto change) {
        change(l);
        return l;
    };
    const Case cases[] = {
        {"source shape in a tall panel: letterbox", layout({640, 640}, 320, 240, 0), QRect(0, 80, 640, 480)},
        {"source shape in a wide panel: pillarbox", layout({800, 300}, 320, 240, 0), QRect(200, 0, 400, 300)},
        {"picture aspect beats the size", with(layout({640, 480}, 720, 480, 0), [](VideoLayout& l) { l.aspectX = 16; l.aspectY = 9; }), QRect(0, 60, 640, 360)},
        {"size ratio ignores the picture aspect", with(layout({720, 600}, 720, 480, 1), [](VideoLayout& l) { l.aspectX = 16; l.aspectY = 9; }), QRect(0, 60, 720, 480)},
        {"4:3 in a wide panel", layout({1000, 300}, 720, 480, 2), QRect(300, 0, 400, 300)},
        {"16:9 in a square panel", layout({640, 640}, 320, 240, 3), QRect(0, 140, 640, 360)},
        {"free fills", layout({500, 100}, 320, 240, 4), QRect(0, 0, 500, 100)},
        {"a 16:9 DVD in a 4:3 panel: letterbox", with(layout({640, 480}, 853, 480, 1), [](VideoLayout& l) { l.dvd = true; }), QRect(0, 60, 640, 360)},
        {"a DVD's panel of its own shape is filled", with(layout({853, 480}, 853, 480, 1), [](VideoLayout& l) { l.dvd = true; }), QRect(0, 0, 853, 480)},
        {"a stretching DVD renderer fills", with(layout({640, 480}, 853, 480, 4), [](VideoLayout& l) { l.dvd = true; }), QRect(0, 0, 640, 480)},
        {"a DVD takes no full-screen stretch", with(layout({1600, 1200}, 853, 480, 1), [](VideoLayout& l) { l.dvd = true; l.stretch = Stretch::Height; }), QRect(0, 150, 1600, 900)},
        {"portrait in a wide panel", layout({600, 400}, 480, 720, 0), QRect(167, 0, 266, 400)},
        {"still picture that fits keeps its size", with(layout({640, 480}, 160, 120, 0), [](VideoLayout& l) { l.stillPicture = true; }), QRect(240, 180, 160, 120)},
        {"still picture fitted on request", with(layout({640, 480}, 160, 120, 0), [](VideoLayout& l) { l.stillPicture = true; l.fitPicture = true; }), QRect(0, 0, 640, 480)},
        {"still picture too large is boxed", with(layout({320, 320}, 640, 480, 0), [](VideoLayout& l) { l.stillPicture = true; }), QRect(0, 40, 320, 240)},
        {"stretch to the width cuts the height", with(layout({1600, 1200}, 480, 720, 0), [](VideoLayout& l) { l.stretch = Stretch::Width; }), QRect(0, -600, 1600, 2400)},
        {"stretch to the height cuts the width", with(layout({1600, 1200}, 1920, 800, 0), [](VideoLayout& l) { l.stretch = Stretch::Height; }), QRect(-640, 0, 2880, 1200)},
        {"zero area while minimised", layout({0, 0}, 320, 240, 0), QRect(0, 0, 0, 0)},
        {"zero width area", layout({0, 300}, 320, 240, 0), QRect(0, 0, 0, 300)},
        {"no video size", layout({400, 300}, 0, 0, 0), QRect(0, 0, 400, 300)},
    };
    for (const Case& c : cases) EXPECT_EQ(VideoRect(c.layout), c.rect) << c.what;
}

TEST(WindowGeometry, PanelShapeAndPlacement)
{
    EXPECT_EQ(ViewPanelRect({324, 300}, false), QRect(2, 2, 320, 240));
    EXPECT_EQ(ViewPanelRect({1600, 1200}, true), QRect(0, 0, 1600, 1200));
    EXPECT_EQ(ViewPanelRect({3, 40}, false), QRect(2, 2, 0, 0));

    // The fit to the picture's shape: landscape keeps the width, portrait the height.
    EXPECT_EQ(ClientForShape({640, 640}, PictureShape(2, 720, 480, 0, 0)), QSize(644, 540));
    EXPECT_EQ(ClientForShape({640, 640}, PictureShape(0, 720, 576, 16, 9)), QSize(644, 420));
    EXPECT_EQ(ClientForShape({640, 480}, PictureShape(1, 480, 720, 0, 0)), QSize(324, 540));
    EXPECT_EQ(ClientForShape({640, 480}, PictureShape(4, 720, 480, 0, 0)), QSize(644, 540));
    EXPECT_EQ(ClientForShape({0, 0}, PictureShape(0, 720, 480, 0, 0)), QSize(4, 60));

    // A saved rectangle comes back inside the monitor that holds most of it.
    const std::vector<QRect> areas = {QRect(0, 30, 1600, 1170), QRect(1600, 0, 1280, 1024)};
    EXPECT_EQ(PullInside(QRect(100, 100, 400, 300), areas), QRect(100, 100, 400, 300));
    EXPECT_EQ(PullInside(QRect(-50, 0, 400, 300), areas), QRect(0, 30, 400, 300));
    EXPECT_EQ(PullInside(QRect(2700, 900, 400, 300), areas), QRect(2480, 724, 400, 300));
    EXPECT_EQ(PullInside(QRect(5000, 5000, 400, 300), areas), QRect(1200, 900, 400, 300));
    EXPECT_EQ(PullInside(QRect(0, 0, 3000, 3000), {QRect(0, 30, 1600, 1170)}), QRect(0, 30, 1600, 1170));
    EXPECT_EQ(PullInside(QRect(7, 8, 9, 10), {}), QRect(7, 8, 9, 10));
}
