#include "ui/CenterDialog.h"

void centerDialog(HWND dialog) {
    HWND reference = GetParent(dialog);
    if (!reference)
        reference = GetDesktopWindow();
    RECT outer{};
    RECT inner{};
    GetWindowRect(reference, &outer);
    GetWindowRect(dialog, &inner);
    // Signed division truncating toward zero: a dialog larger than the
    // reference moves up and left by half the difference, past the edge.
    const int x = outer.left + ((outer.right - outer.left) - (inner.right - inner.left)) / 2;
    const int y = outer.top + ((outer.bottom - outer.top) - (inner.bottom - inner.top)) / 2;
    SetWindowPos(dialog, HWND_TOP, x, y, 0, 0, SWP_NOSIZE);
}
