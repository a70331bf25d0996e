#include "ui/ModalDialog.h"

#include "ui/ProgramHandles.h"

namespace {

bool dialogRunning = false;
HWND dialogWindow = nullptr;

// Clears the record however the dialog ends, an exception included.
class RunningDialog {
public:
    RunningDialog() { dialogRunning = true; }
    ~RunningDialog() {
        dialogRunning = false;
        dialogWindow = nullptr;
    }
    RunningDialog(const RunningDialog&) = delete;
    RunningDialog& operator=(const RunningDialog&) = delete;
};

} // namespace

bool runModalDialog(int resource, DLGPROC procedure) {
    if (dialogRunning) {
        if (dialogWindow)
            SetForegroundWindow(dialogWindow);
        return false;
    }
    RunningDialog running;
    DialogBoxParamA(moduleInstance, MAKEINTRESOURCEA(resource), nullptr, procedure, 0);
    return true;
}

void modalDialogOpened(HWND dialog) {
    if (dialogRunning)
        dialogWindow = dialog;
}

HWND openModalDialog() {
    return dialogWindow;
}
