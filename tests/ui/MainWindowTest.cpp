// The hidden main window as the program creates it, driven by the messages
// the tray, the timers, the power events and the menus send it; the About
// box and the rule of one dialog at a time, met through its commands.
#include "accounts/Account.h"
#include "accounts/AccountList.h"
#include "support/DialogWatcher.h"
#include "ui/Icons.h"
#include "ui/MainWindow.h"
#include "ui/ModalDialog.h"
#include "ui/ProgramHandles.h"
#include "ui/TrayMenu.h"
#include "ui/resource.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <utility>

namespace {

HMENU shownMenu = nullptr;

// Notes the menu open at the tick and closes it.
void CALLBACK closeMenu(HWND, UINT, UINT_PTR, DWORD) {
    HWND popup = FindWindowA("#32768", nullptr);
    if (!popup || !IsWindowVisible(popup))
        return;
    shownMenu = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
    EndMenu();
}

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override {
        moduleInstance = GetModuleHandleA(nullptr);
        loadIcons();
        MainWindow::registerClass(moduleInstance);
        window = mainWindow = MainWindow::create(moduleInstance);
        buildTrayMenu();
        for (int id : {7, 9}) {
            auto holder = std::make_unique<Account>(id);
            holder->setHost("127.0.0.1");
            holder->setUser("ann");
            holder->port = 1; // nothing listens there: the check fails at once
            accounts.append(holder);
        }
        first = accounts.at(0);
        second = accounts.at(1);
    }
    void TearDown() override {
        accounts.clear();
        currentAccount = nullptr;
        destroyTrayMenu();
        DestroyWindow(window);
        MSG quit;
        PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    }

    HMENU menuOpenedBy(WPARAM id, LPARAM mouseMessage) {
        shownMenu = nullptr;
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, closeMenu);
        SendMessageA(window, MainWindow::trayCallbackMessage, id, mouseMessage);
        KillTimer(nullptr, timer);
        return shownMenu;
    }

    HWND window = nullptr;
    Account* first = nullptr;
    Account* second = nullptr;
};

TEST_F(MainWindowTest, TrayTimerPowerAndMenuEventsReachTheirAccount) {
    for (WPARAM other : {1024u, 33792u, 40000u, 40006u, 0u, unsigned(MAKEWPARAM(ID_CHECK_NOW, 1))})
        EXPECT_FALSE(MainWindow::onCommand(window, other)) << other;
    // A timer checks its own account only.
    SendMessageA(window, WM_TIMER, 9, 0);
    EXPECT_EQ(currentAccount, second);
    EXPECT_EQ(second->iconState, Account::CheckFailed) << second->status;
    EXPECT_EQ(first->iconState, Account::NeverChecked);
    // "&Check now" acts on the account whose icon was touched last.
    SendMessageA(window, MainWindow::trayCallbackMessage, 7, WM_MOUSEMOVE);
    EXPECT_TRUE(MainWindow::onCommand(window, ID_CHECK_NOW));
    EXPECT_EQ(first->iconState, Account::CheckFailed) << first->status;
    // A right click opens the command menu, a click on the new-mail balloon
    // the account's messages.
    first->buildMenu(false);
    EXPECT_EQ(menuOpenedBy(7, WM_RBUTTONDOWN), trayMenu);
    EXPECT_EQ(menuOpenedBy(7, NIN_BALLOONUSERCLICK), first->menu);
    // After a sleep the accounts that check by themselves are checked soon.
    first->setIconState(Account::NothingNew);
    second->setIconState(Account::NothingNew);
    second->setCheckAutomatically(true);
    MainWindow::resumeDelayMilliseconds = 50;
    SendMessageA(window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    MSG message;
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 3000 &&
                                             second->iconState != Account::CheckFailed;)
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
    EXPECT_EQ(second->iconState, Account::CheckFailed) << second->status;
    EXPECT_EQ(first->iconState, Account::NothingNew);
    // An id no account has chooses none, and the account commands do nothing.
    SendMessageA(window, MainWindow::trayCallbackMessage, 55, WM_LBUTTONDOWN);
    EXPECT_EQ(currentAccount, nullptr);
    for (WPARAM command : {1026u, 33791u, unsigned(ID_CHECK_NOW), unsigned(ID_LAUNCH_CLIENT)})
        EXPECT_TRUE(MainWindow::onCommand(window, command)) << command;
    EXPECT_EQ(first->iconState, Account::NothingNew);
}

TEST_F(MainWindowTest, LaunchStartsTheCommandOrSaysWhyNot) {
    char folder[MAX_PATH] = {};
    GetTempPathA(sizeof folder, folder);
    const std::string marker = std::string(folder) + "pellmor-launched.txt";
    DeleteFileA(marker.c_str());
    std::string caption, text;
    DialogWatcher watcher([&](HWND box) {
        EXPECT_EQ(GetWindow(box, GW_OWNER), window);
        caption = windowText(box);
        text = messageBoxText(box);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    SendMessageA(window, MainWindow::trayCallbackMessage, 7, WM_MOUSEMOVE);
    first->clientCommand = "cmd.exe /c echo launched> \"" + marker + "\"";
    EXPECT_TRUE(MainWindow::onCommand(window, ID_LAUNCH_CLIENT));
    first->clientCommand = "";
    EXPECT_TRUE(MainWindow::onCommand(window, ID_LAUNCH_CLIENT));
    EXPECT_EQ(watcher.seen.size(), 1u);
    EXPECT_EQ(caption, "Failed to launch client");
    EXPECT_EQ(text.rfind("Windows error #", 0), 0u) << text;
    for (int i = 0; i < 100 && GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(50);
    EXPECT_TRUE(DeleteFileA(marker.c_str())) << "the command did not run";
}

// While a dialog of the program is open, "&About" and "&Options..." open
// nothing and bring the open one to the front. The About box opens centred
// on the screen, and Esc closes it.
TEST_F(MainWindowTest, OneDialogAtATime) {
    bool inside = false;
    DialogWatcher watcher([&](HWND about) {
        if (std::exchange(inside, true)) { // a second dialog opened after all: close it, not nest
            PostMessageA(about, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        EXPECT_EQ(openModalDialog(), about);
        RECT screen{}, box{};
        GetWindowRect(GetDesktopWindow(), &screen);
        GetWindowRect(about, &box);
        EXPECT_EQ(box.left, (screen.right - (box.right - box.left)) / 2);
        EXPECT_EQ(box.top, (screen.bottom - (box.bottom - box.top)) / 2);
        SetForegroundWindow(window);
        EXPECT_TRUE(MainWindow::onCommand(window, ID_ABOUT));
        EXPECT_TRUE(MainWindow::onCommand(window, ID_OPTIONS));
        EXPECT_EQ(GetForegroundWindow(), about);
        PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
    });
    EXPECT_TRUE(MainWindow::onCommand(window, ID_ABOUT));
    EXPECT_EQ(watcher.seen.size(), 1u);
    EXPECT_FALSE(watcher.timedOut) << "Esc did not close it";
    EXPECT_EQ(openModalDialog(), nullptr);
}

} // namespace
