#include "support/DialogWatcher.h"

#include <algorithm>

namespace {
DialogWatcher* active = nullptr;
} // namespace

DialogWatcher::DialogWatcher(std::function<void(HWND)> action, DWORD milliseconds)
    : onDialog(std::move(action)), deadline(GetTickCount() + milliseconds) {
    active = this;
    timer = SetTimer(nullptr, 0, 20, tick);
}

DialogWatcher::~DialogWatcher() {
    KillTimer(nullptr, timer);
    active = nullptr;
}

void CALLBACK DialogWatcher::tick(HWND, UINT, UINT_PTR, DWORD) {
    DialogWatcher* self = active;
    for (HWND dialog : self ? threadDialogs() : std::vector<HWND>{}) {
        if (static_cast<LONG>(GetTickCount() - self->deadline) > 0) {
            self->timedOut = true;
            PostMessageA(dialog, WM_CLOSE, 0, 0);
        } else if (std::find(self->seen.begin(), self->seen.end(), dialog) == self->seen.end()) {
            self->seen.push_back(dialog);
            self->onDialog(dialog);
            if (active != self)
                return;
        }
    }
}

// Enumeration callbacks are named functions: a lambda has no stdcall form,
// which the 32-bit build needs.
static BOOL CALLBACK addVisibleDialog(HWND window, LPARAM list) {
    if (windowClassName(window) == "#32770" && IsWindowVisible(window))
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> threadDialogs() {
    std::vector<HWND> found;
    EnumThreadWindows(GetCurrentThreadId(), addVisibleDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

// WM_GETTEXT, not GetWindowTextA: it reaches the controls of another
// process too (GetWindowTextA would only read their caption), and a hung
// window does not hold the reader.
std::string windowText(HWND window) {
    char text[2048] = {};
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    return text;
}

std::string windowClassName(HWND window) {
    char name[256] = {}; // a class name has at most 256 characters
    GetClassNameA(window, name, sizeof name);
    return name;
}

static BOOL CALLBACK addStaticText(HWND window, LPARAM all) {
    auto& texts = *reinterpret_cast<std::string*>(all);
    const std::string text = windowClassName(window) == "Static" ? windowText(window) : "";
    if (!text.empty())
        texts += (texts.empty() ? "" : "\n") + text;
    return TRUE;
}

std::string messageBoxText(HWND box) {
    std::string texts;
    EnumChildWindows(box, addStaticText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

void pressOk(HWND box) {
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}
