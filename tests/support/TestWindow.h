#pragma once

#include <windows.h>

#include <functional>
#include <vector>

// A hidden top-level window that stands in for the program's main window for
// as long as it lives (mainWindow; moduleInstance becomes the test program,
// whose resources hold the icons), and records the timer and tray callback
// (WM_USER) messages it receives.
class TestWindow {
public:
    struct Event {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        DWORD tick;
    };

    TestWindow();
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;

    // Runs the thread's message loop until `done` holds or `milliseconds`
    // have passed; answers whether `done` held.
    bool pumpUntil(const std::function<bool()>& done, DWORD milliseconds);
    void pumpFor(DWORD milliseconds) {
        pumpUntil([] { return false; }, milliseconds);
    }
    // How many recorded events are `message` with `wParam`.
    int count(UINT message, WPARAM wParam) const;

    HWND handle = nullptr;
    std::vector<Event> events;
};
