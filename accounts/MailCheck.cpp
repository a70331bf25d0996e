// The mail check: one POP3 session that brings an account up to date, with
// its progress and outcome shown in the account's status and icon.
#include "accounts/Account.h"
#include "accounts/AccountList.h"

#include "net/POP3Exception.h"

namespace {

// The failures in which the server's certificate itself was refused: one
// the user may choose to trust. A broken handshake (9) or a server without
// STLS (13) showed no certificate worth trusting.
bool refusesCertificate(int code) {
    return code >= 10 && code <= 12;
}

} // namespace

void Account::check() {
    // An account without a server is not checked at all; it keeps whatever
    // it shows.
    if (host.empty())
        return;

    unsigned fetched = 0;
    messageCount = 0;
    forgetRefusedCertificate();
    setIconState(Checking);
    setStatus("connecting...");
    client.setSecurity(security, trustedFingerprint);
    try {
        client.login(user.c_str(), password.c_str(), host.c_str(), static_cast<int>(port));
        setStatus("receiving headers...");
        fetched = static_cast<unsigned>(client.scan(messages));
        newCount += fetched;
        setStatus("disconnecting...");
        try {
            client.quit();
        } catch (const Socket::Exception&) {
            // The server has said goodbye and committed the session; only
            // releasing our end of the connection failed (the server may
            // already have reset it). That must not end the program.
        }
    } catch (const POP3::Exception& e) {
        setIconState(e.code == 5 ? AuthorizationFailed : CheckFailed);
        if (refusesCertificate(e.code)) {
            // Kept for the options dialog, which offers to trust it.
            refusedFingerprint = client.serverFingerprint();
            refusalCode = e.code;
        }
        // The short text of the step that failed, not the whole message.
        setStatus(e.codeText());
        return;
    }
    buildMenu(false);
    noticeNewMail(fetched, !filled);
    filled = true;
}

void AccountList::checkAll() {
    for (Account& account : *this)
        account.check();
}

void AccountList::checkAfterResume() {
    for (Account& account : *this) {
        if (!account.timerId)
            continue;
        account.check();
        account.restartTimer();
    }
}
