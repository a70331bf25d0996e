// The icon holder on the program's real icons and real GDI bitmaps: the
// composition rule checked pixel by pixel against the source images, who
// destroys an icon and who merely shares it, and what many compositions
// leave behind.
#include "ui/IconHolder.h"

#include "support/GdiObjects.h"
#include "support/IconImage.h"
#include "ui/ProgramHandles.h"
#include "ui/resource.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

class IconHolderTest : public testing::Test {
protected:
    void SetUp() override { moduleInstance = GetModuleHandleA(nullptr); }

    static IconImage imageOf(const IconHolder& holder) {
        IconImage image;
        EXPECT_TRUE(readIconImage(holder.icon, image));
        return image;
    }
};

const WORD colourIds[] = {IDI_SQUARE_BLUE,   IDI_SQUARE_MAGENTA, IDI_SQUARE_GREEN,
                          IDI_SQUARE_YELLOW, IDI_SQUARE_RED,     IDI_SQUARE_CYAN};
const WORD overlayIds[] = {IDI_OVERLAY_QUESTION, IDI_OVERLAY_EXCLAMATION, IDI_OVERLAY_CROSS,
                           IDI_OVERLAY_PROHIBITION, IDI_OVERLAY_HOURGLASS};

TEST_F(IconHolderTest, NewHolderIsEmptyAndLoadOwnsTheResourceIcon) {
    IconHolder holder;
    EXPECT_EQ(holder.icon, nullptr);
    EXPECT_EQ(holder.resourceId, 0);
    EXPECT_FALSE(holder.owned);
    EXPECT_EQ(holder.kind, IconHolder::Empty);

    holder.load(IDI_ENVELOPE);
    ASSERT_NE(holder.icon, nullptr);
    EXPECT_EQ(holder.resourceId, IDI_ENVELOPE);
    EXPECT_TRUE(holder.owned);
    EXPECT_EQ(holder.kind, IconHolder::Loaded);
    IconImage image;
    ASSERT_TRUE(readIconImage(holder.icon, image));
    EXPECT_EQ(image.colour(0, 5), rgbValue(0, 0, 0)) << "the envelope's black frame";

    // The holder's own copy, not the system's shared one: releasing it
    // really frees it.
    const HICON icon = holder.icon;
    holder.release();
    EXPECT_FALSE(iconAlive(icon));
    EXPECT_EQ(holder.icon, nullptr);
    EXPECT_EQ(holder.resourceId, 0);
    EXPECT_FALSE(holder.owned);
    EXPECT_EQ(holder.kind, IconHolder::Empty);
    holder.release();  // a second release of an empty holder does nothing
}

// Envelope + square + overlay, as every tray icon is made: each layer shows
// where it is opaque, the layers below elsewhere.
TEST_F(IconHolderTest, ComposingFollowsTheRuleForEveryColourAndOverlay) {
    IconHolder envelope, square, overlay, base, state;
    envelope.load(IDI_ENVELOPE);
    const IconImage envelopeImage = imageOf(envelope);
    for (WORD colourId : colourIds) {
        SCOPED_TRACE("colour icon " + std::to_string(colourId));
        square.load(colourId);
        const IconImage squareImage = imageOf(square);
        base.compose(envelope, square);
        EXPECT_EQ(base.kind, IconHolder::Composed);
        EXPECT_TRUE(base.owned);
        const IconImage baseImage = imageOf(base);
        EXPECT_EQ(differences(baseImage, layered(envelopeImage, squareImage)), "");
        // Outside the square the envelope is untouched, inside it the stamp
        // is whole.
        EXPECT_EQ(baseImage.colour(5, 20), envelopeImage.colour(5, 20));
        EXPECT_EQ(baseImage.colour(25, 10), squareImage.colour(25, 10));

        for (WORD overlayId : overlayIds) {
            SCOPED_TRACE("overlay icon " + std::to_string(overlayId));
            overlay.load(overlayId);
            const IconImage overlayImage = imageOf(overlay);
            state.compose(base, overlay);
            const IconImage stateImage = imageOf(state);
            EXPECT_EQ(differences(stateImage, layered(baseImage, overlayImage)), "");
            // The stamp's inside (columns 23 to 28) is never covered: the
            // overlays reach at most three columns into the square.
            EXPECT_EQ(stateImage.colour(26, 10), squareImage.colour(26, 10));

            // The sources are copies' sources only: they keep their pixels.
            EXPECT_EQ(differences(imageOf(overlay), overlayImage), "");
            EXPECT_EQ(differences(imageOf(base), baseImage), "");
        }
    }
    EXPECT_EQ(differences(imageOf(envelope), envelopeImage), "");
}

TEST_F(IconHolderTest, ComposingReplacesTheOldIconAndKeepsTheResourceId) {
    IconHolder envelope, square, holder;
    envelope.load(IDI_ENVELOPE);
    square.load(IDI_SQUARE_RED);
    holder.load(IDI_OVERLAY_CROSS);
    const HICON loaded = holder.icon;
    holder.compose(envelope, square);
    EXPECT_FALSE(iconAlive(loaded)) << "the loaded icon it held is destroyed";
    EXPECT_NE(holder.icon, envelope.icon);
    EXPECT_EQ(holder.resourceId, IDI_OVERLAY_CROSS);
    EXPECT_EQ(holder.kind, IconHolder::Composed);

    // Composing onto its own icon works: the new icon is made before the
    // old one goes.
    const IconImage before = imageOf(holder);
    IconHolder overlay;
    overlay.load(IDI_OVERLAY_HOURGLASS);
    const HICON old = holder.icon;
    holder.compose(holder, overlay);
    EXPECT_FALSE(iconAlive(old));
    EXPECT_EQ(differences(imageOf(holder), layered(before, imageOf(overlay))), "");
}

// A missing layer counts as fully transparent.
TEST_F(IconHolderTest, ComposingWithAnEmptyLayerCopiesTheOther) {
    IconHolder envelope, empty, onlyBase, onlyOverlay, neither;
    envelope.load(IDI_ENVELOPE);

    onlyBase.compose(envelope, empty);
    EXPECT_EQ(onlyBase.kind, IconHolder::Composed);
    EXPECT_NE(onlyBase.icon, envelope.icon) << "a copy it owns, not the source";
    EXPECT_EQ(differences(imageOf(onlyBase), imageOf(envelope)), "");

    onlyOverlay.compose(empty, envelope);
    EXPECT_EQ(onlyOverlay.kind, IconHolder::Composed);
    EXPECT_EQ(differences(imageOf(onlyOverlay), imageOf(envelope)), "");

    neither.load(IDI_SQUARE_BLUE);
    const HICON loaded = neither.icon;
    neither.compose(empty, empty);
    EXPECT_EQ(neither.kind, IconHolder::Empty);
    EXPECT_EQ(neither.icon, nullptr);
    EXPECT_FALSE(iconAlive(loaded));
}

TEST_F(IconHolderTest, ReleasingASharingHolderLeavesTheIconAndReleasingTheOwnerDestroysIt) {
    IconHolder envelope, square, owner;
    envelope.load(IDI_ENVELOPE);
    square.load(IDI_SQUARE_GREEN);
    owner.compose(envelope, square);
    owner.resourceId = 4711;  // to see it copied

    {
        IconHolder sharer;
        sharer.share(owner);
        EXPECT_EQ(sharer.icon, owner.icon);
        EXPECT_EQ(sharer.resourceId, 4711);
        EXPECT_EQ(sharer.kind, IconHolder::Composed);
        EXPECT_FALSE(sharer.owned);
        EXPECT_TRUE(owner.owned) << "sharing never passes ownership";
        sharer.release();
        EXPECT_TRUE(iconAlive(owner.icon));
        sharer.share(owner);
    }  // the destructor releases too
    EXPECT_TRUE(iconAlive(owner.icon));

    // Sharing into a holder that owns an icon releases that icon first.
    IconHolder previousOwner;
    previousOwner.compose(envelope, square);
    const HICON previous = previousOwner.icon;
    previousOwner.share(owner);
    EXPECT_FALSE(iconAlive(previous));

    // Sharing oneself changes nothing.
    const HICON own = owner.icon;
    owner.share(owner);
    EXPECT_EQ(owner.icon, own);
    EXPECT_TRUE(owner.owned);

    owner.release();
    EXPECT_FALSE(iconAlive(own));
}

// Every composition takes two icon copies of bitmaps, two device contexts
// and makes one icon; none of it may stay behind. Wine 8 answers 0 to
// GetGuiResources, so there the GDI objects are counted in the process's
// GDI handle table; the composed icons themselves (user objects) are
// checked dead one by one.
TEST_F(IconHolderTest, ManyCompositionsLeaveNoGdiObjectOrIconBehind) {
    IconHolder envelope, square, overlay, base, state;
    envelope.load(IDI_ENVELOPE);
    square.load(IDI_SQUARE_CYAN);
    overlay.load(IDI_OVERLAY_HOURGLASS);
    base.compose(envelope, square);
    state.compose(base, overlay);
    state.release();
    base.release();
    // The first GetDC of the process makes the screen's cached context
    // (three objects that stay); make it before counting.
    ReleaseDC(nullptr, GetDC(nullptr));

    const long before = countGdiObjects();
    ASSERT_GT(before, 0) << "counted through " << gdiCountSource();
    // The counter must see a leak: three bitmaps more are three more.
    {
        HDC screen = GetDC(nullptr);
        std::vector<HBITMAP> probes;
        for (int i = 0; i < 3; ++i)
            probes.push_back(CreateCompatibleBitmap(screen, 4, 4));
        ReleaseDC(nullptr, screen);
        EXPECT_EQ(countGdiObjects(), before + 3);
        for (HBITMAP probe : probes)
            DeleteObject(probe);
        EXPECT_EQ(countGdiObjects(), before);
    }

    constexpr int cycles = 300;
    int aliveAfterRelease = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < cycles; ++i) {
        base.compose(envelope, square);
        state.compose(base, overlay);
        const HICON composed[] = {base.icon, state.icon};
        state.release();
        base.release();
        for (HICON icon : composed)
            aliveAfterRelease += iconAlive(icon) ? 1 : 0;
    }
    const auto spent = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(aliveAfterRelease, 0);
    EXPECT_EQ(countGdiObjects(), before) << "GDI objects counted through " << gdiCountSource();
    std::printf("%d double compositions in %lld ms; GDI objects counted through %s: %ld\n", cycles,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(spent).count()),
                gdiCountSource(), before);
}

} // namespace
