// The tray icons as a user sees them: the envelope with the chosen colour's
// stamp and the state's sign, composed from the program's own icons the way
// every account composes them, checked at a few pixels against colours
// written here; and that composing leaves no icon or GDI object behind.
#include "ui/IconHolder.h"
#include "ui/Icons.h"
#include "ui/ProgramHandles.h"

#include "support/IconImage.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <vector>

namespace {

constexpr std::uint32_t white = 0xFFFFFF, red = 0xFF0000, yellow = 0xFFFF00, green = 0x00FF00;

struct Pixel {
    int x, y;
    std::uint32_t colour;
};

std::uint32_t pixel(const IconHolder& holder, const Pixel& where) {
    IconImage image;
    EXPECT_TRUE(readIconImage(holder.icon, image));
    return image.at(where.x, where.y); // a transparent pixel carries the transparent bit
}

// Wine 8's GetGuiResources answers 0, but its GetObjectType takes a bare
// table index for a handle: the live GDI objects are counted one by one.
long countGdiObjects() {
    long count = 0;
    for (UINT_PTR index = 1; index < 0x10000; ++index)
        count += GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0 ? 1 : 0;
    return count;
}

TEST(Icons, EachColourShowsItsStampAndEachStateItsSignAndNothingStaysBehind) {
    moduleInstance = GetModuleHandleA(nullptr);
    loadIcons();
    // In the order of the options slider.
    const std::uint32_t stamps[colourCount] = {0x0000FF, 0xFF00FF, green, yellow, red, 0x00FFFF};
    // Never checked (question mark), new mail (exclamation mark), error (red
    // X), login refused (prohibition sign), check under way (hourglass):
    // each at a pixel where no other sign has that colour.
    const Pixel signs[stateOverlayCount] = {
        {18, 8, yellow}, {6, 10, yellow}, {2, 9, red}, {2, 19, red}, {10, 7, green}};
    IconHolder base, shown;
    // The first composition makes what the system keeps for good.
    base.compose(programIcon, colourIcons[0]);
    base.release();
    const long gdiObjects = countGdiObjects();
    std::vector<HICON> composed;
    for (std::size_t colour = 0; colour < colourCount; ++colour) {
        base.compose(programIcon, colourIcons[colour]);
        // The stamp's upper left, which the red X covers; the envelope's
        // paper where the signs go.
        EXPECT_EQ(pixel(base, {23, 8, 0}), stamps[colour]) << colour;
        for (const Pixel& p : signs)
            EXPECT_EQ(pixel(base, p), white) << colour << " at " << p.x << "," << p.y;
        for (std::size_t state = 0; state < stateOverlayCount; ++state) {
            shown.compose(base, stateOverlays[state]);
            composed.push_back(shown.icon);
            EXPECT_EQ(pixel(shown, signs[state]), signs[state].colour) << colour << "/" << state;
        }
    }
    // An icon has one owner, which destroys it; sharing never does.
    IconHolder sharer;
    sharer.share(base);
    sharer.release();
    EXPECT_TRUE(iconAlive(base.icon)) << "released by a holder that only shared it";
    base.release();
    shown.release();
    for (HICON icon : composed)
        EXPECT_FALSE(iconAlive(icon));
    const long left = countGdiObjects();
    HBITMAP probe = CreateBitmap(4, 4, 1, 1, nullptr);
    const bool counted = countGdiObjects() == left + 1;
    DeleteObject(probe);
    if (!counted && sizeof(void*) == 4)
        GTEST_SKIP() << "this 32-bit Wine counts no GDI objects; the 64-bit run counts them";
    ASSERT_TRUE(counted) << "the count must see a new bitmap";
    EXPECT_EQ(left, gdiObjects);
}

} // namespace
