// Adding a folder tree of 10,000 files and reading a list of 100,000 lines,
// with titles from the files' names and from their MP3 tags; the list read
// into the list itself and, as the window does, into the list's model.
#include "player/tag/mp3_maker.h"
#include "units/Creadlist.h"
#include "units/Entrytitle.h"
#include "units/Folderscan.h"
#include "units/Playlist.h"
#include "units/PlaylistModel.h"

#include "platform/paths/paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <optional>

namespace {

constexpr int kTopFolders = 10;
constexpr int kSubFolders = 10;
constexpr int kFilesPerFolder = 100;   // 10 x 10 x 100 = 10,000 files
constexpr int kListLines = 100000;
const QString kExtensions = QStringLiteral("*.avi;*.mpg;*.mpeg;*.wmv;*.asf;*.mp3;*.wav;*.ogg");

struct Tree {
    QTemporaryDir dir;
    QStringList files;
    QString list;
};

Tree& Fixture()
{
    static Tree* tree = [] {
        auto* t = new Tree;
        using namespace mp3test;
        for (int top = 0; top < kTopFolders; ++top) {
            for (int sub = 0; sub < kSubFolders; ++sub) {
                const QString folder = QString("%1/artist%2/album%3").arg(t->dir.path()).arg(top).arg(sub);
                QDir().mkpath(folder);
                for (int i = 0; i < kFilesPerFolder; ++i) {
                    const QByteArray title = QString("Track %1").arg(i).toUtf8();
                    const QByteArray bytes = Tag(3, Frame23("TIT2", Text(0, title)) + Frame23("TPE1", Text(0, "Artist")) +
                                                        Frame23("TALB", Text(0, "Album")) + QByteArray(256, 0)) +
                                             Mpeg1Layer3Frames(4);
                    const QString path = QString("%1/%2 track.mp3").arg(folder).arg(i, 3, 10, QChar('0'));
                    QFile f(path);
                    f.open(QIODevice::WriteOnly);
                    f.write(bytes);
                    t->files << path;
                }
            }
        }
        QStringList lines;
        lines.reserve(kListLines);
        for (int i = 0; i < kListLines; ++i) lines << t->files[i % t->files.size()];
        t->list = t->dir.path() + "/big.m3u";
        WritePlayListFile(t->list, lines);
        return t;
    }();
    return *tree;
}

// The window's side of the intake: the title rule, then the list.
class ListSink : public IListSink {
public:
    explicit ListSink(bool tags) : tags_(tags) {}
    void AddFileToList(const QString& path) override
    {
        list.Add({MakeEntryTitle(path, !tags_, true), path}, false, false);
    }
    void AddPathOrPlayList(const QString& path) override { AddFileToList(path); }
    TPlayList list;

private:
    bool tags_;
};

// The window's side through the model, with a receiver of its signals as
// the window has.
class ModelSink : public IListSink {
public:
    ModelSink()
    {
        for (auto changed : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
            QObject::connect(&list, changed, &list, [this] { ++announced; });
        QObject::connect(&list, &QAbstractItemModel::modelReset, &list, [this] { ++announced; });
    }
    void AddFileToList(const QString& path) override
    {
        list.Add({MakeEntryTitle(path, true, true), path}, false, false);
    }
    void AddPathOrPlayList(const QString& path) override { AddFileToList(path); }
    TPlayListModel list;
    int announced = 0;
};

void BM_AddFolderTree(benchmark::State& state)
{
    const QString root = Fixture().dir.path();
    const bool tags = state.range(0) != 0;
    for (auto _ : state) {
        ListSink sink(tags);
        auto add = [&sink](const QStringList& files) {
            for (const QString& f : files) sink.AddFileToList(f);
        };
        add(FolderMediaFiles(root, true, kExtensions));
        for (const QString& folder : ScanFolder(root, [] { return true; }))
            add(FolderMediaFiles(folder, true, kExtensions));
        if (sink.list.Count() != kTopFolders * kSubFolders * kFilesPerFolder) state.SkipWithError("wrong count");
        benchmark::DoNotOptimize(sink.list.Count());
    }
    state.SetItemsProcessed(state.iterations() * kTopFolders * kSubFolders * kFilesPerFolder);
}
BENCHMARK(BM_AddFolderTree)->Arg(0)->Arg(1)->ArgName("tags")->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadM3u(benchmark::State& state)
{
    const QString list = Fixture().list;
    const bool tags = state.range(0) != 0;
    for (auto _ : state) {
        ListSink sink(tags);
        CReadList(&sink).Read(list, 1);
        if (sink.list.Count() != kListLines) state.SkipWithError("wrong count");
        benchmark::DoNotOptimize(sink.list.Count());
    }
    state.SetItemsProcessed(state.iterations() * kListLines);
}
BENCHMARK(BM_ReadM3u)->Arg(0)->Arg(1)->ArgName("tags")->Unit(benchmark::kMillisecond)->UseRealTime();

// The same list read into the model: entry by entry (batch 0) or in one batch.
void BM_ReadM3uModel(benchmark::State& state)
{
    const QString list = Fixture().list;
    const bool batched = state.range(0) != 0;
    for (auto _ : state) {
        ModelSink sink;
        {
            std::optional<TPlayListModel::Batch> batch;
            if (batched) batch.emplace(sink.list);
            CReadList(&sink).Read(list, 1);
        }
        if (sink.list.Count() != kListLines || sink.announced != (batched ? 1 : kListLines))
            state.SkipWithError("wrong count");
        benchmark::DoNotOptimize(sink.list.Count());
    }
    state.SetItemsProcessed(state.iterations() * kListLines);
}
BENCHMARK(BM_ReadM3uModel)->Arg(0)->Arg(1)->ArgName("batch")->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ShuffleSteps(benchmark::State& state)
{
    TPlayList list;
    for (int i = 0; i < kListLines; ++i) list.Add({QString(), QString()}, false, false);
    for (auto _ : state) {
        list.BuildShuffleOrder();
        for (int i = 0; i < kListLines; ++i) list.StepNext(true);
        benchmark::DoNotOptimize(list.ListIndex());
    }
}
BENCHMARK(BM_ShuffleSteps)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
