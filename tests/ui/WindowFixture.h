#pragma once

#include "accounts/Account.h"
#include "accounts/AccountList.h"
#include "accounts/ProfileLine.h"
#include "support/TestWindow.h"
#include "ui/Icons.h"
#include "ui/MainWindow.h"
#include "ui/ProgramHandles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

// What the tests of the main window and the options dialog stand on: the
// program's hidden main window, and two live accounts with icons, "ann" and
// "bob", also stored as the profiles. Nothing listens on their port 1, so
// that a check fails at once.
class WindowFixture : public testing::Test {
protected:
    void SetUp() override {
        loadIcons();
        MainWindow::registerClass(moduleInstance);
        mainWindow = MainWindow::create(moduleInstance);
        for (const char* user : {"ann", "bob"}) {
            auto holder = std::make_unique<Account>(accounts.randomId());
            applyProfileLine(*holder, "127.0.0.1," + std::string(user) + ",,1,0,10,0,,0,1d");
            accounts.append(holder);
        }
        accounts.saveProfiles();
        ann = accounts.at(0);
        bob = accounts.at(1);
    }
    void TearDown() override {
        accounts.clear();
        accounts.saveProfiles();
        currentAccount = nullptr;
        DestroyWindow(mainWindow);
        MSG quit;
        PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    }

    TestWindow trayKeeper; // its icon spares each case Wine's removal of the last one
    Account* ann = nullptr;
    Account* bob = nullptr;
};
