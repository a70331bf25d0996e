// The hidden main window as the program creates it, driven by the messages
// the tray, the timers, the power events and the menus send it; the About
// box and the rule of one dialog at a time, met through its commands.
#include "support/DialogWatcher.h"
#include "ui/ModalDialog.h"
#include "ui/WindowFixture.h"
#include "ui/resource.h"

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

class MainWindowTest : public WindowFixture {
protected:
    HMENU menuOpenedBy(WPARAM id, LPARAM mouseMessage) {
        shownMenu = nullptr;
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, closeMenu);
        SendMessageA(window, MainWindow::trayCallbackMessage, id, mouseMessage);
        KillTimer(nullptr, timer);
        return shownMenu;
    }
    // The state an account's check ends in: checks run on a worker thread
    // whose messages the window takes.
    static int settled(const Account* account) {
        MSG message;
        for (const DWORD start = GetTickCount(); account->checking() && GetTickCount() - start < 5000;)
            if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&message);
        return account->iconState;
    }
};

TEST_F(MainWindowTest, TrayTimerPowerAndMenuEventsReachTheirAccount) {
    for (WPARAM other : {1024u, 33792u, 40000u, 40006u, 0u, unsigned(MAKEWPARAM(ID_CHECK_NOW, 1))})
        EXPECT_FALSE(MainWindow::onCommand(window, other)) << other;
    // A timer checks its own account only.
    SendMessageA(window, WM_TIMER, static_cast<WPARAM>(bob->id), 0);
    EXPECT_EQ(currentAccount, bob);
    EXPECT_EQ(settled(bob), Account::CheckFailed) << bob->status;
    EXPECT_EQ(ann->iconState, Account::NeverChecked);
    // "&Check now" acts on the account whose icon was touched last.
    SendMessageA(window, MainWindow::trayCallbackMessage, static_cast<WPARAM>(ann->id),
                 WM_MOUSEMOVE);
    EXPECT_TRUE(MainWindow::onCommand(window, ID_CHECK_NOW));
    EXPECT_EQ(settled(ann), Account::CheckFailed) << ann->status;
    // A right click opens the command menu, a click on the new-mail balloon
    // the account's messages.
    ann->buildMenu(false);
    EXPECT_EQ(menuOpenedBy(static_cast<WPARAM>(ann->id), WM_RBUTTONDOWN), trayMenu);
    EXPECT_EQ(menuOpenedBy(static_cast<WPARAM>(ann->id), NIN_BALLOONUSERCLICK), ann->menu);
    // After a sleep the accounts that check by themselves are checked soon.
    ann->setIconState(Account::NothingNew);
    bob->setIconState(Account::NothingNew);
    bob->setCheckAutomatically(true);
    MainWindow::resumeDelayMilliseconds = 50;
    SendMessageA(window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    MSG message;
    for (const DWORD start = GetTickCount();
         GetTickCount() - start < 3000 && bob->iconState != Account::CheckFailed;)
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
    EXPECT_EQ(bob->iconState, Account::CheckFailed) << bob->status;
    EXPECT_EQ(ann->iconState, Account::NothingNew);
    // An id no account has chooses none, and the account commands do nothing.
    SendMessageA(window, MainWindow::trayCallbackMessage, 0, WM_LBUTTONDOWN);
    EXPECT_EQ(currentAccount, nullptr);
    for (WPARAM command : {1026u, 33791u, unsigned(ID_CHECK_NOW), unsigned(ID_LAUNCH_CLIENT)})
        EXPECT_TRUE(MainWindow::onCommand(window, command)) << command;
    EXPECT_EQ(ann->iconState, Account::NothingNew);
}

TEST_F(MainWindowTest, LaunchStartsTheCommandOrSaysWhyNot) {
    char folder[MAX_PATH] = {};
    GetTempPathA(sizeof folder, folder);
    const std::string marker = std::string(folder) + "pellmor-launched.txt";
    DeleteFileA(marker.c_str());
    DialogWatcher watcher([&](HWND box) {
        EXPECT_EQ(GetWindow(box, GW_OWNER), window);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    SendMessageA(window, MainWindow::trayCallbackMessage, static_cast<WPARAM>(ann->id),
                 WM_MOUSEMOVE);
    ann->clientCommand = "cmd.exe /c echo launched> \"" + marker + "\"";
    EXPECT_TRUE(MainWindow::onCommand(window, ID_LAUNCH_CLIENT));
    ann->clientCommand = "";
    EXPECT_TRUE(MainWindow::onCommand(window, ID_LAUNCH_CLIENT));
    EXPECT_EQ(watcher.seen.size(), 1u) << "one box, for the empty command";
    for (int i = 0; i < 100 && GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(50);
    EXPECT_TRUE(DeleteFileA(marker.c_str())) << "the command did not run";
}

// While a dialog of the program is open, "&About" and "&Options..." open
// nothing and bring the open one to the front; Esc closes the About box.
TEST_F(MainWindowTest, OneDialogAtATime) {
    bool inside = false;
    DialogWatcher watcher([&](HWND about) {
        if (std::exchange(inside, true)) { // a second dialog opened after all: close it, not nest
            PostMessageA(about, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        EXPECT_EQ(openModalDialog(), about);
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
