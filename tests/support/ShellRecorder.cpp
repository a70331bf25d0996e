#include "support/ShellRecorder.h"

#include <cstring>

namespace {
ShellRecorder* active = nullptr;
}

ShellRecorder::ShellRecorder() : previous(shellNotifyIcon) {
    active = this;
    shellNotifyIcon = record;
}

ShellRecorder::~ShellRecorder() {
    shellNotifyIcon = previous;
    active = nullptr;
}

BOOL WINAPI ShellRecorder::record(DWORD message, PNOTIFYICONDATAA data) {
    Call call{message, {}, FALSE};
    // Only the first form's bytes are the caller's; the rest of the copy
    // stays zero.
    std::memcpy(&call.data, data, data->cbSize <= sizeof call.data ? data->cbSize : sizeof call.data);
    call.result = Shell_NotifyIconA(message, data);
    if (active)
        active->calls.push_back(call);
    return call.result;
}

std::vector<ShellRecorder::Call> ShellRecorder::callsFor(UINT id) const {
    std::vector<Call> found;
    for (const Call& call : calls) {
        if (call.data.uID == id)
            found.push_back(call);
    }
    return found;
}

std::string shellMessageName(DWORD message) {
    switch (message) {
    case NIM_ADD:
        return "add";
    case NIM_MODIFY:
        return "modify";
    case NIM_DELETE:
        return "delete";
    default:
        return std::to_string(message);
    }
}
