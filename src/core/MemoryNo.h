#pragma once

#include <cstdint>

// The mixer's memory numbers: titles below FirstClip, IntVideo clips from
// FirstClip up to LastClip, and the special numbers above.
namespace MemoryNo {

inline constexpr std::uint16_t FirstClip = 0x4000;
inline constexpr std::uint16_t LastClip = 0xFFF9;
// The program's own clear code for every unprotected list title, one by one; never sent.
inline constexpr std::uint16_t AllListTitles = 0xFFFA;
// Sent with the clear operation: every IntVideo clip.
inline constexpr std::uint16_t AllIntVideo = 0xFFFB;
// Sent with the clear operation: the whole memory, protected data included.
inline constexpr std::uint16_t AllMemory = 0xFFFC;
// The send list's head entry.
inline constexpr std::uint16_t HeadEntry = 0xFFFD;
// Not in the mixer's memory; also the allocation's answer when nothing fits.
inline constexpr std::uint16_t NotStored = 0xFFFE;
// None: an empty block, no title on the keyer; also the allocation's answer when refused.
inline constexpr std::uint16_t None = 0xFFFF;

// A title or clip number, as opposed to a special number.
inline constexpr bool isData(std::uint16_t memoryNo)
{
    return memoryNo < AllListTitles;
}

} // namespace MemoryNo
