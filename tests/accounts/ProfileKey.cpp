#include "accounts/ProfileKey.h"

#include "accounts/ProfileStore.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

HKEY openOrCreate() {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, profileKeyPath, &key), ERROR_SUCCESS);
    return key;
}

void deleteSubkeys(HKEY parent, const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyA(parent, path, &key) != ERROR_SUCCESS)
        return;
    char name[256];
    while (RegEnumKeyA(key, 0, name, sizeof name) == ERROR_SUCCESS) {
        deleteSubkeys(key, name);
        if (RegDeleteKeyA(key, name) != ERROR_SUCCESS)
            break;
    }
    RegCloseKey(key);
}

// The parents of the profile key are removed too, but only while they hold
// nothing at all, so that the prefix is left as the tests found it.
void deleteIfEmpty(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, path, &key) != ERROR_SUCCESS)
        return;
    DWORD subkeys = 1;
    DWORD values = 1;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    if (subkeys == 0 && values == 0)
        RegDeleteKeyA(HKEY_CURRENT_USER, path);
}

} // namespace

void deleteProfileKey() {
    deleteSubkeys(HKEY_CURRENT_USER, profileKeyPath);
    RegDeleteKeyA(HKEY_CURRENT_USER, profileKeyPath);
    deleteIfEmpty("Software\\Harrowden\\Pellmor\\1.0");
    deleteIfEmpty("Software\\Harrowden\\Pellmor");
    deleteIfEmpty("Software\\Harrowden");
}

bool profileKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, profileKeyPath, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void writeProfileValue(const char* name, DWORD type, std::string_view data) {
    HKEY key = openOrCreate();
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS)
        << name;
    RegCloseKey(key);
}

void writeProfileLine(const char* name, std::string_view line) {
    writeProfileValue(name, REG_SZ, line);
}

RawValue readRawValue(const char* name) {
    RawValue value;
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, profileKeyPath, &key) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.found = true;
        value.data.resize(size);
        RegQueryValueExA(key, name, nullptr, &value.type,
                         reinterpret_cast<BYTE*>(value.data.data()), &size);
        value.data.resize(size);
        const std::wstring wideName(name, name + std::char_traits<char>::length(name));
        RegQueryValueExW(key, wideName.c_str(), nullptr, nullptr, nullptr, &value.unicodeBytes);
    }
    RegCloseKey(key);
    return value;
}

std::string valueNamesInEnumerationOrder() {
    std::string names;
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, profileKeyPath, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; ++index) {
        char name[64];
        DWORD length = sizeof name;
        if (RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names += names.empty() ? "" : " ";
        names.append(name, length);
    }
    RegCloseKey(key);
    return names;
}
