// Password scrambling: round trips of texts of every length class, the key
// positions, and that no byte of UTF-8 text ever scrambles to zero (a zero
// would cut the stored password short or make it read as none).
#include "common/scramble.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(Scramble, RoundTripsAndEmptyText)
{
    for (const std::string& text : std::initializer_list<std::string>{"", "a", "ab", "abc", "abcd", "secret-password-1234", "親のパスワード",
                                   std::string(51, 'x')}) {
        char buffer[64] = {};
        std::memcpy(buffer, text.data(), text.size());
        ScramblePassword(buffer);
        EXPECT_EQ(std::strlen(buffer), text.size()) << text;
        if (!text.empty()) {
            EXPECT_NE(std::string(buffer), text);
        }
        UnscramblePassword(buffer);
        EXPECT_EQ(std::string(buffer), text);
        EXPECT_EQ(UnscrambledPassword(ScrambledPassword(text)), text);
    }
    ScramblePassword(nullptr);  // no text, nothing happens
}

TEST(Scramble, PositionsZeroOneAndThreeHaveKeysOfTheirOwn)
{
    const std::string s = ScrambledPassword(std::string(8, 'q'));
    ASSERT_EQ(s.size(), 8u);
    // Positions 2, 4 and beyond share one key byte.
    for (size_t i : {4u, 5u, 6u, 7u}) EXPECT_EQ(s[i], s[2]) << i;
    EXPECT_NE(s[0], s[1]);
    EXPECT_NE(s[0], s[3]);
    EXPECT_NE(s[1], s[3]);
    for (size_t i : {0u, 1u, 3u}) EXPECT_NE(s[i], s[2]) << i;
    // Scrambling stops at the first zero byte.
    char buffer[] = {'a', 'b', '\0', 'c', '\0'};
    ScramblePassword(buffer);
    EXPECT_EQ(buffer[3], 'c');
}

TEST(Scramble, NoUtf8ByteScramblesToZeroAtAnyPosition)
{
    // Every byte that UTF-8 text can hold (no 0xC0, 0xC1 or 0xF5 to 0xFF), at
    // every position class.
    for (int b = 1; b < 256; ++b) {
        if (b == 0xC0 || b == 0xC1 || b >= 0xF5) continue;
        const std::string text(6, char(b));
        const std::string s = ScrambledPassword(text);
        ASSERT_EQ(s.size(), text.size()) << "byte " << b;
        ASSERT_EQ(UnscrambledPassword(s), text) << "byte " << b;
    }
}
