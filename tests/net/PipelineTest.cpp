// A first check of many messages sends its commands in batches when the
// server can pipeline: nothing may change but the time it takes.
#include "net/MessageList.h"
#include "net/POP3Client.h"
#include "net/POP3Exception.h"

#include "servers/SampleMailbox.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Lines = std::vector<std::string>;

int check(Pop3Server& server, MessageList& list) {
    POP3::Client client{5000};
    client.login("alice", "secret", "localhost", server.port());
    const int fetched = client.scan(list);
    client.quit();
    return fetched;
}

// The records of a pipelined check are those of one command at a time; a
// refusal in the middle of a batch fails the check as it always did; a
// mailbox with few new messages sees the exchange it always saw.
TEST(Pipelining, BatchesChangeNothingButTheTime) {
    Pop3Server server{sampleMailbox(150)};
    server.refuse("capa");
    MessageList single;
    ASSERT_EQ(check(server, single), 150);

    server.answer("capa", "+OK", {"TOP", "PIPELINING", "UIDL"});
    server.takeTranscript();
    MessageList batched;
    ASSERT_EQ(check(server, batched), 150);
    const Lines sent = server.takeTranscript();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "capa"), 1);
    EXPECT_EQ(sent.back(), "quit");
    ASSERT_EQ(batched.count(), single.count());
    auto other = single.begin();
    for (const POP3::Message& message : batched) {
        EXPECT_EQ(message.uid, other->uid);
        EXPECT_EQ(message.number, other->number);
        EXPECT_EQ(message.size, other->size);
        EXPECT_EQ(message.received, other->received);
        EXPECT_EQ(message.headers().size(), other->headers().size());
        EXPECT_EQ(message.lines(), other->lines());
        EXPECT_EQ(message.flags, 0u);
        ++other;
    }

    server.refuse("top 70");
    MessageList failing;
    try {
        check(server, failing);
        ADD_FAILURE() << "a refused top went unnoticed";
    } catch (const POP3::Exception& e) {
        EXPECT_EQ(e.code, 7);
    }

    Pop3Server small{sampleMailbox(3)};
    small.answer("capa", "+OK", {"PIPELINING"});
    MessageList few;
    ASSERT_EQ(check(small, few), 3);
    const Lines exchange = small.takeTranscript();
    EXPECT_EQ(std::count(exchange.begin(), exchange.end(), "capa"), 0);
}

} // namespace
