// Numbers of the resources in pellmor.rc, shared by the script and the code
// that loads them. Plain macros: the resource compiler reads this file too.
#ifndef PELLMOR_UI_RESOURCE_H
#define PELLMOR_UI_RESOURCE_H

// The envelope: program icon, window-class icon and the base of every tray
// icon. As the lowest icon number it is also the icon shells show for
// pellmor.exe.
#define IDI_ENVELOPE 101

// The command menu shown on a right click on any tray icon; its item ids
// are the program's command ids.
#define IDR_TRAYMENU 103
#define ID_CHECK_NOW 40001
#define ID_EXIT 40002
#define ID_OPTIONS 40003
#define ID_ABOUT 40004
#define ID_LAUNCH_CLIENT 40005

// 104 is the options dialog.

// The About box and its read-only box of addresses.
#define IDD_ABOUT 105
#define IDC_ABOUT_ADDRESSES 1022

// The stamps: one square per colour an account can choose.
#define IDI_SQUARE_BLUE 108
#define IDI_SQUARE_GREEN 109
#define IDI_SQUARE_MAGENTA 110
#define IDI_SQUARE_YELLOW 116
#define IDI_SQUARE_RED 117
#define IDI_SQUARE_CYAN 118

// The state overlays, laid over the left part of the envelope.
#define IDI_OVERLAY_PROHIBITION 107
#define IDI_OVERLAY_QUESTION 111
#define IDI_OVERLAY_CROSS 112
#define IDI_OVERLAY_HOURGLASS 113
#define IDI_OVERLAY_EXCLAMATION 115

#endif
