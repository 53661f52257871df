// Opening the media library window through the main window's buttons, as
// the user does, until its first screenful is drawn: a "Library.zorf" of
// 10,000 existing files, and the folder viewer on a folder of 10,000 media
// files. The counter "icons" is how many icons the rows fetched: only the
// rows drawn ask for theirs.
#include "platform/shell/icons.h"
#include "player/ZoMain.h"
#include "player/tools/LibraryFile.h"
#include "player/tools/TMediaViewer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include <fcntl.h>
#include <unistd.h>

#include <memory>

namespace {

constexpr int kEntries = 10000;

struct Home {
    QTemporaryDir dir;
    QString media;
    QString folder;
    std::unique_ptr<TZoMain> window;
};

void Touch(const QString& path) { ::close(::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY, 0644)); }

Home& TheHome()
{
    static Home* home = [] {
        auto* h = new Home;
        qputenv("ZORAVEL_HOME", QFile::encodeName(h->dir.filePath("data")));
        qputenv("ZORAVEL_REGISTRY", QFile::encodeName(h->dir.filePath("registry.reg")));
        qputenv("ZORAVEL_AUDIO_SINK", "fakesink");
        h->media = h->dir.filePath("library");
        h->folder = h->dir.filePath("folder");
        QDir().mkpath(h->media);
        QDir().mkpath(h->folder);
        std::vector<TLibraryEntry> entries;
        entries.reserve(kEntries);
        for (int i = 0; i < kEntries; ++i) {
            const QString name = QStringLiteral("%1 Track of the collection number %2").arg(i % 97).arg(i);
            const QString path = QStringLiteral("%1/%2.mp3").arg(h->media).arg(i);
            Touch(path);
            entries.push_back({name, path});
            Touch(QStringLiteral("%1/%2 Song %3.%4").arg(h->folder).arg(i % 89).arg(i).arg(i % 2 ? "mp3" : "wav"));
        }
        TLibraryFile(h->dir.filePath("data/ListFiles/Library.zorf")).Rewrite(entries);
        TLibraryFile(h->dir.filePath("data/ListFiles/FolderLib.zorf")).Rewrite({{QStringLiteral("Big"), h->folder}});
        h->window = std::make_unique<TZoMain>(QStringList());
        h->window->show();
        QApplication::processEvents();
        return h;
    }();
    return *home;
}

void OpenViewer(benchmark::State& state, bool folder)
{
    Home& home = TheHome();
    TZoMain& main = *home.window;
    QPointer<QWidget>& field = folder ? main.FolderViewer : main.LibraryViewer;
    int rows = 0;
    const int iconsBefore = shell::IconProvider::Shared().FetchCount();
    for (auto _ : state) {
        if (folder)
            main.TBtnShowFolder1Click();
        else
            main.TBtnShowLibraryClick();
        auto* viewer = qobject_cast<TMediaViewer*>(field.data());
        if (!viewer) {
            state.SkipWithError("no viewer");
            return;
        }
        // Drawn: the first screenful's rows have been painted.
        viewer->repaint();
        QApplication::processEvents();
        rows = viewer->Library().Count();
        state.PauseTiming();
        delete viewer;
        field = nullptr;
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
    state.counters["icons"] = benchmark::Counter(shell::IconProvider::Shared().FetchCount() - iconsBefore,
                                                 benchmark::Counter::kAvgIterations);
}

void BM_OpenLibrary(benchmark::State& state) { OpenViewer(state, false); }
void BM_OpenFolderViewer(benchmark::State& state) { OpenViewer(state, true); }

BENCHMARK(BM_OpenLibrary)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_OpenFolderViewer)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv)
{
    gst_init(nullptr, nullptr);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    TheHome().window.reset();
    benchmark::Shutdown();
    return 0;
}
