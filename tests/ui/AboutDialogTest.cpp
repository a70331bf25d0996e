// The About box as the user meets it: where it opens, what it shows, how it
// closes, and what a second request does while it is open.
#include "support/DialogWatcher.h"
#include "ui/AboutDialog.h"
#include "ui/MainWindow.h"
#include "ui/ModalDialog.h"
#include "ui/ProgramHandles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

INT_PTR runAbout() {
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(105), nullptr, AboutDialog, 0);
}

// A key pressed while the dialog has the focus, as the dialog's own loop
// receives it.
void pressKey(HWND dialog, WPARAM key) {
    HWND focus = GetFocus();
    PostMessageA(focus ? focus : dialog, WM_KEYDOWN, key, 0);
}

RECT dialogUnits(HWND dialog, int x, int y, int width, int height) {
    // The system converts the position and the size each on its own, so
    // the right edge is the converted x plus the converted width.
    RECT r{x, y, width, height};
    MapDialogRect(dialog, &r);
    return {r.left, r.top, r.left + r.right, r.top + r.bottom};
}

RECT clientRectOf(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void expectRect(const RECT& got, const RECT& expected, const char* what) {
    EXPECT_EQ(got.left, expected.left) << what;
    EXPECT_EQ(got.top, expected.top) << what;
    EXPECT_EQ(got.right, expected.right) << what;
    EXPECT_EQ(got.bottom, expected.bottom) << what;
}

TEST(AboutDialog, OpensCentredOnTheScreenWithItsControlsInTabOrder) {
    moduleInstance = GetModuleHandleA(nullptr);
    DialogWatcher watcher([](HWND dialog) {
        EXPECT_EQ(windowText(dialog), "About Pellmor");
        EXPECT_EQ(GetParent(dialog), nullptr);
        RECT screen{}, box{};
        GetWindowRect(GetDesktopWindow(), &screen);
        GetWindowRect(dialog, &box);
        EXPECT_EQ(box.left, screen.left + ((screen.right - screen.left) - (box.right - box.left)) / 2);
        EXPECT_EQ(box.top, screen.top + ((screen.bottom - screen.top) - (box.bottom - box.top)) / 2);
        RECT client{};
        GetClientRect(dialog, &client);
        const RECT size = dialogUnits(dialog, 0, 0, 186, 90);
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);
        const LONG_PTR style = GetWindowLongPtrA(dialog, GWL_STYLE);
        EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU), WS_POPUP | WS_CAPTION | WS_SYSMENU);

        // The controls in creation (tab) order, with their places.
        std::vector<HWND> controls;
        for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            controls.push_back(c);
        ASSERT_EQ(controls.size(), 4u);
        EXPECT_EQ(GetDlgCtrlID(controls[0]), IDOK);
        EXPECT_EQ(windowText(controls[0]), "OK");
        EXPECT_EQ(GetWindowLongPtrA(controls[0], GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
        expectRect(clientRectOf(controls[0]), dialogUnits(dialog, 125, 10, 50, 14), "OK");
        EXPECT_EQ(windowText(controls[1]), "Pellmor 1.1");
        EXPECT_EQ(static_cast<WORD>(GetDlgCtrlID(controls[1])), 0xFFFF);
        expectRect(clientRectOf(controls[1]), dialogUnits(dialog, 25, 15, 42, 8), "version");
        EXPECT_EQ(GetDlgCtrlID(controls[2]), 1022);
        const LONG_PTR edit = GetWindowLongPtrA(controls[2], GWL_STYLE);
        const LONG_PTR wanted = ES_MULTILINE | ES_CENTER | ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP;
        EXPECT_EQ(edit & wanted, wanted) << std::hex << edit;
        EXPECT_TRUE((edit & WS_BORDER) || (GetWindowLongPtrA(controls[2], GWL_EXSTYLE) & WS_EX_CLIENTEDGE));
        expectRect(clientRectOf(controls[2]), dialogUnits(dialog, 10, 50, 165, 30), "addresses");
        EXPECT_EQ(static_cast<WORD>(GetDlgCtrlID(controls[3])), 0xFFFF);
        EXPECT_FALSE(windowText(controls[3]).empty());
        expectRect(clientRectOf(controls[3]), dialogUnits(dialog, 25, 30, 90, 8), "notice");

        // Web page, one empty line, mail link: each part on its own line.
        const std::string addresses = windowText(controls[2]);
        const auto gap = addresses.find("\r\n\r\n");
        ASSERT_NE(gap, std::string::npos) << addresses;
        EXPECT_EQ(addresses.rfind("http", 0), 0u) << addresses;
        EXPECT_EQ(addresses.substr(gap + 4).rfind("mailto:", 0), 0u) << addresses;
        EXPECT_EQ(SendMessageA(controls[2], EM_GETLINECOUNT, 0, 0), 3);

        EXPECT_EQ(GetFocus(), controls[0]);
        pressKey(dialog, VK_RETURN);
    });
    EXPECT_EQ(runAbout(), 1);
    EXPECT_EQ(watcher.seen.size(), 1u);
    EXPECT_FALSE(watcher.timedOut);
}

TEST(AboutDialog, EscapeAndTheCloseBoxEndItWithZero) {
    {
        DialogWatcher watcher([](HWND dialog) { pressKey(dialog, VK_ESCAPE); });
        EXPECT_EQ(runAbout(), 0);
        EXPECT_FALSE(watcher.timedOut);
    }
    {
        DialogWatcher watcher([](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); });
        EXPECT_EQ(runAbout(), 0);
        EXPECT_FALSE(watcher.timedOut);
    }
}

// Decision: while one of the program's dialogs is open, asking for another
// brings the open one to the front and opens nothing.
TEST(AboutDialog, ASecondRequestWhileOpenBringsTheFirstToTheFront) {
    moduleInstance = GetModuleHandleA(nullptr);
    MainWindow::registerClass(moduleInstance);
    HWND window = MainWindow::create(moduleInstance);
    ASSERT_NE(window, nullptr);
    std::size_t dialogsDuringSecond = 0;
    HWND open = nullptr;
    DialogWatcher watcher([&](HWND dialog) {
        open = openModalDialog();
        EXPECT_EQ(open, dialog);
        SetForegroundWindow(window);
        EXPECT_TRUE(MainWindow::onCommand(window, 40004));
        dialogsDuringSecond = threadDialogs().size();
        EXPECT_EQ(GetForegroundWindow(), dialog);
        pressKey(dialog, VK_ESCAPE);
    });
    EXPECT_TRUE(MainWindow::onCommand(window, 40004));
    EXPECT_EQ(watcher.seen.size(), 1u);
    EXPECT_EQ(dialogsDuringSecond, 1u);
    EXPECT_NE(open, nullptr);
    EXPECT_EQ(openModalDialog(), nullptr);
    // Closed, it can be opened again.
    DialogWatcher again([](HWND dialog) { pressKey(dialog, VK_ESCAPE); });
    EXPECT_TRUE(runModalDialog(105, AboutDialog));
    EXPECT_EQ(again.seen.size(), 1u);
    DestroyWindow(window);
    MSG message;
    PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

} // namespace
