#include "accounts/CheckWorker.h"

#include "net/POP3Exception.h"
#include "ui/MainWindow.h"

#include <utility>

namespace {

// Serials are given out on the window's thread only.
unsigned nextSerial = 0;

} // namespace

CheckWorker::CheckWorker(HWND window, int accountId, CheckOrder order)
    : serial(++nextSerial), window(window), accountId(accountId), order(std::move(order)) {
    thread = std::thread(&CheckWorker::run, this);
}

CheckWorker::~CheckWorker() {
    interrupt();
    join();
}

void CheckWorker::join() {
    if (thread.joinable())
        thread.join();
}

LPARAM CheckWorker::progress(Step step) const {
    return static_cast<LPARAM>(serial) * stepCount + step;
}

void CheckWorker::run() {
    const auto tell = [this](UINT message, LPARAM detail) {
        // A window that is gone takes nothing: the program is ending.
        PostMessageA(window, message, static_cast<WPARAM>(accountId), detail);
    };
    try {
        client.setSecurity(order.security, order.trustedFingerprint);
        client.login(order.user.c_str(), order.password.c_str(), order.host.c_str(),
                     static_cast<int>(order.port));
        tell(MainWindow::checkProgressMessage, progress(ReceivingHeaders));
        outcome.found = std::move(order.known);
        outcome.fetched = static_cast<unsigned>(client.scan(outcome.found));
        tell(MainWindow::checkProgressMessage, progress(Disconnecting));
        try {
            client.quit();
        } catch (const Socket::Exception&) {
            // The server has said goodbye and committed the session; only
            // releasing our end of the connection failed.
        }
    } catch (const POP3::Exception& e) {
        outcome.failed = true;
        outcome.code = e.code;
        outcome.codeText = e.codeText();
    } catch (...) {
        // Nothing may escape a thread; whatever else failed ends this check
        // only.
        outcome.failed = true;
        outcome.codeText = POP3::Exception("", "", 0).codeText();
    }
    outcome.serverFingerprint = client.serverFingerprint();
    tell(MainWindow::checkDoneMessage, static_cast<LPARAM>(serial));
}
