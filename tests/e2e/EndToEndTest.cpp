// The real pellmor.exe used as a person uses it: profiles stored in this
// prefix's registry by the program's own profile store, our scripted POP3
// server on loopback, clicks on Wine's tray, keys into the menus and the
// options dialog, and the program's debugger output.
#include "accounts/AccountList.h"
#include "accounts/ProfileStore.h"
#include "e2e/DebuggedProgram.h"
#include "e2e/DesktopUser.h"
#include "servers/Pop3Server.h"
#include "servers/SampleMailbox.h"
#include "support/DialogWatcher.h"
#include "ui/resource.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

namespace {

// Replaces the stored profiles by one per server, each checking it.
void storeProfiles(const std::vector<const Pop3Server*>& servers) {
    for (const Pop3Server* server : servers) {
        auto account = std::make_unique<Account>(accounts.randomId());
        account->host = "127.0.0.1";
        account->user = server->user();
        account->password = server->password();
        account->port = static_cast<unsigned>(server->port());
        account->showIcon = true;
        accounts.append(account);
    }
    accounts.saveProfiles();
    accounts.clear();
}

std::vector<std::string> storedProfileLines() {
    std::vector<std::string> lines;
    char line[2048];
    for (DWORD size = sizeof line; RegGetValueA(HKEY_CURRENT_USER, profileKeyPath, std::to_string(lines.size()).c_str(),
                                                RRF_RT_REG_SZ, nullptr, line, &size) == ERROR_SUCCESS;
         size = sizeof line)
        lines.emplace_back(line);
    return lines;
}

std::vector<std::string> linesStartingWith(const Pop3Server& server, const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& line : server.transcript())
        if (line.rfind(prefix, 0) == 0)
            found.push_back(line);
    return found;
}

// The tray icon whose tooltip starts with `user`@ and contains `text`, or
// null when none does within `milliseconds`; `tooltip` keeps the last
// tooltip of `user` seen, for a failure's message.
HWND iconShowing(const std::string& user, const std::string& text, std::string& tooltip, DWORD milliseconds = 30000) {
    const DWORD start = GetTickCount();
    do {
        for (HWND icon : trayIcons()) {
            const std::string tip = tooltipOf(icon, 2500);
            if (tip.rfind(user + "@", 0) == 0 && (tooltip = tip).find(text) != std::string::npos)
                return icon;
        }
        Sleep(100);
    } while (GetTickCount() - start < milliseconds);
    return nullptr;
}

// Chooses the item with access key `key` in the command menu of `icon`.
bool chooseCommand(HWND icon, char key) {
    // With one of the program's dialogs in front, the first right click on
    // Wine's tray has been seen to open nothing; a person clicks again.
    for (int click = 0; click < 2; ++click) {
        clickWindow(icon, true);
        if (waitForOpenMenus(1, 4000)) {
            pressKey(static_cast<WORD>(key));
            return waitForOpenMenus(0, 5000);
        }
    }
    return false;
}

// "E&xit" on `icon`; the exit code, or -1 when the program did not end.
long exitThrough(DebuggedProgram& pellmor, HWND icon) {
    DWORD code = 0;
    return chooseCommand(icon, 'X') && pellmor.waitForExit(20000, code) ? static_cast<long>(code) : -1;
}

// Clicks into a field of the dialog and types over its whole text.
void typeInto(HWND dialog, int id, const std::string& text) {
    HWND field = GetDlgItem(dialog, id);
    clickWindow(field);
    // Keys go to the window that had the focus when they were sent.
    ASSERT_TRUE(waitUntil([&] { return focusOf(dialog) == field; }, 2000)) << id;
    pressKey(VK_END);
    pressKey(VK_HOME, VK_SHIFT);
    typeText(text);
    EXPECT_EQ(windowText(field), text) << id;
}

const std::string pellmorExe = std::string("\"") + PELLMOR_EXE_PATH + "\"";

class EndToEnd : public testing::Test {
protected:
    void SetUp() override { SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Harrowden"); }
    void TearDown() override { waitForTrayIcons(0, 5000); }

    std::string annTip, bobTip;
};

TEST_F(EndToEnd, StartUpChecksEveryAccountAndADeferredDeleteSendsOneDeleAtTheNextCheck) {
    Pop3Server ann(sampleMailbox(2), {.user = "ann", .password = "pw-ann"});
    Pop3Server bob(sampleMailbox(3, 7), {.user = "bob", .password = "pw-bob"});
    storeProfiles({&ann, &bob});
    DebuggedProgram pellmor(pellmorExe);
    HWND annIcon = iconShowing("ann", "2 messages - 2 new (", annTip);
    HWND bobIcon = iconShowing("bob", "3 messages - 3 new (", bobTip);
    ASSERT_NE(annIcon, nullptr) << annTip;
    ASSERT_NE(bobIcon, nullptr) << bobTip;
    EXPECT_EQ(trayIcons().size(), 2u);
    EXPECT_EQ(ann.transcript().back(), "quit");
    // The reply texts that contain a blank reach the debugger.
    EXPECT_TRUE(pellmor.waitForTrace("bob's maildrop has 3 messages", 1000));

    // "&Delete" on the second of bob's messages, in his icon's menu.
    std::vector<std::string> uids = bob.uids();
    clickWindow(bobIcon);
    ASSERT_TRUE(waitForOpenMenus(1, 5000));
    for (WORD key : {VK_DOWN, VK_DOWN, VK_RIGHT})
        pressKey(key);
    ASSERT_TRUE(waitForOpenMenus(2, 5000));
    // "&Delete" is the submenu's last item: up from the first wraps to it.
    pressKey(VK_UP);
    pressKey(VK_RETURN);
    // The menu closes and opens again where it was.
    ASSERT_TRUE(pellmor.waitForTrace("selected = ", 3000));
    ASSERT_TRUE(waitForOpenMenus(1, 5000));
    pressKey(VK_ESCAPE);
    ASSERT_TRUE(waitForOpenMenus(0, 5000));
    EXPECT_EQ(bob.sessions(), 1) << "deferred: nothing is sent before the next check";

    ASSERT_TRUE(chooseCommand(bobIcon, 'C')); // "&Check now"
    EXPECT_NE(iconShowing("bob", "2 messages (", bobTip, 15000), nullptr) << bobTip;
    EXPECT_EQ(linesStartingWith(bob, "dele"), std::vector<std::string>{"dele 2"});
    uids.erase(uids.begin() + 1);
    EXPECT_EQ(bob.uids(), uids);
    EXPECT_EQ(ann.sessions(), 1);

    EXPECT_EQ(exitThrough(pellmor, annIcon), 0);
    EXPECT_TRUE(waitForTrayIcons(0, 5000)) << trayIcons().size();
}

// A second start hands over to the running Pellmor, which checks at once,
// and ends with 0; a shell that starts anew gets every icon again.
TEST_F(EndToEnd, ASecondStartChecksAndAShellRestartGetsTheIconsBack) {
    Pop3Server ann(sampleMailbox(1), {.user = "ann", .password = "pw-ann"});
    storeProfiles({&ann});
    DebuggedProgram pellmor(pellmorExe);
    HWND icon = iconShowing("ann", "1 message - 1 new (", annTip);
    ASSERT_NE(icon, nullptr) << annTip;

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION second{};
    std::string commandLine = pellmorExe;
    ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &second));
    ASSERT_EQ(WaitForSingleObject(second.hProcess, 15000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(second.hProcess, &code);
    CloseHandle(second.hThread);
    CloseHandle(second.hProcess);
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(waitUntil([&] { return ann.sessions() == 2; }, 10000)) << ann.sessions();
    EXPECT_EQ(trayIcons().size(), 1u);

    // What a shell restart leaves: no icon of ours (the account's id is one
    // of 1 to 100), then its broadcast.
    HWND window = FindWindowA("Pellmor", "Pellmor");
    for (UINT id = 1; id <= 100; ++id) {
        NOTIFYICONDATAA gone{};
        gone.cbSize = NOTIFYICONDATAA_V1_SIZE;
        gone.hWnd = window;
        gone.uID = id;
        Shell_NotifyIconA(NIM_DELETE, &gone);
    }
    ASSERT_TRUE(waitForTrayIcons(0, 5000));
    SendNotifyMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    ASSERT_TRUE(waitForTrayIcons(1, 5000));
    icon = iconShowing("ann", "1 message - 1 new (", annTip, 5000);
    ASSERT_NE(icon, nullptr) << annTip;
    EXPECT_EQ(exitThrough(pellmor, icon), 0);
}

// The dialog of the real program, filled in by mouse and keys: OK stores
// what was typed, and the next start logs in with it.
TEST_F(EndToEnd, OptionsSavedWithOkAreWhatTheNextStartUses) {
    Pop3Server ann(sampleMailbox(1), {.user = "ann", .password = "pw-ann"});
    Pop3Server carl(sampleMailbox(2), {.user = "carl", .password = "pw-carl"});
    storeProfiles({&ann});
    {
        DebuggedProgram pellmor(pellmorExe);
        HWND icon = iconShowing("ann", "1 message - 1 new (", annTip);
        ASSERT_NE(icon, nullptr) << annTip << " (tray icons: " << trayIcons().size() << ")";
        ASSERT_TRUE(chooseCommand(icon, 'O'));
        HWND options = waitForWindow("#32770", "Pellmor Options", 10000);
        ASSERT_NE(options, nullptr);
        typeInto(options, IDC_USER, "carl");
        typeInto(options, IDC_PASSWORD, "pw-carl");
        typeInto(options, IDC_PORT, std::to_string(carl.port()));
        typeInto(options, IDC_INTERVAL, "7");
        typeInto(options, IDC_CLIENT_COMMAND, "mua.exe");
        clickWindow(GetDlgItem(options, IDC_DELETE_IMMEDIATELY));
        clickWindow(GetDlgItem(options, IDC_COLOUR));
        ASSERT_TRUE(waitUntil([&] { return focusOf(options) == GetDlgItem(options, IDC_COLOUR); }, 2000));
        for (WORD key : {VK_HOME, VK_RIGHT, VK_RIGHT})
            pressKey(key);
        clickWindow(GetDlgItem(options, IDOK));
        if (!waitUntil([&] { return !IsWindow(options); }, 10000)) {
            for (HWND box = FindWindowExA(nullptr, nullptr, "#32770", nullptr); box;
                 box = FindWindowExA(nullptr, box, "#32770", nullptr))
                if (GetWindow(box, GW_OWNER) == options)
                    ADD_FAILURE() << "a box says: " << messageBoxText(box);
            FAIL() << "the options dialog stays open";
        }

        Account expected(1);
        expected.host = "127.0.0.1";
        expected.user = "carl";
        expected.password = "pw-carl";
        expected.port = static_cast<unsigned>(carl.port());
        expected.intervalMinutes = 7;
        expected.clientCommand = "mua.exe";
        expected.deleteImmediately = true;
        expected.iconColour = 2;
        expected.showIcon = true;
        EXPECT_EQ(storedProfileLines(), std::vector<std::string>{formatProfileLine(expected)});
        EXPECT_EQ(carl.sessions(), 0) << "saving checks nothing";
        EXPECT_EQ(exitThrough(pellmor, trayIcons().front()), 0);
    }
    DebuggedProgram pellmor(pellmorExe);
    std::string carlTip;
    HWND icon = iconShowing("carl", "2 messages - 2 new (", carlTip);
    ASSERT_NE(icon, nullptr) << carlTip;
    EXPECT_EQ(ann.sessions(), 1);
    EXPECT_EQ(exitThrough(pellmor, icon), 0);
}

// The failure path of the start-up, which only the program itself has:
// the registry fails for real (the program's key is volatile, and a lasting
// key cannot be made under it), a box says why, and the exit code is 1.
TEST_F(EndToEnd, ARegistryFailureWhileLoadingShowsPellmorExceptionAndEndsWithOne) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Harrowden\\Pellmor\\1.0", 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    DebuggedProgram pellmor(pellmorExe);
    HWND box = waitForWindow("#32770", "Pellmor Exception", 20000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(windowClassName(GetWindow(box, GW_OWNER)), "Pellmor");
    EXPECT_EQ(messageBoxText(box).rfind("Windows error #1021: ", 0), 0u) << messageBoxText(box);
    pressKey(VK_RETURN);
    DWORD code = 0;
    ASSERT_TRUE(pellmor.waitForExit(15000, code));
    EXPECT_EQ(code, 1u);
    EXPECT_TRUE(trayIcons().empty());
}

} // namespace
