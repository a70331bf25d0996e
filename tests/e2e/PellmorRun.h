#pragma once

#include "e2e/DebuggedProgram.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// One profile as the options dialog would store it.
struct Profile {
    std::string host = "127.0.0.1";
    std::string user;
    std::string password;
    bool showIcon = true;
    int colour = 0;
    int interval = 10;
    bool checkAutomatically = false;
    std::string clientCommand;
    bool deleteImmediately = false;
    int port = 110;
};

// Replaces the stored profiles of this prefix's current user by these
// (values "0", "1", ...), the password scrambled as the program stores it.
void writeProfiles(const std::vector<Profile>& profiles);
// Removes everything the program keeps in the registry.
void removeStoredProfiles();
// The stored profile lines as they are, values "0", "1", ... in order, read
// with RegQueryValueExA up to the first missing name.
std::vector<std::string> storedProfileLines();
// The stored profiles, each line split into its fields and the password
// unscrambled (a line's missing fields keep the defaults).
std::vector<Profile> storedProfiles();

// The real pellmor.exe, started under the debugger, and what a person sees
// of it: its tray icons (found by the user name in their tooltips), its
// menus and its message boxes.
class PellmorRun {
public:
    PellmorRun();
    ~PellmorRun();

    // The tray icon whose tooltip names `user`, waiting for its tooltip to
    // contain `text` as well; null when it does not within `milliseconds`.
    HWND iconShowing(const std::string& user, const std::string& text, DWORD milliseconds);
    // The tooltip text of the icon of `user`, empty when there is none.
    std::string tooltipOf(const std::string& user);

    // Opens the command menu on `icon` and chooses the item with access key
    // `key`; `shot` names a screenshot of the open menu, if any.
    bool chooseCommand(HWND icon, char key, const char* shot = nullptr);
    // "E&xit" on `icon`; answers the exit code, or -1 when it did not end.
    long exitThrough(HWND icon);

    DebuggedProgram& program() { return *debugged; }

private:
    std::unique_ptr<DebuggedProgram> debugged;
};
