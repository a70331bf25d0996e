// The tray icons as a user sees them: the envelope with the chosen colour's
// stamp and the state's sign, composed from the program's own icons the
// way every account composes them, and checked at a few pixels against
// colours written here. Also who destroys an icon, and that composing
// leaves no GDI object behind.
#include "ui/IconHolder.h"
#include "ui/Icons.h"
#include "ui/ProgramHandles.h"

#include "support/GdiObjects.h"
#include "support/IconImage.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>

namespace {

constexpr std::uint32_t white = rgbValue(255, 255, 255), black = 0, red = rgbValue(255, 0, 0),
                        yellow = rgbValue(255, 255, 0), green = rgbValue(0, 255, 0),
                        transparent = 0xFF000000;

struct Pixel {
    int x, y;
    std::uint32_t colour;
};

std::uint32_t pixel(const IconImage& image, int x, int y) {
    return image.opaque(x, y) ? image.colour(x, y) : transparent;
}

IconImage imageOf(const IconHolder& holder) {
    IconImage image;
    EXPECT_TRUE(readIconImage(holder.icon, image));
    return image;
}

class Icons : public testing::Test {
protected:
    void SetUp() override {
        moduleInstance = GetModuleHandleA(nullptr);
        loadIcons();
    }
    void TearDown() override { releaseIcons(); }
};

TEST_F(Icons, EachColourShowsItsStampAndEachStateItsSign) {
    // In the order of the options slider.
    const std::uint32_t stamps[colourCount] = {rgbValue(0, 0, 255), rgbValue(255, 0, 255), green,
                                               yellow, red, rgbValue(0, 255, 255)};
    // Never checked (question mark), new mail (exclamation mark), error (red
    // X), login refused (prohibition sign), check under way (hourglass):
    // each at a pixel where no other sign has that colour.
    const Pixel signs[stateOverlayCount] = {{18, 8, yellow}, {6, 10, yellow}, {2, 9, red}, {2, 19, red},
                                            {10, 7, green}};
    // The envelope alone: rows 5 to 27 in a black frame, white paper where
    // the signs go and round the stamp in the top-right corner.
    const Pixel envelope[] = {{0, 4, transparent}, {0, 5, black},   {31, 27, black}, {15, 28, transparent},
                              {2, 9, white},       {2, 19, white},  {18, 8, white},  {21, 10, white},
                              {26, 15, white}};
    IconHolder base, shown;
    for (std::size_t colour = 0; colour < colourCount; ++colour) {
        base.compose(programIcon, colourIcons[colour]);
        const IconImage plain = imageOf(base);
        for (const Pixel& p : envelope)
            EXPECT_EQ(pixel(plain, p.x, p.y), p.colour) << "colour " << colour << " at " << p.x << "," << p.y;
        EXPECT_EQ(pixel(plain, 23, 8), stamps[colour]) << "the stamp's upper left, colour " << colour;
        for (std::size_t state = 0; state < stateOverlayCount; ++state) {
            shown.compose(base, stateOverlays[state]);
            const IconImage image = imageOf(shown);
            SCOPED_TRACE(testing::Message() << "colour " << colour << ", state " << state);
            EXPECT_EQ(pixel(image, 26, 10), stamps[colour]) << "the stamp's middle";
            EXPECT_EQ(pixel(image, 28, 13), stamps[colour]) << "the stamp's lower right";
            EXPECT_EQ(pixel(image, signs[state].x, signs[state].y), signs[state].colour) << "the sign";
        }
    }
}

// An icon has one owner, which destroys it; sharing never does.
TEST_F(Icons, OnlyTheOwningHolderDestroysItsIcon) {
    IconHolder owner, sharer, composed;
    owner.compose(programIcon, colourIcons[0]);
    sharer.share(owner);
    sharer.release();
    EXPECT_TRUE(iconAlive(owner.icon)) << "released by a holder that only shared it";
    composed.compose(owner, stateOverlays[0]);
    const HICON previous = composed.icon;
    composed.compose(composed, stateOverlays[1]);
    EXPECT_FALSE(iconAlive(previous)) << "replaced by a new composition";
    EXPECT_EQ(pixel(imageOf(composed), 6, 10), yellow) << "composed onto its own icon";
    const HICON replaced = composed.icon;
    composed.share(owner);
    EXPECT_FALSE(iconAlive(replaced)) << "left behind by share";
    const HICON owned = owner.icon;
    owner.release();
    EXPECT_FALSE(iconAlive(owned));
}

// Wine 8 answers 0 to GetGuiResources: the GDI objects are counted in the
// process's GDI handle table, and the composed icons checked dead one by one.
TEST_F(Icons, ComposingLeavesNoGdiObjectOrIconBehind) {
    IconHolder base, state;
    base.compose(programIcon, colourIcons[5]);
    state.compose(base, stateOverlays[4]);
    state.release();
    base.release();
    ReleaseDC(nullptr, GetDC(nullptr)); // the screen's cached context stays
    const long before = countGdiObjects();
    HBITMAP probe = CreateBitmap(4, 4, 1, 1, nullptr);
    const bool counted = countGdiObjects() == before + 1;
    if (!counted && sizeof(void*) == 4)
        GTEST_SKIP() << "this 32-bit Wine counts no GDI objects; the 64-bit run counts them";
    ASSERT_TRUE(counted) << "the count must see a new bitmap";
    DeleteObject(probe);
    int alive = 0;
    for (int i = 0; i < 100; ++i) {
        base.compose(programIcon, colourIcons[5]);
        state.compose(base, stateOverlays[4]);
        const HICON composed[] = {base.icon, state.icon};
        state.release();
        base.release();
        for (HICON icon : composed)
            alive += iconAlive(icon) ? 1 : 0;
    }
    EXPECT_EQ(alive, 0);
    EXPECT_EQ(countGdiObjects(), before);
}

} // namespace
