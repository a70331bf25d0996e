#include "support/IconImage.h"

#include <memory>
#include <sstream>
#include <type_traits>

namespace {

struct BitmapDeleter {
    void operator()(HBITMAP bitmap) const { DeleteObject(bitmap); }
};
using OwnedBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter>;

struct DcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
using OwnedDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

constexpr int size = IconImage::size;

testing::AssertionResult readBitmap(HDC dc, HBITMAP bitmap, std::array<std::uint32_t, size * size>& pixels) {
    BITMAP header{};
    if (GetObjectA(bitmap, sizeof header, &header) != sizeof header)
        return testing::AssertionFailure() << "GetObjectA failed";
    if (header.bmWidth != size || header.bmHeight != size)
        return testing::AssertionFailure() << "bitmap is " << header.bmWidth << " x " << header.bmHeight;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;  // top-down: row 0 first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const int lines = GetDIBits(dc, bitmap, 0, size, pixels.data(), &info, DIB_RGB_COLORS);
    if (lines != size)
        return testing::AssertionFailure() << "GetDIBits returned " << lines << " lines";
    for (std::uint32_t& pixel : pixels)
        pixel &= 0xFFFFFF;
    return testing::AssertionSuccess();
}

} // namespace

int IconImage::opaqueCount() const {
    int count = 0;
    for (bool clear : transparent)
        count += clear ? 0 : 1;
    return count;
}

testing::AssertionResult readIconImage(HICON icon, IconImage& image) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info))
        return testing::AssertionFailure() << "GetIconInfo(" << icon << ") failed, error " << GetLastError();
    const OwnedBitmap mask(info.hbmMask), colour(info.hbmColor);
    if (!info.fIcon || !mask || !colour)
        return testing::AssertionFailure() << "fIcon " << info.fIcon << ", mask " << (mask != nullptr)
                                           << ", colour " << (colour != nullptr);
    const OwnedDc dc(CreateCompatibleDC(nullptr));
    std::array<std::uint32_t, size * size> maskPixels{};
    if (auto result = readBitmap(dc.get(), colour.get(), image.colours); !result)
        return result << " (colour bitmap)";
    if (auto result = readBitmap(dc.get(), mask.get(), maskPixels); !result)
        return result << " (mask)";
    for (std::size_t i = 0; i < maskPixels.size(); ++i) {
        if (maskPixels[i] != 0 && maskPixels[i] != 0xFFFFFF)
            return testing::AssertionFailure() << "mask pixel " << i << " is " << maskPixels[i];
        image.transparent[i] = maskPixels[i] == 0xFFFFFF;
    }
    return testing::AssertionSuccess();
}

IconImage layered(const IconImage& base, const IconImage& overlay) {
    IconImage result;
    for (std::size_t i = 0; i < result.colours.size(); ++i) {
        const bool overlayShows = !overlay.transparent[i];
        result.colours[i] = overlayShows ? overlay.colours[i] : base.colours[i];
        result.transparent[i] = base.transparent[i] && overlay.transparent[i];
    }
    return result;
}

std::string differences(const IconImage& got, const IconImage& expected) {
    std::ostringstream text;
    int found = 0;
    auto describe = [](const IconImage& image, int x, int y) {
        std::ostringstream pixel;
        if (image.opaque(x, y))
            pixel << std::hex << image.colour(x, y);
        else
            pixel << "transparent(" << std::hex << image.colour(x, y) << ")";
        return pixel.str();
    };
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            if (got.opaque(x, y) == expected.opaque(x, y) && got.colour(x, y) == expected.colour(x, y))
                continue;
            if (++found <= 6)
                text << '(' << x << ',' << y << ") is " << describe(got, x, y) << ", not "
                     << describe(expected, x, y) << "; ";
        }
    if (found > 6)
        text << "and " << found - 6 << " more";
    return text.str();
}

bool iconAlive(HICON icon) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info))
        return false;
    DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    return true;
}
