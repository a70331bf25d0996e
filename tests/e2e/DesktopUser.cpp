#include "e2e/DesktopUser.h"

#include "support/DialogWatcher.h"
#include "support/WineTray.h"

#include <commctrl.h>

#include <algorithm>

namespace {

void moveMouseTo(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    // Absolute positions run from 0 to 65535 across the screen.
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    const int x = ((r.left + r.right) / 2 * 65535 + width / 2) / (width - 1);
    const int y = ((r.top + r.bottom) / 2 * 65535 + height / 2) / (height - 1);
    mouse_event(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y, 0, 0);
    Sleep(50);
}

std::vector<HWND> visibleTopLevel(const char* className) {
    std::vector<HWND> found;
    for (HWND window = FindWindowExA(nullptr, nullptr, className, nullptr); window;
         window = FindWindowExA(nullptr, window, className, nullptr))
        if (IsWindowVisible(window))
            found.push_back(window);
    return found;
}

// The tooltips that show for the icon under the mouse; the balloons of new
// mail are tooltips too, which stay for seconds wherever the mouse goes.
std::vector<HWND> hoverTips() {
    std::vector<HWND> tips = visibleTopLevel("tooltips_class32");
    std::erase_if(tips, [](HWND tip) { return GetWindowLongPtrA(tip, GWL_STYLE) & TTS_BALLOON; });
    return tips;
}

} // namespace

std::vector<HWND> trayIcons() {
    std::vector<HWND> visible = wineTrayIconWindows();
    std::erase_if(visible, [](HWND icon) { return !IsWindowVisible(icon); });
    return visible;
}

bool waitForTrayIcons(std::size_t count, DWORD milliseconds) {
    return waitUntil([&] { return trayIcons().size() == count; }, milliseconds);
}

void clickWindow(HWND window, bool rightButton) {
    moveMouseTo(window);
    mouse_event(rightButton ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    Sleep(30);
    mouse_event(rightButton ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    Sleep(50);
}

void pressKey(WORD virtualKey) {
    keybd_event(static_cast<BYTE>(virtualKey), 0, 0, 0);
    keybd_event(static_cast<BYTE>(virtualKey), 0, KEYEVENTF_KEYUP, 0);
    Sleep(80);
}

HWND focusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus
                                                                              : nullptr;
}

std::string tooltipOf(HWND icon, DWORD milliseconds) {
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

std::vector<HWND> openMenus() {
    return visibleTopLevel("#32768");
}

bool waitForOpenMenus(std::size_t count, DWORD milliseconds) {
    return waitUntil([&] { return openMenus().size() == count; }, milliseconds);
}

HWND waitForWindow(const char* className, const std::string& caption, DWORD milliseconds) {
    HWND found = nullptr;
    const auto shown = [&] {
        return IsWindowVisible(found = FindWindowA(className, caption.c_str()));
    };
    return waitUntil(shown, milliseconds) ? found : nullptr;
}
