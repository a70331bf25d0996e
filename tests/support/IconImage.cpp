#include "support/IconImage.h"

namespace {

constexpr int size = IconImage::size;

// The bitmap's pixels as 0x00RRGGBB, top row first.
bool readBitmap(HDC dc, HBITMAP bitmap, std::array<std::uint32_t, size * size>& pixels) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    const bool read = GetDIBits(dc, bitmap, 0, size, pixels.data(), &info, DIB_RGB_COLORS) == size;
    for (std::uint32_t& pixel : pixels)
        pixel &= 0xFFFFFF;
    return read;
}

} // namespace

testing::AssertionResult readIconImage(HICON icon, IconImage& image) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info))
        return testing::AssertionFailure() << "GetIconInfo(" << icon << ") failed, error " << GetLastError();
    HDC dc = CreateCompatibleDC(nullptr);
    std::array<std::uint32_t, size * size> mask{};
    const bool read = info.hbmColor && readBitmap(dc, info.hbmColor, image.colours) &&
                      readBitmap(dc, info.hbmMask, mask);
    DeleteDC(dc);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
    for (std::size_t i = 0; i < mask.size(); ++i)
        image.transparent[i] = mask[i] != 0;
    return read ? testing::AssertionSuccess() : testing::AssertionFailure() << "not a 32 x 32 colour icon";
}

IconImage layered(const IconImage& base, const IconImage& overlay) {
    IconImage result;
    for (std::size_t i = 0; i < result.colours.size(); ++i) {
        result.colours[i] = overlay.transparent[i] ? base.colours[i] : overlay.colours[i];
        result.transparent[i] = base.transparent[i] && overlay.transparent[i];
    }
    return result;
}

std::string differences(const IconImage& got, const IconImage& expected) {
    int found = 0;
    std::string first;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if (got.opaque(x, y) != expected.opaque(x, y) || got.colour(x, y) != expected.colour(x, y))
                if (++found == 1)
                    first = "(" + std::to_string(x) + "," + std::to_string(y) + ")";
    return found ? std::to_string(found) + " pixels differ, the first at " + first : "";
}

bool iconAlive(HICON icon) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info))
        return false;
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
    return true;
}
