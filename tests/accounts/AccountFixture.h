#pragma once

#include "accounts/Account.h"
#include "accounts/AccountList.h"
#include "accounts/ProfileLine.h"
#include "accounts/TimeOfDay.h"
#include "support/ShellRecorder.h"
#include "support/TestWindow.h"
#include "ui/Icons.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

// What the account tests stand on: a hidden window as the main window, the
// icons from the test program's resources, the shell calls recorded (and
// passed on to Wine's tray), and a clock that reads 09:05:59.
class AccountFixture : public testing::Test {
protected:
    AccountFixture() {
        loadIcons();
        timeOfDay = [](char* buffer) { return std::strcpy(buffer, "09:05:59"); };
    }
    ~AccountFixture() override {
        timeOfDay = runtimeTimeOfDay;
        Account::timerMillisecondsPerMinute = 60000;
    }

    // Appends to `list` an account with the settings of a profile line.
    static Account& add(AccountList& list, const std::string& line, int id = 0) {
        auto account = std::make_unique<Account>(id ? id : list.randomId());
        applyProfileLine(*account, line);
        list.append(account);
        return *list.at(list.size() - 1);
    }

    TestWindow window;
    ShellRecorder shell;
};
