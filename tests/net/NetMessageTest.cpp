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

std::string decoded(std::string line) {
    decodeLine(line);
    return line;
}

struct DecodeCase {
    const char* what;
    std::string line;
    std::string expected;
};

void expectDecodes(const std::vector<DecodeCase>& cases) {
    for (const DecodeCase& c : cases) {
        const std::string got = decoded(c.line);
        EXPECT_EQ(visible(got), visible(c.expected))
            << c.what << ": input \"" << visible(c.line) << "\"";
    }
}

TEST(DecodeLine, EncodedWordsAndTheirMarkers) {
    expectDecodes({
        {"Q word with escape and underscore", "Subject: =?iso-8859-1?Q?Caf=E9_au_lait?= ok",
         "Subject: Caf\xE9 au lait ok"},
        {"lower-case hex digits", "=?x?Q?=e9=c3=a9?=", "\xE9\xC3\xA9"},
        {"end marker closing the line adds nothing", "Subject: =?utf-8?Q?end?=", "Subject: end"},
        {"blank between two words stays", "=?a?Q?one?= =?a?Q?two?=", "one two"},
        {"back-to-back words: second stays encoded, its end marker goes",
         "=?a?Q?one?==?a?Q?two?=", "one=?a?Q?two"},
        {"charset name is ignored", "=?windows-1252?Q?x?= =?koi8-r?Q?y?=", "x y"},
        {"underscore outside a word stays", "snake_case =?a?Q?a_b?= c_d", "snake_case a b c_d"},
        {"no Q marker after the start: rest of the line goes", "abc =?iso-8859-1 and more", "abc "},
        {"start marker at the very end", "tail=?", "tail"},
        {"lower-case q is not decoded", "Subject: =?utf-8?q?abc?= rest", "Subject: "},
        {"B form is not decoded", "Subject: =?utf-8?B?YWJj?= tail", "Subject: "},
        {"search for Q? runs on to a later capital word", "X =?a?q?b?= =?c?Q?d?= e", "X d e"},
        {"start marker inside an open word drops itself and two bytes", "=?a?Q?x=?abcd?=", "xcd"},
        {"escape right behind a dropped inner marker", "=?a?Q?x=?ab=41?=", "xA"},
        {"byte behind a dropped inner marker is not tested for markers", "=?a?Q?x=?ab?=y",
         "x?\0"s},
    });
}

TEST(DecodeLine, TextWithoutAnOpenWordIsKept) {
    expectDecodes({
        {"empty line", "", ""},
        {"plain text", "Hello, world", "Hello, world"},
        {"equals signs and question marks apart", "A=B and 1+1=2?", "A=B and 1+1=2?"},
        {"stray end marker vanishes", "Why?=x", "Whyx"},
        {"end marker alone", "?=", ""},
        {"byte behind an end marker is not tested for markers", "?=?=", "?="},
        {"escape-like text outside a word", "a=41 b=zz", "a=41 b=zz"},
        {"high and zero bytes pass through", "\xE9\xFF\x01 x\0y"s, "\xE9\xFF\x01 x\0y"s},
    });
}

// An escape reads exactly the two bytes after "=" as strtol does with base
// 16 and always consumes them, whatever they are.
TEST(DecodeLine, EscapesParseLikeStrtolOverTwoBytes) {
    expectDecodes({
        {"digit then non-digit", "=?a?Q?x=4gy?=", "x\x04y"},
        {"no digit gives 00", "=?a?Q?x=zzy?=", "x\0y"s},
        {"leading blank", "=?a?Q?= 5?=", "\x05"},
        {"leading tab", "=?a?Q?=\t7?=", "\x07"},
        {"minus sign keeps the low 8 bits", "=?a?Q?=-1?=", "\xFF"},
        {"plus sign", "=?a?Q?=+f?=", "\x0F"},
        {"hex prefix without a digit", "=?a?Q?=0xz?=", "\0z"s},
        {"high bytes are no digits", "=?a?Q?=\xFF\xFEk?=", "\0k"s},
        {"escape cut off by the line end gives 00", "=?a?Q?ab=", "ab\0"s},
        {"one digit before the line end", "=?a?Q?ab=4", "ab\x04"},
        {"empty word: the byte behind Q? is taken as text", "=?utf-8?Q?" "?=", "?\0"s},
    });
}

struct HeaderCase {
    const char* what;
    std::string line;
    std::string name;
    std::string value;
};

TEST(AddHeaderLine, SplitsAtTheFirstColonAndCleansTheValue) {
    const std::vector<HeaderCase> cases = {
        {"decoded value", "Subject: =?iso-8859-1?Q?Caf=E9_au_lait?= ok", "Subject",
         "Caf\xE9 au lait ok"},
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
        {"split after decoding", "=?a?Q?Sub=3Aject?=: x", "Sub", "ject: x"},
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

TEST(AddHeaderLine, LeavesTheCallersLineDecoded) {
    POP3::Message message(1, "u");
    std::string line = "Subject: =?x?Q?a_b?=\tc";
    message.addHeaderLine(line);
    EXPECT_EQ(line, "Subject: a b\tc");
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

TEST(AddBodyLine, DecodesThenExpandsTabsToFourBlanks) {
    const std::vector<DecodeCase> cases = {
        {"two tabs", "a\t\tb", "a        b"},
        {"tab alone", "\t", "    "},
        {"tab at the end", "x\t", "x    "},
        {"no tab", "plain", "plain"},
        {"empty line", "", ""},
        {"tab made by an escape is expanded too", "=?a?Q?x=09y?=", "x    y"},
        {"underscore outside a word", "a_b\t_", "a_b    _"},
    };
    POP3::Message message(1, "u");
    for (const DecodeCase& c : cases) {
        std::string line = c.line;
        message.addBodyLine(line);
        EXPECT_EQ(message.lines().back(), c.expected) << c.what;
    }
    EXPECT_EQ(message.lines().size(), cases.size()) << "every line stored, in order";
    EXPECT_EQ(message.lines().front(), "a        b");
    EXPECT_TRUE(message.headers().empty()) << "body lines are no headers";
}

TEST(AddBodyLine, CallersLineIsDecodedButKeepsItsTabs) {
    POP3::Message message(1, "u");
    std::string line = "=?a?Q?x_y?=\tz";
    message.addBodyLine(line);
    EXPECT_EQ(line, "x y\tz");
    EXPECT_EQ(message.lines().back(), "x y    z");
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
