// The twelve icon resources, read back the way the tray composition sees them:
// LoadIconA, then GetIconInfo and GetDIBits on the colour and the mask
// bitmaps. The areas checked here are what stacking envelope, stamp and
// overlay relies on: a stamp that strays outside its corner or an overlay
// that spreads to the right would paint over the wrong layer.
#include "ui/resource.h"

#include "support/IconImage.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <array>
#include <compare>
#include <cstdint>
#include <memory>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

constexpr int iconSize = 32;

// A pixel's colour as GetDIBits gives it in a 32-bit DIB (0x00RRGGBB),
// printed as (r, g, b) in failure messages.
struct Colour {
    std::uint32_t value;
    bool operator==(const Colour&) const = default;
    auto operator<=>(const Colour&) const = default;
};

std::ostream& operator<<(std::ostream& out, Colour c) {
    return out << '(' << (c.value >> 16 & 0xFF) << ", " << (c.value >> 8 & 0xFF) << ", "
               << (c.value & 0xFF) << ')';
}

std::string toText(Colour c) {
    std::ostringstream text;
    text << c;
    return text.str();
}

constexpr Colour rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return Colour{r << 16 | g << 8 | b};
}

constexpr Colour black = rgb(0, 0, 0), darkRed = rgb(128, 0, 0), darkGreen = rgb(0, 128, 0),
                 darkYellow = rgb(128, 128, 0), darkBlue = rgb(0, 0, 128),
                 darkMagenta = rgb(128, 0, 128), darkCyan = rgb(0, 128, 128),
                 lightGrey = rgb(192, 192, 192), darkGrey = rgb(128, 128, 128),
                 red = rgb(255, 0, 0), green = rgb(0, 255, 0), yellow = rgb(255, 255, 0),
                 blue = rgb(0, 0, 255), magenta = rgb(255, 0, 255), cyan = rgb(0, 255, 255),
                 white = rgb(255, 255, 255);

const std::set<Colour> standardColours = {black, darkRed,  darkGreen, darkYellow, darkBlue, darkMagenta,
                                          darkCyan, lightGrey, darkGrey, red,      green,    yellow,
                                          blue,    magenta,   cyan,     white};

// Inclusive pixel bounds.
struct Area {
    int left, top, right, bottom;
    bool contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
    bool operator==(const Area&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Area& a) {
    return out << "columns " << a.left << "-" << a.right << ", rows " << a.top << "-" << a.bottom;
}

const Area squareArea{22, 7, 29, 14};

// The resource ids in the order the program loads them.
const std::vector<WORD> allIcons = {IDI_ENVELOPE,         IDI_SQUARE_BLUE,        IDI_SQUARE_MAGENTA,
                                    IDI_SQUARE_GREEN,     IDI_SQUARE_YELLOW,      IDI_SQUARE_RED,
                                    IDI_SQUARE_CYAN,      IDI_OVERLAY_QUESTION,   IDI_OVERLAY_EXCLAMATION,
                                    IDI_OVERLAY_CROSS,    IDI_OVERLAY_PROHIBITION, IDI_OVERLAY_HOURGLASS};

struct SquareIcon {
    WORD id;
    const char* name;
    Colour fill, border;
};

const SquareIcon squareIcons[] = {
    {IDI_SQUARE_BLUE, "blue", blue, darkBlue},       {IDI_SQUARE_MAGENTA, "magenta", magenta, darkMagenta},
    {IDI_SQUARE_GREEN, "green", green, darkGreen},   {IDI_SQUARE_YELLOW, "yellow", yellow, darkYellow},
    {IDI_SQUARE_RED, "red", red, darkRed},           {IDI_SQUARE_CYAN, "cyan", cyan, darkCyan},
};

struct OverlayIcon {
    WORD id;
    const char* name;
    Area area;
};

const OverlayIcon overlayIcons[] = {
    {IDI_OVERLAY_QUESTION, "question mark", {0, 0, 22, 31}},
    {IDI_OVERLAY_EXCLAMATION, "exclamation mark", {4, 0, 15, 31}},
    {IDI_OVERLAY_CROSS, "red X", {0, 7, 24, 31}},
    {IDI_OVERLAY_PROHIBITION, "prohibition sign", {0, 7, 24, 31}},
    {IDI_OVERLAY_HOURGLASS, "hourglass", {0, 5, 21, 31}},
};

struct ModuleDeleter {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using OwnedModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleDeleter>;

// One icon as the screen shows it: a colour per pixel and whether the mask
// lets the background through there.
struct IconPixels {
    std::array<Colour, iconSize * iconSize> colours{};
    std::array<bool, iconSize * iconSize> transparent{};

    Colour colour(int x, int y) const { return colours[y * iconSize + x]; }
    bool opaque(int x, int y) const { return !transparent[y * iconSize + x]; }
    bool opaqueIn(int x, int y, Colour c) const { return opaque(x, y) && colour(x, y) == c; }

    std::string describe(int x, int y) const {
        std::ostringstream text;
        text << '(' << x << ',' << y << ")=";
        if (opaque(x, y))
            text << colour(x, y);
        else
            text << "transparent";
        return text.str();
    }
};

// Pixels named in a failure message: the first few, then how many more.
class PixelList {
public:
    void add(const std::string& pixel) {
        if (++count <= shown)
            text += pixel + " ";
    }
    std::string str() const { return count > shown ? text + "and " + std::to_string(count - shown) + " more" : text; }

private:
    static constexpr int shown = 6;
    int count = 0;
    std::string text;
};

testing::AssertionResult readIcon(WORD id, IconPixels& pixels) {
    // A shared icon from LoadIconA belongs to the system: it is not destroyed.
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
    if (!icon)
        return testing::AssertionFailure() << "LoadIconA(" << id << ") failed, error " << GetLastError();
    IconImage image;
    if (auto result = readIconImage(icon, image); !result)
        return result << " (icon " << id << ")";
    for (std::size_t i = 0; i < image.colours.size(); ++i)
        pixels.colours[i] = Colour{image.colours[i]};
    pixels.transparent = image.transparent;
    return testing::AssertionSuccess();
}

// The pixels in `area` that are not opaque in `expected`, "" when none; at
// most a few are named.
std::string pixelsNotIn(const IconPixels& icon, Area area, Colour expected) {
    PixelList found;
    for (int y = area.top; y <= area.bottom; ++y)
        for (int x = area.left; x <= area.right; ++x)
            if (!icon.opaqueIn(x, y, expected))
                found.add(icon.describe(x, y));
    return found.str();
}

// The opaque pixels outside `area`, "" when none.
std::string opaqueOutside(const IconPixels& icon, Area area) {
    PixelList found;
    for (int y = 0; y < iconSize; ++y)
        for (int x = 0; x < iconSize; ++x)
            if (!area.contains(x, y) && icon.opaque(x, y))
                found.add(icon.describe(x, y));
    return found.str();
}

std::set<Colour> coloursUsed(const IconPixels& icon) {
    std::set<Colour> used;
    for (int y = 0; y < iconSize; ++y)
        for (int x = 0; x < iconSize; ++x)
            if (icon.opaque(x, y))
                used.insert(icon.colour(x, y));
    return used;
}

std::string describeSet(const std::set<Colour>& colours) {
    std::ostringstream text;
    for (Colour c : colours)
        text << c << ' ';
    return text.str();
}

// Pixels of one colour that touch a transparent pixel or the icon's edge:
// "" when an outline closes them in.
std::string unframedPixels(const IconPixels& icon, Colour inner) {
    PixelList found;
    for (int y = 0; y < iconSize; ++y)
        for (int x = 0; x < iconSize; ++x) {
            if (!icon.opaqueIn(x, y, inner))
                continue;
            const int neighbours[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
            for (const auto& n : neighbours)
                if (n[0] < 0 || n[0] >= iconSize || n[1] < 0 || n[1] >= iconSize || !icon.opaque(n[0], n[1])) {
                    found.add(icon.describe(x, y));
                    break;
                }
        }
    return found.str();
}

// Groups the pixels for which `member` holds into 8-connected parts and
// returns each part's bounds.
template <typename Member>
std::vector<Area> connectedParts(Member member) {
    std::array<bool, iconSize * iconSize> seen{};
    std::vector<Area> parts;
    for (int start = 0; start < iconSize * iconSize; ++start) {
        if (seen[start] || !member(start % iconSize, start / iconSize))
            continue;
        Area bounds{iconSize, iconSize, -1, -1};
        std::vector<int> stack{start};
        seen[start] = true;
        while (!stack.empty()) {
            const int x = stack.back() % iconSize, y = stack.back() / iconSize;
            stack.pop_back();
            bounds = {std::min(bounds.left, x), std::min(bounds.top, y), std::max(bounds.right, x),
                      std::max(bounds.bottom, y)};
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx < 0 || nx >= iconSize || ny < 0 || ny >= iconSize)
                        continue;
                    const int n = ny * iconSize + nx;
                    if (!seen[n] && member(nx, ny)) {
                        seen[n] = true;
                        stack.push_back(n);
                    }
                }
        }
        parts.push_back(bounds);
    }
    return parts;
}

Area opaqueBounds(const IconPixels& icon) {
    Area bounds{iconSize, iconSize, -1, -1};
    for (int y = 0; y < iconSize; ++y)
        for (int x = 0; x < iconSize; ++x)
            if (icon.opaque(x, y))
                bounds = {std::min(bounds.left, x), std::min(bounds.top, y), std::max(bounds.right, x),
                          std::max(bounds.bottom, y)};
    return bounds;
}

// The group resource of one icon as the resource compiler laid it out.
#pragma pack(push, 2)
struct GroupHeader {
    WORD reserved, type, count;
};
struct GroupEntry {
    BYTE width, height, colourCount, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD imageId;
};
#pragma pack(pop)

const void* lockResource(HMODULE module, WORD id, LPCSTR type, DWORD& size) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!found)
        return nullptr;
    size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    return loaded ? LockResource(loaded) : nullptr;
}

BOOL CALLBACK collectIconGroup(HMODULE, LPCSTR, LPSTR name, LONG_PTR list) {
    auto* ids = reinterpret_cast<std::vector<int>*>(list);
    ids->push_back(IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<ULONG_PTR>(name)) : -1);
    return TRUE;
}

// The icon groups in the order of the module's resource directory, which is
// the order shells go by when they pick a program file's icon.
std::vector<int> iconGroups(HMODULE module) {
    std::vector<int> ids;
    EnumResourceNamesA(module, RT_GROUP_ICON, collectIconGroup, reinterpret_cast<LONG_PTR>(&ids));
    return ids;
}

TEST(IconResources, EveryIconHoldsOne32By32ImageIn16StandardColours) {
    HMODULE module = GetModuleHandleA(nullptr);
    for (WORD id : allIcons) {
        SCOPED_TRACE("icon " + std::to_string(id));
        DWORD size = 0;
        const auto* group = static_cast<const GroupHeader*>(lockResource(module, id, RT_GROUP_ICON, size));
        ASSERT_NE(group, nullptr) << "error " << GetLastError();
        ASSERT_EQ(group->count, 1) << "images in the group";
        ASSERT_GE(size, sizeof(GroupHeader) + sizeof(GroupEntry));
        const auto* entry = reinterpret_cast<const GroupEntry*>(group + 1);
        EXPECT_EQ(entry->width, iconSize);
        EXPECT_EQ(entry->height, iconSize);
        EXPECT_EQ(entry->bitCount, 4);
        EXPECT_EQ(entry->colourCount, 16);
        const auto* image = static_cast<const BITMAPINFOHEADER*>(lockResource(module, entry->imageId, RT_ICON, size));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->biWidth, iconSize);
        EXPECT_EQ(image->biHeight, 2 * iconSize) << "colour and mask together";
        EXPECT_EQ(image->biBitCount, 4);

        IconPixels icon;
        ASSERT_TRUE(readIcon(id, icon));
        PixelList foreign, xoring;
        for (int y = 0; y < iconSize; ++y)
            for (int x = 0; x < iconSize; ++x) {
                if (icon.opaque(x, y) && !standardColours.contains(icon.colour(x, y)))
                    foreign.add(icon.describe(x, y));
                // Colour under a transparent mask bit is XORed onto the screen.
                if (!icon.opaque(x, y) && icon.colour(x, y) != black)
                    xoring.add(icon.describe(x, y) + " over " + toText(icon.colour(x, y)));
            }
        EXPECT_EQ(foreign.str(), "") << "opaque pixels outside the 16 standard colours";
        EXPECT_EQ(xoring.str(), "") << "transparent pixels whose colour is not black";
    }
}

TEST(IconResources, TheTwelveAreAllTheIconsAndTheEnvelopeComesFirst) {
    const std::vector<int> expected = {101, 107, 108, 109, 110, 111, 112, 113, 115, 116, 117, 118};
    EXPECT_EQ(iconGroups(GetModuleHandleA(nullptr)), expected);

    // The program file carries the same script: the envelope is its icon.
    const OwnedModule program(LoadLibraryExA(PELLMOR_EXE_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_NE(program, nullptr) << PELLMOR_EXE_PATH << ": error " << GetLastError();
    EXPECT_EQ(iconGroups(program.get()), expected);
}

TEST(EnvelopeIcon, FramedAcrossTheFullWidthInRows5To27) {
    IconPixels icon;
    ASSERT_TRUE(readIcon(IDI_ENVELOPE, icon));
    EXPECT_EQ(opaqueOutside(icon, {0, 5, 31, 27}), "") << "outside rows 5-27";

    EXPECT_EQ(pixelsNotIn(icon, {0, 5, 31, 5}, black), "") << "top of the outer frame";
    EXPECT_EQ(pixelsNotIn(icon, {0, 27, 31, 27}, black), "") << "bottom of the outer frame";
    EXPECT_EQ(pixelsNotIn(icon, {0, 5, 0, 27}, black), "") << "left of the outer frame";
    EXPECT_EQ(pixelsNotIn(icon, {31, 5, 31, 27}, black), "") << "right of the outer frame";

    // The inner frame is dark grey: a light grey one vanishes into a light
    // task bar once the icon is shrunk to 16 x 16.
    EXPECT_EQ(pixelsNotIn(icon, {1, 6, 30, 6}, darkGrey), "") << "top of the inner frame";
    EXPECT_EQ(pixelsNotIn(icon, {1, 26, 30, 26}, darkGrey), "") << "bottom of the inner frame";
    EXPECT_EQ(pixelsNotIn(icon, {1, 6, 1, 26}, darkGrey), "") << "left of the inner frame";
    EXPECT_EQ(pixelsNotIn(icon, {30, 6, 30, 26}, darkGrey), "") << "right of the inner frame";

    // The stamp lands on blank paper.
    EXPECT_EQ(pixelsNotIn(icon, squareArea, white), "") << "under the stamp";

    // Inside the frames: white paper and dark address lines, all left of the
    // centre, none longer than half the paper.
    const Area paper{2, 7, 29, 25};
    PixelList strayInk, stain;
    for (int y = paper.top; y <= paper.bottom; ++y)
        for (int x = paper.left; x <= paper.right; ++x) {
            const Colour c = icon.colour(x, y);
            if (!icon.opaque(x, y) || (c != white && c != darkGrey && c != black))
                stain.add(icon.describe(x, y));
            else if (c != white && x >= iconSize / 2)
                strayInk.add(icon.describe(x, y));
        }
    EXPECT_EQ(stain.str(), "") << "paper pixels neither white nor dark";
    EXPECT_EQ(strayInk.str(), "") << "ink right of the centre";
    const auto lines = connectedParts([&](int x, int y) {
        return paper.contains(x, y) && icon.opaque(x, y) && icon.colour(x, y) != white;
    });
    ASSERT_EQ(lines.size(), 3u) << "address lines";
    for (const Area& line : lines) {
        EXPECT_LE(line.bottom - line.top, 2) << "a line, not a block: " << line;
        EXPECT_GE(line.right - line.left, 4) << "a line, not a dot: " << line;
        EXPECT_LE(line.right - line.left + 1, (paper.right - paper.left + 1) / 2) << "a short line: " << line;
    }
}

TEST(ColourSquareIcons, FillColumns22To29Rows7To14AndNothingElse) {
    for (const SquareIcon& square : squareIcons) {
        SCOPED_TRACE(std::string(square.name) + " square " + std::to_string(square.id));
        IconPixels icon;
        ASSERT_TRUE(readIcon(square.id, icon));
        EXPECT_EQ(opaqueOutside(icon, squareArea), "");
        EXPECT_EQ(pixelsNotIn(icon, {23, 8, 28, 13}, square.fill), "") << "fill";
        EXPECT_EQ(pixelsNotIn(icon, {22, 7, 29, 7}, square.border), "") << "top border";
        EXPECT_EQ(pixelsNotIn(icon, {22, 14, 29, 14}, square.border), "") << "bottom border";
        EXPECT_EQ(pixelsNotIn(icon, {22, 8, 22, 13}, square.border), "") << "left border";
        EXPECT_EQ(pixelsNotIn(icon, {29, 8, 29, 13}, square.border), "") << "right border";
    }
}

TEST(OverlayIcons, SpanExactlyTheirAreas) {
    for (const OverlayIcon& overlay : overlayIcons) {
        SCOPED_TRACE(std::string(overlay.name) + " " + std::to_string(overlay.id));
        IconPixels icon;
        ASSERT_TRUE(readIcon(overlay.id, icon));
        EXPECT_EQ(opaqueOutside(icon, overlay.area), "");
        // Each picture uses its whole area, so that the areas say where the
        // overlays sit and how much of the stamp they hide.
        EXPECT_EQ(opaqueBounds(icon), overlay.area);
    }
}

TEST(OverlayIcons, QuestionAndExclamationMarksAreYellowInABlackOutlineWithADotBelow) {
    for (WORD id : {IDI_OVERLAY_QUESTION, IDI_OVERLAY_EXCLAMATION}) {
        SCOPED_TRACE("icon " + std::to_string(id));
        IconPixels icon;
        ASSERT_TRUE(readIcon(id, icon));
        EXPECT_EQ(coloursUsed(icon), (std::set<Colour>{black, yellow})) << describeSet(coloursUsed(icon));
        EXPECT_EQ(unframedPixels(icon, yellow), "") << "yellow pixels without outline";
        const auto parts = connectedParts([&](int x, int y) { return icon.opaque(x, y); });
        ASSERT_EQ(parts.size(), 2u) << "separate parts";
        const Area& stroke = parts[0].top < parts[1].top ? parts[0] : parts[1];
        const Area& dot = parts[0].top < parts[1].top ? parts[1] : parts[0];
        // Two clear rows keep the dot apart even when the icon is shown at 16 x 16.
        EXPECT_GE(dot.top - stroke.bottom, 3) << "stroke " << stroke << ", dot " << dot;
        EXPECT_LE(dot.bottom - dot.top, 8) << "dot " << dot;
    }
}

TEST(OverlayIcons, RedXHasItsArmsInTheCornersOfItsArea) {
    IconPixels icon;
    ASSERT_TRUE(readIcon(IDI_OVERLAY_CROSS, icon));
    EXPECT_EQ(coloursUsed(icon), (std::set<Colour>{darkRed, red})) << describeSet(coloursUsed(icon));
    const std::pair<int, int> corners[] = {{0, 7}, {24, 7}, {0, 31}, {24, 31}};
    for (const auto& [x, y] : corners)
        EXPECT_TRUE(icon.opaque(x, y)) << icon.describe(x, y);
    EXPECT_TRUE(icon.opaqueIn(12, 19, red)) << "centre " << icon.describe(12, 19);
    // The middles of the sides lie between the arms.
    const std::pair<int, int> sideMiddles[] = {{12, 7}, {0, 19}, {24, 19}, {12, 31}};
    for (const auto& [x, y] : sideMiddles)
        EXPECT_FALSE(icon.opaque(x, y)) << icon.describe(x, y);
    const auto parts = connectedParts([&](int x, int y) { return icon.opaque(x, y); });
    EXPECT_EQ(parts.size(), 1u) << "the two bars cross";
}

TEST(OverlayIcons, ProhibitionSignIsARedRingThatTheBarSplitsInTwo) {
    IconPixels icon;
    ASSERT_TRUE(readIcon(IDI_OVERLAY_PROHIBITION, icon));
    EXPECT_EQ(coloursUsed(icon), (std::set<Colour>{darkRed, red})) << describeSet(coloursUsed(icon));
    // Transparent parts that touch no edge of the icon lie inside the ring;
    // a closed ring with a bar across it holds exactly two.
    const auto clear = connectedParts([&](int x, int y) { return !icon.opaque(x, y); });
    std::vector<Area> enclosed;
    for (const Area& part : clear)
        if (part.left > 0 && part.top > 0 && part.right < iconSize - 1 && part.bottom < iconSize - 1)
            enclosed.push_back(part);
    ASSERT_EQ(enclosed.size(), 2u) << "regions inside the ring";
    // The bar runs from top left to bottom right: one half above it on the
    // right, one below it on the left.
    const Area& upper = enclosed[0].top < enclosed[1].top ? enclosed[0] : enclosed[1];
    const Area& lower = enclosed[0].top < enclosed[1].top ? enclosed[1] : enclosed[0];
    EXPECT_GT(upper.right, lower.right) << "upper " << upper << ", lower " << lower;
    EXPECT_LT(lower.left, upper.left) << "upper " << upper << ", lower " << lower;
}

TEST(OverlayIcons, HourglassHasGreenBarsAroundACyanGlassWithYellowSandAllOutlinedInBlack) {
    IconPixels icon;
    ASSERT_TRUE(readIcon(IDI_OVERLAY_HOURGLASS, icon));
    EXPECT_EQ(coloursUsed(icon), (std::set<Colour>{black, green, yellow, cyan})) << describeSet(coloursUsed(icon));
    for (Colour inner : {green, yellow, cyan})
        EXPECT_EQ(unframedPixels(icon, inner), "") << inner << " pixels without outline";

    const auto bars = connectedParts([&](int x, int y) { return icon.opaqueIn(x, y, green); });
    ASSERT_EQ(bars.size(), 2u) << "green bars";
    const Area& top = bars[0].top < bars[1].top ? bars[0] : bars[1];
    const Area& bottom = bars[0].top < bars[1].top ? bars[1] : bars[0];
    EXPECT_LE(top.top, 7) << "top bar " << top;
    EXPECT_GE(bottom.bottom, 29) << "bottom bar " << bottom;
    // The glass and its sand lie between the bars, narrower than they are.
    const auto glass = connectedParts([&](int x, int y) {
        return icon.opaqueIn(x, y, cyan) || icon.opaqueIn(x, y, yellow);
    });
    ASSERT_EQ(glass.size(), 1u) << "glass and sand in one piece";
    EXPECT_GT(glass[0].top, top.bottom) << "glass " << glass[0];
    EXPECT_LT(glass[0].bottom, bottom.top) << "glass " << glass[0];
    EXPECT_GT(glass[0].left, top.left) << "glass " << glass[0];
    EXPECT_LT(glass[0].right, top.right) << "glass " << glass[0];
}

}  // namespace
