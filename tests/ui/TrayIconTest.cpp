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
    // Each call as "message id flags", flags as NIF_MESSAGE 1, NIF_ICON 2, NIF_TIP 4.
    std::string log;
    for (const ShellRecorder::Call& call : shell.calls)
        log += shellMessageName(call.message) + " " + std::to_string(call.data.uID) + " " +
               std::to_string(call.data.uFlags) + (call.result ? "; " : " refused; ");
    ASSERT_EQ(log,
              "add 7 0; modify 7 1; modify 7 3; modify 7 7; delete 7 7; add 8 0; delete 8 0; ");
    EXPECT_EQ(shell.calls[3].tip(), tip.substr(0, 63));
}

} // namespace
