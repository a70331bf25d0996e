#pragma once

#include <windows.h>

// The program's dialogs are modal but have no owner, so the tray menu stays
// usable while one is open and could open another. Only one may be open at a
// time: a second one could edit, or outlive, accounts the first is working
// on. These calls keep that rule.

// Runs dialog `resource` of the program modally with `procedure`, unless a
// dialog is already open: then that one comes to the front and nothing else
// happens. Answers whether the dialog ran.
bool runModalDialog(int resource, DLGPROC procedure);

// Each dialog procedure calls this on WM_INITDIALOG, so that a refused second
// dialog can bring it to the front.
void modalDialogOpened(HWND dialog);

// The dialog that runModalDialog is running, or null. Also null in the short
// time between the start of a dialog and its WM_INITDIALOG.
HWND openModalDialog();
