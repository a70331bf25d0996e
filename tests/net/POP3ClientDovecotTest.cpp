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

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

struct Fixture {
    int port = 0;
    std::string user, password;
    std::vector<std::pair<std::string, int>> messages; // unique id, size
};

std::wstring menuText(HMENU menu, int position) {
    wchar_t text[512] = L"";
    GetMenuStringW(menu, static_cast<UINT>(position), text, 512, MF_BYPOSITION);
    return text;
}

Fixture readFixture() {
    Fixture fixture;
    const char* path = std::getenv("PELLMOR_DOVECOT_INFO");
    std::ifstream in(path ? path : "");
    for (std::string line; std::getline(in, line);) {
        const size_t equals = line.find('=');
        const std::string key = line.substr(0, equals), value = line.substr(std::min(equals + 1, line.size()));
        std::istringstream words(value);
        if (key == "port") {
            words >> fixture.port;
        } else if (key == "user") {
            fixture.user = value;
        } else if (key == "password") {
            fixture.password = value;
        } else if (key == "message") {
            auto& [uid, size] = fixture.messages.emplace_back();
            words >> uid >> size;
        }
    }
    return fixture;
}

// Fetch, fetch nothing new, delete, and a wrong password, in the order one
// mailbox allows; the password holds a blank.
TEST(POP3ClientDovecot, ChecksFetchDeleteAndRefuseAsTheServerSays) {
    const Fixture server = readFixture();
    ASSERT_EQ(server.messages.size(), 6u) << "no Dovecot fixture: run this program through ctest";
    POP3::Client client(10000);
    auto check = [&](MessageList& list, const std::string& password) {
        client.login(server.user.c_str(), password.c_str(), "127.0.0.1", server.port);
        const int fetched = client.scan(list);
        client.quit();
        return fetched;
    };
    MessageList list;
    ASSERT_EQ(check(list, server.password), 6);
    auto message = list.begin();
    for (const auto& [uid, size] : server.messages) {
        EXPECT_EQ(message->uid, uid);
        EXPECT_EQ(message->size, size);
        EXPECT_EQ(message->flags, 0u);
        ++message;
    }
    const auto shown = [](const POP3::Message& message, const char* name) {
        return decodeHeaderText(headerValue(message.headers(), name));
    };
    EXPECT_EQ(shown(*list.begin(), "Subject"), "Café au lait");
    const POP3::Message& longOne = *std::next(list.begin());
    EXPECT_EQ(longOne.lines().size(), 30u);
    EXPECT_GT(longOne.size, longOne.received);
    const POP3::Message& shortOne = *std::next(list.begin(), 2);
    EXPECT_EQ(shortOne.received, shortOne.size);
    EXPECT_TRUE(std::next(list.begin(), 3)->lines().empty()) << "headers only";
    // MIME as a real server hands it over ("top" with its dot-stuffing and
    // its line limit), read back from the account's real menu in Unicode.
    loadIcons();
    {
        Account account(3);
        account.setHost("127.0.0.1");
        account.port = static_cast<unsigned>(server.port);
        account.setUser(server.user);
        account.password = server.password;
        account.check();
        ASSERT_EQ(account.messageCount, 6u) << account.status;
        EXPECT_EQ(menuText(account.menu, 4), L"会議の件\tRenée <renee@example.com>");
        EXPECT_EQ(menuText(GetSubMenu(account.menu, 4), 2), L"Café && crème");
        EXPECT_EQ(menuText(GetSubMenu(account.menu, 4), 3), L".line with a dot");
        EXPECT_EQ(menuText(account.menu, 5).substr(0, 10), L"Übersicht\t");
        EXPECT_EQ(menuText(GetSubMenu(account.menu, 5), 2), L"Zweite Zeile folgt.");
        EXPECT_EQ(menuText(GetSubMenu(account.menu, 5), 3), L"Übersicht für März");
    }
    releaseIcons();

    EXPECT_EQ(check(list, server.password), 0);
    list.begin()->flags = POP3::Message::Deleted;
    EXPECT_EQ(check(list, server.password), 0);
    MessageList afresh;
    EXPECT_EQ(check(afresh, server.password), 5);
    EXPECT_EQ(afresh.begin()->uid, server.messages[1].first);

    try {
        check(list, server.password + "x");
        ADD_FAILURE() << "logged in with a wrong password";
    } catch (const POP3::Exception& e) {
        EXPECT_EQ(e.code, 5);
    }
}

} // namespace
