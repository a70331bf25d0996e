#include "ui/AboutDialog.h"

#include "ui/CenterDialog.h"
#include "ui/ModalDialog.h"
#include "ui/resource.h"

const char aboutAddresses[] = "http://www.example.org/pellmor/\r\n\r\nmailto:pellmor@example.org";

INT_PTR CALLBACK AboutDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        modalDialogOpened(dialog);
        centerDialog(dialog);
        SetDlgItemTextA(dialog, IDC_ABOUT_ADDRESSES, aboutAddresses);
        return TRUE; // the system gives the focus to the first control, OK
    case WM_COMMAND:
        // Only the whole value: the buttons' notification code is 0.
        if (wParam == IDOK) {
            EndDialog(dialog, 1);
            return TRUE;
        }
        if (wParam == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
