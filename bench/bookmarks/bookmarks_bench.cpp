// "Bookmarks.bmk" with 10,000 blocks (files with three bookmarks and two
// sections each): loading the block stored last, and saving one block (the
// old one removed, the new one first, the file replaced whole).
#include "units/Bookmarkfile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using namespace bookmarks;

constexpr int kBlocks = 10000;

QString MediaPath(int i) { return QStringLiteral("/media/videos/%1 recording of the day.avi").arg(i, 5, 10, QChar('0')); }

TBlock SampleBlock(int i)
{
    TBlock block;
    for (int m = 0; m < 3; ++m) block.Bookmarks.push_back({QStringLiteral("note %1").arg(m), 1000LL * m + i});
    block.Sections.push_back({QString(), 500, 1500});
    block.Sections.push_back({QString(), 3000 + i, 4000 + i});
    return block;
}

struct File {
    QTemporaryDir dir;
    QString path;
};

File& Fixture()
{
    static File* file = [] {
        auto* f = new File;
        f->path = f->dir.filePath(QStringLiteral("Bookmarks.bmk"));
        QByteArray content;
        // Written newest first: block 0 ends up last.
        for (int i = kBlocks - 1; i >= 0; --i) {
            const TBlock block = SampleBlock(i);
            content += ReplaceBlock({}, BlockHeader(MediaPath(i), 0x5a5a0000 + i), &block);
        }
        QFile out(f->path);
        out.open(QIODevice::WriteOnly);
        out.write(content);
        return f;
    }();
    return *file;
}

void BM_LoadLastBlock(benchmark::State& state)
{
    const CBookmarkFile file(Fixture().path);
    const QByteArray header = BlockHeader(MediaPath(0), 0x5a5a0000);
    for (auto _ : state) {
        std::optional<TBlock> block = file.Load(header);
        if (!block || block->Bookmarks.size() != 3) state.SkipWithError("block not found");
        benchmark::DoNotOptimize(block);
    }
    state.counters["file_bytes"] = static_cast<double>(QFileInfo(Fixture().path).size());
}
BENCHMARK(BM_LoadLastBlock)->Unit(benchmark::kMillisecond);

void BM_SaveOneBlock(benchmark::State& state)
{
    const CBookmarkFile file(Fixture().path);
    int i = 0;
    for (auto _ : state) {
        // A block from the middle of the file each time, moved to the top.
        const int index = (kBlocks / 2 + i++ * 7919) % kBlocks;
        if (file.Save(BlockHeader(MediaPath(index), 0x5a5a0000 + index), SampleBlock(index)) != 0)
            state.SkipWithError("not saved");
    }
}
BENCHMARK(BM_SaveOneBlock)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
