// Bicubic 1280 x 720 to 1920 x 1080, and a 1920 x 1080 JPEG at quality 100,
// on a picture with detail in every channel (a flat one compresses unfairly).
#include "player/tools/PictureFiles.h"
#include "player/tools/PictureProcessing.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QImage Detailed(int width, int height)
{
    QImage image(width, height, QImage::Format_BGR888);
    for (int y = 0; y < height; ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            row[x * 3] = uchar(x * 7 + y);
            row[x * 3 + 1] = uchar((x ^ y) * 3);
            row[x * 3 + 2] = uchar(y * 5 - x);
        }
    }
    return image;
}

void BM_ResizeBicubic720To1080(benchmark::State& state)
{
    const QImage source = Detailed(1280, 720);
    for (auto _ : state) {
        QImage out = capture::ResizeBicubic(source, 1920, 1080);
        benchmark::DoNotOptimize(out.constBits());
    }
}
BENCHMARK(BM_ResizeBicubic720To1080)->Unit(benchmark::kMillisecond);

void BM_WriteJpeg1080Quality100(benchmark::State& state)
{
    const QImage picture = Detailed(1920, 1080);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.jpg"));
    for (auto _ : state) benchmark::DoNotOptimize(capture::WriteJpeg(picture, path, 100));
}
BENCHMARK(BM_WriteJpeg1080Quality100)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
