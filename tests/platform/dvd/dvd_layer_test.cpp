// The navigator layer playing the fixture discs through rsndvdbin: domains,
// titles, chapters and time; title, chapter and time play; the menu's buttons
// by command and by point; stream choices that survive a chapter change; the
// commands refused during the menu's still (at once, never hanging);
// subtitles drawn on the picture or not; the end of the disc.
#include "platform/dvd/player.h"
#include "support/test_util.h"

#include <algorithm>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace dvd;

namespace {

struct Event {
    long code;
    LPARAM p1, p2;
};

class DvdLayer : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("ZORAVEL_AUDIO_SINK", "fakesink");
        if (!QFileInfo::exists(testutil::Fixture("dvd_menu"))) GTEST_SKIP() << "fixtures not made";
    }
    void Open(const QString& fixture)
    {
        DvdPlayer::ManualOptions options;
        options.path = testutil::Fixture(fixture) + "/VIDEO_TS";
        ASSERT_EQ(DvdPlayer::CreateManual(options, &player), S_OK);
        ASSERT_EQ(player->Run(), S_OK);
    }
    // Takes events until one matches, keeping all of them in `seen`.
    bool WaitFor(long code, const std::function<bool(const Event&)>& match = {}, int ms = 10000)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            Event e;
            if (player->GetEvent(&e.code, &e.p1, &e.p2, 100) != S_OK) continue;
            seen.push_back(e);
            if (e.code == code && (!match || match(e))) return true;
        }
        return false;
    }
    // The domain's change, among the events taken so far or still to come
    // (it may come before or after the events a test waits for first).
    bool WaitForDomain(Domain domain)
    {
        for (const Event& e : seen)
            if (e.code == EC_DVD_DOMAIN_CHANGE && e.p1 == domain) return true;
        return WaitFor(EC_DVD_DOMAIN_CHANGE, [domain](const Event& e) { return e.p1 == domain; });
    }
    bool WaitForChapter(long chapter)
    {
        return WaitFor(EC_DVD_CHAPTER_START, [chapter](const Event& e) { return e.p1 == chapter; });
    }
    bool Seen(long code) const
    {
        for (const Event& e : seen)
            if (e.code == code) return true;
        return false;
    }

    std::unique_ptr<DvdPlayer> player;
    std::vector<Event> seen;
};

TEST_F(DvdLayer, MenuStillRefusesWhatWouldHangAndButtonsLeadToTitles)
{
    Open("dvd_menu");
    ASSERT_TRUE(WaitFor(EC_DVD_STILL_ON));
    EXPECT_EQ(seen.back().p1, 1) << "the menu's still has buttons";
    ASSERT_TRUE(WaitForDomain(DVD_DOMAIN_VideoManagerMenu));
    DWORD uops = 0;
    player->GetCurrentUOPS(&uops);
    EXPECT_TRUE(uops & UOP_FLAG_Play_Title);
    EXPECT_TRUE(uops & UOP_FLAG_PlayNext_Chapter);

    // Each refusal comes at once; the layer keeps answering afterwards.
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(player->PlayChapterInTitle(1, 2, DVD_CMD_FLAG_Block), VFW_E_DVD_OPERATION_INHIBITED);
    EXPECT_EQ(player->PlayNextChapter(DVD_CMD_FLAG_Block), VFW_E_DVD_OPERATION_INHIBITED);
    EXPECT_EQ(player->PlayForwards(2.0, DVD_CMD_FLAG_Block), VFW_E_DVD_OPERATION_INHIBITED);
    // The third button only sets a register.
    EXPECT_EQ(player->ActivateAtPosition(100, 200), VFW_E_DVD_OPERATION_INHIBITED);
    EXPECT_EQ(player->ActivateAtPosition(300, 20), VFW_E_DVD_NO_BUTTON);
    EXPECT_LT(clock.elapsed(), 1000);
    Domain domain;
    player->GetCurrentDomain(&domain);
    EXPECT_EQ(domain, DVD_DOMAIN_VideoManagerMenu);

    // The second button, by point, plays title 2.
    ASSERT_EQ(player->ActivateAtPosition(100, 140), S_OK);
    ASSERT_TRUE(WaitFor(EC_DVD_TITLE_CHANGE, [](const Event& e) { return e.p1 == 2; }));
    EXPECT_TRUE(Seen(EC_DVD_STILL_OFF));
    ASSERT_TRUE(WaitFor(EC_DVD_CURRENT_HMSF_TIME));
    VideoAttributes video;
    player->GetCurrentVideoAttributes(&video);
    EXPECT_EQ(video.aspectX, 16u);

    // The title menu again, and the first button by command.
    ASSERT_EQ(player->ShowMenu(DVD_MENU_Title, DVD_CMD_FLAG_Block), S_OK);
    ASSERT_TRUE(WaitFor(EC_DVD_STILL_ON));
    ASSERT_EQ(player->ActivateButton(), S_OK);
    ASSERT_TRUE(WaitFor(EC_DVD_TITLE_CHANGE, [](const Event& e) { return e.p1 == 1; }));
    ASSERT_TRUE(WaitForChapter(1));
}

// The resume point's way in: from the menu's endless still straight to a
// time in a title, and back to the menu for another title.
TEST_F(DvdLayer, MenuStillTakesAJumpIntoATitleAtATime)
{
    Open("dvd_menu");
    ASSERT_TRUE(WaitFor(EC_DVD_STILL_ON));
    ASSERT_TRUE(WaitForDomain(DVD_DOMAIN_VideoManagerMenu));
    QElapsedTimer clock;
    clock.start();
    // A blocking call never waits longer than its limit; on a loaded machine
    // the jump may still be under way when it returns.
    const HRESULT hr = player->PlayAtTimeInTitle(1, {0, 0, 30, 0}, DVD_CMD_FLAG_Block);
    EXPECT_TRUE(hr == S_OK || hr == VFW_E_TIMEOUT) << std::hex << hr;
    EXPECT_LT(clock.elapsed(), 2500);
    ASSERT_TRUE(WaitFor(EC_DVD_TITLE_CHANGE, [](const Event& e) { return e.p1 == 1; }));
    ASSERT_TRUE(WaitFor(EC_DVD_CURRENT_HMSF_TIME, [](const Event& e) {
        const HmsfTime t = HmsfTime::Unpack(e.p1);
        return t.seconds >= 30 && t.seconds < 36;
    }));
    EXPECT_TRUE(Seen(EC_DVD_STILL_OFF));

    ASSERT_EQ(player->ShowMenu(DVD_MENU_Title, DVD_CMD_FLAG_Block), S_OK);
    ASSERT_TRUE(WaitFor(EC_DVD_STILL_ON));
    ASSERT_EQ(player->PlayTitle(2, DVD_CMD_FLAG_Block), S_OK);
    ASSERT_TRUE(WaitFor(EC_DVD_TITLE_CHANGE, [](const Event& e) { return e.p1 == 2; }));
    ASSERT_TRUE(WaitFor(EC_DVD_CURRENT_HMSF_TIME));
}

TEST_F(DvdLayer, ChapterAndTimePlayKeepTheChosenStreams)
{
    Open("dvd_menu");
    ASSERT_TRUE(WaitFor(EC_DVD_STILL_ON));
    ASSERT_EQ(player->ActivateAtPosition(100, 80), S_OK);
    ASSERT_TRUE(WaitForDomain(DVD_DOMAIN_Title));
    ASSERT_TRUE(WaitForChapter(1));
    HmsfTime length;
    ASSERT_EQ(player->GetTotalTitleTime(&length), S_OK);
    EXPECT_EQ(length.minutes, 1);

    ULONG streams = 0, current = 9;
    ASSERT_TRUE(testutil::WaitUntil([&] { return player->GetCurrentAudio(&streams, &current) == S_OK && streams == 2; }));
    EXPECT_EQ(current, 0u);
    ASSERT_EQ(player->SelectAudioStream(1, 0), S_OK);
    ASSERT_TRUE(WaitFor(EC_DVD_AUDIO_STREAM_CHANGE, [](const Event& e) { return e.p1 == 1; }));
    // The disc shows no subpictures by itself: show them, then hide them.
    ASSERT_EQ(player->SetSubpictureState(true, 0), S_OK);
    ASSERT_TRUE(WaitFor(EC_DVD_SUBPICTURE_STREAM_CHANGE, [](const Event& e) { return e.p2 == 1; }));
    ASSERT_EQ(player->SetSubpictureState(false, 0), S_OK);
    ASSERT_TRUE(WaitFor(EC_DVD_SUBPICTURE_STREAM_CHANGE, [](const Event& e) { return e.p2 == 0; }));

    ASSERT_EQ(player->PlayChapterInTitle(1, 3, DVD_CMD_FLAG_Block), S_OK);
    ASSERT_TRUE(WaitForChapter(3));
    Location at;
    ASSERT_TRUE(testutil::WaitUntil([&] { return player->GetCurrentLocation(&at) == S_OK && at.chapter == 3; }));
    EXPECT_GE(at.time.TotalSeconds(), 39);
    // rsndvdbin repeats its own choice at the new cell; ours stands.
    ASSERT_TRUE(testutil::WaitUntil([&] { return player->GetCurrentAudio(&streams, &current) == S_OK && current == 1; }));
    ULONG subs = 0, sub = 0;
    bool shown = true;
    player->GetCurrentSubpicture(&subs, &sub, &shown);
    EXPECT_FALSE(shown);

    ASSERT_EQ(player->PlayAtTimeInTitle(1, {0, 0, 25, 0}, DVD_CMD_FLAG_Block), S_OK);
    ASSERT_TRUE(WaitForChapter(2));
    ASSERT_TRUE(WaitFor(EC_DVD_CURRENT_HMSF_TIME, [](const Event& e) {
        const HmsfTime t = HmsfTime::Unpack(e.p1);
        return t.seconds >= 25 && t.seconds < 30;
    }));
    ASSERT_EQ(player->PlayPrevChapter(DVD_CMD_FLAG_Block), S_OK);
    ASSERT_TRUE(WaitForChapter(1));
    player->GetCurrentAudio(&streams, &current);
    EXPECT_EQ(current, 1u);

    SavedState state;
    ASSERT_EQ(player->GetState(&state), S_OK);
    EXPECT_FALSE(state.bytes.isEmpty());
}

// Title 1's subtitle is a white bar low in the picture (x 60 to 290, y 190 to
// 220 of 352 x 240), shown for most of every five seconds. The share of
// white pixels inside it in the picture now shown.
double SubtitleBarShare(const QImage& shown)
{
    if (shown.isNull()) return -1;
    const QImage image = shown.convertToFormat(QImage::Format_RGB32);
    const double sx = image.width() / 352.0, sy = image.height() / 240.0;
    int white = 0, all = 0;
    for (int y = int(195 * sy); y < int(215 * sy); y += 2)
        for (int x = int(70 * sx); x < int(280 * sx); x += 3) {
            const QRgb p = image.pixel(x, y);
            white += qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200;
            ++all;
        }
    return all ? double(white) / all : -1;
}

TEST_F(DvdLayer, SubtitlesShowAndHideOnThePictureAtOnceAndAcrossAChapterJump)
{
    Open("dvd_menu");
    ASSERT_TRUE(WaitFor(EC_DVD_STILL_ON));
    ASSERT_EQ(player->ActivateAtPosition(100, 80), S_OK);
    ASSERT_TRUE(WaitForDomain(DVD_DOMAIN_Title));
    ASSERT_TRUE(WaitForChapter(1));
    Location at;
    ASSERT_TRUE(testutil::WaitUntil([&] { return player->GetCurrentLocation(&at) == S_OK && at.time.TotalSeconds() >= 1; }));
    auto barShown = [&] { return SubtitleBarShare(player->CurrentImage()) > 0.9; };
    auto barHidden = [&] {
        const double share = SubtitleBarShare(player->CurrentImage());
        return share >= 0 && share < 0.2;
    };
    // The disc shows its subtitles only when asked: a line is due, none drawn.
    ULONG subs = 0, sub = 0;
    bool shown = true;
    ASSERT_EQ(player->GetCurrentSubpicture(&subs, &sub, &shown), S_OK);
    EXPECT_FALSE(shown);
    EXPECT_TRUE(barHidden());

    // Each change is drawn within the line being shown (a line lasts 4.5 s),
    // not when the next one comes.
    ASSERT_EQ(player->SetSubpictureState(true, 0), S_OK);
    EXPECT_TRUE(testutil::WaitUntil(barShown, 2500)) << "a shown subtitle is not drawn";
    ASSERT_EQ(player->SetSubpictureState(false, 0), S_OK);
    EXPECT_TRUE(testutil::WaitUntil(barHidden, 2500)) << "a hidden subtitle is still drawn";

    // The choice stands after a jump: hidden lines stay hidden, shown ones
    // show with the first line after the jump.
    ASSERT_EQ(player->PlayChapterInTitle(1, 3, DVD_CMD_FLAG_Block), S_OK);
    ASSERT_TRUE(WaitForChapter(3));
    ASSERT_TRUE(testutil::WaitUntil([&] { return player->GetCurrentLocation(&at) == S_OK && at.time.TotalSeconds() >= 41; }));
    EXPECT_TRUE(barHidden());
    ASSERT_EQ(player->SetSubpictureState(true, 0), S_OK);
    ASSERT_EQ(player->PlayChapterInTitle(1, 2, DVD_CMD_FLAG_Block), S_OK);
    ASSERT_TRUE(WaitForChapter(2));
    EXPECT_TRUE(testutil::WaitUntil(barShown, 3000)) << "the shown state was lost at the jump";
    ASSERT_EQ(player->GetCurrentSubpicture(&subs, &sub, &shown), S_OK);
    EXPECT_TRUE(shown);
}

// Each title's start reports its subpicture state, and the user's choice to
// show subtitles holds in title 1 again after title 2, which has none.
TEST_F(DvdLayer, EachTitleStartReportsItsSubpictureState)
{
    Open("dvd_menu");
    ASSERT_TRUE(WaitFor(EC_DVD_STILL_ON));
    ASSERT_EQ(player->ActivateAtPosition(100, 80), S_OK);
    ASSERT_TRUE(WaitFor(EC_DVD_TITLE_CHANGE, [](const Event& e) { return e.p1 == 1; }));
    ASSERT_EQ(player->SetSubpictureState(true, 0), S_OK);
    auto barShown = [&] { return SubtitleBarShare(player->CurrentImage()) > 0.9; };
    ASSERT_TRUE(testutil::WaitUntil(barShown, 3000));

    // Through the menu to title 2 and back to title 1.
    for (const long title : {2L, 1L}) {
        ASSERT_EQ(player->ShowMenu(DVD_MENU_Title, DVD_CMD_FLAG_Block), S_OK);
        ASSERT_TRUE(WaitFor(EC_DVD_STILL_ON));
        seen.clear();
        ASSERT_EQ(player->ActivateAtPosition(100, title == 2 ? 140 : 80), S_OK);
        ASSERT_TRUE(WaitFor(EC_DVD_TITLE_CHANGE, [title](const Event& e) { return e.p1 == title; }));
        ASSERT_TRUE(WaitFor(EC_DVD_SUBPICTURE_STREAM_CHANGE)) << "title " << title;
        // The window's rule: subtitles not hidden by the user are shown.
        if (seen.back().p2 == 0) player->SetSubpictureState(true, 0);
    }
    ULONG subs = 0, sub = 0;
    bool shown = false;
    ASSERT_TRUE(testutil::WaitUntil([&] { return player->GetCurrentSubpicture(&subs, &sub, &shown) == S_OK && shown; }, 3000));
    EXPECT_TRUE(testutil::WaitUntil(barShown, 5000)) << "title 1's subtitles are not drawn again";
}

TEST_F(DvdLayer, TitlesOnlyDiscPlaysItsFirstTitleAndEndsAfterTheLast)
{
    Open("dvd_titles");
    ASSERT_TRUE(WaitFor(EC_DVD_TITLE_CHANGE, [](const Event& e) { return e.p1 == 1; }));
    ASSERT_EQ(player->PlayTitle(2, DVD_CMD_FLAG_Block | DVD_CMD_FLAG_SendEvents), S_OK);
    ASSERT_TRUE(WaitFor(EC_DVD_TITLE_CHANGE, [](const Event& e) { return e.p1 == 2; }));
    EXPECT_TRUE(Seen(EC_DVD_CMD_START));
    EXPECT_TRUE(Seen(EC_DVD_CMD_END));
    ASSERT_TRUE(WaitFor(EC_DVD_PLAYBACK_STOPPED, {}, 15000));
    Domain domain;
    player->GetCurrentDomain(&domain);
    EXPECT_EQ(domain, DVD_DOMAIN_Stop);
}

// The window takes the picture's size from the domain's change: it comes
// with the disc's first data, not at the next regular look (here a minute
// away), so the window has its size by the first picture.
TEST_F(DvdLayer, FirstDataTellsTheDomainWithoutWaitingForTheNextLook)
{
    DvdPlayer::ManualOptions options;
    options.path = testutil::Fixture("dvd_titles") + "/VIDEO_TS";
    options.pollMs = 60000;
    ASSERT_EQ(DvdPlayer::CreateManual(options, &player), S_OK);
    ASSERT_EQ(player->Run(), S_OK);
    ASSERT_TRUE(WaitFor(EC_DVD_DOMAIN_CHANGE, [](const Event& e) { return e.p1 == DVD_DOMAIN_Title; }, 15000));
    VideoAttributes video;
    player->GetCurrentVideoAttributes(&video);
    EXPECT_GT(video.height, 0u);
    EXPECT_GT(video.aspectX, 0u);
}

TEST_F(DvdLayer, ATitleEnteredByThePostCommandOfTheOneBeforeCountsItsOwnTime)
{
    Open("dvd_titles");
    ASSERT_TRUE(WaitFor(EC_DVD_TITLE_CHANGE, [](const Event& e) { return e.p1 == 1; }));
    // A seek: the time is the title's own.
    ASSERT_EQ(player->PlayChapterInTitle(1, 2, DVD_CMD_FLAG_Block | DVD_CMD_FLAG_Flush), S_OK);
    ASSERT_TRUE(WaitFor(EC_DVD_CURRENT_HMSF_TIME, [](const Event& e) { return HmsfTime::Unpack(e.p1).seconds >= 5; }));
    // Title 1's post command goes on into title 2 (4 s) without a seek; the
    // stream's time runs on from title 1's 10 s.
    ASSERT_TRUE(WaitFor(EC_DVD_TITLE_CHANGE, [](const Event& e) { return e.p1 == 2; }, 15000));
    Location at;
    ASSERT_EQ(player->GetCurrentLocation(&at), S_OK);
    EXPECT_EQ(at.title, 2u);
    EXPECT_LE(at.time.TotalSeconds(), 1);
    // A seek in it counts from the title's start too.
    ASSERT_EQ(player->PlayAtTime({0, 0, 2, 0}, DVD_CMD_FLAG_Block | DVD_CMD_FLAG_Flush), S_OK);
    const size_t fromSeek = seen.size();
    ASSERT_TRUE(WaitFor(EC_DVD_PLAYBACK_STOPPED, {}, 15000));
    std::vector<long> seconds;
    for (size_t i = fromSeek; i < seen.size(); ++i)
        if (seen[i].code == EC_DVD_CURRENT_HMSF_TIME) seconds.push_back(HmsfTime::Unpack(seen[i].p1).TotalSeconds());
    // Times the layer raised before the seek may still have been on their
    // way; from the first one at the seek's target on, none goes back.
    const auto target = std::find_if(seconds.begin(), seconds.end(), [](long s) { return s >= 2; });
    ASSERT_NE(target, seconds.end()) << ::testing::PrintToString(seconds);
    for (auto s = target; s != seconds.end(); ++s) {
        EXPECT_GE(*s, 2) << ::testing::PrintToString(seconds);
        EXPECT_LE(*s, 4) << "title 2 lasts 4 s";
    }
}

TEST_F(DvdLayer, FastPlayStepsThroughTheTitleUntilAnotherCommand)
{
    Open("dvd_titles");
    ASSERT_TRUE(WaitForChapter(1));
    DWORD uops = 0;
    player->GetCurrentUOPS(&uops);
    EXPECT_FALSE(uops & UOP_FLAG_Play_Forwards);
    ULONG angles = 0, angle = 0;
    player->GetCurrentAngle(&angles, &angle);
    EXPECT_EQ(angles, 1u);
    EXPECT_EQ(player->SelectAngle(2, 0), E_INVALIDARG);

    ASSERT_EQ(player->PlayForwards(8.0, DVD_CMD_FLAG_Block), S_OK);
    ASSERT_TRUE(WaitFor(EC_DVD_PLAYBACK_RATE_CHANGE, [](const Event& e) { return e.p1 == 80000; }));
    // Four seconds of the title pass in well under two seconds.
    QElapsedTimer clock;
    clock.start();
    Location at;
    ASSERT_TRUE(testutil::WaitUntil([&] { return player->GetCurrentLocation(&at) == S_OK && at.time.seconds >= 5; }));
    EXPECT_LT(clock.elapsed(), 2500);
    // Any other command plays at normal speed again.
    ASSERT_EQ(player->PlayChapterInTitle(1, 1, DVD_CMD_FLAG_Block), S_OK);
    ASSERT_TRUE(WaitFor(EC_DVD_PLAYBACK_RATE_CHANGE, [](const Event& e) { return e.p1 == 10000; }));
}

TEST_F(DvdLayer, AutomaticBuildIsWatchedTooAndHasPlaybinsColourBalance)
{
    ASSERT_EQ(DvdPlayer::CreateAutomatic(testutil::Fixture("dvd_titles"), nullptr, &player), S_OK);
    ASSERT_EQ(player->Run(), S_OK);
    ASSERT_TRUE(WaitFor(EC_DVD_TITLE_CHANGE, [](const Event& e) { return e.p1 == 1; }));
    ASSERT_TRUE(WaitForChapter(1));
    EXPECT_FALSE(player->CanFlip());
    ASSERT_TRUE(player->HasColorControls());
    media::ColorValues colors;
    colors.brightness = 2000;
    colors.saturation = 5000;
    ASSERT_EQ(player->SetColorValues(colors), S_OK);
    media::ColorValues back;
    ASSERT_EQ(player->GetColorValues(&back), S_OK);
    EXPECT_EQ(back.brightness, 2000);
    EXPECT_EQ(back.saturation, 5000);
    ASSERT_EQ(player->PlayChapterInTitle(1, 2, DVD_CMD_FLAG_Block), S_OK);
    ASSERT_TRUE(WaitForChapter(2));
}

// The graph is built while the disc check runs: a disc the check refuses is
// never read by this process (libdvdread frees a garbage pointer on the cut
// IFO files), and a player that goes at once, its decoders still loading,
// leaves the next one to play to its first picture.
TEST_F(DvdLayer, ARefusedDiscIsNeverOpenedAndTheNextDiscPlays)
{
    const QString cut = testutil::Fixture("dvd_bad/cut");
    if (!QFileInfo::exists(cut)) GTEST_SKIP() << "fixtures not made";
    DvdPlayer::ManualOptions options;
    options.path = cut;
    EXPECT_EQ(DvdPlayer::CreateManual(options, &player), E_FAIL);
    EXPECT_FALSE(player);

    options.path = testutil::Fixture("dvd_titles") + "/VIDEO_TS";
    ASSERT_EQ(DvdPlayer::CreateManual(options, &player), S_OK);
    player.reset();
    ASSERT_EQ(DvdPlayer::CreateManual(options, &player), S_OK);
    ASSERT_EQ(player->Run(), S_OK);
    QElapsedTimer clock;
    clock.start();
    while (!player->FirstFrameTime() && clock.elapsed() < 15000) QThread::msleep(10);
    EXPECT_NE(player->FirstFrameTime(), 0);
    EXPECT_EQ(player->Disc().MenuVideo().height > 0, true);
}

TEST_F(DvdLayer, NotADvdVolume)
{
    DvdPlayer::ManualOptions options;
    options.path = testutil::Fixture("not_dvd");
    EXPECT_EQ(DvdPlayer::CreateManual(options, &player), E_INVALIDARG);
    EXPECT_EQ(DvdPlayer::CreateAutomatic(testutil::Fixture("not_dvd/VIDEO_TS"), nullptr, &player), E_INVALIDARG);
}

}  // namespace
