// The account's message menu, built with the real menu functions and read
// back through GetMenuItemCount, GetMenuStringA, GetMenuState and
// GetSubMenu; and opened for real, at the cursor of the Xvfb screen,
// answered by keyboard input that a timer sends inside the menu's modal loop.
#include "accounts/Account.h"
#include "accounts/TimeOfDay.h"
#include "servers/Pop3Server.h"
#include "servers/SampleMailbox.h"
#include "ui/Icons.h"
#include "ui/MessageMenu.h"
#include "ui/ProgramHandles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

char* fixedTime(char* buffer) {
    return std::strcpy(buffer, "09:05:59");
}

// ---- reading a built menu back ------------------------------------------

// One item as a line: "--" for a separator; "P text" for a popup; else the
// state (E enabled, D disabled, DG disabled and grayed), the id and the text.
std::string describe(HMENU menu, int position) {
    char text[4096] = "";
    GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
    const UINT state = GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION);
    if (GetSubMenu(menu, position))
        return std::string("P ") + text;
    if (state & MF_SEPARATOR)
        return "--";
    const std::string kind = (state & MF_GRAYED) ? "DG" : (state & MF_DISABLED) ? "D" : "E";
    return kind + " " + std::to_string(GetMenuItemID(menu, position)) + " " + text;
}

std::vector<std::string> items(HMENU menu) {
    std::vector<std::string> lines;
    for (int i = 0; i < GetMenuItemCount(menu); ++i)
        lines.push_back(describe(menu, i));
    return lines;
}

using Lines = std::vector<std::string>;

// ---- filling records as a session would ---------------------------------

POP3::Message& addMessage(Account& account, const std::string& uid, std::vector<std::string> headers,
                          std::vector<std::string> body = {}) {
    auto holder = std::make_unique<POP3::Message>(account.messages.count() + 1, uid.c_str());
    POP3::Message& message = *holder;
    for (std::string& line : headers)
        message.receiveHeaderLine(line);
    for (std::string& line : body)
        message.receiveBodyLine(line);
    message.size = message.received; // fetched whole
    message.flags = 0;
    account.messages.pushBack(holder);
    return message;
}

POP3::Message& addMessage(Account& account, const std::string& uid) {
    return addMessage(account, uid, {"Subject: about " + uid, "From: " + uid + "@example.org"}, {"text"});
}

POP3::Message& at(Account& account, int position) {
    auto it = account.messages.begin();
    std::advance(it, position);
    return *it;
}

std::vector<std::string> deletedUids(Account& account) {
    std::vector<std::string> uids;
    for (const POP3::Message& message : account.messages)
        if (message.flags & POP3::Message::Deleted)
            uids.push_back(message.uid);
    return uids;
}

// ---- the debugger output, caught in the process -------------------------

// OutputDebugStringA raises DBG_PRINTEXCEPTION_C; a vectored handler sees
// it first, as a debugger would.
std::string debugOutput;
LONG CALLBACK catchDebugOutput(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2)
        debugOutput += reinterpret_cast<const char*>(record->ExceptionInformation[1]);
    return EXCEPTION_CONTINUE_SEARCH;
}

// ---- a user at the menu -------------------------------------------------

// What the user does in each opening of a menu: keys pressed one per timer
// tick, or something that happens meanwhile (a check rebuilding the menu).
struct Step {
    Step(WORD pressed) : key(pressed) {}
    Step(std::function<void()> action) : meanwhile(std::move(action)) {}
    WORD key = 0;
    std::function<void()> meanwhile;
};
using Script = std::vector<Step>;

struct User {
    std::vector<Script> openings; // one script per opening, in order
    std::vector<RECT> shownAt;    // the top menu's window, per opening
    int opened = 0;               // WM_ENTERMENULOOP seen
    size_t step = 0;
    bool measured = false;
    Clock::time_point openedAt;
    Account* routeTo = nullptr;   // gets the message commands, as the main window routes them
    std::vector<UINT> commands;   // every WM_COMMAND in order
    int nulls = 0;                // WM_NULL after a menu
};
User* user = nullptr;

void press(WORD key) {
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

HWND visibleMenuWindow() {
    HWND window = FindWindowA("#32768", nullptr);
    return window && IsWindowVisible(window) ? window : nullptr;
}

void CALLBACK userTick(HWND, UINT, UINT_PTR, DWORD) {
    if (!user || user->opened == 0)
        return;
    HWND menuWindow = visibleMenuWindow();
    // Never hang a test: a menu open for long with nothing left to do closes.
    if (Clock::now() - user->openedAt > std::chrono::seconds(5)) {
        EndMenu();
        return;
    }
    if (!menuWindow)
        return;
    if (!user->measured) {
        RECT rect;
        GetWindowRect(menuWindow, &rect);
        user->shownAt.push_back(rect);
        user->measured = true;
    }
    const size_t opening = static_cast<size_t>(user->opened - 1);
    if (opening >= user->openings.size() || user->step >= user->openings[opening].size()) {
        press(VK_ESCAPE); // an opening nobody planned, or a script that ends without closing
        return;
    }
    Step& step = user->openings[opening][user->step++];
    if (step.meanwhile)
        step.meanwhile();
    if (step.key)
        press(step.key);
}

LRESULT CALLBACK mainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (user) {
        switch (message) {
        case WM_ENTERMENULOOP:
            ++user->opened;
            user->step = 0;
            user->measured = false;
            user->openedAt = Clock::now();
            return 0;
        case WM_COMMAND:
            user->commands.push_back(static_cast<UINT>(wParam));
            if (user->routeTo && wParam >= messageCommandFirst && wParam <= messageCommandLast)
                user->routeTo->onMenuCommand(static_cast<UINT>(wParam));
            return 0;
        case WM_NULL:
            ++user->nulls;
            return 0;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Everything the queue holds now, including the commands a menu posted.
void dispatchPending() {
    MSG message;
    for (int i = 0; i < 10000 && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Steps to choose "&Delete" of the n-th entry (from 1) of the account menu.
Script chooseDelete(int entry) {
    Script script;
    for (int i = 0; i < entry; ++i)
        script.push_back({VK_DOWN});
    script.push_back({VK_RIGHT});
    script.push_back({'D'});
    return script;
}
const Script dismiss{{VK_ESCAPE}};

class MessageMenu : public testing::Test {
protected:
    static void SetUpTestSuite() {
        moduleInstance = GetModuleHandleA(nullptr);
        loadIcons();
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = mainProcedure;
        windowClass.hInstance = moduleInstance;
        windowClass.lpszClassName = "PellmorMenuTest";
        RegisterClassA(&windowClass);
        mainWindow = CreateWindowExA(WS_EX_TOOLWINDOW, "PellmorMenuTest", "Pellmor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, moduleInstance,
                                     nullptr);
        AddVectoredExceptionHandler(1, catchDebugOutput);
        timeOfDay = fixedTime;
    }
    static void TearDownTestSuite() {
        DestroyWindow(mainWindow);
        mainWindow = nullptr;
        releaseIcons();
    }
    void SetUp() override {
        ASSERT_NE(mainWindow, nullptr);
        dispatchPending();
        debugOutput.clear();
        user = &person;
    }
    void TearDown() override {
        user = nullptr;
        dispatchPending();
    }

    // Opens the account's menu at (x, y) as a left click does, lets the user
    // act, then handles the commands the menu posted.
    void click(Account& account, int x = 700, int y = 400) {
        SetCursorPos(x, y);
        show(account, true);
    }
    // The user's timer runs whenever a menu may open, so that a menu that
    // opens when it should not is closed again and counted, never left open.
    void show(Account& account, bool atCursor) {
        person.routeTo = &account;
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, userTick);
        account.showMenu(atCursor);
        dispatchPending();
        KillTimer(nullptr, timer);
    }

    User person;
    Account account{7};
};

// ---- the menus as built -------------------------------------------------

TEST_F(MessageMenu, NoMessagesGiveTheNoteTheLaunchItemAndAZeroSummary) {
    account.buildMenu(false);
    EXPECT_EQ(items(account.menu), (Lines{"DG 0 (No messages)", "--", "E 40005 &Launch client"}));
    EXPECT_EQ(account.status, "0 messages (09:05)");
    EXPECT_EQ(account.iconState, Account::NothingNew);
}

TEST_F(MessageMenu, SummaryCountsListedMessagesAndCapsTheNewOnes) {
    addMessage(account, "a1");
    account.buildMenu(false);
    EXPECT_EQ(account.status, "1 message (09:05)");
    addMessage(account, "b2");
    account.newCount = 3;
    account.buildMenu(false);
    EXPECT_EQ(account.messageCount, 2u);
    EXPECT_EQ(account.newCount, 2u);
    EXPECT_EQ(account.status, "2 messages - 2 new (09:05)");
    EXPECT_EQ(account.iconState, Account::NewMail);

    // The summary alone leaves the menu and the count as they are.
    HMENU built = account.menu;
    at(account, 0).flags = POP3::Message::Deleted;
    account.newCount = 0;
    account.buildMenu(true);
    EXPECT_EQ(account.menu, built);
    EXPECT_EQ(account.status, "2 messages (09:05)");
    EXPECT_EQ(account.iconState, Account::NothingNew);
}

TEST_F(MessageMenu, EntryShowsSubjectAndSenderWithHeadersLinesNoteAndDelete) {
    POP3::Message& message =
        addMessage(account, "u1", {"From: Bob & Co <bob@example.org>", "Subject: R&D report", "X-Tab:\ta\tb"},
                   {"Dear all,", "> quoted & dimmed", "a > b is not", "", "Fish && chips"});
    // The rest of a 5000-byte message that TOP cut off at 1200 bytes.
    std::string filler(static_cast<size_t>(1200 - message.received - 2), 'x');
    message.receiveBodyLine(filler);
    ASSERT_EQ(message.received, 1200);
    message.size = 5000;
    account.buildMenu(false);

    ASSERT_EQ(items(account.menu),
              (Lines{"P R&&D report\tBob & Co <bob@example.org>", "--", "E 40005 &Launch client"}));
    HMENU entry = GetSubMenu(account.menu, 0);
    EXPECT_EQ(items(entry), (Lines{"P &Headers", "--", "D 0 Dear all,", "DG 0 > quoted && dimmed",
                                   "D 0 a > b is not", "D 0 ", "D 0 Fish &&&& chips", "D 0 " + filler,
                                   "DG 0 ... (3800 more bytes follows)", "--", "E 1026 &Delete"}));
    EXPECT_EQ(items(GetSubMenu(entry, 0)), (Lines{"D 0 From\tBob & Co <bob@example.org>", "D 0 Subject\tR&D report",
                                                  "D 0 X-Tab\ta b"}));
}

TEST_F(MessageMenu, WholeMessagesHaveNoNoteAndNoLinesNoSecondSeparator) {
    addMessage(account, "whole", {"Subject: s"}, {"one line"});
    // Dot-stuffed lines count more than the size: still whole, no note.
    // The record takes the stuffed dot off; the line counts as received.
    addMessage(account, "stuffed", {"Subject: t"}, {"..hidden dot"}).countReceived(1);
    addMessage(account, "bare", {}, {});
    account.buildMenu(false);
    EXPECT_EQ(items(GetSubMenu(account.menu, 0)), (Lines{"P &Headers", "--", "D 0 one line", "--", "E 1026 &Delete"}));
    EXPECT_EQ(items(GetSubMenu(account.menu, 1)), (Lines{"P &Headers", "--", "D 0 .hidden dot", "--", "E 1042 &Delete"}));
    EXPECT_EQ(items(GetSubMenu(account.menu, 2)), (Lines{"P &Headers", "--", "E 1058 &Delete"}));
    EXPECT_EQ(items(account.menu)[2], "P \t"); // no Subject, no From: both empty
}

TEST_F(MessageMenu, DeletedMessagesKeepTheirPositionsIds) {
    addMessage(account, "a1").flags = POP3::Message::Deleted;
    addMessage(account, "b2");
    addMessage(account, "c3");
    account.buildMenu(false);
    ASSERT_EQ(GetMenuItemCount(account.menu), 4);
    EXPECT_EQ(items(GetSubMenu(account.menu, 0)).back(), "E 1042 &Delete");
    EXPECT_EQ(items(GetSubMenu(account.menu, 1)).back(), "E 1058 &Delete");
    EXPECT_EQ(account.status, "2 messages (09:05)");
}

// Decision: the main window routes ids up to 33791, i.e. positions up to
// 2047. Later positions get no entry, so no "&Delete" that could never come
// back; they still count in the summary, and a note says how many are not
// listed.
TEST_F(MessageMenu, PositionsPastTheRoutedRangeAreCountedButNotListed) {
    for (int i = 0; i < 2050; ++i)
        addMessage(account, "m" + std::to_string(i), {}, {});
    account.buildMenu(false);
    Lines menu = items(account.menu);
    ASSERT_EQ(menu.size(), 2048u + 3);
    EXPECT_EQ(items(GetSubMenu(account.menu, 2047)).back(), "E 33778 &Delete");
    EXPECT_EQ(menu[2048], "DG 0 ... (2 more messages not listed)");
    EXPECT_EQ(account.status, "2050 messages (09:05)");

    // With every listed position marked, the hidden ones are still there.
    for (int i = 0; i < 2048; ++i)
        at(account, i).flags = POP3::Message::Deleted;
    account.buildMenu(false);
    EXPECT_EQ(items(account.menu),
              (Lines{"DG 0 ... (2 more messages not listed)", "--", "E 40005 &Launch client"}));
}

TEST(EscapeAmpersands, DoublesEveryAmpersandOnce) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"R&D", "R&&D"}, {"&", "&&"}, {"&&", "&&&&"}, {"&a&", "&&a&&"}, {"plain", "plain"}, {"", ""}};
    for (auto [text, expected] : cases) {
        escapeAmpersands(text);
        EXPECT_EQ(text, expected);
    }
}

// ---- the menu opened for real -------------------------------------------

TEST_F(MessageMenu, DismissingCountsTheNewMailAsSeen) {
    addMessage(account, "a1");
    account.newCount = 1;
    account.buildMenu(false);
    ASSERT_EQ(account.iconState, Account::NewMail);
    person.openings = {dismiss};
    click(account, 700, 400);

    EXPECT_EQ(person.opened, 1);
    EXPECT_EQ(account.menuPoint.x, 700);
    EXPECT_EQ(account.menuPoint.y, 400);
    ASSERT_EQ(person.shownAt.size(), 1u);
    // Right edge at the point, middle at its height.
    EXPECT_EQ(person.shownAt[0].right, 700);
    EXPECT_NEAR((person.shownAt[0].top + person.shownAt[0].bottom) / 2, 400, 1);
    EXPECT_EQ(account.newCount, 0u);
    EXPECT_EQ(account.iconState, Account::NothingNew);
    EXPECT_EQ(account.status, "1 message (09:05)");
    EXPECT_TRUE(person.commands.empty());
    EXPECT_EQ(debugOutput, "selected = 1\n");
}

TEST_F(MessageMenu, NeverCheckedAccountShowsNothingButStillSetsTheSummary) {
    ASSERT_EQ(account.menu, nullptr);
    click(account);
    EXPECT_EQ(person.opened, 0);
    EXPECT_EQ(account.status, "0 messages (09:05)");
    EXPECT_EQ(account.iconState, Account::NothingNew);
    EXPECT_EQ(debugOutput, "selected = 0\n");
}

TEST_F(MessageMenu, DeleteMarksTheMessageAndReopensAtTheSamePoint) {
    addMessage(account, "a1");
    addMessage(account, "b2");
    account.buildMenu(false);
    person.openings = {chooseDelete(1), dismiss};
    click(account, 650, 350);

    EXPECT_EQ(person.commands, (std::vector<UINT>{1026}));
    EXPECT_EQ(deletedUids(account), (std::vector<std::string>{"a1"}));
    EXPECT_EQ(account.messages.count(), 2); // kept, marked, until the next check
    EXPECT_EQ(items(account.menu)[0], "P about b2\tb2@example.org");
    EXPECT_EQ(account.status, "1 message (09:05)");
    ASSERT_EQ(person.opened, 2);
    ASSERT_EQ(person.shownAt.size(), 2u);
    EXPECT_EQ(person.shownAt[1].right, 650);
    EXPECT_NEAR((person.shownAt[1].top + person.shownAt[1].bottom) / 2, 350, 1);
    EXPECT_EQ(debugOutput, "selected = 1\nselected = 1\n");
    EXPECT_GE(person.nulls, 2); // each menu forced the task switch back
}

TEST_F(MessageMenu, DeletingTheLastMessageDoesNotReopen) {
    addMessage(account, "a1");
    account.buildMenu(false);
    person.openings = {chooseDelete(1)};
    click(account);
    EXPECT_EQ(deletedUids(account), (std::vector<std::string>{"a1"}));
    EXPECT_EQ(person.opened, 1);
    EXPECT_EQ(items(account.menu)[0], "DG 0 (No messages)");
    EXPECT_EQ(account.status, "0 messages (09:05)");
}

TEST_F(MessageMenu, NoReopenWhenTheUserSwitchedAwayOrNothingIsLeft) {
    addMessage(account, "a1");
    addMessage(account, "b2");
    account.buildMenu(false);
    account.newCount = 2;
    // Hidden, like the main window: a hidden window can be in front too, and
    // a shown one costs Wine seconds to take down without a window manager.
    HWND other = CreateWindowExA(0, "PellmorMenuTest", "other", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                 nullptr, nullptr, moduleInstance, nullptr);
    SetForegroundWindow(other);
    ASSERT_EQ(GetForegroundWindow(), other);
    show(account, false);
    DestroyWindow(other);
    EXPECT_EQ(person.opened, 0);
    EXPECT_EQ(account.newCount, 2u); // not seen

    // Nor when every message is marked.
    for (POP3::Message& message : account.messages)
        message.flags = POP3::Message::Deleted;
    SetForegroundWindow(mainWindow);
    ASSERT_EQ(GetForegroundWindow(), mainWindow);
    show(account, false);
    EXPECT_EQ(person.opened, 0);
}

// Decision: a command is taken as naming the message its menu showed, found
// by uid; what the menu did not show, or what has left the list since, is
// ignored: nothing is marked, checked, rebuilt or reopened.
TEST_F(MessageMenu, CommandsNamingNoShownMessageAreIgnored) {
    addMessage(account, "a1").flags = POP3::Message::Deleted;
    addMessage(account, "b2");
    account.buildMenu(false);
    person.openings = {dismiss};
    click(account);
    HMENU built = account.menu;
    for (UINT id : {deleteCommand(0), deleteCommand(1) - 1, deleteCommand(1) + 1, deleteCommand(2), deleteCommand(5),
                    deleteCommand(2047), messageCommandLast, messageCommandFirst - 1, 0xFFFFFFFFu})
        account.onMenuCommand(id);
    EXPECT_EQ(deletedUids(account), (std::vector<std::string>{"a1"}));
    EXPECT_EQ(account.menu, built);
    EXPECT_EQ(person.opened, 1);
}

// A check that fails half way changes the list but not the menu: the
// second entry still shows b2 when the user chooses it, though c3 has moved
// to its position.
TEST_F(MessageMenu, DeleteFromAnOutdatedMenuMarksTheMessageShown) {
    for (const char* uid : {"a1", "b2", "c3"})
        addMessage(account, uid);
    account.buildMenu(false);
    account.messages.erase(account.messages.begin());
    person.openings = {chooseDelete(2), dismiss};
    click(account);
    EXPECT_EQ(person.commands, (std::vector<UINT>{1042}));
    EXPECT_EQ(deletedUids(account), (std::vector<std::string>{"b2"}));
}

TEST_F(MessageMenu, DeleteOfAMessageGoneMeanwhileChangesNothing) {
    for (const char* uid : {"a1", "b2", "c3"})
        addMessage(account, uid);
    account.buildMenu(false);
    HMENU built = account.menu;
    account.messages.erase(std::next(account.messages.begin()));
    person.openings = {chooseDelete(2)};
    click(account);
    EXPECT_EQ(person.commands, (std::vector<UINT>{1042}));
    EXPECT_TRUE(deletedUids(account).empty());
    EXPECT_EQ(account.menu, built);
    EXPECT_EQ(person.opened, 1);
}

// A timer check can run inside the menu's modal loop and rebuild the menu:
// the menu on screen stays usable until it closes, and its choice still
// names the message it showed.
TEST_F(MessageMenu, RebuildWhileTheMenuIsOpenKeepsTheShownMenu) {
    for (const char* uid : {"a1", "b2", "c3"})
        addMessage(account, uid);
    account.buildMenu(false);
    HMENU shown = account.menu;
    Script script{Step([&] {
        account.messages.erase(account.messages.begin());
        account.buildMenu(false);
    })};
    for (const Step& step : chooseDelete(2))
        script.push_back(step);
    person.openings = {script, dismiss};
    click(account);

    EXPECT_EQ(person.commands, (std::vector<UINT>{1042}));
    EXPECT_EQ(deletedUids(account), (std::vector<std::string>{"b2"}));
    EXPECT_FALSE(IsMenu(shown)); // destroyed once closed
    EXPECT_EQ(items(account.menu)[0], "P about c3\tc3@example.org");
    EXPECT_EQ(person.opened, 2);
}

TEST_F(MessageMenu, DeleteWithImmediateDeletionRunsACheck) {
    Pop3Server server(sampleMailbox(3));
    account.setHost("127.0.0.1");
    account.port = static_cast<unsigned>(server.port());
    account.setUser(server.user());
    account.password = server.password();
    account.deleteImmediately = true;
    account.check();
    ASSERT_EQ(account.messageCount, 3u) << account.status;
    server.clearTranscript();

    person.openings = {chooseDelete(1), dismiss};
    click(account);
    const std::vector<std::string> sent = server.transcript();
    EXPECT_NE(std::find(sent.begin(), sent.end(), "dele 1"), sent.end());
    EXPECT_EQ(server.uids(), (std::vector<std::string>{"b2", "c3"}));
    EXPECT_EQ(account.messages.count(), 2);
    EXPECT_EQ(account.status, "2 messages (09:05)");
    EXPECT_EQ(person.opened, 2);
}

TEST_F(MessageMenu, TrackPopupMenuWithoutPointOpensAtTheCursor) {
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 40001, "&Check now");
    person.openings = {{{VK_DOWN}, {VK_RETURN}}};
    SetCursorPos(500, 300);
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, userTick);
    const BOOL result = trackPopupMenu(mainWindow, menu);
    dispatchPending();
    KillTimer(nullptr, timer);
    DestroyMenu(menu);
    EXPECT_TRUE(result);
    ASSERT_EQ(person.shownAt.size(), 1u);
    EXPECT_EQ(person.shownAt[0].right, 500);
    EXPECT_EQ(person.commands, (std::vector<UINT>{40001}));
    EXPECT_EQ(debugOutput, "selected = 1\n");
}

} // namespace
