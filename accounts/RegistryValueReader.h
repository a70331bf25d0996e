#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

// Reads the values of an open key one index at a time (RegEnumValueA) into
// buffers of its own. The buffers start at the sizes the caller got from
// RegQueryInfoKeyA and grow when the registry reports them too small: a
// value can grow after the key was queried, and the sizes the query reports
// need not be the ANSI sizes. Nothing is cut short.
class RegistryValueReader {
public:
    // The capacities are in characters and bytes, without a NUL.
    RegistryValueReader(DWORD longestName, DWORD longestData);

    // Reads the value at `index`. False when there is none (it was removed
    // meanwhile, or the index is past the end); other failures throw
    // MsgException.
    bool read(HKEY key, DWORD index);

    std::string name() const;
    DWORD type() const { return valueType; }
    // The data as text: up to its first NUL or its length, whichever comes
    // first, so that a value written without a terminating NUL is read in
    // full and no further.
    std::string_view text() const;

private:
    std::vector<char> nameBuffer;
    std::vector<char> dataBuffer;
    DWORD valueType = REG_NONE;
    DWORD nameLength = 0;
    DWORD dataLength = 0;
};
