// Scrambling of the passwords kept in the settings (the parental lock
// password and the CD-database proxy password). The library that writes them
// and the player that reads the lock password back both link this routine, so
// a value stored by one is read by the other.
#pragma once

#include <string>

// XORs every byte of the zero-terminated text, up to its first zero byte, with
// a key byte chosen by the byte's position. Applied twice the text is restored.
// No key byte can occur in UTF-8 text, so a scrambled UTF-8 text never holds a
// zero byte and is never cut short when it is stored and read back.
void ScramblePassword(char* text);

// The same routine: scrambling is its own inverse.
inline void UnscramblePassword(char* text) { ScramblePassword(text); }

// Copies of the text, for callers that hold strings rather than buffers.
std::string ScrambledPassword(std::string text);
inline std::string UnscrambledPassword(std::string text) { return ScrambledPassword(std::move(text)); }
