// The folder search over one folder of 10,000 files of mixed kinds, as the
// command runs it: the chosen kinds decide, each taken file joins the play
// list's model with its title from the name, and pending events are
// processed after each file.
#include "player/tools/FolderSearch.h"
#include "player/units/Entrytitle.h"
#include "player/units/PlaylistModel.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int kFiles = 10000;
// Of each ten files: three of chosen kinds, the rest not.
const char* const kNames[] = {"clip%1.avi", "clip%1.mpg", "song%1.wmv", "song%1.mp3", "note%1.txt",
                              "pic%1.jpg",  "list%1.m3u", ".hidden%1.avi", "data%1",    "raw%1.wav"};
constexpr int kTaken = 3 * kFiles / 10;

QTemporaryDir& Folder()
{
    static QTemporaryDir* dir = [] {
        auto* d = new QTemporaryDir;
        for (int i = 0; i < kFiles; ++i) {
            QFile f(d->filePath(QString::fromLatin1(kNames[i % 10]).arg(i / 10)));
            f.open(QIODevice::WriteOnly);
        }
        return d;
    }();
    return *dir;
}

void BM_SearchFolder(benchmark::State& state)
{
    TSearchKinds kinds;
    kinds.on[TSearchKinds::Avi] = kinds.on[TSearchKinds::Mpeg] = kinds.on[TSearchKinds::WindowsMedia] = true;
    const TFolderSearch search(kinds);
    const QString folder = Folder().path();
    for (auto _ : state) {
        TPlayListModel list;
        {
            TPlayListModel::Batch batch(list);
            search.Run(
                folder, [&list](const QString& path) { list.Add({MakeEntryTitle(path, true, false), path}, false, false); },
                [] {
                    QCoreApplication::processEvents();
                    return true;
                });
        }
        if (list.Count() != kTaken) state.SkipWithError("wrong count");
        benchmark::DoNotOptimize(list.Count());
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_SearchFolder)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
