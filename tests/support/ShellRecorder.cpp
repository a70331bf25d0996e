#include "support/ShellRecorder.h"

#include <algorithm>
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
    // Only the first form's bytes are the caller's; the rest stays zero.
    Call call{message, {}, FALSE};
    std::memcpy(&call.data, data, std::min<std::size_t>(data->cbSize, sizeof call.data));
    call.result = Shell_NotifyIconA(message, data);
    if (active)
        active->calls.push_back(call);
    return call.result;
}

std::vector<ShellRecorder::Call> ShellRecorder::callsFor(UINT id) const {
    std::vector<Call> found;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(found),
                 [id](const Call& call) { return call.data.uID == id; });
    return found;
}

std::string shellMessageName(DWORD message) {
    const char* const names[] = {"add", "modify", "delete"};
    return message <= NIM_DELETE ? names[message] : std::to_string(message);
}
