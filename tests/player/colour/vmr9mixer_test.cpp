// CVMR9MIXER against a stand-in of the renderer's picture controls, and the
// `SetNames` boundary, on a registry file of their own.
#include "player/units/Colorpresets.h"
#include "common/Reghelp.h"
#include "player/units/Vmr9mixer.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

using namespace media;

namespace {

// Picture controls with the ranges a test chooses; a property without one
// answers E_FAIL for it.
struct FakeControls : PictureControls {
    VMR9ProcAmpControl now{24, ProcAmpControl9_Mask, -5.0f, 1.1f, -2.9f, 100.0f};
    std::map<DWORD, VMR9ProcAmpControlRange> ranges;
    VMR9NormalizedRect rect{};
    HRESULT GetProcAmpControl(DWORD, VMR9ProcAmpControl* c) override { return *c = now, S_OK; }
    HRESULT SetProcAmpControl(DWORD, VMR9ProcAmpControl* c) override { return now = *c, S_OK; }
    HRESULT GetProcAmpControlRange(DWORD, VMR9ProcAmpControlRange* r) override
    {
        const auto it = ranges.find(r->dwProperty);
        return it == ranges.end() ? E_FAIL : (*r = it->second, S_OK);
    }
    HRESULT SetOutputRect(DWORD, const VMR9NormalizedRect* r) override { return rect = *r, S_OK; }
};

void SetValue(const char* key, const char* name, LONG value)
{
    const RegKey k = RegKey::Create(HKEY_CURRENT_USER, key, KEY_WRITE);
    RegWriteDword(k.get(), name, static_cast<DWORD>(value));
}

LONG Value(const char* key, const char* name)
{
    const RegKey k = RegKey::Open(HKEY_CURRENT_USER, key, KEY_READ);
    return k ? static_cast<LONG>(RegReadDword(k.get(), name, 12345)) : 12345;
}

TEST(Vmr9Mixer, StepsRangesStoredValuesAndTheDestructorsWrites)
{
    testutil::IsolatedHome home;
    auto fake = std::make_shared<FakeControls>();
    fake->ranges[1] = {24, 1, -100, 100, 0, 0.7f};
    fake->ranges[2] = {24, 2, 0, 10, 1, 0.25f};
    fake->ranges[4] = {24, 4, -180, 180, 0, 0};   // a zero step: no steps
    // Saturation: no range at all.
    {
        CVMR9MIXER mixer;
        EXPECT_FALSE(mixer.ReadRanges());   // nothing attached
        EXPECT_EQ(mixer.SetFlip(0), E_FAIL);
        ASSERT_EQ(mixer.Attach(fake), S_OK);
        ASSERT_TRUE(mixer.ReadRanges());
        // Truncated toward zero: -5 / 0.7 = -7.1 -> -7, 100 / 0.7 -> 142.
        EXPECT_EQ(mixer.value[0], -7);
        EXPECT_EQ(mixer.max[0], 142);
        EXPECT_EQ(mixer.min[0], -142);
        EXPECT_EQ(mixer.value[1], 4);   // 1.1 / 0.25 = 4.4
        EXPECT_FALSE(mixer.hasRange[2]);
        EXPECT_FALSE(mixer.hasRange[3]);
        EXPECT_EQ(mixer.value[3], 0);

        const char* preset = "Software\\Bruvo\\ZoDVD\\Color\\VMR9\\warm";
        EXPECT_FALSE(mixer.LoadSettings(QString::fromLatin1(preset)));   // no such key
        SetValue(preset, "Brightness", 500);   // beyond the range: 142 steps
        SetValue(preset, "Contrast", -1000);   // not stored
        SetValue(preset, "Hue", 30);           // no usable step: left alone
        SetValue(preset, "Saturation", 0);     // no range: left alone
        ASSERT_TRUE(mixer.LoadSettings(QString::fromLatin1(preset)));
        EXPECT_FLOAT_EQ(fake->now.Brightness, 142 * 0.7f);
        EXPECT_FLOAT_EQ(fake->now.Contrast, 1.1f);
        EXPECT_FLOAT_EQ(fake->now.Hue, -2.9f);
        EXPECT_FLOAT_EQ(fake->now.Saturation, 100.0f);
        EXPECT_EQ(mixer.value[0], 142);

        EXPECT_EQ(mixer.SetFlip(2), S_OK);
        EXPECT_EQ(fake->rect.left, 1.0f);
        EXPECT_EQ(fake->rect.top, 0.0f);
        EXPECT_EQ(mixer.SetFlip(4), E_INVALIDARG);
    }
    // Written as it went: only properties with steps.
    EXPECT_EQ(Value(kColorVmr9Key, "Brightness"), 142);
    EXPECT_EQ(Value(kColorVmr9Key, "Contrast"), 4);
    EXPECT_EQ(Value(kColorVmr9Key, "Hue"), 12345);
    EXPECT_EQ(Value(kColorVmr9Key, "Saturation"), 12345);

    // Read but never changed: nothing is written.
    SetValue(kColorVmr9Key, "Brightness", 7);
    {
        CVMR9MIXER mixer;
        mixer.Attach(fake);
        mixer.ReadRanges();
    }
    EXPECT_EQ(Value(kColorVmr9Key, "Brightness"), 7);
}

TEST(ColourPresets, SetNamesIsReadFromTwoBytesOnAndPresetNamesNameOneKey)
{
    testutil::IsolatedHome home;
    EXPECT_EQ(ReadPresetSetNames(kColorOverlayKey), QString());
    const RegKey k = RegKey::Create(HKEY_CURRENT_USER, kColorOverlayKey, KEY_WRITE);
    RegWriteString(k.get(), "SetNames", "");   // one byte: its zero
    EXPECT_EQ(ReadPresetSetNames(kColorOverlayKey), QString());
    RegWriteString(k.get(), "SetNames", "x");
    EXPECT_EQ(ReadPresetSetNames(kColorOverlayKey), "x");
    EXPECT_EQ(SplitPresetNames("明るい;暗い"), QStringList({"明るい"}));
    EXPECT_FALSE(IsPresetName(""));
    EXPECT_FALSE(IsPresetName("a\\b"));
    // Written to existing keys only.
    EXPECT_FALSE(WriteOverlayValues("Software\\Bruvo\\ZoDVD\\Color\\Nowhere", ColorValues()));
}

}  // namespace
