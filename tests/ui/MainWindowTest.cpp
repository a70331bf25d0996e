// The hidden main window as the program creates it, driven by the messages
// the tray, the timers and the menus send it.
#include "accounts/Account.h"
#include "accounts/AccountList.h"
#include "net/MsgException.h"
#include "support/DialogWatcher.h"
#include "ui/Icons.h"
#include "ui/MainWindow.h"
#include "ui/ProgramHandles.h"
#include "ui/TrayMenu.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <winsock.h>

#include <fstream>
#include <memory>
#include <string>

namespace {

// A loopback port that nothing listens on: bound, read back and closed.
unsigned closedPort() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    closesocket(s);
    return ntohs(address.sin_port);
}

// Takes the WM_QUIT waiting in the thread's queue, if any.
bool takeQuit(WPARAM& code) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            code = message.wParam;
            return true;
        }
        DispatchMessageA(&message);
    }
    return false;
}

HMENU shownMenu = nullptr;

// Runs inside the menu's modal loop: reads the open menu through its popup
// window and chooses "E&xit" by its access key.
void CALLBACK chooseExitFromOpenMenu(HWND, UINT, UINT_PTR, DWORD) {
    HWND popup = FindWindowA("#32768", nullptr);
    if (!popup || !IsWindowVisible(popup) || shownMenu)
        return;
    shownMenu = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
    PostMessageA(popup, WM_CHAR, 'x', 0);
}

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override {
        moduleInstance = GetModuleHandleA(nullptr);
        loadIcons();
        MainWindow::registerClass(moduleInstance); // once per program; later calls fail harmlessly
        window = MainWindow::create(moduleInstance);
        ASSERT_NE(window, nullptr);
        mainWindow = window;
        buildTrayMenu();
    }
    void TearDown() override {
        accounts.clear();
        currentAccount = nullptr;
        destroyTrayMenu();
        DestroyWindow(window);
        mainWindow = nullptr;
        WPARAM code;
        takeQuit(code); // the one WM_DESTROY posted
    }

    Account& addAccount(int id, const std::string& host = "") {
        auto holder = std::make_unique<Account>(id);
        Account& account = *holder;
        account.setHost(host);
        account.setUser("ann");
        accounts.append(holder);
        return account;
    }

    HWND window = nullptr;
};

TEST_F(MainWindowTest, ClassHasTheArrowTheWhiteBrushAndTheEnvelope) {
    WNDCLASSA found{};
    ASSERT_TRUE(GetClassInfoA(moduleInstance, "Pellmor", &found));
    EXPECT_EQ(found.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(found.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(found.hbrBackground, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EXPECT_NE(found.hIcon, nullptr);
    EXPECT_EQ(found.lpszMenuName, nullptr);
}

TEST_F(MainWindowTest, WindowIsAHiddenToolWindowWithoutParentOrMenu) {
    EXPECT_EQ(windowText(window), "Pellmor");
    EXPECT_FALSE(IsWindowVisible(window));
    const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN) << std::hex << style;
    EXPECT_TRUE(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(GetParent(window), nullptr);
    EXPECT_EQ(GetMenu(window), nullptr);
}

TEST_F(MainWindowTest, TrayMenuListsTheCommandsInTheirOrder) {
    ASSERT_NE(trayMenu, nullptr);
    const UINT ids[] = {40001, 40005, 40003, 0, 40004, 40002};
    const char* texts[] = {"&Check now", "&Launch client", "&Options...", "", "&About", "E&xit"};
    ASSERT_EQ(GetMenuItemCount(trayMenu), 6);
    for (int i = 0; i < 6; ++i) {
        char text[64] = {};
        MENUITEMINFOA item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = sizeof text;
        ASSERT_TRUE(GetMenuItemInfoA(trayMenu, static_cast<UINT>(i), TRUE, &item));
        EXPECT_EQ((item.fType & MFT_SEPARATOR) != 0, ids[i] == 0) << i;
        if (ids[i]) {
            EXPECT_EQ(item.wID, ids[i]) << i;
            EXPECT_STREQ(text, texts[i]);
        }
    }
    // Built again, it replaces the old one rather than adding a second.
    HMENU before = trayMenu;
    buildTrayMenu();
    EXPECT_FALSE(IsMenu(before));
    EXPECT_TRUE(IsMenu(trayMenu));
}

TEST_F(MainWindowTest, OnlyTheProgramsCommandsAreHandled) {
    for (WPARAM command : {1024u, 33792u, 40000u, 40006u, 0u})
        EXPECT_FALSE(MainWindow::onCommand(window, command)) << command;
    // A control's notification in the high half is not a menu choice.
    EXPECT_FALSE(MainWindow::onCommand(window, MAKEWPARAM(40001, 1)));
}

// Decision: a command that needs an account arrives with none chosen (no
// menu can send it so, but a posted message can): it is accepted and does
// nothing: no check, no box, no process.
TEST_F(MainWindowTest, AccountCommandsWithoutACurrentAccountDoNothing) {
    Account& account = addAccount(7, "127.0.0.1");
    account.port = closedPort();
    account.clientCommand = ""; // would show a box if launched
    currentAccount = nullptr;
    DialogWatcher watcher([](HWND box) { pressOk(box); }, 3000);
    for (WPARAM command : {1025u, 1026u, 33791u, 40001u, 40005u})
        EXPECT_TRUE(MainWindow::onCommand(window, command)) << command;
    MSG message;
    for (int i = 0; i < 10; ++i) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(20);
    }
    EXPECT_TRUE(watcher.seen.empty());
    EXPECT_EQ(account.iconState, Account::NeverChecked);
    EXPECT_EQ(account.status, "mail unchecked");
}

TEST_F(MainWindowTest, TrayCallbackAndTimerChooseTheAccountByItsId) {
    Account& first = addAccount(7);
    Account& second = addAccount(9);
    EXPECT_EQ(SendMessageA(window, WM_USER, 9, WM_MOUSEMOVE), 0);
    EXPECT_EQ(currentAccount, &second);
    SendMessageA(window, WM_USER, 7, WM_LBUTTONUP);
    EXPECT_EQ(currentAccount, &first);
    // An id no account has chooses none, and nothing else happens.
    SendMessageA(window, WM_USER, 55, WM_LBUTTONDOWN);
    EXPECT_EQ(currentAccount, nullptr);
    SendMessageA(window, WM_USER, 9, WM_MOUSEMOVE);
    EXPECT_EQ(SendMessageA(window, WM_TIMER, 56, 0), 0);
    EXPECT_EQ(currentAccount, nullptr);
}

TEST_F(MainWindowTest, TimerChecksItsOwnAccountOnly) {
    Account& first = addAccount(7, "127.0.0.1");
    Account& second = addAccount(9, "127.0.0.1");
    first.port = second.port = closedPort();
    SendMessageA(window, WM_TIMER, 9, 0);
    EXPECT_EQ(currentAccount, &second);
    EXPECT_EQ(second.iconState, Account::CheckFailed) << second.status;
    EXPECT_EQ(first.iconState, Account::NeverChecked);
    // "&Check now" acts on the account chosen last.
    SendMessageA(window, WM_USER, 7, WM_MOUSEMOVE);
    EXPECT_TRUE(MainWindow::onCommand(window, 40001));
    EXPECT_EQ(first.iconState, Account::CheckFailed) << first.status;
}

TEST_F(MainWindowTest, ExitAndDestroyEndTheLoopWithZeroAndKeepTheWindow) {
    EXPECT_TRUE(MainWindow::onCommand(window, 40002));
    EXPECT_EQ(MainWindow::runMessageLoop(), 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(SendMessageA(window, WM_DESTROY, 0, 0), 0);
    EXPECT_EQ(MainWindow::runMessageLoop(), 0);
}

TEST_F(MainWindowTest, RightClickOpensTheCommandMenuAndTheChoiceComesBack) {
    addAccount(7);
    shownMenu = nullptr;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, chooseExitFromOpenMenu);
    SendMessageA(window, WM_USER, 7, WM_RBUTTONDOWN);
    KillTimer(nullptr, timer);
    EXPECT_EQ(shownMenu, trayMenu);
    // The choice arrives as WM_COMMAND 40002, which posts the quit message.
    EXPECT_EQ(MainWindow::runMessageLoop(), 0);
}

TEST_F(MainWindowTest, LaunchingAnEmptyCommandShowsTheSystemsError) {
    // What the system says about this command line, asked directly.
    char empty[] = "";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    SetLastError(0xdeadbeef);
    ASSERT_FALSE(CreateProcessA(nullptr, empty, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    const DWORD error = GetLastError();
    char description[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, description,
                   sizeof description, nullptr);
    std::string expected = std::string(description);
    while (!expected.empty() && (expected.back() == '\n' || expected.back() == '\r' || expected.back() == ' '))
        expected.pop_back();

    addAccount(7).clientCommand = "";
    SendMessageA(window, WM_USER, 7, WM_MOUSEMOVE);
    std::string caption, text;
    HWND owner = nullptr;
    DialogWatcher watcher([&](HWND box) {
        caption = windowText(box);
        text = messageBoxText(box);
        owner = GetWindow(box, GW_OWNER);
        pressOk(box);
    });
    EXPECT_TRUE(MainWindow::onCommand(window, 40005));
    EXPECT_FALSE(watcher.timedOut);
    EXPECT_EQ(caption, "Failed to launch client");
    EXPECT_EQ(owner, window);
    const std::string prefix = "Windows error #" + std::to_string(error) + ": ";
    ASSERT_EQ(text.substr(0, prefix.size()), prefix) << text;
    EXPECT_EQ(text.substr(prefix.size(), expected.size()), expected) << text;
}

TEST_F(MainWindowTest, LaunchingAWorkingCommandStartsItAndShowsNothing) {
    char folder[MAX_PATH] = {};
    GetTempPathA(sizeof folder, folder);
    const std::string marker = std::string(folder) + "pellmor-launched.txt";
    DeleteFileA(marker.c_str());
    Account& account = addAccount(7);
    account.clientCommand = "cmd.exe /c echo launched> \"" + marker + "\"";
    SendMessageA(window, WM_USER, 7, WM_MOUSEMOVE);
    DialogWatcher watcher([](HWND box) { pressOk(box); }, 3000);
    EXPECT_TRUE(MainWindow::onCommand(window, 40005));
    bool started = false;
    for (int i = 0; i < 200 && !started; ++i) {
        std::ifstream file(marker);
        std::string line;
        started = std::getline(file, line) && line.rfind("launched", 0) == 0;
        if (!started)
            Sleep(50);
    }
    EXPECT_TRUE(started) << marker;
    EXPECT_TRUE(watcher.seen.empty());
    DeleteFileA(marker.c_str());
}

// Decision: a MsgException that a handler lets through ends the message
// loop (modal loops first), and the first one is the one runMessageLoop
// throws again; the program then ends with exit code 1 (see the end-to-end
// tests).
TEST_F(MainWindowTest, AFailureInAHandlerEndsTheLoopWithTheFirstException) {
    PostMessageA(window, WM_NULL, 0, 0);
    try {
        throw MsgException("first failure");
    } catch (MsgException&) {
        MainWindow::endLoopWithFailure();
    }
    try {
        throw MsgException("second failure");
    } catch (MsgException&) {
        MainWindow::endLoopWithFailure();
    }
    try {
        MainWindow::runMessageLoop();
        ADD_FAILURE() << "the loop ended without the failure";
    } catch (MsgException& failure) {
        EXPECT_EQ(failure.message(), "first failure");
    }
    // The failure is used up: the next loop ends normally.
    PostQuitMessage(0);
    EXPECT_EQ(MainWindow::runMessageLoop(), 0);
}

} // namespace
