#include "accounts/ProfileLine.h"

#include "accounts/AccountFixture.h"
#include "accounts/PasswordScramble.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class ProfileLineTest : public AccountFixture {};

std::vector<std::string> split(std::string_view line) {
    std::vector<std::string> fields;
    for (std::string_view field : splitProfileLine(line))
        fields.emplace_back(field);
    return fields;
}

std::string scrambled(std::string password) {
    scramblePassword(password);
    return password;
}

} // namespace

TEST_F(ProfileLineTest, FormatsTheTenFieldsWithTheLetterDAfterThePort) {
    Account account(1);
    account.setHost("10.1.2.3");
    account.setUser("user1");
    account.setShowIcon(true);
    account.setInterval(10);
    account.setCheckAutomatically(true);
    account.clientCommand = "C:\\MAIL\\MAIL.EXE";
    EXPECT_EQ(formatProfileLine(account), "10.1.2.3,user1,,1,0,10,1,C:\\MAIL\\MAIL.EXE,0,110d");

    account.password = "secret";
    account.setIconColour(5);
    account.setInterval(35791);
    account.deleteImmediately = true;
    account.port = 4294967295u;
    EXPECT_EQ(
        formatProfileLine(account),
        "10.1.2.3,user1,\xFD\xAD\xBD\xDF\xEC\xAF,1,5,35791,1,C:\\MAIL\\MAIL.EXE,1,4294967295d");
}

TEST_F(ProfileLineTest, SplitsAtCommasAndGivesSurplusCommasToTheClientCommand) {
    EXPECT_EQ(split("h,u,p,1,0,10,1,c,0,110d"),
              (std::vector<std::string>{"h", "u", "p", "1", "0", "10", "1", "c", "0", "110d"}));
    EXPECT_EQ(split("h,u"), (std::vector<std::string>{"h", "u"}));
    EXPECT_EQ(split(""), (std::vector<std::string>{""}));
    EXPECT_EQ(split(",,,,,,,,,"), std::vector<std::string>(10, ""));
    EXPECT_EQ(split("h,u,p,1,0,10,1,rundll32 url.dll,FileProtocolHandler,0,110d"),
              (std::vector<std::string>{"h", "u", "p", "1", "0", "10", "1",
                                        "rundll32 url.dll,FileProtocolHandler", "0", "110d"}));
    EXPECT_EQ(split("h,u,p,1,0,10,1,,,,,1,995d"),
              (std::vector<std::string>{"h", "u", "p", "1", "0", "10", "1", ",,,", "1", "995d"}));
}

TEST_F(ProfileLineTest, AppliesEveryFieldThroughTheAccount) {
    Account account(7);
    applyProfileLine(account, "mail.example.org,joe," + scrambled("pa55word") +
                                  ",1,3,15,1,rundll32 url.dll,FileProtocolHandler mailto:,1,995d");
    EXPECT_EQ(account.host, "mail.example.org");
    EXPECT_EQ(account.user, "joe");
    EXPECT_EQ(account.title, "joe@mail.example.org");
    EXPECT_EQ(account.password, "pa55word");
    EXPECT_TRUE(account.showIcon);
    EXPECT_NE(account.trayIcon, nullptr);
    EXPECT_EQ(account.iconColour, 3u);
    EXPECT_EQ(account.intervalMinutes, 15u);
    EXPECT_TRUE(account.checkAutomatically);
    EXPECT_NE(account.timerId, 0u);
    EXPECT_EQ(account.clientCommand, "rundll32 url.dll,FileProtocolHandler mailto:");
    EXPECT_TRUE(account.deleteImmediately);
    EXPECT_EQ(account.port, 995u);
}

// Decision: a line that ends early leaves the fields it lacks at the new
// account's defaults.
TEST_F(ProfileLineTest, MissingFieldsKeepTheirDefaults) {
    Account shortLine(1);
    applyProfileLine(shortLine, "mail.example.org,joe");
    EXPECT_EQ(shortLine.title, "joe@mail.example.org");
    EXPECT_EQ(shortLine.password, "");
    EXPECT_FALSE(shortLine.showIcon);
    EXPECT_EQ(shortLine.iconColour, 0u);
    EXPECT_EQ(shortLine.intervalMinutes, 10u);
    EXPECT_FALSE(shortLine.checkAutomatically);
    EXPECT_EQ(shortLine.clientCommand, "");
    EXPECT_FALSE(shortLine.deleteImmediately);
    EXPECT_EQ(shortLine.port, 110u);

    Account fiveFields(2);
    applyProfileLine(fiveFields, "h,u," + scrambled("pw") + ",0,4");
    EXPECT_EQ(fiveFields.password, "pw");
    EXPECT_EQ(fiveFields.iconColour, 4u);
    EXPECT_EQ(fiveFields.intervalMinutes, 10u);
    EXPECT_EQ(fiveFields.port, 110u);
}

// Port 0 and an empty port field are in ProfileStoreTest.
TEST_F(ProfileLineTest, PortIsReadAsUnsignedLeadingDigits) {
    const std::pair<const char*, unsigned> cases[] = {
        {"h,u,,1,0,10,0,,0,d", 110},
        {"h,u,,1,0,10,0,,0,995xyz", 995},
        {"h,u,,1,0,10,0,,0, 8110d", 8110},
        {"h,u,,1,0,10,0,,0,-1d", 4294967295u},
        {"h,u,,1,0,10,0,,0,99999999999d", 4294967295u},
    };
    for (const auto& [line, port] : cases) {
        Account account(1);
        applyProfileLine(account, line);
        EXPECT_EQ(account.port, port) << line;
    }
}

// Numbers out of every range reach the setters as the old reader handed
// them over; the setters keep the account valid.
TEST_F(ProfileLineTest, OddNumbersGiveValidSettings) {
    Account account(1);
    applyProfileLine(account, "h,u,,2,-1,-5,x,,-7,110d");
    EXPECT_TRUE(account.showIcon);
    EXPECT_EQ(account.iconColour, 0u);
    EXPECT_EQ(account.intervalMinutes, Account::maxIntervalMinutes);
    EXPECT_FALSE(account.checkAutomatically);
    EXPECT_TRUE(account.deleteImmediately);

    Account huge(2);
    applyProfileLine(huge, "h,u,, 1 ,99999999999,99999999999,+1,,0,110d");
    EXPECT_TRUE(huge.showIcon);
    EXPECT_EQ(huge.iconColour, 0u);
    EXPECT_EQ(huge.intervalMinutes, Account::maxIntervalMinutes);
    EXPECT_TRUE(huge.checkAutomatically);
}
