#include "e2e/DesktopUser.h"

#include "support/WineTray.h"

#include <cstdlib>
#include <fstream>

namespace {

void sendMouse(DWORD flags, LONG x = 0, LONG y = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = x;
    input.mi.dy = y;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

POINT middleOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

BOOL CALLBACK collectVisible(HWND window, LPARAM state) {
    auto& [name, found] = *reinterpret_cast<std::pair<const char*, std::vector<HWND>*>*>(state);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpiA(className, name) == 0 && IsWindowVisible(window))
        found->push_back(window);
    return TRUE;
}

std::vector<HWND> visibleTopLevel(const char* className) {
    std::vector<HWND> found;
    std::pair<const char*, std::vector<HWND>*> state{className, &found};
    EnumWindows(collectVisible, reinterpret_cast<LPARAM>(&state));
    return found;
}

void sendKey(WORD virtualKey, bool release) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = release ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}

} // namespace

std::vector<HWND> trayIcons() {
    std::vector<HWND> icons = wineTrayIconWindows();
    std::vector<HWND> visible;
    for (HWND icon : icons)
        if (IsWindowVisible(icon))
            visible.push_back(icon);
    return visible;
}

bool waitForTrayIcons(std::size_t count, DWORD milliseconds) {
    return waitUntil([&] { return trayIcons().size() == count; }, milliseconds);
}

void moveMouseTo(HWND window) {
    const POINT at = middleOf(window);
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    sendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, (at.x * 65535 + width / 2) / (width - 1),
              (at.y * 65535 + height / 2) / (height - 1));
    Sleep(50);
}

void clickWindow(HWND window, bool rightButton) {
    moveMouseTo(window);
    sendMouse(rightButton ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
    Sleep(30);
    sendMouse(rightButton ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
    Sleep(50);
}

void pressKey(WORD virtualKey) {
    INPUT input[2]{};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = virtualKey;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof input[0]);
    Sleep(80);
}

void pressKeyWith(WORD modifier, WORD virtualKey) {
    sendKey(modifier, false);
    sendKey(virtualKey, false);
    sendKey(virtualKey, true);
    sendKey(modifier, true);
    Sleep(80);
}

void typeText(const std::string& text) {
    for (char c : text) {
        const SHORT key = VkKeyScanA(c);
        if (key == -1) {
            // Not on this layout's keys: typed as the (ASCII) character itself.
            INPUT input[2]{};
            input[0].type = input[1].type = INPUT_KEYBOARD;
            input[0].ki.wScan = input[1].ki.wScan = static_cast<unsigned char>(c);
            input[0].ki.dwFlags = KEYEVENTF_UNICODE;
            input[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
            SendInput(2, input, sizeof input[0]);
        } else {
            const WORD virtualKey = LOBYTE(key);
            const bool shift = (HIBYTE(key) & 1) != 0;
            if (shift)
                sendKey(VK_SHIFT, false);
            sendKey(virtualKey, false);
            sendKey(virtualKey, true);
            if (shift)
                sendKey(VK_SHIFT, true);
        }
        Sleep(15);
    }
    Sleep(80);
}

HWND focusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

std::string tooltipOf(HWND icon, DWORD milliseconds) {
    std::string text;
    // A tooltip shows after the mouse has rested; a small move restarts it.
    const DWORD start = GetTickCount();
    moveMouseTo(GetDesktopWindow());
    moveMouseTo(icon);
    waitUntil(
        [&] {
            for (HWND tip : visibleTopLevel("tooltips_class32")) {
                text = windowText(tip);
                if (!text.empty())
                    return true;
            }
            if (GetTickCount() - start > 1500 && (GetTickCount() - start) % 1500 < 30)
                moveMouseTo(icon);
            return false;
        },
        milliseconds);
    return text;
}

std::vector<HWND> openMenus() {
    std::vector<HWND> menus = visibleTopLevel("#32768");
    // EnumWindows lists the top of the z-order first: the newest submenu.
    return std::vector<HWND>(menus.rbegin(), menus.rend());
}

bool waitForOpenMenus(std::size_t count, DWORD milliseconds) {
    return waitUntil([&] { return openMenus().size() == count; }, milliseconds);
}

bool waitForNoOpenMenu(DWORD milliseconds) {
    return waitForOpenMenus(0, milliseconds);
}

std::vector<std::string> menuItems(HWND popup) {
    std::vector<std::string> items;
    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[512] = {};
        MENUITEMINFOA item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = sizeof text;
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &item))
            items.push_back("?");
        else
            items.push_back(item.fType & MFT_SEPARATOR ? "-" : text);
    }
    return items;
}

HWND waitForWindow(const char* className, const std::string& caption, DWORD milliseconds) {
    HWND found = nullptr;
    waitUntil(
        [&] {
            for (HWND window : visibleTopLevel(className))
                if (windowText(window) == caption) {
                    found = window;
                    return true;
                }
            return false;
        },
        milliseconds);
    return found;
}

HWND waitForOwnedWindow(HWND owner, const char* className, DWORD milliseconds) {
    HWND found = nullptr;
    waitUntil(
        [&] {
            for (HWND window : visibleTopLevel(className))
                if (GetWindow(window, GW_OWNER) == owner) {
                    found = window;
                    return true;
                }
            return false;
        },
        milliseconds);
    return found;
}

bool waitUntilGone(HWND window, DWORD milliseconds) {
    return waitUntil([&] { return !IsWindow(window); }, milliseconds);
}

bool screenshot(const std::string& name) {
    const char* folder = std::getenv("PELLMOR_SCREENSHOTS");
    if (!folder || !*folder)
        return false;
    const std::string base = std::string(folder) + "\\" + name;
    const std::string picture = base + ".png";
    DeleteFileA(picture.c_str());
    std::ofstream(base + ".request") << name << "\n";
    return waitUntil([&] { return GetFileAttributesA(picture.c_str()) != INVALID_FILE_ATTRIBUTES; }, 15000);
}
