// The process-wide icon holders: which image lands in which holder. The ids
// alone could be right in the wrong order, so the colour of each stamp and
// the place of each overlay are read back from the loaded icons.
#include "ui/Icons.h"

#include "support/IconImage.h"
#include "ui/ProgramHandles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

namespace {

TEST(Icons, LoadIconsFillsTheHoldersInTheOrderOfTheSliderAndTheStates) {
    moduleInstance = GetModuleHandleA(nullptr);
    loadIcons();

    EXPECT_EQ(programIcon.resourceId, 101);
    EXPECT_EQ(programIcon.kind, IconHolder::Loaded);
    EXPECT_TRUE(programIcon.owned);

    const std::vector<WORD> colourIds = {108, 110, 109, 116, 117, 118};
    const std::vector<std::uint32_t> fills = {rgbValue(0, 0, 255),   rgbValue(255, 0, 255),
                                              rgbValue(0, 255, 0),   rgbValue(255, 255, 0),
                                              rgbValue(255, 0, 0),   rgbValue(0, 255, 255)};
    for (std::size_t i = 0; i < colourCount; ++i) {
        SCOPED_TRACE("colourIcons " + std::to_string(i));
        EXPECT_EQ(colourIcons[i].resourceId, colourIds[i]);
        EXPECT_EQ(colourIcons[i].kind, IconHolder::Loaded);
        IconImage image;
        ASSERT_TRUE(readIconImage(colourIcons[i].icon, image));
        EXPECT_EQ(image.colour(25, 10), fills[i]);
    }

    const std::vector<WORD> overlayIds = {111, 115, 112, 107, 113};
    for (std::size_t i = 0; i < stateOverlayCount; ++i) {
        SCOPED_TRACE("stateOverlays " + std::to_string(i));
        EXPECT_EQ(stateOverlays[i].resourceId, overlayIds[i]);
        EXPECT_EQ(stateOverlays[i].kind, IconHolder::Loaded);
        IconImage image;
        ASSERT_TRUE(readIconImage(stateOverlays[i].icon, image));
        EXPECT_GT(image.opaqueCount(), 0);
    }
    // Told apart by their colours: yellow marks (0 and 1), red signs (2 and
    // 3), the hourglass's cyan glass (4); the question mark is the wider.
    auto colourCountOf = [](std::size_t index, std::uint32_t colour) {
        IconImage image;
        EXPECT_TRUE(readIconImage(stateOverlays[index].icon, image));
        int count = 0;
        for (int y = 0; y < IconImage::size; ++y)
            for (int x = 0; x < IconImage::size; ++x)
                count += image.opaque(x, y) && image.colour(x, y) == colour ? 1 : 0;
        return count;
    };
    const std::uint32_t yellow = rgbValue(255, 255, 0), red = rgbValue(255, 0, 0),
                        cyan = rgbValue(0, 255, 255);
    EXPECT_GT(colourCountOf(0, yellow), colourCountOf(1, yellow));
    EXPECT_GT(colourCountOf(2, red), 0);
    EXPECT_GT(colourCountOf(3, red), 0);
    EXPECT_GT(colourCountOf(4, cyan), 0);
    EXPECT_EQ(colourCountOf(0, red) + colourCountOf(1, red), 0);

    releaseIcons();
    EXPECT_EQ(programIcon.kind, IconHolder::Empty);
    for (const IconHolder& holder : colourIcons)
        EXPECT_EQ(holder.icon, nullptr);
    for (const IconHolder& holder : stateOverlays)
        EXPECT_EQ(holder.icon, nullptr);
}

} // namespace
