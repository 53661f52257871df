#include "platform/keys/keys.h"

#include <QGuiApplication>
#include <QKeyEvent>

#include <array>
#include <utility>

namespace keys {

namespace {

// US-layout codes of the punctuation keys (VK_OEM_*).
enum : WORD {
    VK_OEM_1 = 186, VK_OEM_PLUS = 187, VK_OEM_COMMA = 188, VK_OEM_MINUS = 189, VK_OEM_PERIOD = 190,
    VK_OEM_2 = 191, VK_OEM_3 = 192, VK_OEM_4 = 219, VK_OEM_5 = 220, VK_OEM_6 = 221, VK_OEM_7 = 222,
};

// X server key codes (evdev + 8) of the US layout's digit and punctuation
// keys and the codes they stand for.
constexpr std::pair<quint32, WORD> kX11Keys[] = {
    {10, '1'}, {11, '2'}, {12, '3'}, {13, '4'}, {14, '5'}, {15, '6'}, {16, '7'}, {17, '8'}, {18, '9'},
    {19, '0'}, {20, VK_OEM_MINUS}, {21, VK_OEM_PLUS}, {34, VK_OEM_4}, {35, VK_OEM_6}, {47, VK_OEM_1},
    {48, VK_OEM_7}, {49, VK_OEM_3}, {51, VK_OEM_5}, {59, VK_OEM_COMMA}, {60, VK_OEM_PERIOD}, {61, VK_OEM_2},
};

// Characters of the US layout, unshifted and shifted, and their key's code.
constexpr std::pair<int, WORD> kSymbolKeys[] = {
    {Qt::Key_Semicolon, VK_OEM_1},     {Qt::Key_Colon, VK_OEM_1},        {Qt::Key_Equal, VK_OEM_PLUS},
    {Qt::Key_Plus, VK_OEM_PLUS},       {Qt::Key_Comma, VK_OEM_COMMA},    {Qt::Key_Less, VK_OEM_COMMA},
    {Qt::Key_Minus, VK_OEM_MINUS},     {Qt::Key_Underscore, VK_OEM_MINUS}, {Qt::Key_Period, VK_OEM_PERIOD},
    {Qt::Key_Greater, VK_OEM_PERIOD},  {Qt::Key_Slash, VK_OEM_2},        {Qt::Key_Question, VK_OEM_2},
    {Qt::Key_QuoteLeft, VK_OEM_3},     {Qt::Key_AsciiTilde, VK_OEM_3},   {Qt::Key_BracketLeft, VK_OEM_4},
    {Qt::Key_BraceLeft, VK_OEM_4},     {Qt::Key_Backslash, VK_OEM_5},    {Qt::Key_Bar, VK_OEM_5},
    {Qt::Key_BracketRight, VK_OEM_6},  {Qt::Key_BraceRight, VK_OEM_6},   {Qt::Key_Apostrophe, VK_OEM_7},
    {Qt::Key_QuoteDbl, VK_OEM_7},      {Qt::Key_Exclam, '1'},            {Qt::Key_At, '2'},
    {Qt::Key_NumberSign, '3'},         {Qt::Key_Dollar, '4'},            {Qt::Key_Percent, '5'},
    {Qt::Key_AsciiCircum, '6'},        {Qt::Key_Ampersand, '7'},         {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'},          {Qt::Key_ParenRight, '0'},
};

// Keys whose code does not depend on the keypad or the layout.
constexpr std::pair<int, WORD> kFixedKeys[] = {
    {Qt::Key_Backspace, VK_BACK},   {Qt::Key_Tab, VK_TAB},         {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Return, VK_RETURN},    {Qt::Key_Enter, VK_RETURN},    {Qt::Key_Pause, VK_PAUSE},
    {Qt::Key_CapsLock, VK_CAPITAL}, {Qt::Key_Escape, VK_ESCAPE},   {Qt::Key_Space, VK_SPACE},
    {Qt::Key_PageUp, VK_PRIOR},     {Qt::Key_PageDown, VK_NEXT},   {Qt::Key_End, VK_END},
    {Qt::Key_Home, VK_HOME},        {Qt::Key_Left, VK_LEFT},       {Qt::Key_Up, VK_UP},
    {Qt::Key_Right, VK_RIGHT},      {Qt::Key_Down, VK_DOWN},       {Qt::Key_Print, VK_SNAPSHOT},
    {Qt::Key_Insert, VK_INSERT},    {Qt::Key_Delete, VK_DELETE},   {Qt::Key_NumLock, VK_NUMLOCK},
    {Qt::Key_ScrollLock, VK_SCROLL}, {Qt::Key_Clear, VK_CLEAR},
    {Qt::Key_VolumeMute, VK_VOLUME_MUTE},        {Qt::Key_VolumeDown, VK_VOLUME_DOWN},
    {Qt::Key_VolumeUp, VK_VOLUME_UP},            {Qt::Key_MediaNext, VK_MEDIA_NEXT_TRACK},
    {Qt::Key_MediaPrevious, VK_MEDIA_PREV_TRACK}, {Qt::Key_MediaStop, VK_MEDIA_STOP},
    {Qt::Key_MediaPlay, VK_MEDIA_PLAY_PAUSE},    {Qt::Key_MediaTogglePlayPause, VK_MEDIA_PLAY_PAUSE},
    {Qt::Key_MediaPause, VK_MEDIA_PLAY_PAUSE},
};

// The keypad's operator keys (VK_MULTIPLY .. VK_DIVIDE).
constexpr std::pair<int, WORD> kKeypadOperators[] = {
    {Qt::Key_Asterisk, 106}, {Qt::Key_Plus, 107}, {Qt::Key_Minus, 109}, {Qt::Key_Period, 110},
    {Qt::Key_Comma, 110},    {Qt::Key_Slash, 111},
};

template <class Table, class Key> WORD Find(const Table& table, Key key)
{
    for (const auto& [k, code] : table)
        if (k == key) return code;
    return 0;
}

// Names of the keys whose name is not their character.
constexpr std::pair<WORD, const char*> kNames[] = {
    {VK_BACK, "BkSp"},   {VK_TAB, "Tab"},       {VK_CLEAR, "Num 5"},  {VK_RETURN, "Enter"},
    {VK_PAUSE, "Pause"}, {VK_CAPITAL, "CapsLock"}, {VK_ESCAPE, "Esc"}, {VK_SPACE, "Space"},
    {VK_PRIOR, "PgUp"},  {VK_NEXT, "PgDn"},     {VK_END, "End"},      {VK_HOME, "Home"},
    {VK_LEFT, "Left"},   {VK_UP, "Up"},         {VK_RIGHT, "Right"},  {VK_DOWN, "Down"},
    {VK_SNAPSHOT, "PrtSc"}, {VK_INSERT, "Ins"}, {VK_DELETE, "Del"},   {106, "Num *"},
    {107, "Num +"},      {109, "Num -"},       {110, "Num ."},
    {111, "Num /"},      {VK_NUMLOCK, "NumLock"}, {VK_SCROLL, "ScrollLock"},
    {VK_VOLUME_MUTE, "Mute"}, {VK_VOLUME_DOWN, "Volume Down"}, {VK_VOLUME_UP, "Volume Up"},
    {VK_MEDIA_NEXT_TRACK, "Next Track"}, {VK_MEDIA_PREV_TRACK, "Previous Track"},
    {VK_MEDIA_STOP, "Media Stop"}, {VK_MEDIA_PLAY_PAUSE, "Play/Pause"},
    {VK_OEM_1, ";"},     {VK_OEM_PLUS, "="},    {VK_OEM_COMMA, ","},  {VK_OEM_MINUS, "-"},
    {VK_OEM_PERIOD, "."}, {VK_OEM_2, "/"},      {VK_OEM_3, "`"},      {VK_OEM_4, "["},
    {VK_OEM_5, "\\"},    {VK_OEM_6, "]"},       {VK_OEM_7, "'"},
};

}  // namespace

WORD VirtualKey(int qtKey, bool keypad, quint32 x11KeyCode)
{
    if (keypad) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return static_cast<WORD>(VK_NUMPAD0 + (qtKey - Qt::Key_0));
        if (const WORD code = Find(kKeypadOperators, qtKey)) return code;
    }
    if (const WORD code = Find(kFixedKeys, qtKey)) return code;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return static_cast<WORD>(VK_F1 + (qtKey - Qt::Key_F1));
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return static_cast<WORD>('A' + (qtKey - Qt::Key_A));
    // Digits and punctuation by their place on the keyboard when it is known:
    // Shift+1 is the "1" key whatever character the layout gives it.
    if (x11KeyCode != 0)
        if (const WORD code = Find(kX11Keys, x11KeyCode)) return code;
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return static_cast<WORD>('0' + (qtKey - Qt::Key_0));
    return Find(kSymbolKeys, qtKey);
}

WORD ShortCutOf(int qtKey, Qt::KeyboardModifiers modifiers, quint32 x11KeyCode)
{
    const WORD vk = VirtualKey(qtKey, modifiers & Qt::KeypadModifier, x11KeyCode);
    if (vk == 0) return 0;
    WORD code = vk;
    if (modifiers & Qt::ShiftModifier) code |= kShiftBit;
    if (modifiers & Qt::ControlModifier) code |= kCtrlBit;
    if (modifiers & Qt::AltModifier) code |= kAltBit;
    return code;
}

WORD ShortCutOf(const QKeyEvent& event)
{
    // Only the X server's key codes are positions of the US layout's keys.
    static const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    const quint32 x11KeyCode = x11 && !(event.modifiers() & Qt::KeypadModifier) ? event.nativeScanCode() : 0;
    return ShortCutOf(event.key(), event.modifiers(), x11KeyCode);
}

bool IsKnownKey(WORD vk)
{
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return true;
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) return true;
    if (vk >= VK_F1 && vk <= VK_F24) return true;
    for (const auto& [code, name] : kNames)
        if (code == vk) return true;
    return false;
}

QString ModifierText(WORD code)
{
    QString text;
    if (code & kCtrlBit) text += QLatin1String("Ctrl+");
    if (code & kShiftBit) text += QLatin1String("Shift+");
    if (code & kAltBit) text += QLatin1String("Alt+");
    return text;
}

QString ShortCutText(WORD code)
{
    const WORD vk = code & 0xFF;
    // Bits outside the key and its modifiers make a code no key press gives.
    if (vk == 0 || !IsKnownKey(vk) || (code & ~(0xFF | kModifierBits))) return {};
    const QString text = ModifierText(code);
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return text + QChar(vk);
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) return text + QChar('0' + (vk - VK_NUMPAD0));
    if (vk >= VK_F1 && vk <= VK_F24) return text + QStringLiteral("F%1").arg(vk - VK_F1 + 1);
    for (const auto& [k, name] : kNames)
        if (k == vk) return text + QLatin1String(name);
    return {};
}

}  // namespace keys
