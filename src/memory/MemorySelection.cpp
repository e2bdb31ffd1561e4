#include "memory/MemorySelection.h"

#include "list/TitleList.h"
#include "memory/DeviceMemoryMirror.h"
#include "resources/MessageTable.h"

MemorySelection::MemorySelection(DeviceMemoryMirror &mirror, const TitleList &list)
    : m_mirror(mirror), m_list(list)
{}

std::uint16_t MemorySelection::memoryNo() const
{
    return m_mirror.SelectedMemoryNo;
}
BlockUsage MemorySelection::usage() const
{
    return m_mirror.SelectedUsage;
}
bool MemorySelection::hasSelection() const
{
    return memoryNo() != MemoryNo::None;
}
bool MemorySelection::isClip() const
{
    return hasSelection() && memoryNo() >= MemoryNo::FirstClip;
}

QString MemorySelection::typeText(const TitleAttributes &a)
{
    const bool bit = a.directionBit();
    switch (a.kind()) {
    case TitleKind::Still:
        return MessageTable::text(42);
    case TitleKind::Movie:
        return MessageTable::text(bit ? 47 : 45);
    case TitleKind::Roll:
        return MessageTable::text(bit ? 52 : 50);
    case TitleKind::Crawl:
        return MessageTable::text(bit ? 57 : 55);
    }
    return {};
}

void MemorySelection::clear()
{
    m_mirror.SelectedMemoryNo = MemoryNo::None;
    m_mirror.SelectedUsage = BlockUsage::Empty;
    m_clipHeader.reset();
    m_panel = Panel{};
}

void MemorySelection::setAllowed(std::uint16_t memoryNo)
{
    m_panel.operate = true;
    m_panel.saveTitle = memoryNo < MemoryNo::FirstClip;
    m_panel.saveVideo = !m_panel.saveTitle;
}

void MemorySelection::selectBlock(int slotRow, int block)
{
    const MemoryMapRecord r = m_mirror.record(slotRow, block);
    m_panel.icon = Bitmap();
    m_panel.order = 0;
    m_clipHeader.reset();
    m_mirror.SelectedMemoryNo = r.memoryNo;
    m_mirror.SelectedUsage = r.usage;
    if (r.usage == BlockUsage::Empty) {
        clear();
        return;
    }
    setAllowed(r.memoryNo);
    m_panel.name.clear();
    m_panel.type.clear();
    m_panel.frames.clear();
    m_panel.divide.clear();
    if (r.usage == BlockUsage::UsedTitle || r.usage == BlockUsage::KeptTitle) {
        if (const auto index = m_list.FindByMemoryNo(r.memoryNo))
            showListTitle(*index);
        return;
    }
    showClip(r.memoryNo);
}

void MemorySelection::selectBlockOf(std::uint16_t memoryNo)
{
    for (int row = 0; row < m_mirror.SlotRows(); ++row)
        for (int block = 0; block < DeviceMemoryMirror::BlocksPerRow; ++block)
            if (const MemoryMapRecord r = m_mirror.record(row, block);
                r.usage != BlockUsage::Empty && r.memoryNo == memoryNo) {
                selectBlock(row, block);
                return;
            }
    clear();
}

void MemorySelection::showListTitle(int index)
{
    const TitleEntry &e = m_list.at(index);
    m_panel.name = e.Name;
    m_panel.type = typeText(e.Attributes);
    m_panel.frames = QString::number(e.Attributes.frameCount());
    m_panel.divide = TitleAttributes::divideText(e.Attributes.blocksPerFrame());
    m_panel.icon = e.Thumbnail;
    m_panel.order = index;
}

void MemorySelection::showClip(std::uint16_t memoryNo)
{
    if (!m_readHeader)
        return;
    const std::optional<QByteArray> reply = m_readHeader(memoryNo);
    if (!reply || reply->size() < TitleAttributes::Size)
        return;
    const TitleAttributes header =
        TitleAttributes::fromBytes(reinterpret_cast<const std::uint8_t *>(reply->constData()));
    m_clipHeader = header;
    if (header.kind() == TitleKind::Still)
        m_panel.type = MessageTable::text(42);
    else if (header.kind() == TitleKind::Movie)
        m_panel.type = MessageTable::text(43);
    m_panel.frames = QString::number(header.frameCount());
    const auto &icons = m_mirror.intVideoIcons();
    const auto it = icons.constFind({memoryNo, header.deviceWord()});
    if (it != icons.constEnd())
        m_panel.icon = it.value();
}

void MemorySelection::selectOrder(int order)
{
    if (order < 1 || order > m_list.count() || !m_list.at(order).isStored()) {
        clear();
        return;
    }
    const TitleEntry &e = m_list.at(order);
    m_clipHeader.reset();
    m_mirror.SelectedMemoryNo = e.Attributes.memoryNo();
    m_mirror.SelectedUsage = BlockUsage::UsedTitle;
    m_panel = Panel{};
    m_panel.operate = true;
    m_panel.saveTitle = true;
    showListTitle(order);
}

void MemorySelection::follow()
{
    if (!hasSelection()) {
        clear();
        return;
    }
    const std::optional<BlockUsage> now = m_mirror.usageOf(memoryNo());
    if (!now) {
        clear();
        return;
    }
    m_mirror.SelectedUsage = *now;
    if (!isClip()) {
        // The list title may have gone from the list or changed its place.
        if (const auto index = m_list.FindByMemoryNo(memoryNo())) {
            showListTitle(*index);
        } else {
            m_panel.name.clear();
            m_panel.type.clear();
            m_panel.frames.clear();
            m_panel.divide.clear();
            m_panel.icon = Bitmap();
            m_panel.order = 0;
        }
    }
}

QList<int> MemorySelection::storedOrders() const
{
    QList<int> orders;
    for (int i = 1; i <= m_list.count(); ++i)
        if (m_list.at(i).isStored())
            orders.append(i);
    return orders;
}
