// The account's check timer on the real timer service: when one runs, that
// its messages reach the main window's loop with the account's id, when a
// change restarts it, and that it ends with the account. A "minute" is made
// a few milliseconds long through the account's timer factor.
#include "accounts/Account.h"

#include "accounts/AccountFixture.h"
#include "ui/ProgramHandles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <memory>

namespace {

using AccountTimerTest = AccountFixture;

// Whether the main window has a timer under `id`; the probe stops it.
bool timerRan(UINT_PTR id) {
    return KillTimer(mainWindow, id) != FALSE;
}

TEST_F(AccountTimerTest, RunsOnlyWithAutomaticChecksAndANonZeroInterval) {
    Account account(31);
    EXPECT_EQ(account.timerId, 0u) << "a new account has no timer";

    account.setInterval(10);
    EXPECT_EQ(account.timerId, 0u) << "automatic checks are off";
    EXPECT_FALSE(timerRan(31));

    account.setInterval(0);
    account.setCheckAutomatically(true);
    EXPECT_EQ(account.timerId, 0u) << "interval 0";
    EXPECT_FALSE(timerRan(31));

    account.setInterval(10);
    EXPECT_NE(account.timerId, 0u);
    account.setCheckAutomatically(false);
    EXPECT_EQ(account.timerId, 0u);
    EXPECT_FALSE(timerRan(31)) << "turning automatic checks off stops the timer";

    account.setCheckAutomatically(true);
    EXPECT_NE(account.timerId, 0u);
    EXPECT_TRUE(timerRan(31)) << "a real timer of the main window, under the account's id";
}

// The account's timer needs the main window: a timer without one would
// carry an id of the system's choosing, which no account could be found by.
TEST_F(AccountTimerTest, NoMainWindowNoTimer) {
    Account account(32);
    mainWindow = nullptr;
    account.setCheckAutomatically(true);
    EXPECT_EQ(account.timerId, 0u);
    mainWindow = window.handle;
}

TEST_F(AccountTimerTest, TimerMessagesArriveThroughTheLoopWithTheAccountsId) {
    Account::timerMillisecondsPerMinute = 10;
    Account account(33);
    account.setInterval(5);
    account.setCheckAutomatically(true);
    EXPECT_TRUE(window.pumpUntil([&] { return window.count(WM_TIMER, 33) >= 2; }, 5000))
        << window.count(WM_TIMER, 33) << " timer messages";
}

// The period runs from the last change, not from the timer's start.
TEST_F(AccountTimerTest, ChangingTheIntervalRestartsThePeriod) {
    Account::timerMillisecondsPerMinute = 20;
    Account account(34);
    account.setCheckAutomatically(true);  // 10 "minutes": 200 ms
    window.pumpFor(120);
    ASSERT_EQ(window.count(WM_TIMER, 34), 0) << "the machine is too slow for this test's margins";

    const DWORD changed = GetTickCount();
    account.setInterval(15);  // 300 ms from now
    ASSERT_TRUE(window.pumpUntil([&] { return window.count(WM_TIMER, 34) >= 1; }, 5000));
    const DWORD first = window.events.front().tick;
    // GetTickCount advances in steps of up to 16 ms.
    EXPECT_GE(first - changed, 300u - 20u) << "the first timer came " << first - changed << " ms after the change";
}

TEST_F(AccountTimerTest, DestroyingTheAccountKillsItsTimer) {
    Account::timerMillisecondsPerMinute = 10;
    auto account = std::make_unique<Account>(35);
    account->setInterval(3);
    account->setCheckAutomatically(true);
    ASSERT_TRUE(window.pumpUntil([&] { return window.count(WM_TIMER, 35) >= 1; }, 5000));

    account.reset();
    window.pumpFor(30);  // a message already queued may still arrive
    const int before = window.count(WM_TIMER, 35);
    window.pumpFor(300);
    EXPECT_EQ(window.count(WM_TIMER, 35), before) << "timer messages after the account was destroyed";
    EXPECT_FALSE(timerRan(35));
}

// Decision: an interval is at most 35791 minutes, the longest whole number
// of minutes the timer service keeps (USER_TIMER_MAXIMUM milliseconds, about
// 24.9 days; Windows shortens longer periods to that, so 71582 minutes,
// which still fit 32 bits, would not be kept either). setInterval stores the
// clamped value, so the options and the profile show the period that runs.
TEST_F(AccountTimerTest, IntervalsLongerThanTheTimerKeepsAreClamped) {
    Account account(36);
    account.setCheckAutomatically(true);
    account.setInterval(35791);
    EXPECT_EQ(account.intervalMinutes, 35791u);
    account.setInterval(35792);
    EXPECT_EQ(account.intervalMinutes, 35791u);
    account.setInterval(71583);  // the first that overflows 32-bit milliseconds
    EXPECT_EQ(account.intervalMinutes, 35791u);
    account.setInterval(UINT_MAX);
    EXPECT_EQ(account.intervalMinutes, 35791u);
    EXPECT_NE(account.timerId, 0u);

    // 2^27 minutes are 2^32 * 1875 milliseconds: computed in 32 bits the
    // period would be 0, and the account would be checked 100 times a
    // second. Also when the field is written directly.
    account.setInterval(1u << 27);
    EXPECT_EQ(account.intervalMinutes, 35791u);
    window.pumpFor(200);
    account.intervalMinutes = 1u << 27;
    account.restartTimer();
    EXPECT_NE(account.timerId, 0u);
    window.pumpFor(200);
    EXPECT_EQ(window.count(WM_TIMER, 36), 0);
}

} // namespace
