// The real pellmor.exe used as a person uses it: profiles in this prefix's
// registry, our scripted POP3 server on loopback, clicks on Wine's tray,
// keys into the menus, message boxes read off the screen, and the program's
// debugger output read as a debugger reads it.
#include "e2e/DesktopUser.h"
#include "e2e/PellmorRun.h"
#include "e2e/ServerProfile.h"
#include "servers/Pop3Server.h"
#include "servers/SampleMailbox.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

namespace {

int countLines(const std::vector<std::string>& lines, const std::string& prefix) {
    return static_cast<int>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

// The class of the window that owns a box: the program's hidden window.
std::string ownerClass(HWND box) {
    char name[64] = {};
    GetClassNameA(GetWindow(box, GW_OWNER), name, sizeof name);
    return name;
}

class EndToEnd : public testing::Test {
protected:
    void TearDown() override {
        removeStoredProfiles();
        waitForTrayIcons(0, 5000);
    }
};

TEST_F(EndToEnd, StartUpChecksEveryAccountAndExitRemovesEveryIcon) {
    Pop3Server ann(sampleMailbox(2), settingsFor("ann"));
    Pop3Server bob(sampleMailbox(3, 7), settingsFor("bob"));
    Profile second = profileFor(bob);
    second.colour = 4;
    writeProfiles({profileFor(ann), second});
    PellmorRun run;
    ASSERT_TRUE(run.program().started());
    HWND annIcon = run.iconShowing("ann", "2 messages - 2 new (", 30000);
    HWND bobIcon = run.iconShowing("bob", "3 messages - 3 new (", 30000);
    ASSERT_NE(annIcon, nullptr) << run.tooltipOf("ann");
    ASSERT_NE(bobIcon, nullptr) << run.tooltipOf("bob");
    EXPECT_EQ(trayIcons().size(), 2u);
    screenshot("startup-tray");
    EXPECT_EQ(ann.sessions(), 1);
    EXPECT_EQ(bob.sessions(), 1);
    EXPECT_EQ(ann.transcript().back(), "quit");
    // The reply texts that contain a blank reach the debugger.
    EXPECT_TRUE(run.program().waitForTrace("ann's maildrop has 2 messages", 1000));
    EXPECT_TRUE(run.program().waitForTrace("bob's maildrop has 3 messages", 1000));

    EXPECT_EQ(run.exitThrough(bobIcon), 0);
    EXPECT_TRUE(waitForTrayIcons(0, 5000)) << trayIcons().size();
}

TEST_F(EndToEnd, LeftClickListsTheMessagesAndDeferredDeleteWaitsForTheNextCheck) {
    Pop3Server server(sampleMailbox(3), settingsFor("ann"));
    writeProfiles({profileFor(server)});
    PellmorRun run;
    HWND icon = run.iconShowing("ann", "3 messages - 3 new", 30000);
    ASSERT_NE(icon, nullptr) << run.tooltipOf("ann");
    server.clearTranscript();

    clickWindow(icon);
    ASSERT_TRUE(waitForOpenMenus(1, 5000));
    screenshot("account-menu");
    pressKey(VK_DOWN);
    pressKey(VK_RIGHT);
    ASSERT_TRUE(waitForOpenMenus(2, 5000));
    screenshot("message-menu");
    // "&Delete" is the submenu's last item: up from the first wraps to it.
    pressKey(VK_UP);
    pressKey(VK_RETURN);
    EXPECT_TRUE(run.program().waitForTrace("selected = ", 3000));
    // The menu opens again where it was, without the message marked.
    Sleep(500);
    ASSERT_TRUE(waitForOpenMenus(1, 5000));
    screenshot("after-deferred-delete");
    pressKey(VK_ESCAPE);
    ASSERT_TRUE(waitForNoOpenMenu(5000));
    // Looked at, the messages are no longer new; nothing is deleted yet.
    EXPECT_NE(run.iconShowing("ann", "2 messages (", 5000), nullptr) << run.tooltipOf("ann");
    EXPECT_EQ(countLines(server.transcript(), "dele"), 0);

    ASSERT_TRUE(run.chooseCommand(icon, 'C')); // "&Check now"
    EXPECT_NE(run.iconShowing("ann", "2 messages (", 15000), nullptr) << run.tooltipOf("ann");
    const std::vector<std::string> lines = server.transcript();
    EXPECT_EQ(countLines(lines, "dele "), 1);
    EXPECT_EQ(countLines(lines, "dele 1"), 1);
    EXPECT_EQ(server.uids().size(), 2u);
    EXPECT_EQ(run.exitThrough(icon), 0);
}

TEST_F(EndToEnd, ImmediateDeleteSendsExactlyOneDele) {
    Pop3Server server(sampleMailbox(2), settingsFor("ann"));
    Profile profile = profileFor(server);
    profile.deleteImmediately = true;
    writeProfiles({profile});
    PellmorRun run;
    HWND icon = run.iconShowing("ann", "2 messages - 2 new", 30000);
    ASSERT_NE(icon, nullptr) << run.tooltipOf("ann");
    server.clearTranscript();
    clickWindow(icon);
    ASSERT_TRUE(waitForOpenMenus(1, 5000));
    pressKey(VK_DOWN);
    pressKey(VK_DOWN); // the second message
    pressKey(VK_RIGHT);
    ASSERT_TRUE(waitForOpenMenus(2, 5000));
    pressKey(VK_UP); // "&Delete", the last item
    pressKey(VK_RETURN);
    // Deleted at once, by a check; then the menu opens again.
    Sleep(500);
    ASSERT_TRUE(waitForOpenMenus(1, 15000));
    screenshot("after-immediate-delete");
    pressKey(VK_ESCAPE);
    ASSERT_TRUE(waitForNoOpenMenu(5000));
    EXPECT_NE(run.iconShowing("ann", "1 message (", 15000), nullptr) << run.tooltipOf("ann");
    const std::vector<std::string> lines = server.transcript();
    EXPECT_EQ(countLines(lines, "dele "), 1);
    EXPECT_EQ(countLines(lines, "dele 2"), 1);
    EXPECT_EQ(server.uids().size(), 1u);
    EXPECT_EQ(run.exitThrough(icon), 0);
}

TEST_F(EndToEnd, CheckNowActsOnTheIconThatWasRightClicked) {
    Pop3Server ann(sampleMailbox(1), settingsFor("ann"));
    Pop3Server bob(sampleMailbox(1), settingsFor("bob"));
    Profile second = profileFor(bob);
    second.colour = 3;
    writeProfiles({profileFor(ann), second});
    PellmorRun run;
    HWND annIcon = run.iconShowing("ann", "1 message - 1 new", 30000);
    HWND bobIcon = run.iconShowing("bob", "1 message - 1 new", 30000);
    ASSERT_TRUE(annIcon && bobIcon);
    bob.add(sampleMessage(9, 3));
    ASSERT_TRUE(run.chooseCommand(bobIcon, 'C', "command-menu"));
    EXPECT_NE(run.iconShowing("bob", "2 messages - 2 new", 15000), nullptr) << run.tooltipOf("bob");
    EXPECT_EQ(bob.sessions(), 2);
    EXPECT_EQ(ann.sessions(), 1);
    EXPECT_EQ(run.exitThrough(annIcon), 0);
}

TEST_F(EndToEnd, LaunchClientStartsTheCommandOrShowsTheSystemsError) {
    char folder[MAX_PATH] = {};
    GetTempPathA(sizeof folder, folder);
    const std::string marker = std::string(folder) + "pellmor-e2e-client.txt";
    DeleteFileA(marker.c_str());
    Pop3Server server(sampleMailbox(1), settingsFor("ann"));
    Profile working = profileFor(server);
    working.clientCommand = "cmd.exe /c echo started> \"" + marker + "\"";
    Pop3Server other(sampleMailbox(1), settingsFor("bob"));
    Profile empty = profileFor(other);
    empty.colour = 2;
    writeProfiles({working, empty});
    PellmorRun run;
    HWND annIcon = run.iconShowing("ann", "1 message", 30000);
    HWND bobIcon = run.iconShowing("bob", "1 message", 30000);
    ASSERT_TRUE(annIcon && bobIcon);

    ASSERT_TRUE(run.chooseCommand(annIcon, 'L'));
    bool started = false;
    for (int i = 0; i < 100 && !started; ++i) {
        started = GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
        Sleep(100);
    }
    EXPECT_TRUE(started) << marker;
    DeleteFileA(marker.c_str());

    ASSERT_TRUE(run.chooseCommand(bobIcon, 'L'));
    HWND box = waitForWindow("#32770", "Failed to launch client", 5000);
    ASSERT_NE(box, nullptr);
    screenshot("launch-failed");
    EXPECT_EQ(ownerClass(box), "Pellmor");
    EXPECT_EQ(messageBoxText(box).rfind("Windows error #", 0), 0u) << messageBoxText(box);
    EXPECT_GT(messageBoxText(box).size(), std::string("Windows error #2: ").size()) << messageBoxText(box);
    pressKey(VK_RETURN);
    const DWORD start = GetTickCount();
    while (IsWindow(box) && GetTickCount() - start < 5000)
        Sleep(50);
    EXPECT_FALSE(IsWindow(box));
    // Still running and answering.
    EXPECT_EQ(run.exitThrough(annIcon), 0);
}

TEST_F(EndToEnd, AboutBoxOpensCentredAndClosesWithOkAndEscape) {
    Pop3Server server(sampleMailbox(1), settingsFor("ann"));
    writeProfiles({profileFor(server)});
    PellmorRun run;
    HWND icon = run.iconShowing("ann", "1 message", 30000);
    ASSERT_NE(icon, nullptr);
    for (WORD closeKey : {WORD(VK_RETURN), WORD(VK_ESCAPE)}) {
        ASSERT_TRUE(run.chooseCommand(icon, 'A'));
        HWND about = waitForWindow("#32770", "About Pellmor", 5000);
        ASSERT_NE(about, nullptr);
        RECT box{}, screen{};
        GetWindowRect(about, &box);
        GetWindowRect(GetDesktopWindow(), &screen);
        EXPECT_EQ(box.left, (screen.right - (box.right - box.left)) / 2);
        EXPECT_EQ(box.top, (screen.bottom - (box.bottom - box.top)) / 2);
        if (closeKey == VK_RETURN) {
            screenshot("about");
            // Asked for again from the tray while open: still one box,
            // brought to the front, and it keeps the keyboard.
            ASSERT_TRUE(run.chooseCommand(icon, 'A'));
            Sleep(500);
            int boxes = 0;
            for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", "About Pellmor"); w;
                 w = FindWindowExA(nullptr, w, "#32770", "About Pellmor"))
                boxes += IsWindowVisible(w) ? 1 : 0;
            EXPECT_EQ(boxes, 1);
            EXPECT_EQ(GetForegroundWindow(), about);
        }
        pressKey(closeKey);
        const DWORD start = GetTickCount();
        while (IsWindow(about) && GetTickCount() - start < 5000)
            Sleep(50);
        EXPECT_FALSE(IsWindow(about)) << closeKey;
    }
    EXPECT_EQ(run.exitThrough(icon), 0);
}

TEST_F(EndToEnd, WrongPasswordAndABrokenReplyLeaveTheProgramAnswering) {
    Pop3Server ann(sampleMailbox(1), settingsFor("ann"));
    Pop3Server bob(sampleMailbox(2), settingsFor("bob"));
    bob.closeAfter("top 2", 10);
    Profile wrong = profileFor(ann);
    wrong.password = "not-it";
    Profile broken = profileFor(bob);
    broken.colour = 1;
    writeProfiles({wrong, broken});
    PellmorRun run;
    HWND annIcon = run.iconShowing("ann", "authorization failed (", 30000);
    // The reply breaks off: the session's socket fails.
    HWND bobIcon = run.iconShowing("bob", "socket error (", 30000);
    EXPECT_NE(annIcon, nullptr) << run.tooltipOf("ann");
    ASSERT_NE(bobIcon, nullptr) << run.tooltipOf("bob");
    screenshot("errors-tray");
    // The server's refusal reaches the debugger as its reply text.
    EXPECT_TRUE(run.program().waitForTrace("invalid user name or password", 1000));
    // The account stays usable: once the server behaves, a check succeeds.
    bob.clearFaults();
    ASSERT_TRUE(run.chooseCommand(bobIcon, 'C'));
    EXPECT_NE(run.iconShowing("bob", "2 messages", 15000), nullptr) << run.tooltipOf("bob");
    EXPECT_EQ(run.exitThrough(bobIcon), 0);
}

// A check blocks the program until the socket's time-out (a minute); then
// the account shows the error and the program answers again.
TEST_F(EndToEnd, AStalledServerEndsInAnErrorAfterTheTimeOut) {
    Pop3ServerSettings settings = settingsFor("ann");
    settings.stallLimit = std::chrono::milliseconds(90000);
    Pop3Server server(sampleMailbox(1), settings);
    server.stallAfter("uidl", 0);
    writeProfiles({profileFor(server)});
    PellmorRun run;
    HWND icon = run.iconShowing("ann", "receiving headers... (", 20000);
    ASSERT_NE(icon, nullptr) << run.tooltipOf("ann");
    screenshot("stalled-check");
    const DWORD start = GetTickCount();
    icon = run.iconShowing("ann", "socket error (", 90000);
    ASSERT_NE(icon, nullptr) << run.tooltipOf("ann");
    EXPECT_GE(GetTickCount() - start, 30000u);
    server.clearFaults();
    ASSERT_TRUE(run.chooseCommand(icon, 'C'));
    EXPECT_NE(run.iconShowing("ann", "1 message - 1 new (", 15000), nullptr) << run.tooltipOf("ann");
    EXPECT_EQ(run.exitThrough(icon), 0);
}

// The registry fails for real: the program's key is volatile, and the
// system refuses to create a lasting key (AccountProfiles) under it.
TEST_F(EndToEnd, ARegistryFailureWhileLoadingShowsPellmorExceptionAndEndsWithOne) {
    removeStoredProfiles();
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Harrowden\\Pellmor\\1.0", 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    RegCloseKey(key);
    HKEY child = nullptr;
    const LONG refused = RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Harrowden\\Pellmor\\1.0\\AccountProfiles", &child);
    ASSERT_EQ(refused, ERROR_CHILD_MUST_BE_VOLATILE);

    PellmorRun run;
    HWND box = waitForWindow("#32770", "Pellmor Exception", 20000);
    ASSERT_NE(box, nullptr);
    screenshot("registry-failure");
    EXPECT_EQ(ownerClass(box), "Pellmor");
    EXPECT_EQ(messageBoxText(box).rfind("Windows error #1021: ", 0), 0u) << messageBoxText(box);
    pressKey(VK_RETURN);
    DWORD code = 0;
    ASSERT_TRUE(run.program().waitForExit(15000, code));
    EXPECT_EQ(code, 1u);
    EXPECT_TRUE(trayIcons().empty());
}

} // namespace
