// The account's fields, its icons in every colour and state, its title,
// status and tooltip, and what it says to the shell when its icon is shown,
// hidden and destroyed.
#include "accounts/Account.h"

#include "accounts/AccountFixture.h"
#include "accounts/TimeOfDay.h"
#include "ui/Icons.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <regex>
#include <string>

namespace {

using AccountTest = AccountFixture;

TEST_F(AccountTest, NewAccountHasTheDefaultsAndMakesNoShellCall) {
    Account account(42);
    EXPECT_EQ(account.title, "");
    EXPECT_EQ(account.host, "");
    EXPECT_EQ(account.user, "");
    EXPECT_EQ(account.password, "");
    EXPECT_EQ(account.clientCommand, "");
    EXPECT_FALSE(account.showIcon);
    EXPECT_FALSE(account.checkAutomatically);
    EXPECT_FALSE(account.deleteImmediately);
    EXPECT_EQ(account.iconColour, 0u);
    EXPECT_EQ(account.intervalMinutes, 10u);
    EXPECT_EQ(account.port, 110u);
    EXPECT_EQ(account.id, 42);
    EXPECT_FALSE(account.client.hasSocket());
    EXPECT_EQ(account.messages.count(), 0);
    EXPECT_EQ(account.status, "mail unchecked");
    EXPECT_EQ(account.baseIcon.kind, IconHolder::Composed);
    EXPECT_TRUE(account.baseIcon.owned);
    EXPECT_EQ(account.stateIcon.kind, IconHolder::Composed);
    EXPECT_TRUE(account.stateIcon.owned);
    EXPECT_EQ(account.trayIcon, nullptr);
    EXPECT_EQ(account.timerId, 0u);
    EXPECT_EQ(account.iconState, 0);
    EXPECT_EQ(account.newCount, 0u);
    EXPECT_EQ(account.messageCount, 0u);
    EXPECT_EQ(account.menu, nullptr);
    EXPECT_TRUE(shell.calls.empty());

    IconImage shown;
    ASSERT_TRUE(readIconImage(account.stateIcon.icon, shown));
    EXPECT_EQ(differences(shown, expectedIcon(0, 0)), "") << "blue stamp and question mark";
}

TEST_F(AccountTest, IconsFollowEveryColourAndState) {
    Account account(1);
    for (unsigned colour = 0; colour < colourCount; ++colour) {
        account.setIconColour(colour);
        for (int state = 0; state <= 5; ++state) {
            SCOPED_TRACE("colour " + std::to_string(colour) + ", state " + std::to_string(state));
            account.setIconState(state);
            IconImage shown, base;
            ASSERT_TRUE(readIconImage(account.stateIcon.icon, shown));
            EXPECT_EQ(differences(shown, expectedIcon(colour, state)), "");
            ASSERT_TRUE(readIconImage(account.baseIcon.icon, base));
            EXPECT_EQ(differences(base, expectedIcon(colour, Account::NothingNew)), "");
            if (state == Account::NothingNew) {
                // The envelope with its stamp alone, shared, not copied.
                EXPECT_EQ(account.stateIcon.icon, account.baseIcon.icon);
                EXPECT_FALSE(account.stateIcon.owned);
            } else {
                EXPECT_TRUE(account.stateIcon.owned);
            }
        }
    }
}

// States outside 0 to 5 are never set by the program; one that arrives all
// the same shows the envelope alone instead of reading past the overlays.
TEST_F(AccountTest, AnUndefinedStateShowsTheEnvelopeAlone) {
    Account account(1);
    for (int state : {6, -1, 1000}) {
        account.setIconState(state);
        EXPECT_EQ(account.iconState, state);
        EXPECT_EQ(account.stateIcon.icon, account.baseIcon.icon);
    }
}

TEST_F(AccountTest, ChangingTheColourDuringACheckKeepsTheHourglass) {
    Account account(5);
    account.setShowIcon(true);
    account.setIconState(Account::Checking);
    shell.calls.clear();

    account.setIconColour(4);
    EXPECT_EQ(account.iconColour, 4u);
    IconImage shown;
    ASSERT_TRUE(readIconImage(account.stateIcon.icon, shown));
    EXPECT_EQ(differences(shown, expectedIcon(4, Account::Checking)), "") << "red stamp and hourglass";
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shellMessageName(shell.calls[0].message), "modify");
    EXPECT_EQ(shell.calls[0].data.hIcon, account.stateIcon.icon);
}

TEST_F(AccountTest, ColoursOutsideTheSixAreBlue) {
    Account account(1);
    for (unsigned colour : {6u, 7u, static_cast<unsigned>(-1)}) {
        account.setIconColour(5);
        EXPECT_EQ(account.iconColour, 5u);
        account.setIconColour(colour);
        EXPECT_EQ(account.iconColour, 0u) << "colour " << colour;
    }
    IconImage shown;
    ASSERT_TRUE(readIconImage(account.stateIcon.icon, shown));
    EXPECT_EQ(differences(shown, expectedIcon(0, 0)), "");
}

TEST_F(AccountTest, TitleIsUserAtHostAndTheTooltipFollowsAtOnce) {
    Account account(11);
    account.setShowIcon(true);
    EXPECT_EQ(shell.calls.back().tip(), "mail unchecked") << "an empty title shows the status alone";

    account.setUser("user1");
    EXPECT_EQ(account.title, "user1");
    EXPECT_EQ(shell.calls.back().tip(), "user1 - mail unchecked");
    account.setHost("pop.example.org");
    EXPECT_EQ(account.title, "user1@pop.example.org");
    EXPECT_EQ(shell.calls.back().tip(), "user1@pop.example.org - mail unchecked");
    account.setHost("");
    EXPECT_EQ(account.title, "user1");
    account.setUser("");
    account.setHost("pop.example.org");
    EXPECT_EQ(account.title, "@pop.example.org");
}

TEST_F(AccountTest, StatusEndsInTheHoursAndMinutes) {
    Account account(12);
    account.setShowIcon(true);
    account.setStatus("connecting...");
    EXPECT_EQ(account.status, "connecting... (09:05)");
    EXPECT_EQ(shell.calls.back().tip(), "connecting... (09:05)");

    account.setUser("me");
    account.setHost("host");
    account.setStatus("3 messages - 1 new");
    EXPECT_EQ(shell.calls.back().tip(), "me@host - 3 messages - 1 new (09:05)");

    // The run-time's own clock gives the same shape.
    timeOfDay = runtimeTimeOfDay;
    account.setStatus("disconnecting...");
    EXPECT_TRUE(std::regex_match(account.status, std::regex(R"(disconnecting\.\.\. \([0-2][0-9]:[0-5][0-9]\))")))
        << account.status;
}

TEST_F(AccountTest, ShowingAddsBareThenSendsMessageIconAndTip) {
    Account account(17);
    account.setUser("user1");
    account.setHost("10.1.2.3");
    ASSERT_TRUE(shell.calls.empty()) << "nothing is said to the shell while the icon is hidden";

    account.setShowIcon(true);
    EXPECT_TRUE(account.showIcon);
    ASSERT_NE(account.trayIcon, nullptr);
    const auto calls = shell.callsFor(17);
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(shellMessageName(calls[0].message), "add");
    EXPECT_EQ(calls[0].data.uFlags, 0u);
    EXPECT_EQ(calls[0].data.hIcon, nullptr);
    EXPECT_EQ(calls[0].tip(), "");
    EXPECT_EQ(calls[0].data.hWnd, window.handle);
    EXPECT_EQ(shellMessageName(calls[1].message), "modify");
    EXPECT_EQ(calls[1].data.uFlags, static_cast<UINT>(NIF_MESSAGE));
    EXPECT_EQ(calls[1].data.uCallbackMessage, static_cast<UINT>(WM_USER));
    EXPECT_EQ(calls[2].data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON));
    EXPECT_EQ(calls[2].data.hIcon, account.stateIcon.icon);
    EXPECT_EQ(calls[3].data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(calls[3].tip(), "user1@10.1.2.3 - mail unchecked");
    for (const auto& call : calls)
        EXPECT_TRUE(call.result) << shellMessageName(call.message) << " refused by Wine's shell";

    // Shown already: no second add, nothing at all.
    account.setShowIcon(true);
    EXPECT_EQ(shell.callsFor(17).size(), 4u);
}

TEST_F(AccountTest, HidingAndShowingAgainSendsTheCurrentIconAndStatusAfresh) {
    Account account(18);
    account.setShowIcon(true);
    shell.calls.clear();

    account.setShowIcon(false);
    EXPECT_FALSE(account.showIcon);
    EXPECT_EQ(account.trayIcon, nullptr);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shellMessageName(shell.calls[0].message), "delete");
    account.setShowIcon(false);
    EXPECT_EQ(shell.calls.size(), 1u) << "hiding a hidden icon says nothing";

    // Changes while hidden reach only the account's own icons.
    account.setIconState(Account::NewMail);
    account.setStatus("1 message - 1 new");
    EXPECT_EQ(shell.calls.size(), 1u);

    account.setShowIcon(true);
    ASSERT_EQ(shell.calls.size(), 5u);
    EXPECT_EQ(shellMessageName(shell.calls[1].message), "add");
    EXPECT_EQ(shell.calls[3].data.hIcon, account.stateIcon.icon);
    EXPECT_EQ(shell.calls[4].tip(), "1 message - 1 new (09:05)");
    IconImage shown;
    ASSERT_TRUE(readIconImage(shell.calls[4].data.hIcon, shown));
    EXPECT_EQ(differences(shown, expectedIcon(0, Account::NewMail)), "");
}

TEST_F(AccountTest, DestroyingReleasesEverythingTheAccountOwns) {
    auto account = std::make_unique<Account>(21);
    account->setShowIcon(true);
    account->setCheckAutomatically(true);
    ASSERT_NE(account->timerId, 0u);
    account->menu = CreatePopupMenu();
    HMENU submenu = CreatePopupMenu();
    AppendMenuA(account->menu, MF_POPUP, reinterpret_cast<UINT_PTR>(submenu), "sub");
    const HMENU menu = account->menu;
    const HICON base = account->baseIcon.icon, state = account->stateIcon.icon;
    shell.calls.clear();

    account.reset();
    EXPECT_FALSE(IsMenu(menu));
    EXPECT_FALSE(IsMenu(submenu));
    EXPECT_FALSE(iconAlive(base));
    EXPECT_FALSE(iconAlive(state));
    EXPECT_FALSE(KillTimer(window.handle, 21)) << "the timer is already gone";
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shellMessageName(shell.calls[0].message), "delete");
    EXPECT_EQ(shell.calls[0].data.uID, 21u);

    // Without a tray icon there is nothing to say to the shell.
    auto hidden = std::make_unique<Account>(22);
    hidden.reset();
    EXPECT_EQ(shell.calls.size(), 1u);
}

} // namespace
