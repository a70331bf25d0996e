// The POP3 session against a real server: the throwaway Dovecot of the
// "dovecot" test fixture (tests/servers/dovecot/dovecot-fixture), which
// writes where it listens and what it serves into the file that
// PELLMOR_DOVECOT_INFO names.
#include "mail/HeaderText.h"
#include "mail/MimeBody.h"
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
    // its line limit), read as the menu reads it.
    const POP3::Message& html = *std::next(list.begin(), 4);
    EXPECT_EQ(shown(html, "Subject"), "会議の件");
    EXPECT_EQ(shown(html, "From"), "Renée <renee@example.com>");
    EXPECT_EQ(previewBody(html.headers(), html.lines()).lines,
              (std::vector<std::string>{"Café & crème", ".line with a dot"}));
    const POP3::Message& mixed = *std::next(list.begin(), 5);
    EXPECT_EQ(mixed.lines().size(), 30u) << "the attachment runs past the lines fetched";
    EXPECT_EQ(shown(mixed, "Subject"), "Übersicht");
    EXPECT_EQ(previewBody(mixed.headers(), mixed.lines()).lines,
              (std::vector<std::string>{"Zweite Zeile folgt.", "Übersicht für März"}));

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
