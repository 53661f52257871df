// Karaoke mixing: five channels of known levels through the real mixer while
// modes change between buffers, and the karaoke disc through the navigator.
#include "platform/dvd/karaoke.h"
#include "platform/dvd/player.h"
#include "support/test_util.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>

#include <QFileInfo>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>

using namespace dvd;

namespace {

constexpr std::array<float, 5> kLevels = {0.1f, 0.2f, 0.3f, 0.05f, 0.25f};   // L, R, centre, rear L, rear R

class KaraokeMix : public ::testing::Test {
protected:
    void SetUp() override
    {
        gst_init(nullptr, nullptr);
        pipeline = gst_parse_launch("appsrc name=src format=time caps=audio/x-raw,format=F32LE,layout=interleaved,"
                                    "rate=48000,channels=5,channel-mask=(bitmask)0x37 ! "
                                    "audiomixmatrix name=mix mode=first-channels ! appsink name=out sync=false",
                                    nullptr);
        ASSERT_NE(pipeline, nullptr);
        src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
        sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
        g_autoptr(GstElement) mix = gst_bin_get_by_name(GST_BIN(pipeline), "mix");
        mixer = std::make_unique<KaraokeMixer>(mix);
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
    }
    void TearDown() override
    {
        mixer.reset();
        if (pipeline) gst_element_set_state(pipeline, GST_STATE_NULL);
        if (src) gst_object_unref(src);
        if (sink) gst_object_unref(sink);
        if (pipeline) gst_object_unref(pipeline);
    }
    // One buffer of ten frames through the mixer; the first frame that comes out.
    std::array<float, 5> Mix()
    {
        GstBuffer* buffer = gst_buffer_new_allocate(nullptr, 10 * sizeof(kLevels), nullptr);
        GstMapInfo map;
        gst_buffer_map(buffer, &map, GST_MAP_WRITE);
        for (int frame = 0; frame < 10; ++frame) memcpy(map.data + frame * sizeof(kLevels), kLevels.data(), sizeof(kLevels));
        gst_buffer_unmap(buffer, &map);
        GST_BUFFER_PTS(buffer) = pts;
        GST_BUFFER_DURATION(buffer) = 10 * GST_SECOND / 48000;
        pts += GST_BUFFER_DURATION(buffer);
        std::array<float, 5> out{};
        out.fill(-1);
        if (gst_app_src_push_buffer(GST_APP_SRC(src), buffer) != GST_FLOW_OK) return out;
        g_autoptr(GstSample) sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 5 * GST_SECOND);
        if (!sample) return out;
        GstBuffer* mixed = gst_sample_get_buffer(sample);
        if (gst_buffer_get_size(mixed) < sizeof(out)) return out;
        gst_buffer_extract(mixed, 0, out.data(), sizeof(out));
        return out;
    }

    GstElement* pipeline = nullptr;
    GstElement* src = nullptr;
    GstElement* sink = nullptr;
    std::unique_ptr<KaraokeMixer> mixer;
    GstClockTime pts = 0;
};

void ExpectLevels(const std::array<float, 5>& got, const std::array<float, 5>& want, const char* what)
{
    for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-5) << what << ", channel " << i;
}

}   // namespace

TEST_F(KaraokeMix, ModesMoveTheAuxiliaryChannelsBetweenBuffersAndResetPassesThemOn)
{
    ExpectLevels(Mix(), kLevels, "before any mode");
    // The guide channel 3 into both speakers: each speaker shares it with its own channel.
    mixer->SetMode(KARAOKE_MIX_3_LEFT | KARAOKE_MIX_3_RIGHT);
    ExpectLevels(Mix(), {(0.1f + 0.05f) / 2, (0.2f + 0.05f) / 2, 0, 0, 0}, "channel 3 to both");
    // Channel 2 left, channel 4 right; the reserved bits change nothing.
    mixer->SetMode(KARAOKE_MIX_2_LEFT | KARAOKE_MIX_4_RIGHT | 0x2020);
    ExpectLevels(Mix(), {(0.1f + 0.3f) / 2, (0.2f + 0.25f) / 2, 0, 0, 0}, "2 left, 4 right");
    // Only the reserved bits: the plain stereo, the auxiliary channels silent.
    mixer->SetMode(0x2020);
    ExpectLevels(Mix(), {0.1f, 0.2f, 0, 0, 0}, "no auxiliary channel");
    mixer->Reset();
    ExpectLevels(Mix(), kLevels, "after a reset");
}

TEST(KaraokeMatrix, FollowsPositionsAndLeavesAStereoStreamAlone)
{
    // A 5.1 stream whose surround channels come after the LFE.
    const GstAudioChannelPosition positions[6] = {
        GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT,   GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT,
        GST_AUDIO_CHANNEL_POSITION_FRONT_CENTER, GST_AUDIO_CHANNEL_POSITION_LFE1,
        GST_AUDIO_CHANNEL_POSITION_SIDE_LEFT,    GST_AUDIO_CHANNEL_POSITION_SIDE_RIGHT};
    const auto m = KaraokeMatrix(KARAOKE_MIX_4_LEFT, 6, positions);
    EXPECT_DOUBLE_EQ(m[0][5], 0.5);   // channel 4 is the right side channel
    EXPECT_DOUBLE_EQ(m[0][0], 0.5);
    EXPECT_DOUBLE_EQ(m[3][3], 1.0);   // the LFE stays
    EXPECT_DOUBLE_EQ(m[5][5], 0.0);
    const auto stereo = KaraokeMatrix(KARAOKE_MIX_2_LEFT | KARAOKE_MIX_2_RIGHT, 2, nullptr);
    EXPECT_EQ(stereo, (std::vector<std::vector<double>>{{1, 0}, {0, 1}}));
}

TEST(KaraokeDisc, OnlyAKaraokeStreamInATitleTakesAModeAndPlaysOn)
{
    qputenv("ZORAVEL_AUDIO_SINK", "fakesink");
    if (!QFileInfo::exists(testutil::Fixture("dvd_karaoke"))) GTEST_SKIP() << "fixtures not made";
    std::unique_ptr<DvdPlayer> player;
    DvdPlayer::ManualOptions options;
    options.path = testutil::Fixture("dvd_karaoke");
    ASSERT_EQ(DvdPlayer::CreateManual(options, &player), S_OK);
    ASSERT_EQ(player->Run(), S_OK);
    Location at;
    ASSERT_TRUE(testutil::WaitUntil([&] { return player->GetCurrentLocation(&at) == S_OK && at.title == 1; }, 10000));
    AudioAttributes audio;
    ASSERT_EQ(player->GetAudioAttributes(0, &audio), S_OK);
    EXPECT_TRUE(audio.karaoke);
    EXPECT_EQ(audio.karaokeContents[0], 1);    // guide vocal 1
    EXPECT_EQ(audio.karaokeContents[1], 16);   // guide melody A
    EXPECT_EQ(audio.karaokeContents[2], 128);  // sound effect B
    DWORD uops = 0;
    ASSERT_TRUE(testutil::WaitUntil([&] {
        return player->GetCurrentUOPS(&uops) == S_OK && !(uops & UOP_FLAG_Select_Karaoke_Audio_Presentation_Mode);
    }));
    ASSERT_EQ(player->SelectKaraokeAudioPresentationMode(KARAOKE_MIX_3_LEFT | KARAOKE_MIX_3_RIGHT), S_OK);
    // The sound chain goes on: the title plays to its end with the mode applied.
    ASSERT_TRUE(testutil::WaitUntil([&] { return player->GetCurrentLocation(&at) == S_OK && at.time.seconds >= 3; }, 8000));
    player.reset();

    options.path = testutil::Fixture("dvd_titles");
    ASSERT_EQ(DvdPlayer::CreateManual(options, &player), S_OK);
    ASSERT_EQ(player->Run(), S_OK);
    ASSERT_TRUE(testutil::WaitUntil([&] { return player->GetCurrentLocation(&at) == S_OK && at.title == 1; }, 10000));
    player->GetCurrentUOPS(&uops);
    EXPECT_TRUE(uops & UOP_FLAG_Select_Karaoke_Audio_Presentation_Mode);
    EXPECT_EQ(player->SelectKaraokeAudioPresentationMode(KARAOKE_MIX_3_LEFT), VFW_E_DVD_OPERATION_INHIBITED);
}
