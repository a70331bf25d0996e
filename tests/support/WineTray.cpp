#include "support/WineTray.h"

#include "support/DialogWatcher.h"

#include <string>

// Wine 8 draws the tray in its X11 driver; later Wines (the WoW64 one of the
// 32-bit run) in explorer's "Shell_TrayWnd", whose children are the icons
// (and, with a taskbar, which Xvfb runs do not have, its buttons).
// A named callback: a lambda has no stdcall form, which the 32-bit build needs.
static BOOL CALLBACK addTrayIcon(HWND icon, LPARAM list) {
    const std::string name = windowClassName(icon);
    if (name == "__winex11_tray_icon" || (name != "Button" && windowClassName(GetAncestor(icon, GA_PARENT)) == "Shell_TrayWnd"))
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(icon);
    return TRUE;
}

std::vector<HWND> wineTrayIconWindows() {
    std::vector<HWND> icons;
    for (const char* trayClass : {"__winex11_standalone_tray", "Shell_TrayWnd"})
        if (HWND tray = FindWindowA(trayClass, nullptr))
            EnumChildWindows(tray, addTrayIcon, reinterpret_cast<LPARAM>(&icons));
    return icons;
}

HWND findTrayIconWindow(TestWindow& owner, UINT callbackMessage, UINT id, DWORD milliseconds) {
    for (HWND icon : wineTrayIconWindows()) {
        const int before = owner.count(callbackMessage, id);
        PostMessageA(icon, WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
        if (owner.pumpUntil([&] { return owner.count(callbackMessage, id) > before; }, milliseconds))
            return icon;
    }
    return nullptr;
}

std::vector<std::uint32_t> screenPixels(HWND window, int& width, int& height) {
    RECT area{};
    GetWindowRect(window, &area);
    width = area.right - area.left;
    height = area.bottom - area.top;
    std::vector<std::uint32_t> pixels;
    HDC screen = GetDC(nullptr);
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            const COLORREF c = GetPixel(screen, x, y);
            pixels.push_back(static_cast<std::uint32_t>(GetRValue(c)) << 16 | GetGValue(c) << 8 | GetBValue(c));
        }
    ReleaseDC(nullptr, screen);
    return pixels;
}
