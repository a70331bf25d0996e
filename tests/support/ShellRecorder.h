#pragma once

#include "ui/TrayIcon.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

// Records every Shell_NotifyIconA call of the tray icons, with the record as
// it was at the call, and passes each one on to the real shell. One recorder
// at a time; the program's own call comes back when it ends.
class ShellRecorder {
public:
    struct Call {
        DWORD message;
        NOTIFYICONDATAA data;
        BOOL result;

        std::string tip() const { return data.szTip; }
    };

    ShellRecorder() : previous(std::exchange(shellNotifyIcon, record)) { active = this; }
    ~ShellRecorder() { shellNotifyIcon = previous; }
    ShellRecorder(const ShellRecorder&) = delete;

    std::vector<Call> calls;

private:
    // Only the first form's bytes are the caller's; the rest stays zero.
    static BOOL WINAPI record(DWORD message, PNOTIFYICONDATAA data) {
        Call call{message, {}, FALSE};
        std::memcpy(&call.data, data, std::min<std::size_t>(data->cbSize, sizeof call.data));
        call.result = Shell_NotifyIconA(message, data);
        active->calls.push_back(call);
        return call.result;
    }

    static inline ShellRecorder* active = nullptr;
    ShellNotifyFunction previous;
};

// "add", "modify", "delete" or the number.
inline std::string shellMessageName(DWORD message) {
    const char* const names[] = {"add", "modify", "delete"};
    return message <= NIM_DELETE ? names[message] : std::to_string(message);
}
