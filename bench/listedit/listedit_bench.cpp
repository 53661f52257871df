// The list editor at scale, driven as the user drives it: a ".m3u" of
// 100,000 lines naming existing files (no tags to read) opened in the
// editor until its first screenful is drawn, and a selection of 1,000 rows
// spread over the list moved down by one with the editor's own command.
#include "player/ZoMain.h"
#include "player/tools/ListEditModel.h"
#include "player/tools/TListEditForm.h"
#include "ui_TListEditForm.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QItemSelection>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include <fcntl.h>
#include <unistd.h>

#include <memory>

namespace {

constexpr int kLines = 100000;
constexpr int kMoved = 1000;

struct Home {
    QTemporaryDir dir;
    QString list;
    std::unique_ptr<TZoMain> window;
};

Home& TheHome()
{
    static Home* home = [] {
        auto* h = new Home;
        qputenv("ZORAVEL_HOME", QFile::encodeName(h->dir.filePath("data")));
        qputenv("ZORAVEL_REGISTRY", QFile::encodeName(h->dir.filePath("registry.reg")));
        qputenv("ZORAVEL_AUDIO_SINK", "fakesink");
        const QString media = h->dir.filePath("media");
        QDir().mkpath(media);
        QByteArray lines;
        for (int i = 0; i < kLines; ++i) {
            const QString name = QStringLiteral("%1 Track number %2.ogg").arg(i % 97).arg(i);
            ::close(::open(QFile::encodeName(media + QLatin1Char('/') + name).constData(), O_CREAT | O_WRONLY, 0644));
            lines += "media/" + name.toUtf8() + '\n';
        }
        h->list = h->dir.filePath("big.m3u");
        QFile file(h->list);
        if (file.open(QIODevice::WriteOnly)) file.write(lines);
        file.close();
        h->window = std::make_unique<TZoMain>(QStringList());
        h->window->show();
        QApplication::processEvents();
        return h;
    }();
    return *home;
}

TListEditForm* OpenEditor()
{
    TZoMain& main = *TheHome().window;
    main.MiListEditClick();
    QApplication::processEvents();
    return qobject_cast<TListEditForm*>(main.ListEditWindow.data());
}

void CloseEditor(TListEditForm* editor)
{
    TZoMain& main = *TheHome().window;
    delete editor;
    main.ListEditWindow = nullptr;
    QApplication::processEvents();
}

void BM_OpenHugeList(benchmark::State& state)
{
    int rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TListEditForm* editor = OpenEditor();
        if (!editor) {
            state.SkipWithError("no editor");
            return;
        }
        state.ResumeTiming();
        editor->OpenListFile(TheHome().list);
        editor->repaint();
        QApplication::processEvents();
        rows = editor->Rows().Count();
        state.PauseTiming();
        CloseEditor(editor);
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
}

void BM_MoveThousandRowsDown(benchmark::State& state)
{
    TListEditForm* editor = OpenEditor();
    if (!editor) {
        state.SkipWithError("no editor");
        return;
    }
    editor->OpenListFile(TheHome().list);
    TListEditView* view = editor->Form()->ListViewForEdit;
    QAbstractItemModel* model = view->model();
    for (auto _ : state) {
        state.PauseTiming();
        // Every 97th row: a thousand separate runs, the hardest selection to move.
        QItemSelection selection;
        for (int i = 0; i < kMoved; ++i) {
            const int row = 5 + i * 97;
            selection.select(model->index(row, 0), model->index(row, TListEditModel::ColumnCount - 1));
        }
        view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
        QApplication::processEvents();
        state.ResumeTiming();
        editor->Form()->AcMoveDown->trigger();
        editor->repaint();
        QApplication::processEvents();
    }
    CloseEditor(editor);
}

BENCHMARK(BM_OpenHugeList)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_MoveThousandRowsDown)->Unit(benchmark::kMillisecond)->Iterations(20);

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
