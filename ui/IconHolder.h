#pragma once

#include <windows.h>

#include <cstdint>

// One icon handle and whether this holder is the one that destroys it. An
// icon has exactly one owning holder; any number of others may share it, and
// sharing never passes ownership on. Holders are not copied, because a copy
// would either destroy the icon twice or leave it to nobody.
class IconHolder {
public:
    enum Kind : std::int32_t { Empty = 0, Loaded = 1, Composed = 2 };

    constexpr IconHolder() = default;
    ~IconHolder();
    IconHolder(const IconHolder&) = delete;
    IconHolder& operator=(const IconHolder&) = delete;

    // The icon resource `id` of the program module (moduleInstance), owned.
    void load(WORD id);
    // A new icon, owned: `overlay` where it is opaque, `base` elsewhere,
    // transparent only where both are. The two sources stay as they are; the
    // holder's resourceId is kept.
    void compose(const IconHolder& base, const IconHolder& overlay);
    // The other holder's icon, not owned: releasing this holder leaves it.
    void share(const IconHolder& other);
    // Destroys the icon if this holder owns it and empties the holder.
    void release();

    HICON icon = nullptr;
    WORD resourceId = 0;
    bool owned = false;
    Kind kind = Empty;
};
