#pragma once

#include "accounts/CheckWorker.h"
#include "net/MessageList.h"
#include "ui/IconHolder.h"
#include "ui/OwnedMenu.h"
#include "ui/TrayIcon.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

// One configured POP3 mailbox as it lives in the running program: the
// profile's settings, its session, the messages seen on the server, its
// status, its icons and tray icon, its check timer and its popup menu. The
// fields are public: the profile store, the mail check, the menu and the
// options dialog read and write them directly; those that have a setter are
// changed only through it, because the setter keeps the title, tooltip,
// icon or timer in step.
class Account {
public:
    // Icon states: which overlay the tray icon carries.
    enum IconState {
        NeverChecked = 0,
        NewMail = 1,
        CheckFailed = 2,
        AuthorizationFailed = 3,
        Checking = 4,
        NothingNew = 5,
    };

    // The timer service waits at most USER_TIMER_MAXIMUM milliseconds and
    // silently shortens anything longer, so this is the longest interval a
    // timer really keeps (35791 minutes, about 24.9 days). setInterval
    // stores at most this, so that what the options show and the profile
    // stores is the period the timer runs with.
    static constexpr unsigned maxIntervalMinutes = USER_TIMER_MAXIMUM / 60000;
    // Milliseconds per minute of the interval. Only tests change it, to see
    // a real timer message arrive without waiting minutes.
    static inline unsigned timerMillisecondsPerMinute = 60000;

    // The id comes from AccountList::randomId before the account joins the
    // list. The account starts with colour 0 and state 0 composed, no tray
    // icon and no timer.
    explicit Account(int id);
    // Kills the timer, destroys the menu, releases the icons and removes
    // the tray icon, in this order.
    ~Account();
    Account(const Account&) = delete;
    Account& operator=(const Account&) = delete;

    // Stops the timer if one runs and starts it again if automatic checks
    // are on and the interval is not 0. The period starts now.
    void restartTimer();
    void setCheckAutomatically(bool on);
    void setInterval(unsigned minutes);
    void setHost(const std::string& newHost);
    void setUser(const std::string& newUser);
    // title = user, plus "@" and host when there is a host.
    void updateTitle();
    // status = text, " (", hh:mm, ")".
    void setStatus(const std::string& text);
    void setIconState(int state);
    // A colour of 6 or more (or a negative one passed as unsigned) is 0.
    void setIconColour(unsigned colour);
    // Adds or removes the tray icon; showing an icon already shown sends
    // nothing.
    void setShowIcon(bool show);
    void updateIcon();
    void updateTooltip();
    void updateTray();

    // The mail check (accounts/MailCheck.cpp) and the popup menu
    // (ui/MessageMenu.cpp) are further members of this class, declared here
    // by those parts: check, buildMenu, showMenu, menuShown, onMenuCommand.

    // The mail check (accounts/MailCheck.cpp). check() starts one on a
    // worker thread unless one runs already; the worker's posted messages
    // come back through onCheckProgress and onCheckDone, which show its
    // steps and take its result. stopCheck() ends a check under way at
    // once and drops its result.
    void check();
    void onCheckProgress(LPARAM detail);
    void onCheckDone(unsigned serial);
    void stopCheck();
    bool checking() const { return worker != nullptr; }

    // The popup menu of the account's messages (ui/MessageMenu.cpp).
    // Rebuilds `menu` from `messages` (unless summaryOnly), then sets the
    // summary: messageCount, newCount, the status and the icon state.
    void buildMenu(bool summaryOnly);
    // Fills the submenu of a message entry as it opens (WM_INITMENUPOPUP,
    // `item` its place in the menu); false when it is not an entry of this
    // account's menu.
    bool fillEntry(HMENU submenu, UINT item);
    // Opens `menu` at the cursor, or again where it last opened.
    void showMenu(bool atCursor);
    // What follows the closing of the menu: the new messages count as seen.
    void menuShown();
    // A command id of the message range, delivered after the menu closed.
    void onMenuCommand(UINT id);

    // After a check that fetched `fetched` new messages: one balloon from
    // the tray icon that says how many and names the newest, and the
    // system's new-mail sound (accounts/NewMailNotice.cpp). Nothing when
    // the account's notices are off, nothing was fetched, the icon is not
    // shown, or the check was the first fill of a large mailbox.
    void noticeNewMail(unsigned fetched, bool firstFill);
    // The most messages a first fill may bring and still be told of: more
    // is the backlog of a mailbox, not news.
    static constexpr unsigned firstFillNoticeLimit = 20;
    // Whether a check has filled the message list since the profile was
    // loaded.
    bool filled = false;

    std::string title;
    std::string host;
    std::string user;
    std::string password;
    std::string clientCommand;
    bool showIcon = false;
    bool checkAutomatically = false;
    bool deleteImmediately = false;
    // A balloon and the new-mail sound when a check finds new messages.
    bool notifyNewMail = true;
    unsigned iconColour = 0;
    unsigned intervalMinutes = 10;
    unsigned port = 110;
    // How the check secures its connection, and the SHA-256 fingerprint (64
    // upper-case hex digits) of the one certificate the user chose to trust
    // for this profile, or empty. Both are stored with the profile, the
    // fingerprint only when the profile uses TLS.
    ConnectionSecurity security = ConnectionSecurity::None;
    std::string trustedFingerprint;
    // The certificate the last check refused (not trusted, wrong name or
    // expired) and that refusal's code, so that the options can offer to
    // trust it; empty and 0 after any other outcome. Never stored: a
    // refusal is news only until the next check.
    std::string refusedFingerprint;
    int refusalCode = 0;
    void forgetRefusedCertificate() {
        refusedFingerprint.clear();
        refusalCode = 0;
    }
    int id;
    std::unique_ptr<CheckWorker> worker;
    MessageList messages;
    std::string status = "mail unchecked";
    IconHolder baseIcon;
    IconHolder stateIcon;
    std::unique_ptr<TrayIcon> trayIcon;
    UINT_PTR timerId = 0;
    int iconState = NeverChecked;
    unsigned newCount = 0;
    unsigned messageCount = 0;
    HMENU menu = nullptr;
    POINT menuPoint{};

private:
    void killTimer();

    // The message menu's own bookkeeping (ui/MessageMenu.cpp). A command
    // arrives after its menu has closed, and the list may have changed
    // since the menu was built, so every menu keeps the uid it showed at
    // each position (none for a position it did not show).
    using MenuPositions = std::vector<std::optional<std::string>>;
    std::shared_ptr<const MenuPositions> menuPositions; // those of `menu`
    std::shared_ptr<const MenuPositions> shownPositions; // of the menu last opened
    // The record a menu showed at `position`, found by its uid: the list may
    // have moved on since.
    POP3::Message* shownMessage(const MenuPositions& positions, unsigned position);
    // The menu showMenu is tracking, while it is on screen. A check that a
    // timer runs meanwhile rebuilds `menu`, but must not destroy the menu
    // being tracked: that one is kept in replacedMenu until it closes.
    HMENU menuOnScreen = nullptr;
    OwnedMenu replacedMenu;
};
