#pragma once

#include "device/MemoryMapRecord.h"
#include "imaging/Bitmap.h"
#include "list/TitleAttributes.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

class DeviceMemoryMirror;
class TitleList;

// The memory window's selection and its "selected data" panel: what a click
// on a block or a choice in the Order combo selects, the texts, the icon and
// which commands the selection allows. The selected number and use live in
// the mirror (SelectedMemoryNo, SelectedUsage), so the grids draw from it.
class MemorySelection
{
public:
    // Reads the 40-byte header the mixer keeps for a memory number.
    using HeaderReader = std::function<std::optional<QByteArray>(std::uint16_t memoryNo)>;

    struct Panel
    {
        QString name;
        QString type;
        QString frames;
        QString divide;
        Bitmap icon;   // null: the empty icon
        int order = 0; // the combo's item (a list order number), 0: none
        bool saveTitle = false;
        bool saveVideo = false;
        bool operate = false; // preview, stop and clear
    };

    MemorySelection(DeviceMemoryMirror &mirror, const TitleList &list);

    void setHeaderReader(HeaderReader reader) { m_readHeader = std::move(reader); }

    // A click on block 0..7 of a slot row.
    void selectBlock(int slotRow, int block);
    // Selects the first block holding memoryNo again (its data read anew);
    // nothing selected when no block holds it.
    void selectBlockOf(std::uint16_t memoryNo);
    // A choice in the Order combo: the list title of that order number (0: none).
    void selectOrder(int order);
    // Nothing selected; the panel empty.
    void clear();
    // After a new map or a reset: a selection whose data is gone is dropped;
    // one that remains keeps its panel, its use updated.
    void follow();

    const Panel &panel() const { return m_panel; }
    std::uint16_t memoryNo() const;
    BlockUsage usage() const;
    bool hasSelection() const;
    bool isClip() const;
    // The header read for the selected clip (nothing for a title or when the read failed).
    const std::optional<TitleAttributes> &clipHeader() const { return m_clipHeader; }

    // The order numbers of the stored list titles, for the combo.
    QList<int> storedOrders() const;

    // The long name of a title's type (STILL, MOVIE ONCE, ... CRAWL RIGHT).
    static QString typeText(const TitleAttributes &a);

private:
    void showListTitle(int index);
    void showClip(std::uint16_t memoryNo);
    void setAllowed(std::uint16_t memoryNo);

    DeviceMemoryMirror &m_mirror;
    const TitleList &m_list;
    HeaderReader m_readHeader;
    Panel m_panel;
    std::optional<TitleAttributes> m_clipHeader;
};
