// First-frame time and CPU load of our playback graph beside gst-play-1.0 on
// the same 720p clip, in the same run, with the same sinks; with --realmedia,
// our RealMedia control (from SetSource on) on the RealMedia bench clip.
//
//   bench_first_frame [--clip FILE] [--runs N] [--seconds S] [--modes fakesink,window,painted] [--realmedia]
//   bench_first_frame --clip dvd:///path/to/disc ...   a DVD-Video folder: our DVD
//                     layer (manual build) beside gst-play-1.0 dvd://
//
// fakesink: video and sound to fake sinks that keep time (no display needed).
// window:   the X window sink our overlay renderer picks (ximagesink under
//           Xvfb); gst-play-1.0 is given the same sink. Needs an X display.
// painted:  our own painted renderer, beside gst-play-1.0 with the X sink.
// First frame: from building the graph (after gst_init) to the first buffer
// that reaches the video sink (painted renderer: the first paint), each in a
// fresh process, so both pay for loading the plugins (ours on a second
// thread beside the building, as the program does). Our graph runs in a
// child copy of this program (--child MODE SECONDS); for gst-play-1.0 a tracer
// module loaded into it reports the moment.
// CPU: user + system seconds per second of real playback over S seconds
// (default 5), from the first frame on.
#include "platform/dvd/player.h"
#include "platform/media/graph.h"
#include "platform/media/preload.h"
#include "platform/realmedia/realmedia.h"

#include <gst/gst.h>

#include <functional>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <QWidget>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct Figures {
    double firstFrameMs = -1;
    double cpuPerSecond = -1;
    QString sink;
};

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

double ChildCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) return -1;
    // Fields 14 and 15 of the file (utime, stime); 3 is the first after the name.
    const double ticks = fields[11].toDouble() + fields[12].toDouble();
    return ticks / sysconf(_SC_CLK_TCK);
}

void Spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Waits up to 10 s for `firstFrame` (a monotonic time, 0 until the first
// frame) and gives the milliseconds since `start`, or -1 without a frame.
double WaitFirstFrame(const std::function<qint64()>& firstFrame, qint64 start)
{
    QElapsedTimer guard;
    guard.start();
    while (!firstFrame() && guard.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return firstFrame() ? (firstFrame() - start) / 1000.0 : -1;
}

// CPU seconds per second of this process over the next `seconds`.
double CpuPerSecondOver(int seconds)
{
    const double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    Spin(seconds * 1000);
    return (CpuSeconds() - cpu0) / (wall.nsecsElapsed() / 1e9);
}

// The video sink among a pipeline's element factories.
QString SinkAmong(const QStringList& names)
{
    for (const char* sink : {"xvimagesink", "ximagesink", "glimagesink", "appsink"})
        if (names.contains(QLatin1String(sink))) return QLatin1String(sink);
    return QStringLiteral("fakesink");
}

// The RealMedia control plays the clip instead of the graph.
bool realMedia = false;

// The RealMedia control from SetSource to its first picture, then its CPU load.
Figures RunRealMedia(QWidget& window, const QString& clip, const QString& mode, int seconds)
{
    Figures f;
    const qint64 start = g_get_monotonic_time();
    media::Preloader preloader(QStringList{clip});
    auto control = std::make_unique<realmedia::TRealAudio>(&window, &window);
    control->SetRenderer(mode == QLatin1String("painted") ? 3 : 1);
    // The window gives a clip its own size (the bench clip's 640 x 480), so
    // neither player scales the picture.
    control->setGeometry(0, 0, 640, 480);
    control->show();
    if (!control->SetSource(clip)) return f;
    const double firstFrameMs = WaitFirstFrame([&] { return control->FirstFrameTime(); }, start);
    if (firstFrameMs < 0) return f;
    f.firstFrameMs = firstFrameMs;
    f.sink = control->VideoSinkFactory();
    f.cpuPerSecond = CpuPerSecondOver(seconds);
    return f;
}

Figures RunOurs(const QString& clip, const QString& mode, int seconds)
{
    Figures f;
    qputenv("ZORAVEL_AUDIO_SINK", "fakesink");
    if (mode == QLatin1String("fakesink"))
        qputenv("ZORAVEL_VIDEO_SINK", "fakesink");
    else
        qunsetenv("ZORAVEL_VIDEO_SINK");
    QWidget window;
    window.setWindowTitle(QStringLiteral("bench"));
    window.resize(1280, 720);
    window.setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, Qt::black);
    window.setPalette(palette);
    window.show();
    Spin(300);
    if (realMedia) {
        f = RunRealMedia(window, clip, mode, seconds);
        qunsetenv("ZORAVEL_VIDEO_SINK");
        qunsetenv("ZORAVEL_AUDIO_SINK");
        return f;
    }

    if (clip.startsWith(QLatin1String("dvd://"))) {
        // The DVD graph: from the build to the first frame shown.
        const qint64 start = g_get_monotonic_time();
        dvd::DvdPlayer::ManualOptions options;
        options.path = clip.mid(6);
        options.renderer = mode == QLatin1String("painted") ? media::RendererWindowless9 : media::RendererOverlay;
        options.panel = &window;
        std::unique_ptr<dvd::DvdPlayer> player;
        if (dvd::DvdPlayer::CreateManual(options, &player) != S_OK) return f;
        player->SetVideoPosition(window.rect());
        if (player->Run() != S_OK) return f;
        const double firstFrameMs = WaitFirstFrame([&] { return player->FirstFrameTime(); }, start);
        if (firstFrameMs < 0) return f;
        f.firstFrameMs = firstFrameMs;
        f.sink = SinkAmong(player->ElementFactories());
        // gst-play shows the picture in a window of its own size; so does ours
        // while the CPU is measured, else the scaling to the big window counts.
        long width = 0, height = 0;
        if (SUCCEEDED(player->GetNativeVideoSize(&width, &height)) && width > 0 && height > 0) {
            window.resize(static_cast<int>(width), static_cast<int>(height));
            player->SetVideoPosition(QRect(0, 0, static_cast<int>(width), static_cast<int>(height)));
            Spin(300);
        }
        f.cpuPerSecond = CpuPerSecondOver(seconds);
        return f;
    }

    // The plug-ins load beside the building of the graph, as in the program,
    // which starts loading them once its window is shown.
    const qint64 start = g_get_monotonic_time();
    media::Preloader preloader(QStringList{clip});
    auto graph = std::make_unique<media::FilterGraph>();
    graph->AddVideoRenderer(mode == QLatin1String("painted") ? media::RendererWindowless9 : media::RendererOverlay,
                            &window);
    graph->SetVideoPosition(window.rect());
    if (graph->RenderFile(clip) != S_OK || graph->Run() != S_OK) return f;
    const double firstFrameMs = WaitFirstFrame([&] { return graph->FirstFrameTime(); }, start);
    if (firstFrameMs < 0) return f;
    f.firstFrameMs = firstFrameMs;
    f.sink = SinkAmong(graph->ElementNames());
    f.cpuPerSecond = CpuPerSecondOver(seconds);
    graph.reset();
    qunsetenv("ZORAVEL_VIDEO_SINK");
    qunsetenv("ZORAVEL_AUDIO_SINK");
    return f;
}

// Our graph in a fresh process: this program again, in child mode.
Figures RunOursInChild(const QString& clip, const QString& mode, int seconds)
{
    Figures f;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList childArgs = {QStringLiteral("--child"), mode, QString::number(seconds), QStringLiteral("--clip"), clip};
    if (realMedia) childArgs << QStringLiteral("--realmedia");
    child.start(QCoreApplication::applicationFilePath(), childArgs);
    if (!child.waitForFinished(60000)) {
        child.kill();
        child.waitForFinished();
        return f;
    }
    // libdvdnav may write lines of its own to the output: ours starts with "zo-ours".
    const QByteArray output = child.readAllStandardOutput();
    const qsizetype at = output.lastIndexOf("zo-ours ");
    const QList<QByteArray> parts = (at >= 0 ? output.mid(at) : output).trimmed().split(' ');
    if (parts.size() == 4 && parts[0] == "zo-ours") {
        f.firstFrameMs = parts[1].toDouble();
        f.cpuPerSecond = parts[2].toDouble();
        f.sink = QString::fromUtf8(parts[3]);
    }
    return f;
}

Figures RunGstPlay(const QString& clip, const QString& videoSink, int seconds)
{
    Figures f;
    f.sink = videoSink;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("GST_PLUGIN_PATH"), QStringLiteral(ZO_TRACER_DIR));
    env.insert(QStringLiteral("GST_TRACERS"), QStringLiteral("zofirstframe"));
    // A registry of its own, so the tracer module never enters the user's.
    env.insert(QStringLiteral("GST_REGISTRY"), QDir::temp().filePath(QStringLiteral("zoravel-bench-registry.bin")));
    child.setProcessEnvironment(env);
    const QString sinkLine = videoSink == QLatin1String("fakesink") ? QStringLiteral("fakesink sync=true") : videoSink;
    child.start(QStringLiteral("gst-play-1.0"), {QStringLiteral("--no-interactive"), QStringLiteral("-q"),
                                                  QStringLiteral("--videosink=") + sinkLine,
                                                  QStringLiteral("--audiosink=fakesink sync=true"), clip});
    if (!child.waitForStarted(5000)) {
        std::fprintf(stderr, "gst-play-1.0 could not be started\n");
        return f;
    }
    QByteArray errors;
    QElapsedTimer guard;
    guard.start();
    qint64 frameUs = 0, initUs = 0;
    while (!frameUs && guard.elapsed() < 15000 && child.state() == QProcess::Running) {
        child.waitForReadyRead(10);
        errors += child.readAllStandardError();
        const int at = errors.indexOf("zo-first-frame ");
        const int end = at >= 0 ? errors.indexOf('\n', at) : -1;
        if (end > at) {
            const QList<QByteArray> parts = errors.mid(at, end - at).split(' ');
            frameUs = parts.value(1).toLongLong();
            initUs = parts.value(2).toLongLong();
        }
    }
    if (frameUs) {
        f.firstFrameMs = (frameUs - initUs) / 1000.0;
        const double cpu0 = ChildCpuSeconds(child.processId());
        QElapsedTimer wall;
        wall.start();
        Spin(seconds * 1000);
        const double cpu1 = ChildCpuSeconds(child.processId());
        if (cpu0 >= 0 && cpu1 >= 0) f.cpuPerSecond = (cpu1 - cpu0) / (wall.nsecsElapsed() / 1e9);
    } else {
        std::fprintf(stderr, "gst-play-1.0 reported no frame:\n%s\n", errors.constData());
    }
    child.kill();
    child.waitForFinished(5000);
    return f;
}

double Median(std::vector<double> v)
{
    v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return x < 0; }), v.end());
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv)
{
    gst_init(&argc, &argv);
    QApplication app(argc, argv);

    QString clip = QStringLiteral(ZO_FIXTURE_DIR "/bench720.mp4");
    int runs = 3;
    int seconds = 5;
    QStringList modes = {QStringLiteral("fakesink"), QStringLiteral("window"), QStringLiteral("painted")};
    const QStringList args = app.arguments();
    realMedia = args.contains(QLatin1String("--realmedia"));
    if (realMedia) clip = QStringLiteral(ZO_FIXTURE_DIR "/bench.rm");
    if (args.size() >= 4 && args[1] == QLatin1String("--child")) {
        const QString childClip = args.size() >= 6 ? args[5] : clip;
        const Figures f = RunOurs(childClip, args[2], args[3].toInt());
        std::printf("zo-ours %.3f %.4f %s\n", f.firstFrameMs, f.cpuPerSecond, qPrintable(f.sink));
        return f.firstFrameMs < 0 ? 1 : 0;
    }
    for (int i = 1; i + 1 < args.size(); i += 2) {
        // A switch without a value.
        if (args[i] == QLatin1String("--realmedia")) {
            --i;
            continue;
        }
        if (args[i] == QLatin1String("--clip")) clip = args[i + 1];
        else if (args[i] == QLatin1String("--runs")) runs = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--seconds")) seconds = std::clamp(args[i + 1].toInt(), 1, 8);
        else if (args[i] == QLatin1String("--modes")) modes = args[i + 1].split(',');
    }
    if (!clip.startsWith(QLatin1String("dvd://")) && !QFileInfo::exists(clip)) {
        QProcess::execute(QStringLiteral("bash"), {QStringLiteral(ZO_FIXTURE_SCRIPT), QStringLiteral(ZO_FIXTURE_DIR)});
        if (!clip.startsWith(QLatin1String("dvd://")) && !QFileInfo::exists(clip)) {
            std::fprintf(stderr, "no clip: %s\n", qPrintable(clip));
            return 1;
        }
    }
    const bool display = QGuiApplication::platformName() == QLatin1String("xcb");
    // Let the private registry of the child be built before anything is timed.
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("GST_PLUGIN_PATH"), QStringLiteral(ZO_TRACER_DIR));
        env.insert(QStringLiteral("GST_REGISTRY"),
                   QDir::temp().filePath(QStringLiteral("zoravel-bench-registry.bin")));
        QProcess warm;
        warm.setProcessEnvironment(env);
        warm.start(QStringLiteral("gst-inspect-1.0"), {QStringLiteral("zofirstframe")});
        warm.waitForFinished(60000);
        if (warm.exitCode() != 0) {
            std::fprintf(stderr, "the tracer module does not load from %s\n", ZO_TRACER_DIR);
            return 1;
        }
    }

    std::printf("clip %s, %d run(s) each, CPU over %d s of playback; medians\n\n", qPrintable(clip), runs, seconds);
    std::printf("%-9s %-24s %-24s %16s %16s\n", "mode", "ours (sink)", "gst-play-1.0 (sink)", "first frame ms",
                "CPU s/s");
    bool ok = true;
    for (const QString& mode : modes) {
        if (mode != QLatin1String("fakesink") && !display) {
            std::printf("%-9s skipped: no X display (run under xvfb-run -a)\n", qPrintable(mode));
            continue;
        }
        std::vector<double> oursFirst, oursCpu, theirsFirst, theirsCpu;
        QString oursSink, theirsSink;
        for (int run = 0; run < runs; ++run) {
            const Figures ours = RunOursInChild(clip, mode, seconds);
            oursSink = ours.sink;
            const QString playSink = mode == QLatin1String("fakesink") ? QStringLiteral("fakesink")
                                     : mode == QLatin1String("window") && !ours.sink.isEmpty()
                                         ? ours.sink
                                         : QStringLiteral("ximagesink");
            const Figures theirs = RunGstPlay(clip, playSink, seconds);
            theirsSink = theirs.sink;
            oursFirst.push_back(ours.firstFrameMs);
            oursCpu.push_back(ours.cpuPerSecond);
            theirsFirst.push_back(theirs.firstFrameMs);
            theirsCpu.push_back(theirs.cpuPerSecond);
        }
        const double of = Median(oursFirst), oc = Median(oursCpu), tf = Median(theirsFirst), tc = Median(theirsCpu);
        // Both players run in each round: the spread of the rounds' own
        // ratios shows how far the machine's load moved the medians.
        double lowest = 0, highest = 0;
        for (size_t i = 0; i < oursFirst.size(); ++i) {
            if (oursFirst[i] < 0 || theirsFirst[i] <= 0) continue;
            const double ratio = oursFirst[i] / theirsFirst[i];
            lowest = lowest > 0 ? std::min(lowest, ratio) : ratio;
            highest = std::max(highest, ratio);
        }
        std::printf("%-9s %-24s %-24s %7.1f vs %6.1f %7.3f vs %6.3f   ratio %.2fx (%.2f-%.2f) / %.2fx\n",
                    qPrintable(mode), qPrintable(QStringLiteral("ours (%1)").arg(oursSink)),
                    qPrintable(QStringLiteral("gst-play (%1)").arg(theirsSink)), of, tf, oc, tc,
                    tf > 0 ? of / tf : 0.0, lowest, highest, tc > 0 ? oc / tc : 0.0);
        if (of < 0 || tf < 0 || oc < 0 || tc < 0) ok = false;
    }
    std::printf("\ntargets: first frame within 1.5x, CPU within 1.2x of gst-play-1.0 (same sinks)\n");
    return ok ? 0 : 1;
}
