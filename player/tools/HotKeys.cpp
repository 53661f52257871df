#include "player/tools/HotKeys.h"

#include "common/Reghelp.h"
#include "platform/keys/keys.h"
#include "platform/profile/profile.h"

#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace {

using keys::kCtrlBit;
using keys::kShiftBit;

constexpr WORD F(int n) { return static_cast<WORD>(keys::VK_F1 + n - 1); }

// The main window's built-in shortcuts by command number.
constexpr std::pair<int, WORD> kDefaults[] = {
    {0, 'O'}, {1, 'P'}, {2, 'S'}, {3, keys::VK_DOWN}, {4, keys::VK_UP}, {5, keys::VK_NEXT}, {6, keys::VK_PRIOR},
    {7, keys::VK_SPACE}, {8, kCtrlBit | keys::VK_SPACE}, {9, keys::VK_RIGHT}, {44, keys::VK_RIGHT},
    {10, keys::VK_LEFT}, {45, keys::VK_LEFT}, {13, 'L'}, {14, F(5)}, {15, F(6)}, {16, F(7)}, {17, F(8)},
    {18, kShiftBit | F(5)}, {19, kShiftBit | F(6)}, {20, kShiftBit | F(7)}, {21, kCtrlBit | F(5)},
    {22, kCtrlBit | F(7)}, {23, kCtrlBit | F(8)}, {24, kCtrlBit | F(9)}, {25, kCtrlBit | 'S'},
    {26, kCtrlBit | 'L'}, {27, kCtrlBit | 'H'}, {30, F(10)}, {31, F(9)}, {32, F(11)}, {33, F(4)}, {34, F(3)},
    {35, F(2)}, {36, F(12)}, {37, kShiftBit | 'L'}, {38, kShiftBit | 'F'}, {39, kCtrlBit | 'C'},
    {40, keys::VK_HOME}, {41, keys::VK_END}, {42, keys::VK_DELETE}, {43, 'F'}, {46, kCtrlBit | 'B'},
    {47, kShiftBit | 'B'}, {48, kCtrlBit | 'R'}, {49, kCtrlBit | 'T'}, {51, kCtrlBit | keys::VK_UP},
    {52, kCtrlBit | keys::VK_DOWN}, {53, kCtrlBit | keys::VK_LEFT}, {54, kCtrlBit | keys::VK_RIGHT},
    {66, kCtrlBit | F(6)},
};

// File-only commands ("-") and DVD-only commands ("+").
constexpr int kFileOnly[] = {3, 4, 8, 9, 10, 11, 12, 14, 15, 16, 17, 18, 20, 21, 22, 23, 24, 66, 25, 26, 27, 62, 63};
constexpr int kDvdOnly[] = {44, 45, 48, 49, 50, 51, 52, 53, 54};

constexpr char kKeysSection[] = "Keys";
constexpr char kMouseSection[] = "Mouse";
// A profile entry is read into a buffer of 50 characters.
constexpr int kEntryLength = 49;

template <class Range> bool Contains(const Range& range, int value)
{
    return std::find(std::begin(range), std::end(range), value) != std::end(range);
}

bool MayShare(const THotKeyRow& a, const THotKeyRow& b) { return a.Group && b.Group && a.Group != b.Group; }

// The gesture values of `Main` in the order their letters are looked up.
struct TGestureValue {
    const char* Letter;
    const char* FileName;
    const char* DvdName;
    int TMouseActions::*Field;
    int Default;
};
constexpr TGestureValue kGestures[] = {
    {"D", "MouseDouble", "DVDMouseDouble", &TMouseActions::MouseDouble, 1},
    {"M", "MouseMiddle", "DVDMouseMiddle", &TMouseActions::MouseMiddle, -1},
    {"WU", "WheelUp", "DVDWheelUp", &TMouseActions::WheelUp, 12},
    {"WD", "WheelDown", "DVDWheelDown", &TMouseActions::WheelDown, 11},
    {"4", "MouseX1", "DVDMouseX1", &TMouseActions::MouseX1, -1},
    {"5", "MouseX2", "DVDMouseX2", &TMouseActions::MouseX2, -1},
};

}  // namespace

QString HotKeyText(WORD code, bool importing)
{
    const WORD vk = code & 0xFF;
    if (vk == 0) return keys::ModifierText(code);
    const QString text = keys::ShortCutText(code);
    // Without modifiers the keypad's digits and "/" are told from the main keys.
    if (((vk >= keys::VK_NUMPAD0 && vk <= keys::VK_NUMPAD0 + 9) || vk == keys::VK_DIVIDE) && code == vk &&
        !text.startsWith(QLatin1String("Num ")))
        return QStringLiteral("Num ") + text;
    if (code == keys::VK_CLEAR && !importing) return text + QStringLiteral(" (Unlocked)");
    return text;
}

WORD DefaultShortcut(int command)
{
    for (const auto& [number, code] : kDefaults)
        if (number == command) return code;
    return 0;
}

int GestureIndex(const QString& letter)
{
    for (int i = 1; i < int(std::size(kGestureLetters)); ++i)
        if (letter == QLatin1String(kGestureLetters[i])) return i;
    return 0;
}

THotKeys::THotKeys()
{
    for (const int number : DialogCommandOrder()) {
        THotKeyRow row;
        row.Command = FindCommand(number);
        row.Group = Contains(kFileOnly, number) ? '-' : Contains(kDvdOnly, number) ? '+' : 0;
        if (row.Command->NoKey) row.Key = QLatin1String(kNoAssignment);
        if (row.Command->NoMouse) row.Mouse = QLatin1String(kNoAssignment);
        rows_.push_back(row);
    }
}

bool TakesOnlyExtraButtons(int command) { return command == 3 || command == 4; }

int THotKeys::RowOf(int command) const
{
    for (int i = 0; i < Count(); ++i)
        if (rows_[i].Command->Number == command) return i;
    return -1;
}

bool THotKeys::Load()
{
    if (const RegKey key = RegKey::Create(HKEY_CURRENT_USER, kShortcutKeyKey, KEY_READ)) {
        for (THotKeyRow& row : rows_) {
            if (!row.Key.isEmpty()) continue;
            const WORD code = static_cast<WORD>(
                RegReadDword(key.get(), row.Command->ValueName, DefaultShortcut(row.Command->Number)));
            if (code == 0) continue;
            row.Code = code;
            row.Key = HotKeyText(code);
        }
    }
    const RegKey main = RegKey::Open(HKEY_CURRENT_USER, kMainKey, KEY_READ);
    auto read = [&main](const char* name, int def) {
        return main ? static_cast<int>(RegReadDword(main.get(), name, static_cast<DWORD>(def))) : def;
    };
    const bool useArrows = main ? RegReadBool(main.get(), "UseArrowKeyInMenu", true) : true;
    // The first binding of a command names its letter; the DVD set's comes
    // after and wins.
    for (const bool dvd : {false, true}) {
        for (THotKeyRow& row : rows_) {
            if (!row.TakesGesture()) continue;
            for (const TGestureValue& g : kGestures) {
                if (read(dvd ? g.DvdName : g.FileName, g.Default) != row.Command->Number) continue;
                row.Mouse = QLatin1String(g.Letter);
                break;
            }
        }
    }
    return useArrows;
}

void THotKeys::Select(int row)
{
    selected_ = row >= 0 && row < Count() ? row : -1;
    captured_.reset();
    chosen_.reset();
    keyConflicts_.clear();
    mouseConflicts_.clear();
    keyConflict_.clear();
    mouseConflict_.clear();
}

template <class Match> std::vector<int> THotKeys::ConflictsOf(Match matches) const
{
    std::vector<int> conflicts;
    for (int i = 0; i < Count(); ++i) {
        if (i == selected_ || !matches(rows_[i])) continue;
        if (selected_ >= 0 && MayShare(rows_[selected_], rows_[i])) continue;
        conflicts.push_back(i);
    }
    return conflicts;
}

QString THotKeys::ConflictText(const char* prefix, const std::vector<int>& conflicts) const
{
    if (conflicts.empty()) return QString();
    // Every row that would lose its key is named, not only the first.
    QStringList captions;
    for (const int i : conflicts) captions << QString::fromUtf8(rows_[i].Command->Caption);
    return QString::fromUtf8(prefix) + captions.join(QStringLiteral("、"));
}

QString THotKeys::CaptureKey(WORD code)
{
    keyConflict_.clear();
    mouseConflict_.clear();
    keyConflicts_.clear();
    const QString text = HotKeyText(code);
    if ((code & 0xFF) == 0) {
        captured_.reset();
        return text;
    }
    captured_ = code;
    // Codes, not texts, tell two keys apart.
    keyConflicts_ = ConflictsOf([code](const THotKeyRow& r) { return r.TakesKey() && r.Code == code; });
    keyConflict_ = ConflictText("キー: ", keyConflicts_);
    return text;
}

void THotKeys::CaptureEmpty()
{
    keyConflicts_.clear();
    keyConflict_.clear();
    captured_ = 0;
}

QString THotKeys::ChooseGesture(const QString& letter)
{
    if (selected_ < 0) return letter;
    QString chosen = GestureIndex(letter) ? letter : QString();
    const bool extraOnly = TakesOnlyExtraButtons(rows_[selected_].Command->Number);
    if (extraOnly && GestureIndex(chosen) < GestureIndex(QStringLiteral("4"))) chosen.clear();
    chosen_ = chosen;
    mouseConflicts_.clear();
    mouseConflict_.clear();
    if (chosen.isEmpty()) return chosen;
    mouseConflicts_ = ConflictsOf([&chosen](const THotKeyRow& r) { return r.TakesGesture() && r.Mouse == chosen; });
    mouseConflict_ = ConflictText("マウス: ", mouseConflicts_);
    return chosen;
}

void THotKeys::Change()
{
    if (selected_ < 0) return;
    THotKeyRow& row = rows_[selected_];
    if (captured_ && row.TakesKey()) {
        for (const int i : keyConflicts_) {
            rows_[i].Key.clear();
            rows_[i].Code = 0;
            keysChanged_ = true;
        }
        const QString text = *captured_ ? HotKeyText(*captured_) : QString();
        if (text != row.Key || *captured_ != row.Code) {
            row.Key = text;
            row.Code = *captured_;
            keysChanged_ = true;
        }
    }
    if (chosen_ && row.TakesGesture()) {
        for (const int i : mouseConflicts_) rows_[i].Mouse.clear();
        row.Mouse = *chosen_;
    }
    // What was shown is done with: a second change does nothing more.
    Select(selected_);
}

void THotKeys::RestoreDefaults()
{
    for (THotKeyRow& row : rows_) {
        if (row.TakesKey()) {
            row.Code = DefaultShortcut(row.Command->Number);
            row.Key = row.Code ? keys::ShortCutText(row.Code) : QString();
        }
        if (row.TakesGesture()) row.Mouse.clear();
    }
    ApplyGesture(RowOf(1), QStringLiteral("D"));
    ApplyGesture(RowOf(11), QStringLiteral("WD"));
    ApplyGesture(RowOf(12), QStringLiteral("WU"));
    keysChanged_ = true;
    Select(selected_);
}

void THotKeys::ApplyGesture(int row, const QString& letter)
{
    if (row >= 0 && rows_[row].TakesGesture()) rows_[row].Mouse = letter;
}

int THotKeys::Export(const QString& path) const
{
    profile::TProfile file;
    // Entries are added to a file that exists, as the profile calls do.
    if (const int error = file.Load(path); error != 0 && error != ENOENT) return error;
    for (const THotKeyRow& row : rows_) {
        const QString name = QString::fromLatin1(row.Command->ValueName);
        if (row.TakesKey())
            file.WriteString(QLatin1String(kKeysSection), name, row.Code ? QString::number(row.Code) : QString());
        if (row.TakesGesture()) file.WriteString(QLatin1String(kMouseSection), name, row.Mouse);
    }
    return file.Save(path);
}

int THotKeys::Import(const QString& path)
{
    profile::TProfile file;
    if (const int error = file.Load(path)) return error;
    const QString keysSection = QLatin1String(kKeysSection);
    const QString mouseSection = QLatin1String(kMouseSection);
    for (THotKeyRow& row : rows_) {
        const QString name = QString::fromLatin1(row.Command->ValueName);
        if (row.TakesKey() && file.HasKey(keysSection, name)) {
            const QString value = file.ReadString(keysSection, name).left(kEntryLength);
            const std::int64_t code = profile::LeadingNumber(value);
            if (value.isEmpty()) {
                row.Key.clear();
                row.Code = 0;
            } else if (code > 0 && code <= 0xFFFF && !keys::ShortCutText(WORD(code)).isEmpty()) {
                // Codes no key gives (and text the coding cannot hold) are left out.
                row.Code = static_cast<WORD>(code);
                row.Key = HotKeyText(row.Code, true);
            }
        }
        if (row.TakesGesture() && file.HasKey(mouseSection, name)) {
            const QString letter = file.ReadString(mouseSection, name).left(kEntryLength);
            const int gesture = GestureIndex(letter);
            const bool extraOnly = TakesOnlyExtraButtons(row.Command->Number);
            // Letters no gesture has, and gestures the row may not take, are left out.
            if (letter.isEmpty() || (gesture && (!extraOnly || gesture >= GestureIndex(QStringLiteral("4")))))
                row.Mouse = letter;
        }
    }
    keysChanged_ = true;
    Select(selected_);
    return 0;
}

THotKeyResult THotKeys::Confirm(bool useArrowKeyInMenu, bool arrowKeyLocked) const
{
    THotKeyResult result;
    if (keysChanged_) {
        if (const RegKey key = RegKey::Create(HKEY_CURRENT_USER, kShortcutKeyKey, KEY_WRITE)) {
            std::array<DWORD, 5> presets{};
            bool differs = false;
            for (const THotKeyRow& row : rows_) {
                const int number = row.Command->Number;
                RegWriteDword(key.get(), row.Command->ValueName, row.Code);
                if (number >= 55 && number <= 59) presets[number - 55] = row.Code;
                if (row.Code != DefaultShortcut(number)) differs = true;
            }
            result.KeysWritten = true;
            result.ModifyKey = differs;
            result.PresetCodes = presets;
        }
    }
    for (const THotKeyRow& row : rows_) {
        if (!row.TakesGesture()) continue;
        for (const TGestureValue& g : kGestures) {
            if (row.Mouse != QLatin1String(g.Letter)) continue;
            if (row.Group != '+') result.FileSet.*g.Field = row.Command->Number;
            if (row.Group != '-') result.DvdSet.*g.Field = row.Command->Number;
        }
    }
    if (const RegKey main = RegKey::Open(HKEY_CURRENT_USER, kMainKey, KEY_WRITE)) {
        // A user who is back at the built-in set keeps the form's keys at the next start.
        if (result.KeysWritten) RegWriteBool(main.get(), "ModifyKey", result.ModifyKey);
        RegWriteBool(main.get(), "DVDMenuKey", useArrowKeyInMenu);
        for (const TGestureValue& g : kGestures)
            RegWriteDword(main.get(), g.FileName, static_cast<DWORD>(result.FileSet.*g.Field));
        for (const TGestureValue& g : kGestures)
            RegWriteDword(main.get(), g.DvdName, static_cast<DWORD>(result.DvdSet.*g.Field));
        // The window's arrow items hold the menu's arrows now: the choice waits.
        if (!arrowKeyLocked) RegWriteBool(main.get(), "UseArrowKeyInMenu", useArrowKeyInMenu);
    }
    return result;
}
