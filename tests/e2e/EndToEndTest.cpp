// The real pellmor.exe used as a person uses it: profiles in this prefix's
// registry, our scripted POP3 server on loopback, clicks on Wine's tray,
// keys into the menus and the options dialog, and the program's debugger
// output read as a debugger reads it.
#include "accounts/Account.h"
#include "accounts/ProfileLine.h"
#include "e2e/DesktopUser.h"
#include "e2e/PellmorRun.h"
#include "servers/SampleMailbox.h"
#include "support/DialogWatcher.h"
#include "ui/resource.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

namespace {

Pop3ServerSettings settingsFor(const std::string& user) {
    Pop3ServerSettings settings;
    settings.user = user;
    settings.password = "pw-" + user;
    return settings;
}

std::vector<std::string> linesStartingWith(const Pop3Server& server, const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& line : server.transcript())
        if (line.rfind(prefix, 0) == 0)
            found.push_back(line);
    return found;
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
}

class EndToEnd : public testing::Test {
protected:
    void SetUp() override { SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Harrowden"); }
    void TearDown() override { waitForTrayIcons(0, 5000); }
};

TEST_F(EndToEnd, StartUpChecksEveryAccountAndADeferredDeleteSendsOneDeleAtTheNextCheck) {
    Pop3Server ann(sampleMailbox(2), settingsFor("ann"));
    Pop3Server bob(sampleMailbox(3, 7), settingsFor("bob"));
    storeProfiles({&ann, &bob});
    PellmorRun run;
    HWND annIcon = run.iconShowing("ann", "2 messages - 2 new (", 30000);
    HWND bobIcon = run.iconShowing("bob", "3 messages - 3 new (", 30000);
    ASSERT_NE(annIcon, nullptr) << run.tooltipOf("ann");
    ASSERT_NE(bobIcon, nullptr) << run.tooltipOf("bob");
    EXPECT_EQ(trayIcons().size(), 2u);
    EXPECT_EQ(ann.sessions(), 1);
    EXPECT_EQ(ann.transcript().back(), "quit");
    // The reply texts that contain a blank reach the debugger.
    EXPECT_TRUE(run.program.waitForTrace("bob's maildrop has 3 messages", 1000));

    // "&Delete" on the second of bob's messages, through his icon's menu.
    std::vector<std::string> uids = bob.uids();
    clickWindow(bobIcon);
    ASSERT_TRUE(waitForOpenMenus(1, 5000));
    pressKey(VK_DOWN);
    pressKey(VK_DOWN);
    pressKey(VK_RIGHT);
    ASSERT_TRUE(waitForOpenMenus(2, 5000));
    // "&Delete" is the submenu's last item: up from the first wraps to it.
    pressKey(VK_UP);
    pressKey(VK_RETURN);
    // The menu closes and opens again where it was.
    ASSERT_TRUE(run.program.waitForTrace("selected = ", 3000));
    ASSERT_TRUE(waitForOpenMenus(1, 5000));
    pressKey(VK_ESCAPE);
    ASSERT_TRUE(waitForOpenMenus(0, 5000));
    EXPECT_EQ(bob.sessions(), 1) << "deferred: nothing is sent before the next check";

    ASSERT_TRUE(run.chooseCommand(bobIcon, 'C')); // "&Check now"
    EXPECT_NE(run.iconShowing("bob", "2 messages (", 15000), nullptr) << run.tooltipOf("bob");
    EXPECT_EQ(linesStartingWith(bob, "dele"), std::vector<std::string>{"dele 2"});
    uids.erase(uids.begin() + 1);
    EXPECT_EQ(bob.uids(), uids);
    EXPECT_EQ(ann.sessions(), 1);

    EXPECT_EQ(run.exitThrough(annIcon), 0);
    EXPECT_TRUE(waitForTrayIcons(0, 5000)) << trayIcons().size();
}

// The dialog of the real program, filled in by mouse and keys: OK stores
// what was typed, and the next start logs in with it.
TEST_F(EndToEnd, OptionsSavedWithOkAreWhatTheNextStartUses) {
    Pop3Server ann(sampleMailbox(1), settingsFor("ann"));
    Pop3Server carl(sampleMailbox(2), settingsFor("carl"));
    storeProfiles({&ann});
    {
        PellmorRun run;
        HWND icon = run.iconShowing("ann", "1 message - 1 new (", 30000);
        ASSERT_NE(icon, nullptr) << run.tooltipOf("ann");
        ASSERT_TRUE(run.chooseCommand(icon, 'O'));
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
        ASSERT_TRUE(waitUntil([&] { return !IsWindow(options); }, 5000));

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
        EXPECT_EQ(run.exitThrough(trayIcons().front()), 0);
    }
    PellmorRun again;
    HWND icon = again.iconShowing("carl", "2 messages - 2 new (", 30000);
    ASSERT_NE(icon, nullptr) << again.tooltipOf("carl");
    EXPECT_EQ(ann.sessions(), 1);
    EXPECT_EQ(again.exitThrough(icon), 0);
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
    PellmorRun run;
    HWND box = waitForWindow("#32770", "Pellmor Exception", 20000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(windowClassName(GetWindow(box, GW_OWNER)), "Pellmor");
    EXPECT_EQ(messageBoxText(box).rfind("Windows error #1021: ", 0), 0u) << messageBoxText(box);
    pressKey(VK_RETURN);
    DWORD code = 0;
    ASSERT_TRUE(run.program.waitForExit(15000, code));
    EXPECT_EQ(code, 1u);
    EXPECT_TRUE(trayIcons().empty());
}

} // namespace
