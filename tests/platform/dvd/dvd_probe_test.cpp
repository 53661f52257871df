// The disc check before a DVD plays: the fixture discs pass it and are kept;
// copies whose IFO files crash libdvdread and navigations that loop are
// refused while this process goes on; a verdict follows the disc's content;
// a FIFO named as a volume does not block; and the clock that stops a
// navigation hanging during play.
#include "platform/dvd/probe.h"
#include "platform/dvd/probe_stall.h"
#include "support/test_util.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace dvd;

namespace {

constexpr int kTimeLimit = 4000;

class DvdProbe : public ::testing::Test {
protected:
    void SetUp() override
    {
        ForgetProbeVerdicts();
        SetProbeTimeLimit(kTimeLimit);
    }
    void TearDown() override
    {
        SetProbeTimeLimit(10000);
        SetProbeProgram(QString());
        ForgetProbeVerdicts();
    }
    static QString Bad(const QString& name) { return testutil::Fixture("dvd_bad/" + name); }
};

bool CopyVideoTs(const QString& from, const QString& to)
{
    QDir().mkpath(to + "/VIDEO_TS");
    for (const QFileInfo& f : QDir(from + "/VIDEO_TS").entryInfoList(QDir::Files))
        if (!QFile::copy(f.filePath(), to + "/VIDEO_TS/" + f.fileName())) return false;
    return true;
}

// Every IFO and BUP file cut to 2048 bytes, as the fixture "cut" is.
bool CutIfo(const QString& folder)
{
    for (const QFileInfo& f : QDir(folder + "/VIDEO_TS").entryInfoList({"*.IFO", "*.BUP"}, QDir::Files))
        if (!QFile(f.filePath()).resize(2048)) return false;
    return true;
}

}  // namespace

TEST_F(DvdProbe, GoodDiscsPassDamagedAndLoopingOnesAreRefused)
{
    if (!QFileInfo::exists(Bad("cut"))) GTEST_SKIP() << "fixtures not made";
    qint64 slowest = 0;
    for (const char* good : {"dvd_menu", "dvd_titles", "dvd_karaoke"}) {
        EXPECT_EQ(ProbeVolume(testutil::Fixture(good) + "/VIDEO_TS"), ProbeVerdict::Playable) << good;
        slowest = std::max(slowest, LastProbeMilliseconds());
    }
    RecordProperty("slowest_probe_ms", int(slowest));
    EXPECT_EQ(ProbeVolume(testutil::Fixture("not_dvd")), ProbeVerdict::NotDvd);

    // libdvdread frees a garbage pointer on the cut files; the loops spin
    // inside libdvdnav until the walk is killed.
    for (const char* bad : {"cut", "loop_pre", "loop_post", "loop_menu"})
        EXPECT_EQ(ProbeVolume(Bad(bad)), ProbeVerdict::Refused) << bad;
    EXPECT_NE(ProbeVolume(Bad("zeroed")), ProbeVerdict::Playable);

    // Random damage: some copies crash the walk, the rest pass or are no
    // volume; every answer comes within the limit.
    int refused = 0;
    for (int k = 0; k < 12; ++k) {
        const QString copy = Bad(QStringLiteral("random_%1").arg(k, 2, 10, QLatin1Char('0')));
        QElapsedTimer timer;
        timer.start();
        refused += ProbeVolume(copy) == ProbeVerdict::Refused;
        EXPECT_LT(timer.elapsed(), kTimeLimit + 2000) << copy.toStdString();
    }
    EXPECT_GT(refused, 0);
}

TEST_F(DvdProbe, AVerdictIsKeptForTheDiscsContentAndAFifoDoesNotBlock)
{
    if (!QFileInfo::exists(testutil::Fixture("dvd_titles"))) GTEST_SKIP() << "fixtures not made";
    QTemporaryDir dir;
    const QString disc = dir.filePath("disc");
    ASSERT_TRUE(CopyVideoTs(testutil::Fixture("dvd_titles"), disc));
    EXPECT_EQ(ProbeVolume(disc), ProbeVerdict::Playable);
    EXPECT_GT(LastProbeMilliseconds(), 0);
    // The same disc by its VIDEO_TS folder: kept, not walked again.
    EXPECT_EQ(ProbeVolume(disc + "/VIDEO_TS"), ProbeVerdict::Playable);
    EXPECT_EQ(LastProbeMilliseconds(), 0);

    // The same folder with other content is another disc.
    ASSERT_TRUE(CutIfo(disc));
    EXPECT_EQ(ProbeVolume(disc), ProbeVerdict::Refused);
    EXPECT_GT(LastProbeMilliseconds(), 0);

    // Without the walk's program discs play unchecked, and nothing is kept.
    const QString other = dir.filePath("other");
    ASSERT_TRUE(CopyVideoTs(testutil::Fixture("dvd_menu"), other));
    ASSERT_TRUE(CutIfo(other));
    SetProbeProgram(dir.filePath("missing"));
    EXPECT_EQ(ProbeVolume(other), ProbeVerdict::Playable);
    SetProbeProgram(QString());
    EXPECT_EQ(ProbeVolume(other), ProbeVerdict::Refused);

    // A FIFO without a writer: the key is not read from it, and the walk that
    // waits on it is stopped at the limit.
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_TRUE(ProbeKey(fifo).isEmpty());
    QElapsedTimer timer;
    timer.start();
    EXPECT_NE(ProbeVolume(fifo), ProbeVerdict::Playable);
    EXPECT_LT(timer.elapsed(), kTimeLimit + 2000);
    // The same as a folder's IFO file.
    const QString fifoDisc = dir.filePath("fifodisc");
    ASSERT_TRUE(QDir().mkpath(fifoDisc + "/VIDEO_TS"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifoDisc + "/VIDEO_TS/VIDEO_TS.IFO").constData(), 0600), 0);
    timer.restart();
    EXPECT_NE(ProbeVolume(fifoDisc), ProbeVerdict::Playable);
    EXPECT_LT(timer.elapsed(), kTimeLimit + 2000);
}

// The check started ahead, while the window is built, is the one the
// window's check of that disc takes when it starts the disc: each disc is
// walked once, and a refused disc stays refused.
TEST_F(DvdProbe, ACheckStartedAheadGivesTheWindowsCheckItsVerdict)
{
    if (!QFileInfo::exists(testutil::Fixture("dvd_titles"))) GTEST_SKIP() << "fixtures not made";
    QTemporaryDir dir;
    const QString good = dir.filePath("good"), cut = dir.filePath("cut");
    ASSERT_TRUE(CopyVideoTs(testutil::Fixture("dvd_titles"), good));
    ASSERT_TRUE(CopyVideoTs(testutil::Fixture("dvd_menu"), cut));
    ASSERT_TRUE(CutIfo(cut));
    // The real walk, each start logged, slow enough that the window's check
    // comes while it runs.
    const QString log = dir.filePath("walks.log"), walk = dir.filePath("walk.sh");
    const QString real = QCoreApplication::applicationDirPath() + "/ZorviDvdProbe";
    ASSERT_TRUE(QFileInfo::exists(real));
    {
        QFile script(walk);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\necho \"$1\" >> '%1'\nsleep 0.4\nexec '%2' \"$1\"\n").arg(log, real).toUtf8());
    }
    ASSERT_TRUE(QFile::setPermissions(walk, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    SetProbeProgram(walk);
    auto walks = [&log] {
        QFile f(log);
        return f.open(QIODevice::ReadOnly) ? f.readAll().count('\n') : 0;
    };
    for (const auto& [disc, verdict] : {std::pair{good, S_OK}, std::pair{cut, E_FAIL}}) {
        SCOPED_TRACE(disc.toStdString());
        const int before = walks();
        ProbeAhead ahead(disc);
        ASSERT_TRUE(testutil::WaitUntil([&] { return walks() > before; }, 5000)) << "the walk did not start";
        EXPECT_EQ(ProbeBeforePlay(disc + "/VIDEO_TS"), verdict);
        EXPECT_EQ(LastProbeMilliseconds(), 0) << "the window's check walked the disc itself";
        EXPECT_EQ(walks(), before + 1);
    }
}

TEST(DvdStallClock, OnlyARunningNavigationWithoutPicturesOrStillsStalls)
{
    NavigationStallClock clock(10000);
    using S = NavigationStallClock::Sample;
    EXPECT_FALSE(clock.Update(0, S{0, false, true}));
    EXPECT_FALSE(clock.Update(9999, S{0, false, true}));
    EXPECT_TRUE(clock.Update(10000, S{0, false, true}));
    // A new picture starts the count again.
    EXPECT_FALSE(clock.Update(11000, S{5, false, true}));
    EXPECT_FALSE(clock.Update(20999, S{5, false, true}));
    EXPECT_TRUE(clock.Update(21000, S{5, false, true}));
    // A pause and a still wait as long as the user likes; the count starts
    // when the navigation runs on.
    EXPECT_FALSE(clock.Update(22000, S{5, false, false}));
    EXPECT_FALSE(clock.Update(90000, S{5, true, true}));
    EXPECT_FALSE(clock.Update(95000, S{5, false, true}));
    EXPECT_FALSE(clock.Update(104999, S{5, false, true}));
    EXPECT_TRUE(clock.Update(105000, S{5, false, true}));
}
