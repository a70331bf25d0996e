#include "net/MsgException.h"
#include "net/POP3Exception.h"

#include <gtest/gtest.h>

#include <windows.h>

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

// The error reported is the one of the failed call, with the system's text.
TEST(CheckWindowsResult, NamesTheThreadsLastErrorWithTheSystemsText) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_NO_THROW(checkWindowsResult(0));
    try {
        checkWindowsResult(12345);
        ADD_FAILURE() << "no exception";
    } catch (const MsgException& e) {
        EXPECT_TRUE(e.text.starts_with("Windows error #2: ") && e.text.size() > 24) << e.text;
    }
    EXPECT_EQ(formatWindowsError(5, std::string(5000, 'd').c_str()).size(), 999u);
}
