// The options dialog on live accounts: the real dialog from the program's
// resources, driven as its controls do (BM_CLICK, the focus moved with
// WM_NEXTDLGCTL so that the field left notifies). It runs modeless and
// hidden: every window Wine shows costs two seconds without a window
// manager, so only the boxes that a case is about are shown.
#include "accounts/ProfileProblems.h"
#include "support/DialogWatcher.h"
#include "ui/LogonStart.h"
#include "ui/OptionsDialog.h"
#include "ui/WindowFixture.h"
#include "ui/resource.h"

#include <commctrl.h>

#include <fstream>
#include <string>

namespace {

class OptionsDialogTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        INITCOMMONCONTROLSEX classes{sizeof classes, ICC_BAR_CLASSES};
        InitCommonControlsEx(&classes);
        currentAccount = bob;
        open();
        EXPECT_EQ(text(IDC_USER), "bob") << "opens on the current profile";
        chooseProfile(0);
    }
    void TearDown() override {
        DestroyWindow(dialog);
        WindowFixture::TearDown();
    }

    void open() {
        DestroyWindow(dialog);
        dialog = CreateDialogParamA(moduleInstance, MAKEINTRESOURCEA(IDD_OPTIONS), nullptr,
                                    OptionsDialog::procedure, 0);
        ASSERT_NE(dialog, nullptr);
    }
    HWND item(int id) const { return GetDlgItem(dialog, id); }
    std::string text(int id) const { return windowText(item(id)); }
    void type(int id, const std::string& value) { SetDlgItemTextA(dialog, id, value.c_str()); }
    void click(int id) { SendMessageA(item(id), BM_CLICK, 0, 0); }
    // Moves the focus as Tab does; the field left notifies.
    void focus(int id) {
        SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(id)), TRUE);
    }
    // What the user's choice in the drop-down list sends.
    void chooseProfile(int index) {
        SendMessageA(item(IDC_PROFILE), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_PROFILE, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(item(IDC_PROFILE)));
    }

    HWND dialog = nullptr;
};

// A value the profile store could not keep is not taken over: it stays in
// its field, the first refused field is named, and OK says why in a box of
// the dialog's own and puts the user back into the field.
TEST_F(OptionsDialogTest, RefusedValuesStayInTheirFieldAndTheProfileKeepsItsOwn) {
    std::string badPassword;
    for (int c = 1; c < 256 && badPassword.empty(); ++c)
        if (!passwordProblem(std::string(1, static_cast<char>(c))).empty())
            badPassword.assign(1, static_cast<char>(c));
    // The last row is taken over: an empty interval is 0, checks only on request.
    const struct {
        int field;
        std::string value;
    } rows[] = {{IDC_HOST, "pop,example.org"},
                {IDC_USER, "a,b"},
                {IDC_PASSWORD, badPassword},
                {IDC_PORT, "70000"},
                {IDC_PORT, "0"},
                {IDC_PORT, ""},
                {IDC_INTERVAL, std::to_string(Account::maxIntervalMinutes + 1)},
                {IDC_INTERVAL, ""}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.field);
        const bool refused = &row != std::end(rows) - 1;
        OptionsDialog::fillControls();
        type(row.field, row.value);
        EXPECT_EQ(OptionsDialog::readControls(), refused ? row.field : 0);
        EXPECT_EQ(text(row.field), row.value);
        EXPECT_EQ(ann->host + ann->user + ann->password, "127.0.0.1ann");
        EXPECT_EQ(ann->port, 1u);
        EXPECT_EQ(ann->intervalMinutes, refused ? 10u : 0u);
    }
    std::string said;
    DialogWatcher watcher([&](HWND box) {
        EXPECT_EQ(GetWindow(box, GW_OWNER), dialog);
        said = messageBoxText(box);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    type(IDC_HOST, "pop,example.org");
    click(IDOK);
    EXPECT_NE(said.find("comma"), std::string::npos) << said;
    EXPECT_EQ(GetFocus(), item(IDC_HOST));
    type(IDC_PORT, "1995");
    EXPECT_EQ(OptionsDialog::readControls(), IDC_HOST) << "the dialog ended";
    EXPECT_EQ(ann->port, 1995u);
}

// The dialog edits the profile its list shows: not the one a tray event
// made current, and nothing at all once Cancel has reloaded the accounts.
TEST_F(OptionsDialogTest, EditsLandOnTheProfileShownAndNowhereAfterCancel) {
    EXPECT_EQ(text(IDC_USER), "ann");
    focus(IDC_HOST);
    type(IDC_HOST, "edited.example.org");
    SendMessageA(window, MainWindow::trayCallbackMessage, static_cast<WPARAM>(bob->id),
                 WM_MOUSEMOVE);
    ASSERT_EQ(currentAccount, bob);
    focus(IDC_USER);
    EXPECT_EQ(ann->host, "edited.example.org");
    EXPECT_EQ(bob->host, "127.0.0.1");
    // Changing the profile takes the edits into the one shown until then.
    type(IDC_PORT, "2110");
    chooseProfile(1);
    EXPECT_EQ(ann->port, 2110u);
    EXPECT_EQ(bob->port, 1u);
    EXPECT_EQ(text(IDC_USER), "bob");

    type(IDC_HOST, "typed.example.org");
    click(IDCANCEL);
    ASSERT_EQ(accounts.size(), 2u);
    Account* reloaded = accounts.at(1);
    focus(IDC_USER);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_HOST, EN_KILLFOCUS),
                 reinterpret_cast<LPARAM>(item(IDC_HOST)));
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SHOW_ICON, BN_CLICKED),
                 reinterpret_cast<LPARAM>(item(IDC_SHOW_ICON)));
    SendMessageA(dialog, WM_HSCROLL, 0, reinterpret_cast<LPARAM>(item(IDC_COLOUR)));
    for (WPARAM command : {IDC_DEFAULT_PORT, IDC_NEW, IDC_REMOVE})
        SendMessageA(dialog, WM_COMMAND, command, 0);
    ASSERT_EQ(accounts.size(), 2u);
    EXPECT_EQ(accounts.at(1), reloaded);
    EXPECT_EQ(reloaded->host + "," + reloaded->user, "127.0.0.1,bob");
    EXPECT_EQ(reloaded->port, 1u);
}

// The Run value is read when the dialog opens and written by OK alone: the
// quoted path of this program, or no value at all.
TEST_F(OptionsDialogTest, StartAtLogonIsTheRunValueOfThisProgram) {
    const auto runValue = [] {
        char value[2 * MAX_PATH] = "";
        DWORD size = sizeof value;
        return RegGetValueA(HKEY_CURRENT_USER, runKeyPath, runValueName, RRF_RT_REG_SZ, nullptr,
                            value, &size) == ERROR_SUCCESS
                   ? std::string(value)
                   : std::string("(none)");
    };
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    setStartAtLogon(false);
    for (const std::string& wanted : {"\"" + std::string(path) + "\"", std::string("(none)")}) {
        open();
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_START_AT_LOGON), wanted == "(none)" ? 1u : 0u);
        click(IDC_START_AT_LOGON);
        EXPECT_NE(runValue(), wanted) << "only OK writes";
        click(IDOK);
        EXPECT_EQ(runValue(), wanted);
    }
}

// "&Remove" disabled under the focus hands the focus on to a control that
// still takes keys; the last profile's only icon cannot be switched off.
TEST_F(OptionsDialogTest, RemovingDownToOneProfileKeepsTheFocusUsable) {
    click(IDC_REMOVE);
    ASSERT_EQ(accounts.size(), 1u);
    EXPECT_EQ(text(IDC_USER), "bob");
    EXPECT_FALSE(IsWindowEnabled(item(IDC_REMOVE)));
    EXPECT_FALSE(IsWindowEnabled(item(IDC_SHOW_ICON)));
    HWND focused = GetFocus();
    EXPECT_TRUE(focused && IsChild(dialog, focused) && IsWindowEnabled(focused));
}

// "&Browse": the path buffer holds 999 characters, so a longer stored
// command starts the file dialog empty rather than cut.
TEST_F(OptionsDialogTest, BrowseStartsEmptyForAnOverlongCommand) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string client = std::string(folder) + "pellmor-browse-client.exe";
    std::ofstream(client) << "MZ";
    std::string startName = "(not opened)";
    DialogWatcher watcher([&](HWND box) {
        const int nameField = GetDlgItem(box, 0x47c) ? 0x47c : 0x480; // edt1 or cmb13
        startName = windowText(GetDlgItem(box, nameField));
        SetDlgItemTextA(box, nameField, client.c_str());
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    ann->clientCommand = std::string(1000, 'x');
    click(IDC_BROWSE);
    EXPECT_FALSE(watcher.timedOut);
    EXPECT_EQ(startName, "");
    EXPECT_EQ(ann->clientCommand, client);
    EXPECT_EQ(text(IDC_CLIENT_COMMAND), client);
    DeleteFileA(client.c_str());
}

// "Default" gives the port of the security the list shows, taken over or
// not; the trust is offered in a Yes/No box that shows the refused
// certificate's fingerprint and the reason; a change of host forgets it.
TEST_F(OptionsDialogTest, SecurityGivesItsDefaultPortAndATrustIsOfferedUntilTheHostChanges) {
    for (const auto& [entry, port] : {std::pair{2, 995u}, {1, 110u}, {0, 110u}, {2, 995u}}) {
        SendMessageA(item(IDC_SECURITY), CB_SETCURSEL, entry, 0);
        click(IDC_DEFAULT_PORT);
        EXPECT_EQ(ann->port, port) << entry;
    }
    EXPECT_EQ(ann->security, ConnectionSecurity::None);
    click(IDOK);
    accounts.loadProfiles();
    Account* account = currentAccount = accounts.at(0);
    open();
    EXPECT_EQ(account->security, ConnectionSecurity::ImplicitTls);
    EXPECT_FALSE(IsWindowEnabled(item(IDC_TRUST_CERTIFICATE)));
    account->refusedFingerprint = "00112233445566778899AABBCCDDEEFF" + std::string(32, 'E');
    account->refusalCode = 11;
    OptionsDialog::fillControls();
    std::string said;
    DialogWatcher watcher([&](HWND box) {
        said = messageBoxText(box);
        PostMessageA(box, WM_COMMAND, IDNO, 0);
    });
    click(IDC_TRUST_CERTIFICATE);
    EXPECT_NE(said.find("00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF\nEE:"), std::string::npos)
        << said;
    EXPECT_NE(said.find("another name than 127.0.0.1"), std::string::npos) << said;
    EXPECT_EQ(account->trustedFingerprint, "");
    EXPECT_TRUE(IsWindowEnabled(item(IDC_TRUST_CERTIFICATE)));
    account->trustedFingerprint = account->refusedFingerprint;
    type(IDC_HOST, "pop.example.org");
    OptionsDialog::readControls();
    EXPECT_EQ(account->trustedFingerprint + account->refusedFingerprint, "");
    EXPECT_FALSE(IsWindowEnabled(item(IDC_TRUST_CERTIFICATE)));
    SendMessageA(item(IDC_SECURITY), CB_SETCURSEL, 1, 0);
    click(IDCANCEL);
    EXPECT_EQ(accounts.at(0)->security, ConnectionSecurity::ImplicitTls);
}

} // namespace
