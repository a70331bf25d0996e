// The account's message menu: built ahead of time after every check and
// every deletion, opened by a left click on the account's icon, and the
// command of its "&Delete" items.
#include "ui/MessageMenu.h"

#include "accounts/Account.h"
#include "mail/HeaderText.h"
#include "mail/MimeBody.h"
#include "mail/Utf8.h"
#include "net/MessageList.h"
#include "net/POP3Message.h"
#include "ui/OwnedMenu.h"
#include "ui/ProgramHandles.h"
#include "ui/WideText.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>
#include <utility>

namespace {

// Informational items (headers, lines, notes) carry id 0 and are disabled,
// so no command ever comes from them.
constexpr UINT disabledItem = MF_STRING | MF_DISABLED;
constexpr UINT grayedItem = MF_STRING | MF_DISABLED | MF_GRAYED;

void appendItem(HMENU menu, UINT flags, UINT_PTR id, const char* text) {
    AppendMenuA(menu, flags, id, text);
}

// Text that came in a message is shown in Unicode: the decoders give UTF-8.
void appendMailText(HMENU menu, UINT flags, const std::string& utf8) {
    AppendMenuW(menu, flags, 0, widened(utf8, CP_UTF8).c_str());
}

// Hands `submenu` to `parent` as a popup item; from then on the parent
// destroys it. Should the append fail, the submenu stays with the holder
// and is destroyed with it instead of leaking.
void appendPopup(HMENU parent, OwnedMenu& submenu, const std::wstring& text) {
    if (AppendMenuW(parent, MF_POPUP, reinterpret_cast<UINT_PTR>(submenu.get()), text.c_str()))
        submenu.release();
}

// A header's text as a reader sees it. What decoding changed is cut to a
// menu's width; a text that came as it stands is shown whole, as before.
std::string shownHeader(std::string_view raw) {
    std::string text = decodeHeaderText(raw);
    if (text != raw)
        cutText(text, longestShownText);
    return text;
}

// Every header line as it arrived, decoded, "&" left alone: the values are
// for reading, the items are disabled, and nothing is chosen from them.
OwnedMenu buildHeadersMenu(const POP3::Message& message, std::string& text) {
    OwnedMenu headers(CreatePopupMenu());
    for (const Header& header : message.headers()) {
        text.assign(shownHeader(header.name));
        text += '\t';
        text += shownHeader(header.value);
        appendMailText(headers.get(), disabledItem, text);
    }
    return headers;
}

// The submenu of one message: its headers, its first lines, the bytes not
// fetched and its "&Delete".
void fillMessageMenu(HMENU submenu, const POP3::Message& message, UINT deleteId) {
    std::string text;
    OwnedMenu headers = buildHeadersMenu(message, text);
    appendPopup(submenu, headers, L"&Headers");
    appendItem(submenu, MF_SEPARATOR, 0, nullptr);

    const BodyPreview preview = previewBody(message.headers(), message.lines());
    for (const std::string& line : preview.lines) {
        text.assign(line);
        escapeAmpersands(text);
        // Quoted text of an earlier mail is dimmed.
        appendMailText(submenu, line.starts_with('>') ? grayedItem : disabledItem, text);
    }
    // Rather than MIME scaffolding or base64 of an attachment.
    if (!preview.textFound)
        appendItem(submenu, grayedItem, 0, "(no text in the lines fetched)");
    // Only a positive remainder is news: a message whose text came whole
    // can count more than its size (every dot the server stuffed into a
    // line counts as received), and "-1 more bytes" would be nonsense.
    const long long missing = static_cast<long long>(message.size) - message.received;
    if (missing > 0) {
        char note[64];
        std::snprintf(note, sizeof note, "... (%d more bytes follows)", static_cast<int>(missing));
        appendItem(submenu, grayedItem, 0, note);
    }
    if (!preview.lines.empty() || !preview.textFound)
        appendItem(submenu, MF_SEPARATOR, 0, nullptr);
    appendItem(submenu, MF_STRING, deleteId, "&Delete");
}

// An entry's submenu is empty until it first opens; it knows the list
// position it stands for.
void setEntryPosition(HMENU submenu, unsigned position) {
    MENUINFO info{};
    info.cbSize = sizeof info;
    info.fMask = MIM_MENUDATA;
    info.dwMenuData = position;
    SetMenuInfo(submenu, &info);
}

unsigned entryPosition(HMENU submenu) {
    MENUINFO info{};
    info.cbSize = sizeof info;
    info.fMask = MIM_MENUDATA;
    GetMenuInfo(submenu, &info);
    return static_cast<unsigned>(info.dwMenuData);
}

// The entry's text: the subject with its "&" shown as such, a tab, and the
// sender, both decoded.
std::wstring entryText(const POP3::Message& message) {
    // Made once: buildMenu asks this of up to 2,048 records in a row.
    const std::vector<Header> headers = message.headers();
    std::string text = shownHeader(headerValue(headers, "Subject"));
    escapeAmpersands(text);
    text += '\t';
    text += shownHeader(headerValue(headers, "From"));
    return widened(text, CP_UTF8);
}

} // namespace

void escapeAmpersands(std::string& text) {
    size_t found = text.find('&');
    if (found == std::string::npos)
        return;
    std::string escaped;
    escaped.reserve(text.size() + 8);
    size_t from = 0;
    for (; found != std::string::npos; found = text.find('&', from)) {
        escaped.append(text, from, found + 1 - from);
        escaped += '&';
        from = found + 1;
    }
    escaped.append(text, from, std::string::npos);
    text = std::move(escaped);
}

BOOL trackPopupMenu(HWND window, HMENU menu, const POINT* point) {
    POINT at{};
    if (point)
        at = *point;
    else
        GetCursorPos(&at);
    // Without the window in front, the menu would not close when the user
    // clicks elsewhere.
    SetForegroundWindow(window);
    const BOOL result = TrackPopupMenu(menu, TPM_RIGHTALIGN | TPM_VCENTERALIGN, at.x, at.y, 0, window, nullptr);
    // A menu opened from the notification area otherwise closes at once the
    // next time it is opened: the message forces the task switch back.
    PostMessageA(window, WM_NULL, 0, 0);
    char trace[32];
    std::snprintf(trace, sizeof trace, "selected = %d\n", result);
    OutputDebugStringA(trace);
    return result;
}

void Account::buildMenu(bool summaryOnly) {
    if (!summaryOnly) {
        if (menu) {
            if (menu == menuOnScreen)
                replacedMenu.reset(menu); // still tracked; destroyed when it closes
            else
                DestroyMenu(menu);
            menu = nullptr;
        }
        OwnedMenu built(CreatePopupMenu());
        auto positions = std::make_shared<MenuPositions>();
        unsigned unlisted = 0;
        messageCount = 0;

        unsigned position = 0;
        for (const POP3::Message& message : messages) {
            const bool shown = !(message.flags & POP3::Message::Deleted);
            if (shown)
                ++messageCount;
            if (position < menuPositionLimit) {
                if (shown) {
                    // Only the entry is made now: thousands of submenus
                    // would hold the window for half a second after a
                    // large check, and most are never opened.
                    OwnedMenu submenu(CreatePopupMenu());
                    setEntryPosition(submenu.get(), position);
                    appendPopup(built.get(), submenu, entryText(message));
                    positions->emplace_back(message.uid);
                } else {
                    positions->emplace_back(std::nullopt);
                }
            } else if (shown) {
                ++unlisted;
            }
            ++position;
        }
        if (messageCount == 0)
            appendItem(built.get(), grayedItem, 0, "(No messages)");
        if (unlisted > 0) {
            char note[64];
            std::snprintf(note, sizeof note, "... (%u more messages not listed)", unlisted);
            appendItem(built.get(), grayedItem, 0, note);
        }
        appendItem(built.get(), MF_SEPARATOR, 0, nullptr);
        appendItem(built.get(), MF_STRING, launchClientCommand, "&Launch client");
        menu = built.release();
        menuPositions = std::move(positions);
    }

    if (newCount > messageCount)
        newCount = messageCount;
    char text[64];
    std::snprintf(text, sizeof text, "%d message", static_cast<int>(messageCount));
    std::string summary = text;
    if (messageCount != 1)
        summary += 's';
    if (newCount > 0) {
        std::snprintf(text, sizeof text, " - %d new", static_cast<int>(newCount));
        summary += text;
        setIconState(NewMail);
    } else {
        setIconState(NothingNew);
    }
    setStatus(summary);
}

POP3::Message* Account::shownMessage(const MenuPositions& positions, unsigned position) {
    if (position >= positions.size() || !positions[position])
        return nullptr;
    const std::string& uid = *positions[position];
    unsigned at = 0;
    for (POP3::Message& message : messages) {
        if (at++ == position) {
            if (message.uid == uid)
                return &message;
            break;
        }
    }
    return messages.findByUid(uid);
}

bool Account::fillEntry(HMENU submenu, UINT item) {
    const MenuPositions* positions = nullptr;
    if (menuOnScreen && GetSubMenu(menuOnScreen, static_cast<int>(item)) == submenu)
        positions = shownPositions.get();
    else if (menu && GetSubMenu(menu, static_cast<int>(item)) == submenu)
        positions = menuPositions.get();
    if (!positions)
        return false;
    if (GetMenuItemCount(submenu) > 0)
        return true; // filled when it first opened
    const unsigned position = entryPosition(submenu);
    if (const POP3::Message* message = shownMessage(*positions, position)) {
        fillMessageMenu(submenu, *message, deleteCommand(position));
    } else {
        // A check took it off the list while the menu was open.
        appendItem(submenu, grayedItem, 0, "(no longer on the server)");
        appendItem(submenu, MF_SEPARATOR, 0, nullptr);
        appendItem(submenu, MF_STRING, deleteCommand(position), "&Delete");
    }
    return true;
}

void Account::showMenu(bool atCursor) {
    // A second click that arrives while the menu is open.
    if (menuOnScreen)
        return;
    if (atCursor) {
        GetCursorPos(&menuPoint);
    } else if (GetForegroundWindow() != mainWindow || messages.count() == messages.countDeleted()) {
        return;
    }
    shownPositions = menuPositions;
    {
        struct OnScreen {
            Account& account;
            ~OnScreen() {
                account.menuOnScreen = nullptr;
                account.replacedMenu.reset();
            }
        } onScreen{*this};
        menuOnScreen = menu;
        trackPopupMenu(mainWindow, menu, &menuPoint);
    }
    menuShown();
}

void Account::menuShown() {
    newCount = 0;
    buildMenu(true);
}

void Account::onMenuCommand(UINT id) {
    if (id < messageCommandFirst || id > messageCommandLast)
        return;
    const unsigned position = (id - messageCommandFirst) / commandsPerMessage;
    if ((id - messageCommandFirst) % commandsPerMessage != deleteCommandOffset)
        return;
    // Only a message that the opened menu showed can be chosen, and it is
    // found by the uid shown: a check that failed half way leaves the menu
    // as it was while the list moved on, so the position alone might now
    // name another message.
    POP3::Message* chosen = shownPositions ? shownMessage(*shownPositions, position) : nullptr;
    if (!chosen)
        return; // gone from the server already

    chosen->flags = POP3::Message::Deleted;
    if (deleteImmediately)
        check();
    buildMenu(false);
    showMenu(false);
}
