#pragma once

#include "device/MemoryMapRecord.h"

#include <cstdint>

class DeviceMemoryMirror;

// The memory window's two block grids as figures: which slot row each grid
// row shows, the sizes at a font scale, the row headers, the fill of a block
// by its use and the selection, and the frame lines that make the blocks of
// one memory number read as one piece. Colours are 0xBBGGRR as the settings
// and the legend give them.
class MemoryGridLayout
{
public:
    static constexpr int Columns = 9; // column 0: row number, 1..8: the row's blocks
    static constexpr int BaseRowHeight = 17;
    static constexpr int BaseBlockWidth = 16;
    static constexpr int GridLineWidth = 1;

    // Legend colours.
    static constexpr std::uint32_t TitleArea = 0xD7FAFF;
    static constexpr std::uint32_t IntVideoArea = 0xFFEBD7;
    static constexpr std::uint32_t Empty = 0xFFFFFF;
    static constexpr std::uint32_t UsedTitle = 0xC8E1FF;
    static constexpr std::uint32_t KeptTitle = 0xFFC8FF;
    static constexpr std::uint32_t UsedUnknown = 0xC8FFC8;
    static constexpr std::uint32_t UsedIntVideo = 0xFFC8C8;

    // The left grid's rows: 15 for NTSC, 13 for PAL; the right grid shows as many.
    static int gridRows(bool pal) { return pal ? 13 : 15; }
    // The slot row that row `row` of grid 0 (left) or 1 (right) shows.
    static int slotRow(int grid, int row, bool pal)
    {
        return row + (grid == 1 ? gridRows(pal) : 0);
    }

    // The main grid font's scale: its character height over 12 when the height
    // is a character height, else 1.0.
    static double fontScale(int characterHeight, bool isCharacterHeight);

    struct Size
    {
        int rowHeight = 0;
        int headerWidth = 0; // column 0
        int blockWidth = 0;
        int width = 0;  // of one grid, lines included
        int height = 0; // of one grid, lines included
    };
    static Size gridSize(double scale, bool pal);

    // The icon frame's height: 84 for 4:3, 63 for 16:9.
    static int iconHeight(bool aspect16x9) { return aspect16x9 ? 63 : 84; }

    struct RowHeader
    {
        std::uint32_t colour = 0;
        int number = 0; // 1-based within the title or the IntVideo rows
        bool titleRow = false;
    };
    static RowHeader rowHeader(int slotRow, int titleRows);

    // The fill of a block: by use, whether its title is in the send list, and
    // whether its memory number is the selected one.
    static std::uint32_t blockColour(BlockUsage usage, bool inList, bool selected);

    struct Frame
    {
        bool top = false;
        bool bottom = false;
        bool left = false;
        bool right = false;
        bool any() const { return top || bottom || left || right; }
    };
    // The black lines around block `block` (0..7) of `slotRow`: none for an
    // empty block; top and bottom always; left and right where the piece of
    // its memory number begins or ends, in map order across row ends.
    static Frame frameLines(const DeviceMemoryMirror &mirror, int slotRow, int block);

    // The same colour as 0xRRGGBB for painting.
    static std::uint32_t toRgb(std::uint32_t bgr)
    {
        return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
    }
};
