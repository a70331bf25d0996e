// The options dialog's connection security and its trust of one refused
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

#include <memory>
#include <string>

namespace {

const std::string fingerprint = "00112233445566778899AABBCCDDEEFF0123456789ABCDEF0123456789ABCDEF";

class OptionsSecurityTest : public testing::Test {
protected:
    void SetUp() override {
        moduleInstance = GetModuleHandleA(nullptr);
        loadIcons();
        MainWindow::registerClass(moduleInstance);
        mainWindow = MainWindow::create(moduleInstance);
        INITCOMMONCONTROLSEX classes{sizeof classes, ICC_BAR_CLASSES};
        InitCommonControlsEx(&classes);
        auto holder = std::make_unique<Account>(accounts.randomId());
        holder->setHost("127.0.0.1");
        holder->setUser("ann");
        holder->setShowIcon(true);
        accounts.append(holder);
        accounts.saveProfiles();
        reopen();
    }
    void TearDown() override {
        DestroyWindow(dialog);
        accounts.clear();
        accounts.saveProfiles();
        currentAccount = nullptr;
        DestroyWindow(mainWindow);
    }

    // The dialog anew, on the first account as the list now holds it.
    Account& reopen() {
        DestroyWindow(dialog);
        currentAccount = accounts.at(0);
        dialog = CreateDialogParamA(moduleInstance, MAKEINTRESOURCEA(IDD_OPTIONS), nullptr,
                                    OptionsDialog::procedure, 0);
        return *accounts.at(0);
    }
    HWND item(int id) const { return GetDlgItem(dialog, id); }
    void click(int id) { SendMessageA(item(id), BM_CLICK, 0, 0); }
    void chooseSecurity(int entry) { SendMessageA(item(IDC_SECURITY), CB_SETCURSEL, static_cast<WPARAM>(entry), 0); }
    // Clicks "&Trust certificate..." and answers its box; what the box said.
    std::string trust(int answer) {
        std::string said;
        DialogWatcher watcher([&](HWND box) {
            said = messageBoxText(box);
            PostMessageA(box, WM_COMMAND, static_cast<WPARAM>(answer), 0);
        });
        click(IDC_TRUST_CERTIFICATE);
        return said;
    }

    TestWindow trayKeeper; // its icon spares each case Wine's removal of the last one
    HWND dialog = nullptr;
};

// Decision: "Default" gives the port of the security the list shows, taken
// over or not; the list itself changes no port.
TEST_F(OptionsSecurityTest, SecurityIsSavedByOkDroppedByCancelAndPicksTheDefaultPort) {
    const struct {
        int entry;
        ConnectionSecurity security;
        unsigned port;
    } rows[] = {{2, ConnectionSecurity::ImplicitTls, 995}, {1, ConnectionSecurity::Stls, 110},
                {0, ConnectionSecurity::None, 110}, {2, ConnectionSecurity::ImplicitTls, 995}};
    for (const auto& row : rows) {
        SetDlgItemInt(dialog, IDC_PORT, 2000, FALSE);
        chooseSecurity(row.entry);
        EXPECT_EQ(windowText(item(IDC_PORT)), "2000") << row.entry;
        click(IDC_DEFAULT_PORT);
        EXPECT_EQ(windowText(item(IDC_PORT)), std::to_string(row.port)) << row.entry;
    }
    click(IDOK);
    accounts.loadProfiles();
    EXPECT_EQ(reopen().security, ConnectionSecurity::ImplicitTls);
    EXPECT_EQ(accounts.at(0)->port, 995u);
    chooseSecurity(1);
    click(IDCANCEL);
    EXPECT_EQ(reopen().security, ConnectionSecurity::ImplicitTls);
}

// Decisions: the trust is asked for in a Yes/No box that shows the refused
// certificate's fingerprint and the reason, No being the default; it is
// stored like any other field; a change of host forgets it.
TEST_F(OptionsSecurityTest, TrustingTheRefusedCertificate) {
    EXPECT_FALSE(IsWindowEnabled(item(IDC_TRUST_CERTIFICATE)));
    Account* account = accounts.at(0);
    account->security = ConnectionSecurity::ImplicitTls;
    account->refusedFingerprint = fingerprint;
    account->refusalCode = 11;
    account = &reopen();
    EXPECT_TRUE(IsWindowEnabled(item(IDC_TRUST_CERTIFICATE)));

    const std::string said = trust(IDNO);
    EXPECT_NE(said.find("00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF\n01:23:45:67:89:AB:CD:EF:01"),
              std::string::npos) << said;
    EXPECT_NE(said.find("another name than 127.0.0.1"), std::string::npos) << said;
    EXPECT_EQ(account->trustedFingerprint, "");
    trust(IDYES);
    EXPECT_EQ(account->trustedFingerprint, fingerprint);
    EXPECT_FALSE(IsWindowEnabled(item(IDC_TRUST_CERTIFICATE)));
    click(IDOK);
    accounts.loadProfiles();
    account = &reopen();
    EXPECT_EQ(account->trustedFingerprint, fingerprint);

    SetDlgItemTextA(dialog, IDC_HOST, "pop.example.org");
    OptionsDialog::readControls();
    EXPECT_EQ(account->trustedFingerprint, "");
    click(IDCANCEL);
    EXPECT_EQ(reopen().trustedFingerprint, fingerprint);
}

} // namespace
