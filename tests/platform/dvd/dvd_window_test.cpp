// The DVD layer drawing into a window through the X sinks: a window resized
// while the disc plays gives the picture a new size, and the disc plays on; a
// still menu is drawn again at the new size.
#include "platform/dvd/player.h"
#include "platform/media/output.h"
#include "support/test_util.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
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

QImage Screen(const QWidget& panel)
{
    const QPoint at = panel.mapToGlobal(QPoint(0, 0));
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, at.x(), at.y(), panel.width(), panel.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

}  // namespace

// The menu is a still: the disc sends no frame after it. The window sink
// (ximagesink under Xvfb, which cannot scale) and the painted renderer both
// must draw it again when the panel grows, as full screen makes it grow.
class StillMenuWindowSinks : public ::testing::TestWithParam<int> {};

TEST_P(StillMenuWindowSinks, IsDrawnAgainAtTheNewSizeWhenThePanelGrows)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "the X sinks need an X display";
    if (!QFileInfo::exists(testutil::Fixture("dvd_menu"))) GTEST_SKIP() << "fixtures not made";
    qputenv("ZORAVEL_AUDIO_SINK", "fakesink");
    QWidget panel;
    panel.setStyleSheet(QStringLiteral("background: black"));
    panel.setGeometry(40, 40, 640, 480);
    panel.show();
    ASSERT_TRUE(testutil::WaitUntil([&] { return panel.isVisible(); }));
    DvdPlayer::ManualOptions options;
    options.path = testutil::Fixture("dvd_menu") + "/VIDEO_TS";
    options.panel = &panel;
    options.renderer = GetParam();
    std::unique_ptr<DvdPlayer> player;
    ASSERT_EQ(DvdPlayer::CreateManual(options, &player), S_OK);
    player->SetVideoPosition(panel.rect());
    ASSERT_EQ(player->Run(), S_OK);
    // The menu moves for a second before it stands still; the still is
    // announced before that second has played, so the frames are watched:
    // none for half a second is the still.
    bool still = false;
    quint64 shown = 0;
    QElapsedTimer unchanged;
    unchanged.start();
    ASSERT_TRUE(testutil::WaitUntil(
        [&] {
            long code = 0;
            LPARAM p1 = 0, p2 = 0;
            while (player->GetEvent(&code, &p1, &p2, 0) == S_OK) still = still || code == EC_DVD_STILL_ON;
            if (player->FramesShown() != shown) {
                shown = player->FramesShown();
                unchanged.restart();
            }
            return still && shown > 0 && unchanged.elapsed() > 500;
        },
        15000));

    // The menu as it stands in the small panel, once it no longer changes.
    QImage before = Screen(panel);
    ASSERT_TRUE(testutil::WaitUntil([&] {
        const QImage now = Screen(panel);
        const bool settled = testutil::ImageDifference(now, before) < 0.5 && now.pixel(5, 5) != now.pixel(635, 475);
        before = now;
        return settled;
    }));
    const quint64 frames = player->FramesShown();

    panel.resize(1000, 800);
    player->SetVideoPosition(panel.rect());
    const QImage expected = before.scaled(1000, 800, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double difference = 0;
    EXPECT_TRUE(testutil::WaitUntil([&] { return (difference = testutil::ImageDifference(Screen(panel), expected)) < 12; }))
        << "the old picture stays at its size: " << difference;

    // And smaller again, with no frame of the disc's own in between.
    panel.resize(400, 300);
    player->SetVideoPosition(panel.rect());
    const QImage smaller = before.scaled(400, 300, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_TRUE(testutil::WaitUntil([&] { return (difference = testutil::ImageDifference(Screen(panel), smaller)) < 12; }))
        << difference;
    EXPECT_LE(player->FramesShown(), frames + 4) << "the disc sent frames: not a still";
}

INSTANTIATE_TEST_SUITE_P(Renderers, StillMenuWindowSinks,
                         ::testing::Values(media::RendererOverlay, media::RendererWindowless9));

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
