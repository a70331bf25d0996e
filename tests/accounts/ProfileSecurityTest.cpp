// A profile's connection security and trusted certificate in its stored
// line: how they read back, and what older versions make of the line.
#include "accounts/ProfileLine.h"

#include "accounts/AccountFixture.h"
#include "accounts/DecimalText.h"

#include <string>

namespace {

using ProfileSecurityTest = AccountFixture;
using Security = ConnectionSecurity;

const std::string fingerprint = "00112233445566778899AABBCCDDEEFF0123456789ABCDEF0123456789ABCDEF";
const std::string start = "pop.example.org,joe,,1,0,10,0,C:\\MAIL.EXE,0,";

// Decisions: unknown letters are skipped; a line naming both forms of TLS
// gets implicit TLS; a fingerprint in lower case is the same one; one of the
// wrong length or with any other character trusts nothing; a plain profile
// stores no trust.
TEST_F(ProfileSecurityTest, PortFieldsReadBackAs) {
    const struct {
        std::string stored;
        std::string saved;
        Security security;
    } rows[] = {
        {"110d", "110d", Security::None},
        {"995dq", "995dq", Security::None},
        {"110dxyz", "110d", Security::None},
        {"110ds", "110ds", Security::Stls},
        {"995di", "995di", Security::ImplicitTls},
        {"995dqi:" + fingerprint, "995dqi:" + fingerprint, Security::ImplicitTls},
        {"0ds:" + fingerprint, "110ds:" + fingerprint, Security::Stls},
        {"110ds:00112233445566778899aabbccddeeff0123456789abcdef0123456789abcdef", "110ds:" + fingerprint,
         Security::Stls},
        {"995dsi", "995di", Security::ImplicitTls},
        {"995dzi", "995di", Security::ImplicitTls},
        {"995di:" + fingerprint.substr(1), "995di", Security::ImplicitTls},
        {"995di:" + fingerprint + "0", "995di", Security::ImplicitTls},
        {"995di:" + fingerprint.substr(1) + "G", "995di", Security::ImplicitTls},
        {"995di:" + fingerprint.substr(2) + ":q", "995di", Security::ImplicitTls},
        {"995d:" + fingerprint, "995d", Security::None},
        {"995d:i", "995d", Security::None},
    };
    for (const auto& row : rows) {
        Account account(1);
        applyProfileLine(account, start + row.stored);
        EXPECT_EQ(formatProfileLine(account), start + row.saved) << row.stored;
        EXPECT_EQ(account.security, row.security) << row.stored;
        EXPECT_TRUE(account.notifyNewMail == (row.saved.find('q') == std::string::npos)) << row.stored;
    }
}

// Older versions split the line at its commas and read only the port's
// leading digits (version 1.1 also looks for a "q" anywhere after them):
// a TLS line gives them every other field, the port and the balloon
// setting of the same profile stored plain.
TEST_F(ProfileSecurityTest, OlderVersionsReadEveryOtherField) {
    const auto quiet = [](std::string_view port) {
        return port.find('q', port.find_first_not_of("0123456789")) != std::string_view::npos;
    };
    for (const Security security : {Security::Stls, Security::ImplicitTls}) {
        for (const bool notify : {true, false}) {
            Account account(1);
            applyProfileLine(account, "pop.example.org,joe,,1,3,10,1,rundll32 url.dll,Open,1,995d");
            account.password = "secret";
            account.notifyNewMail = notify;
            const std::string plain = formatProfileLine(account);
            account.security = security;
            account.trustedFingerprint = fingerprint;
            const std::string secure = formatProfileLine(account);
            SCOPED_TRACE(secure);
            const auto plainFields = splitProfileLine(plain);
            const auto secureFields = splitProfileLine(secure);
            ASSERT_EQ(secureFields.size(), profileFieldCount);
            for (std::size_t i = 0; i + 1 < profileFieldCount; ++i)
                EXPECT_EQ(secureFields[i], plainFields[i]) << i;
            EXPECT_EQ(readUnsigned(secureFields.back()), 995u);
            EXPECT_EQ(quiet(secureFields.back()), !notify);
        }
    }
}

} // namespace
