// The stored profile line: its exact form, which older versions read, and
// how odd stored lines read back.
#include "accounts/ProfileLine.h"

#include "accounts/AccountFixture.h"
#include "accounts/PasswordScramble.h"

namespace {

using ProfileLineTest = AccountFixture;

// Each stored line, applied to a new account, gives the account that is
// saved again as the second line (as itself when there is none). The first
// is the line older versions read, with "secret" scrambled.
TEST_F(ProfileLineTest, StoredLinesReadBackAs) {
    const std::pair<const char*, const char*> lines[] = {
        {"10.1.2.3,user1,\xFD\xAD\xBD\xDF\xEC\xAF,1,5,35791,1,C:\\MAIL\\MAIL.EXE,1,4294967295d",
         nullptr},
        {"mail.example.org,joe", "mail.example.org,joe,,0,0,10,0,,0,110d"},
        {"h,u,,1,3", "h,u,,1,3,10,0,,0,110d"},
        {",,,,,,,,,", ",,,0,0,0,0,,0,110d"},
        {"h,u,,1,0,10,1,rundll32 url.dll,FileProtocolHandler,0,995d", nullptr},
        {"h,u,,0,0,10,0,,,,,1,995d", nullptr},
        {"h,u,,0,0,10,0,,0,0d", "h,u,,0,0,10,0,,0,110d"},
        {"h,u,,0,0,10,0,,0,d", "h,u,,0,0,10,0,,0,110d"},
        {"h,u,,0,0,10,0,,0,995xyz", "h,u,,0,0,10,0,,0,995d"},
        // No balloon: "q" after the "d" that older versions skip with it.
        {"h,u,,0,0,10,0,,0,995dq", nullptr},
        {"h,u,,0,0,10,0,,0,110q", "h,u,,0,0,10,0,,0,110dq"},
        {"h,u,,0,0,10,0,,0, 8110d", "h,u,,0,0,10,0,,0,8110d"},
        {"h,u,,0,0,10,0,,0,-1d", "h,u,,0,0,10,0,,0,4294967295d"},
        {"h,u,,0,0,10,0,,0,99999999999d", "h,u,,0,0,10,0,,0,4294967295d"},
        // 2^64 would wrap to 0, the default port.
        {"h,u,,0,0,10,0,,0,18446744073709551616d", "h,u,,0,0,10,0,,0,4294967295d"},
        {"h,u,,2,-1,-5,x,,-7,110d", "h,u,,1,0,35791,0,,1,110d"},
        {"h,u,, 1 ,99999999999,99999999999,+1,,0,110d", "h,u,,1,0,35791,1,,0,110d"},
    };
    for (const auto& [stored, saved] : lines) {
        Account account(1);
        applyProfileLine(account, stored);
        EXPECT_EQ(formatProfileLine(account), saved ? saved : stored);
        EXPECT_EQ(account.trayIcon != nullptr, account.showIcon) << stored;
        EXPECT_EQ(account.timerId != 0, account.checkAutomatically && account.intervalMinutes != 0);
    }
    Account pinned(1);
    applyProfileLine(pinned, lines[0].first);
    EXPECT_EQ(pinned.password, "secret");
    // Beyond 14 bytes the key starts again.
    std::string longPassword(29, 's');
    scramblePassword(longPassword);
    for (std::size_t i = 14; i < 29; ++i)
        EXPECT_EQ(longPassword[i], longPassword[i - 14]) << i;
    for (const auto& [line, title] : {std::pair{"h", "@h"}, {"h,joe", "joe@h"}}) {
        Account account(1);
        applyProfileLine(account, line);
        EXPECT_EQ(account.title, title);
    }
}

} // namespace
