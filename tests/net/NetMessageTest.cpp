// Shared with the native (sanitizer) build: no Windows header in here.
#include "net/POP3Message.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

// Bytes outside printable ASCII as \xHH, so that a failure says which differs.
std::string visible(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const char* const hex = "0123456789ABCDEF";
        shown += byte >= 0x20 && byte < 0x7F ? std::string(1, c) : std::string{'\\', 'x', hex[byte >> 4], hex[byte & 15]};
    }
    return shown;
}

TEST(POP3Message, HeaderLinesSplitAtTheFirstColonWithCleanValues) {
    const struct {
        std::string line, name, value;
    } cases[] = {
        // Encoded words stay as they came: they are read when shown.
        {"Subject: =?iso-8859-1?Q?Caf=E9?= ok", "Subject", "=?iso-8859-1?Q?Caf=E9?= ok"},
        {"Subject:Hello", "Subject", "Hello"},
        {"Subject :  a\tb", "Subject ", "a b"},
        {"X-Empty: \t \t", "X-Empty", ""},
        {"Received: from a\tby b\t\tid 1", "Received", "from a by b  id 1"},
        {"To: a:b", "To", "a:b"},
        {"  no colon here", "", "no colon here"},
        {"\tcontinued: part", "\tcontinued", "part"},
    };
    POP3::Message message(1, "u");
    for (const auto& c : cases) {
        std::string line = c.line;
        message.receiveHeaderLine(line);
        EXPECT_EQ(visible(message.headers().back().name), visible(c.name)) << c.line;
        EXPECT_EQ(visible(message.headers().back().value), visible(c.value)) << c.line;
    }
    std::string line = "Subject: second";
    message.receiveHeaderLine(line);
    std::string value = "stale";
    EXPECT_TRUE(message.getHeader("Subject", value));
    EXPECT_EQ(value, "=?iso-8859-1?Q?Caf=E9?= ok") << "the first of a name wins";
    EXPECT_TRUE(message.getHeader("Subject ", value));
    EXPECT_EQ(value, "a b");
    for (const char* absent : {"subject", "Subj", "Subjects"}) {
        value = "stale";
        EXPECT_FALSE(message.getHeader(absent, value)) << absent;
        EXPECT_EQ(value, "") << absent;
    }
}

TEST(POP3Message, BodyLinesAreKeptAsTheyCame) {
    POP3::Message message(1, "u");
    for (const std::string& line : {"a\t\tb"s, ""s, "=?a?Q?x=09y?="s}) {
        std::string received = line;
        message.receiveBodyLine(received);
        EXPECT_EQ(message.lines().back(), line);
    }
    EXPECT_TRUE(message.headers().empty());
}

// Every raw line counts with its CR LF, the empty line
// between headers and body once; the count saturates instead of wrapping.
TEST(POP3Message, ReceivedCountsRawLinesAndSaturates) {
    POP3::Message message(7, nullptr);
    EXPECT_EQ(message.uid, "");
    EXPECT_EQ(message.flags, static_cast<uint32_t>(POP3::Message::Unfetched));
    std::string header = "Subject: =?iso-8859-1?Q?Caf=E9?="; // 32 bytes
    message.receiveHeaderLine(header);
    std::string body = "\t=?a?Q?x?=";
    message.receiveBodyLine(body);
    EXPECT_EQ(message.received, 2 + 34 + 12);

    constexpr int most = std::numeric_limits<int>::max();
    message.received = most - 12;
    std::string line = "0123456789";
    message.receiveHeaderLine(line);
    EXPECT_EQ(message.received, most);
    message.receiveBodyLine(line);
    EXPECT_EQ(message.received, most);
    message.countReceived(std::numeric_limits<size_t>::max());
    EXPECT_EQ(message.received, most);
}

} // namespace
