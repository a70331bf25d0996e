#include "net/MsgException.h"

#include <windows.h>

#include <cstdio>

MsgException::MsgException(const char* text) : text(text) {}

std::string MsgException::message() const {
    return text;
}

void checkWindowsResult(int result) {
    if (result == 0)
        return;

    // Read once: a failing FormatMessageA would otherwise replace the error
    // we are reporting with its own.
    const DWORD error = GetLastError();
    char* description = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&description), 0,
        nullptr);

    const std::string formatted =
        formatWindowsError(error, length != 0 && description ? description : "(no description)");
    if (description)
        LocalFree(description);

    OutputDebugStringA(formatted.c_str());
    throw MsgException(formatted.c_str());
}

std::string formatWindowsError(unsigned long error, const char* description) {
    // Longer descriptions are cut; the number at the front always survives.
    char formatted[1000];
    std::snprintf(formatted, sizeof formatted, "Windows error #%d: %s", static_cast<int>(error),
                  description);
    return formatted;
}
