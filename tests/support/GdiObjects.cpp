#include "support/GdiObjects.h"

#include <windows.h>
#include <winternl.h>

#include <cstddef>
#include <cstdint>

namespace {

// One entry of the GDI handle table, in the layout Windows and Wine share.
struct GdiHandleEntry {
    std::uint64_t object;
    std::uint16_t processId;
    std::uint16_t count;
    std::uint16_t unique;
    std::uint8_t type;
    std::uint8_t flags;
    std::uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24);

// A handle's low 16 bits index the table.
constexpr std::size_t gdiHandleCount = 0x10000;

// The field's place in the process environment block: the block's layout
// differs with the word size.
constexpr std::size_t gdiTableOffset = sizeof(void*) == 8 ? 0xF8 : 0x94;

const GdiHandleEntry* gdiHandleTable() {
    PROCESS_BASIC_INFORMATION process{};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &process, sizeof process,
                                  nullptr) != 0 ||
        !process.PebBaseAddress)
        return nullptr;
    const auto* block = reinterpret_cast<const std::byte*>(process.PebBaseAddress);
    return *reinterpret_cast<const GdiHandleEntry* const*>(block + gdiTableOffset);
}

bool usesTable() {
    return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS) == 0;
}

} // namespace

long countGdiObjects() {
    if (!usesTable())
        return static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    const GdiHandleEntry* table = gdiHandleTable();
    if (!table)
        return -1;
    long count = 0;
    for (std::size_t i = 0; i < gdiHandleCount; ++i)
        count += table[i].type != 0 ? 1 : 0;
    return count;
}

const char* gdiCountSource() {
    return usesTable() ? "the GDI handle table" : "GetGuiResources";
}
