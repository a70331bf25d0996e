// Shared with the native (sanitizer) build: no Windows header in here.
#include "net/NetMessage.h"
#include "net/POP3Message.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

// Shows bytes outside printable ASCII as \xHH so that a failed comparison
// says which byte differs.
std::string visible(const std::string& text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            shown += c;
        } else {
            shown += "\\x";
            shown += digits[byte >> 4];
            shown += digits[byte & 0x0F];
        }
    }
    return shown;
}

struct DecodeCase {
    const char* what;
    std::string line;
    std::string expected;
};

struct HeaderCase {
    const char* what;
    std::string line;
    std::string name;
    std::string value;
};

TEST(AddHeaderLine, SplitsAtTheFirstColonAndCleansTheValue) {
    const std::vector<HeaderCase> cases = {
        {"value kept as it came", "Subject: =?iso-8859-1?Q?Caf=E9_au_lait?= ok", "Subject",
         "=?iso-8859-1?Q?Caf=E9_au_lait?= ok"},
        {"no blank after the colon", "Subject:Hello", "Subject", "Hello"},
        {"empty value", "Subject:", "Subject", ""},
        {"name keeps its blank, value loses leading blanks, tab becomes blank",
         "Subject :  a\tb", "Subject ", "a b"},
        {"all-blank value", "X-Empty: \t \t", "X-Empty", ""},
        {"every inner tab is one blank", "Received: from a\tby b\t\tid 1", "Received",
         "from a by b  id 1"},
        {"later colons belong to the value", "To: a:b", "To", "a:b"},
        {"colon first", ":value", "", "value"},
        {"no colon: empty name, trimmed line", "  no colon here", "", "no colon here"},
        {"folded continuation without colon", "\t continued part", "", "continued part"},
        {"folded continuation with colon", "\tcontinued: part", "\tcontinued", "part"},
        {"empty line", "", "", ""},
    };
    for (const HeaderCase& c : cases) {
        POP3::Message message(1, "u");
        std::string line = c.line;
        message.addHeaderLine(line);
        ASSERT_EQ(message.headers().size(), 1u) << c.what;
        EXPECT_EQ(visible(message.headers()[0].name), visible(c.name)) << c.what;
        EXPECT_EQ(visible(message.headers()[0].value), visible(c.value)) << c.what;
    }
}

TEST(GetHeader, FirstExactMatchInArrivalOrder) {
    POP3::Message message(1, "u");
    for (std::string line : {"Received: one"s, "Subject: first"s, "From: a@b"s,
                             "Subject: second"s, "Subject : spaced"s, "\tfolded"s}) {
        message.addHeaderLine(line);
    }
    ASSERT_EQ(message.headers().size(), 6u);
    EXPECT_EQ(message.headers()[3].value, "second") << "duplicates are kept, in order";

    std::string value = "stale";
    EXPECT_TRUE(message.getHeader("Subject", value));
    EXPECT_EQ(value, "first");
    EXPECT_TRUE(message.getHeader("From", value));
    EXPECT_EQ(value, "a@b");
    EXPECT_TRUE(message.getHeader("Subject ", value));
    EXPECT_EQ(value, "spaced");

    for (const char* absent : {"subject", "SUBJECT", "Subj", "Subjects", "To"}) {
        value = "stale";
        EXPECT_FALSE(message.getHeader(absent, value)) << absent;
        EXPECT_EQ(value, "") << absent;
    }
}

TEST(AddBodyLine, KeepsTheLineAsItCame) {
    const std::vector<DecodeCase> cases = {
        {"tabs", "a\t\tb", "a\t\tb"},
        {"empty line", "", ""},
        {"encoded word", "=?a?Q?x=09y?=", "=?a?Q?x=09y?="},
    };
    POP3::Message message(1, "u");
    for (const DecodeCase& c : cases) {
        message.addBodyLine(c.line);
        EXPECT_EQ(message.lines().back(), c.expected) << c.what;
    }
    EXPECT_EQ(message.lines().size(), cases.size()) << "every line stored, in order";
    EXPECT_TRUE(message.headers().empty()) << "body lines are no headers";
}

// probe is the hook for optional capabilities of future kinds of record.
// Nothing has one: every code answers false, on an empty or a filled record.
TEST(Probe, NoRecordHasAnyCapability) {
    POP3::Message message(1, "u");
    const NetMessage& base = message;
    const int32_t codes[] = {std::numeric_limits<int32_t>::min(), -1, 0, 1, 2, 4, 0x7FFF,
                             std::numeric_limits<int32_t>::max()};
    for (const int32_t code : codes)
        EXPECT_FALSE(base.probe(code)) << code;
    std::string header = "Subject: x";
    std::string body = "y";
    message.receiveHeaderLine(header);
    message.receiveBodyLine(body);
    for (const int32_t code : codes)
        EXPECT_FALSE(base.probe(code)) << code;
}

} // namespace
