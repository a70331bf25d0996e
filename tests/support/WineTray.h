#pragma once

#include "support/TestWindow.h"

#include <windows.h>

#include <cstdint>
#include <vector>

// Wine's notification area as a user sees it. Without a desktop tray
// (XEmbed), as under Xvfb, Wine shows the icons in its own "Wine System
// Tray" window, one child window per icon, in the process of Wine's
// explorer. Which child is whose is not written anywhere a program can read,
// but each forwards mouse messages to its owner as the icon's callback
// message: a mouse move posted to it comes back to the owner's window as
// (callback message, icon id, WM_MOUSEMOVE).

// The icon windows of Wine's tray, empty when it shows none.
std::vector<HWND> wineTrayIconWindows();

// The tray's icon window that answers for the icon `id` of `owner`, or
// null when none does within `milliseconds` per window.
HWND findTrayIconWindow(TestWindow& owner, UINT callbackMessage, UINT id, DWORD milliseconds = 500);

// The pixels a window shows on the screen, row by row (0x00RRGGBB).
std::vector<std::uint32_t> screenPixels(HWND window, int& width, int& height);
