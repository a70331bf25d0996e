// The process-wide icon holders: which resource lands in which holder (the
// resources' pictures themselves are IconResourceTest's), and that they can
// be released.
#include "ui/Icons.h"

#include "ui/ProgramHandles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

namespace {

std::vector<WORD> idsOf(const auto& holders) {
    std::vector<WORD> ids;
    for (const IconHolder& holder : holders) {
        EXPECT_EQ(holder.kind, IconHolder::Loaded);
        EXPECT_NE(holder.icon, nullptr);
        ids.push_back(holder.resourceId);
    }
    return ids;
}

TEST(Icons, LoadIconsFillsTheHoldersInTheOrderOfTheSliderAndTheStates) {
    moduleInstance = GetModuleHandleA(nullptr);
    loadIcons();
    EXPECT_EQ(programIcon.resourceId, 101);
    EXPECT_EQ(programIcon.kind, IconHolder::Loaded);
    // Blue, magenta, green, yellow, red, cyan.
    EXPECT_EQ(idsOf(colourIcons), (std::vector<WORD>{108, 110, 109, 116, 117, 118}));
    // Question mark, exclamation mark, red X, prohibition sign, hourglass.
    EXPECT_EQ(idsOf(stateOverlays), (std::vector<WORD>{111, 115, 112, 107, 113}));

    releaseIcons();
    EXPECT_EQ(programIcon.icon, nullptr);
    for (const IconHolder& holder : colourIcons)
        EXPECT_EQ(holder.kind, IconHolder::Empty);
    for (const IconHolder& holder : stateOverlays)
        EXPECT_EQ(holder.kind, IconHolder::Empty);
}

} // namespace
