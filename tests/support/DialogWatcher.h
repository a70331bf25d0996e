#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Acts on the dialog boxes and message boxes that this thread opens, from
// inside their modal loops: a thread timer looks every 20 ms for a visible
// dialog window (class "#32770") of the thread and hands each new one to
// `onDialog` once. Whatever is still open after `milliseconds` is closed, so
// that a test never hangs on a box it did not expect.
class DialogWatcher {
public:
    explicit DialogWatcher(std::function<void(HWND)> onDialog, DWORD milliseconds = 10000);
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;

    // The dialogs handed to onDialog, oldest first.
    std::vector<HWND> seen;
    bool timedOut = false;

private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD);
    std::function<void(HWND)> onDialog;
    DWORD deadline;
    UINT_PTR timer;
};

// The visible dialog windows of this thread.
std::vector<HWND> threadDialogs();
// A window's text, of this process or another.
std::string windowText(HWND window);
// The name of a window's class.
std::string windowClassName(HWND window);
// The texts of a message box's static controls that are not empty, joined
// by "\n": what the box says. The box may belong to another process.
std::string messageBoxText(HWND box);
// Answers a message box as its OK button does.
void pressOk(HWND box);
