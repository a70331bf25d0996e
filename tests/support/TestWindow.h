#pragma once

#include "ui/ProgramHandles.h"
#include "ui/TrayIcon.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <vector>

// A hidden top-level window that stands in for the program's main window for
// as long as it lives (mainWindow; moduleInstance becomes the test program,
// whose resources hold the icons), and records the timer messages it
// receives.
class TestWindow {
public:
    struct Event {
        UINT message;
        WPARAM wParam;
        DWORD tick;
    };

    TestWindow() {
        // Wine 8 takes 2 s to delete the last icon of its tray, a few
        // milliseconds any other: an icon that stays for the whole run makes
        // the tests pay that once, at exit, rather than in every test.
        static TrayIcon keeper(hiddenWindow(), 1);
        moduleInstance = GetModuleHandleA(nullptr);
        mainWindow = handle;
        SetWindowLongPtrA(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrA(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(record));
    }
    ~TestWindow() {
        DestroyWindow(handle);
        mainWindow = nullptr;
        // Leftover timer messages of this window must not reach the next one.
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    TestWindow(const TestWindow&) = delete;

    // Runs the thread's message loop until `done` holds or `milliseconds`
    // have passed; answers whether `done` held.
    bool pumpUntil(const std::function<bool()>& done, DWORD milliseconds) {
        for (const DWORD start = GetTickCount();;) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&message);
            if (done() || GetTickCount() - start >= milliseconds)
                return done();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    // How many recorded events are `message` with `wParam`.
    int count(UINT message, WPARAM wParam) const {
        return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const Event& e) {
            return e.message == message && e.wParam == wParam;
        }));
    }

    HWND handle = hiddenWindow();
    std::vector<Event> events;

private:
    static HWND hiddenWindow() {
        return CreateWindowExA(WS_EX_TOOLWINDOW, "Static", "", WS_POPUP, 0, 0, 0, 0, nullptr,
                               nullptr, nullptr, nullptr);
    }
    static LRESULT CALLBACK record(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_TIMER)
            return DefWindowProcA(window, message, wParam, lParam);
        auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        self->events.push_back({message, wParam, GetTickCount()});
        return 0;
    }
};
