#include "accounts/DecimalText.h"

#include <climits>
#include <cstdint>

namespace {

struct Decimal {
    bool negative = false;
    // Saturates just above the largest 32-bit unsigned value, which is
    // enough to tell every overflow from every value in range.
    std::uint64_t magnitude = 0;
};

constexpr std::uint64_t saturated = std::uint64_t{UINT_MAX} + 1;

// The C locale's white space; isspace itself would depend on the locale and
// is undefined for the negative chars that bytes of 0x80 and above become.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

Decimal parse(std::string_view text) {
    Decimal result;
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        result.negative = text[i] == '-';
        ++i;
    }
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        result.magnitude = result.magnitude * 10 + static_cast<unsigned>(text[i] - '0');
        if (result.magnitude >= saturated)
            result.magnitude = saturated;
    }
    return result;
}

} // namespace

int readInt(std::string_view text) {
    const Decimal decimal = parse(text);
    if (decimal.negative) {
        const std::uint64_t limit = std::uint64_t{INT_MAX} + 1;
        return decimal.magnitude >= limit ? INT_MIN : -static_cast<int>(decimal.magnitude);
    }
    return decimal.magnitude > INT_MAX ? INT_MAX : static_cast<int>(decimal.magnitude);
}

unsigned readUnsigned(std::string_view text) {
    const Decimal decimal = parse(text);
    if (decimal.magnitude > UINT_MAX)
        return UINT_MAX;
    const auto value = static_cast<unsigned>(decimal.magnitude);
    return decimal.negative ? 0u - value : value;
}
