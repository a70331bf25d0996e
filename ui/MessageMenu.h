#pragma once

// The account's message menu: a cascading entry per message (subject and
// sender) with the headers, the first lines, the bytes not fetched and
// "&Delete", then "&Launch client". The menu operations themselves are
// members of Account (accounts/Account.h), defined in MessageMenu.cpp; this
// header holds the command numbering and the two free functions.

#include <windows.h>

#include <string>

// Each position i of the account's message list owns the 16 command ids from
// messageCommandFirst + 16 × i; the one at offset 1 is the message's
// "&Delete". The main window passes messageCommandFirst..messageCommandLast
// to Account::onMenuCommand.
constexpr UINT messageCommandFirst = 1025;
constexpr UINT messageCommandLast = 33791;
constexpr UINT commandsPerMessage = 16;
constexpr UINT deleteCommandOffset = 1;
// The positions whose "&Delete" that range still carries, 0..2047. Messages
// further down the list get no entry (their "&Delete" could never come
// back); the menu says how many were left out.
constexpr unsigned menuPositionLimit =
    (messageCommandLast - messageCommandFirst - deleteCommandOffset) / commandsPerMessage + 1;

constexpr UINT deleteCommand(unsigned position) {
    return messageCommandFirst + commandsPerMessage * position + deleteCommandOffset;
}
static_assert(menuPositionLimit == 2048 && deleteCommand(menuPositionLimit - 1) <= messageCommandLast &&
              deleteCommand(menuPositionLimit) > messageCommandLast);

// The command menu's "&Launch client", repeated at the foot of every
// account's menu.
constexpr UINT launchClientCommand = 40005;

// Shows `menu` with its right edge at the point (the cursor when there is
// none) and its middle at the point's height, with `window` in front, and
// returns what TrackPopupMenu returned: nonzero when the menu was shown. A
// chosen item arrives at `window` later, as a posted WM_COMMAND.
BOOL trackPopupMenu(HWND window, HMENU menu, const POINT* point = nullptr);

// Doubles every "&", so that a menu shows it instead of taking it as the
// mark of an access key: "R&D" becomes "R&&D".
void escapeAmpersands(std::string& text);
