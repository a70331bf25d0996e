#pragma once

#include "accounts/Account.h"
#include "ui/MainWindow.h"
#include "ui/ProgramHandles.h"

#include <windows.h>

// A check runs on a worker thread that posts its steps and its end to the
// main window (which must exist). This starts one and hands those messages
// to the account as the program's window does, until it has ended; false
// when it has not ended within `milliseconds`.
inline bool checkNow(Account& account, DWORD milliseconds = 30000) {
    account.check();
    const DWORD begin = GetTickCount();
    while (account.checking() && GetTickCount() - begin <= milliseconds) {
        MSG message;
        while (PeekMessageA(&message, nullptr, MainWindow::checkProgressMessage,
                            MainWindow::checkDoneMessage, PM_REMOVE)) {
            if (message.message == MainWindow::checkProgressMessage)
                account.onCheckProgress(message.lParam);
            else
                account.onCheckDone(static_cast<unsigned>(message.lParam));
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_POSTMESSAGE);
    }
    return !account.checking();
}
