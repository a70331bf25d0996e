#include "accounts/Account.h"

#include "accounts/TimeOfDay.h"
#include "ui/Icons.h"
#include "ui/ProgramHandles.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

Account::Account(int id) : id(id) {
    setIconColour(0);
}

// The icons are released before the tray icon is removed: the shell keeps
// its own copy of the image it shows.
Account::~Account() {
    stopCheck();
    killTimer();
    if (menu) {
        DestroyMenu(menu);
        menu = nullptr;
    }
    baseIcon.release();
    stateIcon.release();
    if (trayIcon) {
        trayIcon->remove();
        trayIcon.reset();
    }
}

// A window's timer is named by the window and the id it was set with, which
// for the account is its own id; timerId only says whether one runs.
void Account::killTimer() {
    if (timerId != 0) {
        KillTimer(mainWindow, static_cast<UINT_PTR>(id));
        timerId = 0;
    }
}

// Without the main window there is no timer: SetTimer would make a thread
// timer under an id of its own choosing, which neither the window procedure
// nor killTimer could find by the account's id.
void Account::restartTimer() {
    killTimer();
    if (!checkAutomatically || intervalMinutes == 0 || !mainWindow)
        return;
    const std::uint64_t period =
        std::uint64_t{std::min(intervalMinutes, maxIntervalMinutes)} * timerMillisecondsPerMinute;
    timerId = SetTimer(mainWindow, static_cast<UINT_PTR>(id),
                       static_cast<UINT>(std::min<std::uint64_t>(period, USER_TIMER_MAXIMUM)),
                       nullptr);
}

void Account::setCheckAutomatically(bool on) {
    checkAutomatically = on;
    restartTimer();
}

void Account::setInterval(unsigned minutes) {
    intervalMinutes = std::min(minutes, maxIntervalMinutes);
    restartTimer();
}

void Account::setHost(const std::string& newHost) {
    host = newHost;
    updateTitle();
}

void Account::setUser(const std::string& newUser) {
    user = newUser;
    updateTitle();
}

void Account::updateTitle() {
    title = user;
    if (!host.empty())
        title += "@" + host;
    updateTooltip();
}

void Account::setStatus(const std::string& text) {
    // _strtime writes "hh:mm:ss" and its NUL; the status keeps "hh:mm".
    char clock[16] = {};
    timeOfDay(clock);
    status = text + " (" + std::string(clock, strnlen(clock, 5)) + ")";
    updateTooltip();
}

void Account::setIconState(int state) {
    iconState = state;
    updateIcon();
}

void Account::setIconColour(unsigned colour) {
    iconColour = colour < colourCount ? colour : 0;
    baseIcon.compose(programIcon, colourIcons[iconColour]);
    updateIcon();
}

void Account::setShowIcon(bool show) {
    showIcon = show;
    if (show) {
        if (trayIcon)
            return;
        trayIcon = std::make_unique<TrayIcon>(mainWindow, static_cast<UINT>(id));
        trayIcon->setCallbackMessage(trayCallbackMessage);
        updateTray();
    } else if (trayIcon) {
        trayIcon->remove();
        trayIcon.reset();
    }
}

// States 0 to 4 lay their overlay over the envelope; state 5 is the
// envelope alone. A state outside 0 to 5, which the program never sets, is
// shown as 5 rather than read from beyond the overlays.
void Account::updateIcon() {
    stateIcon.release();
    const bool hasBase = baseIcon.kind != IconHolder::Empty;
    if (iconState >= 0 && static_cast<std::size_t>(iconState) < stateOverlayCount) {
        const IconHolder& overlay = stateOverlays[static_cast<std::size_t>(iconState)];
        if (hasBase)
            stateIcon.compose(baseIcon, overlay);
        else
            stateIcon.share(overlay);
    } else {
        stateIcon.share(hasBase ? baseIcon : programIcon);
    }
    if (trayIcon)
        trayIcon->setIcon(stateIcon.icon);
}

void Account::updateTooltip() {
    if (!trayIcon)
        return;
    trayIcon->setTip(title.empty() ? status : title + " - " + status);
}

void Account::updateTray() {
    updateIcon();
    updateTooltip();
}
