// The CD-audio device on the fixture disc images, into a silent sink that
// keeps time: the table of contents, positions, and the notify each play
// ends with.
#include "platform/cdrom/cdaudio.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using cdrom::AudioDevice;
using cdrom::TimeFormat;

// A window that records the device's notices.
class NotifyWindow : public TForm {
public:
    void WndProc(TMessage& message) override
    {
        if (message.Msg == MM_MCINOTIFY) notices.push_back({message.WParam, message.LParam});
        TForm::WndProc(message);
    }
    std::vector<std::pair<WPARAM, LPARAM>> notices;
};

class CdAudioDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("ZORAVEL_AUDIO_SINK", "fakesink");
        if (testutil::FixtureFolder().isEmpty()) GTEST_SKIP() << "no fixtures";
        device = cdrom::CreateAudioDevice();
    }
    void TearDown() override { qunsetenv("ZORAVEL_AUDIO_SINK"); }

    std::uint32_t Position()
    {
        std::uint32_t p = 0;
        EXPECT_TRUE(device->Position(&p));
        return p;
    }
    // Processes queued messages for a moment so that a notice that should
    // not come has had its chance.
    void Settle()
    {
        int rounds = 0;
        testutil::WaitUntil([&] { return ++rounds > 20; }, 1000);
    }

    NotifyWindow window;
    std::unique_ptr<AudioDevice> device;
};

TEST_F(CdAudioDevice, TableOfContentsOfTheImages)
{
    struct Case {
        const char* image;
        std::vector<int> lengthsMs;
    };
    for (const Case& c : {Case{"cd/one.cue", {3000}}, Case{"cd/two.cue", {3000, 4000}},
                          Case{"cd/three.cue", {3000, 4000, 2000}}}) {
        SCOPED_TRACE(c.image);
        ASSERT_TRUE(device->Open(testutil::Fixture(c.image), &window));
        EXPECT_NE(device->DeviceId(), 0u);
        int count = 0;
        ASSERT_TRUE(device->TrackCount(&count));
        ASSERT_EQ(count, static_cast<int>(c.lengthsMs.size()));
        std::uint32_t start = 2000;   // after the lead-in
        for (int t = 1; t <= count; ++t) {
            std::uint32_t length = 0, position = 0;
            ASSERT_TRUE(device->TrackLength(t, &length));
            EXPECT_EQ(length, static_cast<std::uint32_t>(c.lengthsMs[t - 1]));
            ASSERT_TRUE(device->TrackPosition(t, &position));
            EXPECT_EQ(position, start);
            start += length;
        }
        EXPECT_FALSE(device->TrackLength(count + 1, nullptr));
        // Opened at the start of the disc.
        EXPECT_EQ(Position(), 2000u);
        // The packed form: track 2 starts at 2:00:00 of its own; track 3 lasts 0:02:00.
        ASSERT_TRUE(device->SetTimeFormat(TimeFormat::Tmsf));
        std::uint32_t tmsf = 0;
        ASSERT_TRUE(device->TrackPosition(count, &tmsf));
        EXPECT_EQ(tmsf, cdrom::MakeTmsf(count, 0, 0, 0));
        EXPECT_TRUE(device->Close());
        EXPECT_EQ(device->DeviceId(), 0u);
    }
    EXPECT_FALSE(device->Open(testutil::Fixture("cd/missing.cue"), &window));
    EXPECT_FALSE(device->Open(testutil::Fixture("cd/toc_mixed.bin"), &window));
}

TEST_F(CdAudioDevice, PlayFromTrackToNextEndsWithOneSuccessfulNotify)
{
    ASSERT_TRUE(device->Open(testutil::Fixture("cd/three.cue"), &window));
    ASSERT_TRUE(device->SetTimeFormat(TimeFormat::Tmsf));
    // Track 3 (2 s) to the end of the disc, then track 1 up to track 2.
    const std::uint32_t from3 = cdrom::MakeTmsf(3, 0, 0, 0);
    ASSERT_TRUE(device->Play(&from3, nullptr, true));
    int track = 0;
    ASSERT_TRUE(device->CurrentTrack(&track));
    EXPECT_EQ(track, 3);
    ASSERT_TRUE(testutil::WaitUntil([&] { return !window.notices.empty(); }, 10000));
    EXPECT_EQ(window.notices.front().first, cdrom::kNotifySuccessful);
    EXPECT_EQ(window.notices.front().second, static_cast<LPARAM>(device->DeviceId()));

    window.notices.clear();
    const std::uint32_t from1 = cdrom::MakeTmsf(1, 0, 2, 0), to2 = cdrom::MakeTmsf(2, 0, 0, 0);
    ASSERT_TRUE(device->Play(&from1, &to2, true));
    ASSERT_TRUE(testutil::WaitUntil([&] { return !window.notices.empty(); }, 10000));
    Settle();
    ASSERT_EQ(window.notices.size(), 1u);
    EXPECT_EQ(window.notices.front().first, cdrom::kNotifySuccessful);
    // It stopped at the start of track 2, not beyond.
    ASSERT_TRUE(device->SetTimeFormat(TimeFormat::Milliseconds));
    const std::uint32_t at = Position();
    EXPECT_GE(at, 4900u);
    EXPECT_LE(at, 5000u);
}

TEST_F(CdAudioDevice, PauseResumeAndSupersededPlay)
{
    ASSERT_TRUE(device->Open(testutil::Fixture("cd/three.cue"), &window));
    const std::uint32_t from = 2000, to = 9000;
    ASSERT_TRUE(device->Play(&from, &to, true));
    ASSERT_TRUE(testutil::WaitUntil([&] { return Position() > 2300; }, 5000));
    // A pause ends the play's notify as aborted and holds the position.
    ASSERT_TRUE(device->Pause());
    ASSERT_TRUE(testutil::WaitUntil([&] { return !window.notices.empty(); }, 5000));
    EXPECT_EQ(window.notices.back().first, cdrom::kNotifyAborted);
    const std::uint32_t held = Position();
    Settle();
    EXPECT_EQ(Position(), held);
    // Resume from the held position; it moves on from there.
    ASSERT_TRUE(device->Play(nullptr, nullptr, true));
    ASSERT_TRUE(testutil::WaitUntil([&] { return Position() > held + 200; }, 5000));
    EXPECT_LT(Position(), held + 3000);

    // A later play supersedes it: one aborted notice for the first, and the
    // second one's end is its own.
    window.notices.clear();
    const std::uint32_t last = 9500, end = 11000;
    ASSERT_TRUE(device->Play(&last, &end, true));
    ASSERT_TRUE(testutil::WaitUntil([&] { return window.notices.size() >= 2; }, 10000));
    Settle();
    ASSERT_EQ(window.notices.size(), 2u);
    EXPECT_EQ(window.notices[0].first, cdrom::kNotifyAborted);
    EXPECT_EQ(window.notices[1].first, cdrom::kNotifySuccessful);

    // Out of the disc: refused, nothing posted.
    window.notices.clear();
    const std::uint32_t beyond = 12000;
    EXPECT_FALSE(device->Play(&beyond, nullptr, true));
    Settle();
    EXPECT_TRUE(window.notices.empty());
}

TEST_F(CdAudioDevice, CloseWhilePlayingAbortsAndVolumeIsItsOwn)
{
    ASSERT_TRUE(device->Open(testutil::Fixture("cd/two.cue"), &window));
    EXPECT_EQ(device->Volume(), cdrom::kMaxVolume);
    ASSERT_TRUE(device->SetVolume(30000));
    EXPECT_EQ(device->Volume(), 30000);
    ASSERT_TRUE(device->Play(nullptr, nullptr, true));
    ASSERT_TRUE(testutil::WaitUntil([&] { return Position() > 2200; }, 5000));
    ASSERT_TRUE(device->Close());
    ASSERT_TRUE(testutil::WaitUntil([&] { return !window.notices.empty(); }, 5000));
    Settle();
    ASSERT_EQ(window.notices.size(), 1u);
    EXPECT_EQ(window.notices.front().first, cdrom::kNotifyAborted);
    EXPECT_FALSE(device->Play(nullptr, nullptr, true));
    // Open again: full volume.
    ASSERT_TRUE(device->Open(testutil::Fixture("cd/two.cue"), &window));
    EXPECT_EQ(device->Volume(), cdrom::kMaxVolume);
}

}  // namespace
