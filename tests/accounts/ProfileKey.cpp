#include "accounts/ProfileKey.h"

#include "accounts/ProfileStore.h"

namespace {

void deleteTree(HKEY parent, const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyA(parent, path, &key) != ERROR_SUCCESS)
        return;
    for (char name[256]; RegEnumKeyA(key, 0, name, sizeof name) == ERROR_SUCCESS;) {
        deleteTree(key, name);
        if (RegDeleteKeyA(key, name) != ERROR_SUCCESS)
            break;
    }
    RegCloseKey(key);
}

} // namespace

// Everything the program keeps, and whatever a test made beside it.
void deleteProfileKey() {
    deleteTree(HKEY_CURRENT_USER, "Software\\Harrowden");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Harrowden");
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
