#pragma once

#include "ui/TrayIcon.h"

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

// Records every Shell_NotifyIconA call the tray icons make, with a copy of
// the record as it was at the call, and passes each one on to the real
// shell. One recorder at a time; it puts the real call back when it ends.
class ShellRecorder {
public:
    struct Call {
        DWORD message;
        NOTIFYICONDATAA data;
        BOOL result;

        std::string tip() const { return data.szTip; }
    };

    ShellRecorder();
    ~ShellRecorder();
    ShellRecorder(const ShellRecorder&) = delete;
    ShellRecorder& operator=(const ShellRecorder&) = delete;

    // The calls made for the icon `id`, oldest first.
    std::vector<Call> callsFor(UINT id) const;

    std::vector<Call> calls;

private:
    static BOOL WINAPI record(DWORD message, PNOTIFYICONDATAA data);
    ShellNotifyFunction previous;
};

// "add", "modify", "delete" or the number.
std::string shellMessageName(DWORD message);
