#include "ui/TrayMenu.h"

#include "ui/OwnedMenu.h"
#include "ui/ProgramHandles.h"
#include "ui/resource.h"

HMENU trayMenu = nullptr;

namespace {
OwnedMenu outerMenu;
}

void buildTrayMenu() {
    destroyTrayMenu();
    OwnedMenu outer(CreatePopupMenu());
    HMENU loaded = LoadMenuA(moduleInstance, MAKEINTRESOURCEA(IDR_TRAYMENU));
    if (!outer || !loaded) {
        if (loaded)
            DestroyMenu(loaded);
        return; // a missing menu is not reported; right clicks then show nothing
    }
    // The loaded menu's own pop-up is what the user sees; from here on the
    // outer menu owns it.
    AppendMenuA(outer.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(loaded), "");
    trayMenu = GetSubMenu(outer.get(), 0);
    outerMenu = std::move(outer);
}

void destroyTrayMenu() {
    outerMenu.reset();
    trayMenu = nullptr;
}
