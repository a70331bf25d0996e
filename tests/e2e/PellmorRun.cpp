#include "e2e/PellmorRun.h"

#include "e2e/DesktopUser.h"

#include <shlwapi.h>

#include <cstdio>

namespace {
const char programKey[] = "Software\\Harrowden";
const char profileKey[] = "Software\\Harrowden\\Pellmor\\1.0\\AccountProfiles";

// Each byte XOR the bitwise NOT of the repeating 14-byte key.
std::string scrambled(const std::string& password) {
    static const char key[] = "q7!Rv$Lm3%Tz8w";
    std::string out = password;
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(static_cast<unsigned char>(out[i]) ^
                                   static_cast<unsigned char>(~static_cast<unsigned char>(key[i % 14])));
    return out;
}
} // namespace

void removeStoredProfiles() {
    SHDeleteKeyA(HKEY_CURRENT_USER, programKey);
}

void writeProfiles(const std::vector<Profile>& profiles) {
    removeStoredProfiles();
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, profileKey, &key) != ERROR_SUCCESS)
        return;
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        const Profile& p = profiles[i];
        char line[1000];
        std::snprintf(line, sizeof line, "%s,%s,%s,%d,%d,%d,%d,%s,%d,%dd", p.host.c_str(), p.user.c_str(),
                      scrambled(p.password).c_str(), p.showIcon ? 1 : 0, p.colour, p.interval,
                      p.checkAutomatically ? 1 : 0, p.clientCommand.c_str(), p.deleteImmediately ? 1 : 0, p.port);
        const std::string name = std::to_string(i);
        RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(line),
                       static_cast<DWORD>(lstrlenA(line) + 1));
    }
    RegCloseKey(key);
}

PellmorRun::PellmorRun() : debugged(std::make_unique<DebuggedProgram>(std::string("\"") + PELLMOR_EXE_PATH + "\"")) {}

PellmorRun::~PellmorRun() = default;

HWND PellmorRun::iconShowing(const std::string& user, const std::string& text, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        for (HWND icon : trayIcons()) {
            const std::string tip = ::tooltipOf(icon, 2500);
            if (tip.rfind(user + "@", 0) == 0 && tip.find(text) != std::string::npos)
                return icon;
        }
        Sleep(100);
    } while (GetTickCount() - start < milliseconds);
    return nullptr;
}

std::string PellmorRun::tooltipOf(const std::string& user) {
    for (HWND icon : trayIcons()) {
        const std::string tip = ::tooltipOf(icon, 2500);
        if (tip.rfind(user + "@", 0) == 0)
            return tip;
    }
    return {};
}

bool PellmorRun::chooseCommand(HWND icon, char key, const char* shot) {
    clickWindow(icon, true);
    // With one of the program's dialogs in front, the first right click on
    // Wine's tray has been seen to open nothing; a person clicks again.
    if (!waitForOpenMenus(1, 3000)) {
        clickWindow(icon, true);
        if (!waitForOpenMenus(1, 5000))
            return false;
    }
    if (shot)
        screenshot(shot);
    pressKey(static_cast<WORD>(key));
    return waitForNoOpenMenu(5000);
}

long PellmorRun::exitThrough(HWND icon) {
    chooseCommand(icon, 'X');
    DWORD code = 0;
    if (!debugged->waitForExit(20000, code))
        return -1;
    return static_cast<long>(code);
}
