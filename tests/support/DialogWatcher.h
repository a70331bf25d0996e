#pragma once

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

// A window's text, of this process or another: WM_GETTEXT reaches another
// process's controls (GetWindowTextA reads only their caption), and a hung
// window does not hold the reader.
inline std::string windowText(HWND window) {
    char text[2048] = {};
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 2000, nullptr);
    return text;
}

inline std::string windowClassName(HWND window) {
    char name[257] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// Acts on the dialog boxes and message boxes this thread opens, from inside
// their modal loops: a thread timer hands each new one to `onDialog`, one a
// tick. Whatever is still open after `milliseconds` is closed, so that a
// test never hangs on a box it did not expect.
class DialogWatcher {
public:
    explicit DialogWatcher(std::function<void(HWND)> action, DWORD milliseconds = 10000)
        : onDialog(std::move(action)), deadline(GetTickCount() + milliseconds) {
        active = this;
    }
    ~DialogWatcher() {
        KillTimer(nullptr, timer);
        active = nullptr;
    }
    DialogWatcher(const DialogWatcher&) = delete;

    std::vector<HWND> seen; // oldest first

private:
    // A named callback: a lambda has no stdcall form, which the 32-bit build needs.
    static BOOL CALLBACK addVisibleDialog(HWND window, LPARAM list) {
        if (windowClassName(window) == "#32770" && IsWindowVisible(window))
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
    }
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
        std::vector<HWND> dialogs;
        EnumThreadWindows(GetCurrentThreadId(), addVisibleDialog,
                          reinterpret_cast<LPARAM>(&dialogs));
        for (HWND dialog : dialogs) {
            if (static_cast<LONG>(GetTickCount() - active->deadline) > 0) {
                PostMessageA(dialog, WM_CLOSE, 0, 0);
            } else if (std::find(active->seen.begin(), active->seen.end(), dialog) ==
                       active->seen.end()) {
                active->seen.push_back(dialog);
                return active->onDialog(dialog);
            }
        }
    }

    static inline DialogWatcher* active = nullptr;
    std::function<void(HWND)> onDialog;
    DWORD deadline;
    UINT_PTR timer = SetTimer(nullptr, 0, 20, tick);
};
