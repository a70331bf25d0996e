#pragma once

#include <string_view>

// Numbers in stored profiles are read the way the C library's decimal
// conversion reads them (atoi, sscanf's %d and %u): leading white space, an
// optional sign, then digits up to the first character that is not one; no
// digits at all read as 0. Unlike atoi, a value out of range has a defined
// result: it saturates.

// Out of range: INT_MIN or INT_MAX.
int readInt(std::string_view text);
// As strtoul on a 32-bit unsigned long: a minus sign wraps the value around
// 2^32, and a magnitude beyond 4294967295 gives 4294967295.
unsigned readUnsigned(std::string_view text);
