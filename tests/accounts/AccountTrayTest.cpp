// An account's icon in Wine's real notification area: it is there, it
// shows the account's envelope with its stamp and state, a mouse over it
// reaches the main window as the callback message with the account's id,
// and it is gone once the account is destroyed.
#include "accounts/Account.h"

#include "accounts/AccountFixture.h"
#include "support/WineTray.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <memory>

namespace {

using AccountTrayTest = AccountFixture;

int countColour(const std::vector<std::uint32_t>& pixels, std::uint32_t colour) {
    int count = 0;
    for (std::uint32_t pixel : pixels)
        count += pixel == colour ? 1 : 0;
    return count;
}

TEST_F(AccountTrayTest, TheIconAppearsInWinesTrayAndGoesWithTheAccount) {
    auto account = std::make_unique<Account>(77);
    account->setUser("user1");
    account->setHost("10.1.2.3");
    account->setIconColour(4);  // red: told apart from the blue of other tests' icons
    account->setShowIcon(true);
    ASSERT_TRUE(shell.calls.front().result) << "Wine's shell refused the add";

    HWND icon = findTrayIconWindow(window, WM_USER, 77);
    ASSERT_NE(icon, nullptr) << wineTrayIconWindows().size() << " icons in Wine's tray, none of them ours";
    const auto& callback = window.events.back();
    EXPECT_EQ(callback.lParam, WM_MOUSEMOVE);

    // Wine shrinks the 32 x 32 image for its tray; the red stamp and the
    // question mark's yellow survive.
    window.pumpFor(200);
    int width = 0, height = 0;
    const auto pixels = screenPixels(icon, width, height);
    const int red = countColour(pixels, rgbValue(255, 0, 0));
    const int yellow = countColour(pixels, rgbValue(255, 255, 0));
    std::printf("tray icon window %d x %d: %d red, %d yellow pixels\n", width, height, red, yellow);
    EXPECT_GT(red, 0);
    EXPECT_GT(yellow, 0);

    account.reset();
    window.pumpFor(200);
    EXPECT_EQ(findTrayIconWindow(window, WM_USER, 77, 300), nullptr) << "the icon outlived its account";
}

} // namespace
