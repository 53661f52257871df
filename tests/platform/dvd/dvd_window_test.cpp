// The DVD layer drawing into a window through the X sinks: a window resized
// while the disc plays gives the picture a new size, and the disc plays on.
#include "platform/dvd/player.h"
#include "support/test_util.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QWidget>

#include <gtest/gtest.h>

using namespace dvd;

namespace {

void Spin(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

}  // namespace

TEST(DvdWindowSink, ResizedWhilePlayingTheDiscPlaysOn)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "the X sinks need an X display";
    if (!QFileInfo::exists(testutil::Fixture("dvd_titles"))) GTEST_SKIP() << "fixtures not made";
    qputenv("ZORAVEL_AUDIO_SINK", "fakesink");
    QWidget panel;
    panel.setGeometry(40, 40, 640, 480);
    panel.show();
    DvdPlayer::ManualOptions options;
    options.path = testutil::Fixture("dvd_titles") + "/VIDEO_TS";
    options.panel = &panel;
    std::unique_ptr<DvdPlayer> player;
    ASSERT_EQ(DvdPlayer::CreateManual(options, &player), S_OK);
    player->SetVideoPosition(panel.rect());
    ASSERT_EQ(player->Run(), S_OK);
    QElapsedTimer clock;
    clock.start();
    while (!player->FirstFrameTime() && clock.elapsed() < 10000) QCoreApplication::processEvents();
    ASSERT_TRUE(player->FirstFrameTime());

    // As a window dragged larger and smaller lays the picture out again,
    // while the first frames still follow each other closely.
    for (int i = 0; i < 12; ++i) {
        player->SetVideoPosition(QRect(0, 0, 300 + i % 4 * 120, 200 + i % 3 * 90));
        Spin(20);
    }
    const quint64 before = player->FramesShown();
    Spin(1500);
    EXPECT_GT(player->FramesShown(), before) << "the picture stood still after the resizes";
    long code = 0;
    LPARAM p1 = 0, p2 = 0;
    while (player->GetEvent(&code, &p1, &p2, 0) == S_OK) EXPECT_NE(code, media::EC_ERRORABORT);
}
