#include "e2e/OptionsWindow.h"

#include "e2e/DesktopUser.h"
#include "e2e/PellmorRun.h"

#include <commctrl.h>

#include <algorithm>

OptionsWindow OptionsWindow::open(PellmorRun& run, HWND icon, DWORD milliseconds) {
    if (!run.chooseCommand(icon, 'O'))
        return OptionsWindow(nullptr);
    return OptionsWindow(waitForWindow("#32770", caption, milliseconds));
}

HWND OptionsWindow::control(int id) const {
    return GetDlgItem(dialog, id);
}

LRESULT OptionsWindow::send(int id, UINT message, WPARAM wParam, LPARAM lParam) const {
    DWORD_PTR result = 0;
    // A check under way holds the program's only thread; it answers after.
    if (!SendMessageTimeoutA(control(id), message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &result))
        return -1;
    return static_cast<LRESULT>(result);
}

std::string OptionsWindow::text(int id) const {
    return windowText(control(id));
}

bool OptionsWindow::checked(int id) const {
    return send(id, BM_GETCHECK) == BST_CHECKED;
}

bool OptionsWindow::enabled(int id) const {
    return IsWindowEnabled(control(id)) != FALSE;
}

int OptionsWindow::colourIndex() const {
    return static_cast<int>(send(colour, TBM_GETPOS));
}

std::vector<std::string> OptionsWindow::profileEntries() const {
    // Asked across processes in its ANSI form, Wine 8 answers CB_GETLBTEXT
    // in UTF-16, twice the bytes the length promised; the wide form is
    // answered as it should be, and converted here.
    HWND combo = control(profiles);
    const auto ask = [&](UINT message, WPARAM index, LPARAM buffer) {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(combo, message, index, buffer, SMTO_ABORTIFHUNG, 10000, &result))
            return LRESULT{-1};
        return static_cast<LRESULT>(result);
    };
    std::vector<std::string> entries;
    const LRESULT count = ask(CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = ask(CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length < 0) {
            entries.push_back("?");
            continue;
        }
        std::wstring wide(static_cast<std::size_t>(length) + 16, L'\0');
        const LRESULT got = ask(CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(wide.data()));
        wide.resize(got < 0 ? 0 : std::min(static_cast<std::size_t>(got), wide.size()));
        std::string entry(wide.size() * 2, '\0');
        const int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), entry.data(),
                                              static_cast<int>(entry.size()), nullptr, nullptr);
        entry.resize(bytes > 0 ? static_cast<std::size_t>(bytes) : 0);
        entries.push_back(entry);
    }
    return entries;
}

int OptionsWindow::selectedProfile() const {
    return static_cast<int>(send(profiles, CB_GETCURSEL));
}

bool OptionsWindow::hasFocus(int id) const {
    return focusOf(dialog) == control(id);
}

void OptionsWindow::click(int id) const {
    clickWindow(control(id));
}

void OptionsWindow::typeInto(int id, const std::string& text) const {
    click(id);
    waitUntil([&] { return hasFocus(id); }, 2000);
    // The whole old text selected, then typed over.
    pressKey(VK_END);
    pressKeyWith(VK_SHIFT, VK_HOME);
    if (text.empty())
        pressKey(VK_DELETE);
    else
        typeText(text);
}

bool OptionsWindow::tabTo(int id) const {
    for (int presses = 0; presses < 30; ++presses) {
        if (hasFocus(id))
            return true;
        pressKey(VK_TAB);
    }
    return hasFocus(id);
}

bool OptionsWindow::moveColour(int steps) const {
    // Into the dialog by a click on an edit field, which changes nothing,
    // then along the tab order to the slider.
    click(interval);
    if (!waitUntil([&] { return hasFocus(interval); }, 2000) || !tabTo(colour))
        return false;
    for (int i = 0; i < (steps < 0 ? -steps : steps); ++i)
        pressKey(steps < 0 ? VK_LEFT : VK_RIGHT);
    return true;
}

bool OptionsWindow::chooseProfile(int index) const {
    click(profiles);
    if (!waitUntil([&] { return send(profiles, CB_GETDROPPEDSTATE) == TRUE; }, 3000))
        return false;
    // Straight from the selected entry to the wanted one, so that no
    // profile in between is selected on the way.
    const int from = selectedProfile();
    for (int i = from; i < index; ++i)
        pressKey(VK_DOWN);
    for (int i = from; i > index; --i)
        pressKey(VK_UP);
    pressKey(VK_RETURN);
    return waitUntil([&] { return send(profiles, CB_GETDROPPEDSTATE) == FALSE && selectedProfile() == index; },
                     3000);
}

HWND OptionsWindow::waitForOwnedBox(DWORD milliseconds) const {
    return waitForOwnedWindow(dialog, "#32770", milliseconds);
}

bool OptionsWindow::waitClosed(DWORD milliseconds) const {
    return waitUntilGone(dialog, milliseconds);
}

RECT OptionsWindow::rectangle() const {
    RECT r{};
    GetWindowRect(dialog, &r);
    return r;
}
