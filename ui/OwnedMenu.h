#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

// A menu handle that destroys its menu, submenus included, unless the menu
// has been handed on (release()) to a parent menu that now owns it.
struct MenuDestroyer {
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};
using OwnedMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDestroyer>;
