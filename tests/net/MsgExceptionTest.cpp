#include "net/POP3Exception.h"

#include <gtest/gtest.h>

#include <set>

// The user is told which step failed: every code up to the first unknown
// one has a text no other code has, and the steps of a check (0 to 8) have one.
TEST(POP3Exception, EveryCodeHasATextOfItsOwn) {
    const auto text = [](int code) { return POP3::Exception("x", "", code).codeText(); };
    std::set<std::string> seen;
    int code = 0;
    for (; code < 100 && text(code) != text(-1); ++code)
        EXPECT_TRUE(seen.insert(text(code)).second) << code << ": " << text(code);
    EXPECT_GE(code, 9);
}
