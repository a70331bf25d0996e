// The POP3 session against a real server: the throwaway Dovecot of the
// "dovecot" test fixture (tests/servers/dovecot/dovecot-fixture), which
// writes where it listens and what it serves into the file that
// PELLMOR_DOVECOT_INFO names.
#include "accounts/Account.h"
#include "mail/HeaderText.h"
#include "ui/Icons.h"
#include "net/MessageList.h"
#include "net/POP3Client.h"
#include "net/POP3Exception.h"
#include "support/DovecotInfo.h"
#include "support/FinishCheck.h"
#include "support/TestCa.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace {

std::wstring menuText(HMENU menu, int position) {
    wchar_t text[512] = L"";
    GetMenuStringW(menu, static_cast<UINT>(position), text, 512, MF_BYPOSITION);
    return text;
}

struct Fixture {
    int port = std::atoi(dovecotValue("port").c_str()), tlsPort = std::atoi(dovecotValue("tlsPort").c_str());
    std::string password = dovecotValue("password"), log = dovecotValue("log");
    std::istringstream userNames{dovecotValue("users")};
    std::vector<std::string> users{std::istream_iterator<std::string>(userNames), {}};
    // A mailbox of generated messages, and their count.
    std::string bulkUser = dovecotValue("bulk").substr(0, dovecotValue("bulk").find(' '));
    int bulkCount = std::atoi(dovecotValue("bulk").substr(bulkUser.size()).c_str());
    std::vector<std::string> messages = dovecotValues("message"); // "UID SIZE", message 1 first
};

class POP3ClientDovecot : public testing::TestWithParam<ConnectionSecurity> {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(trustTestCa(dovecotValue("ca")), ""); }
    const Fixture server;
};

// A check as the server says, the password holding a blank. Each kind of
// connection has a mailbox of its own, with the same messages: the records
// must not depend on how the text came.
TEST_P(POP3ClientDovecot, ChecksFetchWhatTheServerHolds) {
    ASSERT_EQ(server.messages.size(), 6u) << "no Dovecot fixture: run this program through ctest";
    const ConnectionSecurity security = GetParam();
    const std::string user = server.users[static_cast<size_t>(security)];
    // The certificate is for localhost; an address never matches a name.
    const char* host = security == ConnectionSecurity::None ? "127.0.0.1" : "localhost";
    const int port = security == ConnectionSecurity::ImplicitTls ? server.tlsPort : server.port;
    POP3::Client client(10000);
    client.setSecurity(security);
    auto check = [&](const std::string& mailbox, MessageList& list) {
        client.login(mailbox.c_str(), server.password.c_str(), host, port);
        const int fetched = client.scan(list);
        client.quit();
        return fetched;
    };
    MessageList list;
    ASSERT_EQ(check(user, list), 6);
    const auto nth = [&](size_t n) -> POP3::Message& { return *std::next(list.begin(), n - 1); };
    for (size_t n = 1; n <= 6; ++n)
        EXPECT_EQ(nth(n).uid + " " + std::to_string(nth(n).size), server.messages[n - 1]);
    EXPECT_EQ(nth(2).lines().size(), 30u);
    EXPECT_GT(nth(2).size, nth(2).received);
    EXPECT_EQ(nth(3).received, nth(3).size);
    EXPECT_TRUE(nth(4).lines().empty()) << "headers only";
    EXPECT_EQ(client.serverFingerprint().size(), security == ConnectionSecurity::None ? 0u : 64u);
    // MIME as a real server hands it over ("top" with its dot-stuffing and
    // its line limit), read back from the account's real menu in Unicode.
    loadIcons();
    if (security == ConnectionSecurity::None) {
        // Where the check's worker posts its steps.
        mainWindow = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        Account account(3);
        account.setHost("127.0.0.1");
        account.port = static_cast<unsigned>(server.port);
        account.setUser(user);
        account.password = server.password;
        ASSERT_TRUE(checkNow(account));
        ASSERT_EQ(account.messageCount, 6u) << account.status;
        ASSERT_TRUE(account.fillEntry(GetSubMenu(account.menu, 4), 4));
        EXPECT_EQ(menuText(account.menu, 4), L"会議の件\tRenée <renee@example.com>");
        EXPECT_EQ(menuText(GetSubMenu(account.menu, 4), 2), L"Café && crème");
        EXPECT_EQ(menuText(GetSubMenu(account.menu, 4), 3), L".line with a dot");
    }
    releaseIcons();

    // A first check big enough to pipeline two batches: replies that come
    // many to a read, through each kind of connection.
    ASSERT_GT(server.bulkCount, 64);
    MessageList bulk;
    EXPECT_EQ(check(server.bulkUser, bulk), server.bulkCount);
    int n = 0;
    for (const POP3::Message& message : bulk) {
        const std::string number = std::to_string(++n);
        EXPECT_EQ(headerValue(message.headers(), "Subject"), "Generated message number " + number);
        EXPECT_EQ(message.lines().back(), "Line 30 of message " + number +
                                              ", some words to make a line of ordinary length.");
    }
}

INSTANTIATE_TEST_SUITE_P(Security, POP3ClientDovecot,
                         testing::Values(ConnectionSecurity::None, ConnectionSecurity::Stls,
                                         ConnectionSecurity::ImplicitTls));

// Logins of one user that Dovecot logged; a user that no other program uses,
// since test programs may share the server.
size_t loginsLogged(const Fixture& server, const std::string& user) {
    std::ifstream in(server.log);
    size_t count = 0;
    for (std::string line; std::getline(in, line);)
        count += line.find("Login: user=<" + user + ">") != std::string::npos;
    return count;
}

// Every certificate fault refused with its code, before a word of POP3; the
// one certificate a profile trusts accepted whatever it is, and only that
// one; and a server that does not talk TLS at all.
TEST_F(POP3ClientDovecot, RefusesCertificatesItCannotTrustAndAcceptsThePinnedOne) {
    const std::string pin = dovecotValue("pinnedFingerprint");
    ASSERT_FALSE(pin.empty()) << "no Dovecot fixture: run this program through ctest";
    struct Case {
        const char* what;
        const char* host;
        int port;
        std::string trusted;
        int code; // 0: the check succeeds
    } cases[] = {
        // Trust outranks the date, and the date the name: an address
        // never matches the name of these certificates.
        {"expired", "127.0.0.3", server.tlsPort, "", 12},
        {"for another name", "127.0.0.4", server.tlsPort, "", 11},
        {"only the leaf, from an unknown CA", "127.0.0.5", server.tlsPort, "", 10},
        {"self-signed and pinned", "127.0.0.2", server.tlsPort, pin, 0},
        {"valid, but not the pinned one", "localhost", server.tlsPort, pin, 10},
        {"plain text where TLS was asked for", "localhost", server.port, "", 9},
    };
    const std::string& user = server.users[2];
    const size_t loginsBefore = loginsLogged(server, user);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        POP3::Client client(5000);
        client.setSecurity(ConnectionSecurity::ImplicitTls, c.trusted);
        MessageList list;
        try {
            client.login(user.c_str(), server.password.c_str(), c.host, c.port);
            client.scan(list);
            client.quit();
            EXPECT_EQ(c.code, 0);
        } catch (const POP3::Exception& e) {
            EXPECT_EQ(e.code, c.code) << e.message();
            EXPECT_FALSE(client.hasSocket()) << "the refused connection stays open";
        }
        // A refused certificate's fingerprint is reported, for the user to
        // pin; that it is the right one the pinned row shows.
        EXPECT_EQ(client.serverFingerprint().size(), c.code == 9 ? 0u : 64u);
    }
    // Dovecot logs a login within moments; only the pinned case logged in.
    for (int wait = 0; wait < 20 && loginsLogged(server, user) < loginsBefore + 1; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(loginsLogged(server, user), loginsBefore + 1);
}

} // namespace
