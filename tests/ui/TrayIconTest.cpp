// The tray icon record and the shell calls it makes, recorded on their way
// to Wine's real notification area.
#include "ui/TrayIcon.h"

#include "support/ShellRecorder.h"
#include "support/TestWindow.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstddef>
#include <string>

namespace {

// The shell's record in its first form, which ends right after a 64-byte
// tip, and nothing else.
TEST(TrayIcon, AddsBareThenEveryModificationCarriesAllThatWasSetBefore) {
    EXPECT_EQ(sizeof(TrayIcon), sizeof(NOTIFYICONDATAA));
    EXPECT_EQ(NOTIFYICONDATAA_V1_SIZE, offsetof(NOTIFYICONDATAA, szTip) + 64);
    TestWindow window;
    ShellRecorder shell;
    const HICON image = LoadIconA(nullptr, IDI_APPLICATION);
    {
        TrayIcon icon(window.handle, 7);
        icon.setCallbackMessage(WM_USER);
        icon.setIcon(image);
        icon.setTip("user@host - mail unchecked");
        icon.remove();
    }
    const auto calls = shell.callsFor(7);
    ASSERT_EQ(calls.size(), 5u);

    const struct {
        DWORD message;
        UINT flags;
    } expected[] = {{NIM_ADD, 0},
                    {NIM_MODIFY, NIF_MESSAGE},
                    {NIM_MODIFY, NIF_MESSAGE | NIF_ICON},
                    {NIM_MODIFY, NIF_MESSAGE | NIF_ICON | NIF_TIP},
                    {NIM_DELETE, NIF_MESSAGE | NIF_ICON | NIF_TIP}};
    for (std::size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE("call " + std::to_string(i));
        EXPECT_EQ(shellMessageName(calls[i].message), shellMessageName(expected[i].message));
        EXPECT_EQ(calls[i].data.uFlags, expected[i].flags);
        EXPECT_EQ(calls[i].data.hWnd, window.handle);
        EXPECT_EQ(calls[i].data.cbSize, NOTIFYICONDATAA_V1_SIZE);
        EXPECT_TRUE(calls[i].result) << "Wine's shell refused the call";
    }
    EXPECT_EQ(calls[0].data.hIcon, nullptr);
    EXPECT_EQ(calls[0].tip(), "");
    EXPECT_EQ(calls[0].data.uCallbackMessage, 0u);
    EXPECT_EQ(calls[3].data.uCallbackMessage, static_cast<UINT>(WM_USER));
    EXPECT_EQ(calls[3].data.hIcon, image);
    EXPECT_EQ(calls[3].tip(), "user@host - mail unchecked");
}

TEST(TrayIcon, TipsKeepTheirFirst63Bytes) {
    TestWindow window;
    ShellRecorder shell;
    TrayIcon icon(window.handle, 8);

    const std::string seventy = std::string(60, 'a') + "0123456789";
    icon.setTip(seventy);
    EXPECT_EQ(std::string(icon.data.szTip), seventy.substr(0, 63));
    EXPECT_EQ(icon.data.szTip[63], '\0');

    EXPECT_EQ(shell.calls.back().tip(), seventy.substr(0, 63));
    icon.setTip("short");
    EXPECT_EQ(shell.calls.back().tip(), "short");
}

// A record that is destroyed without remove() takes its icon along; one
// that was removed sends nothing more.
TEST(TrayIcon, DestroyingRemovesTheIconExactlyOnce) {
    TestWindow window;
    ShellRecorder shell;
    {
        TrayIcon icon(window.handle, 9);
    }
    {
        TrayIcon icon(window.handle, 10);
        icon.remove();
        icon.remove();
    }
    const auto forgotten = shell.callsFor(9);
    ASSERT_EQ(forgotten.size(), 2u);
    EXPECT_EQ(shellMessageName(forgotten[1].message), "delete");
    const auto removed = shell.callsFor(10);
    ASSERT_EQ(removed.size(), 2u);
    EXPECT_EQ(shellMessageName(removed[1].message), "delete");
}

} // namespace
