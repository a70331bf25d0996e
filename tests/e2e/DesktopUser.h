#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What a person does at the desktop, through real input: the mouse on the
// icons of Wine's tray, keys into whatever has the focus, and looking at
// tooltips, open menus and windows of any process.

// Polls `done` every 25 ms until it holds or `milliseconds` have passed;
// answers whether it held.
template <class Condition> bool waitUntil(Condition done, DWORD milliseconds) {
    for (const DWORD start = GetTickCount();; Sleep(25)) {
        if (done())
            return true;
        if (GetTickCount() - start >= milliseconds)
            return false;
    }
}

// The visible icon windows of Wine's tray, in their order on screen.
std::vector<HWND> trayIcons();
bool waitForTrayIcons(std::size_t count, DWORD milliseconds);

// Moves the mouse to the middle of `window` and clicks there.
void clickWindow(HWND window, bool rightButton = false);
// Presses and releases a key (VK_RETURN, 'X').
void pressKey(WORD virtualKey);

// The window that has the keyboard focus in the thread of `window`, which
// may belong to another process.
HWND focusOf(HWND window);

// The text of the tooltip that shows while the mouse rests on `icon`, or
// empty when none shows within `milliseconds`.
std::string tooltipOf(HWND icon, DWORD milliseconds);

// The visible popup menu windows ("#32768"), the newest submenu first.
std::vector<HWND> openMenus();
bool waitForOpenMenus(std::size_t count, DWORD milliseconds);

// A visible top-level window of `className` (a dialog: "#32770") whose
// caption is `caption`, or null when none shows within `milliseconds`.
HWND waitForWindow(const char* className, const std::string& caption, DWORD milliseconds);
