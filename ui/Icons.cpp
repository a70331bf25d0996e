#include "ui/Icons.h"

#include "ui/resource.h"

#include <windows.h>

constinit IconHolder programIcon;
constinit std::array<IconHolder, colourCount> colourIcons;
constinit std::array<IconHolder, stateOverlayCount> stateOverlays;

void loadIcons() {
    // In the order of the options slider: blue, magenta, green, yellow,
    // red, cyan.
    static constexpr std::array<WORD, colourCount> colourIds = {
        IDI_SQUARE_BLUE, IDI_SQUARE_MAGENTA, IDI_SQUARE_GREEN,
        IDI_SQUARE_YELLOW, IDI_SQUARE_RED, IDI_SQUARE_CYAN};
    // Indexed by the account's icon state.
    static constexpr std::array<WORD, stateOverlayCount> overlayIds = {
        IDI_OVERLAY_QUESTION, IDI_OVERLAY_EXCLAMATION, IDI_OVERLAY_CROSS,
        IDI_OVERLAY_PROHIBITION, IDI_OVERLAY_HOURGLASS};

    programIcon.load(IDI_ENVELOPE);
    for (std::size_t i = 0; i < colourCount; ++i)
        colourIcons[i].load(colourIds[i]);
    for (std::size_t i = 0; i < stateOverlayCount; ++i)
        stateOverlays[i].load(overlayIds[i]);
}

void releaseIcons() {
    programIcon.release();
    for (IconHolder& holder : colourIcons)
        holder.release();
    for (IconHolder& holder : stateOverlays)
        holder.release();
}
