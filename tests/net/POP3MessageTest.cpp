// Shared with the native (sanitizer) build: no Windows header in here.
#include "net/POP3Message.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

TEST(POP3Message, NewRecordIsUnfetchedWithOnlyTheSeparatorCounted) {
    const POP3::Message message(7, "uid-7");
    EXPECT_EQ(message.number, 7);
    EXPECT_EQ(message.uid, "uid-7");
    EXPECT_EQ(message.flags, static_cast<uint32_t>(POP3::Message::Unfetched));
    EXPECT_EQ(message.size, 0);
    EXPECT_EQ(message.received, 2);
    EXPECT_TRUE(message.headers().empty());
    EXPECT_TRUE(message.lines().empty());
}

TEST(POP3Message, NullUidIsEmpty) {
    const POP3::Message message(1, nullptr);
    EXPECT_EQ(message.uid, "");
}

// A TOP reply of 3 header lines of 10 bytes, the empty line and 2 body lines
// of 5 bytes: every line counts with its CR LF, the separator once.
TEST(POP3Message, ReceivedCountsRawLinesWithTheirLineEnds) {
    POP3::Message message(1, "u");
    for (std::string line : {"Subject: a", "From: b@cd", "To: e@fghi"}) {
        ASSERT_EQ(line.size(), 10u);
        message.receiveHeaderLine(line);
    }
    for (std::string line : {"body1", "body2"})
        message.receiveBodyLine(line);
    EXPECT_EQ(message.received, 52);
    EXPECT_EQ(message.headers().size(), 3u);
    EXPECT_EQ(message.lines().size(), 2u);
    EXPECT_EQ(message.lines()[1], "body2");
}

TEST(POP3Message, LinesAreCountedAndKeptAsTheyCame) {
    POP3::Message message(1, "u");
    std::string header = "Subject: =?iso-8859-1?Q?Caf=E9?="; // 32 bytes
    message.receiveHeaderLine(header);
    std::string body = "..\tdot"; // 6 bytes, dot-stuffed by the server
    message.receiveBodyLine(body);
    EXPECT_EQ(message.received, 2 + 34 + 8);
    EXPECT_EQ(message.headers()[0].value, "=?iso-8859-1?Q?Caf=E9?=");
    EXPECT_EQ(message.lines()[0], "..\tdot");
}

// The count must never wrap into a negative number, which the menu would
// turn into a huge count of bytes not fetched.
TEST(POP3Message, ReceivedSaturatesInsteadOfOverflowing) {
    constexpr int most = std::numeric_limits<int>::max();
    POP3::Message message(1, "u");
    message.received = most - 5;
    std::string line = "0123456789";
    message.receiveBodyLine(line);
    EXPECT_EQ(message.received, most);
    line = "x";
    message.receiveHeaderLine(line);
    EXPECT_EQ(message.received, most);
    EXPECT_EQ(message.headers().size(), 1u) << "the line is still stored";

    message.received = most - 12;
    line = "0123456789";
    message.receiveHeaderLine(line);
    EXPECT_EQ(message.received, most) << "exactly reaching the limit";
}

} // namespace
