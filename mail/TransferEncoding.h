#pragma once

#include <string>
#include <string_view>

// Base64 (RFC 2045). Appends the bytes that whole groups of four give, and
// the one or two bytes of a last group of two or three characters (a line
// that the fetch limit cut). Padding ends nothing: a body may hold several
// padded runs. Answers false, having appended what it could, when a byte
// outside the alphabet, blanks and line ends appears.
bool appendBase64(std::string_view text, std::string& out);

// Quoted-printable (RFC 2045 and the "Q" of RFC 2047): "=XY" is the byte
// with hexadecimal value XY in either letter case; an "=" not followed by
// two hex digits stays as it came. With `underscoreIsBlank`, "_" is a blank.
void appendQuotedPrintable(std::string_view text, std::string& out, bool underscoreIsBlank);
