#include "ui/LogonStart.h"

#include "accounts/RegistryKey.h"
#include "net/MsgException.h"

#include <windows.h>

#include <string>

namespace {

// The program's own path, however long: GetModuleFileNameA cuts a path
// that does not fit and says so only by filling the buffer.
std::string programPath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        checkWindowsResult(length == 0);
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

} // namespace

bool startsAtLogon() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, runKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegistryKey owned = RegistryKey::adopt(key);
    return RegQueryValueExA(owned.get(), runValueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void setStartAtLogon(bool on) {
    RegistryKey key = RegistryKey::create(HKEY_CURRENT_USER, runKeyPath);
    if (on) {
        std::string command = programPath();
        command.insert(command.begin(), '"');
        command.push_back('"');
        checkRegistryResult(RegSetValueExA(key.get(), runValueName, 0, REG_SZ,
                                           reinterpret_cast<const BYTE*>(command.c_str()),
                                           static_cast<DWORD>(command.size() + 1)));
    } else {
        const LONG result = RegDeleteValueA(key.get(), runValueName);
        if (result != ERROR_FILE_NOT_FOUND)
            checkRegistryResult(result);
    }
    key.close();
}
