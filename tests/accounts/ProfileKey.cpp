#include "accounts/ProfileKey.h"

#include "accounts/ProfileStore.h"

// The profile key, a subkey a test made under it, and its parents while they
// hold no other key.
void deleteProfileKey() {
    RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(profileKeyPath) + "\\made by hand").c_str());
    for (std::string path = profileKeyPath; path != "Software"; path.resize(path.rfind('\\')))
        RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
}

bool profileKeyExists() {
    HKEY key = nullptr;
    const bool exists = RegOpenKeyA(HKEY_CURRENT_USER, profileKeyPath, &key) == ERROR_SUCCESS;
    RegCloseKey(key);
    return exists;
}

void writeProfileValue(const char* name, DWORD type, std::string_view data) {
    HKEY key = nullptr;
    RegCreateKeyA(HKEY_CURRENT_USER, profileKeyPath, &key);
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size()));
    RegCloseKey(key);
}

RawValue readRawValue(const char* name) {
    RawValue value;
    HKEY key = nullptr;
    DWORD size = 0;
    if (RegOpenKeyA(HKEY_CURRENT_USER, profileKeyPath, &key) == ERROR_SUCCESS &&
        RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.found = true;
        value.data.resize(size);
        RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value.data.data()),
                         &size);
    }
    RegCloseKey(key);
    return value;
}
