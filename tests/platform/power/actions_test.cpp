// The power actions against python3-dbusmock's logind on a private bus: the
// requests and their arguments as logind sees them, for each outcome; and
// without a system bus every action fails.
#include "platform/power/actions.h"

#include "support/test_util.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

inline void PrintTo(const QStringList& l, std::ostream* os) { *os << l.join(QStringLiteral(" | ")).toStdString(); }

namespace {

// The Debian package installs the module for the system's interpreter.
const QString kPython = QStringLiteral("/usr/bin/python3");
const QString kLogind = QStringLiteral("org.freedesktop.login1");

bool DbusmockInstalled()
{
    QProcess probe;
    probe.start(kPython, {QStringLiteral("-c"), QStringLiteral("import dbusmock")});
    return probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
}

class LogindActions : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!DbusmockInstalled()) return;
        daemon_ = new QProcess;
        daemon_->start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!daemon_->waitForStarted() || !daemon_->waitForReadyRead(5000)) return;
        address_ = QString::fromUtf8(daemon_->readLine().trimmed());
        // Before the code under test first asks for the system bus.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address_.toUtf8());
    }
    static void TearDownTestSuite()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("watch"));
        if (daemon_) {
            daemon_->kill();
            daemon_->waitForFinished();
            delete daemon_;
            daemon_ = nullptr;
        }
    }

    void SetUp() override
    {
        if (address_.isEmpty()) GTEST_SKIP() << "python3-dbusmock or dbus-daemon missing";
    }
    void TearDown() override
    {
        if (!mock_.processId()) return;
        mock_.terminate();
        mock_.waitForFinished(5000);
        // The next scenario's logind must not meet this one's name.
        EXPECT_TRUE(testutil::WaitUntil([] { return !Bus().interface()->isServiceRegistered(kLogind); }));
    }

    static QDBusConnection Bus() { return QDBusConnection::connectToBus(address_, QStringLiteral("watch")); }

    // logind with `parameters` (the template's JSON), logging every call.
    void StartLogind(const QString& parameters = QStringLiteral("{}"))
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), address_);
        mock_.setProcessEnvironment(env);
        mock_.start(kPython, {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
                              QStringLiteral("--template"), QStringLiteral("logind"), QStringLiteral("-p"), parameters,
                              QStringLiteral("-l"), dir_.filePath(QStringLiteral("calls"))});
        ASSERT_TRUE(mock_.waitForStarted());
        ASSERT_TRUE(testutil::WaitUntil([] { return Bus().interface()->isServiceRegistered(kLogind); }, 15000));
    }
    // The method answers with polkit's refusal from now on.
    void Refuse(const QString& method)
    {
        QDBusMessage add = QDBusMessage::createMethodCall(kLogind, QStringLiteral("/org/freedesktop/login1"),
                                                          QStringLiteral("org.freedesktop.DBus.Mock"),
                                                          QStringLiteral("AddMethod"));
        add << QStringLiteral("org.freedesktop.login1.Manager") << method << QStringLiteral("b") << QString()
            << QStringLiteral("raise dbus.exceptions.DBusException('refused', "
                              "name='org.freedesktop.DBus.Error.AccessDenied')");
        ASSERT_EQ(Bus().call(add).type(), QDBusMessage::ReplyMessage);
    }
    // The calls logind took, "Method args", in order.
    QStringList Calls() const
    {
        QFile log(dir_.filePath(QStringLiteral("calls")));
        QStringList calls;
        if (!log.open(QIODevice::ReadOnly)) return calls;
        for (const QByteArray& line : log.readAll().split('\n')) {
            // "<time> <method> <args...>"
            const qsizetype blank = line.indexOf(' ');
            // A refusal is logged as a line of its own after its call.
            if (blank > 0 && !line.contains(" raised")) calls << QString::fromUtf8(line.mid(blank + 1)).trimmed();
        }
        return calls;
    }

    static inline QProcess* daemon_ = nullptr;
    static inline QString address_;
    QProcess mock_;
    QTemporaryDir dir_;
};

struct Outcome {
    const char* parameters;
    const char* refused;        // a method logind refuses, or null
    bool powerOff;              // PowerState 2, else hibernation or standby
    bool ok;
    QStringList calls;
};

TEST_F(LogindActions, EachOutcomeAsLogindSeesIt)
{
    const Outcome outcomes[] = {
        {"{}", nullptr, false, true, {"CanHibernate", "Hibernate False"}},
        {R"({"CanHibernate": "challenge"})", nullptr, false, true, {"CanHibernate", "Hibernate False"}},
        // Without hibernation on offer standby comes at once.
        {R"({"CanHibernate": "na"})", nullptr, false, true, {"CanHibernate", "Suspend False"}},
        {"{}", "Hibernate", false, true, {"CanHibernate", "Hibernate False", "Suspend False"}},
        {R"({"CanHibernate": "no"})", "Suspend", false, false, {"CanHibernate", "Suspend False"}},
        {"{}", nullptr, true, true, {"PowerOff False"}},
        {"{}", "PowerOff", true, false, {"PowerOff False"}},
    };
    power::LogindActions logind;
    for (const Outcome& o : outcomes) {
        SCOPED_TRACE(testing::Message() << o.parameters << " refused " << (o.refused ? o.refused : "none"));
        StartLogind(QString::fromUtf8(o.parameters));
        if (o.refused) Refuse(QString::fromUtf8(o.refused));
        const bool ok = o.powerOff ? logind.PowerOff() : power::HibernateOrSuspend(logind);
        EXPECT_EQ(ok, o.ok);
        // The log holds the mock's own set-up calls too.
        QStringList seen = Calls().filter(QRegularExpression(QStringLiteral("^(Can|Hibernate|Suspend|PowerOff)")));
        EXPECT_EQ(seen, o.calls);
        TearDown();
        QFile::remove(dir_.filePath(QStringLiteral("calls")));
    }
}

// The bus of a process is fixed at its first use: this runs in a process of its own.
TEST(LogindActionsNoBus, EveryActionFails)
{
    if (qEnvironmentVariableIsSet("ZO_POWER_NO_BUS")) {
        power::LogindActions logind;
        EXPECT_TRUE(logind.CanHibernate().isEmpty());
        EXPECT_FALSE(power::HibernateOrSuspend(logind));
        EXPECT_FALSE(logind.PowerOff());
        return;
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZO_POWER_NO_BUS"), QStringLiteral("1"));
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/zoravel-system-bus"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=LogindActionsNoBus.*")});
    ASSERT_TRUE(child.waitForFinished(20000));
    const QByteArray output = child.readAll();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test.")) << output.toStdString();
}

}  // namespace
