// The capture window's picture processing and files, without a window:
// interpolations checked against values worked out by hand, the size rules
// and their guards, the bitmap's bytes, a JPEG read back by libjpeg, and the
// numbered names.
#include "player/tools/PictureFiles.h"
#include "player/tools/PictureProcessing.h"
#include "support/test_util.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include <gtest/gtest.h>

namespace {

using namespace capture;

// A picture from grey levels, row by row (the same value in every channel).
QImage Grey(int w, int h, std::vector<int> levels)
{
    QImage image(w, h, QImage::Format_BGR888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uchar* p = image.scanLine(y) + x * 3;
            p[0] = p[1] = p[2] = uchar(levels[size_t(y * w + x)]);
        }
    return image;
}

int At(const QImage& image, int x, int y, int channel = 0) { return image.constScanLine(y)[x * 3 + channel]; }

std::vector<int> Row(const QImage& image, int y)
{
    std::vector<int> row;
    for (int x = 0; x < image.width(); ++x) row.push_back(At(image, x, y));
    return row;
}

TEST(PictureProcessing, ClampByteRoundsHalfUpAndLimits)
{
    const std::pair<double, int> cases[] = {{254.5, 255}, {-3.2, 0}, {0.49, 0}, {0.5, 1}, {127.5, 128}, {300, 255}};
    for (const auto& [value, expected] : cases) EXPECT_EQ(ClampByte(value), expected) << value;
}

TEST(PictureProcessing, BilinearUpAndDown)
{
    // 2 x 2 to 4 x 4: sx = 0, 0.5, 1, 1.5 (limited to 1): the last two
    // columns repeat the last source column; rows alike.
    const QImage up = ResizeBilinear(Grey(2, 2, {0, 100, 200, 40}), 4, 4);
    ASSERT_EQ(up.size(), QSize(4, 4));
    EXPECT_EQ(Row(up, 0), (std::vector<int>{0, 50, 100, 100}));
    // Row 1 is halfway: (0+200)/2 = 100, (100+40)/2 = 70, middle 85.
    EXPECT_EQ(Row(up, 1), (std::vector<int>{100, 85, 70, 70}));
    EXPECT_EQ(Row(up, 2), (std::vector<int>{200, 120, 40, 40}));
    EXPECT_EQ(Row(up, 3), Row(up, 2));
    // 4 x 1 to 2 x 1: sx = 0 and 2, taken as they are.
    const QImage down = ResizeBilinear(Grey(4, 1, {10, 20, 30, 40}), 2, 1);
    EXPECT_EQ(Row(down, 0), (std::vector<int>{10, 30}));
    // Channels stay apart.
    QImage blue(1, 1, QImage::Format_BGR888);
    blue.scanLine(0)[0] = 255;
    blue.scanLine(0)[1] = 0;
    blue.scanLine(0)[2] = 7;
    const QImage b = ResizeBilinear(blue, 3, 2);
    EXPECT_EQ(At(b, 2, 1, 0), 255);
    EXPECT_EQ(At(b, 2, 1, 1), 0);
    EXPECT_EQ(At(b, 2, 1, 2), 7);
    EXPECT_TRUE(ResizeBilinear(blue, 0, 4).isNull());
}

TEST(PictureProcessing, BicubicSharpensAndKeepsUniformGrey)
{
    const QImage grey = ResizeBicubic(Grey(5, 4, std::vector<int>(20, 77)), 13, 9);
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x) ASSERT_EQ(At(grey, x, y), 77) << x << "," << y;
    // One bright pixel in a 3 x 3 field, taken at its own size: the centre
    // is 255 / d (clamped), the corner sees it once in its ring:
    // (0 + k x 255) / d < 0, clamped to 0.
    std::vector<int> dot(9, 0);
    dot[4] = 255;
    const QImage sharp = ResizeBicubic(Grey(3, 3, dot), 3, 3);
    EXPECT_EQ(At(sharp, 1, 1), 255);
    EXPECT_EQ(At(sharp, 0, 0), 0);
    // The ring is limited to the picture: at (0,0) of a 2 x 1 picture it
    // holds (0,0) five times and (1,0) three times around the centre 100.
    const QImage edge = ResizeBicubic(Grey(2, 1, {100, 20}), 2, 1);
    EXPECT_EQ(At(edge, 0, 0), ClampByte((100 - 0.0355339 * (500 + 60)) / 0.7157288));
}

TEST(PictureProcessing, SizeRulesAndTheirGuards)
{
    // Panel wider than the video's shape: height-limited.
    EXPECT_EQ(FitToPanel(720, 480, QSize(800, 400)), QSize(600, 400));
    EXPECT_EQ(FitToPanel(720, 480, QSize(300, 400)), QSize(300, 200));
    EXPECT_FALSE(FitToPanel(0, 480, QSize(300, 400)).isValid());
    EXPECT_EQ(NativeSize(720, 480, false, QSize(853, 480)), QSize(720, 480));
    EXPECT_EQ(NativeSize(720, 480, true, QSize(853, 480)), QSize(853, 480));
    EXPECT_EQ(NativeSize(720, 480, true, QSize(853, 0)), QSize(720, 480));

    VideoGeometry g;
    g.hasGraph = true;
    g.videoWidth = 720;
    g.videoHeight = 480;
    g.videoRect = QSize(640, 360);
    g.panel = QSize(800, 400);
    const QSize own(320, 240);
    EXPECT_EQ(KeptSize(0, g, own), own);
    EXPECT_EQ(KeptSize(1, g, own), QSize(720, 480));
    EXPECT_EQ(KeptSize(2, g, own), QSize(640, 360));
    g.dvdMode = true;
    EXPECT_EQ(KeptSize(2, g, own), QSize(600, 400));
    g.dvdStretchVideo = true;
    EXPECT_EQ(KeptSize(2, g, own), QSize(640, 360));
    g.videoRect = QSize(0, 360);
    EXPECT_EQ(KeptSize(2, g, own), own);   // no empty picture
    g.hasGraph = false;
    EXPECT_EQ(KeptSize(1, g, own), own);
}

// The RealMedia grab: the centred rectangle of the video rectangle's size,
// taken from the panel as it shows the frame over that rectangle.
TEST(PictureProcessing, CentredCutOfThePanel)
{
    QImage white(40, 30, QImage::Format_BGR888);
    white.fill(Qt::white);
    // Centred: the frame at the rectangle's size.
    const QImage centred = CentredCut(white, QSize(100, 50), QRect(30, 10, 40, 30));
    ASSERT_EQ(centred.size(), QSize(40, 30));
    EXPECT_EQ(centred.pixelColor(0, 0), QColor(Qt::white));
    // Panned 10 to the right: the cut shows black where the panel is black.
    const QImage panned = CentredCut(white, QSize(100, 50), QRect(40, 10, 40, 30));
    ASSERT_EQ(panned.size(), QSize(40, 30));
    EXPECT_EQ(panned.pixelColor(9, 15), QColor(Qt::black));
    EXPECT_EQ(panned.pixelColor(10, 15), QColor(Qt::white));
    EXPECT_EQ(panned.pixelColor(39, 15), QColor(Qt::white));
    // Larger than the panel: nothing outside it is shown.
    const QImage large = CentredCut(white, QSize(20, 20), QRect(-10, -5, 40, 30));
    ASSERT_EQ(large.size(), QSize(40, 30));
    EXPECT_EQ(large.pixelColor(5, 15), QColor(Qt::black));
    EXPECT_EQ(large.pixelColor(20, 15), QColor(Qt::white));
    EXPECT_TRUE(CentredCut(QImage(), QSize(10, 10), QRect(0, 0, 10, 10)).isNull());
}

TEST(PictureProcessing, CorrectionsByMode)
{
    QImage p(1, 1, QImage::Format_BGR888);
    auto set = [&p] {
        p.scanLine(0)[0] = 10;    // blue
        p.scanLine(0)[1] = 128;   // green
        p.scanLine(0)[2] = 250;   // red
    };
    auto bgr = [&p] { return std::vector<int>{At(p, 0, 0, 0), At(p, 0, 0, 1), At(p, 0, 0, 2)}; };
    set();
    ApplyCorrection(&p, {true, false, 20, 99, 99});   // brightness: bars 2 and 3 unused
    EXPECT_EQ(bgr(), (std::vector<int>{30, 148, 255}));
    set();
    ApplyCorrection(&p, {true, true, -100, 5, -50});   // red, green, blue
    EXPECT_EQ(bgr(), (std::vector<int>{0, 133, 150}));
    set();
    ApplyCorrection(&p, {false, true, 50, 50, 50});
    EXPECT_EQ(bgr(), (std::vector<int>{10, 128, 250}));
}

TEST(PictureFiles, NamesForSaving)
{
    testutil::IsolatedHome home;
    const QString path = home.File(QStringLiteral("movie.bmp"));
    EXPECT_EQ(NumberedName(path), home.File(QStringLiteral("movie(001).bmp")));
    ASSERT_TRUE(testutil::WriteFile(home.File(QStringLiteral("movie(001).bmp")), "x"));
    ASSERT_TRUE(testutil::WriteFile(home.File(QStringLiteral("movie(002).bmp")), "x"));
    EXPECT_EQ(NumberedName(path), home.File(QStringLiteral("movie(003).bmp")));
    EXPECT_EQ(NumberedName(QStringLiteral("/no.such/dir.x/name")), QStringLiteral("/no.such/dir.x/name(001)"));

    EXPECT_EQ(SaveBaseName(QStringLiteral("/v/clip.part.mp4")), QStringLiteral("clip.part"));
    EXPECT_EQ(SaveBaseName(QStringLiteral("http://host/live/")), QStringLiteral("capture"));
    EXPECT_EQ(SaveBaseName(QStringLiteral("/v/a\tb\x01.avi")), QStringLiteral("a_b_"));
}

TEST(PictureFiles, BitmapBytes)
{
    testutil::IsolatedHome home;
    // 2 x 2: rows of 6 bytes padded to 8, written bottom row first.
    QImage p(2, 2, QImage::Format_BGR888);
    const uchar top[6] = {1, 2, 3, 4, 5, 6};
    const uchar bottom[6] = {7, 8, 9, 10, 11, 12};
    std::copy_n(top, 6, p.scanLine(0));
    std::copy_n(bottom, 6, p.scanLine(1));
    const QString path = home.File(QStringLiteral("p.bmp"));
    ASSERT_TRUE(WriteBmp(p, path));
    const QByteArray bytes = testutil::ReadFile(path);
    ASSERT_EQ(bytes.size(), 54 + 16);
    auto le32 = [&bytes](int at) {
        return quint32(uchar(bytes[at])) | quint32(uchar(bytes[at + 1])) << 8 | quint32(uchar(bytes[at + 2])) << 16 |
               quint32(uchar(bytes[at + 3])) << 24;
    };
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    EXPECT_EQ(le32(2), 70u);
    EXPECT_EQ(le32(10), 54u);
    EXPECT_EQ(le32(14), 40u);
    EXPECT_EQ(le32(18), 2u);
    EXPECT_EQ(le32(22), 2u);
    EXPECT_EQ(le32(28) & 0xffff, 24u);
    EXPECT_EQ(le32(30), 0u);
    EXPECT_EQ(bytes.mid(54), QByteArray("\x07\x08\x09\x0a\x0b\x0c\0\0\x01\x02\x03\x04\x05\x06\0\0", 16));
    // Qt reads it back with the same colours.
    const QImage back(path);
    EXPECT_EQ(back.pixel(0, 0), qRgb(3, 2, 1));
    EXPECT_EQ(back.pixel(1, 1), qRgb(12, 11, 10));
}

// A JPEG file decoded by libjpeg into BGR rows.
QImage DecodeJpeg(const QString& path)
{
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!file) return {};
    jpeg_decompress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    QImage image(int(info.output_width), int(info.output_height), QImage::Format_BGR888);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return image;
}

TEST(PictureFiles, JpegAndTheWritersFailures)
{
    testutil::IsolatedHome home;
    // Four colour blocks survive a JPEG at quality 100 closely, and at 10 roughly.
    QImage p(64, 48, QImage::Format_BGR888);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            uchar* px = p.scanLine(y) + x * 3;
            px[0] = x < 32 ? 200 : 20;   // blue left
            px[1] = y < 24 ? 180 : 40;
            px[2] = x >= 32 ? 220 : 30;  // red right
        }
    for (int quality : {100, 10}) {
        const QString path = home.File(QStringLiteral("q%1.jpg").arg(quality));
        ASSERT_TRUE(WritePictureFile(p, path, quality));
        const QImage back = DecodeJpeg(path);
        ASSERT_EQ(back.size(), p.size());
        EXPECT_LT(testutil::ImageDifference(back, p), quality == 100 ? 3.0 : 12.0) << quality;
    }
    EXPECT_GT(QFileInfo(home.File(QStringLiteral("q100.jpg"))).size(),
              QFileInfo(home.File(QStringLiteral("q10.jpg"))).size());

    // An unknown extension, an empty picture and a missing folder write nothing.
    EXPECT_FALSE(WritePictureFile(p, home.File(QStringLiteral("p.png")), 100));
    EXPECT_FALSE(WriteJpeg(QImage(0, 5, QImage::Format_BGR888), home.File(QStringLiteral("e.jpg")), 100));
    EXPECT_FALSE(WriteBmp(QImage(), home.File(QStringLiteral("e.bmp"))));
    EXPECT_FALSE(WritePictureFile(p, home.File(QStringLiteral("none/p.jpg")), 100));
    EXPECT_FALSE(WritePictureFile(p, home.File(QStringLiteral("none/p.bmp")), 100));
    // libjpeg's own error (a picture wider than JPEG allows) fails and leaves no file.
    const QImage tooWide(70000, 1, QImage::Format_BGR888);
    EXPECT_FALSE(WriteJpeg(tooWide, home.File(QStringLiteral("wide.jpg")), 90));
    EXPECT_FALSE(QFile::exists(home.File(QStringLiteral("wide.jpg"))));
    EXPECT_EQ(QDir(home.Path()).entryList({QStringLiteral("*.jpg")}, QDir::Files).size(), 2);
}

}  // namespace
