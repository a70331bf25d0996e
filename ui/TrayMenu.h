#pragma once

#include <windows.h>

// The program's command menu ("&Check now" ... "E&xit"), opened by a right
// click on any tray icon. Null until buildTrayMenu and after destroyTrayMenu.
extern HMENU trayMenu;

// Builds trayMenu from menu resource 103 of moduleInstance: the resource
// becomes the only pop-up item of a new menu, and trayMenu is that item's
// submenu. The outer menu is kept for destroyTrayMenu.
void buildTrayMenu();
// Destroys the outer menu, and trayMenu with it.
void destroyTrayMenu();
