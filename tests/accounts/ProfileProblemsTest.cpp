#include "accounts/ProfileProblems.h"

#include "accounts/AccountFixture.h"
#include "accounts/PasswordScramble.h"
#include "accounts/ProfileLine.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

// Decision: the host and the user name cannot hold a comma (no host name
// has one, and the line has no escape); the client command can, since the
// reader gives surplus fields back to it.
TEST(ProfileProblems, CommasOnlyInTheClientCommand) {
    EXPECT_EQ(hostProblem("mail.example.org"), "");
    EXPECT_EQ(hostProblem("mail,example.org"), "The host name must not contain a comma.");
    EXPECT_EQ(userProblem("joe"), "");
    EXPECT_EQ(userProblem("Doe, Joe"), "The user name must not contain a comma.");
    EXPECT_EQ(clientCommandProblem("rundll32.exe url.dll,FileProtocolHandler mailto:"), "");
    EXPECT_EQ(clientCommandProblem("C:\\Mail, Tools\\mail.exe"), "");
}

TEST(ProfileProblems, NulEndsAStoredLineSoTextFieldsRefuseIt) {
    EXPECT_EQ(hostProblem("mail\0host"s), "The host name must not contain a NUL character.");
    EXPECT_EQ(userProblem("\0"s), "The user name must not contain a NUL character.");
    EXPECT_EQ(clientCommandProblem("mail.exe\0-x"s),
              "The mail client command must not contain a NUL character.");
}

// Decision: a password is refused exactly when one of its bytes would be
// stored as a comma or a NUL. That is one byte value for each and each
// position, both of 0x80 or above; every other byte is fine, so every
// password of bytes below 0x80 is, whatever its length.
TEST(ProfileProblems, PasswordsRefusedExactlyForBytesThatScrambleToCommaOrNul) {
    for (std::size_t position = 0; position < 30; ++position) {
        int refused = 0;
        for (int value = 0; value < 256; ++value) {
            const char byte = static_cast<char>(value);
            const std::string password = std::string(position, 'a') + byte;
            const char stored = scrambledByte(byte, position);
            const bool mustRefuse = stored == ',' || stored == '\0';
            const std::string problem = passwordProblem(password);
            EXPECT_EQ(!problem.empty(), mustRefuse) << "byte " << value << " at " << position;
            if (mustRefuse) {
                ++refused;
                EXPECT_GE(value, 0x80);
                EXPECT_EQ(problem, "The password cannot be stored: its character " +
                                       std::to_string(position + 1) +
                                       " cannot be kept in the profile. Please choose another "
                                       "password.");
            }
        }
        EXPECT_EQ(refused, 2) << position;
    }
    EXPECT_EQ(passwordProblem(std::string(200, '~')), "");
    EXPECT_EQ(passwordProblem("\xE4p\xDF w\xF6rd \x80\xFF"), "");
}

// The registry keeps text as Unicode, converted through the ANSI code page.
// In a single-byte code page such as 1252 every byte survives; in a
// double-byte one a lead byte without a valid trail byte does not, and such
// a profile would be corrupted.
TEST(ProfileProblems, TextMustSurviveTheCodePage) {
    std::string everyByte;
    for (int value = 1; value < 256; ++value)
        everyByte += static_cast<char>(value);
    EXPECT_TRUE(survivesCodePage(everyByte, 1252));
    EXPECT_TRUE(survivesCodePage("", 932));
    EXPECT_TRUE(survivesCodePage("plain text", 932));
    EXPECT_FALSE(survivesCodePage("\x81\x7F", 932));
    EXPECT_FALSE(survivesCodePage("lead at the end \x81", 932));
}

class ProfileProblemsTest : public AccountFixture {};

// Decision: a line stays within the 999 characters that older versions
// format it into; a longer one is refused, saying by how much.
TEST_F(ProfileProblemsTest, LineOfAtMost999Characters) {
    Account account(1);
    account.setHost("mail.example.org");
    account.setUser("joe");
    const std::size_t fixedLength = formatProfileLine(account).size();
    account.clientCommand.assign(maxProfileLine - fixedLength, 'c');
    ASSERT_EQ(formatProfileLine(account).size(), 999u);
    EXPECT_EQ(profileProblem(account), "");

    account.clientCommand += 'c';
    EXPECT_EQ(profileProblem(account),
              "The profile \"joe@mail.example.org\" cannot be saved. The profile is too long to be "
              "stored: shorten the host name, user name, password or mail client by 1 character.");
    account.password.assign(10, 'p');
    EXPECT_NE(profileProblem(account).find("by 11 characters."), std::string::npos)
        << profileProblem(account);
}

TEST_F(ProfileProblemsTest, ProfileProblemNamesTheProfileAndTheField) {
    Account account(1);
    account.setHost("mail.example.org");
    account.setUser("Doe, Joe");
    EXPECT_EQ(profileProblem(account), "The profile \"Doe, Joe@mail.example.org\" cannot be saved. "
                                       "The user name must not contain a comma.");
    account.setUser("joe");
    EXPECT_EQ(profileProblem(account), "");
    account.password = std::string("ab") + static_cast<char>(~'!' ^ ',');
    EXPECT_EQ(profileProblem(account),
              "The profile \"joe@mail.example.org\" cannot be saved. The password cannot be "
              "stored: its character 3 cannot be kept in the profile. Please choose another "
              "password.");
}
