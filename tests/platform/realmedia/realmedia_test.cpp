// The RealMedia control on generated clips: its events (their order, each
// once, never inside a call), positions, length, size, title, stop and
// play, failures and a long path.
#include "platform/realmedia/realmedia.h"

#include "support/test_util.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

using realmedia::TRealAudio;
using testutil::WaitUntil;

namespace {

class RealMediaTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("ZORAVEL_AUDIO_SINK", "fakesink");
        if (!QFileInfo::exists(testutil::Fixture(".complete"))) GTEST_SKIP() << "media fixtures not made";
        panel.resize(320, 240);
        panel.show();
        control = new TRealAudio(&panel, &panel);
        control->resize(320, 240);
        QObject::connect(control, &TRealAudio::ClipOpened, [this](const QString& name, const QString& url) {
            Record(QStringLiteral("opened ") + name);
            openedUrl = url;
        });
        QObject::connect(control, &TRealAudio::PlayStateChange,
                         [this](int from, int to) { Record(QStringLiteral("state %1>%2").arg(from).arg(to)); });
        QObject::connect(control, &TRealAudio::ClipClosed, [this] { Record(QStringLiteral("closed")); });
        QObject::connect(control, &TRealAudio::SourceError, [this](HRESULT, bool opened) {
            Record(opened ? QStringLiteral("error after open") : QStringLiteral("error"));
        });
    }
    void TearDown() override
    {
        delete control;
        qunsetenv("ZORAVEL_AUDIO_SINK");
    }
    void Record(const QString& event)
    {
        // An event raised inside one of our calls would find the flag set.
        EXPECT_FALSE(inCall) << event.toStdString();
        events << event;
    }
    // Runs a call of the control the way the window does.
    template <typename F> void Call(F f)
    {
        inCall = true;
        f();
        inCall = false;
    }
    bool Saw(const QString& event) const { return events.contains(event); }
    bool Start(const QString& path)
    {
        bool ok = false;
        Call([&] { ok = control->SetSource(path); });
        return ok && WaitUntil([&] { return control->IsOpened() && control->GetPlayState() == 3; }, 15000);
    }

    QWidget panel;
    TRealAudio* control = nullptr;
    QStringList events;
    QString openedUrl;
    bool inCall = false;
};

TEST_F(RealMediaTest, ClipOpensPlaysSeeksAndEndsOnce)
{
    const QString path = testutil::Fixture(QStringLiteral("titled.rm"));
    ASSERT_TRUE(Start(path));
    ASSERT_TRUE(WaitUntil([&] { return Saw(QStringLiteral("state 0>3")); }));
    EXPECT_EQ(events.first(), QStringLiteral("opened titled.rm"));
    EXPECT_EQ(openedUrl, path);
    EXPECT_NEAR(control->GetLength(), 3030, 100);
    EXPECT_EQ(control->GetClipWidth(), 320);
    EXPECT_EQ(control->GetClipHeight(), 240);
    EXPECT_EQ(control->GetTitle(), QStringLiteral("RM Title"));
    EXPECT_TRUE(WaitUntil([&] { return !control->CurrentImage().isNull(); }));
    EXPECT_TRUE(WaitUntil([&] { return control->GetPosition() > 200; }));

    // A seek reads as its target at once and plays on from there.
    Call([&] { control->SetPosition(2000); });
    EXPECT_EQ(control->GetPosition(), 2000);
    ASSERT_TRUE(WaitUntil([&] { return Saw(QStringLiteral("closed")); }, 10000));
    EXPECT_EQ(control->GetPlayState(), 0);
    // Each event came once, in this order: a late one is given 300 ms to
    // show and ends the wait when it does.
    WaitUntil([&] { return events.size() > 4; }, 300);
    EXPECT_EQ(events, (QStringList{QStringLiteral("opened titled.rm"), QStringLiteral("state 0>3"),
                                   QStringLiteral("state 3>0"), QStringLiteral("closed")}));

    // Played again after its end, it starts from the beginning.
    Call([&] { control->DoPlay(); });
    ASSERT_TRUE(WaitUntil([&] { return control->GetPlayState() == 3; }));
    EXPECT_LT(control->GetPosition(), 1500);
}

TEST_F(RealMediaTest, PauseStopAndPlayAgain)
{
    ASSERT_TRUE(Start(testutil::Fixture(QStringLiteral("titled.rm"))));
    ASSERT_TRUE(WaitUntil([&] { return control->GetPosition() > 300; }));
    Call([&] { control->DoPause(); });
    ASSERT_TRUE(WaitUntil([&] { return control->GetPlayState() == 4; }));
    const int pausedAt = control->GetPosition();
    // Paused, the position stands: 200 ms for it to move, which ends the wait.
    WaitUntil([&] { return control->GetPosition() != pausedAt; }, 200);
    EXPECT_EQ(control->GetPosition(), pausedAt);

    Call([&] { control->DoStop(); });
    EXPECT_EQ(control->GetPlayState(), 0);
    EXPECT_EQ(control->GetPosition(), 0);
    ASSERT_TRUE(WaitUntil([&] { return Saw(QStringLiteral("state 4>0")); }));
    // Stopped, it stays at 0 and does not end: 300 ms for either to show.
    WaitUntil([&] { return control->GetPosition() != 0 || Saw(QStringLiteral("closed")); }, 300);
    EXPECT_EQ(control->GetPosition(), 0);
    EXPECT_FALSE(Saw(QStringLiteral("closed")));

    Call([&] { control->DoPlay(); });
    ASSERT_TRUE(WaitUntil([&] { return control->GetPlayState() == 3; }));
    EXPECT_TRUE(WaitUntil([&] { return control->GetPosition() > 100; }));
    EXPECT_EQ(events.count(QStringLiteral("opened titled.rm")), 1);
}

TEST_F(RealMediaTest, SoundOnlyClipHasNoSize)
{
    ASSERT_TRUE(Start(testutil::Fixture(QStringLiteral("sound.rm"))));
    EXPECT_EQ(control->GetClipWidth(), 0);
    EXPECT_EQ(control->GetClipHeight(), 0);
    EXPECT_EQ(control->GetTitle(), QStringLiteral("Sound Title"));
    EXPECT_NEAR(control->GetLength(), 3030, 100);
}

TEST_F(RealMediaTest, SourcesThatCannotPlayReportOnce)
{
    for (const QString& path : {testutil::Fixture(QStringLiteral("broken.rm")),
                                testutil::Fixture(QStringLiteral("missing.rm"))}) {
        events.clear();
        bool ok = false;
        Call([&] { ok = control->SetSource(path); });
        EXPECT_TRUE(ok);
        ASSERT_TRUE(WaitUntil([&] { return Saw(QStringLiteral("error")); }, 10000)) << path.toStdString();
        // Reported once, never opened, stopped: 300 ms for a second report or
        // a late opening to show, which ends the wait.
        const auto lateFault = [&] {
            return events.count(QStringLiteral("error")) > 1 || control->IsOpened() || control->GetPlayState() != 0;
        };
        WaitUntil(lateFault, 300);
        EXPECT_EQ(events.count(QStringLiteral("error")), 1);
        EXPECT_FALSE(control->IsOpened());
        EXPECT_EQ(control->GetPlayState(), 0);
        // The transport on a failed source does nothing.
        Call([&] { control->DoPlay(); });
        EXPECT_EQ(control->GetPlayState(), 0);
    }
}

TEST_F(RealMediaTest, SourceThatNeverOpensTimesOut)
{
    // A header cut short: the demuxer waits for the rest for ever.
    testutil::IsolatedHome home;
    const QString path = home.File(QStringLiteral("cut.rm"));
    ASSERT_TRUE(testutil::WriteFile(path, testutil::ReadFile(testutil::Fixture(QStringLiteral("clip.rm"))).left(64)));
    control->SetOpenTimeout(700);
    HRESULT reported = S_OK;
    QObject::connect(control, &TRealAudio::SourceError, [&](HRESULT hr, bool) { reported = hr; });
    Call([&] { control->SetSource(path); });
    ASSERT_TRUE(WaitUntil([&] { return Saw(QStringLiteral("error")); }, 5000));
    EXPECT_EQ(reported, VFW_E_TIMEOUT);
    EXPECT_FALSE(control->IsOpened());
    // Nothing follows the time-out: 300 ms for a late event, which ends the wait.
    WaitUntil([&] { return events.size() > 1; }, 300);
    EXPECT_EQ(events, QStringList{QStringLiteral("error")});
}

TEST_F(RealMediaTest, LongPathWithUnusualCharactersPlaysWhole)
{
    testutil::IsolatedHome home;
    QString folder = home.Path();
    while (folder.size() < 300) folder += QStringLiteral("/長い フォルダ #%?&;") + QString(20, QLatin1Char('x'));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/clip #1.rm");
    ASSERT_GT(path.size(), 259);
    ASSERT_TRUE(QFile::copy(testutil::Fixture(QStringLiteral("titled.rm")), path));
    ASSERT_TRUE(Start(path));
    EXPECT_EQ(openedUrl, path);
    EXPECT_TRUE(Saw(QStringLiteral("opened clip #1.rm")));
    EXPECT_EQ(control->GetClipWidth(), 320);
}

}  // namespace
