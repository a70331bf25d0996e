#pragma once

#include "ui/IconHolder.h"

#include <array>
#include <cstddef>

// The program's twelve icon images, loaded once and shared by every account.
// The indices are the account's colour (as the options slider orders them:
// blue, magenta, green, yellow, red, cyan) and its icon state (never
// checked, new mail, error, authorization failed, check under way).
constexpr std::size_t colourCount = 6;
constexpr std::size_t stateOverlayCount = 5;

extern IconHolder programIcon;
extern std::array<IconHolder, colourCount> colourIcons;
extern std::array<IconHolder, stateOverlayCount> stateOverlays;

// Loads all twelve from the module in moduleInstance; called once at
// start-up, before the first account exists.
void loadIcons();
// Releases all twelve; the holders also release themselves when the
// process ends. Whether that happens before or after the account list is
// destroyed does not matter: every account composes icons of its own from
// these, and an account holder that merely shares one of these never
// destroys it.
void releaseIcons();
