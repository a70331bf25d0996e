#include "e2e/DesktopUser.h"

#include "support/DialogWatcher.h"
#include "support/WineTray.h"

#include <commctrl.h>

namespace {

void sendMouse(DWORD flags, LONG x = 0, LONG y = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi = {x, y, 0, flags, 0, 0};
    SendInput(1, &input, sizeof input);
}

void moveMouseTo(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    sendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, ((r.left + r.right) / 2 * 65535 + width / 2) / (width - 1),
              ((r.top + r.bottom) / 2 * 65535 + height / 2) / (height - 1));
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

} // namespace

std::vector<HWND> trayIcons() {
    std::vector<HWND> visible;
    for (HWND icon : wineTrayIconWindows())
        if (IsWindowVisible(icon))
            visible.push_back(icon);
    return visible;
}

bool waitForTrayIcons(std::size_t count, DWORD milliseconds) {
    return waitUntil([&] { return trayIcons().size() == count; }, milliseconds);
}

void clickWindow(HWND window, bool rightButton) {
    moveMouseTo(window);
    sendMouse(rightButton ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
    Sleep(30);
    sendMouse(rightButton ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
    Sleep(50);
}

void pressKey(WORD virtualKey, WORD modifier) {
    INPUT input[4]{};
    for (INPUT& key : input)
        key.type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[3].ki.wVk = modifier;
    input[1].ki.wVk = input[2].ki.wVk = virtualKey;
    input[2].ki.dwFlags = input[3].ki.dwFlags = KEYEVENTF_KEYUP;
    // Without a modifier only the middle two: the key down and up.
    SendInput(modifier ? 4 : 2, modifier ? input : input + 1, sizeof input[0]);
    Sleep(80);
}

void typeText(const std::string& text) {
    for (char c : text) {
        INPUT input[2]{};
        input[0].type = input[1].type = INPUT_KEYBOARD;
        input[0].ki.wScan = input[1].ki.wScan = static_cast<unsigned char>(c);
        input[0].ki.dwFlags = KEYEVENTF_UNICODE;
        input[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        SendInput(2, input, sizeof input[0]);
        Sleep(15);
    }
    Sleep(80);
}

HWND focusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

// The tooltips that show for the icon under the mouse; the balloons of new
// mail are tooltips too, which stay for seconds wherever the mouse goes.
std::vector<HWND> hoverTips() {
    std::vector<HWND> tips = visibleTopLevel("tooltips_class32");
    std::erase_if(tips, [](HWND tip) { return (GetWindowLongPtrA(tip, GWL_STYLE) & TTS_BALLOON) != 0; });
    return tips;
}

std::string tooltipOf(HWND icon, DWORD milliseconds) {
    // A tooltip shows after the mouse has rested on the icon; the one of the
    // icon hovered before must have gone first, or it would be read instead.
    moveMouseTo(GetDesktopWindow());
    waitUntil([] { return hoverTips().empty(); }, 2000);
    moveMouseTo(icon);
    std::string text;
    waitUntil(
        [&] {
            for (HWND tip : hoverTips())
                if (!(text = windowText(tip)).empty())
                    return true;
            return false;
        },
        milliseconds);
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
    waitUntil(
        [&] {
            found = FindWindowA(className, caption.c_str());
            return found && IsWindowVisible(found);
        },
        milliseconds);
    return found && IsWindowVisible(found) ? found : nullptr;
}
