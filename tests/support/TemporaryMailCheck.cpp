// TEMPORARY, until accounts/MailCheck.cpp is on this branch: the mail check
// as the accounts describe it, linked only into the menu's test program and
// benchmark (the menu's "&Delete" calls it when deletion is immediate).
// Delete this file, and its two mentions in tests/ and bench/CMakeLists.txt,
// when the real check is in pellmor_accounts.
#include "accounts/Account.h"
#include "net/POP3Exception.h"

void Account::check() {
    if (host.empty())
        return;
    messageCount = 0;
    setIconState(Checking);
    setStatus("connecting...");
    try {
        client.login(user.c_str(), password.c_str(), host.c_str(), static_cast<int>(port));
        setStatus("receiving headers...");
        newCount += static_cast<unsigned>(client.scan(messages));
        setStatus("disconnecting...");
        client.quit();
    } catch (const POP3::Exception& e) {
        setIconState(e.code == 5 ? AuthorizationFailed : CheckFailed);
        setStatus(e.codeText());
        return;
    }
    buildMenu(false);
}
