// The options dialog's connection security and its trust of a refused
// certificate, on a live account and the prefix's registry; the dialog runs
// modeless and hidden, as in OptionsDialogTest.
#include "accounts/Account.h"
#include "accounts/AccountList.h"
#include "support/DialogWatcher.h"
#include "support/TestWindow.h"
#include "ui/Icons.h"
#include "ui/MainWindow.h"
#include "ui/OptionsDialog.h"
#include "ui/ProgramHandles.h"
#include "ui/resource.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

namespace {

// Decisions: "Default" gives the port of the security the list shows, taken
// over or not; the trust is offered in a Yes/No box that shows the refused
// certificate's fingerprint and the reason; a change of host forgets it.
TEST(OptionsSecurity, DefaultPortSecurityAndTrust) {
    TestWindow trayKeeper; // its icon spares the case Wine's removal of the last one
    moduleInstance = GetModuleHandleA(nullptr);
    loadIcons();
    MainWindow::registerClass(moduleInstance);
    mainWindow = MainWindow::create(moduleInstance);
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);
    auto holder = std::make_unique<Account>(accounts.randomId());
    holder->setHost("127.0.0.1");
    holder->setShowIcon(true);
    accounts.append(holder);
    accounts.saveProfiles();
    HWND dialog = nullptr;
    const auto reopen = [&] {
        DestroyWindow(dialog);
        currentAccount = accounts.at(0);
        dialog = CreateDialogParamA(moduleInstance, MAKEINTRESOURCEA(IDD_OPTIONS), nullptr, OptionsDialog::procedure, 0);
        return accounts.at(0);
    };
    const auto click = [&](int id) { SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0); };
    Account* account = reopen();
    for (const auto& [entry, port] : {std::pair{2, 995u}, {1, 110u}, {0, 110u}, {2, 995u}}) {
        SendDlgItemMessageA(dialog, IDC_SECURITY, CB_SETCURSEL, entry, 0);
        click(IDC_DEFAULT_PORT);
        EXPECT_EQ(account->port, port) << entry;
    }
    EXPECT_EQ(account->security, ConnectionSecurity::None);
    click(IDOK);
    accounts.loadProfiles();
    account = reopen();
    EXPECT_EQ(account->security, ConnectionSecurity::ImplicitTls);

    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_TRUST_CERTIFICATE)));
    account->refusedFingerprint = "00112233445566778899AABBCCDDEEFF0123456789ABCDEF0123456789ABCDEF";
    account->refusalCode = 11;
    OptionsDialog::fillControls();
    std::string said;
    {
        DialogWatcher watcher([&](HWND box) {
            said = messageBoxText(box);
            PostMessageA(box, WM_COMMAND, IDNO, 0);
        });
        click(IDC_TRUST_CERTIFICATE);
    }
    EXPECT_NE(said.find("00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF\n01:23:"), std::string::npos) << said;
    EXPECT_NE(said.find("another name than 127.0.0.1"), std::string::npos) << said;
    EXPECT_EQ(account->trustedFingerprint, "");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_TRUST_CERTIFICATE)));
    account->trustedFingerprint = account->refusedFingerprint;
    SetDlgItemTextA(dialog, IDC_HOST, "pop.example.org");
    OptionsDialog::readControls();
    EXPECT_EQ(account->trustedFingerprint + account->refusedFingerprint, "");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_TRUST_CERTIFICATE)));

    SendDlgItemMessageA(dialog, IDC_SECURITY, CB_SETCURSEL, 1, 0);
    click(IDCANCEL);
    EXPECT_EQ(reopen()->security, ConnectionSecurity::ImplicitTls);
    DestroyWindow(dialog);
    accounts.clear();
    accounts.saveProfiles();
    currentAccount = nullptr;
    DestroyWindow(mainWindow);
    MSG quit;
    PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

} // namespace
