// Centring over the parent, or the screen, with the arithmetic's edges.
#include "ui/CenterDialog.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

HWND popup(HWND owner, int x, int y, int width, int height) {
    static const bool registered = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "PellmorCentreTest";
        return RegisterClassA(&windowClass) != 0;
    }();
    EXPECT_TRUE(registered);
    return CreateWindowExA(0, "PellmorCentreTest", "", WS_POPUP, x, y, width, height, owner, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

RECT rectOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

TEST(CenterDialog, CentresOverTheParentKeepingTheSize) {
    HWND parent = popup(nullptr, 100, 50, 401, 300);
    HWND dialog = popup(parent, 0, 0, 200, 101);
    ASSERT_EQ(GetParent(dialog), parent);
    centerDialog(dialog);
    const RECT r = rectOf(dialog);
    EXPECT_EQ(r.left, 100 + 201 / 2);
    EXPECT_EQ(r.top, 50 + 199 / 2);
    EXPECT_EQ(r.right - r.left, 200);
    EXPECT_EQ(r.bottom - r.top, 101);
    DestroyWindow(dialog);
    DestroyWindow(parent);
}

TEST(CenterDialog, WithoutParentCentresOnTheScreen) {
    const RECT screen = rectOf(GetDesktopWindow());
    HWND dialog = popup(nullptr, 0, 0, 300, 200);
    centerDialog(dialog);
    const RECT r = rectOf(dialog);
    EXPECT_EQ(r.left, screen.left + ((screen.right - screen.left) - 300) / 2);
    EXPECT_EQ(r.top, screen.top + ((screen.bottom - screen.top) - 200) / 2);
    DestroyWindow(dialog);
}

// Wider than the screen by an odd number: x is negative, rounded toward
// zero, and not pulled back onto the screen.
TEST(CenterDialog, ALargerDialogGoesPastTheEdgeUnclamped) {
    const RECT screen = rectOf(GetDesktopWindow());
    const int width = (screen.right - screen.left) + 3;
    HWND dialog = popup(nullptr, 0, 0, width, 100);
    ASSERT_EQ(rectOf(dialog).right - rectOf(dialog).left, width);
    centerDialog(dialog);
    EXPECT_EQ(rectOf(dialog).left, screen.left - 1);
    DestroyWindow(dialog);
}

} // namespace
