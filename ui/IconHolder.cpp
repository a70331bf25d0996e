#include "ui/IconHolder.h"

#include "ui/ProgramHandles.h"

#include <memory>
#include <type_traits>

namespace {

// Every image of the program is 32 x 32.
constexpr int iconSize = 32;

struct DcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
using OwnedDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

struct BitmapDeleter {
    void operator()(HBITMAP bitmap) const { DeleteObject(bitmap); }
};
using OwnedBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter>;

// The copies of an icon's mask and colour bitmaps that GetIconInfo hands
// out. They belong to the caller and are deleted on every path, the mask
// first. An icon without a colour bitmap (a monochrome one) is not used:
// its mask holds both halves and would not line up with a colour icon's.
class IconBitmaps {
public:
    explicit IconBitmaps(HICON icon) {
        if (icon && GetIconInfo(icon, &info)) {
            colour.reset(info.hbmColor);
            mask.reset(info.hbmMask);
        }
    }

    bool usable() const { return mask && colour; }

    ICONINFO info{};

private:
    // Declared in reverse, so that the mask is deleted before the colour.
    OwnedBitmap colour;
    OwnedBitmap mask;
};

// A copy of the icon the bitmaps came from.
HICON copyIcon(IconBitmaps& bitmaps) {
    return CreateIconIndirect(&bitmaps.info);
}

// Lays the overlay over the base: the base's mask becomes the AND of both
// masks (opaque where either is) and the overlay is drawn through its own
// mask onto the base's colours (its colours where it is opaque, the base's
// elsewhere). The icon is made from the changed copies; the two source
// icons are not touched.
HICON layIcons(IconBitmaps& base, IconBitmaps& overlay, HICON overlayIcon) {
    const OwnedDc first(CreateCompatibleDC(nullptr));
    const OwnedDc second(CreateCompatibleDC(nullptr));
    const HGDIOBJ firstBefore = SelectObject(first.get(), base.info.hbmMask);
    const HGDIOBJ secondBefore = SelectObject(second.get(), overlay.info.hbmMask);
    BitBlt(first.get(), 0, 0, iconSize, iconSize, second.get(), 0, 0, SRCAND);
    SelectObject(first.get(), base.info.hbmColor);
    DrawIcon(first.get(), 0, 0, overlayIcon);
    // A bitmap still selected into a device context cannot be read from
    // for the new icon; give both contexts back their own.
    SelectObject(first.get(), firstBefore);
    SelectObject(second.get(), secondBefore);
    return CreateIconIndirect(&base.info);
}

} // namespace

IconHolder::~IconHolder() {
    release();
}

// LoadImageA without LR_SHARED rather than LoadIconA: LoadIconA hands out
// the system's shared copy of the resource, which must not be passed to
// DestroyIcon, while this holder owns its icon and destroys it on release.
void IconHolder::load(WORD id) {
    release();
    icon = static_cast<HICON>(
        LoadImageA(moduleInstance, MAKEINTRESOURCEA(id), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    resourceId = id;
    owned = true;
    kind = Loaded;
}

// The new icon is made before the old one is released, so that composing
// onto (or with) the icon this holder itself owns or shares works. A missing
// layer counts as fully transparent: with one of the two missing the result
// is a copy of the other, with both missing the holder ends empty.
void IconHolder::compose(const IconHolder& base, const IconHolder& overlay) {
    IconBitmaps baseBitmaps(base.icon);
    IconBitmaps overlayBitmaps(overlay.icon);

    HICON composed = nullptr;
    if (baseBitmaps.usable() && overlayBitmaps.usable())
        composed = layIcons(baseBitmaps, overlayBitmaps, overlay.icon);
    else if (baseBitmaps.usable())
        composed = copyIcon(baseBitmaps);
    else if (overlayBitmaps.usable())
        composed = copyIcon(overlayBitmaps);

    const WORD keptId = resourceId;
    release();
    resourceId = keptId;
    if (composed) {
        icon = composed;
        owned = true;
        kind = Composed;
    }
}

// Whatever this holder owned is released first: sharing must not leak it.
void IconHolder::share(const IconHolder& other) {
    if (&other == this)
        return;
    release();
    icon = other.icon;
    resourceId = other.resourceId;
    kind = other.kind;
    owned = false;
}

void IconHolder::release() {
    if (kind != Empty && owned && icon)
        DestroyIcon(icon);
    icon = nullptr;
    resourceId = 0;
    owned = false;
    kind = Empty;
}
