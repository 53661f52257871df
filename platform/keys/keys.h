// Shortcut codes: the stored form of a key with its modifiers, the key's
// Windows virtual-key code in the low byte plus 0x2000 for Shift, 0x4000 for
// Ctrl and 0x8000 for Alt (Meta adds nothing); 0 is no key. The registry and
// the key profiles keep these codes, so they do not follow Qt's key numbers.
#pragma once

#include "platform/wintypes.h"

#include <QString>
#include <Qt>

class QKeyEvent;

namespace keys {

constexpr WORD kShiftBit = 0x2000;
constexpr WORD kCtrlBit = 0x4000;
constexpr WORD kAltBit = 0x8000;
constexpr WORD kModifierBits = kShiftBit | kCtrlBit | kAltBit;

// Virtual-key codes the player names itself.
enum : WORD {
    VK_BACK = 8, VK_TAB = 9, VK_CLEAR = 12, VK_RETURN = 13, VK_PAUSE = 19, VK_CAPITAL = 20, VK_ESCAPE = 27,
    VK_SPACE = 32, VK_PRIOR = 33, VK_NEXT = 34, VK_END = 35, VK_HOME = 36, VK_LEFT = 37, VK_UP = 38,
    VK_RIGHT = 39, VK_DOWN = 40, VK_SNAPSHOT = 44, VK_INSERT = 45, VK_DELETE = 46, VK_NUMPAD0 = 96,
    VK_MULTIPLY = 106, VK_DIVIDE = 111, VK_F1 = 112, VK_F24 = 135, VK_NUMLOCK = 144, VK_SCROLL = 145,
    VK_VOLUME_MUTE = 173, VK_VOLUME_DOWN = 174, VK_VOLUME_UP = 175, VK_MEDIA_NEXT_TRACK = 176,
    VK_MEDIA_PREV_TRACK = 177, VK_MEDIA_STOP = 178, VK_MEDIA_PLAY_PAUSE = 179,
};

// The virtual-key code of a Qt key. `keypad` is the event's keypad modifier;
// `x11KeyCode` the X server's key code (0 when the event carries none), which
// gives punctuation and digit keys their US-layout codes by position whatever
// the layout and the Shift state. Without it a shifted symbol is taken by
// its US-layout key. 0 for a key without a code (modifiers, unknown keys).
WORD VirtualKey(int qtKey, bool keypad, quint32 x11KeyCode = 0);

// The shortcut code of a key press or release; 0 when the key has no code.
WORD ShortCutOf(int qtKey, Qt::KeyboardModifiers modifiers, quint32 x11KeyCode = 0);
WORD ShortCutOf(const QKeyEvent& event);

// Whether the virtual-key code has an entry in the key table.
bool IsKnownKey(WORD virtualKey);

// The modifier prefixes of a code: "Ctrl+", "Shift+", "Alt+" in that order.
QString ModifierText(WORD code);

// The text a menu shows for a code: "Ctrl+", "Shift+", "Alt+" in that order,
// then the key's name ("PgDn", "F5", "A"; keypad digits as digits, and the
// keypad's centre key without Num Lock, code 12, "Num 5"). Empty for 0 and for a code whose
// key has no entry.
QString ShortCutText(WORD code);

}  // namespace keys
