// What the account's message menu costs to build and to open, each against
// the bare menu calls in the same run.
//
//   menu_bench [--messages N] [--lines L] [--rounds R]   (2000, 30, 11)
//
// Build: Account::buildMenu for N messages of about ten headers and L body
// lines each, rebuilt over the previous menu as after every check. Baseline:
// the same menus created, the same number of AppendMenuA calls with the same
// texts made ready beforehand, and the previous menu destroyed: the menu
// calls alone, without reading the records or composing any text.
//
// Open: from the moment the main window starts handling the tray callback of
// a left click (WM_USER with WM_LBUTTONDOWN) to the owner's first
// WM_ENTERIDLE from the menu's modal loop, sent once the menu window is on
// screen and the loop waits for input (checked: the "#32768" window is
// visible). Account::showMenu against a bare TrackPopupMenu of the same menu
// from the same handler.
#include "accounts/Account.h"
#include "accounts/TimeOfDay.h"
#include "ui/Icons.h"
#include "ui/MessageMenu.h"
#include "ui/ProgramHandles.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void fill(Account& account, int messages, int lines) {
    for (int n = 1; n <= messages; ++n) {
        const std::string id = std::to_string(n);
        auto holder = std::make_unique<POP3::Message>(n, ("uid" + id).c_str());
        std::vector<std::string> headers = {
            "Received: from mail" + id + ".example.org (mail" + id + ".example.org [192.0.2.7])",
            "\tby pop.example.net with ESMTP id 4F2A" + id + "; Mon, 7 Dec 2026 09:05:59 +0000",
            "From: =?iso-8859-1?Q?J=F6rg_M=FCller?= <joerg" + id + "@example.org>",
            "To: Alice <alice@example.net>",
            "Subject: Figures & forecasts for week " + id,
            "Date: Mon, 7 Dec 2026 09:05:59 +0000",
            "Message-ID: <" + id + ".4F2A@mail.example.org>",
            "MIME-Version: 1.0",
            "Content-Type: text/plain; charset=iso-8859-1",
            "X-Mailer: Bench " + id,
        };
        for (std::string& line : headers)
            holder->receiveHeaderLine(line);
        for (int i = 0; i < lines; ++i) {
            std::string line = (i % 5 == 4 ? "> " : "") + std::string("Line ") + std::to_string(i) +
                               " of the text, R&D and sales, with\tsome columns and a few more words";
            holder->receiveBodyLine(line);
        }
        holder->size = holder->received + 4000;
        holder->flags = 0;
        account.messages.pushBack(holder);
    }
}

// The shape and texts of a built menu, read back, so that the baseline makes
// exactly the same calls.
struct Item {
    UINT flags;
    UINT_PTR id;
    std::string text;
    std::unique_ptr<std::vector<Item>> submenu;
};

std::vector<Item> readBack(HMENU menu, size_t& items, size_t& menus) {
    ++menus;
    std::vector<Item> read;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        ++items;
        char text[4096] = "";
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        Item item{0, 0, text, nullptr};
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        if (HMENU sub = GetSubMenu(menu, i)) {
            item.flags = MF_POPUP;
            item.submenu = std::make_unique<std::vector<Item>>(readBack(sub, items, menus));
        } else if (state & MF_SEPARATOR) {
            item.flags = MF_SEPARATOR;
        } else {
            item.flags = state & (MF_DISABLED | MF_GRAYED);
            item.id = GetMenuItemID(menu, i);
        }
        read.push_back(std::move(item));
    }
    return read;
}

HMENU bareBuild(const std::vector<Item>& items) {
    HMENU menu = CreatePopupMenu();
    for (const Item& item : items) {
        if (item.submenu)
            AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(bareBuild(*item.submenu)), item.text.c_str());
        else if (item.flags == MF_SEPARATOR)
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        else
            AppendMenuA(menu, item.flags, item.id, item.text.c_str());
    }
    return menu;
}

// ---- opening ------------------------------------------------------------

enum class Opener { account, bare };

struct Opening {
    Account* account = nullptr;
    Opener opener = Opener::account;
    Clock::time_point clicked;
    double milliseconds = -1;
    bool visible = false;
};
Opening opening;

LRESULT CALLBACK mainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_USER:
        if (lParam == WM_LBUTTONDOWN) {
            opening.clicked = Clock::now();
            if (opening.opener == Opener::account) {
                opening.account->showMenu(true);
            } else {
                POINT at;
                GetCursorPos(&at);
                SetForegroundWindow(window);
                TrackPopupMenu(opening.account->menu, TPM_RIGHTALIGN | TPM_VCENTERALIGN, at.x, at.y, 0, window,
                               nullptr);
            }
        }
        return 0;
    case WM_ENTERIDLE:
        if (wParam == MSGF_MENU && opening.milliseconds < 0) {
            opening.milliseconds = millisecondsSince(opening.clicked);
            HWND menuWindow = FindWindowA("#32768", nullptr);
            opening.visible = menuWindow && IsWindowVisible(menuWindow);
            EndMenu();
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

double clickToOpen(Account& account, Opener opener) {
    opening.account = &account;
    opening.opener = opener;
    opening.milliseconds = -1;
    opening.visible = false;
    PostMessageA(mainWindow, WM_USER, static_cast<WPARAM>(account.id), WM_LBUTTONDOWN);
    MSG message;
    const auto start = Clock::now();
    while (opening.milliseconds < 0 && millisecondsSince(start) < 30000) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } else {
            Sleep(1);
        }
    }
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
    if (opening.milliseconds < 0 || !opening.visible) {
        std::fprintf(stderr, "the menu did not open\n");
        std::exit(1);
    }
    return opening.milliseconds;
}

char* benchTime(char* buffer) {
    return std::strcpy(buffer, "09:05:59");
}

} // namespace

int main(int argc, char** argv) {
    int messages = 2000, lines = 30, rounds = 11;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--messages")
            messages = std::max(0, std::atoi(argv[i + 1]));
        else if (option == "--lines")
            lines = std::max(0, std::atoi(argv[i + 1]));
        else if (option == "--rounds")
            rounds = std::max(1, std::atoi(argv[i + 1]));
    }

    moduleInstance = GetModuleHandleA(nullptr);
    loadIcons();
    timeOfDay = benchTime;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = mainProcedure;
    windowClass.hInstance = moduleInstance;
    windowClass.lpszClassName = "PellmorMenuBench";
    RegisterClassA(&windowClass);
    mainWindow = CreateWindowExA(WS_EX_TOOLWINDOW, "PellmorMenuBench", "Pellmor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, moduleInstance, nullptr);
    SetCursorPos(900, 400);

    int status = 0;
    {
        Account account(1);
        fill(account, messages, lines);

        // Build.
        std::vector<double> built, bare;
        account.buildMenu(false);
        size_t items = 0, menus = 0;
        const std::vector<Item> shape = readBack(account.menu, items, menus);
        HMENU previous = bareBuild(shape);
        for (int round = 0; round < rounds; ++round) {
            auto start = Clock::now();
            account.buildMenu(false);
            built.push_back(millisecondsSince(start));

            start = Clock::now();
            DestroyMenu(previous);
            previous = bareBuild(shape);
            bare.push_back(millisecondsSince(start));
        }
        size_t bareItems = 0, bareMenus = 0;
        readBack(previous, bareItems, bareMenus);
        DestroyMenu(previous);
        if (bareItems != items || bareMenus != menus) {
            std::fprintf(stderr, "the baseline made other calls: %zu items in %zu menus, not %zu in %zu\n",
                         bareItems, bareMenus, items, menus);
            status = 1;
        }

        // Open.
        std::vector<double> shown, bareShown;
        // Which goes first alternates: the first opening after another
        // costs Wine more or less depending on what ran before.
        for (int round = 0; round < rounds; ++round) {
            if (round % 2 == 0)
                shown.push_back(clickToOpen(account, Opener::account));
            bareShown.push_back(clickToOpen(account, Opener::bare));
            if (round % 2 != 0)
                shown.push_back(clickToOpen(account, Opener::account));
        }

        const double buildMs = median(built), bareMs = median(bare);
        const double openMs = median(shown), bareOpenMs = median(bareShown);
        std::printf("%d messages, %d body lines each: %zu AppendMenuA calls into %zu menus, %d rounds (medians)\n",
                    messages, lines, items, menus, rounds);
        std::printf("%-34s %10s %12s %7s\n", "", "pellmor ms", "baseline ms", "ratio");
        std::printf("%-34s %10.2f %12.2f %7.2f\n", "buildMenu / bare AppendMenuA", buildMs, bareMs, buildMs / bareMs);
        std::printf("%-34s %10.2f %12.2f %7.2f\n", "left click to open menu", openMs, bareOpenMs,
                    openMs / bareOpenMs);
    }
    DestroyWindow(mainWindow);
    releaseIcons();
    return status;
}
