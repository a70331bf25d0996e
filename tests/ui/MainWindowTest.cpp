// The hidden main window as the program creates it, driven by the messages
// the timers, the power events and the commands send it; the rule of one
// dialog at a time, met through its commands.
#include "support/DialogWatcher.h"
#include "ui/WindowFixture.h"
#include "ui/resource.h"

#include <string>

namespace {

using MainWindowTest = WindowFixture;

// Commands outside the ranges of the program's menus are left to the system;
// a timer and the wake-up check the accounts they are for.
TEST_F(MainWindowTest, CommandsTimersAndTheWakeUpReachTheirAccounts) {
    for (WPARAM other : {1024u, 33792u, 40000u, 40006u, 0u, unsigned(MAKEWPARAM(ID_CHECK_NOW, 1))})
        EXPECT_FALSE(MainWindow::onCommand(mainWindow, other)) << other;
    // Checks run on a worker thread whose messages the window takes.
    const auto failedCheck = [&](const Account* account) {
        return trayKeeper.pumpUntil([&] { return account->iconState == Account::CheckFailed; },
                                    5000);
    };
    // A timer checks its own account only.
    SendMessageA(mainWindow, WM_TIMER, static_cast<WPARAM>(bob->id), 0);
    EXPECT_EQ(currentAccount, bob);
    EXPECT_TRUE(failedCheck(bob)) << bob->status;
    // After a sleep the accounts that check by themselves are checked soon.
    bob->setIconState(Account::NothingNew);
    bob->setCheckAutomatically(true);
    MainWindow::resumeDelayMilliseconds = 50;
    SendMessageA(mainWindow, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    EXPECT_TRUE(failedCheck(bob)) << bob->status;
    EXPECT_EQ(ann->iconState, Account::NeverChecked);
}

// "&Launch client" runs the current account's command; an empty one says
// why nothing starts.
TEST_F(MainWindowTest, LaunchStartsTheCommandOrSaysWhyNot) {
    char folder[MAX_PATH] = {};
    GetTempPathA(sizeof folder, folder);
    const std::string marker = std::string(folder) + "pellmor-launched.txt";
    DeleteFileA(marker.c_str());
    std::string caption;
    DialogWatcher watcher([&](HWND box) {
        caption = windowText(box);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    currentAccount = ann;
    ann->clientCommand = "cmd.exe /c echo launched> \"" + marker + "\"";
    EXPECT_TRUE(MainWindow::onCommand(mainWindow, ID_LAUNCH_CLIENT));
    ann->clientCommand = "";
    EXPECT_TRUE(MainWindow::onCommand(mainWindow, ID_LAUNCH_CLIENT));
    EXPECT_EQ(watcher.seen.size(), 1u) << "one box, for the empty command";
    EXPECT_EQ(caption, "Failed to launch client");
    for (int i = 0; i < 100 && GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(50);
    EXPECT_TRUE(DeleteFileA(marker.c_str())) << "the command did not run";
}

// A dialog opens in the middle of the screen (it has no owner to centre
// on). While it is open, "&About" and "&Options..." open nothing more and
// bring the open one to the front.
TEST_F(MainWindowTest, OneDialogAtATime) {
    int opened = 0;
    DialogWatcher watcher([&](HWND dialog) {
        if (++opened == 1) {
            RECT box{}, screen{};
            GetWindowRect(dialog, &box);
            GetWindowRect(GetDesktopWindow(), &screen);
            EXPECT_NEAR(box.left + box.right, screen.right, 1);
            EXPECT_NEAR(box.top + box.bottom, screen.bottom, 1);
            SetForegroundWindow(mainWindow);
            EXPECT_TRUE(MainWindow::onCommand(mainWindow, ID_ABOUT));
            EXPECT_TRUE(MainWindow::onCommand(mainWindow, ID_OPTIONS));
            EXPECT_EQ(GetForegroundWindow(), dialog);
        }
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_TRUE(MainWindow::onCommand(mainWindow, ID_ABOUT));
    EXPECT_EQ(opened, 1);
}

} // namespace
