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

// The options dialog and its controls. The numbers are the ones the
// dialog procedure and the tests address the controls by.
#define IDD_OPTIONS 104
#define IDC_HOST 1000
#define IDC_USER 1002
#define IDC_PASSWORD 1003
#define IDC_PROFILE 1004
#define IDC_NEW 1005
#define IDC_REMOVE 1006
#define IDC_CHECK_AUTOMATICALLY 1007
#define IDC_SHOW_ICON 1008
#define IDC_COLOUR 1011
#define IDC_INTERVAL 1012
#define IDC_CLIENT_COMMAND 1013
#define IDC_BROWSE 1015
#define IDC_DELETE_IMMEDIATELY 1016
#define IDC_PORT 1023
#define IDC_DEFAULT_PORT 1024
#define IDC_START_AT_LOGON 1030
#define IDC_NOTIFY_NEW_MAIL 1031
#define IDC_SECURITY 1032
#define IDC_TRUST_CERTIFICATE 1033

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
