#include "memory/MemoryGridLayout.h"

#include "memory/DeviceMemoryMirror.h"

#include <cmath>

double MemoryGridLayout::fontScale(int characterHeight, bool isCharacterHeight)
{
    if (!isCharacterHeight || characterHeight <= 0)
        return 1.0;
    return characterHeight / 12.0;
}

MemoryGridLayout::Size MemoryGridLayout::gridSize(double scale, bool pal)
{
    if (!(scale > 0.0))
        scale = 1.0;
    Size s;
    s.rowHeight = int(std::lround(BaseRowHeight * scale));
    s.headerWidth = s.rowHeight;
    s.blockWidth = int(std::lround(BaseBlockWidth * scale));
    const int rows = gridRows(pal);
    s.height = (s.rowHeight + GridLineWidth) * rows + GridLineWidth + 3;
    s.width = s.headerWidth + 8 * s.blockWidth + Columns * GridLineWidth + GridLineWidth + 3;
    return s;
}

MemoryGridLayout::RowHeader MemoryGridLayout::rowHeader(int slotRow, int titleRows)
{
    if (slotRow < titleRows)
        return {TitleArea, slotRow + 1, true};
    return {IntVideoArea, slotRow + 1 - titleRows, false};
}

std::uint32_t MemoryGridLayout::blockColour(BlockUsage usage, bool inList, bool selected)
{
    switch (usage) {
    case BlockUsage::Empty:
        return Empty;
    case BlockUsage::UsedTitle:
    case BlockUsage::KeptTitle:
        if (!inList)
            return selected ? 0x60FF60 : UsedUnknown;
        if (usage == BlockUsage::KeptTitle)
            return selected ? 0xFF60FF : KeptTitle;
        return selected ? 0x5FA5FF : UsedTitle;
    case BlockUsage::UsedIntVideo:
        return selected ? 0xFF6060 : UsedIntVideo;
    case BlockUsage::UsedUnknown:
        break;
    }
    return selected ? 0x60FF60 : UsedUnknown;
}

MemoryGridLayout::Frame MemoryGridLayout::frameLines(const DeviceMemoryMirror &mirror, int slotRow,
                                                     int block)
{
    constexpr int perRow = DeviceMemoryMirror::BlocksPerRow;
    const MemoryMapRecord here = mirror.record(slotRow, block);
    Frame f;
    if (here.usage == BlockUsage::Empty)
        return f;
    f.top = f.bottom = true;
    const int index = slotRow * perRow + block;
    const int last = mirror.SlotRows() * perRow - 1;
    if (index == 0) {
        f.left = true;
    } else {
        const MemoryMapRecord before = mirror.record((index - 1) / perRow, (index - 1) % perRow);
        f.left = before.memoryNo != here.memoryNo;
    }
    if (index >= last) {
        f.right = true;
    } else {
        const MemoryMapRecord after = mirror.record((index + 1) / perRow, (index + 1) % perRow);
        f.right = after.memoryNo != here.memoryNo;
    }
    return f;
}
