// Qt keys to shortcut codes and codes to the text menus show.
#include "platform/keys/keys.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

using namespace keys;

TEST(Keys, QtKeysBecomeVirtualKeyCodesWithTheirModifiers)
{
    struct Case {
        int key;
        Qt::KeyboardModifiers mods;
        quint32 x11;
        WORD code;
    };
    const Qt::KeyboardModifiers none = Qt::NoModifier, kp = Qt::KeypadModifier, shift = Qt::ShiftModifier;
    const Case cases[] = {
        {Qt::Key_A, none, 0, 'A'},
        {Qt::Key_L, Qt::ControlModifier, 0, 16460},
        {Qt::Key_F5, shift, 0, 8308},
        {Qt::Key_Space, Qt::ControlModifier, 0, 16416},
        {Qt::Key_Right, Qt::ControlModifier, 0, 16423},
        {Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier, 0, 0xE000 | 'F'},
        {Qt::Key_P, Qt::MetaModifier, 0, 'P'},   // Meta adds nothing
        {Qt::Key_PageDown, none, 0, 34},
        {Qt::Key_PageUp, none, 0, 33},
        {Qt::Key_Delete, none, 0, 46},
        {Qt::Key_Enter, kp, 0, 13},
        {Qt::Key_Return, none, 0, 13},
        {Qt::Key_F24, none, 0, 135},
        {Qt::Key_7, none, 0, '7'},
        // The keypad: digits 96-105 and the operators 106-111 only with the keypad modifier.
        {Qt::Key_7, kp, 0, 103},
        {Qt::Key_0, kp, 90, 96},
        {Qt::Key_Asterisk, kp, 0, 106},
        {Qt::Key_Plus, kp, 0, 107},
        {Qt::Key_Minus, kp, 0, 109},
        {Qt::Key_Period, kp, 0, 110},
        {Qt::Key_Slash, kp, 0, 111},
        {Qt::Key_Clear, kp, 0, 12},
        {Qt::Key_Left, kp, 0, 37},
        {Qt::Key_MediaTogglePlayPause, none, 0, 179},
        {Qt::Key_MediaPlay, none, 0, 179},
        {Qt::Key_VolumeMute, none, 0, 173},
        {Qt::Key_MediaNext, none, 0, 176},
        // Punctuation: US codes by the unshifted character, a shifted symbol by its key.
        {Qt::Key_Semicolon, none, 0, 186},
        {Qt::Key_Colon, shift, 0, 186 | 0x2000},
        {Qt::Key_Plus, shift, 0, 187 | 0x2000},
        {Qt::Key_Question, shift, 0, 191 | 0x2000},
        {Qt::Key_BraceRight, shift, 0, 221 | 0x2000},
        {Qt::Key_QuoteDbl, shift, 0, 222 | 0x2000},
        {Qt::Key_Exclam, shift, 0, '1' | 0x2000},
        // By the X server's key: the "2" key gives '2' whatever its character is.
        {Qt::Key_QuoteDbl, shift, 11, '2' | 0x2000},
        {Qt::Key_Minus, none, 20, 189},
        {Qt::Key_Backslash, none, 51, 220},
        // Keys without a code.
        {Qt::Key_Shift, shift, 0, 0},
        {Qt::Key_Control, Qt::ControlModifier, 0, 0},
        {Qt::Key_Launch0, none, 0, 0},
        {Qt::Key_Eacute, none, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShortCutOf(c.key, c.mods, c.x11), c.code) << std::hex << c.key << " mods " << int(c.mods);

    // The event carries its modifiers; offscreen events have no X key codes.
    const QKeyEvent e(QEvent::KeyPress, Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(ShortCutOf(e), 16456);
}

TEST(Keys, CodesBecomeTheTextMenusShow)
{
    const std::pair<WORD, const char*> cases[] = {
        {16467, "Ctrl+S"},      {8308, "Shift+F5"},        {0x6000 | 116, "Ctrl+Shift+F5"},
        {0xE000 | 'A', "Ctrl+Shift+Alt+A"}, {34, "PgDn"}, {33, "PgUp"},  {32, "Space"},
        {16416, "Ctrl+Space"},  {8, "BkSp"},               {9, "Tab"},   {27, "Esc"},
        {13, "Enter"},          {35, "End"},               {36, "Home"}, {37, "Left"},
        {38, "Up"},             {39, "Right"},             {40, "Down"}, {45, "Ins"},
        {46, "Del"},            {135, "F24"},              {'7', "7"},   {103, "7"},
        {186, ";"},             {0x2000 | 222, "Shift+'"}, {179, "Play/Pause"},
        {12, "Num 5"},          {0x4000 | 12, "Ctrl+Num 5"},
        // Nothing for no key, unknown keys and bits outside the coding.
        {0, ""},                {0x4000, ""},              {255, ""},    {0x0141, ""},
    };
    for (const auto& [code, text] : cases) EXPECT_EQ(ShortCutText(code), QString::fromUtf8(text)) << code;
    // Every code the key table gives has a text.
    for (int key : {Qt::Key_Pause, Qt::Key_CapsLock, Qt::Key_Print, Qt::Key_NumLock, Qt::Key_ScrollLock,
                    Qt::Key_VolumeUp, Qt::Key_MediaStop, Qt::Key_MediaPrevious})
        EXPECT_FALSE(ShortCutText(ShortCutOf(key, Qt::NoModifier)).isEmpty()) << std::hex << key;
}
