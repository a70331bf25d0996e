// The account's icon, title, status and tooltip as the shell receives them,
// its check timer on the real timer service, what it releases; the account
// list's currentAccount never left pointing at a destroyed account, and the
// random id with its bound of 100 accounts.
#include "accounts/AccountFixture.h"
#include "net/MsgException.h"
#include "support/IconImage.h"
#include "ui/ProgramHandles.h"

#include <algorithm>
#include <cstdint>

namespace {

using AccountTest = AccountFixture;

// The tray icon as a user sees it, checked at a few pixels against colours
// written here: the colour's square (blue for a colour out of range), and
// the state's sign on the envelope's paper; no sign in state 5 (nothing
// new), nor in a state the program never sets.
constexpr std::uint32_t white = 0xFFFFFF, red = 0xFF0000, yellow = 0xFFFF00, green = 0x00FF00;
// In the order of the options slider.
constexpr std::uint32_t stamps[colourCount] = {0x0000FF, 0xFF00FF, green, yellow, red, 0x00FFFF};
// Never checked (question mark), new mail (exclamation mark), error (red
// X), login refused (prohibition sign), check under way (hourglass): each
// at a pixel where no other sign has that colour.
constexpr struct {
    int x, y;
    std::uint32_t colour;
} signs[stateOverlayCount] = {
    {18, 8, yellow}, {6, 10, yellow}, {2, 9, red}, {2, 19, red}, {10, 7, green}};

void expectShown(HICON icon, unsigned colour, int state) {
    IconImage shown;
    ASSERT_TRUE(readIconImage(icon, shown));
    // The square's upper left corner, which only the red X covers, or its upper right.
    EXPECT_EQ(shown.at(state == 2 ? 28 : 23, 8), stamps[colour < colourCount ? colour : 0])
        << colour << "/" << state;
    for (int sign = 0; sign < int{stateOverlayCount}; ++sign)
        if (sign == state || state >= int{stateOverlayCount}) {
            EXPECT_EQ(shown.at(signs[sign].x, signs[sign].y),
                      sign == state ? signs[sign].colour : white)
                << colour << "/" << state << ", sign " << sign;
        }
}

// From the first show to the destruction: the shell calls, the icon of each
// colour and state, the tooltip, and everything released at the end.
TEST_F(AccountTest, TheTrayIconFromShowToDestruction) {
    auto account = std::make_unique<Account>(17);
    account->setUser("user1");
    account->setShowIcon(true);
    account->setShowIcon(true);
    // One add: a second show adds nothing. The last call carries a new icon
    // and the tip.
    EXPECT_EQ(std::ranges::count(shell.calls, DWORD{NIM_ADD}, &ShellRecorder::Call::message), 1);
    EXPECT_EQ(shell.calls.back().tip(), "user1 - mail unchecked");
    unsigned colour = 0;
    for (int state = 0; state <= 6; ++state) {
        account->setIconState(state);
        expectShown(shell.calls.back().data.hIcon, colour, state);
        for (unsigned next : {0u, 1u, 2u, 4u, 5u, 6u, 0u - 1, 3u}) {
            account->setIconColour(colour = next);
            expectShown(shell.calls.back().data.hIcon, colour, state);
        }
    }

    account->setHost("pop.example.org");
    account->setStatus("connecting...");
    EXPECT_EQ(shell.calls.back().tip(), "user1@pop.example.org - connecting... (09:05)");

    account->setCheckAutomatically(true);
    account->menu = CreatePopupMenu();
    const HMENU submenu = CreatePopupMenu();
    AppendMenuA(account->menu, MF_POPUP, reinterpret_cast<UINT_PTR>(submenu), "sub");
    const HICON state = account->stateIcon.icon;
    shell.calls.clear();
    account.reset();
    EXPECT_FALSE(IsMenu(submenu));
    EXPECT_FALSE(iconAlive(state));
    EXPECT_FALSE(KillTimer(mainWindow, 17)) << "the timer runs on";
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].message, DWORD{NIM_DELETE});
    EXPECT_EQ(shell.calls[0].data.uID, 17u);
}

// The timer runs only with automatic checks, an interval and the main window;
// its period runs from the last change and never becomes 0 ms.
TEST_F(AccountTest, TheTimer) {
    Account account(31);
    account.setInterval(10);
    // KillTimer tells whether the timer ran, and stops it.
    EXPECT_FALSE(KillTimer(mainWindow, 31)) << "automatic checks are off";
    account.setCheckAutomatically(true);
    EXPECT_TRUE(KillTimer(mainWindow, 31));
    account.setInterval(0);
    EXPECT_FALSE(KillTimer(mainWindow, 31)) << "interval 0";
    mainWindow = nullptr;
    account.setInterval(10);
    EXPECT_EQ(account.timerId, 0u) << "without the main window it would be a timer no one finds";
    mainWindow = window.handle;

    // 2^27 minutes are 2^32 * 1875 ms: in 32 bits a period of 0.
    account.intervalMinutes = 1u << 27;
    account.restartTimer();
    Account::timerMillisecondsPerMinute = 20;
    Account quick(34);
    quick.setCheckAutomatically(true); // 10 "minutes": 200 ms
    window.pumpUntil([] { return false; }, 120);
    const DWORD changed = GetTickCount();
    quick.setInterval(15); // 300 ms from now
    ASSERT_TRUE(window.pumpUntil([&] { return window.count(WM_TIMER, 34) >= 1; }, 5000));
    ASSERT_EQ(window.count(WM_TIMER, 31), 0);
    // GetTickCount advances in steps of up to 16 ms.
    EXPECT_GE(window.events.front().tick - changed, 280u);
}

// currentAccount never points at an erased account. The random id is never
// 0 nor in use: the only free one here, 100, is the generator's largest
// value, which a draw rarely finds. There are no more than 100 accounts.
TEST_F(AccountTest, CurrentAccountAndTheRandomId) {
    AccountList list;
    for (int id = 1; id <= 99; ++id)
        add(list, "", id);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(list.randomId(), 100);
    add(list, "", 100);
    currentAccount = list.withId(1);
    EXPECT_EQ(list.erase(list.findById(3))->id, 4);
    EXPECT_EQ(currentAccount, list.withId(1)) << "erasing another account leaves it";
    EXPECT_EQ(list.erase(list.findById(1))->id, 2);
    EXPECT_EQ(currentAccount, nullptr);
    add(list, "", 1);
    add(list, "", 3);
    EXPECT_THROW(list.randomId(), MsgException);
    auto extra = std::make_unique<Account>(101);
    EXPECT_THROW(list.append(extra), MsgException);
    EXPECT_NE(extra, nullptr) << "a refused account stays with the caller";
    currentAccount = list.withId(2);
    list.clear();
    EXPECT_EQ(currentAccount, nullptr);
}

} // namespace
