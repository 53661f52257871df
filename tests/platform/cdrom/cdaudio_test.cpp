// The CD-audio device on the fixture disc images, into a silent sink that
// keeps time: the table of contents, positions, and the notify each play
// ends with.
#include "platform/cdrom/cdaudio.h"
#include "platform/cdrom/imagesrc.h"
#include "support/test_util.h"

#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QtEndian>

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

// An image of three WAVE files, one per track, each of one constant sample,
// with a PREGAP before track 2 and track 3's pre-gap at the end of file 2:
// the sound at every track's start is that track's, the gap is silence, and
// a play from track 1 runs through each track to its end.
TEST_F(CdAudioDevice, ImageSoundFollowsItsTable)
{
    testutil::IsolatedHome home;
    auto wave = [](double seconds, qint16 value) {
        const int samples = static_cast<int>(seconds * 75) * 588;
        QByteArray pcm(samples * 4, Qt::Uninitialized);
        for (int i = 0; i < samples * 2; ++i) qToLittleEndian(value, pcm.data() + i * 2);
        QByteArray head("RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0data\0\0\0\0", 44);
        qToLittleEndian(static_cast<quint32>(36 + pcm.size()), head.data() + 4);
        qToLittleEndian(static_cast<quint32>(pcm.size()), head.data() + 40);
        return head + pcm;
    };
    ASSERT_TRUE(testutil::WriteFile(home.File("track one.wav"), wave(1, 1000)));
    ASSERT_TRUE(testutil::WriteFile(home.File("02.wav"), wave(1.2, 2000)));
    ASSERT_TRUE(testutil::WriteFile(home.File("03.wav"), wave(0.8, 3000)));
    const QString sheet = home.File("waves.cue");
    ASSERT_TRUE(testutil::WriteFile(sheet, "FILE \"track one.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                           "FILE 02.wav WAVE\n  TRACK 02 AUDIO\n    PREGAP 00:00:30\n"
                                           "    INDEX 01 00:00:00\n  TRACK 03 AUDIO\n    INDEX 00 00:01:00\n"
                                           "FILE 03.wav WAVE\n    INDEX 01 00:00:00\n"));
    cdrom::DiscImage image;
    ASSERT_TRUE(cdrom::LoadDiscImage(sheet, &image));
    // Track 1 at 150, the 30-frame gap, track 2 at 255, track 3 (its pre-gap
    // the last 15 frames of 02.wav) at 345, the lead-out at 405.
    std::vector<int> starts;
    for (const cdrom::DiscTrack& t : image.layout.tracks) starts.push_back(t.start);
    EXPECT_EQ(starts, (std::vector<int>{150, 255, 345}));
    EXPECT_EQ(image.layout.leadOut, 405);

    // The whole stream of our source, pulled without a clock.
    GstElement* pipeline = gst_pipeline_new(nullptr);
    GstElement* source = cdrom::CreateImageSource(image, 150);
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    ASSERT_NE(sink, nullptr);
    g_object_set(sink, "sync", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline), source, sink, nullptr);
    ASSERT_TRUE(gst_element_link(source, sink));
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    QByteArray sound;
    while (GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink))) {
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            sound.append(reinterpret_cast<const char*>(map.data), static_cast<qsizetype>(map.size));
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    ASSERT_EQ(sound.size(), (405 - 150) * 2352);
    auto at = [&](int frame) { return qFromLittleEndian<qint16>(sound.constData() + (frame - 150) * 2352); };
    auto before = [&](int frame) { return qFromLittleEndian<qint16>(sound.constData() + (frame - 150) * 2352 - 2); };
    EXPECT_EQ(at(150), 1000);
    EXPECT_EQ(before(225), 1000);
    EXPECT_EQ(at(225), 0);      // the PREGAP
    EXPECT_EQ(before(255), 0);
    EXPECT_EQ(at(255), 2000);
    EXPECT_EQ(at(330), 2000);   // track 3's pre-gap, from 02.wav
    EXPECT_EQ(at(345), 3000);
    EXPECT_EQ(before(405), 3000);

    // The device plays it through, track after track.
    ASSERT_TRUE(device->Open(sheet, &window));
    int count = 0;
    ASSERT_TRUE(device->TrackCount(&count));
    ASSERT_EQ(count, 3);
    ASSERT_TRUE(device->SetTimeFormat(TimeFormat::Tmsf));
    const std::uint32_t from = cdrom::MakeTmsf(1, 0, 0, 0);
    ASSERT_TRUE(device->Play(&from, nullptr, true));
    std::vector<int> heard;
    ASSERT_TRUE(testutil::WaitUntil(
        [&] {
            int track = 0;
            if (device->CurrentTrack(&track) && (heard.empty() || heard.back() != track)) heard.push_back(track);
            return !window.notices.empty();
        },
        10000));
    EXPECT_EQ(window.notices.front().first, cdrom::kNotifySuccessful);
    EXPECT_EQ(heard, (std::vector<int>{1, 2, 3}));
    // The sheet's files gone: no disc.
    ASSERT_TRUE(device->Close());
    ASSERT_TRUE(QFile::remove(home.File("03.wav")));
    EXPECT_FALSE(device->Open(sheet, &window));
}
