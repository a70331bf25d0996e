#pragma once

#include <windows.h>

// The two handles the whole program shares, set once at start-up: the hidden
// main window that owns every tray icon, timer and menu, and the module the
// icons, menus and dialogs are loaded from. Both are null until then.
extern HWND mainWindow;
extern HINSTANCE moduleInstance;
