#include "support/TestWindow.h"

#include "ui/ProgramHandles.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>

namespace {

// Wine 8 takes 2 s to delete the last icon of its tray (it hides the tray
// window then), against a few milliseconds for any other. One icon of the
// test program's own stays for the program's whole run, so that the tests
// pay those 2 s once, at exit, rather than in every test that shows an icon.
struct TrayKeeper {
    NOTIFYICONDATAA data{};
    TrayKeeper() {
        data.cbSize = NOTIFYICONDATAA_V1_SIZE;
        data.hWnd = CreateWindowExA(WS_EX_TOOLWINDOW, "Static", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    nullptr, nullptr);
        data.uID = 1;
        Shell_NotifyIconA(NIM_ADD, &data);
    }
    ~TrayKeeper() {
        Shell_NotifyIconA(NIM_DELETE, &data);
        DestroyWindow(data.hWnd);
    }
};

} // namespace

TestWindow::TestWindow() {
    static TrayKeeper keeper;
    moduleInstance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = moduleInstance;
    windowClass.lpszClassName = "PellmorTestWindow";
    RegisterClassA(&windowClass); // fails harmlessly when already registered
    handle = CreateWindowExA(WS_EX_TOOLWINDOW, windowClass.lpszClassName, "Pellmor test", WS_OVERLAPPEDWINDOW,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                             moduleInstance, nullptr);
    SetWindowLongPtrA(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    mainWindow = handle;
}

TestWindow::~TestWindow() {
    SetWindowLongPtrA(handle, GWLP_USERDATA, 0);
    DestroyWindow(handle);
    mainWindow = nullptr;
    // Leftover timer messages of this window must not reach the next one.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

LRESULT CALLBACK TestWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_TIMER && message != WM_USER)
        return DefWindowProcA(window, message, wParam, lParam);
    if (auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA)))
        self->events.push_back({message, wParam, lParam, GetTickCount()});
    return 0;
}

bool TestWindow::pumpUntil(const std::function<bool()>& done, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        const DWORD spent = GetTickCount() - start;
        if (done() || spent >= milliseconds)
            return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(milliseconds - spent, 20), QS_ALLINPUT);
    }
}

void TestWindow::pumpFor(DWORD milliseconds) {
    pumpUntil([] { return false; }, milliseconds);
}

int TestWindow::count(UINT message, WPARAM wParam) const {
    return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const Event& event) {
        return event.message == message && event.wParam == wParam;
    }));
}
