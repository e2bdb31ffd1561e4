#pragma once

#include "core/MemorySetting.h"
#include "core/VideoFormatParams.h"
#include "device/MemoryMapRecord.h"
#include "imaging/Bitmap.h"

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QPair>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class DeviceLink;
class ImageLibrary;
class KeyerState;
class MemoryRefresh;
class MessageBoxes;
class TitleList;
class Waits;
struct DefaultTitleSettings;
struct EnvironmentSettings;

// The program's copy of the mixer's memory map: the format header (signal,
// aspect, title rows) and the 240 block records, the previous map, the room
// check of the list titles that are not stored, the clears, and the video
// format everything else is checked against. Lives on the user-interface
// thread from the main window's creation to its end; before the first map
// arrives the header is the memory setting of the last run.
class DeviceMemoryMirror : public QObject
{
    Q_OBJECT

public:
    static constexpr int MapSize = 968;
    static constexpr int Rows = 30;
    static constexpr int PalRows = 26;
    static constexpr int BlocksPerRow = 8;

    struct Services
    {
        TitleList &list;
        KeyerState &keyer;
        MessageBoxes &boxes;
        ImageLibrary &images;
        Waits &waits;
        // The frame parts of the defaults follow the frame rate (ApplyVideoFormat).
        DefaultTitleSettings &defaults;
    };
    // Reads the map once from the device and hands it to ApplyMemoryMap.
    using MapReader = std::function<void()>;

    DeviceMemoryMirror(const Services &services, const MemorySetting &setting,
                       QObject *parent = nullptr);
    ~DeviceMemoryMirror() override;

    // The connection its clears and reads go through (none: nothing is sent).
    void setLink(DeviceLink *link) { m_link = link; }
    void setMapReader(MapReader reader) { m_readMap = std::move(reader); }
    // Closes the send list as the New command does (the save question included).
    void setListCloser(std::function<void()> close) { m_closeList = std::move(close); }
    // The refresh that pauses while a notice is shown (MemoryRefresh sets itself).
    void setRefresh(MemoryRefresh *refresh) { m_refresh = refresh; }

    // Takes a received map (its first 968 bytes). False, with nothing changed
    // but the previous map, when its magic is wrong or it is short.
    bool ApplyMemoryMap(const QByteArray &block);
    // Every record empty, no selection, FirstUpdateDone false; the header stays.
    void ResetMemoryMirror();
    // Reads the map at once and checks the room of the list titles.
    void RefreshMemoryNow();
    // The refresh's read: one map read unless one runs already or no device is there.
    bool readMemoryMap();
    // NoRoom of every list title that is not stored: no run of free blocks fits its frames.
    void CheckFreeMemory();
    bool IsInList(std::uint16_t memoryNo) const;

    // Clears the list title stored under memoryNo from the device. False (nothing
    // sent) for a clip number, a number no title has, a protected title without
    // includeProtected, the title on air (message 136) or an undelivered request.
    bool ClearTitle(std::uint16_t memoryNo, bool includeProtected);
    // One of the clear codes: MemoryNo::AllListTitles (every list title, protected
    // ones kept), AllIntVideo or AllMemory. Nothing without a device or while the
    // keyer is busy (136); with confirm, asks first (115 or 117). True when done.
    bool ClearAll(std::uint16_t code, bool confirm);
    // The memory window's clear of one stored number: a list title (not a clip)
    // after question 112, protected or not; a clip after 114 (its icons
    // dropped) or other data after 113, with the clear request alone. False
    // when the number is not stored, the answer is not Yes or nothing was cleared.
    bool ClearArea(std::uint16_t memoryNo);
    // The main window's Clear: asks (111), then clears each selected title,
    // protected ones kept, in list order. False when nothing was asked or cleared.
    bool ClearSelectedTitles();

    // The device connected: a fresh mirror and, when so configured, the memory
    // cleared without asking. Disconnected: a fresh mirror.
    void deviceConnected(const EnvironmentSettings &environment);
    void deviceDisconnected();

    // The format's figures for signal (1 PAL, else NTSC); frame-valued defaults
    // beyond the new frame rate become 0.
    void ApplyVideoFormat(int signal);
    const VideoFormatParams &videoFormat() const { return *m_format; }

    int Signal() const { return m_current[0]; }
    int Aspect() const { return m_current[1]; }
    int TitleRows() const { return m_current[2]; }
    // The slot rows the format has: 30 for NTSC, 26 for PAL.
    int SlotRows() const { return m_format->isPal ? PalRows : Rows; }
    bool aspect16x9() const { return Aspect() == 1; }
    bool FirstUpdateDone() const { return m_firstUpdateDone; }
    // The record of block 0..7 of row 0..29.
    MemoryMapRecord record(int row, int block) const;
    // The use of the first block holding memoryNo, or nothing when no block does.
    std::optional<BlockUsage> usageOf(std::uint16_t memoryNo) const;
    // The header of a received map as a memory setting; nothing when the map
    // is short or its magic is wrong.
    static std::optional<MemorySetting> headerOf(const QByteArray &block);
    // The header as the memory setting to keep, with the window's place.
    MemorySetting memorySetting() const;
    void setWindowPosition(int left, int top);

    // The memory window's selection: a memory number (MemoryNo::None for
    // nothing) and the use of its block.
    std::uint16_t SelectedMemoryNo = MemoryNo::None;
    BlockUsage SelectedUsage = BlockUsage::Empty;

    // The memory window's icons of IntVideo clips, by memory number and device word.
    using IconKey = QPair<std::uint16_t, std::uint32_t>;
    const QMap<IconKey, Bitmap> &intVideoIcons() const { return m_intVideoIcons; }
    void addIntVideoIcon(std::uint16_t memoryNo, std::uint32_t deviceWord, const Bitmap &icon);
    void dropIntVideoIcons() { m_intVideoIcons.clear(); }

signals:
    // A map was taken: the memory window redraws (title combo, grids, selection).
    void mapApplied();
    // The records were reset.
    void mirrorReset();
    // The header changed: the memory window's labels and grid size follow.
    void signalChanged(int signal);
    void aspectChanged(int aspect);
    void titleRowsChanged(int titleRows);

private:
    static constexpr int ContentSize = MapSize - 4;
    static constexpr int RecordsOffset = 4; // in the content, after the header

    bool connected() const;
    bool sendClear(std::uint16_t value);
    void markAllNotStored();
    void renderThumbnails();
    bool fits(int blocksPerFrame, int frameCount) const;

    Services m_services;
    DeviceLink *m_link = nullptr;
    MemoryRefresh *m_refresh = nullptr;
    MapReader m_readMap;
    std::function<void()> m_closeList;
    std::array<std::uint8_t, ContentSize> m_current{};
    std::array<std::uint8_t, ContentSize> m_previous{};
    bool m_firstUpdateDone = false;
    bool m_reading = false;
    const VideoFormatParams *m_format = &VideoFormatParams::ntsc();
    std::optional<int> m_windowLeft;
    std::optional<int> m_windowTop;
    QMap<IconKey, Bitmap> m_intVideoIcons;
};
