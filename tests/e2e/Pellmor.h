#pragma once

#include "accounts/Account.h"
#include "e2e/DebuggedProgram.h"

#include <windows.h>

#include <string>

// The real pellmor.exe of this build as its user meets it: the profiles it
// will load, its tray icons told apart by their tooltips, and the commands
// of their menu.

// The quoted command line that starts it.
extern const std::string pellmorExe;

// Adds a profile of the POP3 server at 127.0.0.1:`port`, its icon shown, to
// the program's own account list; the caller may change more of it (it is
// stored as formatProfileLine writes it).
Account& addProfile(const std::string& user, const std::string& password, int port);
// Replaces the stored profiles by those added, with the program's own
// profile store, for the next start; the list is empty again.
void storeProfiles();

// The tray icon whose tooltip starts with `user`@ and contains `text`, or
// null when none does within `milliseconds`; `tooltip` keeps the last
// tooltip of `user` seen, for a failure's message.
HWND iconShowing(const std::string& user, const std::string& text, std::string& tooltip,
                 DWORD milliseconds = 30000);

// Chooses the item with access key `key` ('O' for "&Options...") in the
// command menu of `icon`; answers whether the menu opened and closed.
bool chooseCommand(HWND icon, char key);

// "E&xit" on `icon`: the exit code, or -1 when the program did not end.
long exitThrough(DebuggedProgram& pellmor, HWND icon);
