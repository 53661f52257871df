// The playback graph on real GStreamer with the generated media.
#include "media_test_util.h"

#include "platform/media/capture.h"
#include "platform/media/output.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <memory>

using namespace media;
using namespace mediatest;
using testutil::WaitUntil;

namespace {

constexpr REFERENCE_TIME kSecond = 10'000'000;

struct Kind {
    const char* file;
    bool video;
    bool audio;
    bool still;
    double seconds;   // about; 0 for pictures
    double tolerance = 0.35;
};

void PrintTo(const Kind& kind, std::ostream* os) { *os << kind.file; }

class GraphKinds : public MediaTest, public ::testing::WithParamInterface<Kind> {};

TEST_P(GraphKinds, RendersWithItsStreams)
{
    const Kind k = GetParam();
    FilterGraph graph;
    graph.AddVideoRenderer(RendererWindowless9, &panel);
    ASSERT_EQ(graph.RenderFile(F(k.file)), S_OK) << k.file;
    EXPECT_EQ(graph.State(), GraphState::Paused);
    EXPECT_EQ(graph.HasVideo(), k.video);
    EXPECT_EQ(graph.HasAudio(), k.audio);
    EXPECT_EQ(graph.IsVideoRendererConnected(), k.video);
    EXPECT_EQ(graph.IsStillPicture(), k.still);
    REFERENCE_TIME duration = -1;
    if (k.still) {
        EXPECT_EQ(graph.GetDuration(&duration), S_OK);
        EXPECT_EQ(duration, 0);
        EXPECT_FALSE(graph.IsSeekable());
    } else {
        ASSERT_EQ(graph.GetDuration(&duration), S_OK);
        EXPECT_NEAR(duration / double(kSecond), k.seconds, k.tolerance) << k.file;
        EXPECT_TRUE(graph.IsSeekable());
    }
    if (k.video) {
        long w = 0, h = 0;
        EXPECT_EQ(graph.GetNativeVideoSize(&w, &h), S_OK);
        EXPECT_GT(w, 0);
        EXPECT_TRUE(WaitUntil([&] { return graph.FramesShown() > 0; })) << "no frame painted";
        EXPECT_EQ(graph.CurrentImage().width(), w);
    } else {
        EXPECT_EQ(graph.CanStep(), S_FALSE);
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, GraphKinds,
                         ::testing::Values(Kind{"mpeg1.mpg", true, true, false, 2.9},
                                           Kind{"mpeg2.m2p", true, true, false, 2.9},
                                           Kind{"video.m1v", true, false, false, 2.0, 1.0},   // estimated
                                           Kind{"clip.avi", true, true, false, 2.0},
                                           Kind{"avi_as.mpg", true, true, false, 2.0},
                                           Kind{"tone.wav", false, true, false, 2.0},
                                           Kind{"tagged.mp3", false, true, false, 3.0},
                                           Kind{"plain.mp3", false, true, false, 3.0},
                                           Kind{"clip.wmv", true, true, false, 3.0},
                                           Kind{"sound.wma", false, true, false, 3.0},
                                           Kind{"clip.rm", true, true, false, 2.0},
                                           Kind{"twoaudio.mkv", true, true, false, 3.0},
                                           Kind{"picture.jpg", true, false, true, 0},
                                           Kind{"picture.gif", true, false, true, 0},
                                           Kind{"picture.bmp", true, false, true, 0}),
                         [](const auto& info) {
                             QString name = QString::fromLatin1(info.param.file);
                             return name.replace('.', '_').toStdString();
                         });

TEST_F(MediaTest, UnplayableInputFailsQuicklyAndLeavesNothing)
{
    for (const char* name : {"random.bin", "random.mpg"}) {
        FilterGraph graph;
        graph.AddVideoRenderer(RendererWindowless9, &panel);
        QElapsedTimer timer;
        timer.start();
        const HRESULT hr = graph.RenderFile(F(name));
        EXPECT_TRUE(FAILED(hr)) << name;
        EXPECT_LT(timer.elapsed(), 5000) << name;   // well before the build's limit
        EXPECT_TRUE(graph.ElementNames().isEmpty());
        EXPECT_EQ(graph.Run(), VFW_E_WRONG_STATE);
        EXPECT_TRUE(panel.findChildren<QWidget*>().isEmpty()) << "renderer widget left behind";
    }
    FilterGraph graph;
    EXPECT_EQ(graph.RenderFile(F("no such file.mpg")), static_cast<HRESULT>(0x80070002u));
}

TEST_F(MediaTest, PathsBeyondOldLimitsAndInAnyScriptPlay)
{
    QTemporaryDir dir;
    QString folder = dir.path();
    while (folder.size() < 300) folder += QStringLiteral("/長いフォルダ名のテスト");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/音 #%?.wav");
    ASSERT_TRUE(QFile::copy(F("tone.wav"), path));
    FilterGraph graph;
    EXPECT_EQ(graph.RenderFile(path), S_OK);
    EXPECT_TRUE(graph.HasAudio());
}

// A one-file HTTP server on the loopback address, on a thread of its own
// (RenderFile blocks the test's thread while the graph builds).
class LoopbackHttp : public QThread {
public:
    explicit LoopbackHttp(QByteArray body) : body_(std::move(body)) {}
    ~LoopbackHttp() override
    {
        quit();
        wait();
    }
    quint16 Start()
    {
        start();
        while (!port_) QThread::msleep(5);
        return port_;
    }

protected:
    void run() override
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, [&] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                // A request's head can come in more than one piece.
                auto head = std::make_shared<QByteArray>();
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, head] {
                    head->append(socket->readAll());
                    if (!head->contains("\r\n\r\n")) return;
                    head->clear();
                    socket->write("HTTP/1.0 200 OK\r\nContent-Type: audio/x-wav\r\nContent-Length: "
                                  + QByteArray::number(body_.size()) + "\r\n\r\n");
                    socket->write(body_);
                    socket->disconnectFromHost();
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        port_ = server.serverPort();
        exec();
    }

private:
    QByteArray body_;
    std::atomic<quint16> port_{0};
};

TEST_F(MediaTest, AddressesPlayAndUnreachableOnesFail)
{
    LoopbackHttp http(testutil::ReadFile(F("tone.wav")));
    const quint16 port = http.Start();
    FilterGraph graph;
    RecordingForm form;
    form.drain = &graph;
    ASSERT_EQ(graph.RenderFile(QStringLiteral("http://127.0.0.1:%1/tone.wav").arg(port)), S_OK);
    graph.SetNotifyWindow(&form, WM_GRAPHNOTIFY, 0);
    ASSERT_EQ(graph.Run(), S_OK);
    REFERENCE_TIME pos = 0;
    EXPECT_TRUE(WaitUntil([&] { return graph.GetCurrentPosition(&pos) == S_OK && pos > kSecond / 4; }));
    EXPECT_TRUE(graph.HasAudio());
    // Stopping a stream lets go of it; playing again starts it anew.
    EXPECT_EQ(graph.Stop(), S_OK);
    EXPECT_EQ(graph.Run(), S_OK);
    EXPECT_TRUE(WaitUntil([&] { return !form.codes.empty() && form.codes.back() == EC_COMPLETE; }, 8000))
        << "events " << ::testing::PrintToString(form.codes);

    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const quint16 nobody = closed.serverPort();
    closed.close();
    FilterGraph none;
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(FAILED(none.RenderFile(QStringLiteral("http://127.0.0.1:%1/x.mp3").arg(nobody))));
    EXPECT_LT(timer.elapsed(), 5000);
}

TEST_F(MediaTest, SeeksClampToTheItemAndKeepPosition)
{
    FilterGraph graph;
    graph.AddVideoRenderer(RendererWindowless9, &panel);
    ASSERT_EQ(graph.RenderFile(F("clip.avi")), S_OK);
    REFERENCE_TIME duration = 0, pos = -1;
    ASSERT_EQ(graph.GetDuration(&duration), S_OK);

    REFERENCE_TIME target = kSecond;
    ASSERT_EQ(graph.SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
    ASSERT_EQ(graph.GetCurrentPosition(&pos), S_OK);
    EXPECT_NEAR(pos, kSecond, kSecond / 10);

    target = kSecond / 2;   // relative: 1.5 s
    ASSERT_EQ(graph.SetPositions(&target, AM_SEEKING_RelativePositioning, nullptr, 0), S_OK);
    graph.GetCurrentPosition(&pos);
    EXPECT_NEAR(pos, kSecond * 3 / 2, kSecond / 10);

    target = duration * 5;
    ASSERT_EQ(graph.SetPositions(&target, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame, nullptr, 0),
              S_OK);
    graph.GetCurrentPosition(&pos);
    EXPECT_LE(pos, duration);

    target = -5 * kSecond;
    ASSERT_EQ(graph.SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
    graph.GetCurrentPosition(&pos);
    EXPECT_EQ(pos, 0);

    // Stopping keeps the position.
    target = kSecond;
    graph.SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0);
    ASSERT_TRUE(WaitUntil([&] { return graph.GetCurrentPosition(&pos) == S_OK && pos > 0; }));
    ASSERT_EQ(graph.Stop(), S_OK);
    EXPECT_EQ(graph.State(), GraphState::Stopped);
    graph.GetCurrentPosition(&pos);
    EXPECT_NEAR(pos, kSecond, kSecond / 10);

    EXPECT_EQ(graph.SetRate(0.0), E_INVALIDARG);
    EXPECT_EQ(graph.SetRate(2.0), S_OK);
    double rate = 0;
    graph.GetRate(&rate);
    EXPECT_EQ(rate, 2.0);
    double fps = 0;
    EXPECT_EQ(graph.GetFrameRate(&fps), S_OK);
    EXPECT_DOUBLE_EQ(fps, 25.0);
}

// Key-frame seeks snap the way they go: with key frames a second apart, a
// small step forward must not fall back to the key frame it started from.
TEST_F(MediaTest, KeyFrameSeeksSnapInTheirDirection)
{
    FilterGraph graph;
    ASSERT_EQ(graph.RenderFile(F("bench720.mp4")), S_OK);   // a key frame every second
    const auto landed = [&graph] {
        REFERENCE_TIME pos = -1;
        WaitUntil([&] { return !graph.IsSettling(); }, 10000);
        graph.GetCurrentPosition(&pos);
        return pos;
    };
    REFERENCE_TIME target = kSecond * 2;
    ASSERT_EQ(graph.SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
    EXPECT_NEAR(landed(), kSecond * 2, kSecond / 10);
    target = kSecond * 23 / 10;   // forward: the next key frame, not back to 2 s
    ASSERT_EQ(graph.SetPositions(&target, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame, nullptr, 0),
              S_OK);
    EXPECT_NEAR(landed(), kSecond * 3, kSecond / 10);
    target = kSecond * 27 / 10;   // backward: the key frame before it, not forward to 3 s
    ASSERT_EQ(graph.SetPositions(&target, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame, nullptr, 0),
              S_OK);
    EXPECT_NEAR(landed(), kSecond * 2, kSecond / 10);
}

// A seek bar dragged over the item: while a flushing seek is in flight the
// newest position waits, and it goes out once the seek has completed.
TEST_F(MediaTest, DraggedSeekBarSendsTheNewestPositionWhenTheSeekInFlightCompletes)
{
    FilterGraph graph;
    RecordingForm form;
    form.drain = &graph;
    graph.AddVideoRenderer(RendererWindowless9, &panel);
    ASSERT_EQ(graph.RenderFile(F("bench720.mp4")), S_OK);
    graph.SetNotifyWindow(&form, WM_GRAPHNOTIFY, 0);
    REFERENCE_TIME duration = 0, pos = -1;
    ASSERT_EQ(graph.GetDuration(&duration), S_OK);

    // Faster than any picture can follow: one seek goes out, the rest wait
    // as one target, which is what the position reads.
    constexpr int kSteps = 200;
    REFERENCE_TIME last = 0;
    for (int i = 1; i <= kSteps; ++i) {
        last = duration / 2 * i / kSteps;
        ASSERT_EQ(graph.SetPositions(&last, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
        ASSERT_EQ(graph.GetCurrentPosition(&pos), S_OK);
        ASSERT_EQ(pos, last);
    }
    EXPECT_EQ(graph.SeeksSent(), 1u);
    EXPECT_TRUE(WaitUntil([&] { return graph.SeeksSent() == 2; }));

    // At a hand's pace, with the event loop running: the seeks go out as the
    // earlier ones complete, each showing its picture, and the last wins.
    const quint64 framesBefore = graph.FramesShown();
    QTimer drag;
    int step = 0;
    QObject::connect(&drag, &QTimer::timeout, [&] {
        last = duration / 2 + duration / 3 * ++step / 150;
        graph.SetPositions(&last, AM_SEEKING_AbsolutePositioning, nullptr, 0);
        if (step == 150) drag.stop();
    });
    drag.start(10);
    ASSERT_TRUE(WaitUntil([&] { return !drag.isActive(); }, 20000));
    EXPECT_GE(graph.SeeksSent(), 4u);
    EXPECT_LT(graph.SeeksSent(), 2u + 150 / 4);
    EXPECT_GE(graph.FramesShown(), framesBefore + 2) << "no pictures on the way";

    // Played from the last position, the item ends within its last sixth.
    const REFERENCE_TIME released = last;
    ASSERT_EQ(graph.Run(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return graph.GetCurrentPosition(&pos) == S_OK && pos > released; }, 10000));
    EXPECT_LT(pos, released + duration / 6);
    EXPECT_TRUE(WaitUntil([&] { return !form.codes.empty() && form.codes.back() == EC_COMPLETE; }, 10000));
}

TEST_F(MediaTest, StopPositionEndsPlaybackEarlyAndStaysForLaterSeeks)
{
    // A sound file and a demuxed video file: each ends its stream at the stop.
    for (const char* name : {"tone.wav", "clip.avi"}) {
        SCOPED_TRACE(name);
        FilterGraph graph;
        RecordingForm form;
        form.drain = &graph;
        ASSERT_EQ(graph.RenderFile(F(name)), S_OK);
        graph.SetNotifyWindow(&form, WM_GRAPHNOTIFY, 0);
        REFERENCE_TIME duration = 0, reported = 0;
        ASSERT_EQ(graph.GetDuration(&duration), S_OK);
        ASSERT_EQ(graph.GetStopPosition(&reported), S_OK);
        EXPECT_EQ(reported, duration);   // no stop: the media's end
        REFERENCE_TIME start = 0, stop = kSecond / 2;
        ASSERT_EQ(graph.SetPositions(&start, AM_SEEKING_AbsolutePositioning, &stop, AM_SEEKING_AbsolutePositioning),
                  S_OK);
        ASSERT_EQ(graph.Run(), S_OK);
        auto completes = [&] { return std::count(form.codes.begin(), form.codes.end(), EC_COMPLETE); };
        ASSERT_TRUE(WaitUntil([&] { return completes() == 1; }));
        // It ended at the stop position, not at the end of its two seconds.
        REFERENCE_TIME pos = 0;
        ASSERT_EQ(graph.GetCurrentPosition(&pos), S_OK);
        EXPECT_NEAR(pos, stop, kSecond / 10);
        ASSERT_EQ(graph.GetStopPosition(&reported), S_OK);
        EXPECT_EQ(reported, stop);

        // A seek without a stop keeps it: the stream ends there again.
        start = kSecond / 5;
        ASSERT_EQ(graph.SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
        ASSERT_TRUE(WaitUntil([&] { return completes() == 2; }));
        ASSERT_EQ(graph.GetCurrentPosition(&pos), S_OK);
        EXPECT_NEAR(pos, stop, kSecond / 10);

        // A stop at the media's end removes it: the item plays out.
        start = kSecond / 5;
        REFERENCE_TIME end = duration;
        ASSERT_EQ(graph.SetPositions(&start, AM_SEEKING_AbsolutePositioning, &end, AM_SEEKING_AbsolutePositioning),
                  S_OK);
        ASSERT_EQ(graph.GetStopPosition(&reported), S_OK);
        EXPECT_EQ(reported, duration);
        ASSERT_TRUE(WaitUntil([&] { return graph.GetCurrentPosition(&pos) == S_OK && pos > stop + kSecond / 4; }));
        // A start at or past a given stop is refused.
        start = kSecond;
        stop = kSecond / 2;
        EXPECT_EQ(graph.SetPositions(&start, AM_SEEKING_AbsolutePositioning, &stop, AM_SEEKING_AbsolutePositioning),
                  E_INVALIDARG);
    }
}

TEST_F(MediaTest, EventsReachTheWindowByOnePostedMessagePerBatch)
{
    FilterGraph graph;
    RecordingForm form;
    graph.AddVideoRenderer(RendererWindowless9, &panel);
    ASSERT_EQ(graph.RenderFile(F("clip.avi")), S_OK);
    // The preroll's pause was queued before anyone listened: announced now.
    graph.SetNotifyWindow(&form, WM_GRAPHNOTIFY, 0);
    ASSERT_TRUE(WaitUntil([&] { return form.notifications == 1; }));
    long code;
    LPARAM p1, p2;
    ASSERT_EQ(graph.GetEvent(&code, &p1, &p2, 0), S_OK);
    EXPECT_EQ(code, EC_PAUSED);
    EXPECT_EQ(graph.GetEvent(&code, &p1, &p2, 0), E_ABORT);

    form.drain = &graph;
    REFERENCE_TIME target = kSecond * 17 / 10;
    graph.SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0);
    ASSERT_EQ(graph.Run(), S_OK);
    EXPECT_EQ(graph.State(), GraphState::Running);
    ASSERT_TRUE(WaitUntil([&] { return !form.codes.empty() && form.codes.back() == EC_COMPLETE; }));
    EXPECT_EQ(std::count(form.codes.begin(), form.codes.end(), EC_COMPLETE), 1);
    EXPECT_LE(form.notifications, 1 + int(form.codes.size()));

    // A pause after the end is announced again.
    form.codes.clear();
    ASSERT_EQ(graph.Pause(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return !form.codes.empty(); }));
    EXPECT_EQ(form.codes.front(), EC_PAUSED);
}

TEST_F(MediaTest, StillPictureStaysUntilTheWindowMovesOn)
{
    FilterGraph graph;
    RecordingForm form;
    form.drain = &graph;
    graph.AddVideoRenderer(RendererWindowless9, &panel);
    ASSERT_EQ(graph.RenderFile(F("picture.gif")), S_OK);
    graph.SetNotifyWindow(&form, WM_GRAPHNOTIFY, 0);
    ASSERT_EQ(graph.Run(), S_OK);
    // Its end is not reported: 600 ms for a report to come, which ends the
    // wait when it does.
    WaitUntil([&] { return std::count(form.codes.begin(), form.codes.end(), EC_COMPLETE) > 0; }, 600);
    EXPECT_EQ(std::count(form.codes.begin(), form.codes.end(), EC_COMPLETE), 0);
    EXPECT_EQ(graph.CurrentImage().size(), QSize(160, 120));
}

TEST_F(MediaTest, DestroyingWhilePlayingOrWithQueuedEventsIsSafe)
{
    auto form = std::make_unique<RecordingForm>();
    {
        FilterGraph graph;
        graph.AddVideoRenderer(RendererWindowless9, &panel);
        ASSERT_EQ(graph.RenderFile(F("mpeg1.mpg")), S_OK);
        graph.SetNotifyWindow(form.get(), WM_GRAPHNOTIFY, 0);
        ASSERT_EQ(graph.Run(), S_OK);
        ASSERT_TRUE(WaitUntil([&] { return graph.FramesShown() > 5; }));
    }   // playing, with the pause event queued and its message posted
    EXPECT_TRUE(WaitUntil([&] { return form->notifications >= 1; }));   // it still arrives, harmlessly
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(form->notifications, 1);

    // The window goes first; the graph goes on queueing without a window.
    FilterGraph graph;
    ASSERT_EQ(graph.RenderFile(F("tone.wav")), S_OK);
    graph.SetNotifyWindow(form.get(), WM_GRAPHNOTIFY, 0);
    form.reset();
    REFERENCE_TIME target = kSecond * 19 / 10;
    graph.SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0);
    graph.Run();
    long code = 0;
    LPARAM p1, p2;
    bool complete = false;
    while (!complete && graph.GetEvent(&code, &p1, &p2, 10000) == S_OK) complete = code == EC_COMPLETE;
    EXPECT_TRUE(complete);

    // The panel goes first under a painted renderer.
    auto own = std::make_unique<QWidget>();
    own->show();
    FilterGraph painted;
    painted.AddVideoRenderer(RendererWindowless9, own.get());
    ASSERT_EQ(painted.RenderFile(F("clip.avi")), S_OK);
    ASSERT_TRUE(painted.IsVideoVisible());
    ASSERT_EQ(painted.Run(), S_OK);
    own.reset();
    // Nothing is painted any more; the item plays on to its end and its
    // last picture can still be taken.
    EXPECT_FALSE(painted.IsVideoVisible());
    EXPECT_EQ(painted.SetVideoPosition(QRect(0, 0, 10, 10)), VFW_E_NOT_CONNECTED);
    complete = false;
    while (!complete && painted.GetEvent(&code, &p1, &p2, 10000) == S_OK) complete = code == EC_COMPLETE;
    EXPECT_TRUE(complete);
    EXPECT_EQ(painted.State(), GraphState::Running);
    EXPECT_FALSE(painted.CurrentImage().isNull());
}

// Window sinks that do not open (on an X display; elsewhere they are not
// tried): the item plays with the painted renderer.
TEST_F(MediaTest, WindowSinksThatDoNotOpenGiveWayToThePaintedRenderer)
{
    qputenv("ZORAVEL_BROKEN_SINKS", "xvimagesink,ximagesink,glimagesink");
    for (int renderer : {RendererOverlay, RendererWindowless7}) {
        FilterGraph graph;
        graph.AddVideoRenderer(renderer, &panel);
        ASSERT_EQ(graph.RenderFile(F("clip.avi")), S_OK) << renderer;
        const QStringList names = graph.ElementNames();
        EXPECT_TRUE(names.contains("appsink")) << renderer;
        EXPECT_FALSE(names.contains("ximagesink") || names.contains("glimagesink")) << renderer;
        EXPECT_TRUE(WaitUntil([&] { return graph.FramesShown() > 0; })) << renderer;
    }
    qunsetenv("ZORAVEL_BROKEN_SINKS");
}

TEST_F(MediaTest, WithoutVideoRendererNoPictureIsMade)
{
    FilterGraph graph;
    ASSERT_EQ(graph.RenderFile(F("clip.avi")), S_OK);
    EXPECT_TRUE(graph.HasAudio());
    EXPECT_FALSE(graph.IsVideoRendererConnected());
    EXPECT_FALSE(graph.IsVideoVisible());
    EXPECT_EQ(graph.CanStep(), S_FALSE);
    EXPECT_FALSE(graph.ElementNames().contains("appsink"));
    EXPECT_TRUE(panel.findChildren<QWidget*>().isEmpty());
}

TEST_F(MediaTest, PaintedRendererFillsTheVideoRectangle)
{
    FilterGraph graph;
    graph.AddVideoRenderer(RendererWindowless9, &panel);
    // A 4:3 picture in a 2:1 video rectangle: the window chose that shape
    // (the free aspect mode), so the picture is stretched to it, unboxed.
    ASSERT_EQ(graph.SetVideoPosition(QRect(100, 60, 180, 90)), S_OK);
    ASSERT_EQ(graph.RenderFile(F("clip.avi")), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return graph.FramesShown() > 0; }));
    const QImage shot = panel.grab().toImage();
    auto dark = [&](int x, int y) { return qGray(shot.pixel(x, y)) < 8; };
    EXPECT_TRUE(dark(5, 5));
    EXPECT_TRUE(dark(300, 230));
    EXPECT_TRUE(dark(95, 100));    // just outside the rectangle
    EXPECT_TRUE(dark(285, 100));
    // Where a boxing renderer would leave its bars, the picture shows.
    int barsColoured = 0;
    for (int y = 62; y < 148; y += 6)
        for (int x : {102, 108, 114, 120, 126, 256, 262, 268, 274}) barsColoured += !dark(x, y);
    EXPECT_GT(barsColoured, 60);
    int coloured = 0;
    for (int x = 132; x < 248; x += 6)
        for (int y = 62; y < 148; y += 6) coloured += !dark(x, y);
    EXPECT_GT(coloured, 200);
    EXPECT_TRUE(graph.IsVideoVisible());
    graph.SetVideoVisible(false);
    EXPECT_FALSE(graph.IsVideoVisible());
}

TEST_F(MediaTest, FrameStepMovesOnePicture)
{
    FilterGraph graph;
    graph.AddVideoRenderer(RendererWindowless9, &panel);
    ASSERT_EQ(graph.RenderFile(F("clip.avi")), S_OK);
    ASSERT_EQ(graph.CanStep(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return graph.FramesShown() == 1; }));
    ASSERT_EQ(graph.Step(1), S_OK);
    EXPECT_TRUE(WaitUntil([&] { return graph.FramesShown() == 2; }));
    REFERENCE_TIME pos = 0;
    graph.GetCurrentPosition(&pos);
    EXPECT_NEAR(pos, 400'000, 200'000);   // one frame at 25 per second
}

TEST_F(MediaTest, TwoAudioStreamsCanBeChosen)
{
    FilterGraph graph;
    ASSERT_EQ(graph.RenderFile(F("twoaudio.mkv")), S_OK);
    ASSERT_EQ(graph.AudioStreamCount(), 2);
    EXPECT_EQ(graph.CurrentAudioStream(), 0);
    EXPECT_FALSE(graph.AudioStreamName(0).isEmpty());
    EXPECT_NE(graph.AudioStreamName(0), graph.AudioStreamName(1));
    EXPECT_EQ(graph.SelectAudioStream(1), S_OK);
    EXPECT_EQ(graph.CurrentAudioStream(), 1);
    EXPECT_EQ(graph.SelectAudioStream(2), E_INVALIDARG);
}

TEST_F(MediaTest, VolumeAndBalanceKeepTheirUnitsAndNeedSound)
{
    EXPECT_DOUBLE_EQ(LinearVolume(0), 1.0);
    EXPECT_DOUBLE_EQ(LinearVolume(-10000), 0.0);
    EXPECT_NEAR(LinearVolume(-2000), 0.1, 1e-9);   // -20 dB
    EXPECT_NEAR(LinearVolume(-600), 0.501, 1e-3);  // -6 dB

    FilterGraph graph;
    long v = 1;
    EXPECT_EQ(graph.get_Volume(&v), E_NOTIMPL);
    ASSERT_EQ(graph.RenderFile(F("tone.wav")), S_OK);
    EXPECT_EQ(graph.put_Volume(-2500), S_OK);
    EXPECT_EQ(graph.get_Volume(&v), S_OK);
    EXPECT_EQ(v, -2500);
    EXPECT_EQ(graph.put_Volume(1), E_INVALIDARG);
    EXPECT_EQ(graph.put_Volume(-10001), E_INVALIDARG);
    EXPECT_EQ(graph.put_Balance(-4000), S_OK);
    EXPECT_EQ(graph.get_Balance(&v), S_OK);
    EXPECT_EQ(v, -4000);
    EXPECT_EQ(graph.put_Balance(10001), E_INVALIDARG);

    FilterGraph mute;
    mute.AddVideoRenderer(RendererWindowless9, &panel);
    ASSERT_EQ(mute.RenderFile(F("video.m1v")), S_OK);
    EXPECT_EQ(mute.get_Volume(&v), E_NOTIMPL);
    EXPECT_EQ(mute.put_Volume(0), E_NOTIMPL);
}

TEST_F(MediaTest, MissingSoundDeviceNeverStopsPlayback)
{
    qunsetenv("ZORAVEL_AUDIO_SINK");
    FilterGraph graph;
    graph.AddAudioRenderer("alsasink");
    ASSERT_EQ(graph.RenderFile(F("tone.wav")), S_OK);
    EXPECT_EQ(graph.IsSilent(), !SoundDeviceAvailable());
    ASSERT_EQ(graph.Run(), S_OK);
    REFERENCE_TIME pos = 0;
    EXPECT_TRUE(WaitUntil([&] { return graph.GetCurrentPosition(&pos) == S_OK && pos > kSecond / 5; }));
    EXPECT_EQ(graph.AddAudioRenderer("no-such-sink"), VFW_E_NOT_FOUND);
}

// A sound system with one output device, "Test Speakers", whose sink is a
// fakeaudiosink: the machines that run the tests have no sound card.
struct TestSpeakers {
    GstDevice parent;
};
struct TestSpeakersClass {
    GstDeviceClass parent;
};
G_DEFINE_TYPE(TestSpeakers, test_speakers, GST_TYPE_DEVICE)

int testSpeakersSinks = 0;   // sinks made for the device

GstElement* TestSpeakersCreateElement(GstDevice*, const gchar* name)
{
    ++testSpeakersSinks;
    return gst_element_factory_make("fakeaudiosink", name);
}
void test_speakers_class_init(TestSpeakersClass* klass) { GST_DEVICE_CLASS(klass)->create_element = TestSpeakersCreateElement; }
void test_speakers_init(TestSpeakers*) {}

struct TestSoundSystem {
    GstDeviceProvider parent;
};
struct TestSoundSystemClass {
    GstDeviceProviderClass parent;
};
G_DEFINE_TYPE(TestSoundSystem, test_sound_system, GST_TYPE_DEVICE_PROVIDER)

GList* TestSoundSystemProbe(GstDeviceProvider*)
{
    g_autoptr(GstCaps) caps = gst_caps_new_empty_simple("audio/x-raw");
    GObject* device = G_OBJECT(g_object_new(test_speakers_get_type(), "display-name", "Test Speakers", "device-class",
                                            "Audio/Sink", "caps", caps, nullptr));
    return g_list_append(nullptr, gst_object_ref_sink(device));
}
void test_sound_system_class_init(TestSoundSystemClass* klass)
{
    GST_DEVICE_PROVIDER_CLASS(klass)->probe = TestSoundSystemProbe;
    gst_device_provider_class_set_static_metadata(GST_DEVICE_PROVIDER_CLASS(klass), "Test sound system", "Audio/Sink",
                                                  "One output device", "Zoravel");
}
void test_sound_system_init(TestSoundSystem*) {}

void RegisterTestSoundSystem()
{
    static const bool registered = gst_device_provider_register(nullptr, "zoravel-test-sound", GST_RANK_PRIMARY,
                                                                test_sound_system_get_type());
    ASSERT_TRUE(registered);
}

TEST_F(MediaTest, AudioRendererIsMadeForTheNamedDevice)
{
    qunsetenv("ZORAVEL_AUDIO_SINK");
    RegisterTestSoundSystem();
    EXPECT_NE(FindAudioSinkDevice("Test Speakers", "fakeaudiosink"), nullptr);
    EXPECT_EQ(FindAudioSinkDevice("Test Speakers", "alsasink"), nullptr);   // not that sound system's
    EXPECT_EQ(FindAudioSinkDevice("Missing Speakers", "fakeaudiosink"), nullptr);
    EXPECT_EQ(FindAudioSinkDevice("", "fakeaudiosink"), nullptr);

    // A device that is not there fails, and the sink stays the default one.
    FilterGraph missing;
    EXPECT_EQ(missing.AddAudioRenderer("fakeaudiosink", "Missing Speakers"), VFW_E_NOT_FOUND);
    ASSERT_EQ(missing.RenderFile(F("tone.wav")), S_OK);
    EXPECT_FALSE(missing.ElementNames().contains("fakeaudiosink"));

    FilterGraph graph;
    ASSERT_EQ(graph.AddAudioRenderer("fakeaudiosink", "Test Speakers"), S_OK);
    // A later miss keeps the device chosen before.
    EXPECT_EQ(graph.AddAudioRenderer("fakeaudiosink", "Missing Speakers"), VFW_E_NOT_FOUND);
    const int made = testSpeakersSinks;
    ASSERT_EQ(graph.RenderFile(F("tone.wav")), S_OK);
    EXPECT_EQ(testSpeakersSinks, made + 1);   // the device's own sink, not a plain one of the factory
    EXPECT_TRUE(graph.ElementNames().contains("fakeaudiosink"));
    EXPECT_FALSE(graph.IsSilent());
    ASSERT_EQ(graph.Run(), S_OK);
    REFERENCE_TIME pos = 0;
    EXPECT_TRUE(WaitUntil([&] { return graph.GetCurrentPosition(&pos) == S_OK && pos > kSecond / 5; }));
}

TEST_F(MediaTest, PreferredFactoryIsPluggedFirst)
{
    FilterGraph plain;
    plain.AddVideoRenderer(RendererWindowless9, &panel);
    ASSERT_EQ(plain.RenderFile(F("mpeg2.m2p")), S_OK);
    EXPECT_TRUE(plain.ElementNames().contains("avdec_mpeg2video"));

    FilterGraph graph;
    graph.AddVideoRenderer(RendererWindowless9, &panel);
    ASSERT_EQ(graph.AddPreferredFactory("mpeg2dec"), S_OK);
    EXPECT_TRUE(graph.HasPreferredFactory("mpeg2dec"));
    EXPECT_EQ(graph.AddPreferredFactory("no-such-decoder"), VFW_E_NOT_FOUND);
    ASSERT_EQ(graph.RenderFile(F("mpeg2.m2p")), S_OK);
    const QStringList names = graph.ElementNames();
    EXPECT_TRUE(names.contains("mpeg2dec"));
    EXPECT_FALSE(names.contains("avdec_mpeg2video"));
}

TEST_F(MediaTest, TypeFinderTellsMpegKindsApart)
{
    EXPECT_THAT(FindMediaType(F("mpeg1.mpg")).toStdString(),
                ::testing::AllOf(::testing::HasSubstr("video/mpeg"), ::testing::HasSubstr("systemstream=(boolean)true"),
                                 ::testing::HasSubstr("mpegversion=(int)1")));
    EXPECT_THAT(FindMediaType(F("mpeg2.m2p")).toStdString(),
                ::testing::AllOf(::testing::HasSubstr("systemstream=(boolean)true"),
                                 ::testing::HasSubstr("mpegversion=(int)2")));
    EXPECT_THAT(FindMediaType(F("video.m1v")).toStdString(),
                ::testing::AllOf(::testing::HasSubstr("video/mpeg"),
                                 ::testing::HasSubstr("systemstream=(boolean)false")));
    EXPECT_TRUE(FindMediaType(F("random.mpg")).isEmpty());
    EXPECT_TRUE(FindMediaType(F("missing.mpg")).isEmpty());
}

TEST_F(MediaTest, WindowsMediaPlaysFromFileOrAsStream)
{
    for (bool streaming : {false, true}) {
        FilterGraph graph;
        graph.AddVideoRenderer(RendererWindowless9, &panel);
        graph.UseWindowsMediaSource(streaming);
        ASSERT_EQ(graph.RenderFile(F("clip.wmv")), S_OK) << streaming;
        const QStringList names = graph.ElementNames();
        EXPECT_TRUE(names.contains("asfdemux"));
        EXPECT_EQ(names.contains("pushfilesrc"), streaming);
        EXPECT_EQ(graph.Tag("title"), "WMV Title");
        EXPECT_EQ(graph.Tag("artist"), "WMV Author");
        EXPECT_TRUE(graph.HasVideo());
    }
}

TEST_F(MediaTest, ColourAndFlipChangeThePicture)
{
    FilterGraph graph;
    graph.AddVideoRenderer(RendererOverlay, &panel, true);
    ASSERT_EQ(graph.RenderFile(F("clip.avi")), S_OK);
    EXPECT_TRUE(graph.HasColorControls());
    EXPECT_TRUE(graph.CanFlip());
    ASSERT_TRUE(WaitUntil([&] { return !graph.CurrentImage().isNull(); }));
    const QImage plain = graph.CurrentImage();
    auto reshow = [&](const QImage& old) {
        REFERENCE_TIME zero = 0;
        graph.SetPositions(&zero, AM_SEEKING_AbsolutePositioning, nullptr, 0);
        QImage now;
        WaitUntil([&] {
            now = graph.CurrentImage();
            return !now.isNull() && now != old;
        });
        return now;
    };
    auto meanGray = [](const QImage& image) {
        double sum = 0;
        for (int y = 0; y < image.height(); y += 4)
            for (int x = 0; x < image.width(); x += 4) sum += qGray(image.pixel(x, y));
        return sum / ((image.height() / 4) * (image.width() / 4));
    };

    graph.SetFlip(true, false);
    const QImage flipped = reshow(plain);
    const QImage mirror = plain.mirrored(true, false);
    int close = 0, total = 0;
    for (int y = 8; y < plain.height(); y += 16)
        for (int x = 8; x < plain.width(); x += 16, ++total)
            close += std::abs(qGray(flipped.pixel(x, y)) - qGray(mirror.pixel(x, y))) < 16;
    EXPECT_GT(close, total * 9 / 10);

    ColorValues values;
    values.brightness = 3750;   // +0.3
    EXPECT_EQ(graph.SetColorValues(values), S_OK);
    ColorValues back;
    graph.GetColorValues(&back);
    EXPECT_EQ(back.brightness, 3750);
    const QImage brighter = reshow(flipped);
    EXPECT_GT(meanGray(brighter), meanGray(flipped) + 20);

    FilterGraph sound;
    ASSERT_EQ(sound.RenderFile(F("tone.wav")), S_OK);
    EXPECT_FALSE(sound.HasColorControls());
    EXPECT_FALSE(sound.CanFlip());
}

}  // namespace

// The capture branch holds the frame the renderer shows, also right after a
// seek (never the one from before it), and the grabber reads it without
// stopping a playing graph; a graph built without it has none.
TEST_F(MediaTest, CaptureBranchKeepsTheShownFrameThroughSeeks)
{
    FilterGraph graph;
    graph.AddVideoRenderer(RendererWindowless9, &panel);
    graph.AddCaptureBranch();
    ASSERT_EQ(graph.RenderFile(F("clip.avi")), S_OK);
    EXPECT_TRUE(graph.HasCaptureBranch());
    for (REFERENCE_TIME target : {kSecond, kSecond / 4, 3 * kSecond / 2}) {
        ASSERT_EQ(graph.SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
        ASSERT_TRUE(WaitUntil([&] {
            return !graph.IsSettling() && graph.CaptureBranchConnected() && !graph.CurrentImage().isNull() &&
                   !graph.CaptureBranchImage().isNull();
        }));
        QImage grabbed;
        ASSERT_EQ(GrabPicture(graph, kCaptureGrabber, false, &grabbed), S_OK);
        const QImage shown = graph.CurrentImage().convertToFormat(QImage::Format_BGR888);
        EXPECT_EQ(grabbed.size(), shown.size());
        EXPECT_LT(testutil::ImageDifference(grabbed, shown), 2.0) << target;
    }
    ASSERT_EQ(graph.Run(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return graph.State() == GraphState::Running && !graph.IsSettling(); }));
    QImage playing;
    EXPECT_EQ(GrabPicture(graph, kCaptureGrabber, true, &playing), S_OK);
    EXPECT_FALSE(playing.isNull());
    EXPECT_EQ(graph.State(), GraphState::Running) << "the branch is read without a pause";

    FilterGraph plain;
    plain.AddVideoRenderer(RendererWindowless9, &panel);
    ASSERT_EQ(plain.RenderFile(F("clip.avi")), S_OK);
    EXPECT_FALSE(plain.HasCaptureBranch());
    EXPECT_FALSE(plain.CaptureBranchConnected());
    EXPECT_TRUE(plain.CaptureBranchImage().isNull());
}
