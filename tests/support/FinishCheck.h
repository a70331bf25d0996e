#pragma once

#include "accounts/Account.h"
#include "ui/MainWindow.h"
#include "ui/ProgramHandles.h"

#include <windows.h>

// A check runs on a worker thread that posts its steps and its end to the
// main window. This starts one and hands those messages to the account as
// the program's window does, until it has ended; false when it has not
// ended within `milliseconds`. Without a main window, a window of its own
// stands in meanwhile.
inline bool checkNow(Account& account, DWORD milliseconds = 30000) {
    HWND stand = nullptr;
    if (!mainWindow)
        stand = mainWindow = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    account.check();
    const DWORD begin = GetTickCount();
    while (account.checking() && GetTickCount() - begin <= milliseconds) {
        MSG message;
        while (PeekMessageA(&message, nullptr, MainWindow::checkProgressMessage, MainWindow::checkDoneMessage,
                            PM_REMOVE)) {
            if (message.message == MainWindow::checkProgressMessage)
                account.onCheckProgress(message.lParam);
            else
                account.onCheckDone(static_cast<unsigned>(message.lParam));
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_POSTMESSAGE);
    }
    if (stand) {
        DestroyWindow(stand);
        mainWindow = nullptr;
    }
    return !account.checking();
}
