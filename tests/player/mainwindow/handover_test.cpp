// The hand-over of a second start's arguments to the running window: real
// second starts of the built program against the test's window (the first
// start: it holds the mutex and serves the window class), and WM_COPYDATA
// records sent in-process to check the binding to one sender at a time.
#include "platform/instance/instance.h"
#include "platform/paths/paths.h"
#include "player/cd/recording_device.h"
#include "player/units/Ccdplay.h"
#include "window_test_util.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

using namespace mwtest;

namespace {

// The window as it is, with every WM_COPYDATA record it receives noted.
class RecordingMain : public TZoMain {
public:
    using TZoMain::TZoMain;
    struct Record {
        std::intptr_t dwData;
        QString text;
        WPARAM sender;
    };
    std::vector<Record> records;

    void Dispatch(TMessage& message) override
    {
        if (message.Msg == WM_COPYDATA) {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(message.LParam);
            const char* bytes = static_cast<const char*>(data->lpData);
            records.push_back({data->dwData, QString::fromUtf8(bytes, qstrnlen(bytes, data->cbData)), message.WParam});
        }
        TZoMain::Dispatch(message);
    }
};

class Handover : public WindowTest {
protected:
    RecordingMain* OpenRecording(const QStringList& args = {})
    {
        Close();
        auto* window = new RecordingMain(args);
        w.reset(window);
        window->show();
        return window;
    }

    // Sends one record as a second start would: text, terminating zero and all.
    LRESULT Send(WPARAM sender, std::intptr_t dwData, const QString& text)
    {
        const QByteArray bytes = text.toUtf8() + '\0';
        COPYDATASTRUCT data{dwData, static_cast<DWORD>(bytes.size()), bytes.constData()};
        return w->SendMessage(WM_COPYDATA, sender, reinterpret_cast<LPARAM>(&data));
    }

    // A folder with sound files (links to the tone fixture) named as given.
    QString MakeSounds(const QString& folder, const QStringList& names)
    {
        const QString dir = Home(folder);
        MakeDir(dir);
        for (const QString& name : names) EXPECT_TRUE(Link(Fixture("tone.wav"), dir + "/" + name));
        return dir;
    }
};

#ifdef ZORVI_PATH
// Runs the program as a second start with the window's environment and the
// offscreen platform, spinning this process's event loop (which serves the
// hand-over) until it ends. The exit code, or -1 when it did not end in time.
int RunSecondStart(const QStringList& args, const QString& workingDir = QString(), int timeoutMs = 20000)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    if (!workingDir.isEmpty()) process.setWorkingDirectory(workingDir);
    process.start(QStringLiteral(ZORVI_PATH), args);
    if (!process.waitForStarted(5000)) return -1;
    if (!testutil::WaitUntil([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
        process.kill();
        process.waitForFinished(2000);
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// A second start that is expected to open a window of its own: it registers
// its window class (a socket named after its process id) and keeps running.
struct OwnWindowStart {
    QProcess process;
    explicit OwnWindowStart(const QStringList& args, const QProcessEnvironment& extra = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(extra);
        process.setProcessEnvironment(env);
        started = QDateTime::currentDateTime().addMSecs(-50);
        process.start(QStringLiteral(ZORVI_PATH), args);
        process.waitForStarted(5000);
    }
    ~OwnWindowStart()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    bool HasOwnWindow() const
    {
        // A process killed earlier leaves its socket behind, and its process
        // id may come again: only a socket made since this start counts.
        const QString prefix = QStringLiteral("TZoMain.%1.").arg(process.processId());
        const QFileInfoList sockets =
            QDir(instance::RuntimeFolder()).entryInfoList({prefix + "*"}, QDir::System | QDir::Files);
        return std::any_of(sockets.begin(), sockets.end(),
                           [this](const QFileInfo& socket) { return socket.lastModified() >= started; });
    }
    QDateTime started;
    // The program has the file open: it is playing it.
    bool HasOpened(const QString& path) const
    {
        const QString fds = QStringLiteral("/proc/%1/fd").arg(process.processId());
        const QString file = QFileInfo(path).canonicalFilePath();
        for (const QFileInfo& fd : QDir(fds).entryInfoList(QDir::System | QDir::Files))
            if (fd.symLinkTarget() == file) return true;
        return false;
    }
};

TEST_F(Handover, SingleArgumentTravelsAsMinusOneAndBringsItsFolder)
{
    MW_REQUIRE_FIXTURES();
    SetMainDword("SerchFiles", 1);
    const QString dir = MakeSounds("one", {"a.wav", "b.wav"});
    RecordingMain* main = OpenRecording();

    ASSERT_EQ(RunSecondStart({dir + "/a.wav"}), 0);
    ASSERT_EQ(main->records.size(), 1u);
    EXPECT_EQ(main->records[0].dwData, -1);
    EXPECT_EQ(main->records[0].text, dir + "/a.wav");
    // A single argument brings the other media files of its folder behind it.
    EXPECT_EQ(Paths(), QStringList({dir + "/a.wav", dir + "/b.wav"}));
    EXPECT_EQ(w->ListIndex(), 0);
    EXPECT_EQ(w->InitialDir(), dir);
    EXPECT_EQ(w->Probe().CopyDataSender(), 0u);
    EXPECT_FALSE(w->Probe().HasPendingArguments());
    EXPECT_TRUE(WaitPlaying());
}

TEST_F(Handover, ThreeArgumentsArriveInOrderAndRelativeOnesAreMadeWhole)
{
    MW_REQUIRE_FIXTURES();
    SetMainDword("SerchFiles", 1);
    const QString dir = MakeSounds("three", {"a.wav", "b.wav", "c.wav", "d.wav"});
    RecordingMain* main = OpenRecording();

    ASSERT_EQ(RunSecondStart({"a.wav", dir + "/b.wav", "c.wav"}, dir), 0);
    ASSERT_EQ(main->records.size(), 3u);
    EXPECT_EQ(main->records[0].dwData, 1);
    EXPECT_EQ(main->records[1].dwData, 2);
    EXPECT_EQ(main->records[2].dwData, 0);
    EXPECT_EQ(main->records[0].sender, main->records[2].sender);
    // Only a single argument brings its folder: d.wav stays out.
    EXPECT_EQ(Paths(), QStringList({dir + "/a.wav", dir + "/b.wav", dir + "/c.wav"}));
    EXPECT_EQ(w->OpenedPath(), dir + "/a.wav");
    EXPECT_EQ(w->Probe().CopyDataSender(), 0u);
    EXPECT_TRUE(WaitPlaying());
    EXPECT_EQ(w->ListIndex(), 0);
}

TEST_F(Handover, HandedOverFolderBringsItsTopFiles)
{
    MW_REQUIRE_FIXTURES();
    const QString dir = MakeSounds("tree", {"a.wav"});
    MakeSounds("tree/sub", {"b.wav"});
    RecordingMain* main = OpenRecording();
    ASSERT_EQ(RunSecondStart({dir}), 0);
    ASSERT_EQ(main->records.size(), 1u);
    ASSERT_FALSE(Paths().isEmpty());
    EXPECT_EQ(Paths().first(), dir + "/a.wav");
    EXPECT_TRUE(WaitPlaying());
}

// A folder handed over by a second start is added with its sub-folders, as
// on the first start's own command line.
TEST_F(Handover, HandedOverFolderBringsItsSubFolders)
{
    MW_REQUIRE_FIXTURES();
    const QString dir = MakeSounds("tree", {"a.wav"});
    MakeSounds("tree/sub", {"b.wav"});
    OpenRecording();
    ASSERT_EQ(RunSecondStart({dir}), 0);
    EXPECT_EQ(Paths(), QStringList({dir + "/a.wav", dir + "/sub/b.wav"}));
}

TEST_F(Handover, UpperCaseDvdAndCdWordsSetTheViewerPathAndReleaseTheSender)
{
    RecordingMain* main = OpenRecording();
    ASSERT_EQ(RunSecondStart({"/DVD", "/media/disc/"}), 0);
    ASSERT_EQ(main->records.size(), 2u);
    EXPECT_EQ(main->records[0].dwData, 1);
    EXPECT_EQ(main->records[1].dwData, 0);
    // The DVD of /media/disc/VIDEO_TS was started: no volume there.
    EXPECT_EQ(messageBoxes, QStringList{QString::fromUtf8("DVD エラー: DVD ボリュームが見つかりません。")});
    EXPECT_TRUE(w->ViewerPath().isEmpty());
    EXPECT_FALSE(w->Probe().DvdRequested());
    EXPECT_EQ(w->Probe().CopyDataSender(), 0u);
    EXPECT_FALSE(w->AddingItems());
    EXPECT_TRUE(w->PlayList().IsEmpty());

    // The drive goes to the CD player whole (a disc without tracks does not open).
    RecordingDevice::Disc disc;
    CCDPlay::SetDeviceFactory([&disc] { return std::make_unique<RecordingDevice>(&disc); });
    ASSERT_EQ(RunSecondStart({"/CD", "/dev/sr0"}), 0);
    CCDPlay::SetDeviceFactory({});
    EXPECT_EQ(disc.drive, "/dev/sr0");
    EXPECT_TRUE(w->ViewerPath().isEmpty());
    EXPECT_FALSE(w->Probe().CdRequested());
    EXPECT_EQ(w->Probe().CopyDataSender(), 0u);
    EXPECT_TRUE(w->PlayList().IsEmpty());
}

TEST_F(Handover, LowerCaseDvdFromASecondStartIsAPlainArgument)
{
    RecordingMain* main = OpenRecording();
    ASSERT_EQ(RunSecondStart({"/dvd", Home("no-disc/")}), 0);
    ASSERT_EQ(main->records.size(), 2u);
    EXPECT_TRUE(w->ViewerPath().isEmpty());
    EXPECT_FALSE(w->Probe().DvdRequested());
    EXPECT_TRUE(w->PlayList().IsEmpty());
    EXPECT_EQ(Caption(), "Zoravel ファイルがありません");
    EXPECT_EQ(w->Probe().CopyDataSender(), 0u);
}

TEST_F(Handover, SecondStartWithoutArgumentsOpensItsOwnWindow)
{
    RecordingMain* main = OpenRecording();
    OwnWindowStart second({});
    ASSERT_TRUE(testutil::WaitUntil([&] { return second.HasOwnWindow(); }, 15000));
    EXPECT_EQ(second.process.state(), QProcess::Running);
    EXPECT_TRUE(main->records.empty());
}

TEST_F(Handover, MakeNewWindowMeansEveryStartOpensItsOwnWindow)
{
    MW_REQUIRE_FIXTURES();
    SetMainDword("MakeNewWindow", 1);
    const QString dir = MakeSounds("own", {"a.wav"});
    RecordingMain* main = OpenRecording();
    OwnWindowStart second({dir + "/a.wav"});
    ASSERT_TRUE(testutil::WaitUntil([&] { return second.HasOwnWindow(); }, 15000));
    // It plays its argument itself; a hand-over or its end would come before
    // that and ends the wait as well.
    ASSERT_TRUE(testutil::WaitUntil(
        [&] {
            return second.HasOpened(dir + "/a.wav") || !main->records.empty() ||
                   second.process.state() != QProcess::Running;
        },
        15000));
    EXPECT_TRUE(second.HasOpened(dir + "/a.wav"));
    EXPECT_EQ(second.process.state(), QProcess::Running);
    EXPECT_TRUE(main->records.empty());
    EXPECT_TRUE(w->PlayList().IsEmpty());
}
TEST_F(Handover, SecondStartKilledHalfWayLocksNobodyOut)
{
    MW_REQUIRE_FIXTURES();
    const QString dir = MakeSounds("killed", {"a.wav", "next.wav"});
    RecordingMain* main = OpenRecording();
    // Thousands of arguments: the start is killed while it is still sending.
    QStringList many;
    for (int i = 0; i < 5000; ++i) many << dir + "/a.wav";
    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(ZORVI_PATH), many);
    ASSERT_TRUE(second.waitForStarted(5000));
    ASSERT_TRUE(testutil::WaitUntil([&] { return main->records.size() >= 20; }, 15000));
    second.kill();
    ASSERT_TRUE(testutil::WaitUntil([&] { return second.state() == QProcess::NotRunning; }, 5000));
    ASSERT_LT(main->records.size(), 5000u);
    ASSERT_TRUE(testutil::WaitUntil([this] { return w->Probe().CopyDataSender() == 0; }, 5000));
    EXPECT_FALSE(w->Probe().HasPendingArguments());
    EXPECT_TRUE(w->PlayList().IsEmpty());

    // The next start is served and gets none of the leftovers.
    ASSERT_EQ(RunSecondStart({dir + "/next.wav"}), 0);
    EXPECT_EQ(Paths(), QStringList({dir + "/next.wav"}));
    EXPECT_TRUE(WaitPlaying());
}

TEST_F(Handover, ProgramEndedByTheSessionWritesItsSettingsForTheNextStart)
{
    MW_REQUIRE_FIXTURES();
    const QString dir = MakeSounds("first", {"a.wav"});
    SetMainDword("Left", 140);
    SetMainDword("Top", 90);
    {
        // The program is the first start here; it plays its argument.
        OwnWindowStart first({dir + "/a.wav"});
        ASSERT_TRUE(testutil::WaitUntil([&] { return first.HasOwnWindow(); }, 15000));
        // The window shows before it takes its arguments.
        ASSERT_TRUE(testutil::WaitUntil([&] { return first.HasOpened(dir + "/a.wav"); }, 15000));
        first.process.terminate();   // SIGTERM: the session ends
        ASSERT_TRUE(testutil::WaitUntil([&] { return first.process.state() == QProcess::NotRunning; }, 15000));
        EXPECT_EQ(first.process.exitStatus(), QProcess::NormalExit);
    }
    EXPECT_EQ(MainValueCount(), 24);
    EXPECT_EQ(MainString("InitialDir"), dir);
    EXPECT_EQ(MainDword("Left"), 140u);
    EXPECT_EQ(MainDword("Top"), 90u);
    // The mutex went with it: the next start is a first start again.
    OpenRecording();
    EXPECT_EQ(w->pos(), QPoint(140, 90));
    EXPECT_EQ(w->InitialDir(), dir);
}

// The very first start on a machine (or with a new home) has no plug-in
// registry cache: GStreamer builds it while the window is up, which takes
// seconds. The first file must wait for the whole registry and play, not be
// told unplayable because the graph was built against a half-loaded one.
TEST_F(Handover, FirstStartWithoutPluginRegistryCachePlaysItsArgument)
{
    const QString clip = SilentClip("first.wav", 30000);
    const QString cache = Home("gst-cache/registry.bin");
    ASSERT_FALSE(QFileInfo::exists(cache));
    QProcessEnvironment extra;
    extra.insert(QStringLiteral("GST_REGISTRY"), cache);
    OwnWindowStart first({clip}, extra);
    ASSERT_TRUE(testutil::WaitUntil([&] { return first.HasOwnWindow(); }, 15000));
    // A playing graph holds the file; an unplayable one lets it go at once,
    // as does the start-up's own short look at the file's head.
    const auto heldOpen = [&] {
        return first.HasOpened(clip) && !testutil::WaitUntil([&] { return !first.HasOpened(clip); }, 1500);
    };
    EXPECT_TRUE(testutil::WaitUntil(heldOpen, 20000));
    EXPECT_EQ(first.process.state(), QProcess::Running);
    EXPECT_TRUE(QFileInfo::exists(cache));
}
#endif  // ZORVI_PATH

// ---- records sent in-process ----

TEST_F(Handover, OneSenderAtATimeAndRecordsOfOthersAreDropped)
{
    MW_REQUIRE_FIXTURES();
    const QString dir = MakeSounds("bind", {"a.wav", "b.wav", "c.wav"});
    Open();

    Send(11, 1, dir + "/a.wav");
    EXPECT_EQ(w->Probe().CopyDataSender(), 11u);
    EXPECT_TRUE(w->Probe().HasPendingArguments());
    // Another start meanwhile: dropped, the binding stays.
    Send(22, -1, dir + "/c.wav");
    EXPECT_EQ(w->Probe().CopyDataSender(), 11u);
    EXPECT_TRUE(w->PlayList().IsEmpty());
    // The bound sender's last record adds both, in order.
    Send(11, 0, dir + "/b.wav");
    EXPECT_EQ(Paths(), QStringList({dir + "/a.wav", dir + "/b.wav"}));
    EXPECT_EQ(w->Probe().CopyDataSender(), 0u);
    EXPECT_FALSE(w->Probe().HasPendingArguments());
    ASSERT_TRUE(WaitPlaying());

    // The next start is served: what plays is closed and replaced.
    Send(33, 1, dir + "/c.wav");
    EXPECT_EQ(w->Graph(), nullptr);
    EXPECT_TRUE(w->PlayList().IsEmpty());
    Send(33, 0, dir + "/a.wav");
    EXPECT_EQ(Paths(), QStringList({dir + "/c.wav", dir + "/a.wav"}));
    EXPECT_TRUE(WaitPlaying());
}

TEST_F(Handover, RecordsArrivingWhileAGraphStartsAreDropped)
{
    MW_REQUIRE_FIXTURES();
    const QString dir = MakeSounds("busy", {"a.wav", "b.wav"});
    Open();
    Send(11, -1, dir + "/a.wav");
    // The graph runs but has not reported its first pause to the window yet.
    ASSERT_TRUE(w->Probe().IsGraphStarting());
    Send(22, -1, dir + "/b.wav");
    EXPECT_EQ(Paths(), QStringList({dir + "/a.wav"}));
    EXPECT_EQ(w->Probe().CopyDataSender(), 0u);
    // Once it has, the next start is taken.
    ASSERT_TRUE(WaitPlaying());
    Send(22, -1, dir + "/b.wav");
    EXPECT_EQ(Paths(), QStringList({dir + "/b.wav"}));
}

TEST_F(Handover, SenderThatEndsHalfWayReleasesTheWindowAndItsLeftovers)
{
    MW_REQUIRE_FIXTURES();
    const QString dir = MakeSounds("gone", {"a.wav", "b.wav", "c.wav"});
    Open();
    Send(11, 1, dir + "/a.wav");
    Send(11, 2, dir + "/b.wav");
    ASSERT_EQ(w->Probe().CopyDataSender(), 11u);
    // Another sender's end changes nothing.
    w->OnCopyDataSenderGone(99);
    EXPECT_EQ(w->Probe().CopyDataSender(), 11u);
    w->OnCopyDataSenderGone(11);
    EXPECT_EQ(w->Probe().CopyDataSender(), 0u);
    EXPECT_FALSE(w->Probe().HasPendingArguments());

    Send(22, -1, dir + "/c.wav");
    EXPECT_EQ(Paths(), QStringList({dir + "/c.wav"}));
    EXPECT_TRUE(WaitPlaying());

    // A DVD word whose drive never comes is forgotten as well.
    ASSERT_TRUE(testutil::WaitUntil([this] { return !w->Probe().IsGraphStarting(); }));
    Send(33, 1, "/DVD");
    EXPECT_TRUE(w->Probe().DvdRequested());
    w->OnCopyDataSenderGone(33);
    EXPECT_FALSE(w->Probe().DvdRequested());
    Send(44, -1, dir + "/a.wav");
    EXPECT_EQ(Paths(), QStringList({dir + "/a.wav"}));
    EXPECT_TRUE(w->ViewerPath().isEmpty());
}

TEST_F(Handover, ConnectionClosedHalfWayThroughThePlatformLayer)
{
    MW_REQUIRE_FIXTURES();
    const QString dir = MakeSounds("conn", {"a.wav", "b.wav", "c.wav"});
    Open();
    // A sender on another thread sends two of three records and goes away.
    std::atomic<bool> sent{false};
    std::atomic<bool> ok{true};
    std::thread sender([&] {
        auto connection = instance::WindowConnection::Find(QString::fromLatin1(kMainWindowClass));
        if (!connection) {
            ok = false;
        } else {
            ok = connection->SendCopyData(1, (dir + "/a.wav").toUtf8() + '\0') &&
                 connection->SendCopyData(2, (dir + "/b.wav").toUtf8() + '\0');
        }
        sent = true;
    });
    const bool ended = testutil::WaitUntil([&] { return sent.load(); }, 10000);
    sender.join();
    ASSERT_TRUE(ended);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(testutil::WaitUntil([this] { return w->Probe().CopyDataSender() == 0; }, 5000));
    EXPECT_FALSE(w->Probe().HasPendingArguments());
    EXPECT_TRUE(w->PlayList().IsEmpty());

    Send(55, -1, dir + "/c.wav");
    EXPECT_EQ(Paths(), QStringList({dir + "/c.wav"}));
}

TEST_F(Handover, DvdWordCountsOnlyAsTheFirstRecord)
{
    MW_REQUIRE_FIXTURES();
    const QString dir = MakeSounds("word", {"a.wav", "b.wav"});
    Open();
    Send(11, 1, dir + "/a.wav");
    Send(11, 2, "/DVD");
    EXPECT_FALSE(w->Probe().DvdRequested());
    Send(11, 0, dir + "/b.wav");
    EXPECT_EQ(Paths(), QStringList({dir + "/a.wav", dir + "/b.wav"}));
    EXPECT_TRUE(w->ViewerPath().isEmpty());
}

TEST_F(Handover, SerchFilesBringsNothingForAHandedOverFolder)
{
    MW_REQUIRE_FIXTURES();
    SetMainDword("SerchFiles", 1);
    const QString dir = MakeSounds("parent/folder", {"inner.wav"});
    MakeSounds("parent", {"sibling.wav"});
    Open();
    Send(11, -1, dir);
    EXPECT_EQ(Paths(), QStringList({dir + "/inner.wav"}));
    EXPECT_TRUE(w->InitialDir().isEmpty());
}

TEST_F(Handover, EmptyDriveAfterTheDvdWordEndsTheSession)
{
    Open();
    Send(11, 1, "/DVD");
    Send(11, 0, "");
    EXPECT_FALSE(w->Probe().DvdRequested());
    EXPECT_EQ(w->Probe().CopyDataSender(), 0u);
    EXPECT_TRUE(w->ViewerPath().isEmpty());
    // "/DVD" counts only as the first of several records.
    Send(12, -1, "/DVD");
    EXPECT_FALSE(w->Probe().DvdRequested());
    EXPECT_EQ(Caption(), "Zoravel ファイルがありません");
}

TEST_F(Handover, ArgumentLongerThanTheOldBufferIsTakenWhole)
{
    MW_REQUIRE_FIXTURES();
    const QString part(100, QLatin1Char('x'));
    const QString path = Home(part + "1/" + part + "2/" + part + "3/song.wav");
    ASSERT_GT(path.toUtf8().size(), 300);
    ASSERT_TRUE(Link(Fixture("tone.wav"), path));
    Open();
    Send(11, -1, path);
    EXPECT_EQ(Paths(), QStringList({path}));
    EXPECT_TRUE(WaitPlaying());
}

}  // namespace
