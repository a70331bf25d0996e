#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// The profile key of the test prefix's registry, written and read directly.
// Nothing outside Software\Harrowden is touched.

// Removes Software\Harrowden and everything under it.
void deleteProfileKey();
bool profileKeyExists();
void writeProfileValue(const char* name, DWORD type, std::string_view data);

struct RawValue {
    bool found = false;
    DWORD type = REG_NONE;
    std::string data; // every byte RegQueryValueExA reports
};
RawValue readRawValue(const char* name);
