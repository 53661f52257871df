// CVMR9MIXER against a stand-in of the renderer's picture controls, and the
// preset names of the colour keys, on a registry file of their own.
#include "player/units/Colorpresets.h"
#include "player/units/Reghelp.h"
#include "player/units/Vmr9mixer.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

using namespace media;

namespace {

// Picture controls with ranges the test chooses; a property without a range
// answers E_FAIL for it.
class FakeControls : public PictureControls {
public:
    VMR9ProcAmpControl now{24, ProcAmpControl9_Mask, 0, 100, 0, 100};
    std::map<DWORD, VMR9ProcAmpControlRange> ranges;
    bool failGet = false;
    int sets = 0;
    VMR9NormalizedRect rect{};

    HRESULT GetProcAmpControl(DWORD, VMR9ProcAmpControl* c) override
    {
        if (failGet || c->dwSize != 24) return E_FAIL;
        *c = now;
        return S_OK;
    }
    HRESULT SetProcAmpControl(DWORD, VMR9ProcAmpControl* c) override
    {
        ++sets;
        now = *c;
        return S_OK;
    }
    HRESULT GetProcAmpControlRange(DWORD, VMR9ProcAmpControlRange* r) override
    {
        auto it = ranges.find(r->dwProperty);
        if (it == ranges.end()) return E_FAIL;
        *r = it->second;
        return S_OK;
    }
    HRESULT SetOutputRect(DWORD, const VMR9NormalizedRect* r) override
    {
        rect = *r;
        return S_OK;
    }
};

VMR9ProcAmpControlRange Range(DWORD property, float min, float max, float def, float step)
{
    return {24, property, min, max, def, step};
}

class ColourUnits : public ::testing::Test {
protected:
    testutil::IsolatedHome home;

    static void SetValue(const char* key, const char* name, LONG value)
    {
        const RegKey k = RegKey::Create(HKEY_CURRENT_USER, key, KEY_WRITE);
        ASSERT_TRUE(k);
        RegWriteDword(k.get(), name, static_cast<DWORD>(value));
    }
    static LONG Value(const char* key, const char* name, LONG missing = 12345)
    {
        const RegKey k = RegKey::Open(HKEY_CURRENT_USER, key, KEY_READ);
        if (!k) return missing;
        return static_cast<LONG>(RegReadDword(k.get(), name, static_cast<DWORD>(missing)));
    }
    static void SetString(const char* key, const char* name, const QString& text)
    {
        const RegKey k = RegKey::Create(HKEY_CURRENT_USER, key, KEY_WRITE);
        ASSERT_TRUE(k);
        RegWriteString(k.get(), name, text);
    }
};

TEST_F(ColourUnits, RangesGiveStepsTruncatedTowardZero)
{
    auto fake = std::make_shared<FakeControls>();
    fake->ranges[1] = Range(1, -100, 100, 0, 0.7f);
    fake->ranges[2] = Range(2, 0, 10, 1, 0.25f);
    fake->ranges[4] = Range(4, -180, 180, 0, 1);
    // Saturation: no range at all.
    fake->now = {24, ProcAmpControl9_Mask, -5.0f, 1.1f, -2.9f, 1.0f};
    CVMR9MIXER mixer;
    EXPECT_FALSE(mixer.valid);
    EXPECT_EQ(mixer.ReadRanges(), false);   // nothing attached
    ASSERT_EQ(mixer.Attach(fake), S_OK);
    ASSERT_TRUE(mixer.ReadRanges());
    // -5 / 0.7 = -7.14 -> -7 (toward zero, not -8); 100 / 0.7 = 142.8 -> 142.
    EXPECT_EQ(mixer.value[0], -7);
    EXPECT_EQ(mixer.max[0], 142);
    EXPECT_EQ(mixer.min[0], -142);
    EXPECT_EQ(mixer.value[1], 4);   // 1.1 / 0.25 = 4.4
    EXPECT_EQ(mixer.value[2], -2);  // -2.9 -> -2
    EXPECT_TRUE(mixer.hasRange[2]);
    EXPECT_FALSE(mixer.hasRange[3]);
    EXPECT_EQ(mixer.value[3], 0);
    EXPECT_EQ(mixer.step[3], 0.0f);

    // Without an attached object, or when the values cannot be read, the
    // earlier answer stands.
    fake->failGet = true;
    EXPECT_TRUE(mixer.ReadRanges());
    CVMR9MIXER fresh;
    fresh.Attach(fake);
    EXPECT_FALSE(fresh.ReadRanges());
    EXPECT_FALSE(fresh.LoadSettings(QString::fromLatin1(kColorVmr9Key)));
}

TEST_F(ColourUnits, LoadSettingsSkipsUnstoredAndRangelessValuesAndLimitsTheRest)
{
    auto fake = std::make_shared<FakeControls>();
    fake->ranges[1] = Range(1, -100, 100, 0, 1);
    fake->ranges[2] = Range(2, 0, 200, 100, 2);
    fake->ranges[4] = Range(4, -180, 180, 0, 0);   // a zero step: no steps
    fake->ranges[8] = Range(8, 0, 200, 100, 1);
    CVMR9MIXER mixer;
    mixer.Attach(fake);
    ASSERT_TRUE(mixer.ReadRanges());
    EXPECT_FALSE(mixer.hasRange[2]);

    const char* preset = "Software\\Bruvo\\ZoDVD\\Color\\VMR9\\warm";
    EXPECT_FALSE(mixer.LoadSettings(QString::fromLatin1(preset)));   // no such key
    SetValue(preset, "Brightness", 500);      // beyond the range: 100
    SetValue(preset, "Contrast", -1000);      // not stored
    SetValue(preset, "Hue", 30);              // no usable step: left alone
    SetValue(preset, "Saturation", 0);
    ASSERT_TRUE(mixer.LoadSettings(QString::fromLatin1(preset)));
    EXPECT_FLOAT_EQ(fake->now.Brightness, 100.0f);
    EXPECT_FLOAT_EQ(fake->now.Contrast, 100.0f);
    EXPECT_FLOAT_EQ(fake->now.Hue, 0.0f);
    EXPECT_FLOAT_EQ(fake->now.Saturation, 0.0f);
    EXPECT_TRUE(mixer.changed);
    EXPECT_EQ(mixer.value[0], 100);
    EXPECT_EQ(mixer.value[1], 50);   // 100 / 2
    EXPECT_EQ(mixer.value[3], 0);

    // A stored contrast counts in steps of 2.
    SetValue(preset, "Contrast", 30);
    ASSERT_TRUE(mixer.LoadSettings(QString::fromLatin1(preset)));
    EXPECT_FLOAT_EQ(fake->now.Contrast, 60.0f);

    // Flip modes as output rectangles; others are refused.
    EXPECT_EQ(mixer.SetFlip(2), S_OK);
    EXPECT_EQ(fake->rect.left, 1.0f);
    EXPECT_EQ(fake->rect.right, 0.0f);
    EXPECT_EQ(fake->rect.top, 0.0f);
    EXPECT_EQ(mixer.SetFlip(3), S_OK);
    EXPECT_EQ(fake->rect.top, 1.0f);
    EXPECT_EQ(mixer.SetFlip(4), E_INVALIDARG);
    CVMR9MIXER detached;
    EXPECT_EQ(detached.SetFlip(0), E_FAIL);
}

TEST_F(ColourUnits, DestructorStoresChangedStepsOnly)
{
    auto fake = std::make_shared<FakeControls>();
    fake->ranges[1] = Range(1, -100, 100, 0, 1);
    fake->ranges[8] = Range(8, 0, 200, 100, 1);
    {
        // Read but never changed: nothing is written.
        CVMR9MIXER mixer;
        mixer.Attach(fake);
        mixer.ReadRanges();
    }
    EXPECT_FALSE(RegKey::Open(HKEY_CURRENT_USER, kColorVmr9Key, KEY_READ));
    {
        CVMR9MIXER mixer;
        mixer.Attach(fake);
        mixer.ReadRanges();
        VMR9ProcAmpControl c = mixer.current;
        c.Brightness = -12.6f;
        c.Saturation = 150;
        ASSERT_EQ(mixer.ApplyProcAmp(c), S_OK);
    }
    EXPECT_EQ(Value(kColorVmr9Key, "Brightness"), -12);
    EXPECT_EQ(Value(kColorVmr9Key, "Saturation"), 150);
    // Properties without a range have no steps to store.
    EXPECT_EQ(Value(kColorVmr9Key, "Contrast"), 12345);
    EXPECT_EQ(Value(kColorVmr9Key, "Hue"), 12345);
}

TEST_F(ColourUnits, SetNamesShortcutsAndOverlayValues)
{
    EXPECT_EQ(SplitPresetNames("a;;b;"), QStringList({"a", "b"}));
    EXPECT_EQ(SplitPresetNames("a;b"), QStringList({"a"}));
    EXPECT_EQ(SplitPresetNames(""), QStringList());
    EXPECT_EQ(SplitPresetNames("明るい;暗い;"), QStringList({"明るい", "暗い"}));

    EXPECT_EQ(ReadPresetSetNames(kColorOverlayKey), QString());
    SetString(kColorOverlayKey, "SetNames", "");   // one byte: its zero
    EXPECT_EQ(ReadPresetSetNames(kColorOverlayKey), QString());
    SetString(kColorOverlayKey, "SetNames", "x");
    EXPECT_EQ(ReadPresetSetNames(kColorOverlayKey), "x");
    SetString(kColorOverlayKey, "SetNames", "vivid;grey;");
    EXPECT_EQ(ReadPresetSetNames(kColorOverlayKey), "vivid;grey;");

    EXPECT_EQ(ReadPresetShortcuts(), (std::array<DWORD, 5>{}));
    SetValue(kShortcutKeyKey, "Color1", 0x4031);
    SetValue(kShortcutKeyKey, "Color3", 0x33);
    EXPECT_EQ(ReadPresetShortcuts(), (std::array<DWORD, 5>{0x4031, 0, 0x33, 0, 0}));

    EXPECT_TRUE(IsPresetName("grey"));
    EXPECT_FALSE(IsPresetName(""));
    EXPECT_FALSE(IsPresetName("a\\b"));

    // Defaults for what is not stored; stored values limited to the ranges.
    const char* grey = "Software\\Bruvo\\ZoDVD\\Color\\Overlay\\grey";
    ColorValues v;
    EXPECT_FALSE(ReadOverlayValues(QString::fromLatin1(grey), &v));
    SetValue(grey, "Saturation", 0);
    SetValue(grey, "Contrast", 99999);
    SetValue(grey, "Hue", -1000);
    SetValue(grey, "Gamma", 0);
    ASSERT_TRUE(ReadOverlayValues(QString::fromLatin1(grey), &v));
    EXPECT_EQ(v.saturation, 0);
    EXPECT_EQ(v.contrast, 20000);
    EXPECT_EQ(v.hue, -180);
    EXPECT_EQ(v.gamma, 1);
    EXPECT_EQ(v.brightness, 750);
    EXPECT_EQ(v.sharpness, 5);
    // Written to existing keys only.
    EXPECT_FALSE(WriteOverlayValues("Software\\Bruvo\\ZoDVD\\Color\\Nowhere", v));
    ASSERT_TRUE(WriteOverlayValues(kColorOverlayKey, v));
    EXPECT_EQ(Value(kColorOverlayKey, "Hue"), -180);
    EXPECT_EQ(Value(kColorOverlayKey, "Contrast"), 20000);
}

}  // namespace
