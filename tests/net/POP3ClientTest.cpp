#include "net/MessageList.h"
#include "net/POP3Client.h"
#include "net/POP3Exception.h"

#include "servers/SampleMailbox.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

// One check as the account runs it: login, scan, quit.
int check(POP3::Client& client, const Pop3Server& server, MessageList& list,
          const std::string& password = "secret") {
    client.login(server.user().c_str(), password.c_str(), "127.0.0.1", server.port());
    const int fetched = client.scan(list);
    client.quit();
    return fetched;
}

// A check that must fail, and how.
POP3::Exception failedCheck(POP3::Client& client, const Pop3Server& server, MessageList& list,
                            const std::string& password = "secret") {
    try {
        check(client, server, list, password);
    } catch (const POP3::Exception& e) {
        return e;
    }
    ADD_FAILURE() << "the check succeeded";
    return POP3::Exception("", "", -1);
}

Lines uids(const MessageList& list) {
    Lines result;
    for (const POP3::Message& message : list)
        result.push_back(message.uid + (message.flags ? "?" : ""));
    return result;
}

const POP3::Message& nth(const MessageList& list, int n) {
    return *std::next(list.begin(), n - 1);
}

// The list follows the server's listing through the program's own merge:
// records keep their place and take their new numbers, records no longer
// listed go, new ones are appended and fetched; deletions reach the server.
TEST(POP3Client, ChecksFollowTheMailboxAndDeleteByTheCurrentNumber) {
    Pop3Server server(sampleMailbox(3));
    POP3::Client client;
    MessageList list;
    EXPECT_EQ(check(client, server, list), 3);
    EXPECT_EQ(server.takeTranscript(), (Lines{"user alice", "pass secret", "stat", "uidl", "list 1", "top 1 30",
                                              "list 2", "top 2 30", "list 3", "top 3 30", "quit"}));
    EXPECT_FALSE(client.hasSocket());
    const POP3::Message& first = nth(list, 1);
    EXPECT_EQ(first.size, static_cast<int>(sampleMessage(1).size()));
    EXPECT_EQ(first.headers().size(), 3u);
    EXPECT_EQ(first.lines().size(), 30u);
    EXPECT_EQ(first.lines()[4], "..") << "a stuffed lone dot does not end the data; it is kept as it came";
    EXPECT_EQ(first.lines()[5], "...two dots");
    EXPECT_LT(first.received, first.size);

    server.remove("b2");
    server.add(sampleMessage(4));
    server.add(sampleMessage(5));
    EXPECT_EQ(check(client, server, list), 2);
    EXPECT_EQ(uids(list), (Lines{"a1", "c3", "d4", "e5"}));
    EXPECT_EQ(nth(list, 2).number, 2);
    server.clearTranscript();
    list.begin()->flags = POP3::Message::Deleted;
    std::next(list.begin(), 3)->flags = POP3::Message::Deleted;
    EXPECT_EQ(check(client, server, list), 0);
    EXPECT_EQ(server.takeTranscript(), (Lines{"user alice", "pass secret", "stat", "uidl", "dele 1", "dele 4", "quit"}));
    EXPECT_EQ(uids(list), (Lines{"c3", "d4"}));
    EXPECT_EQ(server.uids(), (Lines{"c3", "d4"}));
    EXPECT_EQ(check(client, server, list), 0);
    EXPECT_EQ(nth(list, 1).number, 1);
}

TEST(POP3Client, FailedChecksLoseNoRecordAndLeaveNoSessionBehind) {
    Pop3Server server(sampleMailbox(2));
    POP3::Client client;
    MessageList list;
    check(client, server, list);

    // A refused listing marks every record unlisted and drops none.
    server.refuse("uidl", "-ERR no uidl");
    EXPECT_EQ(failedCheck(client, server, list).code, 7);
    EXPECT_EQ(uids(list), (Lines{"a1?", "b2?"}));
    EXPECT_EQ(list.begin()->flags, static_cast<uint32_t>(POP3::Message::NotListed));

    // A deletion whose session does not end is lost: the message comes back.
    server.clearFaults();
    check(client, server, list);
    list.begin()->flags = POP3::Message::Deleted;
    server.refuse("quit", "-ERR not now");
    const POP3::Exception failure = failedCheck(client, server, list);
    EXPECT_EQ(failure.message(), "POP3Client: received -ERR (reply was 'not now')");
    EXPECT_EQ(failure.code, 8);
    EXPECT_TRUE(client.hasSocket());
    server.clearFaults();
    server.clearTranscript();
    EXPECT_EQ(check(client, server, list), 1);
    EXPECT_EQ(server.takeTranscript(), (Lines{"user alice", "pass secret", "stat", "uidl", "list 1", "top 1 30", "quit"}))
        << "the leftover connection is dropped without a second quit";
    EXPECT_EQ(uids(list), (Lines{"b2", "a1"}));
}

TEST(POP3Client, StatusLinesAreJudgedByTheirExactWord) {
    struct Case {
        const char* key;
        const char* statusLine;
        int code;
        const char* message; // nullptr: the check succeeds
    } const cases[] = {
        {Pop3Server::greeting, "+OK", 0, nullptr},
        {"stat", "+OK anything at all", 0, nullptr},
        {"quit", "+OK  bye", 0, nullptr},
        {Pop3Server::greeting, "-ERR busy", 4, "POP3Client: received -ERR (reply was 'busy')"},
        {"user", "-ERR unknown user", 5, "POP3Client: received -ERR (reply was 'unknown user')"},
        {"pass", "-ERR", 5, "POP3Client: received -ERR"},
        {"stat", "+ok", 6, "POP3Client: invalid response (reply was '+ok')"},
        {"stat", "+OK\tfine", 6, "POP3Client: invalid response (reply was '+OK\tfine')"},
        {"uidl", "", 7, "POP3Client: invalid response"},
        {"list", "OK 1 100", 7, "POP3Client: invalid response (reply was 'OK 1 100')"},
        {"top", "-ERRor", 7, "POP3Client: invalid response (reply was '-ERRor')"},
        {"dele", "-ERR locked", 7, "POP3Client: received -ERR (reply was 'locked')"},
        {"quit", "-ERR", 8, "POP3Client: received -ERR"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " answered «" + c.statusLine + "»");
        Pop3Server server(sampleMailbox(1));
        server.answer(c.key, c.statusLine);
        POP3::Client client;
        MessageList list;
        if (c.key == std::string("dele")) {
            check(client, server, list);
            list.begin()->flags = POP3::Message::Deleted;
        }
        if (!c.message) {
            EXPECT_NO_THROW(check(client, server, list));
            continue;
        }
        const POP3::Exception failure = failedCheck(client, server, list);
        EXPECT_EQ(failure.code, c.code);
        EXPECT_EQ(failure.message(), c.message);
    }
}

TEST(POP3Client, UnparsableLinesNameNoMessageAndUnparsableSizesAreUnknown) {
    Pop3Server server(sampleMailbox(6));
    const std::string longId(POP3::Client::maxUidLength - 1, 'u');
    server.answer("uidl", "+OK", {"1 a1", "", "abc", "0 zero", "-3 negative", "99999999999 huge", "2", "2 b2",
                                  " 3  c3  extra", "4 " + longId + "4", "5 " + longId + "5", "6 f6"});
    const char* const sizeReplies[] = {"+OK 1 120", "+OK", "+OK x y", "+OK 1 -5", "+OK 1 99999999999", "+OK 1"};
    for (int n = 1; n <= 6; ++n)
        server.answer("list " + std::to_string(n), sizeReplies[n - 1]);
    POP3::Client client;
    MessageList list;
    EXPECT_EQ(check(client, server, list), 6);
    EXPECT_EQ(uids(list), (Lines{"a1", "b2", "c3", longId + "4", longId + "5", "f6"}));
    int n = 1;
    for (const POP3::Message& message : list)
        EXPECT_EQ(message.size, n++ == 1 ? 120 : 0) << message.uid;

    server.answer("uidl", "+OK", {"1 " + longId + "xy"});
    EXPECT_EQ(failedCheck(client, server, list).text, "unique id too long");
}

TEST(POP3Client, TopIsSplitAtTheFirstEmptyLineAndKeepsThirtyBodyLines) {
    Pop3Server server(sampleMailbox(2));
    Lines chatty{"Subject: one", "From: x@example.org", "", "body", "", "Not: a header"};
    for (int i = 0; i < 40; ++i)
        chatty.push_back("line " + std::to_string(i));
    server.answer("top 1", "+OK", chatty);
    server.answer("top 2", "+OK", {"Subject: two", "X-Note: no body follows"});
    POP3::Client client;
    MessageList list;
    EXPECT_EQ(check(client, server, list), 2);
    EXPECT_EQ(nth(list, 1).headers().size(), 2u);
    EXPECT_EQ(nth(list, 1).lines().size(), 30u);
    EXPECT_EQ(nth(list, 1).lines()[2], "Not: a header");
    EXPECT_EQ(nth(list, 2).headers().size(), 2u);
    EXPECT_TRUE(nth(list, 2).lines().empty());
}

TEST(POP3Client, LineBreakInAPasswordIsNeverSent) {
    for (const char* password : {"secret\r\ndele 1", "secret\ndele 1", "secret\rdele 1"}) {
        Pop3Server server(sampleMailbox(1));
        POP3::Client client;
        MessageList list;
        EXPECT_EQ(failedCheck(client, server, list, password).code, 5);
        EXPECT_EQ(server.transcript(), (Lines{"user alice"}));
    }
}

TEST(POP3Client, TransportFailuresHaveTheirCodes) {
    struct Case {
        const char* host;
        int port;
        int code;
        const char* codeText;
    } const cases[] = {{"127.0.0.1", closedLoopbackPort(), 3, "connection failed"},
                       {"no-such-host.invalid", 110, 2, "host name lookup failed"}};
    for (const Case& c : cases) {
        POP3::Client client;
        try {
            client.login("a", "b", c.host, c.port);
            ADD_FAILURE() << c.host << " answered";
        } catch (const POP3::Exception& e) {
            EXPECT_EQ(e.code, c.code);
            EXPECT_EQ(e.message(), "POP3Client: connection failed");
            EXPECT_EQ(e.codeText(), c.codeText);
        }
    }
}

// A server that dies or falls silent mid-reply fails the check within the
// client's time-out; what was fetched stays, the next check fetches the rest.
TEST(POP3Client, DeadOrStalledServerFailsTheCheckInTime) {
    for (const bool stall : {false, true}) {
        Pop3Server server(sampleMailbox(2));
        stall ? server.stallAfter("top 2", 100) : server.closeAfter("top 2", 100);
        POP3::Client client(400);
        MessageList list;
        const auto start = Clock::now();
        EXPECT_EQ(failedCheck(client, server, list).message(),
                  std::string("POP3Client: Socket: recv() failed (WSAGetLastError()=") +
                      (stall ? "10060" : "10101") + ")\n");
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
        EXPECT_EQ(uids(list), (Lines{"a1", "b2?"}));
        server.clearFaults();
        EXPECT_EQ(check(client, server, list), 1);
    }
}

// The farewell "quit" of a client left with a dead session must neither
// throw nor wait out the client's own (long) time-out.
TEST(POP3Client, DestroyingAClientWithADeadSessionNeitherThrowsNorHangs) {
    for (const char* how : {"refused", "stalled", "closed"}) {
        SCOPED_TRACE(how);
        Pop3Server server(sampleMailbox(1));
        const auto start = Clock::now();
        {
            POP3::Client client;
            MessageList list;
            server.refuse("stat");
            failedCheck(client, server, list);
            ASSERT_TRUE(client.hasSocket());
            if (how[0] == 'r')
                server.refuse("quit");
            else
                how[0] == 's' ? server.stallAfter("quit", 0) : server.closeAfter("quit", 0);
        }
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(4));
        EXPECT_EQ(server.transcript().back(), "quit");
    }
}

TEST(POP3Client, HostileRepliesAreBoundedInMemoryAndTime) {
    {
        SCOPED_TRACE("endless top");
        Pop3Server server(sampleMailbox(1));
        server.endless("top");
        POP3::Client client;
        MessageList list;
        const POP3::Exception failure = failedCheck(client, server, list);
        EXPECT_EQ(failure.code, 7);
        EXPECT_EQ(failure.text, "reply too long");
        size_t kept = 0;
        for (const Header& header : list.begin()->headers())
            kept += header.name.size() + header.value.size() + 1;
        EXPECT_LE(kept, POP3::Client::maxKeptBytesPerPart);
    }
    {
        SCOPED_TRACE("a greeting without end");
        Pop3Server server(sampleMailbox(1));
        server.raw(Pop3Server::greeting, "+OK ");
        server.endless(Pop3Server::greeting, "f");
        POP3::Client client;
        MessageList list;
        const POP3::Exception failure = failedCheck(client, server, list);
        EXPECT_EQ(failure.code, 4);
        EXPECT_EQ(failure.text, "reply too long");
    }
    {
        SCOPED_TRACE("a line of 1 MB");
        Pop3Server server(sampleMailbox(1));
        server.answer("top", "+OK", {"Subject: " + std::string(1 << 20, 'x'), "From: a@example.org", "", "body"});
        POP3::Client client;
        MessageList list;
        EXPECT_EQ(check(client, server, list), 1);
        std::string subject;
        ASSERT_TRUE(list.begin()->getHeader("Subject", subject));
        EXPECT_EQ(subject.size(), Socket::lineKeepLimit - 9);
        EXPECT_EQ(list.begin()->lines(), (Lines{"body"}));
        EXPECT_GT(list.begin()->received, 1 << 20) << "what was dropped still counts as received";
    }
}

TEST(POP3Client, HugeListingIsTakenInLinearTimeAndBounded) {
    Pop3Server server;
    server.answer("uidl", "+OK", manyUidLines(POP3::Client::maxListedMessages));
    server.refuse("list");
    POP3::Client client;
    MessageList list;
    const auto start = Clock::now();
    EXPECT_EQ(failedCheck(client, server, list).code, 7);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(list.count(), static_cast<int>(POP3::Client::maxListedMessages));

    server.answer("uidl", "+OK", manyUidLines(POP3::Client::maxListedMessages + 1));
    EXPECT_EQ(failedCheck(client, server, list).text, "too many messages");
}

} // namespace
