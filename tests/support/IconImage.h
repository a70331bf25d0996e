#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstdint>

// An icon's 32 x 32 pixels, top row first, as 0x00RRGGBB; where the mask
// lets the background through, the colour carries the transparent bit too.
struct IconImage {
    static constexpr std::uint32_t transparent = 0xFF000000;

    std::array<std::uint32_t, 32 * 32> pixels{};

    std::uint32_t at(int x, int y) const { return pixels[std::size_t(y * 32 + x)]; }
};

inline testing::AssertionResult readIconImage(HICON icon, IconImage& image) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info))
        return testing::AssertionFailure() << "GetIconInfo(" << icon << ") failed";
    BITMAPINFO format{{sizeof format.bmiHeader, 32, -32, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    IconImage mask;
    HDC dc = CreateCompatibleDC(nullptr);
    const bool read =
        GetDIBits(dc, info.hbmColor, 0, 32, image.pixels.data(), &format, DIB_RGB_COLORS) == 32 &&
        GetDIBits(dc, info.hbmMask, 0, 32, mask.pixels.data(), &format, DIB_RGB_COLORS) == 32;
    DeleteDC(dc);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
    for (std::size_t i = 0; i < mask.pixels.size(); ++i)
        image.pixels[i] =
            (image.pixels[i] & 0xFFFFFF) | (mask.pixels[i] & 1 ? IconImage::transparent : 0);
    return read ? testing::AssertionSuccess() : testing::AssertionFailure() << "no 32 x 32 colours";
}

// Whether `icon` is still a live icon handle.
inline bool iconAlive(HICON icon) {
    IconImage image;
    return readIconImage(icon, image);
}
