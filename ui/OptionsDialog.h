#pragma once

#include <windows.h>

// The options dialog (resource 104): creates, edits and removes the account
// profiles. It works on the live accounts, so most edits show at once (an
// icon appears or goes, changes colour, a tooltip shows the new title); OK
// saves every profile, Cancel reloads them all from the registry.
//
// The dialog keeps its own selection, the account shown in its controls,
// by that account's id: the timer and tray events that move currentAccount
// while the dialog is open never change what it edits, and once Cancel has
// reloaded the accounts nothing writes into them. Values the profile store
// could not keep are refused with a message while the user is still in the
// dialog; a refused value stays in its field so that nothing typed is lost.
namespace OptionsDialog {

// Registers the trackbar class and runs the dialog modally on
// currentAccount (on the first profile when there is none). Does nothing
// but bring the open dialog forward while another dialog of the program
// is open.
void open();

// The dialog procedure. OK ends the dialog with 1, Cancel with 0.
INT_PTR CALLBACK procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the selected profile in the controls and enables "&Show icon" and
// "&Remove" as the profiles allow.
void fillControls();

// Takes every control's value over into the selected profile, except a
// value the profile store could not keep, which stays in its control.
// Answers the control id of the first such value, 0 when all were taken.
int readControls();

// The position of the selected profile in the list and of its entry in
// the combo box.
extern int selectedIndex;

} // namespace OptionsDialog
