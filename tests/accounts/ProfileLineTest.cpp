// The stored profile line: its exact form, which older versions read, how
// odd stored lines read back, and what keeps a profile from reading back.
#include "accounts/ProfileLine.h"

#include "accounts/AccountFixture.h"
#include "accounts/PasswordScramble.h"
#include "accounts/ProfileProblems.h"

#include <cctype>

namespace {

using ProfileLineTest = AccountFixture;

const std::string pin = "00112233445566778899AABBCCDDEEFF0123456789ABCDEF0123456789ABCDEF";

// Each stored line, applied to a new account, gives the account that is
// saved again as the second line (as itself when that is empty). The first
// is the line older versions read, with "secret" scrambled.
TEST_F(ProfileLineTest, StoredLinesReadBackAs) {
    std::string lowerPin = pin;
    for (char& c : lowerPin)
        c = static_cast<char>(std::tolower(c));
    const std::string p = "h,u,,0,0,10,0,,0,";
    const std::pair<std::string, std::string> lines[] = {
        {"10.1.2.3,user1,\xFD\xAD\xBD\xDF\xEC\xAF,1,5,35791,1,C:\\MAIL\\MAIL.EXE,1,4294967295d",
         ""},
        {"mail.example.org,joe", "mail.example.org,joe,,0,0,10,0,,0,110d"},
        {"h,u,,1,3", "h,u,,1,3,10,0,,0,110d"},
        {",,,,,,,,,", ",,,0,0,0,0,,0,110d"},
        {"h,u,,1,0,10,1,rundll32 url.dll,FileProtocolHandler,0,995d", ""},
        {"h,u,,0,0,10,0,,,,,1,995d", ""},
        {p + "0d", p + "110d"},
        {p + "d", p + "110d"},
        {p + "995xyz", p + "995d"},
        // No balloon: "q" after the "d" that older versions skip with it.
        {p + "995dq", ""},
        {p + "110q", p + "110dq"},
        {p + " 8110d", p + "8110d"},
        {p + "-1d", p + "4294967295d"},
        {p + "99999999999d", p + "4294967295d"},
        // 2^64 would wrap to 0, the default port.
        {p + "18446744073709551616d", p + "4294967295d"},
        {"h,u,,2,-1,-5,x,,-7,110d", "h,u,,1,0,35791,0,,1,110d"},
        {"h,u,, 1 ,99999999999,99999999999,+1,,0,110d", "h,u,,1,0,35791,1,,0,110d"},
        // STLS or implicit TLS, both named: implicit; the trusted
        // certificate in either case; one damaged trusts nothing, and a
        // plain profile trusts none.
        {p + "995dqi:" + pin, ""},
        {p + "0ds:" + lowerPin, p + "110ds:" + pin},
        {p + "110dsx", p + "110ds"},
        {p + "995dsi", p + "995di"},
        {p + "995di:" + pin.substr(1), p + "995di"},
        {p + "995di:" + pin + "0", p + "995di"},
        {p + "995di:G" + pin.substr(1), p + "995di"},
        {p + "995di:" + pin.substr(2) + ":q", p + "995di"},
        {p + "995d:" + pin, p + "995d"},
    };
    for (const auto& [stored, saved] : lines) {
        Account account(1);
        applyProfileLine(account, stored);
        const std::string line = formatProfileLine(account);
        EXPECT_EQ(line, saved.empty() ? stored : saved);
        EXPECT_EQ(account.trayIcon != nullptr, account.showIcon) << stored;
        EXPECT_EQ(account.timerId != 0, account.checkAutomatically && account.intervalMinutes != 0);
        // Version 1.1 takes any "q" after the port's digits as no balloon.
        EXPECT_EQ(splitProfileLine(line).back().find('q') == std::string_view::npos,
                  account.notifyNewMail)
            << line;
    }
    Account pinned(1);
    applyProfileLine(pinned, lines[0].first);
    EXPECT_EQ(pinned.password, "secret");
    // Beyond 14 bytes the key starts again.
    for (std::size_t i = 14; i < 29; ++i)
        EXPECT_EQ(scrambledByte('s', i), scrambledByte('s', i - 14)) << i;
    for (const auto& [line, title] : {std::pair{"h", "@h"}, {"h,joe", "joe@h"}}) {
        Account account(1);
        applyProfileLine(account, line);
        EXPECT_EQ(account.title, title);
    }
}

// A password is refused exactly when it would not read back from its line.
TEST_F(ProfileLineTest, PasswordsRefusedExactlyWhenTheyWouldNotReadBack) {
    Account account(1);
    Account readBack(2);
    for (std::size_t position = 0; position < 30; ++position) {
        for (int value = 0; value < 256; ++value) {
            account.password = std::string(position, 'a') + static_cast<char>(value);
            applyProfileLine(readBack, formatProfileLine(account));
            EXPECT_EQ(passwordProblem(account.password).empty(),
                      readBack.password == account.password)
                << value << " at " << position;
        }
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
