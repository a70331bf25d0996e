#pragma once

#include <windows.h>

// An open registry key that closes itself. Failures are MsgExceptions that
// name the registry's own error.
class RegistryKey {
public:
    RegistryKey() = default;
    // Opens root\path with RegCreateKeyA, creating what is missing.
    static RegistryKey create(HKEY root, const char* path);
    // Takes ownership of a key opened elsewhere.
    static RegistryKey adopt(HKEY handle) { return RegistryKey(handle); }

    // Closes quietly: it runs where an exception is already on its way.
    ~RegistryKey();
    RegistryKey(RegistryKey&& other) noexcept;
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    HKEY get() const { return handle; }
    // Closes the key and reports a failure to do so.
    void close();

private:
    explicit RegistryKey(HKEY handle) : handle(handle) {}
    HKEY handle = nullptr;
};

// The registry functions answer their error code and leave the thread's
// last error alone, while checkWindowsResult describes the last error: so
// the code is made the last error first, and the message names the failure
// that happened rather than a stale one. ERROR_SUCCESS returns.
void checkRegistryResult(LONG result);
