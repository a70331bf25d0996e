// The mail check driven through accounts against the scripted POP3 server:
// what the user sees in the tooltip and the icon while and after a check.
#include "accounts/Account.h"
#include "accounts/AccountList.h"

#include "accounts/AccountFixture.h"
#include "servers/Pop3Server.h"
#include "servers/SampleMailbox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

class MailCheckTest : public AccountFixture {
protected:
    // An account of the scripted server with its icon shown, so that every
    // status change reaches the shell as a tooltip.
    std::unique_ptr<Account> accountFor(const Pop3Server& server, int id = 7) {
        auto account = std::make_unique<Account>(id);
        account->setHost("127.0.0.1");
        account->setUser(server.user());
        account->password = server.password();
        account->port = static_cast<unsigned>(server.port());
        account->setShowIcon(true);
        return account;
    }

    // The tooltips the shell was given for the account, from the first
    // that carried `from` on.
    Lines tipsSince(const Account& account, const std::string& from) {
        Lines tips;
        for (const ShellRecorder::Call& call : shell.callsFor(static_cast<UINT>(account.id))) {
            if (!(call.data.uFlags & NIF_TIP))
                continue;
            if (tips.empty() && call.tip().find(from) == std::string::npos)
                continue;
            if (tips.empty() || tips.back() != call.tip())
                tips.push_back(call.tip());
        }
        return tips;
    }
};

TEST_F(MailCheckTest, SuccessfulCheckShowsEachStepThenTheSummary) {
    Pop3Server server(sampleMailbox(2));
    auto account = accountFor(server);
    account->check();
    EXPECT_EQ(tipsSince(*account, "connecting"),
              (Lines{"alice@127.0.0.1 - connecting... (09:05)", "alice@127.0.0.1 - receiving headers... (09:05)",
                     "alice@127.0.0.1 - disconnecting... (09:05)", "alice@127.0.0.1 - 2 messages - 2 new (09:05)"}));
    EXPECT_EQ(account->iconState, Account::NewMail);
    EXPECT_EQ(account->newCount, 2u);
    EXPECT_EQ(account->messageCount, 2u);
    EXPECT_NE(account->menu, nullptr);
}

TEST_F(MailCheckTest, TheIconChangesBeforeTheFirstStatusOfTheCheck) {
    Pop3Server server(sampleMailbox(1));
    auto account = accountFor(server);
    const std::vector<ShellRecorder::Call> before = shell.callsFor(static_cast<UINT>(account->id));
    ASSERT_FALSE(before.empty());
    const HICON unchecked = before.back().data.hIcon;
    account->check();
    const std::vector<ShellRecorder::Call> calls = shell.callsFor(static_cast<UINT>(account->id));
    // The first call of the check puts up another icon (the hourglass) while
    // the tip still shows the old status; "connecting..." follows it.
    ASSERT_GT(calls.size(), before.size() + 1);
    const ShellRecorder::Call& first = calls[before.size()];
    const ShellRecorder::Call& second = calls[before.size() + 1];
    EXPECT_NE(first.data.hIcon, unchecked);
    EXPECT_EQ(first.tip(), "alice@127.0.0.1 - mail unchecked");
    EXPECT_EQ(second.tip(), "alice@127.0.0.1 - connecting... (09:05)");
    EXPECT_EQ(second.data.hIcon, first.data.hIcon);
}

TEST_F(MailCheckTest, FailuresShowTheirShortTextAndIcon) {
    {
        SCOPED_TRACE("password refused");
        Pop3Server server(sampleMailbox(1));
        server.refuse("pass", "-ERR bad password");
        auto account = accountFor(server);
        account->check();
        EXPECT_EQ(account->iconState, Account::AuthorizationFailed);
        EXPECT_EQ(account->status, "authorization failed (09:05)");
    }
    {
        SCOPED_TRACE("unresolvable host");
        auto account = std::make_unique<Account>(8);
        account->setHost("pop.no-such-host.invalid");
        account->check();
        EXPECT_EQ(account->iconState, Account::CheckFailed);
        EXPECT_EQ(account->status, "host name lookup failed (09:05)");
    }
    {
        SCOPED_TRACE("refused connection");
        auto account = std::make_unique<Account>(9);
        account->setHost("127.0.0.1");
        account->port = static_cast<unsigned>(closedLoopbackPort());
        account->check();
        EXPECT_EQ(account->iconState, Account::CheckFailed);
        EXPECT_EQ(account->status, "connection failed (09:05)");
    }
}

TEST_F(MailCheckTest, NewMessagesAddUpUntilTheMenuIsSeen) {
    Pop3Server server(sampleMailbox(2));
    auto account = accountFor(server);
    account->check();
    server.add(sampleMessage(3));
    account->check();
    EXPECT_EQ(account->newCount, 3u);
    EXPECT_EQ(account->status, "3 messages - 3 new (09:05)");

    // Nothing new on the server: the count stays, the summary is set again.
    account->check();
    EXPECT_EQ(account->newCount, 3u);
    EXPECT_EQ(account->status, "3 messages - 3 new (09:05)");

    account->menuShown();
    EXPECT_EQ(account->newCount, 0u);
    account->check();
    EXPECT_EQ(account->status, "3 messages (09:05)");
    EXPECT_EQ(account->iconState, Account::NothingNew);
}

TEST_F(MailCheckTest, FailedCheckAfterAGoodOneKeepsTheMenu) {
    Pop3Server server(sampleMailbox(2));
    auto account = accountFor(server);
    account->check();
    const HMENU menu = account->menu;
    ASSERT_NE(menu, nullptr);
    const int items = GetMenuItemCount(menu);

    server.refuse("stat", "-ERR maildrop locked");
    account->check();
    EXPECT_EQ(account->iconState, Account::CheckFailed);
    EXPECT_EQ(account->status, "status retrieval failed (09:05)");
    EXPECT_EQ(account->messageCount, 0u);
    EXPECT_EQ(account->messages.count(), 2);
    EXPECT_EQ(account->menu, menu) << "the menu is not rebuilt";
    EXPECT_EQ(GetMenuItemCount(account->menu), items);
}

TEST_F(MailCheckTest, AccountWithoutHostIsNotChecked) {
    AccountList list;
    auto unset = std::make_unique<Account>(list.randomId());
    Account& idle = *unset;
    list.append(unset);
    Pop3Server server(sampleMailbox(1));
    auto ready = accountFor(server, list.randomId());
    Account& checked = *ready;
    list.append(ready);

    list.checkAll();
    EXPECT_EQ(idle.status, "mail unchecked");
    EXPECT_EQ(idle.iconState, Account::NeverChecked);
    EXPECT_EQ(checked.status, "1 message - 1 new (09:05)");
    EXPECT_EQ(server.sessions(), 1);
}

} // namespace
