#include "support/GdiObjects.h"

#include <windows.h>
#include <winternl.h>

#include <cstddef>
#include <cstdint>

namespace {

// One entry of the GDI handle table, in the layout Windows and Wine share;
// a handle's low 16 bits index the table, a used entry has a type.
struct GdiHandleEntry {
    std::uint64_t object;
    std::uint16_t processId, count, unique;
    std::uint8_t type, flags;
    std::uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24);

// The table's place in the process environment block, by word size.
constexpr std::size_t gdiTableOffset = sizeof(void*) == 8 ? 0xF8 : 0x94;

} // namespace

long countGdiObjects() {
    PROCESS_BASIC_INFORMATION process{};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &process, sizeof process,
                                  nullptr) != 0)
        return -1;
    const auto* block = reinterpret_cast<const std::byte*>(process.PebBaseAddress);
    const auto* table = *reinterpret_cast<const GdiHandleEntry* const*>(block + gdiTableOffset);
    // The WoW64 Wine keeps no table in a 32-bit process's block; the
    // system's own count is the other way to ask.
    if (!table)
        return static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    long count = 0;
    for (std::size_t i = 0; table && i < 0x10000; ++i)
        count += table[i].type != 0 ? 1 : 0;
    return count;
}
