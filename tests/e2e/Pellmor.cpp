#include "e2e/Pellmor.h"

#include "accounts/AccountList.h"
#include "accounts/ProfileStore.h"
#include "e2e/DesktopUser.h"

const std::string pellmorExe = std::string("\"") + PELLMOR_EXE_PATH + "\"";

Account& addProfile(const std::string& user, const std::string& password, int port) {
    auto account = std::make_unique<Account>(accounts.randomId());
    Account& added = *account;
    account->host = "127.0.0.1";
    account->user = user;
    account->password = password;
    account->port = static_cast<unsigned>(port);
    account->showIcon = true;
    accounts.append(account);
    return added;
}

void storeProfiles() {
    accounts.saveProfiles();
    accounts.clear();
}

HWND iconShowing(const std::string& user, const std::string& text, std::string& tooltip,
                 DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        for (HWND icon : trayIcons()) {
            const std::string tip = tooltipOf(icon, 2500);
            if (tip.rfind(user + "@", 0) == 0 && (tooltip = tip).find(text) != std::string::npos)
                return icon;
        }
        Sleep(100);
    } while (GetTickCount() - start < milliseconds);
    return nullptr;
}

bool chooseCommand(HWND icon, char key) {
    // With one of the program's dialogs in front, the first right click on
    // Wine's tray has been seen to open nothing; a person clicks again.
    for (int click = 0; click < 2; ++click) {
        clickWindow(icon, true);
        if (waitForOpenMenus(1, 4000)) {
            pressKey(static_cast<WORD>(key));
            return waitForOpenMenus(0, 5000);
        }
    }
    return false;
}

long exitThrough(DebuggedProgram& pellmor, HWND icon) {
    DWORD code = 0;
    return chooseCommand(icon, 'X') && pellmor.waitForExit(20000, code) ? static_cast<long>(code)
                                                                        : -1;
}
