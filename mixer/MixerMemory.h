#pragma once

#include "core/MemoryNo.h"
#include "device/MemoryMapRecord.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// Where one frame of a stored title or clip lies.
struct MixerFramePlace
{
    int row = 0;
    int block = 0;
};

struct MixerItemInfo
{
    std::uint16_t memoryNo = MemoryNo::None;
    bool clip = false;
    bool isProtected = false;
    int blocksPerFrame = 0;
    int frameCount = 0;
    std::uint32_t deviceWord = 0;
    bool headerWritten = false;
    QList<MixerFramePlace> places; // one per frame, in frame order
};

// A stored title or clip with its 40-byte header.
struct MixerStoredItem
{
    MixerItemInfo info;
    QByteArray header;
};

// The mixer's picture memory: 30 (NTSC) or 26 (PAL) rows of 8 blocks, each
// block `BandLines` lines of 720 pixels. Rows 0..TitleRows-1 take titles (a
// frame is a run of BlocksPerFrame blocks inside one row), the remaining rows
// take IntVideo clips (a frame is a whole row). Pixels are kept per row and
// only for rows that have been written.
class MixerMemory
{
public:
    static constexpr int BlocksPerRow = 8;
    static constexpr int MaxRows = 30;
    static constexpr int LinePixels = 720;
    static constexpr int LineBytes = LinePixels * 4;
    static constexpr int MapBlockSize = 1024;
    static constexpr int HeaderSize = 40;

    explicit MixerMemory(std::uint32_t deviceWordSeed = 0);

    std::uint8_t signal() const { return m_signal; }
    // Switches the format; the caller clears the memory.
    void setSignal(std::uint8_t signal);
    int rowCount() const { return m_signal == 1 ? 26 : 30; }
    int bandLines() const { return m_signal == 1 ? 72 : 60; }
    int rowLines() const { return bandLines() * BlocksPerRow; }
    int titleRows() const { return m_titleRows; }
    void setTitleRows(int rows);

    // Allocation. The memory number, or MemoryNo::NotStored when it does not fit.
    std::uint16_t allocateTitle(int blocksPerFrame, int frameCount, bool isProtected);
    std::uint16_t allocateClip(int frameCount);

    bool contains(std::uint16_t memoryNo) const { return m_items.contains(memoryNo); }
    std::optional<MixerItemInfo> info(std::uint16_t memoryNo) const;
    // Removes the item; nothing happens when there is none.
    void clear(std::uint16_t memoryNo);
    void clearIntVideo();
    void clearAll();
    bool setProtected(std::uint16_t memoryNo, bool isProtected);

    // The 40-byte title header. The memory number, the protect bit and the
    // device word are the mixer's own and are kept whatever the host sends.
    std::optional<QByteArray> header(std::uint16_t memoryNo) const;
    bool writeHeader(std::uint16_t memoryNo, const QByteArray &bytes);

    MemoryMapRecord block(int row, int blockIndex) const;
    // The 1024-byte memory map block.
    QByteArray mapBlock(std::uint8_t aspect, bool badMagic) const;

    // Frame writes: the byte count the host announces for a frame (its lines
    // of trunc(Width x 9/8) or trunc(Width x 15/16) pixels, Height lines,
    // rounded up to 512), or nothing when the frame cannot be written.
    std::optional<qsizetype> frameWriteSize(std::uint16_t memoryNo, int frame) const;
    bool storeFrame(std::uint16_t memoryNo, int frame, const QByteArray &bytes);

    // Flags of the row holding the frame: 1 where a frame of this item starts.
    std::optional<std::array<std::uint8_t, 8>> bandFlags(std::uint16_t memoryNo, int frame) const;
    std::uint8_t lineClass() const { return m_signal == 1 ? 1 : 0; }
    // The read-back stream of the row holding the frame, as long as the host
    // reads it: the marker pixel 00 00 FD FC, one pad pixel, then the row's
    // pixels from its first line on in the 720-pixel pitch.
    std::optional<QByteArray> readBackStream(std::uint16_t memoryNo, int frame) const;
    // The stored lines of one frame (Height lines, or the frame's full height
    // before a header tells it), 720 pixels each.
    std::optional<QByteArray> frameLines(std::uint16_t memoryNo, int frame) const;

    // Everything the memory holds, so that it can outlive the program.
    static constexpr qsizetype RowBytes = qsizetype(BlocksPerRow) * 72 * LineBytes;
    struct Contents
    {
        std::uint8_t signal = 0;
        int titleRows = 15;
        std::uint32_t wordState = 1;
        QList<MixerStoredItem> items;
        QMap<int, QByteArray> rows; // the written rows, RowBytes each
    };
    Contents contents() const;
    // Takes the contents over; false, with nothing changed, when they do not
    // describe a memory this class could have come to hold.
    bool restore(const Contents &contents);

    static qsizetype roundUp512(qsizetype bytes) { return (bytes + 511) / 512 * 512; }
    // The pixel left where nothing was written: black, fully transparent.
    static constexpr std::array<std::uint8_t, 4> BlankPixel = {16, 0, 128, 128};

private:
    using Item = MixerStoredItem;

    std::uint32_t nextDeviceWord();
    std::uint16_t freeNumber(std::uint16_t first, std::uint16_t last) const;
    std::uint16_t addItem(Item item);
    void removeItem(std::uint16_t memoryNo);
    int deviceWidth(int width) const;
    int frameLineCount(const Item &item) const;
    QByteArray &rowPixels(int row);
    const Item *find(std::uint16_t memoryNo, int frame) const;

    std::uint8_t m_signal = 0;
    int m_titleRows = 15;
    std::array<MemoryMapRecord, MaxRows * BlocksPerRow> m_blocks{};
    QMap<std::uint16_t, Item> m_items;
    std::vector<QByteArray> m_rows;
    std::uint32_t m_wordState;
};
