#pragma once

#include "support/DialogWatcher.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
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

inline void moveMouseTo(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    // Absolute positions run from 0 to 65535 across the screen.
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    const int x = ((r.left + r.right) / 2 * 65535 + width / 2) / (width - 1);
    const int y = ((r.top + r.bottom) / 2 * 65535 + height / 2) / (height - 1);
    mouse_event(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y, 0, 0);
    Sleep(50);
}

inline std::vector<HWND> visibleTopLevel(const char* className) {
    std::vector<HWND> found;
    for (HWND window = FindWindowExA(nullptr, nullptr, className, nullptr); window;
         window = FindWindowExA(nullptr, window, className, nullptr))
        if (IsWindowVisible(window))
            found.push_back(window);
    return found;
}

// The tooltips that show for the icon under the mouse; the balloons of new
// mail are tooltips too, which stay for seconds wherever the mouse goes.
inline std::vector<HWND> hoverTips() {
    std::vector<HWND> tips = visibleTopLevel("tooltips_class32");
    std::erase_if(tips, [](HWND tip) { return GetWindowLongPtrA(tip, GWL_STYLE) & TTS_BALLOON; });
    return tips;
}

// Wine 8 shows the icons without a desktop tray (as under Xvfb) in its X11
// driver's own tray window; later Wines (the WoW64 one of the 32-bit run) in
// explorer's "Shell_TrayWnd", whose children are the icons (and, with a
// taskbar, which Xvfb runs do not have, its buttons). A named callback: a
// lambda has no stdcall form, which the 32-bit build needs.
inline BOOL CALLBACK addTrayIcon(HWND icon, LPARAM list) {
    const std::string name = windowClassName(icon);
    if (IsWindowVisible(icon) &&
        (name == "__winex11_tray_icon" ||
         (name != "Button" && windowClassName(GetAncestor(icon, GA_PARENT)) == "Shell_TrayWnd")))
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(icon);
    return TRUE;
}

// The visible icon windows of Wine's tray, in their order on screen.
inline std::vector<HWND> trayIcons() {
    std::vector<HWND> icons;
    for (const char* trayClass : {"__winex11_standalone_tray", "Shell_TrayWnd"})
        if (HWND tray = FindWindowA(trayClass, nullptr))
            EnumChildWindows(tray, addTrayIcon, reinterpret_cast<LPARAM>(&icons));
    return icons;
}

inline bool waitForTrayIcons(std::size_t count, DWORD milliseconds) {
    return waitUntil([&] { return trayIcons().size() == count; }, milliseconds);
}

// Moves the mouse to the middle of `window` and clicks there.
inline void clickWindow(HWND window, bool rightButton = false) {
    moveMouseTo(window);
    mouse_event(rightButton ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    Sleep(30);
    mouse_event(rightButton ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    Sleep(50);
}

// Presses and releases a key (VK_RETURN, 'X').
inline void pressKey(WORD virtualKey) {
    keybd_event(static_cast<BYTE>(virtualKey), 0, 0, 0);
    keybd_event(static_cast<BYTE>(virtualKey), 0, KEYEVENTF_KEYUP, 0);
    Sleep(80);
}

// The window that has the keyboard focus in the thread of `window`, which
// may belong to another process.
inline HWND focusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus
                                                                              : nullptr;
}

// The text of the tooltip that shows while the mouse rests on `icon`, or
// empty when none shows within `milliseconds`.
inline std::string tooltipOf(HWND icon, DWORD milliseconds) {
    // A tooltip shows after the mouse has rested on the icon; the one of the
    // icon hovered before must have gone first, or it would be read instead.
    moveMouseTo(GetDesktopWindow());
    waitUntil([] { return hoverTips().empty(); }, 2000);
    moveMouseTo(icon);
    std::string text;
    const auto read = [&](HWND tip) { return !(text = windowText(tip)).empty(); };
    waitUntil([&] { return std::ranges::any_of(hoverTips(), read); }, milliseconds);
    return text;
}

// The visible popup menu windows ("#32768"), the newest submenu first.
inline std::vector<HWND> openMenus() {
    return visibleTopLevel("#32768");
}

inline bool waitForOpenMenus(std::size_t count, DWORD milliseconds) {
    return waitUntil([&] { return openMenus().size() == count; }, milliseconds);
}

// A visible top-level window of `className` (a dialog: "#32770") whose
// caption is `caption`, or null when none shows within `milliseconds`.
inline HWND waitForWindow(const char* className, const std::string& caption, DWORD milliseconds) {
    HWND found = nullptr;
    const auto shown = [&] {
        return IsWindowVisible(found = FindWindowA(className, caption.c_str()));
    };
    return waitUntil(shown, milliseconds) ? found : nullptr;
}
