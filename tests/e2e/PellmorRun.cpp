#include "e2e/PellmorRun.h"

#include "accounts/AccountList.h"
#include "accounts/ProfileStore.h"
#include "e2e/DesktopUser.h"

#include <memory>

void storeProfiles(const std::vector<const Pop3Server*>& servers) {
    accounts.clear();
    for (const Pop3Server* server : servers) {
        auto account = std::make_unique<Account>(accounts.randomId());
        account->host = "127.0.0.1";
        account->user = server->user();
        account->password = server->password();
        account->port = static_cast<unsigned>(server->port());
        account->showIcon = true;
        accounts.append(account);
    }
    accounts.saveProfiles();
    accounts.clear();
}

std::vector<std::string> storedProfileLines() {
    std::vector<std::string> lines;
    for (;;) {
        char line[2048];
        DWORD size = sizeof line;
        if (RegGetValueA(HKEY_CURRENT_USER, profileKeyPath, std::to_string(lines.size()).c_str(), RRF_RT_REG_SZ,
                         nullptr, line, &size) != ERROR_SUCCESS)
            return lines;
        lines.emplace_back(line);
    }
}

PellmorRun::PellmorRun() : program(std::string("\"") + PELLMOR_EXE_PATH + "\"") {}

HWND PellmorRun::iconShowing(const std::string& user, const std::string& text, DWORD milliseconds,
                              std::string* tooltip) {
    const DWORD start = GetTickCount();
    do {
        for (HWND icon : trayIcons()) {
            const std::string tip = ::tooltipOf(icon, 2500);
            if (tip.rfind(user + "@", 0) == 0 && tooltip)
                *tooltip = tip;
            if (tip.rfind(user + "@", 0) == 0 && tip.find(text) != std::string::npos)
                return icon;
        }
        Sleep(100);
    } while (GetTickCount() - start < milliseconds);
    return nullptr;
}

bool PellmorRun::chooseCommand(HWND icon, char key) {
    clickWindow(icon, true);
    // With one of the program's dialogs in front, the first right click on
    // Wine's tray has been seen to open nothing; a person clicks again.
    if (!waitForOpenMenus(1, 3000)) {
        clickWindow(icon, true);
        if (!waitForOpenMenus(1, 5000))
            return false;
    }
    pressKey(static_cast<WORD>(key));
    return waitForOpenMenus(0, 5000);
}

long PellmorRun::exitThrough(HWND icon) {
    chooseCommand(icon, 'X');
    DWORD code = 0;
    return program.waitForExit(20000, code) ? static_cast<long>(code) : -1;
}
