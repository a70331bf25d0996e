// The real pellmor.exe used as a person uses it: profiles stored in this
// prefix's registry by the program's own profile store, our scripted POP3
// server on loopback, clicks on Wine's tray, keys into the menus and the
// options dialog, and the program's debugger output.
#include "accounts/AccountList.h"
#include "accounts/ProfileStore.h"
#include "e2e/DesktopUser.h"
#include "e2e/Pellmor.h"
#include "servers/Pop3Server.h"
#include "servers/SampleMailbox.h"
#include "support/DialogWatcher.h"
#include "ui/resource.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>

namespace {

// Clicks into a field of the dialog and types over its whole text.
void typeInto(HWND dialog, int id, const std::string& text) {
    HWND field = GetDlgItem(dialog, id);
    clickWindow(field);
    // Keys go to the window that had the focus when they were sent.
    ASSERT_TRUE(waitUntil([&] { return focusOf(dialog) == field; }, 2000)) << id;
    pressKey(VK_END);
    typeText(std::string(windowText(field).size(), '\b') + text);
    EXPECT_EQ(windowText(field), text) << id;
}

class EndToEnd : public testing::Test {
protected:
    void SetUp() override { SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Harrowden"); }
    void TearDown() override { waitForTrayIcons(0, 5000); }

    std::string tip; // the last tooltip seen, for a failure's message
};

// Both profiles are checked at the start. "&Delete" on bob's second message
// waits for the next check, which a second start asks of the running
// Pellmor. Icons deleted as a shell restart leaves them come back. OK in the
// options stores what was typed, and the next start logs in with it.
TEST_F(EndToEnd, ChecksDeletesHandsOverComesBackAndStartsWithTheNewOptions) {
    Pop3Server ann(sampleMailbox(2), {.user = "ann", .password = "pw-ann"});
    Pop3Server bob(sampleMailbox(3, 7), {.user = "bob", .password = "pw-bob"});
    Pop3Server carl(sampleMailbox(1), {.user = "carl", .password = "pw-carl"});
    for (const Pop3Server* server : {&ann, &bob})
        addProfile(server->user(), server->password(), server->port());
    storeProfiles();
    {
        DebuggedProgram pellmor(pellmorExe);
        ASSERT_NE(iconShowing("ann", "2 messages - 2 new (", tip), nullptr) << tip;
        HWND bobIcon = iconShowing("bob", "3 messages - 3 new (", tip);
        ASSERT_NE(bobIcon, nullptr) << tip;
        EXPECT_EQ(trayIcons().size(), 2u);
        EXPECT_EQ(ann.transcript().back(), "quit");
        // The reply texts that contain a blank reach the debugger.
        EXPECT_TRUE(pellmor.waitForTrace("bob's maildrop has 3 messages", 1000));

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

        DWORD code = 1;
        EXPECT_TRUE(DebuggedProgram(pellmorExe).waitForExit(15000, code));
        EXPECT_EQ(code, 0u) << "a second start ends";
        EXPECT_NE(iconShowing("bob", "2 messages (", tip, 15000), nullptr) << tip;
        std::vector<std::string> deletes;
        std::ranges::copy_if(bob.transcript(), std::back_inserter(deletes),
                             [](const std::string& line) { return line.starts_with("dele"); });
        EXPECT_EQ(deletes, std::vector<std::string>{"dele 2"});
        uids.erase(uids.begin() + 1);
        EXPECT_EQ(bob.uids(), uids);
        EXPECT_EQ(ann.sessions(), 2);

        // What a shell restart leaves: no icon of ours (the account's id is
        // one of 1 to 100), then its broadcast.
        NOTIFYICONDATAA gone{};
        gone.cbSize = NOTIFYICONDATAA_V1_SIZE;
        gone.hWnd = FindWindowA("Pellmor", "Pellmor");
        for (gone.uID = 1; gone.uID <= 100; ++gone.uID)
            Shell_NotifyIconA(NIM_DELETE, &gone);
        ASSERT_TRUE(waitForTrayIcons(0, 5000));
        SendNotifyMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
        ASSERT_TRUE(waitForTrayIcons(2, 5000));

        bobIcon = iconShowing("bob", "2 messages (", tip, 5000);
        ASSERT_NE(bobIcon, nullptr) << tip;
        ASSERT_TRUE(chooseCommand(bobIcon, 'O'));
        HWND options = waitForWindow("#32770", "Pellmor Options", 10000);
        ASSERT_NE(options, nullptr);
        typeInto(options, IDC_USER, "carl");
        typeInto(options, IDC_PASSWORD, "pw-carl");
        typeInto(options, IDC_PORT, std::to_string(carl.port()));
        typeInto(options, IDC_INTERVAL, "7");
        typeInto(options, IDC_CLIENT_COMMAND, "mua.exe");
        clickWindow(GetDlgItem(options, IDC_DELETE_IMMEDIATELY));
        clickWindow(GetDlgItem(options, IDC_COLOUR));
        ASSERT_TRUE(
            waitUntil([&] { return focusOf(options) == GetDlgItem(options, IDC_COLOUR); }, 2000));
        for (WORD key : {VK_HOME, VK_RIGHT, VK_RIGHT})
            pressKey(key);
        clickWindow(GetDlgItem(options, IDOK));
        ASSERT_TRUE(waitUntil([&] { return !IsWindow(options); }, 10000)) << "the dialog stays";

        Account& expected = addProfile("carl", "pw-carl", carl.port());
        expected.intervalMinutes = 7;
        expected.clientCommand = "mua.exe";
        expected.deleteImmediately = true;
        expected.iconColour = 2;
        char line[1000] = "";
        DWORD size = sizeof line;
        RegGetValueA(HKEY_CURRENT_USER, profileKeyPath, "1", RRF_RT_REG_SZ, nullptr, line, &size);
        EXPECT_EQ(line, formatProfileLine(expected));
        accounts.clear();
        EXPECT_EQ(carl.sessions(), 0) << "saving checks nothing";
        EXPECT_EQ(exitThrough(pellmor, bobIcon), 0);
    }
    DebuggedProgram pellmor(pellmorExe);
    HWND icon = iconShowing("carl", "1 message - 1 new (", tip);
    ASSERT_NE(icon, nullptr) << tip;
    EXPECT_EQ(bob.sessions(), 2);
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
