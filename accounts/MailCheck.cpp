// The mail check: one POP3 session that brings an account up to date, with
// its progress and outcome shown in the account's status and icon. The
// session runs on a worker thread; this side starts it and takes its result.
#include "accounts/Account.h"
#include "accounts/AccountList.h"
#include "accounts/CheckMerge.h"
#include "ui/ProgramHandles.h"

#include <utility>

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
    // it shows. A check under way is not started twice: "Check now" or a
    // timer meanwhile does nothing.
    if (host.empty() || worker)
        return;

    forgetRefusedCertificate();
    setIconState(Checking);
    setStatus("connecting...");
    CheckOrder order;
    order.host = host;
    order.user = user;
    order.password = password;
    order.port = port;
    order.security = security;
    order.trustedFingerprint = trustedFingerprint;
    order.known = knownRecords(messages);
    worker = std::make_unique<CheckWorker>(mainWindow, id, std::move(order));
}

void Account::onCheckProgress(LPARAM detail) {
    if (!worker || CheckWorker::serialOf(detail) != worker->serial)
        return;
    setStatus(CheckWorker::stepOf(detail) == CheckWorker::ReceivingHeaders ? "receiving headers..."
                                                                            : "disconnecting...");
}

void Account::onCheckDone(unsigned serial) {
    // The end of a worker that was stopped, or of an account since removed
    // whose id came back, is not this account's.
    if (!worker || worker->serial != serial)
        return;
    worker->join();
    const std::unique_ptr<CheckWorker> done = std::move(worker);
    CheckOutcome& outcome = done->outcome;
    if (outcome.failed) {
        // The records stay as they were: delete marks are sent again by the
        // next check, and nothing half-fetched is shown. The count of shown
        // messages is 0 after a failure, as it always was.
        messageCount = 0;
        setIconState(outcome.code == 5 ? AuthorizationFailed : CheckFailed);
        if (refusesCertificate(outcome.code)) {
            // Kept for the options dialog, which offers to trust it.
            refusedFingerprint = outcome.serverFingerprint;
            refusalCode = outcome.code;
        }
        // The short text of the step that failed, not the whole message.
        setStatus(outcome.codeText);
        return;
    }
    const bool changed = mergeFound(messages, outcome.found);
    newCount += outcome.fetched;
    // An unchanged list keeps its menu: rebuilding thousands of entries for
    // a check that found nothing would hold the window for nothing.
    if (!changed)
        messageCount = static_cast<unsigned>(messages.count() - messages.countDeleted());
    buildMenu(!changed);
    noticeNewMail(outcome.fetched, !filled);
    filled = true;
}

void Account::stopCheck() {
    if (worker)
        worker->interrupt();
    worker.reset();
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

void AccountList::stopChecks() {
    // Every connection is ended first, so that the waits overlap.
    for (Account& account : *this) {
        if (account.worker)
            account.worker->interrupt();
    }
    for (Account& account : *this)
        account.stopCheck();
}
