// The real pellmor.exe used as a person uses it: profiles stored in this
// prefix's registry by the program's own profile store, scripted POP3
// servers and the Dovecot of the "dovecot" fixture on loopback, clicks on
// Wine's tray, keys into the menus and the options dialog, and the program's
// debugger output.
#include "accounts/AccountList.h"
#include "accounts/ProfileStore.h"
#include "e2e/DebuggedProgram.h"
#include "e2e/DesktopUser.h"
#include "servers/Pop3Server.h"
#include "servers/SampleMailbox.h"
#include "support/DialogWatcher.h"
#include "support/DovecotInfo.h"
#include "ui/resource.h"

#include <gtest/gtest.h>

#include <shlwapi.h>


namespace {

const std::string pellmorExe = std::string("\"") + PELLMOR_EXE_PATH + "\"";

// A profile with its icon shown in the program's own account list, to be
// stored by the program's own profile store.
Account& addProfile(const std::string& user, const std::string& password, unsigned port,
                    const char* host = "127.0.0.1") {
    auto account = std::make_unique<Account>(accounts.randomId());
    account->host = host;
    account->user = user;
    account->password = password;
    account->port = port;
    account->showIcon = true;
    accounts.append(account);
    return *accounts.at(accounts.size() - 1);
}

std::string storedLine(const char* number) {
    char line[1000] = "";
    DWORD size = sizeof line;
    RegGetValueA(HKEY_CURRENT_USER, profileKeyPath, number, RRF_RT_REG_SZ, nullptr, line, &size);
    return line;
}

// The tray icon whose tooltip starts with `title` and contains `text`, or
// null after `milliseconds`; `tip` keeps the last tooltip seen.
HWND iconShowing(const std::string& title, const std::string& text, std::string& tip,
                 DWORD milliseconds = 30000) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(100))
        for (HWND icon : trayIcons())
            if ((tip = tooltipOf(icon, 2500)).starts_with(title) && tip.find(text) != tip.npos)
                return icon;
    return nullptr;
}

// The item with access key `key` in the command menu of `icon`; answers
// whether the menu opened and closed.
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

HWND openOptions(HWND icon) {
    return chooseCommand(icon, 'O') ? waitForWindow("#32770", "Pellmor Options", 10000) : nullptr;
}

bool closeWith(HWND dialog, int button) {
    clickWindow(GetDlgItem(dialog, button));
    return waitUntil([&] { return !IsWindow(dialog); }, 10000);
}

long exitThrough(DebuggedProgram& pellmor, HWND icon) {
    DWORD code = 0;
    return chooseCommand(icon, 'X') && pellmor.waitForExit(20000, code) ? static_cast<long>(code)
                                                                        : -1;
}

// Clicks into a field of the dialog and types over its whole text (the
// stored profile shows what arrived).
void typeInto(HWND dialog, int id, const std::string& text) {
    HWND field = GetDlgItem(dialog, id);
    clickWindow(field);
    // Keys go to the window that had the focus when they were sent.
    ASSERT_TRUE(waitUntil([&] { return focusOf(dialog) == field; }, 2000)) << id;
    pressKey(VK_END);
    for (std::size_t left = windowText(field).size(); left > 0; --left)
        pressKey(VK_BACK);
    for (char c : text)
        pressKey(LOBYTE(VkKeyScanA(c)));
}

class EndToEnd : public testing::Test {
protected:
    void SetUp() override { SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Harrowden"); }
    void TearDown() override { EXPECT_TRUE(waitForTrayIcons(0, 5000)) << "icons outlive it"; }

    std::string tip; // the last tooltip seen, for a failure's message
};

// The profiles are checked at the start. "&Delete" on bob's second message
// waits for the next check, which a second start asks of the running
// Pellmor. Icons deleted as a shell restart leaves them come back. OK in the
// options stores what was typed, and the next start logs in with it. A
// server that never says a word holds neither the menu nor the exit: the
// check is not on the window's thread (the socket's time-out is a minute;
// Wine's tray takes 2 s to take a program's last icon away).
TEST_F(EndToEnd, ChecksDeletesHandsOverComesBackAndStartsWithTheNewOptions) {
    Pop3Server ann(sampleMailbox(2), {.user = "ann", .password = "pw-ann"});
    Pop3Server bob(sampleMailbox(3, 7), {.user = "bob", .password = "pw-bob"});
    Pop3Server carl(sampleMailbox(1), {.user = "carl", .password = "pw-carl"});
    Pop3Server stuck(sampleMailbox(1), {.user = "stuck"});
    stuck.fault(Pop3Server::greeting, "", Pop3Server::Stall);
    for (const Pop3Server* server : {&ann, &bob, &stuck})
        addProfile(server->user(), server->password(), server->port());
    accounts.saveProfiles();
    accounts.clear();
    {
        DebuggedProgram pellmor(pellmorExe);
        ASSERT_NE(iconShowing("ann@", "2 messages - 2 new (", tip), nullptr) << tip;
        HWND bobIcon = iconShowing("bob@", "3 messages - 3 new (", tip);
        ASSERT_NE(bobIcon, nullptr) << tip;
        // The server's replies are traced for a debugger to follow.
        EXPECT_TRUE(pellmor.waitForTrace("bob's maildrop has 3 messages", 1000));

        clickWindow(bobIcon);
        ASSERT_TRUE(waitForOpenMenus(1, 5000));
        // "&Delete" is the submenu's last item: up from the first wraps to it.
        for (WORD key : {VK_DOWN, VK_DOWN, VK_RIGHT, VK_UP, VK_RETURN})
            pressKey(key);
        // The menu closes and opens again where it was.
        ASSERT_TRUE(pellmor.waitForTrace("selected = ", 3000));
        ASSERT_TRUE(waitForOpenMenus(1, 5000));
        pressKey(VK_ESCAPE);
        ASSERT_TRUE(waitForOpenMenus(0, 5000));
        EXPECT_EQ(bob.sessions(), 1) << "deferred: nothing is sent before the next check";

        DWORD code = 1;
        EXPECT_TRUE(DebuggedProgram(pellmorExe).waitForExit(15000, code) && code == 0) << code;
        EXPECT_NE(iconShowing("bob@", "2 messages (", tip, 15000), nullptr) << tip;
        std::vector<std::string> deletes = bob.transcript();
        std::erase_if(deletes, [](const std::string& line) { return !line.starts_with("dele"); });
        EXPECT_EQ(deletes, std::vector<std::string>{"dele 2"});

        // What a shell restart leaves: no icon of ours (the account's id is
        // one of 1 to 100), then its broadcast.
        NOTIFYICONDATAA gone{};
        gone.cbSize = NOTIFYICONDATAA_V1_SIZE;
        gone.hWnd = FindWindowA("Pellmor", "Pellmor");
        for (gone.uID = 1; gone.uID <= 100; ++gone.uID)
            Shell_NotifyIconA(NIM_DELETE, &gone);
        ASSERT_TRUE(waitForTrayIcons(0, 5000));
        SendNotifyMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
        ASSERT_TRUE(waitForTrayIcons(3, 5000));

        bobIcon = iconShowing("bob@", "2 messages (", tip, 5000);
        HWND options = openOptions(bobIcon);
        ASSERT_NE(options, nullptr) << tip;
        typeInto(options, IDC_USER, "carl");
        typeInto(options, IDC_PASSWORD, "pw-carl");
        typeInto(options, IDC_PORT, std::to_string(carl.port()));
        typeInto(options, IDC_CLIENT_COMMAND, "mua.exe");
        clickWindow(GetDlgItem(options, IDC_DELETE_IMMEDIATELY));
        ASSERT_TRUE(closeWith(options, IDOK)) << "the dialog stays";

        Account& expected = addProfile("carl", "pw-carl", carl.port());
        expected.clientCommand = "mua.exe";
        expected.deleteImmediately = true;
        EXPECT_EQ(storedLine("1"), formatProfileLine(expected));
        accounts.clear();
        EXPECT_EQ(exitThrough(pellmor, bobIcon), 0);
    }
    DebuggedProgram pellmor(pellmorExe);
    HWND icon = iconShowing("carl@", "1 message - 1 new (", tip);
    ASSERT_NE(icon, nullptr) << tip;
    EXPECT_NE(iconShowing("stuck@", "connecting...", tip, 5000), nullptr) << tip;
    const DWORD start = GetTickCount();
    EXPECT_EQ(exitThrough(pellmor, icon), 0);
    EXPECT_LT(GetTickCount() - start, 6000u);
}

// The Dovecot of the "dovecot" fixture shows a self-signed certificate on
// 127.0.0.2: refused until the user trusts it in the options, then the check
// goes over implicit TLS. Tests of net/ delete messages there: any count is
// new.
TEST_F(EndToEnd, ASelfSignedCertificateTrustedInTheOptionsChecksOverTls) {
    addProfile("alice", dovecotValue("password"), std::stoul(dovecotValue("tlsPort")), "127.0.0.2")
        .security = ConnectionSecurity::ImplicitTls;
    accounts.saveProfiles();
    accounts.clear();

    DebuggedProgram pellmor(pellmorExe);
    HWND alice = iconShowing("alice@127.0.0.2 - certificate not trusted (", "", tip);
    HWND options = openOptions(alice);
    ASSERT_NE(options, nullptr) << tip;
    clickWindow(GetDlgItem(options, IDC_TRUST_CERTIFICATE));
    HWND box = nullptr;
    ASSERT_TRUE(waitUntil(
        [&] { return GetWindow(box = GetForegroundWindow(), GW_OWNER) == options; }, 10000));
    ASSERT_TRUE(closeWith(box, IDYES));
    ASSERT_TRUE(closeWith(options, IDOK));
    EXPECT_TRUE(storedLine("0").ends_with("di:" + dovecotValue("pinnedFingerprint")))
        << storedLine("0");

    ASSERT_TRUE(chooseCommand(alice, 'C')); // "&Check now"
    EXPECT_NE(iconShowing("alice@127.0.0.2 - ", " new (", tip), nullptr) << tip;
    EXPECT_EQ(exitThrough(pellmor, alice), 0);
}

// A failure at the start (here the registry's: a lasting key cannot be made
// under a volatile one) is shown in a box owned by the main window, and the
// program ends with 1.
TEST_F(EndToEnd, AFailureAtTheStartIsShownAndEndsWithOne) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Harrowden\\Pellmor\\1.0", 0, nullptr,
                    REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegCloseKey(key);
    DebuggedProgram pellmor(pellmorExe);
    HWND box = waitForWindow("#32770", "Pellmor Exception", 20000);
    EXPECT_EQ(windowClassName(GetWindow(box, GW_OWNER)), "Pellmor");
    ASSERT_TRUE(closeWith(box, IDOK));
    DWORD code = 0;
    EXPECT_TRUE(pellmor.waitForExit(15000, code) && code == 1) << code;
}

} // namespace
