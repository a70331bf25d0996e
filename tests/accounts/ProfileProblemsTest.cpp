// What keeps a profile from being stored so that it reads back as entered.
#include "accounts/ProfileProblems.h"

#include "accounts/PasswordScramble.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A password is refused exactly when a byte of it would be stored as a comma
// or a NUL: one byte value each per position, both 0x80 or above.
TEST(ProfileProblems, PasswordsRefusedExactlyForBytesStoredAsCommaOrNul) {
    for (std::size_t position = 0; position < 30; ++position) {
        int refused = 0;
        for (int value = 0; value < 256; ++value) {
            const char stored = scrambledByte(static_cast<char>(value), position);
            const std::string problem =
                passwordProblem(std::string(position, 'a') + static_cast<char>(value));
            ASSERT_EQ(!problem.empty(), stored == ',' || stored == '\0')
                << value << " at " << position;
            if (!problem.empty()) {
                ++refused;
                EXPECT_GE(value, 0x80);
                EXPECT_NE(problem.find("character " + std::to_string(position + 1) + " "),
                          std::string::npos)
                    << problem;
            }
        }
        EXPECT_EQ(refused, 2) << position;
    }
}

// The registry keeps text as Unicode, converted through the ANSI code page:
// in a double-byte one a lead byte without its trail byte does not survive.
TEST(ProfileProblems, TextMustSurviveTheCodePage) {
    std::string everyByte;
    for (int value = 1; value < 256; ++value)
        everyByte += static_cast<char>(value);
    EXPECT_TRUE(survivesCodePage(everyByte, 1252));
    EXPECT_TRUE(survivesCodePage("plain", 932));
    EXPECT_FALSE(survivesCodePage("\x81\x7F", 932));
    EXPECT_FALSE(survivesCodePage("lead at the end \x81", 932));
}

} // namespace
