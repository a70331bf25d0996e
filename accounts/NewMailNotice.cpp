// Telling the user of new mail: one balloon from the account's tray icon per
// check, and the sound the user chose for new mail in the system's settings.
#include "accounts/Account.h"

#include <windows.h>
#include <mmsystem.h>

#include <string>

namespace {

// Profile fields and headers are text of the system's code page.
std::wstring fromCodePage(const std::string& text) {
    if (text.empty())
        return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::wstring headerOf(const POP3::Message& message, const char* name) {
    std::string value;
    message.getHeader(name, value);
    return fromCodePage(value);
}

} // namespace

void Account::noticeNewMail(unsigned fetched, bool firstFill) {
    if (!notifyNewMail || fetched == 0 || !trayIcon)
        return;
    if (firstFill && fetched > firstFillNoticeLimit)
        return;
    std::wstring text = std::to_wstring(fetched) + (fetched == 1 ? L" new message" : L" new messages");
    // New messages join the list at its end, the newest last.
    const POP3::Message* newest = nullptr;
    for (const POP3::Message& message : messages)
        newest = &message;
    if (newest) {
        text += L"\n" + headerOf(*newest, "From");
        text += L"\n" + headerOf(*newest, "Subject");
    }
    trayIcon->showBalloon(fromCodePage(title), text);
    PlaySoundA("MailBeep", nullptr, SND_ALIAS | SND_ASYNC | SND_NODEFAULT);
}
