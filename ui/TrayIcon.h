#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

// One icon in the notification area, identified by (window, id): the shell's
// record in its first form and nothing else. Every change is sent with the
// whole record, and the flags only ever grow, so each modification repeats
// the callback message, the image and the tip set before it.
class TrayIcon {
public:
    // Adds the icon, with neither image, tip nor callback message yet.
    TrayIcon(HWND window, UINT id);
    // Removes the icon if remove() has not: no path leaves an icon behind
    // that nothing refers to.
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    void setCallbackMessage(UINT message);
    void setIcon(HICON icon);
    // Keeps the first 63 bytes of `tip`.
    void setTip(const std::string& tip);
    // Shows a balloon from the icon (silent: the caller chooses the sound).
    // Title and text are cut at what the shell keeps, 63 and 255
    // characters, never inside a character.
    void showBalloon(const std::wstring& title, const std::wstring& text);
    // Deletes the icon from the notification area; later calls do nothing.
    void remove();

    NOTIFYICONDATAA data;
};

// The message the shell sends the window for a mouse event over an icon:
// wParam is the icon's id, lParam the mouse message.
constexpr UINT trayCallbackMessage = WM_USER;

// The shell call every TrayIcon goes through. The program never changes it;
// a test may put a recorder here that passes each call on to the real one.
using ShellNotifyFunction = BOOL(WINAPI*)(DWORD message, PNOTIFYICONDATAA data);
extern ShellNotifyFunction shellNotifyIcon;
