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

struct Case {
    std::string line;
    std::string expected;
};

TEST(DecodeLine, EncodedWordsMarkersAndEscapes) {
    const Case cases[] = {
        {"Subject: =?iso-8859-1?Q?Caf=E9_au_lait?= ok", "Subject: Caf\xE9 au lait ok"},
        {"=?x?Q?=e9=c3=a9?=", "\xE9\xC3\xA9"},
        {"=?a?Q?one?= =?a?Q?two?=", "one two"},
        {"Subject: =?utf-8?Q?end?=", "Subject: end"},
        // Back to back: the second word stays encoded, its end marker goes.
        {"=?a?Q?one?==?a?Q?two?=", "one=?a?Q?two"},
        {"snake_case =?a?Q?a_b?= c_d", "snake_case a b c_d"},
        {"abc =?iso-8859-1 and more", "abc "},
        {"tail=?", "tail"},
        {"Subject: =?utf-8?q?abc?= rest", "Subject: "},
        {"Subject: =?utf-8?B?YWJj?= tail", "Subject: "},
        {"X =?a?q?b?= =?c?Q?d?= e", "X d e"},
        // A start marker inside an open word drops itself and two more bytes.
        {"=?a?Q?x=?abcd?=", "xcd"},
        {"=?a?Q?x=?ab=41?=", "xA"},
        {"=?a?Q?x=?ab?=y", "x?\0"s},
        {"", ""},
        {"A=B and 1+1=2?", "A=B and 1+1=2?"},
        {"Why?=x", "Whyx"},
        {"?=?=", "?="},
        {"a=41 b=zz", "a=41 b=zz"},
        {"\xE9\xFF\x01 x\0y"s, "\xE9\xFF\x01 x\0y"s},
        // An escape reads exactly the two bytes after "=" as strtol does.
        {"=?a?Q?x=4gy?=", "x\x04y"},
        {"=?a?Q?x=zzy?=", "x\0y"s},
        {"=?a?Q?= 5?=", "\x05"},
        {"=?a?Q?=-1?=", "\xFF"},
        {"=?a?Q?=0xz?=", "\0z"s},
        {"=?a?Q?ab=", "ab\0"s},
        {"=?a?Q?ab=4", "ab\x04"},
        {"=?utf-8?Q?" "?=", "?\0"s},
    };
    for (const Case& c : cases) {
        std::string line = c.line;
        decodeLine(line);
        EXPECT_EQ(visible(line), visible(c.expected)) << "input \"" << visible(c.line) << "\"";
    }
}

TEST(POP3Message, HeaderLinesSplitAtTheFirstColonWithCleanValues) {
    const struct {
        std::string line, name, value;
    } cases[] = {
        {"Subject: =?iso-8859-1?Q?Caf=E9?= ok", "Subject", "Caf\xE9 ok"},
        {"Subject:Hello", "Subject", "Hello"},
        {"Subject :  a\tb", "Subject ", "a b"},
        {"X-Empty: \t \t", "X-Empty", ""},
        {"Received: from a\tby b\t\tid 1", "Received", "from a by b  id 1"},
        {"To: a:b", "To", "a:b"},
        {"  no colon here", "", "no colon here"},
        {"\tcontinued: part", "\tcontinued", "part"},
        {"=?a?Q?Sub=3Aject?=: x", "Sub", "ject: x"},
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
    EXPECT_EQ(value, "Caf\xE9 ok") << "the first of a name wins";
    EXPECT_TRUE(message.getHeader("Subject ", value));
    EXPECT_EQ(value, "a b");
    for (const char* absent : {"subject", "Subj", "Subjects"}) {
        value = "stale";
        EXPECT_FALSE(message.getHeader(absent, value)) << absent;
        EXPECT_EQ(value, "") << absent;
    }
}

TEST(POP3Message, BodyLinesAreDecodedWithTabsAsFourBlanks) {
    const Case cases[] = {{"a\t\tb", "a        b"}, {"x\t", "x    "}, {"", ""}, {"=?a?Q?x=09y_z?=", "x    y z"}};
    POP3::Message message(1, "u");
    for (const Case& c : cases) {
        std::string line = c.line;
        message.receiveBodyLine(line);
        EXPECT_EQ(message.lines().back(), c.expected) << c.line;
    }
    std::string line = "=?a?Q?x_y?=\tz";
    message.receiveBodyLine(line);
    EXPECT_EQ(line, "x y\tz") << "the caller's line is left decoded, its tabs kept";
    EXPECT_TRUE(message.headers().empty());
}

// Every raw line counts with its CR LF, before decoding, the empty line
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
