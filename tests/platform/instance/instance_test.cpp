#include "platform/forms/forms.h"
#include "platform/instance/instance.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <set>
#include <vector>

namespace {

using testutil::WaitUntil;

const QString kMutex = QStringLiteral("Zoraavel_Applocation");
const QString kClass = QStringLiteral("TZoMain");

// A second process running the helper program.
class Helper {
public:
    explicit Helper(const QStringList& arguments)
    {
        process_.setProgram(QStringLiteral(ZO_INSTANCE_HELPER));
        process_.setArguments(arguments);
        process_.start();
        process_.waitForStarted();
    }
    ~Helper()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    QByteArray Output()
    {
        output_ += process_.readAllStandardOutput();
        return output_;
    }
    bool WaitFor(const QByteArray& text, int timeoutMs = 5000)
    {
        return WaitUntil([&] { return Output().contains(text); }, timeoutMs);
    }
    // Ends a holding helper by closing its input, and waits for its end.
    bool Release()
    {
        process_.closeWriteChannel();
        return WaitUntil([&] { return process_.state() == QProcess::NotRunning; });
    }
    bool WaitForEnd() { return WaitUntil([&] { return process_.state() == QProcess::NotRunning; }); }
    void Kill()
    {
        process_.kill();
        process_.waitForFinished();
    }
    int ExitCode() const { return process_.exitCode(); }

private:
    QProcess process_;
    QByteArray output_;
};

struct Delivery {
    WPARAM sender;
    qint64 dwData;
    QByteArray data;
    int depth;   // records of any sender being handled further up the stack
};

// A window that logs the records it receives and answers dwData + 100.
class Receiver : public TForm {
public:
    std::vector<Delivery> log;
    std::multiset<WPARAM> active;   // senders whose record is being handled
    std::function<void(const Delivery&)> onRecord;

    void WndProc(TMessage& m) override
    {
        if (m.Msg != WM_COPYDATA) {
            TForm::WndProc(m);
            return;
        }
        const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(m.LParam);
        const Delivery d{m.WParam, static_cast<qint64>(record->dwData),
                         QByteArray(static_cast<const char*>(record->lpData), record->cbData),
                         static_cast<int>(active.size())};
        log.push_back(d);
        active.insert(d.sender);
        if (onRecord) onRecord(d);
        active.erase(active.find(d.sender));
        m.Result = static_cast<LRESULT>(d.dwData + 100);
    }
};

class InstanceTest : public ::testing::Test {
protected:
    testutil::IsolatedHome home;
    Receiver window;
    std::vector<WPARAM> gone;
    bool goneWhileActive = false;

    std::unique_ptr<instance::WindowClassServer> Serve(Receiver* target)
    {
        auto server = std::make_unique<instance::WindowClassServer>(target, kClass, [this, target](WPARAM sender) {
            if (target->active.count(sender)) goneWhileActive = true;
            gone.push_back(sender);
        });
        EXPECT_TRUE(server->IsListening());
        return server;
    }
};

TEST_F(InstanceTest, MutexExistsWhileAnotherProcessHoldsAHandle)
{
    EXPECT_EQ(instance::NamedMutex::Open(kMutex), nullptr);
    {
        Helper first({"hold", kMutex});
        ASSERT_TRUE(first.WaitFor("existed 0\n"));
        EXPECT_NE(instance::NamedMutex::Open(kMutex), nullptr);
        bool existed = false;
        auto second = instance::NamedMutex::Create(kMutex, &existed);
        ASSERT_NE(second, nullptr);
        EXPECT_TRUE(existed);
        second.reset();
        ASSERT_TRUE(first.Release());
    }
    EXPECT_EQ(instance::NamedMutex::Open(kMutex), nullptr);

    // A killed holder leaves no mutex behind.
    Helper killed({"hold", kMutex});
    ASSERT_TRUE(killed.WaitFor("existed 0\n"));
    EXPECT_NE(instance::NamedMutex::Open(kMutex), nullptr);
    killed.Kill();
    EXPECT_EQ(instance::NamedMutex::Open(kMutex), nullptr);
    bool existed = true;
    EXPECT_NE(instance::NamedMutex::Create(kMutex, &existed), nullptr);
    EXPECT_FALSE(existed);
}

TEST_F(InstanceTest, HandlesOfOneProcessCountAndAreNotInherited)
{
    bool existed = true;
    auto entry = instance::NamedMutex::Create(kMutex, &existed);
    ASSERT_NE(entry, nullptr);
    EXPECT_FALSE(existed);
    // The window's own handle taken in the same process finds the mutex.
    auto own = instance::NamedMutex::Create(kMutex, &existed);
    ASSERT_NE(own, nullptr);
    EXPECT_TRUE(existed);
    entry.reset();
    EXPECT_NE(instance::NamedMutex::Open(kMutex), nullptr);

    // A child started meanwhile does not keep the handle alive.
    Helper child({"hold", "other"});
    ASSERT_TRUE(child.WaitFor("existed 0\n"));
    own.reset();
    EXPECT_EQ(instance::NamedMutex::Open(kMutex), nullptr);
    // Mutexes of other names are separate.
    EXPECT_NE(instance::NamedMutex::Open("other"), nullptr);
    EXPECT_TRUE(QFileInfo(instance::RuntimeFolder()).isDir());
    EXPECT_EQ(QFileInfo(instance::RuntimeFolder()).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
}

TEST_F(InstanceTest, RacingStartsSeeExactlyOneFirst)
{
    const QString barrier = home.File("go");
    std::vector<std::unique_ptr<Helper>> starts;
    for (int i = 0; i < 8; ++i) starts.push_back(std::make_unique<Helper>(QStringList{"race", kMutex, barrier}));
    ASSERT_TRUE(testutil::WriteFile(barrier, "go"));
    int first = 0;
    for (auto& start : starts) {
        ASSERT_TRUE(start->WaitFor("existed "));
        if (start->Output().contains("existed 0")) ++first;
    }
    EXPECT_EQ(first, 1);
    for (auto& start : starts) EXPECT_TRUE(start->Release());
}

TEST_F(InstanceTest, RecordsArriveInOrderEachAnsweredBeforeTheNext)
{
    auto server = Serve(&window);
    Helper sender({"send", kClass, "1", "/DVD", "2", "日本語", "0", ""});
    window.onRecord = [&](const Delivery& d) {
        if (d.dwData == 1) {
            // A slow handler: the sender must still be waiting for its answer.
            QElapsedTimer timer;
            timer.start();
            WaitUntil([&] { return timer.elapsed() > 300; });
            EXPECT_FALSE(sender.Output().contains("sent 2"));
        } else if (d.dwData == 2) {
            EXPECT_TRUE(sender.WaitFor("answer 1 101\n"));
        }
    };
    ASSERT_TRUE(sender.WaitForEnd());
    EXPECT_EQ(sender.ExitCode(), 0);
    EXPECT_EQ(sender.Output(), "sent 1\nanswer 1 101\nsent 2\nanswer 2 102\nsent 3\nanswer 3 100\n");
    ASSERT_EQ(window.log.size(), 3u);
    EXPECT_EQ(window.log[0].data, QByteArray("/DVD", 5));
    EXPECT_EQ(window.log[1].data, QByteArray("日本語") + '\0');
    EXPECT_EQ(window.log[2].data, QByteArray(1, '\0'));
    EXPECT_EQ(window.log[2].dwData, 0);
    EXPECT_NE(window.log[0].sender, 0u);
    for (const Delivery& d : window.log) {
        EXPECT_EQ(d.sender, window.log[0].sender);
        EXPECT_EQ(d.depth, 0);
    }
    ASSERT_TRUE(WaitUntil([&] { return gone.size() == 1; }));
    EXPECT_EQ(gone[0], window.log[0].sender);
}

TEST_F(InstanceTest, AnotherSenderMayArriveDuringANestedLoop)
{
    auto server = Serve(&window);
    Helper first({"send", kClass, "1", "a1", "0", "a2"});
    std::unique_ptr<Helper> second;
    window.onRecord = [&](const Delivery& d) {
        if (d.data != QByteArray("a1", 3)) return;
        second = std::make_unique<Helper>(QStringList{"send", kClass, "-1", "b"});
        EXPECT_TRUE(WaitUntil([&] { return window.log.size() >= 2; }));
        EXPECT_TRUE(second->WaitFor("answer 1 99\n"));
        // Meanwhile the first sender's next record has not been sent.
        EXPECT_FALSE(first.Output().contains("sent 2"));
    };
    ASSERT_TRUE(first.WaitForEnd());
    ASSERT_TRUE(second && second->WaitForEnd());
    ASSERT_EQ(window.log.size(), 3u);
    EXPECT_EQ(window.log[0].data, QByteArray("a1", 3));
    EXPECT_EQ(window.log[1].data, QByteArray("b", 2));
    EXPECT_EQ(window.log[1].depth, 1);
    EXPECT_EQ(window.log[2].data, QByteArray("a2", 3));
    EXPECT_EQ(window.log[2].depth, 0);
    EXPECT_EQ(window.log[2].sender, window.log[0].sender);
    EXPECT_NE(window.log[1].sender, window.log[0].sender);
    EXPECT_NE(window.log[1].sender, 0u);
    ASSERT_TRUE(WaitUntil([&] { return gone.size() == 2; }));
    EXPECT_EQ(std::set<WPARAM>(gone.begin(), gone.end()),
              (std::set<WPARAM>{window.log[0].sender, window.log[1].sender}));
}

TEST_F(InstanceTest, ASenderThatDiesIsReportedGone)
{
    auto server = Serve(&window);
    {
        // Dies after its first of several records was answered.
        Helper sender({"send", kClass, "1", "x", "DIE"});
        ASSERT_TRUE(sender.WaitForEnd());
        ASSERT_TRUE(WaitUntil([&] { return gone.size() == 1; }));
        ASSERT_EQ(window.log.size(), 1u);
        EXPECT_EQ(gone[0], window.log[0].sender);
    }
    // Killed while its record is being handled: reported only once the
    // handler has returned, and its answer goes nowhere.
    Helper sender({"send", kClass, "1", "y", "0", "z"});
    window.onRecord = [&](const Delivery&) {
        sender.Kill();
        QElapsedTimer timer;
        timer.start();
        WaitUntil([&] { return timer.elapsed() > 200; });
        EXPECT_EQ(gone.size(), 1u);
    };
    ASSERT_TRUE(WaitUntil([&] { return gone.size() == 2; }));
    EXPECT_FALSE(goneWhileActive);
    ASSERT_EQ(window.log.size(), 2u);
    EXPECT_EQ(window.log[1].data, QByteArray("y", 2));
    EXPECT_EQ(gone[1], window.log[1].sender);
}

// Leaves a socket file named like a window of `pid` with nobody listening.
QString MakeStaleSocket(pid_t pid, int n)
{
    const QString path = instance::RuntimeFolder() + QStringLiteral("%1.%2.%3").arg(kClass).arg(pid).arg(n);
    const QByteArray encoded = QFile::encodeName(path);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, encoded.constData(), static_cast<size_t>(encoded.size()));
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    close(fd);
    return path;
}

pid_t EndedPid()
{
    const pid_t pid = fork();
    if (pid == 0) _exit(0);
    waitpid(pid, nullptr, 0);
    return pid;
}

TEST_F(InstanceTest, FindPicksTheNewestLiveWindowAndClearsStaleSockets)
{
    EXPECT_EQ(instance::WindowConnection::Find(kClass), nullptr);
    const QString stale = MakeStaleSocket(EndedPid(), 1);
    ASSERT_TRUE(QFileInfo::exists(stale));
    EXPECT_EQ(instance::WindowConnection::Find(kClass), nullptr);
    EXPECT_FALSE(QFileInfo::exists(stale));

    Receiver older;
    auto olderServer = Serve(&older);
    QThread::msleep(20);
    Receiver newer;
    auto newerServer = Serve(&newer);
    QThread::msleep(20);
    const QString staleNewest = MakeStaleSocket(EndedPid(), 7);
    {
        Helper sender({"send", kClass, "-1", "to newer"});
        ASSERT_TRUE(sender.WaitForEnd());
        EXPECT_TRUE(sender.Output().contains("answer 1 99"));
    }
    EXPECT_EQ(newer.log.size(), 1u);
    EXPECT_TRUE(older.log.empty());
    EXPECT_FALSE(QFileInfo::exists(staleNewest));

    // A closed window takes its socket along; the older one answers again.
    const QString newerPath = newerServer->SocketPath();
    ASSERT_TRUE(QFileInfo::exists(newerPath));
    newerServer.reset();
    EXPECT_FALSE(QFileInfo::exists(newerPath));
    {
        Helper sender({"send", kClass, "-1", "to older"});
        ASSERT_TRUE(sender.WaitForEnd());
    }
    EXPECT_EQ(older.log.size(), 1u);

    olderServer.reset();
    Helper none({"send", kClass, "-1", "x"});
    ASSERT_TRUE(none.WaitForEnd());
    EXPECT_EQ(none.Output(), "nowindow\n");
}

TEST_F(InstanceTest, LargeRecordsArriveWholeAndAServerGoneBreaksTheSend)
{
    auto server = Serve(&window);
    {
        Helper sender({"big", kClass, QString::number(3 * 1024 * 1024 + 5)});
        ASSERT_TRUE(sender.WaitForEnd());
        EXPECT_TRUE(sender.Output().contains("answer 1 99"));
    }
    ASSERT_EQ(window.log.size(), 1u);
    const QByteArray& data = window.log[0].data;
    ASSERT_EQ(data.size(), 3 * 1024 * 1024 + 5);
    bool intact = true;
    for (qsizetype i = 0; i < data.size() && intact; ++i) intact = data[i] == static_cast<char>(i * 7);
    EXPECT_TRUE(intact);

    // The window goes away while handling a record: the sender learns it.
    Helper sender({"send", kClass, "1", "a", "0", "b"});
    window.onRecord = [&](const Delivery&) { server.reset(); };
    ASSERT_TRUE(sender.WaitForEnd());
    EXPECT_EQ(sender.ExitCode(), 4);
    EXPECT_TRUE(sender.Output().contains("broken 1"));
}

}  // namespace
