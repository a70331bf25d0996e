#pragma once

#include "support/DialogWatcher.h"

#include <windows.h>

#include <string>
#include <vector>

// Wine 8 shows the icons without a desktop tray (as under Xvfb) in its X11
// driver's own tray window; later Wines (the WoW64 one of the 32-bit run) in
// explorer's "Shell_TrayWnd", whose children are the icons (and, with a
// taskbar, which Xvfb runs do not have, its buttons). A named callback: a
// lambda has no stdcall form, which the 32-bit build needs.
inline BOOL CALLBACK addTrayIcon(HWND icon, LPARAM list) {
    const std::string name = windowClassName(icon);
    if (name == "__winex11_tray_icon" ||
        (name != "Button" && windowClassName(GetAncestor(icon, GA_PARENT)) == "Shell_TrayWnd"))
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(icon);
    return TRUE;
}

// The icon windows of Wine's tray, empty when it shows none.
inline std::vector<HWND> wineTrayIconWindows() {
    std::vector<HWND> icons;
    for (const char* trayClass : {"__winex11_standalone_tray", "Shell_TrayWnd"})
        if (HWND tray = FindWindowA(trayClass, nullptr))
            EnumChildWindows(tray, addTrayIcon, reinterpret_cast<LPARAM>(&icons));
    return icons;
}
