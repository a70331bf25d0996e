// The options dialog on live accounts: the real dialog from the program's
// resources, driven as its controls do (BM_CLICK, the focus moved with
// WM_NEXTDLGCTL so that the field left notifies). It runs modeless and
// hidden: every window Wine shows costs two seconds without a window
// manager, so only the boxes that a case is about are shown.
#include "accounts/ProfileProblems.h"
#include "support/DialogWatcher.h"
#include "ui/CertificateTrust.h"
#include "ui/LogonStart.h"
#include "ui/OptionsDialog.h"
#include "ui/WindowFixture.h"
#include "ui/resource.h"

#include <commctrl.h>

#include <string>
#include <utility>

namespace {

class OptionsDialogTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        INITCOMMONCONTROLSEX classes{sizeof classes, ICC_BAR_CLASSES};
        InitCommonControlsEx(&classes);
        currentAccount = bob;
        open();
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
// its field, the first refused field is named, and OK answers with a box
// and puts the user back into the field.
TEST_F(OptionsDialogTest, RefusedValuesStayInTheirFieldAndTheProfileKeepsItsOwn) {
    std::string badPassword;
    for (int c = 1; c < 256 && badPassword.empty(); ++c)
        if (!passwordProblem(std::string(1, static_cast<char>(c))).empty())
            badPassword.assign(1, static_cast<char>(c));
    // The last row is taken over: an empty interval is 0, checks only on request.
    const std::pair<int, std::string> rows[] = {
        {IDC_HOST, "pop,example.org"},
        {IDC_USER, "a,b"},
        {IDC_PASSWORD, badPassword},
        {IDC_PORT, "70000"},
        {IDC_PORT, "0"},
        {IDC_PORT, ""},
        {IDC_INTERVAL, std::to_string(Account::maxIntervalMinutes + 1)},
        {IDC_INTERVAL, ""}};
    for (const auto& [field, value] : rows) {
        SCOPED_TRACE(field);
        const bool refused = field != IDC_INTERVAL || !value.empty();
        OptionsDialog::fillControls();
        type(field, value);
        EXPECT_EQ(OptionsDialog::readControls(), refused ? field : 0);
        EXPECT_EQ(text(field), value);
        EXPECT_EQ(ann->host + ann->user + ann->password, "127.0.0.1ann");
        EXPECT_EQ(ann->port, 1u);
        EXPECT_EQ(ann->intervalMinutes, refused ? 10u : 0u);
    }
    // OK puts the user back into the field its box named.
    DialogWatcher watcher([](HWND box) { PostMessageA(box, WM_COMMAND, IDOK, 0); });
    type(IDC_HOST, "pop,example.org");
    click(IDOK);
    EXPECT_EQ(GetFocus(), item(IDC_HOST)) << "OK ended the dialog";
}

// The dialog edits the profile its list shows: not the one a tray event
// made current, and nothing at all once Cancel has reloaded the accounts.
TEST_F(OptionsDialogTest, EditsLandOnTheProfileShownAndNowhereAfterCancel) {
    EXPECT_EQ(text(IDC_USER), "ann");
    focus(IDC_HOST);
    type(IDC_HOST, "edited.example.org");
    SendMessageA(mainWindow, MainWindow::trayCallbackMessage, static_cast<WPARAM>(bob->id),
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
    for (WPARAM command : {IDC_DEFAULT_PORT, IDC_NEW, IDC_REMOVE})
        SendMessageA(dialog, WM_COMMAND, command, 0);
    ASSERT_EQ(accounts.size(), 2u);
    EXPECT_EQ(accounts.at(1), reloaded);
    EXPECT_EQ(reloaded->host + "," + reloaded->user, "127.0.0.1,bob");
    EXPECT_EQ(reloaded->port, 1u);
}

// The last profile's only icon cannot be switched off: the program would
// have no place left to be reached. "&Remove", disabled under the focus,
// hands the focus on to a control that still takes keys.
TEST_F(OptionsDialogTest, TheLastProfileKeepsItsIconAndTheFocusStaysUsable) {
    click(IDC_REMOVE);
    ASSERT_EQ(accounts.size(), 1u);
    EXPECT_FALSE(IsWindowEnabled(item(IDC_SHOW_ICON)));
    EXPECT_TRUE(IsChild(dialog, GetFocus()) && IsWindowEnabled(GetFocus()));
}

// "&Browse": the path buffer holds 999 characters, so a longer stored
// command starts the file dialog empty rather than cut.
TEST_F(OptionsDialogTest, BrowseStartsEmptyForAnOverlongCommand) {
    char client[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, client, MAX_PATH); // a program that is there to choose
    std::string startName = "(not opened)";
    DialogWatcher watcher([&](HWND box) {
        const int nameField = GetDlgItem(box, 0x47c) ? 0x47c : 0x480; // edt1 or cmb13
        startName = windowText(GetDlgItem(box, nameField));
        SetDlgItemTextA(box, nameField, client);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    ann->clientCommand = std::string(1000, 'x');
    click(IDC_BROWSE);
    EXPECT_EQ(startName, "");
    EXPECT_EQ(text(IDC_CLIENT_COMMAND), client);
}

// "Default" gives the port of the security the list shows before it is
// taken over; the trust is offered for a refused certificate only, and a
// change of host forgets what was trusted or refused.
TEST_F(OptionsDialogTest, SecurityGivesItsDefaultPortAndAHostChangeForgetsTheTrust) {
    ann->refusedFingerprint = ann->trustedFingerprint = std::string(64, 'E');
    OptionsDialog::fillControls();
    SendMessageA(item(IDC_SECURITY), CB_SETCURSEL, 2, 0);
    click(IDC_DEFAULT_PORT);
    EXPECT_EQ(ann->port, 995u);
    type(IDC_HOST, "pop.example.org");
    OptionsDialog::readControls();
    EXPECT_EQ(ann->security, ConnectionSecurity::ImplicitTls);
    EXPECT_EQ(ann->trustedFingerprint + ann->refusedFingerprint, "");
    EXPECT_FALSE(IsWindowEnabled(item(IDC_TRUST_CERTIFICATE)));
    // The trust box shows a fingerprint as viewers print it: 16 pairs a line.
    std::string line = "EE";
    for (int pair = 1; pair < 16; ++pair)
        line += ":EE";
    EXPECT_EQ(groupedFingerprint(std::string(64, 'E')), line + "\n" + line);
}

// "Start at logon" is the Run value with the program's path, quoted so that
// a path with blanks stays one piece; the dialog shows what is stored.
TEST_F(OptionsDialogTest, StartAtLogonStoresTheQuotedPathAndShowsIt) {
    CheckDlgButton(dialog, IDC_START_AT_LOGON, BST_CHECKED);
    click(IDOK);
    char path[MAX_PATH] = "", stored[MAX_PATH + 2] = "";
    DWORD size = sizeof stored;
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    RegGetValueA(HKEY_CURRENT_USER, runKeyPath, runValueName, RRF_RT_REG_SZ, nullptr, stored,
                 &size);
    EXPECT_EQ(stored, "\"" + std::string(path) + "\"");
    open();
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_START_AT_LOGON), UINT{BST_CHECKED});
    setStartAtLogon(false);
}

} // namespace
