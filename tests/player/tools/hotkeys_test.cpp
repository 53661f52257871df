// The key and mouse assignments without a window: the rows as loaded, the
// key texts, the conflict rule, the gestures the held commands take, the
// profile round trip and what OK stores.
#include "common/Reghelp.h"
#include "platform/keys/keys.h"
#include "platform/profile/profile.h"
#include "player/tools/HotKeys.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

std::optional<DWORD> Value(const char* keyPath, const char* name)
{
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, keyPath, KEY_READ);
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!key || RegQueryValueEx(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
                    ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

void SetValue(const char* keyPath, const char* name, DWORD value)
{
    const RegKey key = RegKey::Create(HKEY_CURRENT_USER, keyPath, KEY_WRITE);
    ASSERT_TRUE(key);
    RegWriteDword(key.get(), name, value);
}

DWORD ValueCount(const char* keyPath)
{
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, keyPath, KEY_READ);
    DWORD subKeys = 0, values = 0;
    if (key) RegQueryInfoKey(key.get(), &subKeys, &values);
    return values;
}

class HotKeysTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The main window made `Main` when it started.
        RegKey::Create(HKEY_CURRENT_USER, kMainKey, KEY_WRITE);
    }
    const THotKeyRow& Row(int command) const { return keys.Row(keys.RowOf(command)); }
    void Assign(int command, WORD code)
    {
        keys.Select(keys.RowOf(command));
        keys.CaptureKey(code);
        keys.Change();
    }

    testutil::IsolatedHome home;
    THotKeys keys;
};

TEST_F(HotKeysTest, RowsLoadFromTheStoredKeysAndBothGestureSets)
{
    SetValue(kShortcutKeyKey, "Open", keys::kCtrlBit | keys::kShiftBit | 116);
    SetValue(kShortcutKeyKey, "Stop", 0);
    SetValue(kMainKey, "MouseMiddle", 9);
    SetValue(kMainKey, "DVDMouseMiddle", 44);
    SetValue(kMainKey, "DVDWheelUp", 2);
    SetValue(kMainKey, "UseArrowKeyInMenu", 0);
    EXPECT_FALSE(keys.Load());

    ASSERT_EQ(keys.Count(), 65);
    // The size-ratio aspect stands with the other aspects.
    EXPECT_EQ(keys.Row(22).Command->Number, 66);

    struct Expect {
        int command;
        const char* key;
        const char* mouse;
        char group;
    };
    const Expect expected[] = {
        {0, "Ctrl+Shift+F5", "", 0},   // stored
        {2, "", "WU", 0},               // stored as none; the DVD wheel up runs it
        {9, "Right", "M", '-'},         // the file set's middle button
        {11, "--", "WD", '-'},
        {12, "--", "WU", '-'},          // no DVD binding replaces the file set's
        {30, "F10", "--", 0},
        {44, "Right", "M", '+'},
        {66, "Ctrl+F6", "", '-'},
    };
    for (const Expect& e : expected) {
        EXPECT_EQ(Row(e.command).Key, QString::fromUtf8(e.key)) << e.command;
        EXPECT_EQ(Row(e.command).Mouse, QString::fromUtf8(e.mouse)) << e.command;
        EXPECT_EQ(Row(e.command).Group, e.group) << e.command;
    }
}

TEST(HotKeyText, KeypadKeysAndLoneModifiers)
{
    const struct {
        WORD code;
        bool importing;
        const char* text;
    } cases[] = {
        {96, false, "Num 0"},       {101, false, "Num 5"},         {111, false, "Num /"},
        {keys::kShiftBit | 101, false, "Shift+5"}, {'5', false, "5"},
        {12, false, "Num 5 (Unlocked)"}, {12, true, "Num 5"},      {keys::kCtrlBit | 12, false, "Ctrl+Num 5"},
        {keys::kCtrlBit, false, "Ctrl+"}, {keys::kCtrlBit | keys::kShiftBit | keys::kAltBit, false, "Ctrl+Shift+Alt+"},
        {keys::kCtrlBit | keys::kShiftBit | 116, false, "Ctrl+Shift+F5"}, {0, false, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(HotKeyText(c.code, c.importing), QString::fromUtf8(c.text)) << c.code;
}

TEST_F(HotKeysTest, AKeyInUseIsTakenFromEveryRowThatMayNotShareIt)
{
    keys.Load();
    // "-" and "+" rows may share: the DVD's chapter keys beside the skips.
    keys.Select(keys.RowOf(44));
    keys.CaptureKey(keys::VK_LEFT);
    EXPECT_EQ(keys.KeyConflict(), QStringLiteral("キー: (DVD)巻き戻し"));

    // An unmarked row shares with nobody: both holders of Right are named and lose it.
    keys.Select(keys.RowOf(0));
    EXPECT_EQ(keys.KeyConflict(), QString());
    EXPECT_EQ(keys.CaptureKey(keys::VK_RIGHT), QStringLiteral("Right"));
    EXPECT_EQ(keys.KeyConflict(), QStringLiteral("キー: スキップ、(DVD)早送り"));
    EXPECT_EQ(keys.ConflictText(), QStringLiteral("キー: スキップ、(DVD)早送り\n"));
    EXPECT_FALSE(keys.KeysChanged());
    keys.Change();
    EXPECT_TRUE(keys.KeysChanged());
    EXPECT_EQ(Row(0).Key, QStringLiteral("Right"));
    EXPECT_EQ(Row(0).Code, keys::VK_RIGHT);
    for (int holder : {9, 44}) {
        EXPECT_EQ(Row(holder).Key, QString()) << holder;
        EXPECT_EQ(Row(holder).Code, 0) << holder;
    }

    // A lone modifier shows its prefix and captures nothing.
    keys.Select(keys.RowOf(2));
    EXPECT_EQ(keys.CaptureKey(keys::kShiftBit), QStringLiteral("Shift+"));
    EXPECT_FALSE(keys.KeyCaptured());
    keys.Change();
    EXPECT_EQ(Row(2).Key, QStringLiteral("S"));
    // The emptied box removes the key.
    keys.CaptureEmpty();
    keys.Change();
    EXPECT_EQ(Row(2).Key, QString());
    EXPECT_EQ(Row(2).Code, 0);
}

TEST_F(HotKeysTest, GesturesFollowTheSameRuleAndHeldCommandsTakeOnlyTheExtraButtons)
{
    keys.Load();
    keys.Select(keys.RowOf(3));
    EXPECT_EQ(keys.ChooseGesture(QStringLiteral("D")), QString());
    EXPECT_EQ(keys.MouseConflict(), QString());
    EXPECT_EQ(keys.ChooseGesture(QStringLiteral("4")), QStringLiteral("4"));
    keys.Change();
    EXPECT_EQ(Row(3).Mouse, QStringLiteral("4"));

    keys.Select(keys.RowOf(4));
    EXPECT_EQ(keys.ChooseGesture(QStringLiteral("4")), QStringLiteral("4"));
    EXPECT_EQ(keys.MouseConflict(), QStringLiteral("マウス: 早送り"));   // both "-" rows

    keys.Select(keys.RowOf(2));
    keys.ChooseGesture(QStringLiteral("D"));
    EXPECT_EQ(keys.ConflictText(), QStringLiteral("\nマウス: 再生/一時停止"));
    keys.Change();
    EXPECT_EQ(Row(2).Mouse, QStringLiteral("D"));
    EXPECT_EQ(Row(1).Mouse, QString());
    EXPECT_FALSE(keys.KeysChanged());
}

TEST_F(HotKeysTest, AProfileGivesBackWhatWasExportedAndItsEmptyEntriesClear)
{
    keys.Load();
    Assign(0, keys::kCtrlBit | 'O');
    Assign(55, keys::VK_CLEAR);
    EXPECT_EQ(Row(55).Key, QStringLiteral("Num 5 (Unlocked)"));
    keys.Select(keys.RowOf(2));
    keys.ChooseGesture(QStringLiteral("M"));
    keys.Change();
    const std::vector<THotKeyRow> exported = keys.Rows();
    const QString path = home.File(QStringLiteral("mine.keys"));
    ASSERT_EQ(keys.Export(path), 0);

    profile::TProfile file;
    ASSERT_EQ(file.Load(path), 0);
    EXPECT_EQ(file.ReadString(QStringLiteral("Keys"), QStringLiteral("Color2"), QStringLiteral("x")), QString());
    EXPECT_FALSE(file.HasKey(QStringLiteral("Keys"), QStringLiteral("SkipSmall")));
    EXPECT_FALSE(file.HasKey(QStringLiteral("Mouse"), QStringLiteral("VolumeUp")));

    THotKeys other;
    other.Load();
    ASSERT_EQ(other.Import(path), 0);
    EXPECT_TRUE(other.KeysChanged());
    for (int i = 0; i < other.Count(); ++i) {
        EXPECT_EQ(other.Row(i).Code, exported[i].Code) << i;
        EXPECT_EQ(other.Row(i).Mouse, exported[i].Mouse) << i;
    }
    EXPECT_EQ(other.Row(other.RowOf(55)).Key, QStringLiteral("Num 5"));
    EXPECT_EQ(other.Row(other.RowOf(0)).Key, QStringLiteral("Ctrl+O"));

    // Present and empty clears, absent leaves, a letter no gesture has and a
    // wheel on a held command are left out.
    const QString partial = home.File(QStringLiteral("partial.keys"));
    ASSERT_TRUE(testutil::WriteFile(partial, "[Keys]\nOpen=\nStop=abc\n[Mouse]\nPlay=\nStop=X\nFastForward=WU\n"));
    THotKeys third;
    third.Load();
    ASSERT_EQ(third.Import(partial), 0);
    EXPECT_EQ(third.Row(third.RowOf(0)).Key, QString());
    EXPECT_EQ(third.Row(third.RowOf(0)).Code, 0);
    EXPECT_EQ(third.Row(third.RowOf(2)).Key, QStringLiteral("S"));
    EXPECT_EQ(third.Row(third.RowOf(1)).Key, QStringLiteral("P"));
    EXPECT_EQ(third.Row(third.RowOf(1)).Mouse, QString());
    EXPECT_EQ(third.Row(third.RowOf(3)).Mouse, QString());
    EXPECT_EQ(third.Row(third.RowOf(11)).Mouse, QStringLiteral("WD"));
}

TEST_F(HotKeysTest, OkStoresKeysOnlyWhenChangedAndGesturesAlways)
{
    SetValue(kMainKey, "ModifyKey", 1);
    keys.Load();
    // Nothing changed: no codes, ModifyKey as it was; the rest is written.
    THotKeyResult r = keys.Confirm(false, false);
    EXPECT_FALSE(r.KeysWritten);
    EXPECT_FALSE(r.PresetCodes);
    EXPECT_EQ(ValueCount(kShortcutKeyKey), 0u);
    EXPECT_EQ(Value(kMainKey, "ModifyKey"), 1u);
    EXPECT_EQ(Value(kMainKey, "DVDMenuKey"), 0u);
    EXPECT_EQ(Value(kMainKey, "UseArrowKeyInMenu"), 0u);
    EXPECT_EQ(Value(kMainKey, "WheelUp"), 12u);
    // The mouse skips are file-only rows: the DVD set has no wheel after OK.
    EXPECT_EQ(Value(kMainKey, "DVDWheelUp"), DWORD(-1));
    EXPECT_EQ(Value(kMainKey, "MouseX1"), DWORD(-1));

    // Keys changed: every row's code, the presets' codes, not the built-in set.
    Assign(56, keys::kCtrlBit | '2');
    keys.Select(keys.RowOf(44));
    keys.ChooseGesture(QStringLiteral("M"));
    keys.Change();
    // The locked arrow keys keep the stored choice.
    r = keys.Confirm(true, true);
    EXPECT_TRUE(r.KeysWritten);
    EXPECT_TRUE(r.ModifyKey);
    EXPECT_EQ(ValueCount(kShortcutKeyKey), 65u);
    EXPECT_EQ(Value(kShortcutKeyKey, "Color2"), DWORD(keys::kCtrlBit | '2'));
    EXPECT_EQ(Value(kShortcutKeyKey, "SkipSmall"), 0u);
    ASSERT_TRUE(r.PresetCodes);
    EXPECT_EQ((*r.PresetCodes)[1], DWORD(keys::kCtrlBit | '2'));
    EXPECT_EQ(Value(kMainKey, "ModifyKey"), 1u);
    EXPECT_EQ(Value(kMainKey, "DVDMenuKey"), 1u);
    EXPECT_EQ(Value(kMainKey, "UseArrowKeyInMenu"), 0u);
    // A "+" row binds only the DVD set, an unmarked row both, a "-" row the file set.
    EXPECT_EQ(r.DvdSet.MouseMiddle, 44);
    EXPECT_EQ(r.FileSet.MouseMiddle, -1);
    EXPECT_EQ(r.DvdSet.MouseDouble, 1);
    EXPECT_EQ(r.DvdSet.WheelDown, -1);
    EXPECT_EQ(Value(kMainKey, "DVDMouseMiddle"), 44u);

    // Back at the built-in set: the next start keeps the form's keys.
    keys.RestoreDefaults();
    r = keys.Confirm(true, false);
    EXPECT_FALSE(r.ModifyKey);
    EXPECT_EQ(Value(kMainKey, "ModifyKey"), 0u);
    EXPECT_EQ(Value(kShortcutKeyKey, "Color2"), 0u);
    EXPECT_EQ(Value(kMainKey, "UseArrowKeyInMenu"), 1u);
    EXPECT_EQ(r.FileSet, (TMouseActions{1, -1, -1, -1, 12, 11}));
    EXPECT_EQ(r.DvdSet, (TMouseActions{1, -1, -1, -1, -1, -1}));
}

}  // namespace
