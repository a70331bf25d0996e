#pragma once

#include "ui/resource.h"

#include <windows.h>

#include <string>
#include <vector>

class PellmorRun;

// The options dialog of a running pellmor.exe as a person sees and uses
// it: its controls are read through messages that reach another process
// (WM_GETTEXT, BM_GETCHECK, CB_GETLBTEXT, TBM_GETPOS) and filled by real
// mouse clicks and key strokes.
class OptionsWindow {
public:
    // The dialog's control ids, as the program's resources number them.
    enum Control : int {
        ok = IDOK,
        cancel = IDCANCEL,
        host = IDC_HOST,
        user = IDC_USER,
        password = IDC_PASSWORD,
        profiles = IDC_PROFILE,
        newProfile = IDC_NEW,
        removeProfile = IDC_REMOVE,
        checkAutomatically = IDC_CHECK_AUTOMATICALLY,
        showIcon = IDC_SHOW_ICON,
        colour = IDC_COLOUR,
        interval = IDC_INTERVAL,
        clientCommand = IDC_CLIENT_COMMAND,
        browse = IDC_BROWSE,
        deleteImmediately = IDC_DELETE_IMMEDIATELY,
        port = IDC_PORT,
        defaultPort = IDC_DEFAULT_PORT,
    };
    static constexpr const char* caption = "Pellmor Options";

    // Chooses "&Options..." on `icon` and waits for the dialog; a null
    // handle() when it does not show within `milliseconds`.
    static OptionsWindow open(PellmorRun& run, HWND icon, DWORD milliseconds = 10000);
    explicit OptionsWindow(HWND dialog) : dialog(dialog) {}

    HWND handle() const { return dialog; }
    HWND control(int id) const;

    std::string text(int id) const;
    bool checked(int id) const;
    bool enabled(int id) const;
    // The slider's position: the colour's index.
    int colourIndex() const;
    // The texts of the profile combo box's entries, in order.
    std::vector<std::string> profileEntries() const;
    int selectedProfile() const;
    bool hasFocus(int id) const;

    // A left click in the middle of the control.
    void click(int id) const;
    // Clicks into an edit field and replaces its whole text by typing.
    void typeInto(int id, const std::string& text) const;
    // Moves the focus there with Tab, as far as the tab order goes round;
    // answers whether it arrived.
    bool tabTo(int id) const;
    // Gives the slider the focus and moves it by `steps` arrow keys (right
    // when positive).
    bool moveColour(int steps) const;
    // Chooses the profile entry at `index` in the dropped-down combo box.
    bool chooseProfile(int index) const;

    // A message box (or other dialog) the options dialog owns.
    HWND waitForOwnedBox(DWORD milliseconds) const;
    bool waitClosed(DWORD milliseconds) const;
    // The dialog's rectangle on the screen.
    RECT rectangle() const;

private:
    LRESULT send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    HWND dialog;
};
