#include "common/scramble.h"

namespace {

// Bytes that never occur in UTF-8 (0xC0, 0xC1 and 0xF5 to 0xFF): a text byte
// XORed with one of them is never zero.
constexpr unsigned char kFirst = 0xF9;   // position 0
constexpr unsigned char kSecond = 0xC1;  // position 1
constexpr unsigned char kFourth = 0xFD;  // position 3
constexpr unsigned char kOther = 0xF6;   // every other position

unsigned char KeyFor(size_t position)
{
    switch (position) {
    case 0: return kFirst;
    case 1: return kSecond;
    case 3: return kFourth;
    default: return kOther;
    }
}

}  // namespace

void ScramblePassword(char* text)
{
    if (!text) return;
    for (size_t i = 0; text[i] != '\0'; ++i)
        text[i] = char(static_cast<unsigned char>(text[i]) ^ KeyFor(i));
}

std::string ScrambledPassword(std::string text)
{
    // Only the bytes before the first zero take part, as with a buffer.
    text.resize(std::char_traits<char>::length(text.c_str()));
    ScramblePassword(text.data());
    return text;
}
