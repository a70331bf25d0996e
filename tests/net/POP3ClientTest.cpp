#include "net/MessageList.h"
#include "net/POP3Client.h"
#include "net/POP3Exception.h"

#include "servers/SampleMailbox.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

// The exception the call fails with.
template <typename Call> POP3::Exception failure(Call call) {
    try {
        call();
    } catch (const POP3::Exception& e) {
        return e;
    }
    ADD_FAILURE() << "no failure";
    return POP3::Exception("", "", -1);
}

class POP3Client : public testing::Test {
protected:
    // One check as the account runs it: login, scan, quit.
    int check(const std::string& password = "secret") {
        client.login("alice", password.c_str(), "127.0.0.1", server.port());
        const int fetched = client.scan(list);
        client.quit();
        return fetched;
    }
    POP3::Exception failedCheck(const std::string& password = "secret") {
        return failure([&] { check(password); });
    }
    // The unique ids, each marked "?" while its record has flags.
    Lines uids() const {
        Lines result;
        for (const POP3::Message& message : list)
            result.push_back(message.uid + (message.flags ? "?" : ""));
        return result;
    }
    POP3::Message& nth(int n) { return *std::next(list.begin(), n - 1); }

    Pop3Server server{sampleMailbox(2)};
    POP3::Client client{1000};
    MessageList list;
};

// The list follows the listing through the program's own merge: records
// keep their place and take their new numbers, records no longer listed go,
// new ones are appended and fetched; deletions go by the current number.
TEST_F(POP3Client, ChecksFollowTheMailboxAndDeleteByTheCurrentNumber) {
    EXPECT_EQ(check(), 2);
    EXPECT_EQ(server.takeTranscript(), (Lines{"user alice", "pass secret", "stat", "uidl", "list 1", "top 1 30",
                                              "list 2", "top 2 30", "quit"}));
    EXPECT_FALSE(client.hasSocket());
    EXPECT_EQ(nth(1).size, static_cast<int>(sampleMessage(1).size()));
    EXPECT_EQ(nth(1).headers().size(), 3u);
    EXPECT_EQ(nth(1).lines().size(), 30u);
    EXPECT_EQ(nth(1).lines()[4], "..") << "a stuffed lone dot does not end the data; it is kept as it came";
    EXPECT_LT(nth(1).received, nth(1).size);

    server.remove("a1");
    for (int n = 3; n <= 5; ++n)
        server.add(sampleMessage(n));
    EXPECT_EQ(check(), 3);
    EXPECT_EQ(uids(), (Lines{"b2", "c3", "d4", "e5"}));
    EXPECT_EQ(nth(2).number, 2);
    nth(1).flags = nth(4).flags = POP3::Message::Deleted;
    server.clearTranscript();
    EXPECT_EQ(check(), 0);
    EXPECT_EQ(server.takeTranscript(), (Lines{"user alice", "pass secret", "stat", "uidl", "dele 1", "dele 4", "quit"}));
    EXPECT_EQ(uids(), (Lines{"c3", "d4"}));
    EXPECT_EQ(server.uids(), (Lines{"c3", "d4"}));
    EXPECT_EQ(check(), 0);
    EXPECT_EQ(nth(1).number, 1);
}

TEST_F(POP3Client, FailedChecksLoseNoRecordAndLeaveNoSessionBehind) {
    check();
    server.refuse("uidl");
    EXPECT_EQ(failedCheck().code, 7);
    EXPECT_EQ(uids(), (Lines{"a1?", "b2?"})) << "unlisted, not dropped";
    EXPECT_EQ(nth(1).flags, static_cast<uint32_t>(POP3::Message::NotListed));

    // A deletion whose session does not end is lost: the message comes back.
    server.clearFaults();
    check();
    nth(1).flags = POP3::Message::Deleted;
    server.refuse("quit", "-ERR not now");
    EXPECT_EQ(failedCheck().code, 8);
    EXPECT_TRUE(client.hasSocket());
    server.clearFaults();
    server.clearTranscript();
    EXPECT_EQ(check(), 1);
    EXPECT_EQ(server.takeTranscript(), (Lines{"user alice", "pass secret", "stat", "uidl", "list 1", "top 1 30", "quit"}))
        << "the leftover connection is dropped without a second quit";
    EXPECT_EQ(uids(), (Lines{"b2", "a1"}));
}

TEST_F(POP3Client, StatusLinesAreJudgedByTheirExactWord) {
    const struct {
        const char* key;
        const char* statusLine;
        int code;
        const char* message; // nullptr: the check succeeds
    } cases[] = {
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
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " answered «" + c.statusLine + "»");
        server.clearFaults();
        list = MessageList();
        if (c.key == std::string("dele")) {
            check();
            nth(1).flags = POP3::Message::Deleted;
        }
        server.answer(c.key, c.statusLine);
        if (c.message) {
            const POP3::Exception e = failedCheck();
            EXPECT_EQ(e.code, c.code);
            EXPECT_EQ(e.message(), c.message);
        } else {
            EXPECT_NO_THROW(check());
        }
    }
}

TEST_F(POP3Client, UnparsableLinesNameNoMessageAndUnparsableSizesAreUnknown) {
    const std::string longId(POP3::Client::maxUidLength - 1, 'u');
    for (int n = 3; n <= 6; ++n)
        server.add(sampleMessage(n));
    server.answer("uidl", "+OK", {"1 a1", "", "abc", "0 zero", "-3 negative", "18446744073709551619 huge", "2", " 2  b2  extra",
                                  "3 " + longId + "3", "4 " + longId + "4", "5 e5", "6 f6"});
    const char* const sizeReplies[] = {"+OK 1 120", "+OK", "+OK x y", "+OK 1 -5", "+OK 1 99999999999", "+OK 1"};
    for (int n = 1; n <= 6; ++n)
        server.answer("list " + std::to_string(n), sizeReplies[n - 1]);
    EXPECT_EQ(check(), 6);
    EXPECT_EQ(uids(), (Lines{"a1", "b2", longId + "3", longId + "4", "e5", "f6"}));
    for (int n = 1; n <= 6; ++n)
        EXPECT_EQ(nth(n).size, n == 1 ? 120 : 0) << sizeReplies[n - 1];

    server.answer("uidl", "+OK", {"1 " + longId + "xy"});
    EXPECT_EQ(failedCheck().text, "unique id too long");
}

TEST_F(POP3Client, TopIsSplitAtTheFirstEmptyLineAndKeepsThirtyBodyLines) {
    Lines chatty{"Subject: one", "From: x@example.org", "", "body", "", "Not: a header"};
    for (int i = 0; i < 40; ++i)
        chatty.push_back("line " + std::to_string(i));
    server.answer("top 1", "+OK", chatty);
    server.answer("top 2", "+OK", {"Subject: two", "X-Note: no body follows"});
    EXPECT_EQ(check(), 2);
    EXPECT_EQ(nth(1).headers().size(), 2u);
    EXPECT_EQ(nth(1).lines().size(), 30u);
    EXPECT_EQ(nth(1).lines()[2], "Not: a header");
    EXPECT_EQ(nth(2).headers().size(), 2u);
    EXPECT_TRUE(nth(2).lines().empty());
}

TEST_F(POP3Client, LineBreakInAPasswordIsNeverSent) {
    for (const char* password : {"secret\r\ndele 1", "secret\ndele 1", "secret\rdele 1"}) {
        EXPECT_EQ(failedCheck(password).code, 5);
        EXPECT_EQ(server.takeTranscript(), (Lines{"user alice"}));
    }
}

TEST_F(POP3Client, TransportFailuresHaveTheirCodes) {
    const struct {
        const char* host;
        int port, code;
        const char* codeText;
    } cases[] = {{"127.0.0.1", closedLoopbackPort(), 3, "connection failed"},
                 {"no-such-host.invalid", 110, 2, "host name lookup failed"}};
    for (const auto& c : cases) {
        const POP3::Exception e = failure([&] { client.login("a", "b", c.host, c.port); });
        EXPECT_EQ(e.code, c.code);
        EXPECT_EQ(e.message(), "POP3Client: connection failed");
        EXPECT_EQ(e.codeText(), c.codeText);
    }
}

// A server that dies or falls silent mid-reply fails the check within the
// client's time-out; what was fetched stays, the next check fetches the rest.
TEST_F(POP3Client, DeadOrStalledServerFailsTheCheckInTime) {
    for (const std::string error : {"10101", "10060"}) {
        error == "10060" ? server.stallAfter("top 2", 100) : server.closeAfter("top 2", 100);
        const auto start = Clock::now();
        EXPECT_EQ(failedCheck().message(), std::string("POP3Client: Socket: recv() failed (WSAGetLastError()=") + error + ")\n");
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
        EXPECT_EQ(uids(), (Lines{"a1", "b2?"}));
        server.clearFaults();
        EXPECT_EQ(check(), 1);
        list = MessageList();
    }
}

// The farewell "quit" of a client left with a dead session must neither
// throw nor wait out the client's own (long) time-out.
TEST_F(POP3Client, DestroyingAClientWithADeadSessionNeitherThrowsNorHangs) {
    for (const char* how : {"refused", "stalled", "closed"}) {
        SCOPED_TRACE(how);
        const auto start = Clock::now();
        {
            POP3::Client patient;
            server.refuse("stat");
            failure([&] { patient.login("alice", "secret", "127.0.0.1", server.port()); });
            ASSERT_TRUE(patient.hasSocket());
            if (how[0] == 'r')
                server.refuse("quit");
            else
                how[0] == 's' ? server.stallAfter("quit", 0) : server.closeAfter("quit", 0);
        }
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(4));
        EXPECT_EQ(server.transcript().back(), "quit");
        server.clearFaults();
    }
}

TEST_F(POP3Client, HostileRepliesAreBoundedInMemoryAndTime) {
    server.raw(Pop3Server::greeting, "+OK ");
    server.endless(Pop3Server::greeting, "f");
    const POP3::Exception endlessGreeting = failedCheck();
    EXPECT_EQ(endlessGreeting.code, 4);
    EXPECT_EQ(endlessGreeting.text, "reply too long");

    server.clearFaults();
    server.endless("top 2");
    server.answer("top 1", "+OK", {"Subject: " + std::string(1 << 20, 'x'), "From: a@example.org", "", "body"});
    const POP3::Exception endlessTop = failedCheck();
    EXPECT_EQ(endlessTop.code, 7);
    EXPECT_EQ(endlessTop.text, "reply too long");
    size_t kept = 0;
    for (const Header& header : nth(2).headers())
        kept += header.name.size() + header.value.size() + 1;
    EXPECT_LE(kept, POP3::Client::maxKeptBytesPerPart);
    // A line of 1 MB is cut; what was dropped still counts as received.
    EXPECT_EQ(nth(1).headers()[0].value.size(), Socket::lineKeepLimit - 9);
    EXPECT_EQ(nth(1).lines(), (Lines{"body"}));
    EXPECT_GT(nth(1).received, 1 << 20);
}

TEST_F(POP3Client, HugeListingIsTakenInLinearTimeAndBounded) {
    server.answer("uidl", "+OK", manyUidLines(POP3::Client::maxListedMessages));
    server.refuse("list");
    const auto start = Clock::now();
    EXPECT_EQ(failedCheck().code, 7);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(list.count(), static_cast<int>(POP3::Client::maxListedMessages));

    server.answer("uidl", "+OK", manyUidLines(POP3::Client::maxListedMessages + 1));
    EXPECT_EQ(failedCheck().text, "too many messages");
}

} // namespace
