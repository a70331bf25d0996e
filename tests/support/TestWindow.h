#pragma once

#include <windows.h>

#include <functional>
#include <vector>

// A hidden top-level window that stands in for the program's main window:
// it becomes mainWindow (and the test program's module becomes
// moduleInstance, so that the icons load from the resources linked into
// it) for as long as it lives, and it records the timer and tray messages
// it receives.
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
    TestWindow& operator=(const TestWindow&) = delete;

    // Runs the thread's message loop until `done` holds or `milliseconds`
    // have passed; answers whether `done` held.
    bool pumpUntil(const std::function<bool()>& done, DWORD milliseconds);
    void pumpFor(DWORD milliseconds);

    // Recorded WM_TIMER (wParam = timer id) and tray callback (WM_USER)
    // messages, oldest first.
    int count(UINT message, WPARAM wParam) const;

    HWND handle = nullptr;
    std::vector<Event> events;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};
