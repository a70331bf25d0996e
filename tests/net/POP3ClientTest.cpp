#include "net/MessageList.h"
#include "net/POP3Client.h"
#include "net/POP3Exception.h"

#include "servers/LineServer.h"
#include "servers/Pop3Server.h"
#include "servers/SampleMailbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

namespace {

using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

// One check as the account runs it: login, scan, quit.
int check(POP3::Client& client, const Pop3Server& server, MessageList& list) {
    client.login(server.user().c_str(), server.password().c_str(), "127.0.0.1", server.port());
    const int fetched = client.scan(list);
    client.quit();
    return fetched;
}

// A check that must fail; answers the exception it failed with.
POP3::Exception failedCheck(POP3::Client& client, const Pop3Server& server, MessageList& list,
                            const char* password = nullptr) {
    try {
        client.login(server.user().c_str(), password ? password : server.password().c_str(), "127.0.0.1",
                     server.port());
        client.scan(list);
        client.quit();
    } catch (const POP3::Exception& e) {
        return e;
    }
    ADD_FAILURE() << "the check succeeded";
    return POP3::Exception("", "", -1);
}

Lines uids(const MessageList& list) {
    Lines result;
    for (const POP3::Message& message : list)
        result.push_back(message.uid);
    return result;
}

POP3::Message& first(MessageList& list) {
    return *list.begin();
}

TEST(POP3Client, FirstCheckFetchesAllThenNothingThenDeletes) {
    Pop3Server server(sampleMailbox(2));
    POP3::Client client;
    MessageList list;

    EXPECT_EQ(check(client, server, list), 2);
    EXPECT_EQ(server.takeTranscript(), (Lines{"user alice", "pass secret", "stat", "uidl", "list 1", "top 1 30",
                                              "list 2", "top 2 30", "quit"}));
    EXPECT_FALSE(client.hasSocket());
    ASSERT_EQ(uids(list), (Lines{"a1", "b2"}));
    const Pop3Mailbox mailbox = sampleMailbox(2);
    int number = 1;
    for (const POP3::Message& message : list) {
        EXPECT_EQ(message.number, number);
        EXPECT_EQ(message.flags, 0u);
        EXPECT_EQ(message.size, static_cast<int>(mailbox[number - 1].size()));
        EXPECT_EQ(message.lines().size(), 30u) << "the first 30 body lines, no more";
        EXPECT_LT(message.received, message.size);
        std::string subject;
        EXPECT_TRUE(message.getHeader("Subject", subject));
        ++number;
    }
    EXPECT_EQ(check(client, server, list), 0);
    EXPECT_EQ(server.takeTranscript(), (Lines{"user alice", "pass secret", "stat", "uidl", "quit"}));

    first(list).flags = POP3::Message::Deleted;
    EXPECT_EQ(check(client, server, list), 0);
    EXPECT_EQ(server.takeTranscript(), (Lines{"user alice", "pass secret", "stat", "uidl", "dele 1", "quit"}));
    EXPECT_EQ(uids(list), (Lines{"b2"}));
    EXPECT_EQ(server.uids(), (Lines{"b2"}));

    // Numbers change between sessions; the record follows its unique id.
    EXPECT_EQ(check(client, server, list), 0);
    EXPECT_EQ(first(list).number, 1);
}

TEST(POP3Client, DeletionIsLostWhenTheSessionDoesNotEnd) {
    Pop3Server server(sampleMailbox(2));
    POP3::Client client;
    MessageList list;
    check(client, server, list);

    first(list).flags = POP3::Message::Deleted;
    server.refuse("quit", "-ERR not now");
    const POP3::Exception failure = failedCheck(client, server, list);
    EXPECT_EQ(failure.code, 8);
    EXPECT_EQ(failure.message(), "POP3Client: received -ERR (reply was 'not now')");
    EXPECT_EQ(uids(list), (Lines{"b2"}));
    EXPECT_TRUE(client.hasSocket()) << "a failed check leaves its connection";

    // The server kept the message: it comes back as new. The leftover
    // connection is dropped without a second "quit".
    server.clearFaults();
    server.clearTranscript();
    EXPECT_EQ(check(client, server, list), 1);
    EXPECT_EQ(server.takeTranscript(),
              (Lines{"user alice", "pass secret", "stat", "uidl", "list 1", "top 1 30", "quit"}));
    EXPECT_EQ(uids(list), (Lines{"b2", "a1"}));
}

TEST(POP3Client, MessageDeletedElsewhereDisappearsWithoutACommand) {
    Pop3Server server(sampleMailbox(3));
    POP3::Client client;
    MessageList list;
    check(client, server, list);
    server.remove("b2");
    server.clearTranscript();
    EXPECT_EQ(check(client, server, list), 0);
    EXPECT_EQ(server.takeTranscript(), (Lines{"user alice", "pass secret", "stat", "uidl", "quit"}));
    EXPECT_EQ(uids(list), (Lines{"a1", "c3"}));
}

TEST(POP3Client, EmptyMailboxEmptiesTheList) {
    Pop3Server server(sampleMailbox(2));
    POP3::Client client;
    MessageList list;
    check(client, server, list);
    server.remove("a1");
    server.remove("b2");
    server.clearTranscript();
    EXPECT_EQ(check(client, server, list), 0);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(server.takeTranscript(), (Lines{"user alice", "pass secret", "stat", "uidl", "quit"}));
}

TEST(POP3Client, StatusLinesAreJudgedByTheirExactWord) {
    struct Case {
        const char* key;
        const char* statusLine;
        int code;
        const char* message; // nullptr: the check succeeds
    };
    const Case cases[] = {
        {Pop3Server::greeting, "+OK", 0, nullptr},
        {Pop3Server::greeting, "+OK    ", 0, nullptr},
        {"stat", "+OK anything at all", 0, nullptr},
        {"pass", "-ERR", 5, "POP3Client: received -ERR"},
        {"user", "-ERR unknown user", 5, "POP3Client: received -ERR (reply was 'unknown user')"},
        {Pop3Server::greeting, "-ERR busy", 4, "POP3Client: received -ERR (reply was 'busy')"},
        {"stat", "+ok", 6, "POP3Client: invalid response (reply was '+ok')"},
        {"uidl", "", 7, "POP3Client: invalid response"},
        {"list", "OK 1 100", 7, "POP3Client: invalid response (reply was 'OK 1 100')"},
        {"dele", "-ERR locked", 7, "POP3Client: received -ERR (reply was 'locked')"},
        {"quit", "+OK  bye", 0, nullptr},
        // A tab is no separator: the status word is "+OK\t".
        {"stat", "+OK\tfine", 6, "POP3Client: invalid response (reply was '+OK\tfine')"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " answered «" + c.statusLine + "»");
        Pop3Server server(sampleMailbox(1));
        server.answer(c.key, c.statusLine);
        POP3::Client client;
        MessageList list;
        if (std::string(c.key) == "dele") {
            check(client, server, list);
            first(list).flags = POP3::Message::Deleted;
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

TEST(POP3Client, RefusedListingLeavesEveryRecordUnlisted) {
    Pop3Server server(sampleMailbox(2));
    POP3::Client client;
    MessageList list;
    check(client, server, list);
    server.refuse("uidl", "-ERR no uidl");
    EXPECT_EQ(failedCheck(client, server, list).code, 7);
    ASSERT_EQ(list.count(), 2);
    for (const POP3::Message& message : list)
        EXPECT_EQ(message.flags, static_cast<uint32_t>(POP3::Message::NotListed));
}

TEST(POP3Client, TopRepliesAreSplitAtTheFirstEmptyLineAndNotUnstuffed) {
    Pop3Server server(sampleMailbox(2));
    // Data lines are dot-stuffed on the wire: "." arrives as "..", which
    // does not end the data and is kept as it came.
    server.answer("top 1", "+OK", {"Subject: one", "From: x@example.org", "", "body", ".", "", "last"});
    server.answer("top 2", "+OK", {"Subject: two", "X-Note: no body follows"});
    POP3::Client client;
    MessageList list;
    EXPECT_EQ(check(client, server, list), 2);
    const POP3::Message& one = first(list);
    EXPECT_EQ(one.headers().size(), 2u);
    EXPECT_EQ(one.lines(), (Lines{"body", "..", "", "last"}));
    const POP3::Message& two = *std::next(list.begin());
    EXPECT_EQ(two.headers().size(), 2u);
    EXPECT_TRUE(two.lines().empty());
}

TEST(POP3Client, TransportFailuresHaveTheirCodes) {
    POP3::Client client;
    MessageList list;
    try {
        client.login("a", "b", "127.0.0.1", closedLoopbackPort());
        FAIL() << "connected to a closed port";
    } catch (const POP3::Exception& e) {
        EXPECT_EQ(e.code, 3);
        EXPECT_EQ(e.message(), "POP3Client: connection failed");
    }
    try {
        client.login("a", "b", "no-such-host.invalid", 110);
        FAIL() << "resolved a name under .invalid";
    } catch (const POP3::Exception& e) {
        EXPECT_EQ(e.code, 2);
        EXPECT_EQ(e.codeText(), "host name lookup failed");
    }
}

TEST(POP3Client, ServerClosingMidReplyKeepsWhatWasFetched) {
    Pop3Server server(sampleMailbox(2));
    server.closeAfter("top 2", 100);
    POP3::Client client;
    MessageList list;
    const POP3::Exception failure = failedCheck(client, server, list);
    EXPECT_EQ(failure.code, 1);
    EXPECT_EQ(failure.message(), "POP3Client: Socket: recv() failed (WSAGetLastError()=10101)\n");
    ASSERT_EQ(uids(list), (Lines{"a1", "b2"}));
    EXPECT_EQ(first(list).flags, 0u);
    EXPECT_TRUE(std::next(list.begin())->flags & POP3::Message::Unfetched);

    // The next check starts afresh and fetches the rest.
    server.clearFaults();
    EXPECT_EQ(check(client, server, list), 1);
}

TEST(POP3Client, StalledServerFailsTheCheckAfterTheTimeOut) {
    Pop3Server server(sampleMailbox(2));
    server.stallAfter("uidl", 10);
    POP3::Client client(500);
    MessageList list;
    const auto start = Clock::now();
    const POP3::Exception failure = failedCheck(client, server, list);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(failure.code, 1);
    EXPECT_EQ(failure.message(), "POP3Client: Socket: recv() failed (WSAGetLastError()=10060)\n");
}

TEST(POP3Client, DestroyingAClientWithADeadSessionNeitherThrowsNorHangs) {
    for (const char* how : {"refused", "stalled", "closed"}) {
        SCOPED_TRACE(how);
        Pop3Server server(sampleMailbox(1));
        const auto start = Clock::now();
        {
            POP3::Client client;
            MessageList list;
            server.refuse("stat", "-ERR");
            failedCheck(client, server, list);
            ASSERT_TRUE(client.hasSocket());
            if (std::string(how) == "refused")
                server.refuse("quit", "-ERR");
            else if (std::string(how) == "stalled")
                server.stallAfter("quit", 0);
            else
                server.closeAfter("quit", 0);
        }
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(8));
        EXPECT_EQ(server.transcript().back(), "quit") << "a session left open still says goodbye";
    }
}

TEST(POP3Client, LineBreakInAPasswordIsNeverSent) {
    Pop3Server server(sampleMailbox(1));
    POP3::Client client;
    MessageList list;
    const POP3::Exception failure = failedCheck(client, server, list, "secret\r\ndele 1");
    EXPECT_EQ(failure.code, 5);
    EXPECT_EQ(server.transcript(), (Lines{"user alice"}));
}

TEST(POP3Client, UnparsableListingLinesNameNoMessage) {
    Pop3Server server(sampleMailbox(2));
    server.answer("uidl", "+OK", {"1 a1", "", "abc", "0 zero", "-3 negative", "99999999999 huge", "2 b2"});
    POP3::Client client;
    MessageList list;
    EXPECT_EQ(check(client, server, list), 2);
    EXPECT_EQ(uids(list), (Lines{"a1", "b2"}));
}

TEST(POP3Client, LongUniqueIdsStayWholeAndDistinct) {
    const std::string stem(100, 'u');
    Pop3Server server;
    server.add(Pop3Message(stem + "1", "Subject: one\n\nbody\n"));
    server.add(Pop3Message(stem + "2", "Subject: two\n\nbody\n"));
    POP3::Client client;
    MessageList list;
    EXPECT_EQ(check(client, server, list), 2);
    EXPECT_EQ(uids(list), (Lines{stem + "1", stem + "2"}));

    // Past any sane length the listing is refused as a whole.
    server.add(Pop3Message(std::string(POP3::Client::maxUidLength + 1, 'v'), "Subject: x"));
    const POP3::Exception failure = failedCheck(client, server, list);
    EXPECT_EQ(failure.code, 7);
    EXPECT_EQ(failure.text, "unique id too long");
}

TEST(POP3Client, UnparsableSizeIsStoredAsUnknown) {
    for (const char* reply : {"+OK", "+OK x y", "+OK 1 -5", "+OK 1 99999999999", "+OK 1"}) {
        SCOPED_TRACE(reply);
        Pop3Server server(sampleMailbox(1));
        server.answer("list", reply);
        POP3::Client client;
        MessageList list;
        EXPECT_EQ(check(client, server, list), 1);
        EXPECT_EQ(first(list).size, 0);
    }
}

TEST(POP3Client, HostileRepliesAreBounded) {
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
        for (const Header& header : first(list).headers())
            kept += header.name.size() + header.value.size() + 1;
        EXPECT_LE(kept, POP3::Client::maxKeptBytesPerPart);
    }
    {
        SCOPED_TRACE("a line of 20 MB");
        Pop3Server server(sampleMailbox(1));
        server.answer("top", "+OK", {"Subject: " + std::string(20 << 20, 'x'), "From: a@example.org", "", "body"});
        POP3::Client client;
        MessageList list;
        EXPECT_EQ(check(client, server, list), 1);
        std::string subject;
        ASSERT_TRUE(first(list).getHeader("Subject", subject));
        EXPECT_EQ(subject.size(), Socket::lineKeepLimit - 9);
        EXPECT_EQ(first(list).lines(), (Lines{"body"}));
        EXPECT_GT(first(list).received, 20 << 20) << "what was dropped still counts as received";
    }
    {
        SCOPED_TRACE("more body lines than asked for");
        Lines reply{"Subject: chatty", ""};
        for (int i = 0; i < 50; ++i)
            reply.push_back("line " + std::to_string(i));
        Pop3Server server(sampleMailbox(1));
        server.answer("top", "+OK", reply);
        POP3::Client client;
        MessageList list;
        EXPECT_EQ(check(client, server, list), 1);
        EXPECT_EQ(first(list).lines().size(), 30u);
    }
}

TEST(POP3Client, HugeListingIsTakenInLinearTimeAndBounded) {
    Pop3Server server;
    server.answer("uidl", "+OK", manyUidLines(POP3::Client::maxListedMessages));
    server.refuse("list", "-ERR no such message");
    POP3::Client client;
    MessageList list;
    const auto start = Clock::now();
    EXPECT_EQ(failedCheck(client, server, list).code, 7);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(list.count(), static_cast<int>(POP3::Client::maxListedMessages));

    server.answer("uidl", "+OK", manyUidLines(POP3::Client::maxListedMessages + 1));
    const POP3::Exception failure = failedCheck(client, server, list);
    EXPECT_EQ(failure.code, 7);
    EXPECT_EQ(failure.text, "too many messages");
}

} // namespace
