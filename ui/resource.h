// Numbers of the resources in pellmor.rc, shared by the script and the code
// that loads them. Plain macros: the resource compiler reads this file too.
#ifndef PELLMOR_UI_RESOURCE_H
#define PELLMOR_UI_RESOURCE_H

// The envelope: program icon, window-class icon and the base of every tray
// icon. As the lowest icon number it is also the icon shells show for
// pellmor.exe.
#define IDI_ENVELOPE 101

// 103 is the command menu, 104 the options dialog and 105 the About box.

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
