// The tray icon record and the shell calls it makes, recorded on their way
// to Wine's real notification area.
#include "ui/TrayIcon.h"

#include "support/ShellRecorder.h"
#include "support/TestWindow.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Every modification repeats all that was set before; the tip keeps its
// first 63 bytes; the icon goes exactly once, by remove() or with the record.
TEST(TrayIcon, EachCallCarriesAllSetBeforeAndTheTipIsCutAt63Bytes) {
    TestWindow window;
    ShellRecorder shell;
    const std::string tip = std::string(60, 'a') + "0123456789";
    {
        TrayIcon icon(window.handle, 7);
        icon.setCallbackMessage(WM_USER);
        icon.setIcon(LoadIconA(nullptr, IDI_APPLICATION));
        icon.setTip(tip);
        icon.remove();
        TrayIcon forgotten(window.handle, 8);
    }
    const struct {
        DWORD message;
        UINT id, flags;
    } expected[] = {{NIM_ADD, 7, 0},
                    {NIM_MODIFY, 7, NIF_MESSAGE},
                    {NIM_MODIFY, 7, NIF_MESSAGE | NIF_ICON},
                    {NIM_MODIFY, 7, NIF_MESSAGE | NIF_ICON | NIF_TIP},
                    {NIM_DELETE, 7, NIF_MESSAGE | NIF_ICON | NIF_TIP},
                    {NIM_ADD, 8, 0},
                    {NIM_DELETE, 8, 0}};
    ASSERT_EQ(shell.calls.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(shell.calls[i].message, expected[i].message) << i;
        EXPECT_EQ(shell.calls[i].data.uID, expected[i].id) << i;
        EXPECT_EQ(shell.calls[i].data.uFlags, expected[i].flags) << i;
        EXPECT_TRUE(shell.calls[i].result) << "Wine's shell refused call " << i;
    }
    EXPECT_EQ(shell.calls[3].data.uCallbackMessage, static_cast<UINT>(WM_USER));
    EXPECT_EQ(shell.calls[3].tip(), tip.substr(0, 63));
}

} // namespace
