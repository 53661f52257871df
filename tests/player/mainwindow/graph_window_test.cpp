// The file graph seen from the window: every fixture kind plays, duration
// and seek-bar range, window sizes for pictures and sound, the end of an
// item, relative seeks and the time text.
#include "window_test_util.h"

#include <QAction>
#include <QLabel>
#include <QSlider>
#include <QToolButton>

using namespace mwtest;

namespace {

constexpr REFERENCE_TIME kSecond = 10000000;

class GraphWindow : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        if (!FixturesMade()) GTEST_SKIP() << "media fixtures not made";
    }
    REFERENCE_TIME Position() const
    {
        REFERENCE_TIME p = -1;
        if (w->Graph()) w->Graph()->GetCurrentPosition(&p);
        return p;
    }
    // Jumps close to the end of the playing item, so that it ends soon.
    void NearTheEnd()
    {
        ASSERT_GT(w->Duration(), kSecond / 2);
        ASSERT_TRUE(SUCCEEDED(w->SeekTo(w->Duration() - kSecond / 5)));
    }
};

TEST_F(GraphWindow, EveryKindOfFixturePlays)
{
    struct Case {
        const char* name;
        int seconds;   // 0: a still picture; -1: a duration estimated from the bit rate
        bool picture;
    } cases[] = {
        {"mpeg1.mpg", 3, true}, {"mpeg2.m2p", 3, true},  {"video.m1v", -1, true},  {"clip.avi", 2, true},
        {"tone.wav", 2, false}, {"plain.mp3", 3, false}, {"tagged.mp3", 3, false}, {"clip.wmv", 3, true},
        {"sound.wma", 3, false}, {"clip.rm", 2, true},   {"twoaudio.mkv", 3, true}, {"picture.gif", 0, true},
        {"picture.jpg", 0, true}, {"picture.bmp", 0, true},
    };
    Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        w->CloseMedia();
        w->UpdateControlsForMedia(false);
        w->AddPathOrPlayList(Fixture(c.name));
        w->PlayListItem(false, false);
        ASSERT_TRUE(WaitPlaying()) << Caption();
        EXPECT_EQ(w->PlayState(), psPlaying);
        EXPECT_EQ(w->IsStillPicture(), c.seconds == 0);
        EXPECT_EQ(w->IsAudioOnly(), !c.picture);
        if (c.seconds != 0) {
            if (c.seconds > 0) {
                EXPECT_NEAR(static_cast<double>(w->Duration()) / kSecond, c.seconds, 0.35);
            }
            EXPECT_GT(w->Duration(), kSecond / 2);
            EXPECT_EQ(ui()->TrackBarForSeek->maximum(), static_cast<int>(w->Duration() / 1000000));
            EXPECT_TRUE(ui()->TrackBarForSeek->isEnabled());
            EXPECT_EQ(ui()->taTime->text(), QString("0:00:0%1").arg(w->Duration() / kSecond));
            EXPECT_FALSE(w->IsTimerSet(5));
        } else {
            EXPECT_EQ(w->Duration(), 0);
            EXPECT_TRUE(w->IsTimerSet(5));
            EXPECT_FALSE(ui()->TrackBarForSeek->isEnabled());
        }
    }
}

TEST_F(GraphWindow, EveryRendererValuePlaysAPicture)
{
    for (DWORD renderer : {0u, 1u, 2u, 3u, 4u}) {
        SCOPED_TRACE(renderer);
        SetMainDword("Renderer", renderer);
        Open({Fixture("mpeg1.mpg")});
        ASSERT_TRUE(WaitPlaying()) << Caption();
        EXPECT_TRUE(w->Graph()->HasVideo());
        EXPECT_FALSE(w->IsAudioOnly());
    }
}

TEST_F(GraphWindow, VideoSizesTheWindowAndTheTimeTextRuns)
{
    Open({Fixture("mpeg1.mpg")});
    ASSERT_TRUE(WaitPlaying());
    // Video size mode: the picture (352 x 240) plus the borders and controls.
    EXPECT_EQ(w->width(), 352 + 4);
    EXPECT_EQ(w->height(), 240 + 60);
    EXPECT_EQ(Caption(), "Zoravel - mpeg1");
    // The position timer moves the time text and the seek bar.
    ASSERT_TRUE(testutil::WaitUntil([this] { return ui()->tnTime->text() == "0:00:01"; }, 10000));
    EXPECT_GE(ui()->TrackBarForSeek->value(), 10);
}

TEST_F(GraphWindow, SoundOnlyFilesShrinkTheWindow)
{
    Open({Fixture("plain.mp3")});
    ASSERT_TRUE(WaitPlaying());
    EXPECT_TRUE(w->IsMp3File());
    EXPECT_TRUE(w->IsAudioOnly());
    EXPECT_FALSE(w->Graph()->HasVideo());
    EXPECT_EQ(w->width(), 290);
    EXPECT_EQ(w->height(), 60);

    // With tag texts the window is taller and shows them.
    Open({Fixture("tagged.mp3")});
    ASSERT_TRUE(WaitPlaying());
    EXPECT_EQ(ui()->LblTitle->text(), "テスト曲");
    EXPECT_EQ(ui()->LblArtist->text(), "Zoravel Artist");
    EXPECT_EQ(w->width(), 290);
    EXPECT_EQ(w->height(), 99);
    EXPECT_EQ(Caption(), "Zoravel - テスト曲 - Zoravel Artist");

    Open({Fixture("tone.wav")});
    ASSERT_TRUE(WaitPlaying());
    EXPECT_TRUE(w->IsAudioOnly());
    EXPECT_EQ(w->width(), 290);
    EXPECT_EQ(w->height(), 60);
}

TEST_F(GraphWindow, WindowsMediaTagsShowWithReadWmvTag)
{
    Open({Fixture("clip.wmv")});
    ASSERT_TRUE(WaitPlaying());
    EXPECT_TRUE(w->IsWindowsMediaFile());
    EXPECT_EQ(Caption(), "Zoravel - clip");
    Close();

    SetMainDword("ReadWmvTag", 1);
    Open({Fixture("clip.wmv")});
    ASSERT_TRUE(WaitPlaying());
    EXPECT_EQ(ui()->LblTitle->text(), "WMV Title");
    EXPECT_EQ(ui()->LblArtist->text(), "WMV Author");
    EXPECT_EQ(Caption(), "Zoravel - WMV Title");
    // Without a title the entry's name stands in.
    Open({Fixture("sound.wma")});
    ASSERT_TRUE(WaitPlaying());
    EXPECT_EQ(Caption(), "Zoravel - sound");
    EXPECT_TRUE(w->IsAudioOnly());
}

TEST_F(GraphWindow, StillPictureStaysForItsTimeAndBeyond)
{
    SetMainDword("ShowPictureLength", 1);
    Open({Fixture("picture.gif")});
    ASSERT_TRUE(WaitPlaying());
    EXPECT_TRUE(w->IsStillPicture());
    EXPECT_TRUE(w->IsTimerSet(5));
    // The last size plus the borders and controls.
    EXPECT_EQ(w->width(), 320 + 4);
    EXPECT_EQ(w->height(), 240 + 60);
    EXPECT_FALSE(ui()->BtnStop->isEnabled());
    EXPECT_FALSE(ui()->BtnStart->isEnabled());
    EXPECT_TRUE(ui()->TrackBarVolume->isHidden());
    // Without continuous play the picture stays after its time: its timer
    // has fired and what that posted has run.
    ASSERT_TRUE(testutil::WaitUntil([this] { return TimerTicks(kStillPictureTimer) > 0; }, 10000));
    Spin();
    EXPECT_EQ(w->PlayState(), psPlaying);
    EXPECT_TRUE(w->IsStillPicture());
    EXPECT_NE(w->Graph(), nullptr);
}

// A still picture disables the time and rate texts; the next item that has
// a time enables them again.
TEST_F(GraphWindow, ItemAfterAPictureHasItsControlsBack)
{
    const QString gif = Sound("after/a.gif", "picture.gif");
    const QString wav = Sound("after/b.wav");
    Open({gif, wav});
    ASSERT_TRUE(WaitPlaying());
    w->TBtnNextTrackClick();
    ASSERT_TRUE(WaitPlaying());
    ASSERT_FALSE(w->IsStillPicture());
    EXPECT_TRUE(ui()->tnTime->isEnabled());
    EXPECT_TRUE(ui()->taTime->isEnabled());
    EXPECT_TRUE(ui()->STxtbai->isEnabled());
}

TEST_F(GraphWindow, ItemAfterAPictureHasItsTransportBack)
{
    const QString gif = Sound("after/a.gif", "picture.gif");
    const QString wav = Sound("after/b.wav");
    Open({gif, wav});
    ASSERT_TRUE(WaitPlaying());
    EXPECT_FALSE(ui()->BtnStop->isEnabled());
    w->TBtnNextTrackClick();
    ASSERT_TRUE(WaitPlaying());
    EXPECT_TRUE(ui()->BtnStop->isEnabled());
    EXPECT_TRUE(ui()->BtnStart->isEnabled());
    EXPECT_TRUE(ui()->TBtnFastforward->isEnabled());
    EXPECT_TRUE(ui()->TrackBarForSeek->isEnabled());
    EXPECT_EQ(w->width(), 290);
    EXPECT_EQ(w->height(), 60);
}

TEST_F(GraphWindow, StillPicturesStepOnWithContinuousPlay)
{
    SetMainDword("ShowPictureLength", 1);
    SetMainDword("ContinuousPlay", 1);
    const QString gif = Sound("show/a.gif", "picture.gif");
    const QString jpg = Sound("show/b.jpg", "picture.jpg");
    Open({gif, jpg});
    ASSERT_TRUE(WaitPlaying());
    EXPECT_TRUE(ui()->BtnStart->isEnabled());
    EXPECT_EQ(w->ListIndex(), 0);
    // The picture timer moves on to the next picture.
    EXPECT_TRUE(testutil::WaitUntil([this] { return w->ListIndex() == 1; }, 10000));
    EXPECT_TRUE(WaitPlaying());
    EXPECT_TRUE(w->IsStillPicture());
}

TEST_F(GraphWindow, EndWithoutContinuousPlayRewindsAndStops)
{
    Open({Fixture("tone.wav")});
    ASSERT_TRUE(WaitPlaying());
    NearTheEnd();
    ASSERT_TRUE(testutil::WaitUntil([this] { return w->PlayState() == psStopped; }, 5000));
    EXPECT_EQ(ui()->TrackBarForSeek->value(), 0);
    EXPECT_EQ(ui()->tnTime->text(), "0:00:00");
    EXPECT_LT(Position(), kSecond / 2);
    EXPECT_NE(w->Graph()->State(), media::GraphState::Running);
    EXPECT_EQ(Paths().size(), 1);
}

TEST_F(GraphWindow, EndWithContinuousPlayStepsThroughEveryEntry)
{
    SetMainDword("ContinuousPlay", 1);
    const QString a = Sound("cont/a.wav");
    const QString b = Sound("cont/b.wav");
    const QString c = Sound("cont/c.wav");
    Open({a, b, c});
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(WaitPlaying());
        EXPECT_EQ(w->ListIndex(), i);
        NearTheEnd();
        const int next = (i + 1) % 3;
        ASSERT_TRUE(testutil::WaitUntil(
            [&] { return w->ListIndex() == next && w->PlayState() != psNothing; }, 10000));
    }
    // After the last the list is back at its first entry, rewound and stopped.
    ASSERT_TRUE(testutil::WaitUntil([this] { return w->PlayState() == psStopped; }, 10000));
    EXPECT_EQ(w->ListIndex(), 0);
    EXPECT_EQ(Caption(), "Zoravel 1/3 a");
    EXPECT_EQ(Paths().size(), 3);
}

TEST_F(GraphWindow, LoopOnOneEntryStartsItAgain)
{
    SetMainDword("Loop", 1);
    Open({Fixture("tone.wav")});
    ASSERT_TRUE(WaitPlaying());
    NearTheEnd();
    // Back at the start and still playing.
    ASSERT_TRUE(testutil::WaitUntil([this] { return Position() >= 0 && Position() < kSecond; }, 5000));
    EXPECT_EQ(w->PlayState(), psPlaying);
    // It plays on from there: the position moves past where the loop put it
    // (a stop after the loop's seek ends the wait at once).
    const REFERENCE_TIME restart = Position();
    EXPECT_TRUE(testutil::WaitUntil(
        [&] { return w->PlayState() != psPlaying || Position() > restart + kSecond / 5; }, 5000));
    EXPECT_EQ(w->PlayState(), psPlaying);
}

TEST_F(GraphWindow, SkipNeverGoesBeforeTheStartOrPastTheEnd)
{
    Open({Fixture("mpeg1.mpg")});
    ASSERT_TRUE(WaitPlaying());
    w->TogglePlayPause();
    ASSERT_EQ(w->PlayState(), psPaused);

    w->SkipSeconds(-10);
    EXPECT_EQ(Position(), 0);
    EXPECT_EQ(ui()->TrackBarForSeek->value(), 0);
    EXPECT_EQ(ui()->tnTime->text(), "0:00:00");

    w->SkipSeconds(1);
    EXPECT_NEAR(static_cast<double>(Position()) / kSecond, 1.0, 0.25);
    EXPECT_EQ(ui()->tnTime->text(), "0:00:01");

    w->SkipSeconds(100);
    EXPECT_LE(Position(), w->Duration());
    EXPECT_EQ(ui()->TrackBarForSeek->value(), ui()->TrackBarForSeek->maximum());
    EXPECT_EQ(ui()->tnTime->text(), ui()->taTime->text());

    w->SkipSeconds(-100);
    EXPECT_EQ(Position(), 0);
    EXPECT_EQ(ui()->TrackBarForSeek->value(), 0);
}

TEST_F(GraphWindow, SkipInAClipShorterThanASecond)
{
    const QString clip = SilentClip("short.wav", 400);
    Open({clip});
    ASSERT_TRUE(WaitPlaying()) << Caption();
    ASSERT_GT(w->Duration(), 0);
    ASSERT_LT(w->Duration(), kSecond);
    w->TogglePlayPause();
    w->SkipSeconds(5);
    EXPECT_GE(Position(), 0);
    EXPECT_LE(Position(), w->Duration());
    w->SkipSeconds(-5);
    EXPECT_EQ(Position(), 0);
    EXPECT_EQ(ui()->tnTime->text(), "0:00:00");
}

TEST_F(GraphWindow, ColourTimerIsSetOnlyAtTheFirstPause)
{
    SetMainDword("UseColorCtrl", 1);
    SetMainDword("ColorCtlWait", 60000);
    Open();
    // The colour menu stands for colour controls that the renderer offers;
    // offered here (a hidden action is never enabled), the first pause of the
    // next item sets the timer.
    ui()->MIColor->setVisible(true);
    ui()->MIColor->setEnabled(true);
    w->AddPathOrPlayList(Fixture("mpeg1.mpg"));
    w->PlayListItem(false, false);
    ASSERT_TRUE(WaitPlaying());
    EXPECT_TRUE(w->IsTimerSet(15));
    w->KillTimer(15);
    // A later pause does not set it again: looked at once the window has
    // taken the pause's graph event.
    const int notices = Taken(WM_GRAPHNOTIFY);
    w->TogglePlayPause();
    ASSERT_EQ(w->PlayState(), psPaused);
    ASSERT_TRUE(testutil::WaitUntil([&] { return Taken(WM_GRAPHNOTIFY) > notices; }, 10000));
    EXPECT_FALSE(w->IsTimerSet(15));
    // Closing kills it.
    w->SetTimer(15, 60000);
    w->CloseMedia();
    EXPECT_FALSE(w->IsTimerSet(15));
}

TEST_F(GraphWindow, FormatTimeWritesHoursMinutesAndSeconds)
{
    Open();
    QLabel* time = ui()->tnTime;
    w->FormatTime(0);
    EXPECT_EQ(time->text(), "0:00:00");
    w->FormatTime(3723);
    EXPECT_EQ(time->text(), "1:02:03");
    // Only the hour changes: rewritten all the same.
    w->FormatTime(7323);
    EXPECT_EQ(time->text(), "2:02:03");
    w->FormatTime(59);
    EXPECT_EQ(time->text(), "0:00:59");
    w->FormatTime(-5);
    EXPECT_EQ(time->text(), "0:00:00");
    w->FormatTime(360000);
    EXPECT_EQ(time->text(), "100:00:00");
    // Shown again after someone else wrote the label.
    time->setText("x");
    w->FormatTime(61);
    EXPECT_EQ(time->text(), "0:01:01");
}

TEST_F(GraphWindow, PreferredFiltersNeedAClassIdentifierThatNamesAFactory)
{
    Open({Fixture("mpeg1.mpg")});
    ASSERT_TRUE(WaitPlaying());
    // No Filters key.
    EXPECT_EQ(w->AddPreferredFilter(1, "x"), E_FAIL);
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, kFiltersKey, 0, "", REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                             &key, &disposition),
              ERROR_SUCCESS);
    // Sixteen zero bytes, and a value stored as text.
    const BYTE zeros[16] = {};
    ASSERT_EQ(RegWriteBinary16(key, "MPEG1VCLSID", zeros), S_OK);
    ASSERT_TRUE(RegWriteString(key, "MPEG1ACLSID", "{00000000-0000-0000-0000-000000000001}"));
    EXPECT_EQ(w->AddPreferredFilter(1, "x"), E_FAIL);
    EXPECT_EQ(w->AddPreferredFilter(2, "x"), E_FAIL);
    // An identifier that names an element factory is taken; unknown kinds never are.
    const QByteArray id = media::FactoryClassId("mpeg2dec");
    ASSERT_EQ(id.size(), 16);
    ASSERT_EQ(RegWriteBinary16(key, "MPEG2VCLSID", reinterpret_cast<const BYTE*>(id.constData())), S_OK);
    ASSERT_EQ(RegWriteBinary16(key, "DVDVCLSID", reinterpret_cast<const BYTE*>(id.constData())), S_OK);
    RegCloseKey(key);
    EXPECT_EQ(w->AddPreferredFilter(3, "x"), S_OK);
    EXPECT_EQ(w->AddPreferredFilter(0, "x"), E_FAIL);
    EXPECT_EQ(w->AddPreferredFilter(10, "x"), E_FAIL);
}

TEST_F(GraphWindow, DecoderChoicesStillPlayMpeg)
{
    // A decoder preference builds the graph through the MPEG splitter.
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, kFiltersKey, 0, "", REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                             &key, &disposition),
              ERROR_SUCCESS);
    const QByteArray id = media::FactoryClassId("mpeg2dec");
    ASSERT_EQ(RegWriteBinary16(key, "MPEG1VCLSID", reinterpret_cast<const BYTE*>(id.constData())), S_OK);
    RegCloseKey(key);
    SetMainString("MPEG1Video", "libmpeg2");
    SetMainDword("MPEG-2 Splitter", 1);
    for (const char* name : {"mpeg1.mpg", "mpeg2.m2p", "video.m1v"}) {
        SCOPED_TRACE(name);
        Open({Fixture(name)});
        ASSERT_TRUE(WaitPlaying()) << Caption();
        EXPECT_TRUE(w->IsMpegFile());
        EXPECT_TRUE(w->Graph()->HasVideo());
    }
}

}  // namespace
