// Telling the user of new mail: one balloon from the account's tray icon per
// check, and the sound the user chose for new mail in the system's settings.
#include "accounts/Account.h"
#include "mail/HeaderText.h"
#include "ui/WideText.h"

#include <windows.h>
#include <mmsystem.h>

#include <string>

namespace {

// Decoded as the message menu shows it: encoded words, charsets, folding.
std::wstring headerOf(const POP3::Message& message, const char* name) {
    return widened(decodeHeaderText(headerValue(message.headers(), name)), CP_UTF8);
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
    for (const char* name : {"From", "Subject"}) {
        const std::wstring value = newest ? headerOf(*newest, name) : std::wstring();
        if (!value.empty())
            text += L"\n" + value;
    }
    // Profile fields are text of the system's code page.
    trayIcon->showBalloon(widened(title, CP_ACP), text);
    PlaySoundA("MailBeep", nullptr, SND_ALIAS | SND_ASYNC | SND_NODEFAULT);
}
