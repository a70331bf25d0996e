#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

// An icon's 32 x 32 pixels as GetIconInfo and GetDIBits give them: a colour
// (0x00RRGGBB) per pixel and whether the mask lets the background through.
struct IconImage {
    static constexpr int size = 32;

    std::array<std::uint32_t, size * size> colours{};
    std::array<bool, size * size> transparent{};

    std::uint32_t colour(int x, int y) const { return colours[y * size + x]; }
    bool opaque(int x, int y) const { return !transparent[y * size + x]; }
};

constexpr std::uint32_t rgbValue(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return r << 16 | g << 8 | b;
}

testing::AssertionResult readIconImage(HICON icon, IconImage& image);

// What laying `overlay` over `base` must give, worked out pixel by pixel:
// the overlay's colour where it is opaque, the base's elsewhere, transparent
// only where both are.
IconImage layered(const IconImage& base, const IconImage& overlay);

// The pixels where the two differ, as text ("" when none); at most a few are
// named.
std::string differences(const IconImage& got, const IconImage& expected);

// Whether `icon` is still a live icon handle.
bool iconAlive(HICON icon);
