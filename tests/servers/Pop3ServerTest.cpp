#include "servers/Pop3Server.h"

#include "net/Socket.h"
#include "net/SocketAddress.h"
#include "servers/SampleMailbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;
using namespace std::chrono_literals;

// The test's side of one connection: lines as the server sent them (a
// stuffed line keeps its extra "."), or raw bytes where the lines would hide
// what matters.
class TestClient {
public:
    explicit TestClient(int port, DWORD timeout = 5000) : socket(timeout) {
        SocketAddress address;
        address.resolve("127.0.0.1", port);
        socket.connect(address);
    }

    std::string line() {
        std::string text;
        socket.readLine(text);
        return text;
    }
    std::string command(const std::string& text) {
        socket.sendString(text + "\r\n");
        return line();
    }
    // The data lines up to the ending ".", which is not included.
    Lines data() {
        Lines rows;
        for (std::string row = line(); row != "."; row = line())
            rows.push_back(row);
        return rows;
    }
    // Everything up to the server's end of the connection.
    std::string rest() {
        std::string bytes;
        char buffer[64 * 1024];
        for (int count; (count = socket.receive(buffer, sizeof buffer, 0)) > 0;)
            bytes.append(buffer, static_cast<size_t>(count));
        return bytes;
    }
    // Reads exactly this many bytes.
    std::string bytes(size_t wanted) {
        std::string got;
        char buffer[64 * 1024];
        while (got.size() < wanted) {
            const int count = socket.receive(
                buffer, static_cast<int>(std::min(sizeof buffer, wanted - got.size())), 0);
            if (count <= 0)
                break;
            got.append(buffer, static_cast<size_t>(count));
        }
        return got;
    }
    void login(const Pop3Server& server) {
        ASSERT_EQ(line().substr(0, 3), "+OK");
        ASSERT_EQ(command("user " + server.user()).substr(0, 3), "+OK");
        ASSERT_EQ(command("pass " + server.password()).substr(0, 3), "+OK");
    }

    Socket socket;
};

// Two messages small enough to write the exchange out by hand: the first
// with bare line feeds and lines that need stuffing, the second with CR LF
// and more body lines than "top 1 30" returns.
Pop3Mailbox handWrittenMailbox() {
    std::string report = "From: Carol <carol@example.org>\r\nSubject: Report\r\n\r\n";
    for (int i = 1; i <= 32; ++i)
        report += "line " + std::to_string(i) + "\r\n";
    return {
        Pop3Message("a1",
                    "From: Bob <bob@example.org>\nSubject: Lunch\n\nSee you at noon.\n.\n..dots\n"),
        Pop3Message("b2", report),
    };
}

Lines bodyLines(int from, int to) {
    Lines rows;
    for (int i = from; i <= to; ++i)
        rows.push_back("line " + std::to_string(i));
    return rows;
}

template <typename Container> Container joined(Container a, const Container& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(Pop3Server, AnswersTheChecksExchange) {
    Pop3Server server(handWrittenMailbox());
    TestClient client(server.port());

    const std::string greeting = client.line();
    EXPECT_EQ(greeting.substr(0, 4), "+OK ") << greeting;
    EXPECT_GT(greeting.size(), 4u);
    EXPECT_EQ(client.command("user alice"), "+OK send the password");
    EXPECT_EQ(client.command("pass secret"), "+OK alice's maildrop has 2 messages (407 octets)");
    EXPECT_EQ(client.command("stat"), "+OK 2 407");
    EXPECT_EQ(client.command("uidl"), "+OK");
    EXPECT_EQ(client.data(), (Lines{"1 a1", "2 b2"}));
    EXPECT_EQ(client.command("list 1"), "+OK 1 76");
    EXPECT_EQ(client.command("top 1 30"), "+OK");
    EXPECT_EQ(client.data(), (Lines{"From: Bob <bob@example.org>", "Subject: Lunch", "",
                                    "See you at noon.", "..", "...dots"}));
    EXPECT_EQ(client.command("list 2"), "+OK 2 331");
    EXPECT_EQ(client.command("top 2 30"), "+OK");
    EXPECT_EQ(client.data(), joined(Lines{"From: Carol <carol@example.org>", "Subject: Report", ""},
                                    bodyLines(1, 30)));
    EXPECT_EQ(client.command("quit"), "+OK Pellmor test POP3 server signing off (2 messages left)");
    EXPECT_EQ(client.rest(), "") << "the server ends the connection after quit";

    EXPECT_EQ(server.transcript(), (Lines{"user alice", "pass secret", "stat", "uidl", "list 1",
                                          "top 1 30", "list 2", "top 2 30", "quit"}));
    EXPECT_EQ(server.sessions(), 1);
    EXPECT_EQ(server.uids(), (Lines{"a1", "b2"}));
}

TEST(Pop3Server, SendsCrLfAndStuffsLeadingDotsWhateverTheStoredLineEnds) {
    Pop3Server server(handWrittenMailbox());
    TestClient client(server.port());
    client.login(server);
    client.socket.sendString("retr 1\r\ntop 2 0\r\ntop 1 1\r\nquit\r\n");
    EXPECT_EQ(
        client.rest(),
        "+OK 76 octets\r\n"
        "From: Bob <bob@example.org>\r\nSubject: Lunch\r\n\r\nSee you at noon.\r\n..\r\n...dots\r\n"
        ".\r\n"
        "+OK\r\nFrom: Carol <carol@example.org>\r\nSubject: Report\r\n\r\n.\r\n"
        "+OK\r\nFrom: Bob <bob@example.org>\r\nSubject: Lunch\r\n\r\nSee you at noon.\r\n.\r\n"
        "+OK Pellmor test POP3 server signing off (2 messages left)\r\n");
}

TEST(Pop3Server, TakesCommandsInAnyCaseAndRecordsThemAsSent) {
    Pop3Server server(sampleMailbox(1), {.user = "Bob", .password = "two words"});
    TestClient client(server.port());
    client.line();
    EXPECT_EQ(client.command("USER Bob").substr(0, 3), "+OK");
    EXPECT_EQ(client.command("Pass two words").substr(0, 3), "+OK");
    EXPECT_EQ(client.command("sTaT").substr(0, 5), "+OK 1");
    EXPECT_EQ(client.command("UIDL 1"), "+OK 1 a1");
    EXPECT_EQ(client.command("NOOP"), "+OK");
    EXPECT_EQ(client.command("xyzzy").substr(0, 4), "-ERR");
    EXPECT_EQ(client.command("QUIT").substr(0, 3), "+OK");
    EXPECT_EQ(server.transcript(),
              (Lines{"USER Bob", "Pass two words", "sTaT", "UIDL 1", "NOOP", "xyzzy", "QUIT"}));
}

TEST(Pop3Server, WrongPasswordFailsAndTheClientMayTryAgain) {
    Pop3Server server(sampleMailbox(2));
    TestClient client(server.port());
    client.line();
    EXPECT_EQ(client.command("user alice").substr(0, 3), "+OK");
    EXPECT_EQ(client.command("pass wrong").substr(0, 5), "-ERR ");
    EXPECT_EQ(client.command("stat").substr(0, 5), "-ERR ") << "not logged in";
    EXPECT_EQ(client.command("pass secret").substr(0, 5), "-ERR ") << "user must come again first";
    EXPECT_EQ(client.command("user alice").substr(0, 3), "+OK");
    EXPECT_EQ(client.command("pass secret").substr(0, 3), "+OK");
    EXPECT_EQ(client.command("stat").substr(0, 5), "+OK 2");
}

TEST(Pop3Server, DeletesMarkedMessagesOnlyWhenQuitEndsTheSession) {
    Pop3Server server(sampleMailbox(3));
    {
        TestClient client(server.port());
        client.login(server);
        EXPECT_EQ(client.command("dele 2"), "+OK message 2 deleted");
        EXPECT_EQ(client.command("dele 2"), "-ERR message 2 already deleted");
        EXPECT_EQ(client.command("list 2"), "-ERR message 2 already deleted");
        EXPECT_EQ(client.command("dele 4"), "-ERR no such message");
        EXPECT_EQ(client.command("uidl"), "+OK");
        EXPECT_EQ(client.data(), (Lines{"1 a1", "3 c3"})) << "numbers stay put within a session";
        EXPECT_EQ(client.command("stat").substr(0, 5), "+OK 2");
        EXPECT_EQ(client.command("rset").substr(0, 3), "+OK");
        EXPECT_EQ(client.command("list 2").substr(0, 6), "+OK 2 ");
        EXPECT_EQ(client.command("dele 1").substr(0, 3), "+OK");
        // Ends without quit: nothing is removed.
    }
    {
        TestClient second(server.port());
        second.login(server);
        EXPECT_EQ(second.command("dele 1").substr(0, 3), "+OK");
        EXPECT_EQ(second.command("dele 3").substr(0, 3), "+OK");
        EXPECT_EQ(server.uids(), (Lines{"a1", "b2", "c3"}))
            << "the first session kept its marks to itself";
        EXPECT_EQ(second.command("quit"),
                  "+OK Pellmor test POP3 server signing off (1 message left)");
        EXPECT_EQ(server.uids(), (Lines{"b2"})) << "updated before quit was answered";
    }
    const Lines both = server.takeTranscript();
    ASSERT_EQ(both.size(), 16u) << "11 lines of the first session, 5 of the second";
    EXPECT_EQ(both[10], "dele 1");
    EXPECT_EQ(both[11], "user alice");
    EXPECT_EQ(both[15], "quit");
    EXPECT_EQ(server.transcript(), Lines{});

    TestClient third(server.port());
    third.login(server);
    EXPECT_EQ(third.command("uidl"), "+OK");
    EXPECT_EQ(third.data(), (Lines{"1 b2"}));
    EXPECT_EQ(server.sessions(), 3);
    EXPECT_EQ(server.transcript(), (Lines{"user alice", "pass secret", "uidl"}));
    server.clearTranscript();
    EXPECT_EQ(server.transcript(), Lines{});
}

TEST(Pop3Server, KeepsTheMailboxChangesForTheNextSession) {
    Pop3Server server(sampleMailbox(2));
    const std::string longUid(100, 'u');
    server.add(Pop3Message(longUid, "Subject: long id\n\nbody\n"));
    EXPECT_TRUE(server.remove("a1"));
    EXPECT_FALSE(server.remove("a1"));
    EXPECT_THROW(server.add(sampleMessage(2)), MsgException) << "b2 is taken";
    EXPECT_EQ(server.uids(), (Lines{"b2", longUid}));

    TestClient client(server.port());
    client.login(server);
    server.add(sampleMessage(3));
    EXPECT_EQ(client.command("uidl"), "+OK");
    EXPECT_EQ(client.data(), (Lines{"1 b2", "2 " + longUid}))
        << "c3 came after the session started";
}

TEST(Pop3Server, RefusesOrAnswersAsToldAndThenCarriesNothingOut) {
    Pop3Server server(sampleMailbox(2));
    server.refuse("uidl", "-ERR no uidl");
    server.answer("stat", "+ok");
    server.answer("list", "");
    server.answer("list 2", "+OK x y");
    server.answer("top", "+OK", {"1 a1", "", "abc", ".x"});
    server.answer("dele", "+OK pretended");
    EXPECT_THROW(server.refuse("quit", "+OK"), MsgException);

    TestClient client(server.port());
    client.login(server);
    EXPECT_EQ(client.command("UIDL"), "-ERR no uidl");
    EXPECT_EQ(client.command("stat"), "+ok");
    EXPECT_EQ(client.command("list 1"), "");
    EXPECT_EQ(client.command("list 2"), "+OK x y") << "the longer key wins";
    EXPECT_EQ(client.command("list 22"), "") << "\"list 2\" is not a prefix of \"list 22\"";
    EXPECT_EQ(client.command("top 1 30"), "+OK");
    EXPECT_EQ(client.data(), (Lines{"1 a1", "", "abc", "..x"}));
    EXPECT_EQ(client.command("dele 1"), "+OK pretended");

    server.clearFault("list");
    EXPECT_EQ(client.command("list 1").substr(0, 6), "+OK 1 ") << "nothing was deleted";
    server.clearFaults();
    EXPECT_EQ(client.command("uidl"), "+OK");
    EXPECT_EQ(client.data(), (Lines{"1 a1", "2 b2"}));
}

TEST(Pop3Server, GreetsAsTold) {
    Pop3Server server;
    server.answer(Pop3Server::greeting, "-ERR busy");
    EXPECT_EQ(TestClient(server.port()).line(), "-ERR busy");
    server.answer(Pop3Server::greeting, "+OK");
    EXPECT_EQ(TestClient(server.port()).line(), "+OK");
    server.clearFaults();
    EXPECT_EQ(TestClient(server.port()).line().substr(0, 4), "+OK ");
    EXPECT_EQ(server.sessions(), 3);
}

TEST(Pop3Server, ClosesAfterTheGivenBytesOfAReply) {
    Pop3Server server(handWrittenMailbox());
    server.closeAfter("top 2", 10);
    server.closeAfter("stat", 0);
    {
        TestClient client(server.port());
        client.login(server);
        EXPECT_EQ(client.command("top 1 30"), "+OK");
        client.data();
        client.socket.sendString("top 2 30\r\n");
        EXPECT_EQ(client.rest(), "+OK\r\nFrom:");
    }
    {
        TestClient client(server.port());
        client.login(server);
        client.socket.sendString("stat\r\n");
        EXPECT_EQ(client.rest(), "");
    }
    // A cut reply still carries the command out: the quit below takes effect
    // although its answer never arrives.
    server.closeAfter("quit", 0);
    {
        TestClient client(server.port());
        client.login(server);
        client.command("dele 1");
        client.socket.sendString("quit\r\n");
        EXPECT_EQ(client.rest(), "");
    }
    EXPECT_EQ(server.uids(), (Lines{"b2"}));
    EXPECT_EQ(server.sessions(), 3);
}

TEST(Pop3Server, StallHoldsTheConnectionUntilTheClientLeaves) {
    Pop3Server server(sampleMailbox(2));
    server.stallAfter("uidl", 7);
    {
        TestClient client(server.port(), 300);
        client.login(server);
        client.socket.sendString("uidl\r\n");
        EXPECT_EQ(client.line(), "+OK");
        try {
            client.line();
            FAIL() << "the stalled line arrived";
        } catch (const Socket::Exception& e) {
            EXPECT_EQ(e.wsaError, WSAETIMEDOUT);
        }
        client.socket.sendString("noop\r\n");
    }
    // The client's close ends the stall at once, not at the server's limit.
    const auto start = std::chrono::steady_clock::now();
    TestClient next(server.port(), 5000);
    EXPECT_EQ(next.line().substr(0, 3), "+OK");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(server.transcript(), (Lines{"user alice", "pass secret", "uidl", "noop"}))
        << "what the client sent during the stall is recorded";
}

TEST(Pop3Server, StopsPromptlyWhateverTheSessionIsDoing) {
    for (const char* doing : {"stalling", "waiting for a command", "streaming"}) {
        std::chrono::steady_clock::duration stopping{};
        {
            auto server = std::make_unique<Pop3Server>(sampleMailbox(1));
            server->stallAfter("stat", 0);
            server->endless("uidl");
            TestClient client(server->port());
            client.login(*server);
            if (doing == std::string("stalling"))
                client.socket.sendString("stat\r\n");
            if (doing == std::string("streaming")) {
                // A client that stops reading: the server's sends block.
                client.socket.sendString("uidl\r\n");
                client.line();
            }
            Sleep(200);
            const auto start = std::chrono::steady_clock::now();
            server.reset();
            stopping = std::chrono::steady_clock::now() - start;
        }
        EXPECT_LT(stopping, 1s) << doing;
    }
}

TEST(Pop3Server, StreamsEndlessDataUntilItsBound) {
    Pop3Server server(sampleMailbox(1));
    server.endless("uidl", 200 * 1000);
    TestClient client(server.port());
    client.login(server);
    client.socket.sendString("uidl\r\n");
    const std::string stream = client.rest();
    EXPECT_EQ(stream.substr(0, 31), "+OK\r\n1 endless-1\r\n2 endless-2\r\n");
    EXPECT_GE(stream.size(), 200u * 1000);
    EXPECT_LT(stream.size(), 200u * 1000 + 70 * 1024);
    EXPECT_EQ(stream.find("\r\n.\r\n"), std::string::npos) << "an endless reply never ends";
}

TEST(Pop3Server, StreamsEndlessDataUntilTheClientGivesUp) {
    Pop3Server server(sampleMailbox(1));
    server.endless("top");
    {
        TestClient client(server.port());
        client.login(server);
        EXPECT_EQ(client.command("top 1 30"), "+OK");
        for (int i = 1; i <= 3000; ++i)
            ASSERT_EQ(client.line(), "X-Endless-" + std::to_string(i) + ": this reply has no end");
    }
    // With 256 MB still to come, only the client's close lets the next
    // session in.
    TestClient next(server.port(), 5000);
    EXPECT_EQ(next.line().substr(0, 3), "+OK");
}

TEST(Pop3Server, SendsHugeLinesAndListingsWhole) {
    Pop3Server server(sampleMailbox(1));
    const std::string huge = "Subject: " + std::string(20 * 1024 * 1024, 'x');
    server.answer("top", "+OK", {huge, "", "body"});
    server.answer("uidl", "+OK", manyUidLines(100000));
    TestClient client(server.port(), 20000);
    client.login(server);

    client.socket.sendString("top 1 30\r\n");
    const std::string expected = "+OK\r\n" + huge + "\r\n\r\nbody\r\n.\r\n";
    const std::string got = client.bytes(expected.size());
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);

    EXPECT_EQ(client.command("uidl"), "+OK");
    const Lines listing = client.data();
    ASSERT_EQ(listing.size(), 100000u);
    EXPECT_EQ(listing.front(), "1 u1");
    EXPECT_EQ(listing.back(), "100000 u100000");
    EXPECT_EQ(client.command("quit").substr(0, 3), "+OK");
}

} // namespace
