// The suspend query against a stand-in for systemd-logind on a private bus:
// the delay is taken at start, the query runs at PrepareForSleep(true) and
// the delay is released after it, a new one is taken after the wake; and
// without a system bus nothing is watched.
#include "platform/power/sleep.h"

#include "support/test_util.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QElapsedTimer>
#include <QProcess>

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <memory>

// Hands out a delay as the write end of a pipe and keeps the read end, which
// reports the hang-up once every copy of the write end is closed.
class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    ~FakeLogind() override
    {
        for (int fd : readEnds) close(fd);
    }
    std::vector<int> readEnds;
    QStringList whats;

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString&, const QString&, const QString& mode)
    {
        whats << what + QLatin1Char('/') + mode;
        int ends[2];
        if (pipe(ends) != 0) return {};
        readEnds.push_back(ends[0]);
        QDBusUnixFileDescriptor handed(ends[1]);   // a copy of its own
        close(ends[1]);
        return handed;
    }
};

namespace {

bool Released(int readEnd)
{
    pollfd p{readEnd, POLLIN, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
}

TEST(SuspendQuery, HoldsTheSleepUntilTheQueryRan)
{
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    ASSERT_TRUE(daemon.waitForStarted());
    ASSERT_TRUE(daemon.waitForReadyRead(5000));
    const QString address = QString::fromUtf8(daemon.readLine().trimmed());
    // Before the code under test first asks for the system bus.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toUtf8());

    QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("logind"));
    ASSERT_TRUE(service.isConnected());
    FakeLogind logind;
    ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/login1"), &logind,
                                       QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.login1")));
    auto sleep = [&](bool start) {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                         QStringLiteral("org.freedesktop.login1.Manager"),
                                                         QStringLiteral("PrepareForSleep"));
        signal << start;
        service.send(signal);
    };

    int queries = 0;
    bool heldDuringQuery = false;
    {
        std::unique_ptr<power::SuspendQuery> watch;
        watch = std::make_unique<power::SuspendQuery>([&] {
            ++queries;
            heldDuringQuery = watch->HoldsDelay() && !Released(logind.readEnds.front());
        });
        EXPECT_TRUE(watch->IsWatching());
        ASSERT_TRUE(testutil::WaitUntil([&] { return watch->HoldsDelay(); }));
        EXPECT_EQ(logind.whats, QStringList{"sleep/delay"});

        sleep(true);
        ASSERT_TRUE(testutil::WaitUntil([&] { return queries == 1; }));
        EXPECT_TRUE(heldDuringQuery);
        EXPECT_FALSE(watch->HoldsDelay());
        EXPECT_TRUE(testutil::WaitUntil([&] { return Released(logind.readEnds.front()); }));

        // Woken: a new delay for the next sleep.
        sleep(false);
        ASSERT_TRUE(testutil::WaitUntil([&] { return watch->HoldsDelay(); }));
        ASSERT_EQ(logind.readEnds.size(), 2u);
        EXPECT_FALSE(Released(logind.readEnds.back()));
    }
    // Gone with the watch.
    EXPECT_TRUE(testutil::WaitUntil([&] { return Released(logind.readEnds.back()); }));
    EXPECT_EQ(queries, 1);

    service.unregisterService(QStringLiteral("org.freedesktop.login1"));
    QDBusConnection::disconnectFromBus(QStringLiteral("logind"));
    daemon.kill();
    daemon.waitForFinished();
}

// Without a system bus nothing is watched and nothing fails. The bus of a
// process is fixed at its first use, so this runs in a process of its own.
TEST(SuspendQueryNoBus, NothingIsWatched)
{
    if (qEnvironmentVariableIsSet("ZO_SLEEP_NO_BUS")) {
        power::SuspendQuery watch([] {});
        EXPECT_FALSE(watch.IsWatching());
        EXPECT_FALSE(watch.HoldsDelay());
        return;
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZO_SLEEP_NO_BUS"), QStringLiteral("1"));
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/zoravel-system-bus"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=SuspendQueryNoBus.*")});
    ASSERT_TRUE(child.waitForFinished(20000));
    const QByteArray output = child.readAll();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test.")) << output.toStdString();
}

}  // namespace

#include "sleep_test.moc"
