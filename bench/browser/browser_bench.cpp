// Expanding a folder of 10,000 files (4,000 media files of the Extension
// list, 6,000 others) in the file browser until the tree is drawn again:
// the folder is listed, filtered, sorted and its nodes made at each
// expansion, since a collapse forgets them.
#include "player/ZoMain.h"
#include "player/tools/TFileBrowser.h"
#include "ui_TFileBrowser.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include <fcntl.h>
#include <unistd.h>

#include <memory>

namespace {

constexpr int kFiles = 10000;
constexpr int kMedia = 4000;

struct Home {
    QTemporaryDir dir;
    std::unique_ptr<TZoMain> window;
    TFileBrowser* browser = nullptr;
    QTreeWidgetItem* folder = nullptr;
};

void Touch(const QString& path) { ::close(::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY, 0644)); }

Home& TheHome()
{
    static Home* home = [] {
        auto* h = new Home;
        qputenv("HOME", QFile::encodeName(h->dir.filePath("user")));
        qputenv("ZORAVEL_HOME", QFile::encodeName(h->dir.filePath("data")));
        qputenv("ZORAVEL_REGISTRY", QFile::encodeName(h->dir.filePath("registry.reg")));
        qputenv("ZORAVEL_AUDIO_SINK", "fakesink");
        const QString big = h->dir.filePath("user/Desktop/big");
        QDir().mkpath(big);
        for (int i = 0; i < kFiles; ++i)
            Touch(QStringLiteral("%1/%2 Song %3.%4").arg(big).arg(i % 89).arg(i).arg(i < kMedia ? "mp3" : "txt"));
        h->window = std::make_unique<TZoMain>(QStringList());
        h->window->show();
        h->browser = new TFileBrowser(*h->window);
        h->browser->show();
        QApplication::processEvents();
        for (int i = 0; i < h->browser->RootNode()->childCount(); ++i)
            if (h->browser->RootNode()->child(i)->text(0) == QLatin1String("big")) h->folder = h->browser->RootNode()->child(i);
        return h;
    }();
    return *home;
}

void BM_ExpandFolder(benchmark::State& state)
{
    Home& home = TheHome();
    if (!home.folder) {
        state.SkipWithError("no folder");
        return;
    }
    int nodes = 0;
    for (auto _ : state) {
        home.folder->setExpanded(true);
        home.browser->Form()->TreeView->repaint();
        QApplication::processEvents();
        nodes = home.folder->childCount();
        state.PauseTiming();
        home.folder->setExpanded(false);
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["nodes"] = nodes;
}

BENCHMARK(BM_ExpandFolder)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv)
{
    gst_init(nullptr, nullptr);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    delete TheHome().browser;
    TheHome().window.reset();
    benchmark::Shutdown();
    return 0;
}
