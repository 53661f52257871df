// Text of bytes from outside the program. All our own text is UTF-8; these
// turn older 8-bit and double-byte input into it.
#pragma once

#include <QByteArray>
#include <QString>

// Text of 8-bit input from elsewhere: UTF-8 when it is valid UTF-8, else CP932.
QString DecodeLegacyText(const QByteArray& bytes);
// CP932 (Japanese, the platform's MS-JIS); a byte that starts no character
// becomes one replacement character.
QString DecodeCp932(const QByteArray& bytes);
// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(const char* data, qsizetype size);

// CD-TEXT character codes (byte 0 of a block's first size-information pack).
inline constexpr int kCdTextIso8859 = 0x00;
inline constexpr int kCdTextAscii = 0x01;
inline constexpr int kCdTextMsJis = 0x80;
// Text of a CD-TEXT item in its block's character code; an unknown code is
// read as ISO 8859-1.
QString DecodeCdText(const QByteArray& bytes, int characterCode);

// The text cut to at most `maxBytes` bytes of UTF-8, at a character boundary.
QString CutUtf8(const QString& text, int maxBytes);

// Japanese CD-TEXT as the player shows it: full-width Latin letters, digits
// and signs (U+FF01 to U+FF5E) and the ideographic space become ASCII, the
// prime "′" becomes "'", half-width katakana become full-width (a following
// voiced or semi-voiced mark joins its letter); full-width katakana, the
// long-vowel mark and Japanese punctuation stay. Never longer than the input.
QString ConvertToHalfWidth(const QString& text);
