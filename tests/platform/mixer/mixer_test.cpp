// The player's mixer object over a recording device: which lines it finds,
// how it limits and sets them, and that it puts back only what it set, once.
#include "platform/mixer/fake.h"
#include "platform/registry/registry.h"
#include "player/units/Audiomixer.h"
#include "common/Reghelp.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

using Writes = std::vector<std::pair<std::string, long>>;

namespace {

// A CD device's volume, as the CD player gives it.
class CdVolume : public CdVolumeControl {
public:
    bool GetVolume(long* value) const override
    {
        *value = level;
        return true;
    }
    bool SetVolume(long value) override
    {
        level = value;
        ++sets;
        return true;
    }
    long level = 50000;
    int sets = 0;
};

struct Made {
    std::unique_ptr<CAudioMixer> mixer;
    std::shared_ptr<Writes> writes;
};

Made Make(std::map<std::string, long> elements, CdVolumeControl* cd = nullptr, DWORD device = 0)
{
    auto backend = std::make_unique<mixer::RecordingBackend>();
    backend->elements = std::move(elements);
    Made m;
    m.writes = backend->writes;
    m.mixer = std::make_unique<CAudioMixer>(std::move(backend), device, cd);
    return m;
}

}  // namespace

TEST(AudioMixer, FindsItsLinesAndFallsBackToMasterForWave)
{
    const struct {
        std::map<std::string, long> elements;
        bool master, wave, synth;
        long waveLevel;
    } cases[] = {
        {{{"Master", 1000}, {"PCM", 2000}, {"Synth", 3000}}, true, true, true, 2000},
        {{{"Master", 1000}}, true, true, false, 1000},
        {{{"PCM", 2000}}, false, true, false, 2000},
        {{{"Headphone", 5}}, false, false, false, 0},
    };
    for (const auto& c : cases) {
        const Made m = Make(c.elements);
        EXPECT_TRUE(m.mixer->Ready());
        EXPECT_EQ(m.mixer->Found(CAudioMixer::Master), c.master);
        EXPECT_EQ(m.mixer->Found(CAudioMixer::Wave), c.wave);
        EXPECT_EQ(m.mixer->Found(CAudioMixer::Synthesizer), c.synth);
        EXPECT_FALSE(m.mixer->Found(CAudioMixer::CompactDisc));
        EXPECT_EQ(m.mixer->Current(CAudioMixer::Wave), c.waveLevel);
        // A missing line is never written.
        m.mixer->SetVolume(CAudioMixer::Synthesizer, 7);
        EXPECT_EQ(m.writes->size(), c.synth ? 1u : 0u);
    }
}

TEST(AudioMixer, SetsWithinRangeAndRestoresOnlyWhatItSetOnce)
{
    CdVolume cd;
    Made m = Make({{"Master", 40000}, {"PCM", 30000}}, &cd);
    ASSERT_TRUE(m.mixer->Found(CAudioMixer::CompactDisc));
    m.mixer->SetVolume(CAudioMixer::Wave, 70000);
    m.mixer->SetVolume(CAudioMixer::Wave, -5);
    m.mixer->SetVolume(CAudioMixer::CompactDisc, 1234);
    EXPECT_EQ(*m.writes, (Writes{{"PCM", 65535}, {"PCM", 0}}));
    EXPECT_EQ(cd.level, 1234);
    // Master was never set: the user's level stays.
    m.mixer->RestoreVolume();
    EXPECT_EQ(*m.writes, (Writes{{"PCM", 65535}, {"PCM", 0}, {"PCM", 30000}}));
    EXPECT_EQ(cd.level, 50000);
    m.mixer->RestoreVolume();
    m.mixer->RestoreVolume(CAudioMixer::Wave);
    EXPECT_EQ(m.writes->size(), 3u);
    EXPECT_EQ(cd.sets, 2);
}

TEST(AudioMixer, WithoutADeviceNothingHappens)
{
    for (DWORD device : {1u, 99u}) {
        Made m = Make({{"Master", 1000}, {"PCM", 2000}}, nullptr, device);
        EXPECT_FALSE(m.mixer->Ready());
        m.mixer->SetVolume(CAudioMixer::Wave, 100);
        m.mixer->RestoreVolume();
        EXPECT_TRUE(m.writes->empty());
    }
    CAudioMixer none(mixer::NullBackend(), 0);
    EXPECT_FALSE(none.Ready());
    none.SetVolume(CAudioMixer::Master, 100);
    EXPECT_FALSE(none.Found(CAudioMixer::Master));
}

TEST(AudioMixer, VolumeCurveAndRanges)
{
    // The formula at its ends and between (50 gives -602, truncated).
    EXPECT_EQ(VolumeLevel(-3), -10000);
    EXPECT_EQ(VolumeLevel(1), -3999);
    EXPECT_EQ(VolumeLevel(50), -602);
    EXPECT_EQ(VolumeLevel(99), -8);
    EXPECT_EQ(VolumeLevel(250), 0);
    // 0..65535 spread over an element's range and back, rounded.
    EXPECT_EQ(mixer::ToRange(0, -60, 0), -60);
    EXPECT_EQ(mixer::ToRange(65535, -60, 0), 0);
    EXPECT_EQ(mixer::ToRange(32768, 0, 87), 44);
    EXPECT_EQ(mixer::ToRange(99999, 0, 31), 31);
    EXPECT_EQ(mixer::FromRange(44, 0, 87), 33144);
    EXPECT_EQ(mixer::FromRange(5, 5, 5), 0);
}

TEST(AudioMixer, SoundCardMixerReadsItsDeviceFromTheSettings)
{
    testutil::IsolatedHome home;
    {
        const RegKey key = RegKey::Create(HKEY_CURRENT_USER, kMainKey, KEY_ALL_ACCESS);
        ASSERT_TRUE(key);
        RegWriteDword(key.get(), "MixerDevice", 9999);
    }
    // No such device: not ready, and nothing fails.
    const auto card = CAudioMixer::ForSoundCard();
    EXPECT_FALSE(card->Ready());
    card->SetVolume(CAudioMixer::Wave, 100);
    card->RestoreVolume();
}

// The sound card's own mixer moves the wave line and puts it back. It turns
// the machine's real volume for a moment, so it runs only when asked.
TEST(AlsaMixer, MovesTheWaveLineAndPutsItBack)
{
    if (qEnvironmentVariableIsEmpty("ZORAVEL_TEST_REAL_MIXER")) GTEST_SKIP() << "ZORAVEL_TEST_REAL_MIXER not set";
    auto probe = mixer::AlsaBackend();
    CAudioMixer card(mixer::AlsaBackend(), 0);
    if (!card.Ready() || !card.Found(CAudioMixer::Wave)) GTEST_SKIP() << "no sound card with a wave line";
    const long before = card.Current(CAudioMixer::Wave);
    const long moved = before > 32768 ? 16384 : 49152;
    card.SetVolume(CAudioMixer::Wave, moved);
    long now = -1;
    ASSERT_TRUE(probe->ReadVolume(0, "PCM", &now) || probe->ReadVolume(0, "Master", &now));
    EXPECT_NEAR(now, moved, 2000);
    card.RestoreVolume();
    ASSERT_TRUE(probe->ReadVolume(0, "PCM", &now) || probe->ReadVolume(0, "Master", &now));
    EXPECT_NEAR(now, before, 1100);
}
