// The mail check against the scripted POP3 server, as the user follows it in
// the tooltip and the icon.
#include "accounts/AccountFixture.h"
#include "servers/Pop3Server.h"
#include "support/DialogWatcher.h"
#include "support/FinishCheck.h"

#include <commctrl.h>

#include <vector>

namespace {

Pop3Message message(const char* uid) {
    return Pop3Message(uid, "Subject: hello\n\nbody");
}

// An account of the server with its icon shown, so that every change
// reaches the shell.
class MailCheckTest : public AccountFixture {
protected:
    MailCheckTest() {
        applyProfileLine(account, "127.0.0.1," + server.user() + ",,1,0,10,0,,0," +
                                      std::to_string(server.port()) + "d");
        account.password = server.password();
    }

    Pop3Server server{Pop3Mailbox{message("a1"), message("b2")}};
    Account account{7};
};

// A check shows the hourglass first, then each step in the tip. New messages
// add up until the menu is seen; a failure shows its state and short text,
// and keeps the menu and the messages of the last good check. A profile
// without a server is not checked.
TEST_F(MailCheckTest, NewMessagesAddUpAndAFailureKeepsTheLastGoodCheck) {
    const std::size_t before = shell.calls.size();
    ASSERT_TRUE(checkNow(account));
    ASSERT_GT(shell.calls.size(), before);
    EXPECT_NE(shell.calls[before].data.hIcon, shell.calls[before - 1].data.hIcon);
    std::vector<std::string> tips;
    for (std::size_t i = before; i < shell.calls.size(); ++i) {
        const std::string tip = shell.calls[i].tip().substr(account.title.size() + 3);
        if (tips.empty() || tips.back() != tip)
            tips.push_back(tip);
    }
    EXPECT_EQ(tips, (std::vector<std::string>{
                        "mail unchecked", "connecting... (09:05)", "receiving headers... (09:05)",
                        "disconnecting... (09:05)", "2 messages - 2 new (09:05)"}));
    server.add(message("c3"));
    ASSERT_TRUE(checkNow(account));
    ASSERT_TRUE(checkNow(account));
    EXPECT_EQ(account.status, "3 messages - 3 new (09:05)");
    account.menuShown();
    ASSERT_TRUE(checkNow(account));
    EXPECT_EQ(account.status, "3 messages (09:05)");
    EXPECT_EQ(account.iconState, Account::NothingNew);

    const HMENU menu = account.menu;
    const int items = GetMenuItemCount(menu);
    const std::tuple<const char*, int, const char*> failures[] = {
        {"stat", Account::CheckFailed, "status retrieval failed (09:05)"},
        {"pass", Account::AuthorizationFailed, "authorization failed (09:05)"},
    };
    for (const auto& [command, state, status] : failures) {
        server.refuse(command);
        ASSERT_TRUE(checkNow(account));
        EXPECT_EQ(account.iconState, state);
        EXPECT_EQ(account.status, status);
        EXPECT_EQ(account.messageCount, 0u);
        EXPECT_EQ(account.messages.count(), 3);
        EXPECT_EQ(account.menu, menu);
        EXPECT_EQ(GetMenuItemCount(account.menu), items);
    }
    account.setHost("");
    account.check();
    EXPECT_FALSE(account.checking());
}

// The balloon Wine's tray shows (a tooltip of the balloon style), or null.
HWND shownBalloon() {
    for (HWND tip = nullptr; (tip = FindWindowExA(nullptr, tip, "tooltips_class32", nullptr));)
        if (IsWindowVisible(tip) && (GetWindowLongPtrA(tip, GWL_STYLE) & TTS_BALLOON))
            return tip;
    return nullptr;
}

// One balloon for a check that brings new mail: how many, and the newest
// one's sender and subject. None for a check that brings nothing, nor for
// an account's first check that finds more than 20: that is old mail.
TEST_F(MailCheckTest, ABalloonTellsOfNewMailOncePerCheck) {
    const auto balloonShows = [&](DWORD milliseconds) {
        return window.pumpUntil([] { return shownBalloon() != nullptr; }, milliseconds);
    };
    server.add(Pop3Message("c3", "From: Ann <ann@example.org>\nSubject: lunch?\n\nbody"));
    ASSERT_TRUE(checkNow(account));
    ASSERT_TRUE(balloonShows(6000));
    EXPECT_EQ(windowText(shownBalloon()), "3 new messages\nAnn <ann@example.org>\nlunch?");

    // An empty balloon takes the shown one away, as for any program.
    account.trayIcon->showBalloon(L"", L"");
    ASSERT_TRUE(window.pumpUntil([] { return !shownBalloon(); }, 3000));
    ASSERT_TRUE(checkNow(account));
    for (int n = 0; n < 21; ++n)
        server.add(message(std::to_string(n).c_str()));
    Account fresh(8);
    applyProfileLine(fresh, formatProfileLine(account));
    ASSERT_TRUE(checkNow(fresh));
    EXPECT_FALSE(balloonShows(3000));
}

// A check works on a copy while the window goes on: a delete mark made
// meanwhile survives the hand-over and reaches the right message at the next
// check; a second start meanwhile (a timer, "Check now") adds no session.
// Threads fail rarely, so the round runs many times.
TEST_F(MailCheckTest, TheWindowKeepsItsMeaningWhileAWorkerChecks) {
    ASSERT_TRUE(checkNow(account));
    for (int round = 0; round < 20; ++round) {
        const std::string uid = "n" + std::to_string(round);
        server.add(message(uid.c_str()));
        const int sessions = server.sessions();
        account.check();
        account.check();
        POP3::Message* marked = account.messages.findByUid("b2");
        if (round == 0)
            marked->flags = POP3::Message::Deleted;
        ASSERT_TRUE(checkNow(account));
        ASSERT_EQ(server.sessions(), sessions + 1) << round;
        ASSERT_NE(account.messages.findByUid(uid), nullptr) << round;
        if (round == 0) {
            ASSERT_EQ(account.messages.findByUid("b2"), marked);
            EXPECT_EQ(marked->flags, POP3::Message::Deleted);
            server.takeTranscript();
        } else if (round == 1) {
            std::vector<std::string> sent = server.takeTranscript();
            std::erase_if(sent, [](const std::string& line) { return !line.starts_with("dele"); });
            EXPECT_EQ(sent, std::vector<std::string>{"dele 2"});
            EXPECT_EQ(account.messages.findByUid("b2"), nullptr);
        }
    }
    EXPECT_EQ(account.messageCount, 21u);
}

// An account removed while its check waits for a server that never answers
// goes at once, and its check's late messages find nobody.
TEST_F(MailCheckTest, RemovingACheckingAccountEndsItsCheckAtOnce) {
    server.fault(Pop3Server::greeting, "", Pop3Server::Stall);
    AccountList list;
    for (int round = 0; round < 10; ++round) {
        auto added = std::make_unique<Account>(2);
        applyProfileLine(*added, formatProfileLine(account));
        list.append(added);
        list.withId(2)->check();
        Sleep(round * 10);
        const DWORD start = GetTickCount();
        list.erase(list.begin());
        EXPECT_LT(GetTickCount() - start, 2000u) << round;
        MSG posted;
        while (PeekMessageA(&posted, nullptr, MainWindow::checkProgressMessage, MainWindow::checkDoneMessage,
                            PM_REMOVE))
            EXPECT_EQ(list.withId(static_cast<int>(posted.wParam)), nullptr);
    }
}

} // namespace
