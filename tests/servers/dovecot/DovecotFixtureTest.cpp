// The Dovecot fixture as the POP3 client's tests will meet it: a real server
// reached from under Wine through WinSock, serving the mailboxes that its
// info file describes.
#include "net/Socket.h"
#include "net/SocketAddress.h"

#include "support/DovecotFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One POP3 conversation, line by line, with nothing of the client's own
// logic in between. A socket failure is recorded with its text before it
// ends the test: GoogleTest knows only the standard exceptions' texts.
class Conversation {
public:
    explicit Conversation(const DovecotFixture& server) : socket(10000) {
        reported([&] {
            SocketAddress address;
            address.resolve(server.host.c_str(), server.port);
            socket.connect(address);
        });
        greeting = readLine();
    }

    std::string command(const std::string& line) {
        reported([&] { socket.sendString(line + "\r\n"); });
        return readLine();
    }

    // The data lines after a positive status line, without the final ".".
    std::vector<std::string> dataLines() {
        std::vector<std::string> lines;
        for (std::string line = readLine(); line != "."; line = readLine())
            lines.push_back(line);
        return lines;
    }

    std::string greeting;

private:
    std::string readLine() {
        std::string line;
        reported([&] { socket.readLine(line); });
        return line;
    }

    template <typename Call> static void reported(Call call) {
        try {
            call();
        } catch (const MsgException& e) {
            ADD_FAILURE() << e.message();
            throw;
        }
    }

    Socket socket;
};

bool positive(const std::string& reply) { return reply.rfind("+OK", 0) == 0; }
bool negative(const std::string& reply) { return reply.rfind("-ERR", 0) == 0; }

class DovecotFixtureTest : public testing::Test {
protected:
    void SetUp() override {
        try {
            std::optional<DovecotFixture> loaded = DovecotFixture::load();
            ASSERT_TRUE(loaded) << DovecotFixture::pathVariable
                                << " is not set: run this program through ctest, whose fixture"
                                   " \"dovecot\" starts the server";
            server = *loaded;
        } catch (const MsgException& e) {
            FAIL() << e.message();
        }
    }

    // Logs in and returns the reply to "pass".
    std::string logIn(Conversation& pop, const std::string& user, const std::string& password) {
        const std::string userReply = pop.command("user " + user);
        EXPECT_TRUE(positive(userReply)) << "user " << user << ": " << userReply;
        return pop.command("pass " + password);
    }

    DovecotFixture server;
};

TEST_F(DovecotFixtureTest, FreshMailboxListsItsThreeMessages) {
    const DovecotFixture::Mailbox& fresh = server.mailbox("fresh");
    ASSERT_EQ(fresh.uidls.size(), 3u);

    Conversation pop(server);
    EXPECT_TRUE(positive(pop.greeting)) << pop.greeting;
    const std::string login = logIn(pop, "fresh", fresh.password);
    ASSERT_TRUE(positive(login)) << login;

    EXPECT_EQ(pop.command("stat"), "+OK 3 " + std::to_string(fresh.octets()));

    const std::string uidl = pop.command("uidl");
    ASSERT_TRUE(positive(uidl)) << uidl;
    std::vector<std::string> expected;
    for (size_t i = 0; i < fresh.uidls.size(); ++i)
        expected.push_back(std::to_string(i + 1) + " " + fresh.uidls[i]);
    EXPECT_EQ(pop.dataLines(), expected);

    for (size_t i = 0; i < fresh.sizes.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        EXPECT_EQ(pop.command("list " + n), "+OK " + n + " " + std::to_string(fresh.sizes[i]));
    }

    const std::string quit = pop.command("quit");
    EXPECT_TRUE(positive(quit)) << quit;
}

TEST_F(DovecotFixtureTest, WrongPasswordAndUnknownUserAreRefused) {
    Conversation pop(server);
    const std::string wrong = logIn(pop, "fresh", server.mailbox("fresh").password + "x");
    EXPECT_TRUE(negative(wrong)) << wrong;
    const std::string unknown = logIn(pop, "nosuchuser", "fresh-pass");
    EXPECT_TRUE(negative(unknown)) << unknown;
    const std::string quit = pop.command("quit");
    EXPECT_TRUE(positive(quit)) << quit;
}

// Every fixed user, the password with blanks included, opens a mailbox with
// as many messages as the fixture promises. Only deleter's count depends on
// whether its test, in another program, has run yet.
TEST_F(DovecotFixtureTest, EveryUserLogsInWithItsPassword) {
    ASSERT_GE(server.mailboxes.size(), 4u);
    for (const auto& [user, box] : server.mailboxes) {
        Conversation pop(server);
        const std::string login = logIn(pop, user, box.password);
        EXPECT_TRUE(positive(login)) << user << ": " << login;
        const std::string stat = pop.command("stat");
        if (user != "deleter")
            EXPECT_EQ(stat, "+OK " + std::to_string(box.uidls.size()) + " " +
                                std::to_string(box.octets()))
                << user;
        else
            EXPECT_TRUE(positive(stat)) << user << ": " << stat;
        const std::string quit = pop.command("quit");
        EXPECT_TRUE(positive(quit)) << user << ": " << quit;
    }
}

} // namespace
