// Discs that would crash or hang the player, started in the window through
// the real layer: damaged IFO files and looping navigations are refused by
// the check with the error box and the window plays a good disc next; a
// looping disc that reaches the DVD source unchecked is stopped by the watch
// once its picture has stood still for 10 s.
#include "platform/dvd/player.h"
#include "platform/dvd/probe.h"
#include "window_test_util.h"

#include <cstdlib>

using namespace mwtest;

namespace {

const QString kCannotPlay = QString::fromUtf8("DVD エラー: 再生できません。");
const QString kNoVolume = QString::fromUtf8("DVD エラー: DVD ボリュームが見つかりません。");

class DvdGuardWindow : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        dvd::ForgetProbeVerdicts();
        dvd::SetProbeTimeLimit(4000);
    }
    void TearDown() override
    {
        dvd::SetProbeTimeLimit(10000);
        dvd::SetProbeProgram(QString());
        dvd::ForgetProbeVerdicts();
        WindowTest::TearDown();
    }
    // Starts the disc; the boxes it showed.
    QStringList Start(const QString& folder)
    {
        messageBoxes.clear();
        w->SetViewerPath(folder + "/VIDEO_TS");
        w->StartDvd();
        return messageBoxes;
    }
    // The window plays a good disc: the player went on.
    void PlaysTheMenuDisc()
    {
        EXPECT_TRUE(Start(Fixture("dvd_menu")).isEmpty());
        auto* player = dynamic_cast<dvd::DvdPlayer*>(w->DvdControl());
        ASSERT_NE(player, nullptr);
        EXPECT_TRUE(testutil::WaitUntil([&] { return player->FramesShown() > 0; }, 10000));
        w->CloseMedia();
        w->UpdateControlsForMedia(false);
    }
};

TEST_F(DvdGuardWindow, DamagedAndLoopingDiscsShowTheErrorAndTheWindowGoesOn)
{
    MW_REQUIRE_FIXTURES();
    SetMainDword("DVDRenderer", 2);
    Open();
    for (const char* bad : {"cut", "loop_pre", "loop_post", "loop_menu"}) {
        EXPECT_EQ(Start(Fixture("dvd_bad/") + bad), QStringList{kCannotPlay}) << bad;
        EXPECT_EQ(w->DvdControl(), nullptr);
        // The second time the kept verdict answers.
        EXPECT_EQ(Start(Fixture("dvd_bad/") + bad), QStringList{kCannotPlay}) << bad;
    }
    const QStringList zeroed = Start(Fixture("dvd_bad/zeroed"));
    EXPECT_TRUE(zeroed == QStringList{kNoVolume} || zeroed == QStringList{kCannotPlay}) << zeroed.join('\n');
    PlaysTheMenuDisc();
}

TEST_F(DvdGuardWindow, AnUncheckedLoopIsStoppedWhenItsPictureStandsStill)
{
    MW_REQUIRE_FIXTURES();
    SetMainDword("DVDRenderer", 2);
    Open();
    // Without the check the disc plays its first title for a second; its
    // post command then leads into a pre command that jumps to itself.
    dvd::SetProbeProgram(Home("no-such-program"));
    EXPECT_TRUE(Start(Fixture("dvd_bad/loop_post")).isEmpty());
    ASSERT_NE(w->DvdControl(), nullptr);
    ASSERT_TRUE(testutil::WaitUntil([&] { return !messageBoxes.isEmpty(); }, 30000));
    EXPECT_EQ(messageBoxes, QStringList{kCannotPlay});
    EXPECT_EQ(w->DvdControl(), nullptr);
    // The window answers: the next disc is checked and refused as usual.
    dvd::SetProbeProgram(QString());
    EXPECT_EQ(Start(Fixture("dvd_bad/cut")), QStringList{kCannotPlay});
    // The spinning thread inside libdvdnav cannot be stopped; it ends with
    // the process. GStreamer's deinit at the end of the test program would
    // wait for it for ever, so this test ends its process itself.
    const bool failed = HasFailure();
    TearDown();
    std::_Exit(failed ? 1 : 0);
}

}  // namespace
