#pragma once

#include <windows.h>

// Centres a dialog over its parent window, or on the screen when it has
// none. Called while the dialog handles WM_INITDIALOG. The dialog is not
// kept on the screen: one wider than its reference window gets a negative
// position, as the plain arithmetic gives.
void centerDialog(HWND dialog);
