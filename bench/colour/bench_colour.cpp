// CPU seconds per second of playback of the 720p fixture clip through our
// graph, with and without the colour stage:
//
//   bench_colour [--clip FILE] [--runs N] [--seconds S]
//
// overlay-none     overlay renderer, the colour elements left out
// overlay-default  overlay renderer, the stage at its defaults
// overlay-preset   overlay renderer, every value changed
// painted-none     painted renderer (windowless-9), the colour elements left out
// painted-default  painted renderer, picture controls at their defaults
// painted-preset   painted renderer, every picture control changed
//
// Each run plays in a fresh child process (this program with --child MODE S);
// the modes take turns, and the median of the runs is reported. Sound goes to
// a sink that keeps time.
#include "platform/media/graph.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <QWidget>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

void Spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Plays `clip` in the mode; prints "zo-colour CPU SINK" or nothing on failure.
int RunChild(const QString& mode, const QString& clip, int seconds)
{
    qputenv("ZORAVEL_AUDIO_SINK", "fakesink");
    if (mode.endsWith(QLatin1String("-none"))) qputenv("ZORAVEL_NO_COLOUR_STAGE", "1");
    const bool painted = mode.startsWith(QLatin1String("painted"));
    QWidget window;
    window.resize(1280, 720);
    window.show();
    Spin(200);
    media::FilterGraph graph;
    graph.AddVideoRenderer(painted ? media::RendererWindowless9 : media::RendererOverlay, &window);
    graph.SetVideoPosition(window.rect());
    if (mode == QLatin1String("overlay-preset")) {
        if (auto control = graph.OverlayColorControl()) {
            media::DDCOLORCONTROL c{40, 0x2F, 1500, 12000, 20, 14000, 5, 120, 0, 0};
            control->SetColorControls(&c);
        }
    } else if (mode == QLatin1String("painted-preset")) {
        if (auto controls = graph.GetPictureControls()) {
            media::VMR9ProcAmpControl c{24, 0xF, 10, 120, 20, 140};
            controls->SetProcAmpControl(0, &c);
        }
    }
    if (graph.RenderFile(clip) != S_OK || graph.Run() != S_OK) return 1;
    QElapsedTimer guard;
    guard.start();
    while (!graph.FirstFrameTime() && guard.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    if (!graph.FirstFrameTime()) return 1;
    const double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    Spin(seconds * 1000);
    const double perSecond = (CpuSeconds() - cpu0) / (wall.nsecsElapsed() / 1e9);
    QString sink = QStringLiteral("?");
    for (const char* s : {"xvimagesink", "ximagesink", "glimagesink", "appsink"})
        if (graph.ElementNames().contains(QLatin1String(s))) sink = QLatin1String(s);
    std::printf("zo-colour %.4f %s\n", perSecond, qPrintable(sink));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString clip = QStringLiteral(ZO_FIXTURE_DIR "/bench720.mp4");
    int runs = 3;
    int seconds = 6;
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--clip")) clip = args[i + 1];
        if (args[i] == QLatin1String("--runs")) runs = args[i + 1].toInt();
        if (args[i] == QLatin1String("--seconds")) seconds = args[i + 1].toInt();
    }
    if (args.size() >= 4 && args[1] == QLatin1String("--child")) return RunChild(args[2], clip, args[3].toInt());

    const QStringList modes = {"overlay-none", "overlay-default", "overlay-preset", "painted-none", "painted-default",
                               "painted-preset"};
    std::map<QString, std::vector<double>> figures;
    std::map<QString, QString> sinks;
    for (int run = 0; run < runs; ++run) {
        for (const QString& mode : modes) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--child"), mode, QString::number(seconds), QStringLiteral("--clip"), clip});
            if (!child.waitForFinished(120000)) {
                child.kill();
                child.waitForFinished();
                continue;
            }
            const QList<QByteArray> parts = child.readAllStandardOutput().trimmed().split(' ');
            if (parts.size() == 3 && parts[0] == "zo-colour") {
                figures[mode].push_back(parts[1].toDouble());
                sinks[mode] = QString::fromUtf8(parts[2]);
            }
        }
    }
    auto median = [](std::vector<double> v) {
        if (v.empty()) return -1.0;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("%-16s %-12s %10s %8s\n", "mode", "sink", "cpu s/s", "vs none");
    for (const QString& mode : modes) {
        // Each renderer beside its own run without the stage.
        const double base = median(figures[mode.startsWith(QLatin1String("painted")) ? "painted-none" : "overlay-none"]);
        const double m = median(figures[mode]);
        std::printf("%-16s %-12s %10.3f %8.3f\n", qPrintable(mode), qPrintable(sinks[mode]), m,
                    base > 0 && m > 0 ? m / base : 0.0);
    }
    return 0;
}
