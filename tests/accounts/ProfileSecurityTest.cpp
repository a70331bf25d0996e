// A profile's connection security and trusted certificate in its stored
// line, and what older versions make of such a line.
#include "accounts/ProfileLine.h"

#include "accounts/AccountFixture.h"
#include "accounts/DecimalText.h"

#include <algorithm>
#include <cctype>

namespace {

using ProfileSecurityTest = AccountFixture;

const std::string pin = "00112233445566778899AABBCCDDEEFF0123456789ABCDEF0123456789ABCDEF";
const std::string start = "pop.example.org,joe,,1,0,10,0,rundll32 url.dll,Open,0,";

// Decisions: both forms of TLS named give implicit TLS; a fingerprint in
// lower case is the same one; one of the wrong length or with another
// character trusts nothing; a plain profile stores no trust.
TEST_F(ProfileSecurityTest, PortFieldsReadBackAs) {
    std::string lowerPin = pin;
    std::transform(pin.begin(), pin.end(), lowerPin.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
    const std::pair<std::string, std::string> rows[] = {
        {"110d", "110d"},           {"995dq", "995dq"},          {"110dsx", "110ds"},
        {"995dqi:" + pin, "995dqi:" + pin}, {"0ds:" + lowerPin, "110ds:" + pin}, {"995dsi", "995di"},
        {"995di:" + pin.substr(1), "995di"}, {"995di:" + pin + "0", "995di"}, {"995di:G" + pin.substr(1), "995di"},
        {"995di:" + pin.substr(2) + ":q", "995di"}, {"995d:" + pin, "995d"}};
    for (const auto& [stored, saved] : rows) {
        Account account(1);
        applyProfileLine(account, start + stored);
        EXPECT_EQ(formatProfileLine(account), start + saved) << stored;
        EXPECT_EQ(account.notifyNewMail, saved.find('q') == std::string::npos) << stored;
    }
}

// Older versions split the line at its commas and read only the port's
// leading digits, version 1.1 also a "q" anywhere after them: a TLS line
// gives them what the same profile stored plain gives.
TEST_F(ProfileSecurityTest, OlderVersionsReadEveryOtherField) {
    for (const std::string& port : {"995ds:" + pin, "995dqi:" + pin}) {
        const std::string secureLine = start + port, plainLine = start + port.substr(0, port.find_first_of("si"));
        const auto fields = splitProfileLine(secureLine), plain = splitProfileLine(plainLine);
        ASSERT_EQ(fields.size(), profileFieldCount);
        EXPECT_TRUE(std::equal(fields.begin(), fields.end() - 1, plain.begin())) << port;
        EXPECT_EQ(readUnsigned(fields.back()), 995u);
        EXPECT_EQ(fields.back().find('q', 3) == std::string_view::npos, plain.back().find('q') == std::string_view::npos);
    }
}

} // namespace
