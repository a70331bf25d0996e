#pragma once

#include <windows.h>

// The program's one window: hidden, of the class "Pellmor". It owns every
// tray icon, timer, menu and message box, and its procedure turns tray
// clicks, timers and menu choices into the program's commands.
namespace MainWindow {

inline constexpr char className[] = "Pellmor";

// The tray icons' callback message: wParam is the account id, lParam the
// mouse message.
inline constexpr UINT trayCallbackMessage = WM_USER;

// Sent by a second start of the program to the running one, which then
// checks every account (app/SingleInstance.cpp).
inline constexpr UINT checkAllMessage = WM_APP;
// Posted by a check's worker thread (accounts/CheckWorker.h): wParam is the
// account id, lParam the worker's progress or its serial.
inline constexpr UINT checkProgressMessage = WM_APP + 1;
inline constexpr UINT checkDoneMessage = WM_APP + 2;

// The timer that checks the accounts with automatic checks soon after the
// computer wakes up; account ids, which are timer ids too, stay below it.
inline constexpr UINT_PTR resumeTimerId = 1000;
// How long after waking up that check waits, so that the network has come
// back. Only tests change it.
inline unsigned resumeDelayMilliseconds = 15000;

// Registers the window class "Pellmor" of `instance`; 0 when that fails.
ATOM registerClass(HINSTANCE instance);
void unregisterClass(HINSTANCE instance);
// Creates the hidden main window (never shown); null when that fails.
HWND create(HINSTANCE instance);

// The window procedure. A MsgException that a handler lets through ends the
// program through endLoopWithFailure.
LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the command that `command` (the whole wParam of WM_COMMAND) names and
// answers whether it is one of the program's commands. The commands that
// need an account do nothing while currentAccount is null; "&Options..."
// then opens on the first profile.
bool onCommand(HWND window, WPARAM command);

// Starts currentAccount's mail client and leaves it running; a failure is
// shown in a "Failed to launch client" box owned by `window`.
void launchClient(HWND window);

// For the catch block of any window or dialog procedure: an exception must
// not unwind through the system's dispatching code, so the MsgException
// being handled is kept and WM_QUIT is posted, which ends every modal loop
// and then the message loop, and runMessageLoop throws it again. When
// several fail before the loop ends, the first is the one the user sees.
void endLoopWithFailure();

// Runs the message loop until WM_QUIT and answers its exit code. When a
// handler's MsgException ended it, the exception is thrown again here.
int runMessageLoop();

} // namespace MainWindow
