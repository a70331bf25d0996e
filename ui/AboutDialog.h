#pragma once

#include <windows.h>

// What the About box's read-only box shows: the product's web page, an
// empty line, the author's mail address as a mail link.
extern const char aboutAddresses[];

// The dialog procedure of the About box (resource 105). OK or Enter ends it
// with 1, Esc or the close box with 0.
INT_PTR CALLBACK AboutDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
