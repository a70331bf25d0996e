// The stored profile line: its exact form, which older versions read, and
// how odd stored lines read back.
#include "accounts/ProfileLine.h"

#include "accounts/AccountFixture.h"
#include "accounts/DecimalText.h"
#include "accounts/PasswordScramble.h"

#include <climits>
#include <cstdlib>

namespace {

using ProfileLineTest = AccountFixture;

TEST_F(ProfileLineTest, TheLineOlderVersionsRead) {
    Account account(1);
    account.setHost("10.1.2.3");
    account.setUser("user1");
    account.password = "secret";
    account.setShowIcon(true);
    account.setIconColour(5);
    account.setInterval(35791);
    account.setCheckAutomatically(true);
    account.clientCommand = "C:\\MAIL\\MAIL.EXE";
    account.deleteImmediately = true;
    account.port = 4294967295u;
    EXPECT_EQ(formatProfileLine(account),
              "10.1.2.3,user1,\xFD\xAD\xBD\xDF\xEC\xAF,1,5,35791,1,C:\\MAIL\\MAIL.EXE,1,4294967295d");
    // Beyond 14 bytes the key starts again.
    std::string longPassword(29, 's');
    scramblePassword(longPassword);
    for (std::size_t i = 14; i < 29; ++i)
        EXPECT_EQ(longPassword[i], longPassword[i - 14]) << i;
}

// Each stored line, applied to a new account, gives the account that is
// saved again as the second line.
TEST_F(ProfileLineTest, StoredLinesReadBackAs) {
    const std::pair<const char*, const char*> lines[] = {
        {"mail.example.org,joe", "mail.example.org,joe,,0,0,10,0,,0,110d"},
        {"h,u,,1,3", "h,u,,1,3,10,0,,0,110d"},
        {",,,,,,,,,", ",,,0,0,0,0,,0,110d"},
        {"h,u,,1,0,10,1,rundll32 url.dll,FileProtocolHandler,0,995d",
         "h,u,,1,0,10,1,rundll32 url.dll,FileProtocolHandler,0,995d"},
        {"h,u,,0,0,10,0,,,,,1,995d", "h,u,,0,0,10,0,,,,,1,995d"},
        {"h,u,,0,0,10,0,,0,0d", "h,u,,0,0,10,0,,0,110d"},
        {"h,u,,0,0,10,0,,0,d", "h,u,,0,0,10,0,,0,110d"},
        {"h,u,,0,0,10,0,,0,995xyz", "h,u,,0,0,10,0,,0,995d"},
        // No balloon: "q" after the "d" that older versions skip with it.
        {"h,u,,0,0,10,0,,0,995dq", "h,u,,0,0,10,0,,0,995dq"},
        {"h,u,,0,0,10,0,,0,110q", "h,u,,0,0,10,0,,0,110dq"},
        {"h,u,,0,0,10,0,,0, 8110d", "h,u,,0,0,10,0,,0,8110d"},
        {"h,u,,0,0,10,0,,0,-1d", "h,u,,0,0,10,0,,0,4294967295d"},
        {"h,u,,0,0,10,0,,0,99999999999d", "h,u,,0,0,10,0,,0,4294967295d"},
        {"h,u,,2,-1,-5,x,,-7,110d", "h,u,,1,0,35791,0,,1,110d"},
        {"h,u,, 1 ,99999999999,99999999999,+1,,0,110d", "h,u,,1,0,35791,1,,0,110d"},
    };
    for (const auto& [stored, saved] : lines) {
        Account account(1);
        applyProfileLine(account, stored);
        EXPECT_EQ(formatProfileLine(account), saved) << stored;
        EXPECT_EQ(account.trayIcon != nullptr, account.showIcon) << stored;
        EXPECT_EQ(account.timerId != 0, account.checkAutomatically && account.intervalMinutes != 0);
    }
    for (const auto& [line, title] : {std::pair{"h", "@h"}, {"h,joe", "joe@h"}}) {
        Account account(1);
        applyProfileLine(account, line);
        EXPECT_EQ(account.title, title);
    }
}

// The C runtime is the reference (a long has 32 bits here), but unlike it
// the reading saturates and stops at the end of the view.
TEST(DecimalText, ReadsAsTheCRuntimeAndSaturates) {
    for (const char* input :
         {"110d", "995dq", "  42abc", "\t\n\v\f\r7", "+15", "-3", "", "-", " - 5", "+-5", "007", "\xB5\x35",
          "0x1F", "2147483648", "18446744073709551616", "-2147483648", "-2147483649", "4294967296", "-1", "-4294967295",
          "99999999999999999999999999"}) {
        EXPECT_EQ(readInt(input), static_cast<int>(std::strtol(input, nullptr, 10))) << input;
        EXPECT_EQ(readUnsigned(input), static_cast<unsigned>(std::strtoul(input, nullptr, 10)))
            << input;
    }
    EXPECT_EQ(readUnsigned("-4294967296"), UINT_MAX);
    EXPECT_EQ(readUnsigned("-99999999999999999999999999"), UINT_MAX);
    EXPECT_EQ(readInt(std::string_view("12345").substr(0, 3)), 123);
}

} // namespace
