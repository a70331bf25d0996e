#include "e2e/PellmorRun.h"

#include "e2e/DesktopUser.h"

#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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

std::vector<std::string> storedProfileLines() {
    std::vector<std::string> lines;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, profileKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return lines;
    for (int i = 0;; ++i) {
        char data[2048] = {};
        DWORD size = sizeof data - 1;
        DWORD type = 0;
        if (RegQueryValueExA(key, std::to_string(i).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
            ERROR_SUCCESS)
            break;
        // The program stores its lines without the terminating zero.
        lines.emplace_back(data, strnlen(data, size));
    }
    RegCloseKey(key);
    return lines;
}

std::vector<Profile> storedProfiles() {
    std::vector<Profile> profiles;
    for (const std::string& line : storedProfileLines()) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        while (fields.size() < 9) {
            const std::size_t comma = line.find(',', start);
            if (comma == std::string::npos)
                break;
            fields.push_back(line.substr(start, comma - start));
            start = comma + 1;
        }
        fields.push_back(line.substr(start));
        fields.resize(10);
        Profile p;
        p.host = fields[0];
        p.user = fields[1];
        p.password = scrambled(fields[2]);
        p.showIcon = std::atoi(fields[3].c_str()) != 0;
        p.colour = std::atoi(fields[4].c_str());
        p.interval = std::atoi(fields[5].c_str());
        p.checkAutomatically = std::atoi(fields[6].c_str()) != 0;
        p.clientCommand = fields[7];
        p.deleteImmediately = std::atoi(fields[8].c_str()) != 0;
        p.port = std::atoi(fields[9].c_str());
        profiles.push_back(p);
    }
    return profiles;
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
