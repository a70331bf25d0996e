#include "app/SingleInstance.h"

#include "ui/MainWindow.h"

#include <windows.h>

namespace {

// Named in the session's own namespace: another user's Pellmor on the same
// machine is none of ours.
constexpr char runningMark[] = "Local\\Harrowden.Pellmor.Running";

// The running one makes its window soon after its mark; a second start in
// that moment waits for it, but never for long.
constexpr int windowTries = 50;
constexpr DWORD windowWait = 100;

} // namespace

bool handOverToRunningInstance() {
    // Kept open, never closed: the mark lasts exactly as long as this
    // process, however it ends.
    HANDLE mark = CreateMutexA(nullptr, FALSE, runningMark);
    if (!mark)
        return false; // cannot tell: better two than none
    if (GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    CloseHandle(mark);
    for (int i = 0; i < windowTries; ++i) {
        if (HWND running = FindWindowA(MainWindow::className, "Pellmor")) {
            PostMessageA(running, MainWindow::checkAllMessage, 0, 0);
            return true;
        }
        Sleep(windowWait);
    }
    return true;
}
