#pragma once

#include "net/ConnectionSecurity.h"
#include "net/MessageList.h"
#include "net/POP3Client.h"

#include <windows.h>

#include <string>
#include <thread>

// What a check needs to know, copied when it starts: an edit of the profile
// meanwhile is for the next check.
struct CheckOrder {
    std::string host;
    std::string user;
    std::string password;
    unsigned port = 110;
    ConnectionSecurity security = ConnectionSecurity::None;
    std::string trustedFingerprint;
    // The account's records as the check starts, uids and delete marks only:
    // what the server is compared against.
    MessageList known;
};

// What the check found. `found` holds the known records still on the server
// (text-less, with their new numbers) followed by the new ones, fetched.
struct CheckOutcome {
    MessageList found;
    unsigned fetched = 0;
    bool failed = false;
    int code = 0;
    std::string codeText;
    std::string serverFingerprint;
};

// One POP3 session on a thread of its own, so that the window's thread never
// waits for a server. It works only on what it owns (the order, its session,
// the outcome) and tells the window of its progress and its end by posted
// messages: checkProgressMessage with the account id and progress(step),
// checkDoneMessage with the account id and the worker's serial. The outcome
// is read on the window's thread once checkDoneMessage has arrived.
class CheckWorker {
public:
    enum Step : LPARAM { ReceivingHeaders = 1, Disconnecting = 2, stepCount = 4 };

    CheckWorker(HWND window, int accountId, CheckOrder order);
    // Interrupts a session still under way and waits for the thread, which
    // then ends within moments.
    ~CheckWorker();
    CheckWorker(const CheckWorker&) = delete;
    CheckWorker& operator=(const CheckWorker&) = delete;

    // Ends the connection under the session; any thread may call it.
    void interrupt() { client.interrupt(); }
    // Waits for the thread; the outcome is complete afterwards.
    void join();

    // Tells this worker's checkDoneMessage from that of an earlier one of
    // the same account id.
    const unsigned serial;
    CheckOutcome outcome;

    // The progress message's detail: this worker's serial and the step.
    LPARAM progress(Step step) const;
    static Step stepOf(LPARAM detail) { return static_cast<Step>(detail % stepCount); }
    static unsigned serialOf(LPARAM detail) { return static_cast<unsigned>(detail / stepCount); }

private:
    void run();

    HWND window;
    int accountId;
    CheckOrder order;
    POP3::Client client;
    std::thread thread;
};
