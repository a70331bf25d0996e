#include "net/MsgException.h"

#include <windows.h>

#include <cctype>
#include <cstdio>

MsgException::MsgException(const char* text) : text(text) {}

std::string MsgException::message() const {
    return text;
}

namespace {

// The system's own words for an error or status number; empty when it has
// none.
std::string systemDescription(DWORD error) {
    char* description = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<LPSTR>(&description), 0, nullptr);
    std::string text(description && length ? description : "");
    if (description)
        LocalFree(description);
    return text;
}

} // namespace

void checkWindowsResult(int result) {
    if (result == 0)
        return;

    // Read once: a failing FormatMessageA would otherwise replace the error
    // we are reporting with its own.
    const DWORD error = GetLastError();
    const std::string description = systemDescription(error);
    const std::string formatted =
        formatWindowsError(error, description.empty() ? "(no description)" : description.c_str());

    OutputDebugStringA(formatted.c_str());
    throw MsgException(formatted.c_str());
}

std::string describeStatus(unsigned long status, const char* fallback) {
    char number[16];
    std::snprintf(number, sizeof number, "0x%08lX", status);
    std::string description = systemDescription(status);
    while (!description.empty() && std::isspace(static_cast<unsigned char>(description.back())))
        description.pop_back();
    return std::string(number) + " (" + (description.empty() ? fallback : description) + ")";
}

std::string formatWindowsError(unsigned long error, const char* description) {
    // Longer descriptions are cut; the number at the front always survives.
    char formatted[1000];
    std::snprintf(formatted, sizeof formatted, "Windows error #%d: %s", static_cast<int>(error),
                  description);
    return formatted;
}
