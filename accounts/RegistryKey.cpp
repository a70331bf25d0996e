#include "accounts/RegistryKey.h"

#include "net/MsgException.h"

#include <utility>

void checkRegistryResult(LONG result) {
    if (result == ERROR_SUCCESS)
        return;
    SetLastError(static_cast<DWORD>(result));
    checkWindowsResult(static_cast<int>(result));
}

RegistryKey RegistryKey::create(HKEY root, const char* path) {
    HKEY handle = nullptr;
    checkRegistryResult(RegCreateKeyA(root, path, &handle));
    return RegistryKey(handle);
}

RegistryKey::~RegistryKey() {
    if (handle)
        RegCloseKey(handle);
}

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : handle(std::exchange(other.handle, nullptr)) {
}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
        if (handle)
            RegCloseKey(handle);
        handle = std::exchange(other.handle, nullptr);
    }
    return *this;
}

void RegistryKey::close() {
    if (!handle)
        return;
    checkRegistryResult(RegCloseKey(std::exchange(handle, nullptr)));
}
