#pragma once

// The ASCII-only case and blank handling that header syntax uses: names,
// tokens and charsets are ASCII and compared without regard to case.

#include <string>
#include <string_view>

std::string asciiLower(std::string_view text);
bool equalsIgnoringCase(std::string_view a, std::string_view b);
// Without the blanks and tabs at either end, or at its end.
std::string_view trimmedBlanks(std::string_view text);
std::string_view withoutTrailingBlanks(std::string_view text);
