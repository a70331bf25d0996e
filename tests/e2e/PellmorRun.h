#pragma once

#include "e2e/DebuggedProgram.h"
#include "servers/Pop3Server.h"

#include <windows.h>

#include <string>
#include <vector>

// Replaces the stored profiles of this prefix by one per server, each
// checking it as its user, saved by the program's own profile store.
void storeProfiles(const std::vector<const Pop3Server*>& servers);
// The stored profile lines, values "0", "1", ... in order.
std::vector<std::string> storedProfileLines();

// The real pellmor.exe under the debugger, and what a person sees of it:
// its tray icons, found by the user named in their tooltips, and its menus.
class PellmorRun {
public:
    PellmorRun();

    // The tray icon whose tooltip starts with `user`@ and contains `text`,
    // or null when none does within `milliseconds`; `tooltip` gets the last
    // tooltip of `user` seen.
    HWND iconShowing(const std::string& user, const std::string& text, DWORD milliseconds,
                     std::string* tooltip = nullptr);
    // The tooltip of the icon of `user`, for a failure's message.
    std::string tooltipOf(const std::string& user) {
        std::string tip;
        iconShowing(user, "", 0, &tip);
        return tip;
    }

    // Opens the command menu on `icon` and chooses the item with access
    // key `key`.
    bool chooseCommand(HWND icon, char key);
    // "E&xit" on `icon`; answers the exit code, or -1 when it did not end.
    long exitThrough(HWND icon);

    DebuggedProgram program;
};
