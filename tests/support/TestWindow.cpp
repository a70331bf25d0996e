#include "support/TestWindow.h"

#include "ui/ProgramHandles.h"
#include "ui/TrayIcon.h"

#include <algorithm>

namespace {

LRESULT CALLBACK recordEvent(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self || (message != WM_TIMER && message != WM_USER))
        return DefWindowProcA(window, message, wParam, lParam);
    self->events.push_back({message, wParam, lParam, GetTickCount()});
    return 0;
}

} // namespace

TestWindow::TestWindow() {
    // Wine 8 takes 2 s to delete the last icon of its tray, a few
    // milliseconds any other: an icon that stays for the whole run makes the
    // tests pay that once, at exit, rather than in every test with an icon.
    static TrayIcon keeper(
        CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr),
        1);
    moduleInstance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = recordEvent;
    windowClass.hInstance = moduleInstance;
    windowClass.lpszClassName = "PellmorTestWindow";
    RegisterClassA(&windowClass); // fails harmlessly when already registered
    handle = CreateWindowExA(WS_EX_TOOLWINDOW, windowClass.lpszClassName, "Pellmor test",
                             WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, nullptr, nullptr, moduleInstance, nullptr);
    SetWindowLongPtrA(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    mainWindow = handle;
}

TestWindow::~TestWindow() {
    DestroyWindow(handle);
    mainWindow = nullptr;
    // Leftover timer messages of this window must not reach the next one.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

bool TestWindow::pumpUntil(const std::function<bool()>& done, DWORD milliseconds) {
    for (const DWORD start = GetTickCount();;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        if (done() || GetTickCount() - start >= milliseconds)
            return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

int TestWindow::count(UINT message, WPARAM wParam) const {
    return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const Event& event) {
        return event.message == message && event.wParam == wParam;
    }));
}
