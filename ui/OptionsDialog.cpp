#include "ui/OptionsDialog.h"

#include "accounts/Account.h"
#include "accounts/AccountList.h"
#include "accounts/ProfileProblems.h"
#include "net/MsgException.h"
#include "ui/CenterDialog.h"
#include "ui/CertificateTrust.h"
#include "ui/LogonStart.h"
#include "ui/MainWindow.h"
#include "ui/ModalDialog.h"
#include "ui/ProgramHandles.h"
#include "ui/resource.h"

#include <commctrl.h>
#include <commdlg.h>

#include <array>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>

int OptionsDialog::selectedIndex = 0;

namespace {

const char dialogCaption[] = "Pellmor Options";
constexpr unsigned defaultPort = 110;
constexpr unsigned defaultTlsPort = 995;
constexpr unsigned maxPort = 65535;
constexpr int highestColour = 5;
// The entries of the security list, in the order of ConnectionSecurity.
constexpr const char* securityNames[] = {"None", "STLS", "SSL/TLS"};

// Everything below is the state of the one open dialog; the program never
// opens a second (see ui/ModalDialog.h).
HWND dialogWindow = nullptr;
// The id of the account the controls show. Ids, not pointers: an account
// that went away is then simply not found.
int selectedId = 0;
// Set once OK or Cancel has done its work (or a failure ends the program):
// the notifications that the closing dialog still sends must not write
// into the accounts, which Cancel has just replaced by new ones.
bool closing = true;
// While a refused value is being reported, the focus moves between the
// box and the fields; those moves must not report anything again.
bool reporting = false;
// While the file dialog of "&Browse" is open; the options dialog stays
// usable meanwhile.
bool browsing = false;

Account* selectedAccount() {
    if (closing || !dialogWindow)
        return nullptr;
    return accounts.withId(selectedId);
}

HWND control(int id) {
    return GetDlgItem(dialogWindow, id);
}

std::string controlText(int id) {
    HWND item = control(id);
    const int length = GetWindowTextLengthA(item);
    if (length <= 0)
        return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int got = GetWindowTextA(item, text.data(), length + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

bool isChecked(int id) {
    return IsDlgButtonChecked(dialogWindow, id) == BST_CHECKED;
}

void setChecked(int id, bool on) {
    CheckDlgButton(dialogWindow, id, on ? BST_CHECKED : BST_UNCHECKED);
}

// An unsigned decimal number, as GetDlgItemInt reads it. `translated` is
// false for an empty field, for anything that is not digits, and for a
// number too large for 32 bits.
unsigned controlNumber(int id, bool& translated) {
    BOOL ok = FALSE;
    const UINT value = GetDlgItemInt(dialogWindow, id, &ok, FALSE);
    translated = ok != FALSE;
    return translated ? value : 0;
}

std::string portProblem() {
    bool translated = false;
    const unsigned port = controlNumber(IDC_PORT, translated);
    if (translated && port >= 1 && port <= maxPort)
        return {};
    return "The port must be a number from 1 to 65535. POP3 servers normally listen on port 110, "
           "or 995 with SSL/TLS; \"Default\" fills in the one that fits the security chosen.";
}

std::string intervalProblem() {
    bool translated = false;
    const unsigned minutes = controlNumber(IDC_INTERVAL, translated);
    if (controlText(IDC_INTERVAL).empty() || (translated && minutes <= Account::maxIntervalMinutes))
        return {};
    return "The interval must be a number of minutes from 0 to " +
           std::to_string(Account::maxIntervalMinutes) + " (about 24 days); 0 checks only on request.";
}

// Why the value in control `controlId` cannot be taken over, or an empty
// text when it can. Only the edit fields hold values that can be refused.
std::string fieldProblem(int controlId) {
    switch (controlId) {
    case IDC_HOST:
        return hostProblem(controlText(IDC_HOST));
    case IDC_USER:
        return userProblem(controlText(IDC_USER));
    case IDC_PASSWORD:
        return passwordProblem(controlText(IDC_PASSWORD));
    case IDC_CLIENT_COMMAND:
        return clientCommandProblem(controlText(IDC_CLIENT_COMMAND));
    case IDC_PORT:
        return portProblem();
    case IDC_INTERVAL:
        return intervalProblem();
    default:
        return {};
    }
}

// Moves the focus to the field and selects its text, as the dialog manager
// does for a field reached with Tab.
void focusField(int id) {
    SendMessageA(dialogWindow, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control(id)), TRUE);
    SendDlgItemMessageA(dialogWindow, id, EM_SETSEL, 0, -1);
}

// Enables or disables a control. A disabled control cannot keep the focus:
// the dialog would be left with none, and Tab, Enter and Esc would stop
// working until the user clicked somewhere. So the focus moves on to the
// next control first, as Tab would move it.
void enableControl(int id, bool enabled) {
    HWND item = control(id);
    if (!enabled && GetFocus() == item)
        SendMessageA(dialogWindow, WM_NEXTDLGCTL, 0, FALSE);
    EnableWindow(item, enabled);
}

void showMessage(const std::string& text) {
    MessageBoxA(dialogWindow, text.c_str(), dialogCaption, MB_OK | MB_ICONEXCLAMATION);
}

// Says why the field's value was refused and puts the user back into the
// field, its text untouched.
void reportProblem(int id) {
    const std::string problem = fieldProblem(id);
    if (problem.empty() || reporting)
        return;
    reporting = true;
    showMessage(problem);
    if (dialogWindow && !closing)
        focusField(id);
    reporting = false;
}

// Makes the account at `index` the selected profile and currentAccount.
void select(int index) {
    Account* account = accounts.at(static_cast<std::size_t>(index));
    OptionsDialog::selectedIndex = index;
    selectedId = account ? account->id : 0;
    if (account)
        currentAccount = account;
    SendDlgItemMessageA(dialogWindow, IDC_PROFILE, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void renameSelectedEntry() {
    Account* account = selectedAccount();
    if (!account)
        return;
    const auto index = static_cast<WPARAM>(OptionsDialog::selectedIndex);
    HWND combo = control(IDC_PROFILE);
    SendMessageA(combo, CB_DELETESTRING, index, 0);
    SendMessageA(combo, CB_INSERTSTRING, index, reinterpret_cast<LPARAM>(account->title.c_str()));
    SendMessageA(combo, CB_SETCURSEL, index, 0);
}

// The position of the first account that `wanted` accepts, or -1.
template <class Predicate>
int firstIndexWhere(Predicate wanted) {
    int index = 0;
    for (const Account& account : accounts) {
        if (wanted(account))
            return index;
        ++index;
    }
    return -1;
}

// Takes the edits over; when one is refused, says why and answers false.
bool commitEdits() {
    if (const int refused = OptionsDialog::readControls()) {
        reportProblem(refused);
        return false;
    }
    return true;
}

void finish(INT_PTR result) {
    closing = true;
    EndDialog(dialogWindow, result);
}

void onOk() {
    if (!commitEdits())
        return;
    // A profile can still be too long as a whole, or one loaded from the
    // registry may hold what cannot be stored again: say so and show it
    // instead of failing the save, which would end the program.
    const int unstorable = firstIndexWhere([](const Account& account) { return !profileProblem(account).empty(); });
    if (unstorable >= 0) {
        select(unstorable);
        OptionsDialog::fillControls();
        showMessage(profileProblem(*accounts.at(static_cast<std::size_t>(unstorable))));
        return;
    }
    // The Run value first: a registry that refuses it is said in a box and
    // leaves the dialog open, rather than ending the program as a failed
    // save of the profiles must.
    try {
        setStartAtLogon(IsDlgButtonChecked(dialogWindow, IDC_START_AT_LOGON) == BST_CHECKED);
    } catch (MsgException& failure) {
        showMessage(failure.message());
        return;
    }
    accounts.saveProfiles();
    finish(1);
}

void onCancel() {
    // Before the reload: from here on nothing may write into an account.
    closing = true;
    accounts.loadProfiles();
    finish(0);
}

void onNew() {
    if (!commitEdits())
        return;
    // A profile without user and host is still waiting to be filled in:
    // show it rather than make a second one.
    const int unfilled = firstIndexWhere([](const Account& account) { return account.title.empty(); });
    if (unfilled >= 0) {
        select(unfilled);
        OptionsDialog::fillControls();
        return;
    }
    if (accounts.full()) {
        showMessage("Pellmor keeps at most " + std::to_string(AccountList::maxAccounts) +
                    " profiles. Remove one before you add another.");
        return;
    }
    auto account = std::make_unique<Account>(accounts.randomId());
    account->setShowIcon(true);
    accounts.append(account);
    SendDlgItemMessageA(dialogWindow, IDC_PROFILE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(""));
    select(static_cast<int>(accounts.size()) - 1);
    OptionsDialog::fillControls();
}

void onRemove() {
    Account* account = selectedAccount();
    if (!account)
        return;
    auto position = accounts.findById(account->id);
    const bool wasLast = std::next(position) == accounts.end();
    accounts.erase(position);
    SendDlgItemMessageA(dialogWindow, IDC_PROFILE, CB_DELETESTRING,
                        static_cast<WPARAM>(OptionsDialog::selectedIndex), 0);
    if (accounts.size() == 0) {
        selectedId = 0;
        OptionsDialog::selectedIndex = 0;
        onNew();
        return;
    }
    // The profile that followed takes the place; after the last one, the
    // one before it, now the last.
    if (wasLast)
        --OptionsDialog::selectedIndex;
    select(OptionsDialog::selectedIndex);
    OptionsDialog::fillControls();
}

// The security shown in the list, which may not have been taken over yet.
ConnectionSecurity chosenSecurity(ConnectionSecurity stored) {
    const LRESULT chosen = SendDlgItemMessageA(dialogWindow, IDC_SECURITY, CB_GETCURSEL, 0, 0);
    if (chosen < 0 || chosen >= static_cast<LRESULT>(std::size(securityNames)))
        return stored;
    return static_cast<ConnectionSecurity>(chosen);
}

// Changes only the port: what was typed into the other fields stays. The
// port is the one that fits the security the list shows, so that choosing
// SSL/TLS and then "Default" gives 995.
void onDefaultPort() {
    Account* account = selectedAccount();
    if (!account)
        return;
    const bool implicitTls = chosenSecurity(account->security) == ConnectionSecurity::ImplicitTls;
    account->port = implicitTls ? defaultTlsPort : defaultPort;
    SetDlgItemInt(dialogWindow, IDC_PORT, account->port, FALSE);
}

// Enabled while a certificate that the last check refused waits for an
// answer.
void enableTrustButton(const Account& account) {
    enableControl(IDC_TRUST_CERTIFICATE, !account.refusedFingerprint.empty());
}

// Trusting is a field of the profile like any other: it lives in the
// account at once, reaches the registry with OK, and Cancel drops it.
void onTrustCertificate() {
    Account* account = selectedAccount();
    if (!account || account->refusedFingerprint.empty())
        return;
    const int askedId = account->id;
    const std::string shown = account->refusedFingerprint;
    if (!askToTrustCertificate(dialogWindow, dialogCaption, *account))
        return;
    // The box ran a message loop, in which a timer's check or Cancel may
    // have run: what is trusted is the certificate the user compared, and
    // only for the profile it was shown for.
    account = selectedAccount();
    if (!account || account->id != askedId)
        return;
    account->trustedFingerprint = shown;
    if (account->refusedFingerprint == shown)
        account->forgetRefusedCertificate();
    enableTrustButton(*account);
}

void onBrowse() {
    Account* account = selectedAccount();
    // One file dialog at a time.
    if (!account || browsing)
        return;
    const int browsedId = account->id;
    // The file dialog starts from the stored command. One too long for
    // the path buffer starts it empty: a cut path names some other file.
    std::array<char, 1000> path{};
    if (account->clientCommand.size() < path.size())
        std::memcpy(path.data(), account->clientCommand.c_str(), account->clientCommand.size() + 1);

    OPENFILENAMEA request{};
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.hwndOwner = mainWindow;
    request.lpstrFilter = "Executable files\0*.exe\0All files\0*.*\0";
    request.nFilterIndex = 0;
    request.lpstrFile = path.data();
    request.nMaxFile = static_cast<DWORD>(path.size());
    request.lpstrTitle = "Browse for mail client executable";
    request.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    request.lpstrDefExt = "exe";

    browsing = true;
    const BOOL chosen = GetOpenFileNameA(&request);
    browsing = false;
    if (!chosen)
        return;
    // The options dialog stayed usable while the file dialog was open: the
    // choice counts only for the profile it was made for, and only while
    // the dialog still shows that profile.
    account = selectedAccount();
    if (!account || account->id != browsedId)
        return;
    account->clientCommand = path.data();
    SetDlgItemTextA(dialogWindow, IDC_CLIENT_COMMAND, path.data());
}

void onSelectionChange(HWND combo) {
    if (!commitEdits()) {
        // The edits stay on screen, so the profile they belong to does too.
        SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(OptionsDialog::selectedIndex), 0);
        return;
    }
    const LRESULT chosen = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (chosen == CB_ERR || static_cast<std::size_t>(chosen) >= accounts.size()) {
        // No entry chosen: the profile shown stays selected.
        select(OptionsDialog::selectedIndex);
        return;
    }
    select(static_cast<int>(chosen));
    OptionsDialog::fillControls();
}

// Whether leaving a field should report its refused value at once: only
// when the focus moved on to another field of the dialog. Not when it left
// the dialog, and not when it went to a push button: OK and New report the
// value themselves when they are clicked, Cancel and Remove throw it away,
// and a second box for the same click would only be in the way.
bool reportOnLeaving() {
    HWND focus = GetFocus();
    if (!focus || !IsChild(dialogWindow, focus))
        return false;
    const UINT buttonType = static_cast<UINT>(GetWindowLongPtrA(focus, GWL_STYLE)) & BS_TYPEMASK;
    char className[16] = {};
    GetClassNameA(focus, className, sizeof className);
    const bool pushButton = lstrcmpiA(className, "Button") == 0 &&
                            (buttonType == BS_PUSHBUTTON || buttonType == BS_DEFPUSHBUTTON);
    return !pushButton;
}

void onFieldLeft(int id) {
    if (id == IDC_HOST || id == IDC_USER) {
        OptionsDialog::readControls();
        renameSelectedEntry();
    }
    if (!closing && !reporting && reportOnLeaving())
        reportProblem(id);
}

INT_PTR onCommand(WPARAM wParam, LPARAM lParam) {
    if (closing)
        return FALSE;
    switch (wParam) {
    case IDOK:
        onOk();
        return TRUE;
    case IDCANCEL:
        onCancel();
        return TRUE;
    case IDC_NEW:
        onNew();
        return TRUE;
    case IDC_REMOVE:
        onRemove();
        return TRUE;
    case IDC_BROWSE:
        onBrowse();
        return TRUE;
    case IDC_DEFAULT_PORT:
        onDefaultPort();
        return TRUE;
    case IDC_TRUST_CERTIFICATE:
        onTrustCertificate();
        return TRUE;
    default:
        break;
    }
    const int id = LOWORD(wParam);
    switch (HIWORD(wParam)) {
    case BN_CLICKED:
        if (id != IDC_SHOW_ICON)
            return FALSE;
        OptionsDialog::readControls();
        return TRUE;
    case CBN_SELCHANGE:
        if (id != IDC_PROFILE)
            return FALSE;
        onSelectionChange(reinterpret_cast<HWND>(lParam));
        return TRUE;
    case EN_KILLFOCUS:
        onFieldLeft(id);
        return TRUE;
    default:
        return FALSE;
    }
}

void onInitDialog(HWND dialog) {
    dialogWindow = dialog;
    closing = false;
    reporting = false;
    browsing = false;
    modalDialogOpened(dialog);
    centerDialog(dialog);
    SendDlgItemMessageA(dialog, IDC_COLOUR, TBM_SETRANGE, TRUE, MAKELPARAM(0, highestColour));
    CheckDlgButton(dialog, IDC_START_AT_LOGON, startsAtLogon() ? BST_CHECKED : BST_UNCHECKED);
    for (const char* name : securityNames)
        SendDlgItemMessageA(dialog, IDC_SECURITY, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    int index = 0;
    int chosen = 0; // the first profile when no account is current
    for (const Account& account : accounts) {
        SendDlgItemMessageA(dialog, IDC_PROFILE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(account.title.c_str()));
        if (&account == currentAccount)
            chosen = index;
        ++index;
    }
    if (accounts.size() == 0) {
        selectedId = 0;
        onNew();
        return;
    }
    select(chosen);
    OptionsDialog::fillControls();
}

} // namespace

void OptionsDialog::open() {
    // The dialog holds a trackbar, a common control; its class must exist
    // before the dialog is made.
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_BAR_CLASSES;
    InitCommonControlsEx(&classes);
    runModalDialog(IDD_OPTIONS, procedure);
}

void OptionsDialog::fillControls() {
    Account* account = selectedAccount();
    if (!account)
        return;
    SetDlgItemTextA(dialogWindow, IDC_HOST, account->host.c_str());
    SetDlgItemInt(dialogWindow, IDC_PORT, account->port, FALSE);
    SetDlgItemTextA(dialogWindow, IDC_USER, account->user.c_str());
    SetDlgItemTextA(dialogWindow, IDC_PASSWORD, account->password.c_str());
    setChecked(IDC_SHOW_ICON, account->showIcon);
    setChecked(IDC_CHECK_AUTOMATICALLY, account->checkAutomatically);
    setChecked(IDC_DELETE_IMMEDIATELY, account->deleteImmediately);
    setChecked(IDC_NOTIFY_NEW_MAIL, account->notifyNewMail);
    SetDlgItemInt(dialogWindow, IDC_INTERVAL, account->intervalMinutes, FALSE);
    SendDlgItemMessageA(dialogWindow, IDC_SECURITY, CB_SETCURSEL, static_cast<WPARAM>(account->security), 0);
    enableTrustButton(*account);
    // The last icon on show cannot be switched off from here.
    enableControl(IDC_SHOW_ICON, !(accounts.countShownIcons() == 1 && account->showIcon));
    enableControl(IDC_REMOVE, accounts.size() > 1);
    SendDlgItemMessageA(dialogWindow, IDC_COLOUR, TBM_SETPOS, TRUE, static_cast<LPARAM>(account->iconColour));
    SetDlgItemTextA(dialogWindow, IDC_CLIENT_COMMAND, account->clientCommand.c_str());
}

int OptionsDialog::readControls() {
    Account* account = selectedAccount();
    if (!account)
        return 0;
    int refused = 0;
    // Whether the field's value may be taken over; the first refusal is the
    // one answered.
    const auto accepted = [&](int id) {
        if (fieldProblem(id).empty())
            return true;
        if (!refused)
            refused = id;
        return false;
    };
    bool translated = false;
    if (accepted(IDC_HOST)) {
        const std::string host = controlText(IDC_HOST);
        // A trusted or refused certificate was another server's.
        if (host != account->host) {
            account->trustedFingerprint.clear();
            account->forgetRefusedCertificate();
            enableTrustButton(*account);
        }
        account->setHost(host);
    }
    if (accepted(IDC_PORT))
        account->port = controlNumber(IDC_PORT, translated);
    if (accepted(IDC_USER))
        account->setUser(controlText(IDC_USER));
    if (accepted(IDC_PASSWORD))
        account->password = controlText(IDC_PASSWORD);
    account->setShowIcon(isChecked(IDC_SHOW_ICON));
    account->setCheckAutomatically(isChecked(IDC_CHECK_AUTOMATICALLY));
    account->deleteImmediately = isChecked(IDC_DELETE_IMMEDIATELY);
    account->notifyNewMail = isChecked(IDC_NOTIFY_NEW_MAIL);
    account->security = chosenSecurity(account->security);
    if (accepted(IDC_INTERVAL))
        account->setInterval(controlNumber(IDC_INTERVAL, translated));
    const LRESULT colour = SendDlgItemMessageA(dialogWindow, IDC_COLOUR, TBM_GETPOS, 0, 0);
    account->setIconColour(static_cast<unsigned>(colour));
    if (accepted(IDC_CLIENT_COMMAND))
        account->clientCommand = controlText(IDC_CLIENT_COMMAND);
    return refused;
}

INT_PTR CALLBACK OptionsDialog::procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
        case WM_INITDIALOG:
            onInitDialog(dialog);
            return TRUE; // the focus goes to the first tab stop, the profile list
        case WM_COMMAND:
            return onCommand(wParam, lParam);
        case WM_HSCROLL:
            if (reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_COLOUR))
                readControls();
            return TRUE;
        case WM_DESTROY:
            if (dialog == dialogWindow) {
                closing = true;
                dialogWindow = nullptr;
            }
            return FALSE;
        default:
            return FALSE;
        }
    } catch (MsgException&) {
        // A registry failure while saving or reloading: the program ends
        // and says why; until then the dialog touches nothing.
        closing = true;
        MainWindow::endLoopWithFailure();
        return TRUE;
    }
}
