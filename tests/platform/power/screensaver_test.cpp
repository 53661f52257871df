#include "platform/power/screensaver.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QThread>

#include <memory>

// A stand-in for the desktop's screen-saver service, answering on a thread
// of its own so that the blocking calls of the code under test get through.
class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    struct Call {
        QString method;
        QString path;
        QString application;
        QString reason;
        uint cookie;
    };

    explicit FakeScreenSaver(const QString& path) : path_(path) {}

    QList<Call> Calls()
    {
        QMutexLocker lock(&mutex_);
        return calls_;
    }

public slots:
    uint Inhibit(const QString& application, const QString& reason)
    {
        QMutexLocker lock(&mutex_);
        calls_.append({QStringLiteral("Inhibit"), path_, application, reason, nextCookie_});
        return nextCookie_++;
    }
    void UnInhibit(uint cookie)
    {
        QMutexLocker lock(&mutex_);
        calls_.append({QStringLiteral("UnInhibit"), path_, QString(), QString(), cookie});
    }

private:
    QString path_;
    QMutex mutex_;
    QList<Call> calls_;
    uint nextCookie_ = 0;   // a desktop may well hand out 0 first
};

namespace {

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");

class ScreenSaverTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        daemon = new QProcess;
        daemon->start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        ASSERT_TRUE(daemon->waitForStarted());
        QElapsedTimer timer;
        timer.start();
        while (!daemon->canReadLine() && timer.elapsed() < 5000) daemon->waitForReadyRead(100);
        address = QString::fromUtf8(daemon->readLine().trimmed());
        ASSERT_FALSE(address.isEmpty());
        // Before the code under test first asks for the session bus.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());
    }
    static void TearDownTestSuite()
    {
        daemon->kill();
        daemon->waitForFinished();
        delete daemon;
    }

    // Registers the fake service with its object at the given paths.
    void Serve(const QStringList& paths)
    {
        bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, QStringLiteral("fake")));
        ASSERT_TRUE(bus->isConnected());
        thread.start();
        this->paths = paths;
        for (const QString& path : paths) {
            auto fake = std::make_unique<FakeScreenSaver>(path);
            fake->moveToThread(&thread);
            ASSERT_TRUE(bus->registerObject(path, fake.get(), QDBusConnection::ExportAllSlots));
            fakes.push_back(std::move(fake));
        }
        ASSERT_TRUE(bus->registerService(kService));
    }

    void TearDown() override
    {
        if (bus) {
            bus->unregisterService(kService);
            for (const QString& path : paths) bus->unregisterObject(path);
            bus.reset();
            QDBusConnection::disconnectFromBus(QStringLiteral("fake"));
        }
        thread.quit();
        thread.wait();
        fakes.clear();
    }

    QList<FakeScreenSaver::Call> AllCalls()
    {
        QList<FakeScreenSaver::Call> all;
        for (const auto& fake : fakes) all += fake->Calls();
        return all;
    }

    static QProcess* daemon;
    static QString address;
    std::unique_ptr<QDBusConnection> bus;
    QStringList paths;
    QThread thread;
    std::vector<std::unique_ptr<FakeScreenSaver>> fakes;
};

QProcess* ScreenSaverTest::daemon = nullptr;
QString ScreenSaverTest::address;

TEST_F(ScreenSaverTest, HoldsAndReleasesWithTheCookie)
{
    Serve({"/org/freedesktop/ScreenSaver"});
    {
        power::ScreenSaverHold hold;
        EXPECT_FALSE(hold.IsHeld());
        hold.Set(true);
        EXPECT_TRUE(hold.IsHeld());   // although the cookie is 0
        hold.Set(true);
        hold.Set(false);
        EXPECT_FALSE(hold.IsHeld());
        hold.Set(false);
        hold.Set(true);
        EXPECT_TRUE(hold.IsHeld());
    }   // released when it goes away
    const auto calls = AllCalls();
    ASSERT_EQ(calls.size(), 4);
    EXPECT_EQ(calls[0].method, "Inhibit");
    EXPECT_EQ(calls[0].application, "Zoravel");
    EXPECT_FALSE(calls[0].reason.isEmpty());
    EXPECT_EQ(calls[1].method, "UnInhibit");
    EXPECT_EQ(calls[1].cookie, 0u);
    EXPECT_EQ(calls[2].method, "Inhibit");
    EXPECT_EQ(calls[3].method, "UnInhibit");
    EXPECT_EQ(calls[3].cookie, 1u);
}

TEST_F(ScreenSaverTest, FallsBackToTheShortObjectPath)
{
    Serve({"/ScreenSaver"});
    power::ScreenSaverHold hold;
    hold.Set(true);
    EXPECT_TRUE(hold.IsHeld());
    hold.Set(false);
    const auto calls = AllCalls();
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls[0].path, "/ScreenSaver");
    EXPECT_EQ(calls[1].method, "UnInhibit");
    EXPECT_EQ(calls[1].path, "/ScreenSaver");
}

TEST_F(ScreenSaverTest, WithoutAServiceNothingIsHeld)
{
    power::ScreenSaverHold hold;
    QElapsedTimer timer;
    timer.start();
    hold.Set(true);
    EXPECT_FALSE(hold.IsHeld());
    EXPECT_LT(timer.elapsed(), 1000);
    hold.Set(false);
}

// Without a session bus nothing is held and nothing stalls. The bus of a
// process is fixed at its first use, so this runs in a process of its own.
TEST(ScreenSaverNoBusTest, NothingIsHeld)
{
    if (qEnvironmentVariableIsSet("ZO_SCREENSAVER_NO_BUS")) {
        power::ScreenSaverHold hold;
        hold.Set(true);
        EXPECT_FALSE(hold.IsHeld());
        hold.Set(false);
        return;
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZO_SCREENSAVER_NO_BUS"), QStringLiteral("1"));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/zoravel-bus"));
    env.remove(QStringLiteral("DISPLAY"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=ScreenSaverNoBusTest.*")});
    ASSERT_TRUE(child.waitForFinished(20000));
    // Judged by the test's own verdict, not by the exit code, which a leak
    // checker of an instrumented build may change for reasons of its own.
    const QByteArray output = child.readAll();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test.")) << output.toStdString();
}

}  // namespace

#include "screensaver_test.moc"
