// Program entry: start-up, the message loop and shut-down, in the order the
// accounts' tray icons and timers depend on. The main window is never
// destroyed here: the account list, destroyed after WinMain returns, still
// removes its tray icons and kills its timers through it.
#include "accounts/AccountList.h"
#include "app/SingleInstance.h"
#include "net/MsgException.h"
#include "ui/Icons.h"
#include "ui/MainWindow.h"
#include "ui/ProgramHandles.h"
#include "ui/TrayMenu.h"

#include <windows.h>
#include <winsock.h>

#include <cstdlib>
#include <ctime>

namespace {

void startWinSock() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0)
        throw MsgException("Failed to initialize WinSock");
    if (data.wVersion != MAKEWORD(1, 1)) {
        WSACleanup();
        throw MsgException("Couldn't find requested WinSock version");
    }
}

void showFailure(const MsgException& failure) {
    MessageBoxA(mainWindow, failure.message().c_str(), "Pellmor Exception", MB_OK);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR, int) {
    if (handOverToRunningInstance())
        return 0;
    if (!previousInstance && !MainWindow::registerClass(instance))
        return 1;
    moduleInstance = instance;
    loadIcons();
    int exitCode = 1;
    mainWindow = MainWindow::create(instance);
    if (!mainWindow) {
        MainWindow::unregisterClass(instance);
        return 1;
    }

    try {
        startWinSock();
    } catch (MsgException& failure) {
        showFailure(failure);
        MainWindow::unregisterClass(instance);
        return 1;
    }

    std::srand(static_cast<unsigned>(std::time(nullptr)));
    buildTrayMenu();
    try {
        accounts.loadProfiles();
        accounts.checkAll();
        exitCode = MainWindow::runMessageLoop();
    } catch (MsgException& failure) {
        // A failure while loading, checking or handling a message ends the
        // program with 1, like one that stops the start-up.
        showFailure(failure);
        exitCode = 1;
    }
    // A check that still waits for a server must not hold the exit, nor use
    // WinSock after it is cleaned up.
    accounts.stopChecks();

    destroyTrayMenu();
    WSACleanup();
    MainWindow::unregisterClass(instance);
    return exitCode;
}
