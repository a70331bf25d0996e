#include "ui/MainWindow.h"

#include "accounts/Account.h"
#include "accounts/AccountList.h"
#include "net/MsgException.h"
#include "ui/AboutDialog.h"
#include "ui/MessageMenu.h"
#include "ui/ModalDialog.h"
#include "ui/OptionsDialog.h"
#include "ui/ProgramHandles.h"
#include "ui/TrayMenu.h"
#include "ui/resource.h"

#include <exception>
#include <string>
#include <vector>

namespace {

// The MsgException that ended the message loop, until runMessageLoop throws
// it again.
std::exception_ptr pendingFailure;

Account* accountWithId(WPARAM id) {
    return accounts.withId(static_cast<int>(id));
}

void onTimer(HWND window, WPARAM timerId) {
    if (timerId == MainWindow::resumeTimerId) {
        KillTimer(window, timerId);
        accounts.checkAfterResume();
        return;
    }
    currentAccount = accountWithId(timerId);
    if (currentAccount)
        MainWindow::onCommand(window, ID_CHECK_NOW);
}

void onTrayNotify(HWND window, WPARAM accountId, LPARAM mouseMessage) {
    currentAccount = accountWithId(accountId);
    if (!currentAccount)
        return;
    switch (mouseMessage) {
    case WM_LBUTTONDOWN:
        currentAccount->showMenu(true);
        break;
    case WM_RBUTTONDOWN:
        trackPopupMenu(window, trayMenu);
        break;
    case NIN_BALLOONUSERCLICK:
        // The new-mail balloon leads to the messages it tells of.
        currentAccount->showMenu(true);
        break;
    default:
        break; // moves, releases and double clicks only choose the account
    }
}

// A computer that slept has missed its timers' checks, and the timers go
// on counting from before the sleep: the accounts that check by themselves
// are checked once the network has had a moment to come back.
void onPowerBroadcast(HWND window, WPARAM event) {
    if (event == PBT_APMRESUMEAUTOMATIC || event == PBT_APMRESUMESUSPEND)
        SetTimer(window, MainWindow::resumeTimerId, MainWindow::resumeDelayMilliseconds, nullptr);
}

// The shell broadcasts this when it starts again (after a crash of
// Explorer, say), with an empty notification area.
UINT taskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

void onPaint(HWND window) {
    PAINTSTRUCT paint;
    if (BeginPaint(window, &paint))
        EndPaint(window, &paint);
}

} // namespace

ATOM MainWindow::registerClass(HINSTANCE instance) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_ENVELOPE));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = className;
    return RegisterClassA(&windowClass);
}

void MainWindow::unregisterClass(HINSTANCE instance) {
    UnregisterClassA(className, instance);
}

HWND MainWindow::create(HINSTANCE instance) {
    return CreateWindowExA(WS_EX_TOOLWINDOW, className, "Pellmor", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance,
                           nullptr);
}

LRESULT CALLBACK MainWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
        case WM_CREATE:
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_KILLFOCUS:
            return 0;
        case WM_PAINT:
            onPaint(window);
            return 0;
        case WM_COMMAND:
            onCommand(window, wParam);
            return 0;
        case WM_TIMER:
            onTimer(window, wParam);
            return 0;
        case trayCallbackMessage:
            onTrayNotify(window, wParam, lParam);
            return 0;
        case WM_INITMENUPOPUP:
            // A message's submenu is filled as it opens.
            if (!HIWORD(lParam)) {
                for (Account& account : accounts) {
                    if (account.fillEntry(reinterpret_cast<HMENU>(wParam), LOWORD(lParam)))
                        break;
                }
            }
            return 0;
        case checkAllMessage:
            accounts.checkAll();
            return 0;
        case checkProgressMessage:
            if (Account* account = accounts.withId(static_cast<int>(wParam)))
                account->onCheckProgress(lParam);
            return 0;
        case checkDoneMessage:
            if (Account* account = accounts.withId(static_cast<int>(wParam)))
                account->onCheckDone(static_cast<unsigned>(lParam));
            return 0;
        case WM_ENDSESSION:
            // Logging off ends the process after this returns: the checks'
            // threads are stopped while the program can still tidy up.
            if (wParam)
                accounts.stopChecks();
            return 0;
        case WM_POWERBROADCAST:
            onPowerBroadcast(window, wParam);
            return TRUE;
        default:
            if (message != 0 && message == taskbarCreatedMessage()) {
                accounts.showTrayIconsAgain();
                return 0;
            }
            return DefWindowProcA(window, message, wParam, lParam);
        }
    } catch (MsgException&) {
        endLoopWithFailure();
        return 0;
    }
}

void MainWindow::endLoopWithFailure() {
    if (!pendingFailure)
        pendingFailure = std::current_exception();
    PostQuitMessage(1);
}

bool MainWindow::onCommand(HWND window, WPARAM command) {
    if (command >= messageCommandFirst && command <= messageCommandLast) {
        if (currentAccount)
            currentAccount->onMenuCommand(static_cast<UINT>(command));
        return true;
    }
    switch (command) {
    case ID_CHECK_NOW:
        if (currentAccount)
            currentAccount->check();
        return true;
    case ID_EXIT:
        PostQuitMessage(0);
        return true;
    case ID_OPTIONS:
        OptionsDialog::open();
        return true;
    case ID_ABOUT:
        runModalDialog(IDD_ABOUT, AboutDialog);
        return true;
    case ID_LAUNCH_CLIENT:
        launchClient(window);
        return true;
    default:
        return false;
    }
}

void MainWindow::launchClient(HWND window) {
    if (!currentAccount)
        return;
    // CreateProcessA may write into the command line, so it gets a copy.
    const std::string& command = currentAccount->clientCommand;
    std::vector<char> commandLine(command.begin(), command.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    try {
        const BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                                            NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process);
        checkWindowsResult(!started);
        // The client runs on its own; nothing waits for it.
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } catch (MsgException& e) {
        MessageBoxA(window, e.message().c_str(), "Failed to launch client", MB_OK);
    }
}

int MainWindow::runMessageLoop() {
    MSG message;
    BOOL got;
    // -1 is an error of GetMessageA itself (never for a null window); it
    // ends the loop rather than spinning on it.
    while ((got = GetMessageA(&message, nullptr, 0, 0)) != 0 && got != -1) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (pendingFailure) {
        std::exception_ptr failure = pendingFailure;
        pendingFailure = nullptr;
        std::rethrow_exception(failure);
    }
    return got == -1 ? 1 : static_cast<int>(message.wParam);
}
