#include "net/POP3Client.h"
#include "net/MessageList.h"
#include "net/POP3Exception.h"

#include "servers/SampleMailbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>

namespace {

using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

class POP3Client : public testing::Test {
protected:
    // The exception the call fails with.
    template <typename Call> static POP3::Exception failure(Call call) {
        try {
            call();
        } catch (const POP3::Exception& e) {
            return e;
        }
        ADD_FAILURE() << "no failure";
        return POP3::Exception("", "", -1);
    }
    // One check as the account runs it: login, scan, quit. The server is
    // named, not dotted, so that every check also looks a name up.
    int check() {
        client.login("alice", "secret", "localhost", server.port());
        const int fetched = client.scan(list);
        client.quit();
        return fetched;
    }
    POP3::Exception failedCheck() {
        return failure([&] { check(); });
    }
    // The unique ids, each marked "?" while its record has flags.
    Lines uids() const {
        Lines result;
        for (const POP3::Message& message : list)
            result.push_back(message.uid + (message.flags ? "?" : ""));
        return result;
    }
    POP3::Message& nth(int n) { return *std::next(list.begin(), n - 1); }
    // Each record as one text, for comparing what two checks fetched.
    Lines records() const {
        Lines all;
        for (const POP3::Message& m : list) {
            all.push_back(m.uid + " " + std::to_string(m.size) + " " + std::to_string(m.received));
            for (const Header& header : m.headers())
                all.back() += "\n" + std::string(header.name) + ": " + std::string(header.value);
            for (const auto& line : m.lines())
                all.back() += "\n" + std::string(line);
        }
        return all;
    }

    Pop3Server server{sampleMailbox(2)};
    POP3::Client client{1000};
    MessageList list;
};

// The list follows the listing through the program's own merge: a failed
// check drops no record; records keep their place and take their new
// numbers, records no longer listed go, new ones are appended and fetched;
// deletions go by the current number.
TEST_F(POP3Client, ChecksFollowTheMailboxAndDeleteByTheCurrentNumber) {
    EXPECT_EQ(check(), 2);
    EXPECT_EQ(server.takeTranscript(), (Lines{"user alice", "pass secret", "stat", "uidl", "list 1",
                                              "top 1 30", "list 2", "top 2 30", "quit"}));
    EXPECT_EQ(nth(1).lines()[0], "..") << "a stuffed lone dot does not end the data";
    std::string value;
    EXPECT_TRUE(nth(1).getHeader("From", value));
    EXPECT_FALSE(nth(1).getHeader("from", value) || value != "") << "exact, and no stale value";
    server.refuse("uidl");
    EXPECT_EQ(failedCheck().code, 7);
    EXPECT_EQ(uids(), (Lines{"a1?", "b2?"})) << "unlisted, not dropped";

    server.clearFaults();
    server.remove("a1");
    for (int n = 3; n <= 5; ++n)
        server.add(sampleMessage(n));
    EXPECT_EQ(check(), 3);
    EXPECT_EQ(uids(), (Lines{"b2", "c3", "d4", "e5"}));
    nth(1).flags = nth(4).flags = POP3::Message::Deleted;
    server.takeTranscript();
    EXPECT_EQ(check(), 0);
    EXPECT_EQ(server.takeTranscript(),
              (Lines{"user alice", "pass secret", "stat", "uidl", "dele 1", "dele 4", "quit"}));
    EXPECT_EQ(uids(), (Lines{"c3", "d4"}));
}

// A first check of many messages sends its commands in batches when the
// server can pipeline, and nothing may change but the time it takes: the
// records are those of one command at a time, and a refusal in the middle
// of a batch fails the check. (A check of few new messages sees the exchange
// it always saw: ChecksFollowTheMailbox... pins it.)
TEST_F(POP3Client, PipelinedBatchesChangeNothingButTheTime) {
    for (int n = 3; n <= 150; ++n)
        server.add(sampleMessage(n));
    server.refuse("capa");
    list = MessageList();
    ASSERT_EQ(check(), 150);
    const Lines single = records();

    server.answer("capa", "+OK", {"TOP", "PIPELINING", "UIDL"});
    server.takeTranscript();
    list = MessageList();
    ASSERT_EQ(check(), 150);
    EXPECT_EQ(records(), single);
    EXPECT_EQ(std::ranges::count(server.takeTranscript(), "capa"), 1);

    server.refuse("top 70");
    list = MessageList();
    EXPECT_EQ(failedCheck().code, 7);
}

TEST_F(POP3Client, ListingsNameOnlyRealMessagesAndAreBounded) {
    const std::string longId(POP3::Client::maxUidLength - 1, 'u');
    for (int n = 3; n <= 6; ++n)
        server.add(sampleMessage(n));
    // 2^64 + 3 names no message, even where 64 bits would wrap it to 3.
    server.answer("uidl", "+OK",
                  {"1 a1", "", "abc", "0 zero", "-3 negative", "18446744073709551619 huge", "2",
                   " 2  b2  extra", "3 " + longId + "3", "4 " + longId + "4", "5 e5", "6 f6"});
    const char* const sizeReplies[] = {"+OK 1 120",         "+OK",  "+OK x y", "+OK 1 -5",
                                       "+OK 1 99999999999", "+OK 1"};
    for (int n = 1; n <= 6; ++n)
        server.fault("list " + std::to_string(n), sizeReplies[n - 1] + std::string("\r\n"));
    EXPECT_EQ(check(), 6);
    EXPECT_EQ(uids(), (Lines{"a1", "b2", longId + "3", longId + "4", "e5", "f6"}));
    for (int n = 1; n <= 6; ++n)
        EXPECT_EQ(nth(n).size, n == 1 ? 120 : 0) << sizeReplies[n - 1];

    server.answer("uidl", "+OK", {"1 " + longId + "xy"});
    EXPECT_EQ(failedCheck().text, "unique id too long");

    // The 100,000-id listing is taken in linear time, and one more is refused.
    list = MessageList();
    const size_t most = POP3::Client::maxListedMessages;
    Lines listing;
    for (size_t n = 1; n <= most + 1; ++n)
        listing.push_back(std::to_string(n) + " u" + std::to_string(n));
    server.answer("uidl", "+OK", Lines(listing.begin(), listing.end() - 1));
    server.refuse("list");
    const auto start = Clock::now();
    EXPECT_EQ(failedCheck().code, 7);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(list.count(), static_cast<int>(most));

    server.answer("uidl", "+OK", listing);
    EXPECT_EQ(failedCheck().text, "too many messages");
}

// Each step that fails has its code, whose text (all a tip shows) is its
// own. A status is judged by its exact word. The password goes out only
// after a clean greeting, in plain text as asked, and without a line break
// in it; STLS that is not offered, refused or broken sends no word of the
// login. No failure outlasts the time-out.
TEST_F(POP3Client, FailedStepsHaveTheirCodeAndSendThePasswordOnlyWhenSafe) {
    const auto stls = ConnectionSecurity::Stls;
    const struct {
        std::string key = "", bytes = ""; // the fault, if any
        int code;
        std::string text = ""; // "": not checked
        ConnectionSecurity security = ConnectionSecurity::None;
        Pop3Server::Cut cut = Pop3Server::None;
        std::string password = "secret";
    } cases[] = {
        {Pop3Server::greeting, "-ERR busy\r\n", 4, "received -ERR"},
        {"pass", "-ERR\r\n", 5, "received -ERR"},
        {"stat", "+OK\tfine\r\n", 6, "invalid response"},
        {"top", "-ERRor\r\n", 7, "invalid response"},
        {"quit", "-ERR\r\n", 8, "received -ERR"},
        {.code = 5, .password = "secret\ndele 1"},
        {.code = 5, .password = "secret\rdele 1"},
        // STLS is offered and accepted unless the row says otherwise.
        {"capa", "+OK\r\nTOP\r\nSTLSX\r\nUSER\r\n.\r\n", 13, "", stls},
        {"stls", "-ERR\r\n", 13, "", stls},
        {"stls", "+OK\r\n+OK text slipped in before the handshake\r\n", 9, "", stls},
        {"stls", "+OK\r\n", 1, "", stls, Pop3Server::Stall},
        {"stls", "+OK\r\n", 1, "", stls, Pop3Server::Close},
    };
    std::set<std::string> texts;
    for (int code = 0; code <= 14; ++code)
        texts.insert(POP3::Exception("", "", code).codeText());
    EXPECT_EQ(texts.size(), 15u);
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        server.clearFaults();
        server.answer("capa", "+OK", {"TOP", "STLS", "UIDL"});
        server.fault("stls", "+OK\r\n");
        server.fault(c.key, c.bytes, c.cut);
        server.takeTranscript();
        POP3::Client fresh(1000);
        fresh.setSecurity(c.security);
        const auto start = Clock::now();
        const POP3::Exception e = failure([&] {
            fresh.login("alice", c.password.c_str(), "localhost", server.port());
            fresh.scan(list);
            fresh.quit();
        });
        EXPECT_EQ(e.code, c.code) << e.message();
        EXPECT_TRUE(c.text.empty() || e.text == c.text) << e.text;
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
        // A server that refuses STLS may still hear "quit"; one that broke
        // the handshake hears nothing more.
        EXPECT_TRUE(c.security != stls || fresh.hasSocket() == (c.code == 13));
        const bool passSent = c.security != stls && c.password == "secret" && c.code >= 5;
        EXPECT_EQ(std::ranges::count(server.takeTranscript(), "pass secret"), passSent);
    }
}

// A server that dies or falls silent mid-reply fails the check within the
// client's time-out; what was fetched stays, the next check fetches the rest.
// The farewell "quit" of a client left with such a session must neither throw
// nor wait out the client's own (long) time-out.
TEST_F(POP3Client, DeadOrStalledServerFailsTheCheckAndTheExitInTime) {
    for (const auto& [cut, error] :
         {std::pair{Pop3Server::Close, "10101"}, {Pop3Server::Stall, "10060"}}) {
        server.fault("top 2", "+OK\r\nSubject: Message 2\r\nFrom", cut);
        auto start = Clock::now();
        EXPECT_EQ(failedCheck().text,
                  std::string("Socket: recv() failed (WSAGetLastError()=") + error + ")\n");
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
        EXPECT_EQ(uids(), (Lines{"a1", "b2?"}));
        server.clearFaults();
        EXPECT_EQ(check(), 1);
        list = MessageList();

        start = Clock::now();
        {
            POP3::Client patient;
            server.refuse("stat");
            failure([&] { patient.login("alice", "secret", "127.0.0.1", server.port()); });
            server.fault("quit", "", cut);
        }
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(4)) << cut;
        EXPECT_EQ(server.transcript().back(), "quit");
        server.clearFaults();
    }
}

// A server that sends without end, ignores the line count or sends absurd
// lines costs a bounded time and keeps a bounded part of what it sent.
TEST_F(POP3Client, HostileRepliesAreBoundedInMemoryAndTime) {
    server.fault(Pop3Server::greeting, "+OK " + std::string(Socket::lineReadLimit + 4096, 'f'));
    EXPECT_EQ(failedCheck().text, "reply too long");

    // Text ends at a NUL byte.
    Lines chatty{"Subject: " + std::string(1 << 20, 'x'), "", std::string("ab\0cd", 5), "",
                 "Not: a header"};
    chatty.resize(60, "line");
    std::string endless = "+OK\r\n";
    while (endless.size() <= POP3::Client::maxReplyBytes + 4096)
        endless += "X-Endless: this reply has no end\r\n";
    server.clearFaults();
    server.add(sampleMessage(3));
    server.answer("top 1", "+OK", chatty);
    server.answer("top 2", "+OK", Lines(3000, "X-Many: one of many header lines"));
    server.fault("top 3", std::move(endless));
    EXPECT_EQ(failedCheck().text, "reply too long");
    size_t kept = 0;
    for (const Header& header : nth(2).headers())
        kept += header.name.size() + header.value.size() + 1;
    EXPECT_LE(kept, POP3::Client::maxKeptBytesPerPart);
    // A line of 1 MB is cut, and fills the headers' share; what was dropped
    // still counts as received.
    EXPECT_EQ(nth(1).headers()[0].value.size(), Socket::lineKeepLimit - 9);
    EXPECT_EQ(nth(1).lines().size(), 30u);
    EXPECT_EQ(nth(1).lines()[0], "ab");
    EXPECT_EQ(nth(1).lines()[2], "Not: a header");
    EXPECT_GT(nth(1).received, 1 << 20);
}

} // namespace
