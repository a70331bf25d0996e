// Composing the icons of every colour and state, the way every account
// composes them, leaves no icon or GDI object behind. (What they show is
// checked on an account's tray icon.)
#include "ui/IconHolder.h"
#include "ui/Icons.h"
#include "ui/ProgramHandles.h"

#include "support/IconImage.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

namespace {

// Wine 8's GetGuiResources answers 0, but its GetObjectType takes a bare
// table index for a handle: the live GDI objects are counted one by one.
long countGdiObjects() {
    long count = 0;
    for (UINT_PTR index = 1; index < 0x10000; ++index)
        count += GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0 ? 1 : 0;
    return count;
}

TEST(Icons, ComposingLeavesNothingBehind) {
    moduleInstance = GetModuleHandleA(nullptr);
    loadIcons();
    IconHolder base, shown;
    // The first composition makes what the system keeps for good.
    base.compose(programIcon, colourIcons[0]);
    base.release();
    const long gdiObjects = countGdiObjects();
    std::vector<HICON> composed;
    for (std::size_t colour = 0; colour < colourCount; ++colour) {
        base.compose(programIcon, colourIcons[colour]);
        for (std::size_t state = 0; state < stateOverlayCount; ++state) {
            shown.compose(base, stateOverlays[state]);
            composed.push_back(shown.icon);
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
