// demo-tour.exe: shows the demo without a display of one's own. It starts
// pellmor.exe as a debugger would, waits for the start-up check, reads the
// account's tooltip, opens the account's menu and a message's submenu, the
// options dialog (closed with Esc, which changes nothing) and the command
// menu, has each photographed, and leaves through "E&xit". It prints what
// it saw and the program's debugger traces.
//
// demo-tour.exe --store-profile USER PASSWORD PORT stores the demo's one
// profile first, with the program's own profile store; followed by
// USER PASSWORD PORT CA.DER of a server that speaks TLS from the start, it
// stores a second profile for that server and makes this prefix trust the
// CA of its certificate.
#include "accounts/AccountList.h"
#include "e2e/DebuggedProgram.h"
#include "e2e/DesktopUser.h"
#include "net/MsgException.h"
#include "support/DialogWatcher.h"
#include "support/TestCa.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

// The items of an open menu, read through its window: MN_GETHMENU, then
// GetMenuItemInfoA. Separators read as "-".
std::vector<std::string> menuItems(HWND popup) {
    std::vector<std::string> items;
    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[512] = {};
        MENUITEMINFOA item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = sizeof text;
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &item))
            items.push_back("?");
        else
            items.push_back(item.fType & MFT_SEPARATOR ? "-" : text);
    }
    return items;
}

// Asks the program that runs this one for a screenshot of the whole screen
// named `name`: when PELLMOR_SCREENSHOTS names a folder, a request file is
// written there and the PNG awaited (tools/demo/run-with-screenshots takes
// it with ImageMagick's import).
void screenshot(const std::string& name) {
    const char* folder = std::getenv("PELLMOR_SCREENSHOTS");
    if (!folder || !*folder)
        return;
    // A window just shown may still be painting its controls.
    Sleep(500);
    const std::string base = std::string(folder) + "\\" + name;
    const std::string picture = base + ".png";
    DeleteFileA(picture.c_str());
    std::ofstream(base + ".request") << name << "\n";
    waitUntil([&] { return GetFileAttributesA(picture.c_str()) != INVALID_FILE_ATTRIBUTES; }, 15000);
}

bool waitUntilGone(HWND window, DWORD milliseconds) {
    return waitUntil([&] { return !IsWindow(window); }, milliseconds);
}

void printMenu(const char* title, HWND popup) {
    const std::vector<std::string> items = menuItems(popup);
    if (items.empty()) {
        // Wine keeps a menu inside the process that made it.
        std::printf("%s: open (its items are in the screenshot)\n", title);
        return;
    }
    std::printf("%s:\n", title);
    for (const std::string& item : items)
        std::printf("    %s\n", item.c_str());
}

// The demo's profile: the server on 127.0.0.1, checked automatically
// every 10 minutes, notepad as the mail client, "&Delete" deferred. The TLS
// server's profile names it "localhost", the name its certificate carries.
int storeProfile(int argc, char** argv) {
    const auto add = [](const char* host, char** fields) {
        auto account = std::make_unique<Account>(accounts.randomId());
        account->host = host;
        account->user = fields[0];
        account->password = fields[1];
        account->port = static_cast<unsigned>(std::atoi(fields[2]));
        account->showIcon = true;
        account->checkAutomatically = true;
        account->clientCommand = "notepad.exe";
        Account& added = *account;
        accounts.append(account);
        return &added;
    };
    add("127.0.0.1", argv + 2);
    if (argc == 9) {
        add("localhost", argv + 5)->security = ConnectionSecurity::ImplicitTls;
        const std::string failed = trustTestCa(argv[8]);
        if (!failed.empty()) {
            std::fprintf(stderr, "%s\n", failed.c_str());
            return 1;
        }
    }
    try {
        accounts.saveProfiles();
    } catch (MsgException& failure) {
        std::fprintf(stderr, "%s\n", failure.message().c_str());
        return 1;
    }
    return 0;
}

// The icon's tooltip once the start-up check has ended with its summary,
// or as it is after a minute.
std::string checkedTip(HWND icon) {
    std::string tip;
    const DWORD start = GetTickCount();
    do
        tip = tooltipOf(icon, 3000);
    while (tip.find("message") == std::string::npos && GetTickCount() - start < 60000);
    return tip;
}

} // namespace

int main(int argc, char** argv) {
    if ((argc == 5 || argc == 9) && std::string(argv[1]) == "--store-profile")
        return storeProfile(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: demo-tour PELLMOR.EXE | demo-tour --store-profile USER PASSWORD PORT "
                             "[TLS-USER TLS-PASSWORD TLS-PORT CA.DER]\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    DebuggedProgram pellmor(std::string("\"") + argv[1] + "\"");
    if (!pellmor.started()) {
        std::printf("could not start %s\n", argv[1]);
        return 1;
    }
    if (!waitUntil([] { return !trayIcons().empty(); }, 30000)) {
        std::printf("no tray icon appeared within 30 s\n");
        return 1;
    }
    HWND icon = trayIcons().front();
    std::printf("tooltip: %s\n", checkedTip(icon).c_str());
    // Every profile's icon is there before the first check starts.
    const std::size_t iconCount = trayIcons().size();
    // The TLS mailbox, when the demo has one.
    for (HWND other : trayIcons())
        if (other != icon)
            std::printf("tooltip: %s\n", checkedTip(other).c_str());
    screenshot("1-tray");

    clickWindow(icon);
    if (waitForOpenMenus(1, 5000)) {
        printMenu("account menu", openMenus().front());
        screenshot("2-account-menu");
        pressKey(VK_DOWN);  // the first message
        pressKey(VK_RIGHT); // its submenu
        if (waitForOpenMenus(2, 5000)) {
            printMenu("first message", openMenus().front());
            screenshot("3-message-menu");
        }
        pressKey(VK_ESCAPE);
        pressKey(VK_ESCAPE);
        waitForOpenMenus(0, 5000);
    } else {
        std::printf("the account menu did not open\n");
    }

    clickWindow(icon, true);
    if (waitForOpenMenus(1, 5000)) {
        pressKey('O'); // &Options...
        HWND options = waitForWindow("#32770", "Pellmor Options", 10000);
        if (options) {
            std::printf("options dialog: open on the profile \"%s\"\n",
                        windowText(GetDlgItem(options, 1004)).c_str());
            screenshot("4-options");
            pressKey(VK_ESCAPE); // Cancel: the stored profile stays as it is
            waitUntilGone(options, 15000);
            // Cancel rebuilt the account from its stored profile: its icon
            // is a new one ("mail unchecked").
            waitUntilGone(icon, 5000);
            if (waitForTrayIcons(iconCount, 5000))
                icon = trayIcons().front();
            std::printf("after Esc: %s\n", tooltipOf(icon, 3000).c_str());
        } else {
            std::printf("the options dialog did not open\n");
        }
    } else {
        std::printf("the command menu did not open\n");
    }

    clickWindow(icon, true);
    if (waitForOpenMenus(1, 5000)) {
        printMenu("command menu", openMenus().front());
        screenshot("5-command-menu");
        pressKey('X'); // E&xit
    } else {
        std::printf("the command menu did not open\n");
    }
    DWORD exitCode = 0;
    const bool ended = pellmor.waitForExit(15000, exitCode);
    std::printf("debugger traces:\n");
    for (const std::string& trace : pellmor.traces()) {
        std::string line = trace;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        std::printf("    %s\n", line.c_str());
    }
    if (!ended) {
        std::printf("pellmor.exe did not end within 15 s of E&xit\n");
        return 1;
    }
    std::printf("pellmor.exe exited with code %lu; tray icons left: %u\n", exitCode,
                static_cast<unsigned>(trayIcons().size()));
    return static_cast<int>(exitCode);
}
