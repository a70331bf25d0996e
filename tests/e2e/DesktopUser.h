#pragma once

#include "support/DialogWatcher.h"

#include <windows.h>

#include <string>
#include <vector>

// Polls `done` every 25 ms until it holds or `milliseconds` have passed;
// answers whether it held.
template <class Condition>
bool waitUntil(Condition done, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start >= milliseconds)
            return false;
        Sleep(25);
    }
}

// What a person does at the desktop, through real input: the mouse on the
// icons of Wine's tray, keys into whatever has the focus, and looking at
// tooltips, open menus and message boxes of any process.

// The icon windows of Wine's tray, in their order on screen.
std::vector<HWND> trayIcons();
// Waits at most `milliseconds` until the tray shows `count` icons.
bool waitForTrayIcons(std::size_t count, DWORD milliseconds);

// Moves the mouse to the middle of `window` and clicks there.
void clickWindow(HWND window, bool rightButton = false);
void moveMouseTo(HWND window);
// Presses and releases a key.
void pressKey(WORD virtualKey);
// Presses and releases `virtualKey` while `modifier` (VK_SHIFT, VK_CONTROL)
// is held down.
void pressKeyWith(WORD modifier, WORD virtualKey);
// Types `text` key by key as the keyboard layout in use produces each
// character, shift included, into whatever has the focus.
void typeText(const std::string& text);
// The window that has the keyboard focus in the thread of `window`, which
// may belong to another process; null when that thread has none.
HWND focusOf(HWND window);

// The text of the tooltip that shows while the mouse rests on `icon`, or
// empty when none shows within `milliseconds`.
std::string tooltipOf(HWND icon, DWORD milliseconds);

// The visible popup menu windows ("#32768"), outermost first.
std::vector<HWND> openMenus();
bool waitForOpenMenus(std::size_t count, DWORD milliseconds);
bool waitForNoOpenMenu(DWORD milliseconds);
// The items of an open menu, read through its window: MN_GETHMENU, then
// GetMenuItemInfoA. Separators read as "-".
std::vector<std::string> menuItems(HWND popup);

// A visible top-level window of `className` (a dialog: "#32770") whose
// caption is `caption`, waiting at most `milliseconds`.
HWND waitForWindow(const char* className, const std::string& caption, DWORD milliseconds);
// A visible top-level window of `className` owned by `owner` (a message
// box or file dialog of a dialog), waiting at most `milliseconds`.
HWND waitForOwnedWindow(HWND owner, const char* className, DWORD milliseconds);
// Whether `window` is destroyed within `milliseconds`.
bool waitUntilGone(HWND window, DWORD milliseconds);
// A window's text and what a message box says: windowText and
// messageBoxText of support/DialogWatcher.h read those of any process.

// Asks the program that runs this one for a screenshot of the whole screen
// named `name`: when PELLMOR_SCREENSHOTS names a folder, a request file is
// written there and the PNG awaited (tests/e2e/run-with-screenshots takes
// it with ImageMagick's import). Answers whether the picture was taken.
bool screenshot(const std::string& name);
