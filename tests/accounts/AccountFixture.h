#pragma once

#include "accounts/Account.h"
#include "support/IconImage.h"
#include "support/ShellRecorder.h"
#include "support/TestWindow.h"

#include <gtest/gtest.h>

// What every account test stands on: a hidden window as the main window,
// the twelve icons loaded from the test program's resources, the shell
// calls recorded (and passed on to Wine's tray), and a clock that reads
// 09:05:59. The timer factor and the clock are put back afterwards.
class AccountFixture : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    static char* fixedClock(char* buffer);

    // The pixels the account's tray icon must show for `colour` and
    // `state`, worked out from the loaded source images by the composition
    // rule.
    static IconImage expectedIcon(unsigned colour, int state);

    TestWindow window;
    ShellRecorder shell;
};
