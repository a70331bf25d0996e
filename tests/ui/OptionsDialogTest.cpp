// The options dialog on the live accounts: the real dialog from the
// program's resources, real controls, real tray icons and the test
// prefix's registry. Most tests run the dialog modeless, so that a test can
// act between two steps as the user does, and drive it as the controls do:
// a button clicked with BM_CLICK, the focus moved with WM_NEXTDLGCTL (the
// edit then sends EN_KILLFOCUS itself), the slider moved by its arrow keys.
#include "accounts/Account.h"
#include "accounts/AccountList.h"
#include "accounts/ProfileProblems.h"
#include "accounts/ProfileStore.h"
#include "accounts/ProfileKey.h"
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

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

struct ControlLayout {
    int id;
    const char* className;
    const char* text;
    RECT units; // x, y, width, height
};

// Every control in tab order (static texts and the group box with id -1).
const ControlLayout optionsLayout[] = {
    {-1, "Static", "Pr&ofile:", {15, 15, 22, 8}},
    {IDC_PROFILE, "ComboBox", "", {45, 15, 80, 90}},
    {IDC_NEW, "Button", "&New", {135, 15, 40, 14}},
    {IDC_REMOVE, "Button", "&Remove", {180, 15, 40, 14}},
    {IDC_CHECK_AUTOMATICALLY, "Button", "Check &automatically", {40, 40, 79, 10}},
    {-1, "Static", "&every", {50, 50, 18, 8}},
    {IDC_INTERVAL, "Edit", "", {75, 50, 20, 14}},
    {-1, "Static", "minutes", {100, 50, 25, 8}},
    {IDC_SHOW_ICON, "Button", "&Show icon", {135, 40, 49, 10}},
    {IDC_COLOUR, "msctls_trackbar32", "", {181, 35, 40, 25}},
    {IDC_DELETE_IMMEDIATELY, "Button", "\"&Delete\" updates server immediately", {40, 70, 130, 10}},
    {-1, "Static", "Mail &client", {40, 90, 32, 8}},
    {IDC_CLIENT_COMMAND, "Edit", "", {80, 90, 105, 14}},
    {IDC_BROWSE, "Button", "&Browse", {190, 90, 30, 14}},
    {-1, "Button", "POP3", {35, 110, 145, 100}},
    {-1, "Static", "&User", {56, 125, 16, 8}},
    {IDC_USER, "Edit", "", {80, 125, 80, 14}},
    {-1, "Static", "&Password", {40, 145, 32, 8}},
    {IDC_PASSWORD, "Edit", "", {80, 145, 80, 14}},
    {-1, "Static", "&Host", {56, 165, 16, 8}},
    {IDC_HOST, "Edit", "", {80, 165, 80, 14}},
    {-1, "Static", "Port", {58, 185, 14, 8}},
    {IDC_PORT, "Edit", "", {80, 185, 35, 14}},
    {IDOK, "Button", "OK", {190, 165, 50, 14}},
    {IDCANCEL, "Button", "Cancel", {190, 185, 50, 14}},
    {IDC_DEFAULT_PORT, "Button", "Default", {120, 185, 40, 14}},
};

RECT dialogUnits(HWND dialog, const RECT& units) {
    RECT r{units.left, units.top, units.right, units.bottom};
    MapDialogRect(dialog, &r);
    return {r.left, r.top, r.left + r.right, r.top + r.bottom};
}

bool takeQuit() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT)
            return true;
        DispatchMessageA(&message);
    }
    return false;
}

void pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
}

class OptionsDialogTest : public testing::Test {
protected:
    void SetUp() override {
        deleteProfileKey();
        moduleInstance = GetModuleHandleA(nullptr);
        loadIcons();
        MainWindow::registerClass(moduleInstance);
        mainWindow = MainWindow::create(moduleInstance);
        ASSERT_NE(mainWindow, nullptr);
        programWindow = mainWindow;
        INITCOMMONCONTROLSEX classes{sizeof classes, ICC_BAR_CLASSES};
        InitCommonControlsEx(&classes);
    }
    void TearDown() override {
        if (dialog)
            DestroyWindow(dialog);
        accounts.clear();
        currentAccount = nullptr;
        DestroyWindow(programWindow);
        takeQuit(); // the one WM_DESTROY posted
        deleteProfileKey();
    }

    Account& addAccount(const std::string& user, const std::string& host = "127.0.0.1", bool shown = true) {
        auto holder = std::make_unique<Account>(accounts.randomId());
        Account& account = *holder;
        account.setHost(host);
        account.setUser(user);
        account.setShowIcon(shown);
        accounts.append(holder);
        return account;
    }

    // The dialog as "&Options..." makes it, but modeless, visible and active.
    void openOn(Account* current) {
        currentAccount = current;
        dialog = CreateDialogParamA(moduleInstance, MAKEINTRESOURCEA(IDD_OPTIONS), nullptr,
                                    OptionsDialog::procedure, 0);
        ASSERT_NE(dialog, nullptr);
        ShowWindow(dialog, SW_SHOW);
        SetForegroundWindow(dialog);
        pump();
    }

    HWND item(int id) const { return GetDlgItem(dialog, id); }
    std::string text(int id) const { return windowText(item(id)); }
    void type(int id, const std::string& value) { SetDlgItemTextA(dialog, id, value.c_str()); }
    void click(int id) {
        SendMessageA(item(id), BM_CLICK, 0, 0);
        pump();
    }
    // Moves the focus as Tab or a click does; the field left notifies.
    void focus(int id) {
        SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(id)), TRUE);
        pump();
    }
    bool checked(int id) const { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
    // What the user's choice in the drop-down list sends.
    void chooseProfile(int index) {
        HWND combo = item(IDC_PROFILE);
        SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_PROFILE, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    }
    std::vector<std::string> comboEntries() const {
        std::vector<std::string> entries;
        HWND combo = item(IDC_PROFILE);
        const LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            char entry[512] = {};
            SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry));
            entries.push_back(entry);
        }
        return entries;
    }
    LRESULT comboSelection() const { return SendMessageA(item(IDC_PROFILE), CB_GETCURSEL, 0, 0); }
    std::vector<int> accountIds() const {
        std::vector<int> ids;
        for (const Account& account : accounts)
            ids.push_back(account.id);
        return ids;
    }

    // Answers every message box the dialog shows, keeping what each said;
    // each must be the dialog's own, with its caption.
    std::unique_ptr<DialogWatcher> answerBoxes(DWORD milliseconds = 10000) {
        return std::make_unique<DialogWatcher>(
            [this](HWND box) {
                if (box == dialog)
                    return;
                EXPECT_EQ(windowText(box), "Pellmor Options");
                EXPECT_EQ(GetWindow(box, GW_OWNER), dialog);
                said.push_back(messageBoxText(box));
                pressOk(box);
            },
            milliseconds);
    }
    std::string lastSaid() const { return said.empty() ? std::string() : said.back(); }

    std::vector<std::string> said;
    // Only for its tray icon that stays, which spares each test the
    // seconds Wine takes to remove the last one.
    TestWindow trayKeeper;
    HWND programWindow = nullptr;
    HWND dialog = nullptr;
};

TEST_F(OptionsDialogTest, ResourceHasEveryControlInTabOrderWithItsPlace) {
    addAccount("ann");
    openOn(&*accounts.begin());
    EXPECT_EQ(windowText(dialog), "Pellmor Options");
    RECT client{};
    GetClientRect(dialog, &client);
    const RECT size = dialogUnits(dialog, {0, 0, 252, 221});
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    const LONG_PTR style = GetWindowLongPtrA(dialog, GWL_STYLE);
    EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME),
              WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);

    std::vector<HWND> controls;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        controls.push_back(c);
    ASSERT_EQ(controls.size(), std::size(optionsLayout));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const ControlLayout& expected = optionsLayout[i];
        HWND c = controls[i];
        SCOPED_TRACE(expected.text + std::string(" #") + std::to_string(i));
        EXPECT_EQ(static_cast<short>(GetDlgCtrlID(c)), expected.id);
        EXPECT_EQ(windowClassName(c), expected.className);
        if (expected.id == -1 || windowClassName(c) == "Button") {
            EXPECT_EQ(windowText(c), expected.text);
        }
        RECT r{};
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        const RECT want = dialogUnits(dialog, expected.units);
        EXPECT_EQ(r.left, want.left);
        EXPECT_EQ(r.top, want.top);
        EXPECT_EQ(r.right, want.right);
        if (expected.id != IDC_PROFILE) { // a closed combo box is one line high
            EXPECT_EQ(r.bottom, want.bottom);
        }
        const bool tabStop = (GetWindowLongPtrA(c, GWL_STYLE) & WS_TABSTOP) != 0;
        EXPECT_EQ(tabStop, expected.id != -1);
    }
    const auto styleOf = [&](int id) { return GetWindowLongPtrA(item(id), GWL_STYLE); };
    // (The combo box hands WS_VSCROLL on to its list.)
    EXPECT_EQ(styleOf(IDC_PROFILE) & (CBS_DROPDOWNLIST | CBS_SORT), CBS_DROPDOWNLIST);
    EXPECT_TRUE(styleOf(IDC_PASSWORD) & ES_PASSWORD);
    EXPECT_TRUE(styleOf(IDC_PORT) & ES_NUMBER);
    EXPECT_TRUE(styleOf(IDC_INTERVAL) & ES_NUMBER);
    EXPECT_FALSE(styleOf(IDC_HOST) & ES_NUMBER);
    EXPECT_EQ(styleOf(IDOK) & 0x0F, BS_DEFPUSHBUTTON);
    EXPECT_EQ(styleOf(IDC_SHOW_ICON) & 0x0F, BS_AUTOCHECKBOX);
    EXPECT_EQ(styleOf(IDC_COLOUR) & (TBS_AUTOTICKS | TBS_BOTH | TBS_VERT), TBS_AUTOTICKS | TBS_BOTH);
    EXPECT_EQ(SendMessageA(item(IDC_COLOUR), TBM_GETRANGEMAX, 0, 0), 5);
    EXPECT_EQ(SendMessageA(item(IDC_COLOUR), TBM_GETRANGEMIN, 0, 0), 0);
    // The edits keep no limit below the system's own.
    EXPECT_GT(SendMessageA(item(IDC_HOST), EM_GETLIMITTEXT, 0, 0), 1000);
}

// "&Options..." itself: the trackbar class is registered by the program
// before the dialog is made, the dialog opens centred on the screen on the
// current account, or on the first profile when there is none.
TEST_F(OptionsDialogTest, OpenRunsTheModalDialogCentredOnTheCurrentProfile) {
    addAccount("ann");
    Account& bob = addAccount("bob", "pop.example.org");
    for (Account* current : {&bob, static_cast<Account*>(nullptr)}) {
        currentAccount = current;
        std::string shownUser;
        LRESULT selection = -2;
        bool centred = false;
        DialogWatcher watcher([&](HWND box) {
            if (windowText(box) != "Pellmor Options")
                return;
            WNDCLASSEXA trackbar{};
            trackbar.cbSize = sizeof trackbar;
            EXPECT_TRUE(GetClassInfoExA(nullptr, TRACKBAR_CLASSA, &trackbar));
            EXPECT_EQ(windowClassName(GetDlgItem(box, IDC_COLOUR)), TRACKBAR_CLASSA);
            EXPECT_EQ(GetParent(box), nullptr);
            RECT screen{}, r{};
            GetWindowRect(GetDesktopWindow(), &screen);
            GetWindowRect(box, &r);
            centred = r.left == (screen.right - (r.right - r.left)) / 2 &&
                      r.top == (screen.bottom - (r.bottom - r.top)) / 2;
            shownUser = windowText(GetDlgItem(box, IDC_USER));
            selection = SendDlgItemMessageA(box, IDC_PROFILE, CB_GETCURSEL, 0, 0);
            // The first tab stop has the focus.
            EXPECT_EQ(GetFocus(), GetDlgItem(box, IDC_PROFILE));
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        });
        EXPECT_TRUE(MainWindow::onCommand(programWindow, ID_OPTIONS));
        EXPECT_FALSE(watcher.timedOut);
        EXPECT_TRUE(centred);
        EXPECT_EQ(shownUser, current ? "bob" : "ann");
        EXPECT_EQ(selection, current ? 1 : 0);
        EXPECT_EQ(currentAccount, current ? &bob : &*accounts.begin());
    }
}

TEST_F(OptionsDialogTest, FillShowsTheProfileAndGuardsTheLastIconAndTheLastProfile) {
    Account& ann = addAccount("ann", "mail.example.org");
    ann.port = 995;
    ann.password = "secret";
    ann.setCheckAutomatically(true);
    ann.setInterval(25);
    ann.deleteImmediately = true;
    ann.setIconColour(3);
    ann.clientCommand = "C:\\Mail\\mail.exe -inbox";
    openOn(&ann);
    EXPECT_EQ(comboEntries(), std::vector<std::string>{"ann@mail.example.org"});
    EXPECT_EQ(comboSelection(), 0);
    EXPECT_EQ(text(IDC_HOST), "mail.example.org");
    EXPECT_EQ(text(IDC_PORT), "995");
    EXPECT_EQ(text(IDC_USER), "ann");
    EXPECT_EQ(text(IDC_PASSWORD), "secret");
    EXPECT_TRUE(checked(IDC_SHOW_ICON));
    EXPECT_TRUE(checked(IDC_CHECK_AUTOMATICALLY));
    EXPECT_TRUE(checked(IDC_DELETE_IMMEDIATELY));
    EXPECT_EQ(text(IDC_INTERVAL), "25");
    EXPECT_EQ(SendMessageA(item(IDC_COLOUR), TBM_GETPOS, 0, 0), 3);
    EXPECT_EQ(text(IDC_CLIENT_COMMAND), "C:\\Mail\\mail.exe -inbox");
    // One profile with the only icon: neither can go.
    EXPECT_FALSE(IsWindowEnabled(item(IDC_SHOW_ICON)));
    EXPECT_FALSE(IsWindowEnabled(item(IDC_REMOVE)));
}

TEST_F(OptionsDialogTest, ShowIconActsAtOnceAndTheLastShownIconCannotBeSwitchedOff) {
    Account& ann = addAccount("ann");
    Account& bob = addAccount("bob");
    openOn(&ann);
    EXPECT_TRUE(IsWindowEnabled(item(IDC_SHOW_ICON)));
    EXPECT_TRUE(IsWindowEnabled(item(IDC_REMOVE)));
    click(IDC_SHOW_ICON);
    EXPECT_FALSE(ann.showIcon);
    EXPECT_EQ(ann.trayIcon, nullptr);
    chooseProfile(1);
    EXPECT_EQ(text(IDC_USER), "bob");
    EXPECT_FALSE(IsWindowEnabled(item(IDC_SHOW_ICON)));
    EXPECT_NE(bob.trayIcon, nullptr);
    // Back on ann, her icon can be switched on again.
    chooseProfile(0);
    EXPECT_TRUE(IsWindowEnabled(item(IDC_SHOW_ICON)));
    EXPECT_FALSE(checked(IDC_SHOW_ICON));
}

TEST_F(OptionsDialogTest, LeavingHostOrUserTakesTheEditsOverAndRenamesTheEntry) {
    Account& ann = addAccount("ann", "");
    Account& bob = addAccount("bob");
    openOn(&ann);
    EXPECT_EQ(comboEntries(), (std::vector<std::string>{"ann", "bob@127.0.0.1"}));
    focus(IDC_HOST);
    type(IDC_HOST, "pop.example.org");
    type(IDC_PASSWORD, "pw");
    focus(IDC_PORT);
    EXPECT_EQ(ann.host, "pop.example.org");
    EXPECT_EQ(ann.password, "pw"); // every field is taken over
    EXPECT_EQ(ann.title, "ann@pop.example.org");
    EXPECT_EQ(comboEntries(), (std::vector<std::string>{"ann@pop.example.org", "bob@127.0.0.1"}));
    EXPECT_EQ(comboSelection(), 0);
    EXPECT_EQ(bob.host, "127.0.0.1");

    // Leaving another field takes nothing over by itself.
    focus(IDC_PORT);
    type(IDC_PORT, "1110");
    focus(IDC_INTERVAL);
    EXPECT_EQ(ann.port, 110u);
}

TEST_F(OptionsDialogTest, ChangingTheProfileTakesTheEditsIntoTheOneSelectedUntilThen) {
    Account& ann = addAccount("ann");
    Account& bob = addAccount("bob");
    openOn(&ann);
    type(IDC_PORT, "2110");
    type(IDC_CLIENT_COMMAND, "mail.exe");
    click(IDC_CHECK_AUTOMATICALLY);
    chooseProfile(1);
    EXPECT_EQ(ann.port, 2110u);
    EXPECT_EQ(ann.clientCommand, "mail.exe");
    EXPECT_TRUE(ann.checkAutomatically);
    EXPECT_NE(ann.timerId, 0u);
    EXPECT_EQ(bob.port, 110u);
    EXPECT_EQ(text(IDC_PORT), "110");
    EXPECT_EQ(text(IDC_CLIENT_COMMAND), "");
    EXPECT_EQ(currentAccount, &bob);
    EXPECT_EQ(OptionsDialog::selectedIndex, 1);
}

// A drop-down list never reports "no selection", but a notification that
// does is taken as "no change": the edits are taken over and the profile
// shown stays selected.
TEST_F(OptionsDialogTest, SelectionChangeWithoutASelectionKeepsTheProfile) {
    Account& ann = addAccount("ann");
    addAccount("bob");
    openOn(&ann);
    type(IDC_PORT, "2110");
    HWND combo = item(IDC_PROFILE);
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_PROFILE, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    EXPECT_EQ(comboSelection(), 0);
    EXPECT_EQ(OptionsDialog::selectedIndex, 0);
    EXPECT_EQ(ann.port, 2110u);
    EXPECT_EQ(text(IDC_USER), "ann");
}

TEST_F(OptionsDialogTest, SliderRecoloursTheIconAtOnce) {
    Account& ann = addAccount("ann");
    openOn(&ann);
    focus(IDC_COLOUR);
    for (int step = 1; step <= 6; ++step) {
        SendMessageA(item(IDC_COLOUR), WM_KEYDOWN, VK_RIGHT, 0);
        SendMessageA(item(IDC_COLOUR), WM_KEYUP, VK_RIGHT, 0);
        EXPECT_EQ(ann.iconColour, static_cast<unsigned>(std::min(step, 5)));
    }
    ASSERT_NE(ann.trayIcon, nullptr);
}

TEST_F(OptionsDialogTest, NewMakesOneEmptyProfileAndRemoveSelectsItsNeighbour) {
    Account& ann = addAccount("ann");
    addAccount("bob");
    addAccount("cy");
    openOn(&ann);
    click(IDC_NEW);
    ASSERT_EQ(accounts.size(), 4u);
    Account* fresh = accounts.at(3);
    EXPECT_TRUE(fresh->showIcon);
    EXPECT_NE(fresh->trayIcon, nullptr);
    EXPECT_EQ(fresh->port, 110u);
    EXPECT_EQ(comboEntries().back(), "");
    EXPECT_EQ(comboSelection(), 3);
    EXPECT_EQ(currentAccount, fresh);
    EXPECT_EQ(text(IDC_USER), "");
    // The second press finds the empty profile, even from another one.
    chooseProfile(0);
    click(IDC_NEW);
    EXPECT_EQ(accounts.size(), 4u);
    EXPECT_EQ(comboSelection(), 3);

    // Removing the last selects the new last.
    click(IDC_REMOVE);
    EXPECT_EQ(accounts.size(), 3u);
    EXPECT_EQ(comboEntries(), (std::vector<std::string>{"ann@127.0.0.1", "bob@127.0.0.1", "cy@127.0.0.1"}));
    EXPECT_EQ(comboSelection(), 2);
    EXPECT_EQ(text(IDC_USER), "cy");
    EXPECT_EQ(currentAccount, accounts.at(2));
    // Removing another selects the one that followed, at the same place.
    chooseProfile(0);
    click(IDC_REMOVE);
    EXPECT_EQ(comboEntries(), (std::vector<std::string>{"bob@127.0.0.1", "cy@127.0.0.1"}));
    EXPECT_EQ(comboSelection(), 0);
    EXPECT_EQ(text(IDC_USER), "bob");
    EXPECT_EQ(currentAccount, accounts.at(0));
    // The click gave "&Remove" the focus; disabled, it hands it on.
    click(IDC_REMOVE);
    EXPECT_FALSE(IsWindowEnabled(item(IDC_REMOVE)));
    HWND focused = GetFocus();
    EXPECT_TRUE(focused && IsChild(dialog, focused) && IsWindowEnabled(focused));
}

// A user who keeps pressing New is told when no more profiles fit; the
// program does not end.
TEST_F(OptionsDialogTest, NewOnAFullListSaysSoInsteadOfFailing) {
    for (std::size_t i = 0; i < AccountList::maxAccounts; ++i)
        addAccount("u" + std::to_string(i), "h", i == 0);
    openOn(&*accounts.begin());
    const auto watcher = answerBoxes();
    click(IDC_NEW);
    EXPECT_EQ(accounts.size(), AccountList::maxAccounts);
    EXPECT_NE(lastSaid().find("at most 100 profiles"), std::string::npos) << lastSaid();
    EXPECT_FALSE(takeQuit());
}

// Default sets the port, and only the port: what was typed elsewhere and
// not yet taken over stays in its field.
TEST_F(OptionsDialogTest, DefaultSetsOnlyThePort) {
    Account& ann = addAccount("ann");
    ann.port = 995;
    openOn(&ann);
    type(IDC_PASSWORD, "typed");
    click(IDC_DELETE_IMMEDIATELY);
    click(IDC_DEFAULT_PORT);
    EXPECT_EQ(ann.port, 110u);
    EXPECT_EQ(text(IDC_PORT), "110");
    EXPECT_EQ(text(IDC_PASSWORD), "typed");
    EXPECT_TRUE(checked(IDC_DELETE_IMMEDIATELY));
    EXPECT_EQ(ann.password, ""); // not taken over yet, and not saved
    EXPECT_FALSE(profileKeyExists());
}

TEST_F(OptionsDialogTest, OkSavesEveryProfileAndKeepsTheAccounts) {
    Account& ann = addAccount("ann");
    addAccount("bob");
    openOn(&ann);
    type(IDC_HOST, "pop.example.org");
    type(IDC_PORT, "1110");
    click(IDC_NEW);
    type(IDC_USER, "cy");
    chooseProfile(1);
    click(IDC_REMOVE); // bob goes
    const std::vector<int> ids = accountIds();
    click(IDOK);
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(accountIds(), ids);
    EXPECT_EQ(ann.host, "pop.example.org");
    const RawValue first = readRawValue("0");
    const RawValue second = readRawValue("1");
    EXPECT_EQ(first.data.substr(0, 20), "pop.example.org,ann,");
    EXPECT_NE(first.data.find(",1110d"), std::string::npos) << first.data;
    EXPECT_EQ(second.data.substr(0, 4), ",cy,");
    EXPECT_FALSE(readRawValue("2").found);
    EXPECT_FALSE(takeQuit());
}

TEST_F(OptionsDialogTest, CancelReloadsTheStoredProfilesAsNewAccounts) {
    Account& ann = addAccount("ann");
    ann.setIconColour(2);
    addAccount("bob");
    accounts.saveProfiles();
    openOn(&ann);
    focus(IDC_COLOUR);
    SendMessageA(item(IDC_COLOUR), WM_KEYDOWN, VK_RIGHT, 0);
    click(IDC_SHOW_ICON);
    click(IDC_NEW);
    ASSERT_EQ(accounts.size(), 3u);
    click(IDCANCEL);
    EXPECT_FALSE(IsWindowVisible(dialog));
    ASSERT_EQ(accounts.size(), 2u);
    Account& reloaded = *accounts.begin();
    EXPECT_EQ(reloaded.user, "ann");
    EXPECT_EQ(reloaded.iconColour, 2u);
    EXPECT_TRUE(reloaded.showIcon);
    EXPECT_NE(reloaded.trayIcon, nullptr);
    EXPECT_EQ(reloaded.status, "mail unchecked");
    EXPECT_EQ(currentAccount, nullptr);
}

// After Cancel has replaced the accounts, whatever the closing dialog
// still sends must not reach the new ones.
TEST_F(OptionsDialogTest, NothingWritesIntoTheAccountsAfterCancel) {
    Account& ann = addAccount("ann");
    accounts.saveProfiles();
    openOn(&ann);
    type(IDC_HOST, "typed.example.org");
    type(IDC_USER, "typed");
    click(IDCANCEL);
    Account& reloaded = *accounts.begin();
    focus(IDC_HOST);
    focus(IDC_USER);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_HOST, EN_KILLFOCUS), reinterpret_cast<LPARAM>(item(IDC_HOST)));
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SHOW_ICON, BN_CLICKED), reinterpret_cast<LPARAM>(item(IDC_SHOW_ICON)));
    SendMessageA(dialog, WM_HSCROLL, 0, reinterpret_cast<LPARAM>(item(IDC_COLOUR)));
    SendMessageA(dialog, WM_COMMAND, IDC_DEFAULT_PORT, 0);
    SendMessageA(dialog, WM_COMMAND, IDC_NEW, 0);
    SendMessageA(dialog, WM_COMMAND, IDC_REMOVE, 0);
    ASSERT_EQ(accounts.size(), 1u);
    EXPECT_EQ(&*accounts.begin(), &reloaded);
    EXPECT_EQ(reloaded.host, "127.0.0.1");
    EXPECT_EQ(reloaded.user, "ann");
    EXPECT_EQ(currentAccount, nullptr);
}

// Tray and timer events move currentAccount while the dialog is open; the
// dialog goes on editing the profile its combo box shows.
TEST_F(OptionsDialogTest, TrayAndTimerEventsDoNotChangeWhatTheDialogEdits) {
    Account& ann = addAccount("ann");
    Account& bob = addAccount("bob");
    openOn(&ann);
    focus(IDC_HOST);
    type(IDC_HOST, "edited.example.org");
    SendMessageA(mainWindow, MainWindow::trayCallbackMessage, static_cast<WPARAM>(bob.id), WM_MOUSEMOVE);
    EXPECT_EQ(currentAccount, &bob);
    focus(IDC_USER);
    EXPECT_EQ(ann.host, "edited.example.org");
    EXPECT_EQ(bob.host, "127.0.0.1");
    EXPECT_EQ(comboEntries()[0], "ann@edited.example.org");
    type(IDC_PORT, "1995");
    click(IDOK);
    EXPECT_EQ(ann.port, 1995u);
    EXPECT_EQ(bob.port, 110u);
}

// Values the store could not keep are refused when they are entered: a box
// says why, the focus goes back to the field, the text stays there, and the
// profile keeps its old value.
TEST_F(OptionsDialogTest, RefusedValuesAreReportedAndKeptInTheirField) {
    Account& ann = addAccount("ann");
    addAccount("bob");
    openOn(&ann);
    const auto watcher = answerBoxes(60000);
    const auto waitForBox = [&](std::size_t count) {
        const DWORD start = GetTickCount();
        while (said.size() < count && GetTickCount() - start < 5000) {
            pump();
            Sleep(10);
        }
    };

    focus(IDC_HOST);
    type(IDC_HOST, "pop,example.org");
    type(IDC_PASSWORD, "taken");
    focus(IDC_USER);
    waitForBox(1);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("comma"), std::string::npos) << said[0];
    EXPECT_EQ(GetFocus(), item(IDC_HOST));
    EXPECT_EQ(text(IDC_HOST), "pop,example.org");
    EXPECT_EQ(ann.host, "127.0.0.1");
    EXPECT_EQ(ann.password, "taken"); // the other fields were taken over

    // Neither another profile, nor New, nor OK gets past it.
    chooseProfile(1);
    EXPECT_EQ(comboSelection(), 0);
    EXPECT_EQ(text(IDC_USER), "ann");
    click(IDC_NEW);
    EXPECT_EQ(accounts.size(), 2u);
    click(IDOK);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_FALSE(profileKeyExists());
    EXPECT_EQ(said.size(), 4u) << testing::PrintToString(said); // one box per refusal

    // Cancel is never in the way.
    focus(IDC_HOST);
    focus(IDCANCEL);
    EXPECT_EQ(said.size(), 4u);

    // Ports outside 1..65535, an interval longer than a timer keeps.
    type(IDC_HOST, "pop.example.org");
    for (const char* port : {"70000", "0", ""}) {
        type(IDC_PORT, port);
        const std::size_t before = said.size();
        click(IDOK);
        ASSERT_EQ(said.size(), before + 1) << port;
        EXPECT_NE(said.back().find("1 to 65535"), std::string::npos) << said.back();
        EXPECT_EQ(text(IDC_PORT), port);
    }
    type(IDC_PORT, "110");
    type(IDC_INTERVAL, std::to_string(Account::maxIntervalMinutes + 1));
    click(IDOK);
    EXPECT_NE(said.back().find("35791"), std::string::npos) << said.back();
    EXPECT_TRUE(IsWindowVisible(dialog));
    type(IDC_INTERVAL, "");
    click(IDOK); // an empty interval is 0: checks only on request
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(ann.intervalMinutes, 0u);
    EXPECT_EQ(ann.host, "pop.example.org");
    EXPECT_FALSE(watcher->timedOut);
}

// A password byte that would scramble to a comma is refused like any other
// value the store cannot keep.
TEST_F(OptionsDialogTest, PasswordsTheStoreCannotKeepAreRefused) {
    std::string unstorable;
    for (int c = 1; c < 256 && unstorable.empty(); ++c) {
        const std::string candidate(1, static_cast<char>(c));
        if (!passwordProblem(candidate).empty())
            unstorable = candidate;
    }
    ASSERT_FALSE(unstorable.empty());
    Account& ann = addAccount("ann");
    openOn(&ann);
    const auto watcher = answerBoxes();
    type(IDC_PASSWORD, unstorable);
    EXPECT_EQ(OptionsDialog::readControls(), IDC_PASSWORD);
    EXPECT_EQ(ann.password, "");
    click(IDOK);
    EXPECT_NE(lastSaid().find("password"), std::string::npos) << lastSaid();
    EXPECT_TRUE(IsWindowVisible(dialog));
}

// Texts are taken whole, not cut at 254 characters; a profile too long to
// be stored as a whole is refused at OK, with the profile shown.
TEST_F(OptionsDialogTest, LongTextsAreKeptWholeAndAnOverlongProfileIsRefusedAtOk) {
    Account& ann = addAccount("ann");
    addAccount("bob");
    openOn(&ann);
    const std::string host(300, 'h');
    focus(IDC_HOST);
    type(IDC_HOST, host);
    focus(IDC_USER);
    EXPECT_EQ(ann.host, host);

    chooseProfile(1);
    type(IDC_CLIENT_COMMAND, std::string(990, 'c'));
    chooseProfile(0);
    const auto watcher = answerBoxes();
    click(IDOK);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_NE(lastSaid().find("too long"), std::string::npos) << lastSaid();
    EXPECT_EQ(comboSelection(), 1);
    EXPECT_EQ(text(IDC_USER), "bob");
    EXPECT_FALSE(profileKeyExists());
}

// The file dialog of Browse: its settings, a chosen file becoming the
// client command, and what happens when the options change meanwhile.
class BrowseTest : public OptionsDialogTest {
protected:
    void SetUp() override {
        OptionsDialogTest::SetUp();
        char folder[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, folder);
        clientPath = std::string(folder) + "pellmor-browse-client.exe";
        std::ofstream(clientPath) << "MZ";
    }
    void TearDown() override {
        DeleteFileA(clientPath.c_str());
        OptionsDialogTest::TearDown();
    }

    // Answers the file dialog with `path` (or cancels it when empty), after
    // `meanwhile` ran while it was open; answers its title and the file
    // name it started with.
    void browse(const std::string& path, const std::function<void()>& meanwhile = {}) {
        DialogWatcher watcher([&](HWND box) {
            if (box == dialog)
                return;
            title = windowText(box);
            owner = GetWindow(box, GW_OWNER);
            startName = fileNameField(box);
            if (meanwhile)
                meanwhile();
            if (path.empty()) {
                PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
                return;
            }
            SetDlgItemTextA(box, fileNameId(box), path.c_str());
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        });
        click(IDC_BROWSE);
        EXPECT_FALSE(watcher.timedOut);
        EXPECT_EQ(watcher.seen.size() - (std::count(watcher.seen.begin(), watcher.seen.end(), dialog)), 1u);
    }

    // The file name field: an edit of its own (edt1) or the edit of a combo
    // box (cmb13), as the system's dialog has it.
    static int fileNameId(HWND box) { return GetDlgItem(box, 0x47c) ? 0x47c : 0x480; }
    static std::string fileNameField(HWND box) { return windowText(GetDlgItem(box, fileNameId(box))); }

    std::string clientPath;
    std::string title;
    std::string startName;
    HWND owner = nullptr;
};

TEST_F(BrowseTest, ChosenFileBecomesTheClientCommandAndOtherEditsStay) {
    Account& ann = addAccount("ann");
    ann.clientCommand = "old.exe";
    openOn(&ann);
    type(IDC_PASSWORD, "typed");
    browse(clientPath);
    EXPECT_EQ(title, "Browse for mail client executable");
    EXPECT_EQ(owner, mainWindow);
    EXPECT_EQ(startName, "old.exe");
    EXPECT_EQ(ann.clientCommand, clientPath);
    EXPECT_EQ(text(IDC_CLIENT_COMMAND), clientPath);
    EXPECT_EQ(text(IDC_PASSWORD), "typed");

    browse("");
    EXPECT_EQ(ann.clientCommand, clientPath);
}

// The path buffer holds 999 characters: a longer stored command starts the
// file dialog with an empty name rather than a cut one, and stays as it is
// unless a file is chosen.
TEST_F(BrowseTest, StoredCommandTooLongForThePathBufferStartsEmpty) {
    Account& ann = addAccount("ann");
    ann.clientCommand = std::string(1000, 'x');
    openOn(&ann);
    browse("");
    EXPECT_EQ(startName, "");
    EXPECT_EQ(ann.clientCommand, std::string(1000, 'x'));
    ann.clientCommand = std::string(999, 'y');
    browse("");
    EXPECT_EQ(startName.size(), 999u);
}

// The options dialog stays usable while the file dialog is open: a file
// chosen for a profile that is no longer shown, or after the dialog was
// cancelled, is dropped.
TEST_F(BrowseTest, FileChosenAfterTheOptionsMovedOnIsDropped) {
    Account& ann = addAccount("ann");
    Account& bob = addAccount("bob");
    openOn(&ann);
    browse(clientPath, [&] { chooseProfile(1); });
    EXPECT_EQ(ann.clientCommand, "");
    EXPECT_EQ(bob.clientCommand, "");
    EXPECT_EQ(text(IDC_CLIENT_COMMAND), "");

    accounts.saveProfiles();
    browse(clientPath, [&] { click(IDCANCEL); });
    ASSERT_EQ(accounts.size(), 2u);
    for (const Account& account : accounts)
        EXPECT_EQ(account.clientCommand, "");
}

} // namespace
