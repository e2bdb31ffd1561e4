#pragma once

#include "core/MemoryNo.h"

#include <cstdint>

// What a block of the mixer's memory holds, as its memory map tells.
enum class BlockUsage : std::uint8_t {
    Empty = 0,
    UsedTitle = 1,
    UsedIntVideo = 2,
    // Data the program cannot attribute.
    UsedUnknown = 3,
    // A protected title.
    KeptTitle = 4,
};

// One block of the memory map: its use and the memory number of its data.
struct MemoryMapRecord
{
    BlockUsage usage = BlockUsage::Empty;
    std::uint16_t memoryNo = MemoryNo::None;

    bool operator==(const MemoryMapRecord &) const = default;
};
