#pragma once

#include <cstddef>
#include <string>

// The byte a password byte at `position` is stored as. The 14-byte key
// repeats for longer passwords, so the first 14 bytes scramble as they
// always have. The rule is its own inverse.
char scrambledByte(char byte, std::size_t position);

// Scrambles or unscrambles the whole password in place; the length stays.
void scramblePassword(std::string& password);
