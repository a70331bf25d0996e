#include "accounts/DecimalText.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

// The C runtime is the reference: on Windows a long has 32 bits, so strtol
// and strtoul saturate exactly where our conversions must.
static_assert(sizeof(long) == 4);

TEST(DecimalText, ReadsWhatTheCRuntimeReads) {
    const char* const inputs[] = {
        "0", "110d", "0d", "  42abc", "\t\n\v\f\r7", "+15", "-3", "", "d", "-", "+", " - 5",
        "--5", "+-5", "007", "1 2", "\xB5\x35", "0x1F", "2147483647", "2147483648",
        "-2147483648", "-2147483649", "4294967295d", "4294967296", "-1", "-4294967295",
        "99999999999999999999999999",
    };
    for (const char* input : inputs) {
        EXPECT_EQ(readInt(input), static_cast<int>(std::strtol(input, nullptr, 10)))
            << "'" << input << "'";
        EXPECT_EQ(readUnsigned(input), static_cast<unsigned>(std::strtoul(input, nullptr, 10)))
            << "'" << input << "'";
    }
}

TEST(DecimalText, SaturatesInsteadOfOverflowing) {
    EXPECT_EQ(readInt("2147483648"), INT_MAX);
    EXPECT_EQ(readInt("-2147483649"), INT_MIN);
    EXPECT_EQ(readInt("123456789012345678901234567890"), INT_MAX);
    EXPECT_EQ(readUnsigned("4294967296d"), UINT_MAX);
    EXPECT_EQ(readUnsigned("-1d"), UINT_MAX);
    // The C standard's strtoul gives ULONG_MAX for any magnitude out of
    // range, minus sign or not; the runtime under Wine answers 1 here.
    EXPECT_EQ(readUnsigned("-4294967296"), UINT_MAX);
    EXPECT_EQ(readUnsigned("-99999999999999999999999999"), UINT_MAX);
}

// Profile fields are views into the line: the conversion must stop at the
// end of the view, not at the next NUL.
TEST(DecimalText, StopsAtTheEndOfTheView) {
    const std::string_view line = "12345,678";
    EXPECT_EQ(readInt(line.substr(0, 3)), 123);
    EXPECT_EQ(readUnsigned(line.substr(6, 2)), 67u);
    EXPECT_EQ(readInt(line.substr(5, 0)), 0);
}
