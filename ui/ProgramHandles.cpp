#include "ui/ProgramHandles.h"

// Constant-initialised, so they hold null before any other static object of
// the program is constructed and after every one is destroyed.
constinit HWND mainWindow = nullptr;
constinit HINSTANCE moduleInstance = nullptr;
