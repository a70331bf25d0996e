#pragma once

#include "accounts/AccountList.h"
#include "ui/MainWindow.h"
#include "ui/ProgramHandles.h"

#include <windows.h>

// A check runs on a worker thread that posts its steps and its end to the
// main window. These start checks and hand those messages to the accounts
// as the program's window does, until every check has ended; false when one
// has not ended within `milliseconds`. Without a main window, a window of
// its own stands in while they run.
template <class Start, class Find, class Checking>
bool runChecks(Start start, Find find, Checking checking, DWORD milliseconds) {
    HWND stand = nullptr;
    if (!mainWindow)
        stand = mainWindow = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    start();
    const DWORD begin = GetTickCount();
    bool ended = true;
    while (checking()) {
        MSG message;
        while (PeekMessageA(&message, nullptr, MainWindow::checkProgressMessage, MainWindow::checkDoneMessage,
                            PM_REMOVE)) {
            Account* account = find(static_cast<int>(message.wParam));
            if (!account)
                continue;
            if (message.message == MainWindow::checkProgressMessage)
                account->onCheckProgress(message.lParam);
            else
                account->onCheckDone(static_cast<unsigned>(message.lParam));
        }
        if (GetTickCount() - begin > milliseconds) {
            ended = false;
            break;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_POSTMESSAGE);
    }
    if (stand) {
        DestroyWindow(stand);
        mainWindow = nullptr;
    }
    return ended;
}

inline bool checkNow(Account& account, DWORD milliseconds = 30000) {
    return runChecks([&] { account.check(); }, [&](int) { return &account; },
                     [&] { return account.checking(); }, milliseconds);
}

inline bool checkAllNow(AccountList& list, DWORD milliseconds = 30000) {
    const auto checking = [&] {
        for (const Account& account : list)
            if (account.checking())
                return true;
        return false;
    };
    return runChecks([&] { list.checkAll(); }, [&](int id) { return list.withId(id); }, checking, milliseconds);
}
