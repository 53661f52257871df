// The window's size, the picture's rectangle, full screen and the volume bar
// through the real window on the fixture media.
#include "platform/keys/keys.h"
#include "platform/mixer/fake.h"
#include "window_test_util.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSlider>
#include <QToolButton>

using namespace mwtest;

namespace {

class SizeWindow : public WindowTest {
protected:
    QSize Client() const { return w->size(); }
    QRect Panel() const { return ui()->ViewPanel->geometry(); }
    // The 320 x 240 clip, playing.
    void OpenClip()
    {
        Open({Fixture("clip.avi")});
        ASSERT_TRUE(WaitPlaying());
    }
};

}  // namespace

TEST_F(SizeWindow, PresetsKeepSizeAndAspectModesSizeAndBoxThePicture)
{
    MW_REQUIRE_FIXTURES();
    OpenClip();
    // The picture's own size plus the controls.
    EXPECT_EQ(Client(), QSize(324, 300));
    EXPECT_EQ(Panel(), QRect(2, 2, 320, 240));
    EXPECT_EQ(w->VideoRect(), QRect(0, 0, 320, 240));

    ui()->N640->trigger();
    EXPECT_EQ(Client(), QSize(644, 540));
    EXPECT_TRUE(ui()->N640->isChecked());
    EXPECT_EQ(w->VideoRect(), QRect(0, 0, 640, 480));
    ui()->N320->trigger();
    EXPECT_EQ(Client(), QSize(324, 300));

    // 16:9 in the 4:3 panel: a letterbox; 4:3 in a wider panel: a pillarbox.
    ui()->N640->trigger();
    ui()->miAspect169->trigger();
    EXPECT_EQ(w->VideoRect(), QRect(0, 60, 640, 360));
    EXPECT_TRUE(ui()->miAspect169->isChecked());
    ui()->MIAspect43->trigger();
    w->resize(1004, 540);
    EXPECT_EQ(w->VideoRect(), QRect(180, 0, 640, 480));
    // The free mode stretches the picture over the panel.
    ui()->MIUnlockAspect->trigger();
    EXPECT_EQ(w->VideoRect(), QRect(0, 0, 1000, 480));

    // The current size becomes the selected preset.
    ui()->MIOriginalAspect->trigger();
    w->resize(504, 420);
    ui()->NSelectCurrentSize->trigger();
    ui()->N320->trigger();
    ui()->NSelectedSize->trigger();
    EXPECT_EQ(Client().width(), 504);
    EXPECT_EQ(Client().height(), (504 - 4) * 240 / 320 + 60);

    // Keep-size: the presets go unchecked; the next item opens at the kept panel size.
    ui()->miKeepSize->trigger();
    for (QAction* a : {ui()->NSelectedSize, ui()->N640, ui()->N320, ui()->NSouce}) EXPECT_FALSE(a->isChecked());
    ui()->miWindowFix->trigger();   // off: the kept size stands as it is
    w->resize(454, 400);
    Close();
    EXPECT_EQ(MainDword("LastWidth"), 450u);
    EXPECT_EQ(MainDword("LastHeight"), 340u);
    EXPECT_EQ(MainDword("KeepSize"), 1u);
    EXPECT_EQ(MainDword("WindowSize"), 0u);
    EXPECT_EQ(MainDword("AspectRatio"), 0u);
    OpenClip();
    EXPECT_TRUE(ui()->miKeepSize->isChecked());
    EXPECT_EQ(Client(), QSize(454, 400));
    // Leaving keep-size checks the kept preset again.
    ui()->miKeepSize->trigger();
    EXPECT_TRUE(ui()->NSelectedSize->isChecked());
}

TEST_F(SizeWindow, StoredSizesOutOfSenseAreKeptWithinTheScreen)
{
    MW_REQUIRE_FIXTURES();
    SetMainDword("WindowSize", 0);
    SetMainDword("SelectedSize", 9000u * 4096 + 4000);
    SetMainDword("AdjustWindowSize", 0);
    OpenClip();
    const QRect area = w->screen()->availableGeometry();
    EXPECT_LE(Client().width(), area.width());
    EXPECT_LE(Client().height(), area.height());
    EXPECT_GE(Client().width(), 290);
    Close();
    // The stored value itself stays.
    EXPECT_EQ(MainDword("SelectedSize"), 9000u * 4096 + 4000);
}

TEST_F(SizeWindow, FullScreenCoversTheMonitorHidesThePointerAndEscComesBack)
{
    MW_REQUIRE_FIXTURES();
    OpenClip();
    ui()->N640->trigger();
    const QRect before = w->geometry();
    ui()->NFullScreen->trigger();
    ASSERT_TRUE(w->IsFullScreen());
    const QRect monitor = w->screen()->geometry();
    EXPECT_TRUE(testutil::WaitUntil([&] { return w->geometry() == monitor; })) << w->geometry();
    EXPECT_EQ(Panel(), QRect(QPoint(0, 0), monitor.size()));
    EXPECT_TRUE(ui()->NFullScreen->isChecked());
    EXPECT_TRUE(ui()->MIFullScr->isChecked());
    EXPECT_FALSE(ui()->N640->isVisible());
    EXPECT_FALSE(ui()->NSelectCurrentSize->isVisible());
    EXPECT_FALSE(ui()->PMForeground->isVisible());
    EXPECT_TRUE(ui()->NClose->isVisible());
    EXPECT_TRUE(ui()->miStretchW->isVisible() && ui()->miStretchW->isEnabled());
    // The size commands leave a full-screen window alone.
    ui()->N320->trigger();
    EXPECT_EQ(w->geometry(), monitor);

    // The 4:3 picture pillarboxed on the monitor, then fitted to its width (cut).
    const int shownWidth = monitor.height() * 4 / 3;
    if (shownWidth < monitor.width()) {
        EXPECT_EQ(w->VideoRect().width(), shownWidth);
        ui()->miStretchW->trigger();
        EXPECT_EQ(w->VideoRect().width(), monitor.width());
        EXPECT_LT(w->VideoRect().top(), 0);
        ui()->miStretchH->trigger();
        EXPECT_FALSE(ui()->miStretchW->isChecked());
        EXPECT_EQ(w->VideoRect().height(), monitor.height());
    }

    // Five quiet ticks of the pointer timer hide the pointer.
    QCursor::setPos(monitor.center());
    for (int i = 0; i < 5; ++i) w->MouseTimerTimer();
    EXPECT_TRUE(w->IsCursorHidden());
    EXPECT_EQ(QGuiApplication::overrideCursor() ? QGuiApplication::overrideCursor()->shape() : Qt::ArrowCursor,
              Qt::BlankCursor);

    // Esc: the window as it was, the menus back.
    EXPECT_TRUE(w->FormKeyDown(keys::VK_ESCAPE));
    EXPECT_FALSE(w->IsFullScreen());
    EXPECT_FALSE(w->IsCursorHidden());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(testutil::WaitUntil([&] { return w->geometry() == before; })) << w->geometry();
    EXPECT_EQ(Panel(), QRect(2, 2, before.width() - 4, before.height() - 60));
    EXPECT_TRUE(ui()->N640->isVisible());
    EXPECT_FALSE(ui()->NClose->isVisible());
    EXPECT_FALSE(ui()->miStretchW->isVisible());
    EXPECT_FALSE(ui()->miStretchH->isChecked());
    EXPECT_FALSE(ui()->NFullScreen->isChecked());
}

TEST_F(SizeWindow, FullScreenNeedsAPicture)
{
    MW_REQUIRE_FIXTURES();
    Open();
    ui()->NFullScreen->trigger();
    EXPECT_FALSE(w->IsFullScreen());
    EXPECT_FALSE(ui()->NFullScreen->isChecked());
    Open({Fixture("tone.wav")});
    ASSERT_TRUE(WaitPlaying());
    ui()->NFullScreen->trigger();
    EXPECT_FALSE(w->IsFullScreen());
    EXPECT_EQ(Client(), QSize(290, 60));
}

TEST_F(SizeWindow, BalanceSnapsToTheCentreAndMuteComesBack)
{
    MW_REQUIRE_FIXTURES();
    Open({Fixture("tone.wav")});
    ASSERT_TRUE(WaitPlaying());
    QSlider* bar = ui()->TrackBarVolume;
    bar->setValue(80);
    ui()->BtnSound->click();
    ASSERT_EQ(ui()->BtnSound->text(), "bal.");
    EXPECT_EQ(bar->value(), 50);
    const struct {
        int position;
        long balance;
        int shown;
    } points[] = {{45, 0, 50}, {55, 0, 50}, {56, 1200, 56}, {44, -1200, 44}, {100, 10000, 100}, {0, -10000, 0}};
    for (const auto& p : points) {
        bar->setValue(p.position);
        long balance = 1;
        ASSERT_EQ(w->Graph()->get_Balance(&balance), S_OK);
        EXPECT_EQ(balance, p.balance) << p.position;
        EXPECT_EQ(bar->value(), p.shown) << p.position;
    }
    // The stored volume is untouched by the balance; back in volume mode the bar shows it.
    EXPECT_EQ(w->VolumeBarValue(), 80);
    ui()->BtnSound->click();
    EXPECT_EQ(ui()->BtnSound->text(), "vol.");
    EXPECT_EQ(bar->value(), 80);

    // Mute and mute again: silence, then the same level.
    w->miVolumeMuteClick();
    long level = 0;
    w->Graph()->get_Volume(&level);
    EXPECT_EQ(level, -10000);
    w->KeyLatch = 0;
    w->miVolumeMuteClick();
    w->Graph()->get_Volume(&level);
    EXPECT_EQ(level, VolumeLevel(80));
    EXPECT_EQ(bar->value(), 80);
}

TEST_F(SizeWindow, WithoutGraphSoundTheBarStaysInVolumeModeAndTheMixerTurnsRealMediaLines)
{
    Open();
    ui()->BtnSound->click();
    EXPECT_EQ(ui()->BtnSound->text(), "vol.");
    EXPECT_EQ(Tag(ui()->BtnSound), 0);

    // A RealMedia clip outside the graph: with VolumeAuto its wave line
    // takes the bar; the line goes back when the media close, once.
    std::shared_ptr<MixerWrites> writes;
    UseRecordedMixer(writes);
    w->Probe().SetMediaKind(false, false, true);
    ui()->TrackBarVolume->setValue(60);
    w->ApplyRealMediaVolume();
    ASSERT_TRUE(writes);
    EXPECT_EQ(*writes, (MixerWrites{{"PCM", 60 * 65535 / 100}}));
    w->CloseMedia();
    EXPECT_FALSE(w->HasAudioMixer());
    EXPECT_EQ(*writes, (MixerWrites{{"PCM", 60 * 65535 / 100}, {"PCM", 30000}}));
    w->ReleaseAudioMixer();
    EXPECT_EQ(writes->size(), 2u);

    // VolumeAuto off: the line keeps its level until the bar moves.
    w->MutableSettings().VolumeAuto = false;
    w->Probe().SetMediaKind(false, false, true);
    w->ApplyRealMediaVolume();
    EXPECT_FALSE(w->HasAudioMixer());
}

