#include "ui/TrayIcon.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cwchar>

namespace {

// The first form of the record ends with a 64-byte tip: 63 bytes of text
// and the terminating NUL.
constexpr std::size_t tipBuffer =
    NOTIFYICONDATAA_V1_SIZE - offsetof(NOTIFYICONDATAA, szTip);
static_assert(tipBuffer == 64);
static_assert(sizeof(TrayIcon) == sizeof(NOTIFYICONDATAA),
              "a TrayIcon is the shell's record and holds nothing else");

BOOL WINAPI callShell(DWORD message, PNOTIFYICONDATAA data) {
    return Shell_NotifyIconA(message, data);
}

} // namespace

// Through a function of ours, so that the pointer is a constant and set
// before any static object could make a tray icon.
constinit ShellNotifyFunction shellNotifyIcon = &callShell;

TrayIcon::TrayIcon(HWND window, UINT id) : data{} {
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = id;
    shellNotifyIcon(NIM_ADD, &data);
}

TrayIcon::~TrayIcon() {
    remove();
}

void TrayIcon::setCallbackMessage(UINT message) {
    data.uFlags |= NIF_MESSAGE;
    data.uCallbackMessage = message;
    shellNotifyIcon(NIM_MODIFY, &data);
}

void TrayIcon::setIcon(HICON icon) {
    data.uFlags |= NIF_ICON;
    data.hIcon = icon;
    shellNotifyIcon(NIM_MODIFY, &data);
}

void TrayIcon::setTip(const std::string& tip) {
    const std::size_t kept = std::min(tip.size(), tipBuffer - 1);
    std::memcpy(data.szTip, tip.data(), kept);
    data.szTip[kept] = '\0';
    data.uFlags |= NIF_TIP;
    shellNotifyIcon(NIM_MODIFY, &data);
}

namespace {

// Copies at most size - 1 UTF-16 units and the NUL, never half of a
// surrogate pair.
template <std::size_t size>
void copyCut(WCHAR (&buffer)[size], const std::wstring& text) {
    std::size_t kept = std::min(text.size(), size - 1);
    if (kept < text.size() && kept > 0 && IS_HIGH_SURROGATE(text[kept - 1]))
        --kept;
    std::wmemcpy(buffer, text.data(), kept);
    buffer[kept] = L'\0';
}

} // namespace

// The balloon's fields come after the first form's end, so it travels in a
// record of the second form of its own; the icon's record stays as it is.
void TrayIcon::showBalloon(const std::wstring& title, const std::wstring& text) {
    if (!data.hWnd)
        return;
    NOTIFYICONDATAW balloon{};
    balloon.cbSize = NOTIFYICONDATAW_V2_SIZE;
    balloon.hWnd = data.hWnd;
    balloon.uID = data.uID;
    balloon.uFlags = NIF_INFO;
    copyCut(balloon.szInfoTitle, title);
    copyCut(balloon.szInfo, text);
    balloon.dwInfoFlags = NIIF_INFO | NIIF_NOSOUND;
    Shell_NotifyIconW(NIM_MODIFY, &balloon);
}

// A removed record no longer names a window, which is how a second remove,
// and the destructor after remove, know to send nothing.
void TrayIcon::remove() {
    if (!data.hWnd)
        return;
    shellNotifyIcon(NIM_DELETE, &data);
    data.hWnd = nullptr;
}
