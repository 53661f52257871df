// Sorting a 100,000-entry play list by title, sorting by date with the dates
// of real files in a temporary folder, and the MP3 duration walk over 1,000
// generated MP3 files.
#include "player/tag/mp3_maker.h"
#include "units/Clistsort.h"
#include "units/Ctag.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <random>

namespace {

constexpr int kEntries = 100000;
constexpr int kMp3Files = 1000;
constexpr int kMp3Frames = 1149;   // 30 s at 128 kbit/s, 44.1 kHz

// Titles as a large collection has them: artist, track number and name,
// a fifth of them Japanese, in no order.
std::vector<TPlayListItem> MakeTitles()
{
    static const char* const words[] = {"Blue", "night", "River", "echo", "Summer", "rain", "Golden", "light"};
    static const char* const kana[] = {"さくら", "ヒカリ", "夜空", "かぜ", "ウミ", "星の歌", "あめ", "ミライ"};
    std::mt19937 random(7);
    std::vector<TPlayListItem> list;
    list.reserve(kEntries);
    for (int i = 0; i < kEntries; ++i) {
        const unsigned r = random();
        const QString name = i % 5 == 0 ? QString::fromUtf8(kana[r % 8]) + QString::fromUtf8(kana[(r >> 3) % 8])
                                        : QString("%1 %2").arg(words[r % 8], words[(r >> 3) % 8]);
        list.push_back({QString("%1 - Artist %2 %3").arg(name).arg((r >> 6) % 500).arg((r >> 15) % 20),
                        QString("/music/%1.mp3").arg(i)});
    }
    return list;
}

// Files with last-write times spread over ten years.
struct DatedFiles {
    QTemporaryDir dir;
    std::vector<TPlayListItem> list;
};

DatedFiles& Files(int count)
{
    static std::map<int, DatedFiles*> made;
    DatedFiles*& files = made[count];
    if (files) return *files;
    files = new DatedFiles;
    std::mt19937 random(11);
    const qint64 base = QDateTime(QDate(2014, 1, 1), QTime(0, 0)).toSecsSinceEpoch();
    for (int i = 0; i < count; ++i) {
        const QString path = QString("%1/%2.wav").arg(files->dir.path()).arg(i);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.close();
        const time_t t = time_t(base + qint64(random() % (10u * 365 * 86400)));
        const struct timespec times[2] = {{t, 0}, {t, 0}};
        utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
        files->list.push_back({QString("track %1").arg(random() % 1000), path});
    }
    return *files;
}

void BM_SortListByTitle(benchmark::State& state)
{
    QLocale::setDefault(state.range(0) ? QLocale(QLocale::Japanese, QLocale::Japan)
                                       : QLocale(QLocale::English, QLocale::UnitedStates));
    const std::vector<TPlayListItem> titles = MakeTitles();
    Clistsort::SetListSortKey(Clistsort::skTitleAscending);
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<TPlayListItem> list = titles;
        state.ResumeTiming();
        Clistsort::SortList(list);
        benchmark::DoNotOptimize(list.data());
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_SortListByTitle)->Arg(0)->Arg(1)->ArgName("ja")->Unit(benchmark::kMillisecond)->UseRealTime();

// The largest list a date key sorts: every file's stamp is read, then sorted.
void BM_SortListByDate(benchmark::State& state)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const DatedFiles& files = Files(Clistsort::kMaxDateSortRecords);
    Clistsort::SetListSortKey(Clistsort::skDateDescending);
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<TPlayListItem> list = files.list;
        state.ResumeTiming();
        if (!Clistsort::SortList(list)) state.SkipWithError("not sorted");
        benchmark::DoNotOptimize(list.data());
    }
    state.SetItemsProcessed(state.iterations() * Clistsort::kMaxDateSortRecords);
}
BENCHMARK(BM_SortListByDate)->Unit(benchmark::kMillisecond)->UseRealTime();

// 100,000 library records by the stamps the folder scan read from the files.
void BM_SortItemsByDateValue(benchmark::State& state)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const DatedFiles& files = Files(kEntries);
    std::vector<TLibraryItem> items;
    items.reserve(kEntries);
    for (const TPlayListItem& e : files.list)
        items.push_back({e.Title, e.Path, -1, 2, 0, int(Clistsort::FileDate(e.Path))});
    Clistsort::SetListSortKey(Clistsort::skDateAscending);
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<TLibraryItem> sorted = items;
        state.ResumeTiming();
        Clistsort::SortItemsByValue(sorted);
        benchmark::DoNotOptimize(sorted.data());
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_SortItemsByDateValue)->Unit(benchmark::kMillisecond)->UseRealTime();

// What a date sort of 100,000 entries would spend on opening the files alone.
void BM_ReadFileDates(benchmark::State& state)
{
    const DatedFiles& files = Files(kEntries);
    for (auto _ : state) {
        std::uint32_t sum = 0;
        for (const TPlayListItem& e : files.list) sum += Clistsort::FileDate(e.Path);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_ReadFileDates)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Mp3DurationWalk(benchmark::State& state)
{
    static QTemporaryDir dir;
    static QStringList paths = [] {
        using namespace mp3test;
        QStringList made;
        const QByteArray body = Mpeg1Layer3Frames(kMp3Frames);
        for (int i = 0; i < kMp3Files; ++i) {
            const QByteArray tag = Tag(3, Frame23("TIT2", Text(0, QByteArray("Song ") + QByteArray::number(i))) +
                                              Frame23("TPE1", Text(0, "Artist")) + QByteArray(512, 0));
            const QString path = QString("%1/%2.mp3").arg(dir.path()).arg(i);
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write(tag + body + Id3v1("Song", "Artist", "Album"));
            made << path;
        }
        return made;
    }();
    for (auto _ : state) {
        int seconds = 0;
        for (const QString& path : paths) {
            CMP3Info info(true);
            info.ReadTag(path, true);
            seconds += info.duration;
        }
        if (seconds != kMp3Files * 30) state.SkipWithError("wrong duration");
        benchmark::DoNotOptimize(seconds);
    }
    state.SetItemsProcessed(state.iterations() * kMp3Files);
}
BENCHMARK(BM_Mp3DurationWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
