// The account's message menu, built with the real menu functions and read
// back in Unicode; and opened for real at the cursor of the Xvfb screen,
// answered by keys that a timer posts inside the menu's modal loop.
#include "ui/MessageMenu.h"
#include "ui/WindowFixture.h"

#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::wstring>;

// An item as a line: "P text" for a popup, "--" for a separator, else its
// state (E enabled, D disabled, DG disabled and grayed), id and text.
Lines items(HMENU menu) {
    Lines lines;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[512] = L"";
        GetMenuStringW(menu, static_cast<UINT>(i), text, 512, MF_BYPOSITION);
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        const std::wstring kind = state & MF_GRAYED ? L"DG " : state & MF_DISABLED ? L"D " : L"E ";
        lines.push_back(GetSubMenu(menu, i) ? L"P " + std::wstring(text)
                        : state & MF_SEPARATOR
                            ? L"--"
                            : kind + std::to_wstring(GetMenuItemID(menu, i)) + L" " + text);
    }
    return lines;
}

POP3::Message& addMessage(Account& account, const std::string& uid,
                          std::vector<std::string> headers, std::vector<std::string> body) {
    auto holder = std::make_unique<POP3::Message>(account.messages.count() + 1, uid.c_str());
    POP3::Message& message = *holder;
    for (std::string& line : headers)
        message.receiveHeaderLine(line);
    for (std::string& line : body)
        message.receiveBodyLine(line);
    message.size = message.received; // fetched whole
    message.flags = 0;
    account.messages.pushBack(holder);
    return message;
}

// The user at the open menu: `meanwhile` at the first timer tick, then one
// key of `keys` per tick; any later opening is dismissed.
struct User {
    std::function<void()> meanwhile;
    std::string keys;
    std::size_t next = 0;
    int opened = 0;
    RECT shownAt{};
} user;

void CALLBACK userTick(HWND, UINT, UINT_PTR, DWORD) {
    HWND menuWindow = FindWindowA("#32768", nullptr);
    if (!menuWindow || !IsWindowVisible(menuWindow))
        return;
    if (user.opened == 1 && user.next++ == 0) {
        GetWindowRect(menuWindow, &user.shownAt);
        user.meanwhile();
    } else {
        const bool typing = user.opened == 1 && user.next <= user.keys.size() + 1;
        PostMessageA(menuWindow, WM_KEYDOWN, typing ? user.keys[user.next - 2] : VK_ESCAPE, 0);
    }
}

// The account is the fixture's "ann", in the program's real main window,
// which routes the menu's messages; the window's procedure is wrapped only
// to count the openings.
class MessageMenu : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        currentAccount = ann;
        original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(mainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(counting)));
    }
    static LRESULT CALLBACK counting(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        user.opened += message == WM_ENTERMENULOOP ? 1 : 0;
        return CallWindowProcA(original, window, message, wParam, lParam);
    }
    // A click on the new-mail balloon, the cursor at (700, 400); a click on
    // the icon itself takes the same way, end to end.
    void click(std::function<void()> meanwhile, std::string keys) {
        user = User{std::move(meanwhile), std::move(keys)};
        SetCursorPos(700, 400);
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, userTick);
        SendMessageA(mainWindow, MainWindow::trayCallbackMessage, static_cast<WPARAM>(ann->id),
                     NIN_BALLOONUSERCLICK);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        KillTimer(nullptr, timer);
    }

    // An entry's submenu, as the menu's loop hands it over when it opens.
    HMENU opened(int item) {
        const HMENU submenu = GetSubMenu(ann->menu, item);
        SendMessageA(mainWindow, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(submenu), item);
        return submenu;
    }

    static inline WNDPROC original = nullptr;
};

// What a reader sees: decoded subjects and senders in Unicode, cut at a
// character when long; "&" shown as such, except in the headers' own menu
// whose items are only read; quoted lines dimmed; the bytes not fetched;
// and position i owns the "&Delete" id 1026 + 16 i, a marked message's
// position included, up to the last position the main window routes.
TEST_F(MessageMenu, EntriesShowTheMailAsSentAndNumberTheirDeleteByPosition) {
    POP3::Message& cut =
        addMessage(*ann, "a1",
                   {"Subject: =?UTF-8?B?zprOsc67zrfOvM6tz4HOsQ==?= R&D && more", "From: Bob <b@x>"},
                   {"> quoted & dimmed", "Fish && chips"});
    cut.size = cut.received + 3800;
    addMessage(*ann, "b2", {}, {}).flags = POP3::Message::Deleted;
    std::string longSubject = "Subject: =?UTF-8?Q?";
    for (int i = 0; i < 250; ++i)
        longSubject += "=D0=B6";
    addMessage(*ann, "c3", {longSubject + "?=", "Content-Type: image/png"}, {"iVBORw0KGgo"});
    ann->buildMenu(false);
    EXPECT_EQ(items(ann->menu),
              (Lines{L"P Καλημέρα R&&D &&&& more\tBob <b@x>",
                     L"P " + std::wstring(199, L'ж') + L"…\t", L"--", L"E 40005 &Launch client"}));
    const HMENU first = opened(0);
    EXPECT_EQ(items(first),
              (Lines{L"P &Headers", L"--", L"DG 0 > quoted && dimmed", L"D 0 Fish &&&& chips",
                     L"DG 0 ... (3800 more bytes follows)", L"--", L"E 1026 &Delete"}));
    EXPECT_EQ(items(GetSubMenu(first, 0))[0], L"D 0 Subject\tΚαλημέρα R&D && more");
    EXPECT_EQ(items(opened(1)),
              (Lines{L"P &Headers", L"--", L"DG 0 (no text in the lines fetched)", L"--",
                     L"E 1058 &Delete"}));
    // The main window routes ids up to 33791, positions up to 2047: later
    // messages get no entry, whose "&Delete" could never come back.
    std::next(ann->messages.begin())->flags = 0;
    for (int i = 3; i < 2050; ++i)
        addMessage(*ann, "m" + std::to_string(i), {}, {});
    ann->buildMenu(false);
    ASSERT_EQ(GetMenuItemCount(ann->menu), 2048 + 3);
    EXPECT_EQ(items(opened(2047)).back(), L"E 33778 &Delete");
    EXPECT_NE(items(ann->menu)[2048].find(L"2 more"), std::wstring::npos);
    EXPECT_EQ(ann->messageCount, 2050u);
}

// "&Delete" marks the message its menu showed, found by its uid, whatever
// happened to the list since the menu was built or while it was open.
TEST_F(MessageMenu, DeleteMarksTheMessageTheMenuShowed) {
    const auto eraseAt = [this](int position) {
        ann->messages.erase(std::next(ann->messages.begin(), position));
    };
    const struct {
        const char* what;
        std::function<void()> beforeOpening, whileOpen;
        int entry; // 1-based, as the keys count
        std::vector<std::string> deleted;
        int opened;
    } cases[] = {
        {"unchanged", [] {}, [] {}, 1, {"a1"}, 2},
        {"outdated menu", [&] { eraseAt(0); }, [] {}, 2, {"b2"}, 2},
        {"gone meanwhile", [&] { eraseAt(1); }, [] {}, 2, {}, 1},
        {"rebuilt while open",
         [] {},
         [&] {
             eraseAt(0);
             ann->buildMenu(false);
         },
         2,
         {"b2"},
         2},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        while (ann->messages.count() > 0)
            eraseAt(0);
        for (const char* uid : {"a1", "b2", "c3"})
            addMessage(*ann, uid, {"Subject: about " + std::string(uid)}, {"text"});
        ann->buildMenu(false);
        const HMENU built = ann->menu;
        ann->newCount = 1;
        row.beforeOpening();
        click(row.whileOpen, std::string(row.entry, VK_DOWN) + char(VK_RIGHT) + 'D');
        std::vector<std::string> deleted;
        for (const POP3::Message& message : ann->messages)
            if (message.flags & POP3::Message::Deleted)
                deleted.push_back(message.uid);
        EXPECT_EQ(deleted, row.deleted);
        EXPECT_EQ(user.opened, row.opened) << "reopened after a deletion only";
        EXPECT_EQ(user.shownAt.right, 700) << "right edge at the cursor";
        EXPECT_EQ(ann->newCount, 0u) << "opened means seen";
        if (row.opened == 2) {
            EXPECT_FALSE(IsMenu(built)) << "the menu shown is destroyed once replaced and closed";
        }
    }
}

} // namespace
