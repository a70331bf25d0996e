// Shared with the native (sanitizer) build: no Windows header in here.
#include "net/POP3Message.h"

#include <gtest/gtest.h>

#include <string>

TEST(POP3Message, HeaderLinesSplitAtTheFirstColonWithCleanValues) {
    const struct {
        std::string line, name, value;
    } cases[] = {
        // Encoded words stay as they came: they are read when shown.
        {"Subject: =?iso-8859-1?Q?Caf=E9?= ok", "Subject", "=?iso-8859-1?Q?Caf=E9?= ok"},
        {"Subject :  a\tb", "Subject ", "a b"},
        {"X-Empty: \t \t", "X-Empty", ""},
        {"Received: from a\tby b\t\tid 1", "Received", "from a by b  id 1"},
        {"To: a:b", "To", "a:b"},
        {"  no colon here", "", "no colon here"},
        {"Subject: second", "Subject", "second"},
    };
    POP3::Message message(1, "u");
    for (const auto& c : cases) {
        std::string line = c.line;
        message.receiveHeaderLine(line);
        EXPECT_EQ(message.headers().back().name, c.name) << c.line;
        EXPECT_EQ(message.headers().back().value, c.value) << c.line;
    }
}
