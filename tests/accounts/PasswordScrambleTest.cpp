#include "accounts/PasswordScramble.h"

#include <gtest/gtest.h>

namespace {
const std::string key = "q7!Rv$Lm3%Tz8w";
}

TEST(PasswordScramble, ScramblesAsStoredProfilesExpect) {
    std::string password = "secret";
    scramblePassword(password);
    EXPECT_EQ(password, "\xFD\xAD\xBD\xDF\xEC\xAF");
    // Each byte XOR the complement of itself: the key scrambles to all ones.
    std::string keyItself = key;
    scramblePassword(keyItself);
    EXPECT_EQ(keyItself, std::string(14, '\xFF'));
    scramblePassword(password);
    EXPECT_EQ(password, "secret");
}

TEST(PasswordScramble, IsItsOwnInverseForEveryByteAndPosition) {
    for (std::size_t position = 0; position < 3 * key.size(); ++position) {
        for (int value = 0; value < 256; ++value) {
            const char byte = static_cast<char>(value);
            ASSERT_EQ(scrambledByte(scrambledByte(byte, position), position), byte)
                << "byte " << value << " at " << position;
        }
    }
}

// Passwords beyond 14 bytes reuse the key from its start, so their first 14
// bytes are stored as ever.
TEST(PasswordScramble, KeyRepeatsBeyondFourteenBytes) {
    std::string longPassword(29, 's');
    scramblePassword(longPassword);
    ASSERT_EQ(longPassword.size(), 29u);
    for (std::size_t i = 0; i < longPassword.size(); ++i)
        EXPECT_EQ(longPassword[i], longPassword[i % 14]) << i;
    std::string shortPassword(14, 's');
    scramblePassword(shortPassword);
    EXPECT_EQ(longPassword.substr(0, 14), shortPassword);
}

TEST(PasswordScramble, BytesBelow0x80NeverBecomeACommaOrNul) {
    for (std::size_t position = 0; position < key.size(); ++position) {
        for (int value = 0; value < 0x80; ++value) {
            const auto scrambled =
                static_cast<unsigned char>(scrambledByte(static_cast<char>(value), position));
            EXPECT_GE(scrambled, 0x80) << "byte " << value << " at " << position;
        }
    }
}
