#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <string_view>

// Direct access to the profile key of the test prefix's registry, for
// writing values by hand and reading back what the store wrote. Nothing
// outside Software\Harrowden is touched.

// Removes the profile key with its values and any subkey a test made, and
// its parents up to Software\Harrowden while they are empty.
void deleteProfileKey();
bool profileKeyExists();
// Writes one value of any type, creating the key.
void writeProfileValue(const char* name, DWORD type, std::string_view data);
void writeProfileLine(const char* name, std::string_view line);

struct RawValue {
    bool found = false;
    DWORD type = REG_NONE;
    std::string data;       // as RegQueryValueExA gives it, every byte it reports
    DWORD unicodeBytes = 0; // the stored size, as RegQueryValueExW reports it
};
RawValue readRawValue(const char* name);
// The value names in the order RegEnumValueA gives them.
std::string valueNamesInEnumerationOrder();

// Tests that work on the profile key directly start and end without it.
class ProfileKeyTest : public testing::Test {
protected:
    void SetUp() override { deleteProfileKey(); }
    void TearDown() override { deleteProfileKey(); }
};
