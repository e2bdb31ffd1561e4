#include "memory/MemoryBlockGrid.h"

#include "memory/DeviceMemoryMirror.h"
#include "memory/MemoryGridLayout.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

QColor colour(std::uint32_t bgr)
{
    return QColor::fromRgb(MemoryGridLayout::toRgb(bgr));
}

constexpr int kLine = MemoryGridLayout::GridLineWidth;

} // namespace

MemoryBlockGrid::MemoryBlockGrid(DeviceMemoryMirror &mirror, int gridIndex, QWidget *parent)
    : QWidget(parent), m_mirror(mirror), m_gridIndex(gridIndex)
{
    setObjectName(gridIndex == 0 ? QStringLiteral("DrawGrid1") : QStringLiteral("DrawGrid2"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    applyGeometry(1.0);
}

int MemoryBlockGrid::rows() const
{
    return MemoryGridLayout::gridRows(m_mirror.videoFormat().isPal);
}

void MemoryBlockGrid::applyGeometry(double scale)
{
    const MemoryGridLayout::Size s =
        MemoryGridLayout::gridSize(scale, m_mirror.videoFormat().isPal);
    m_rowHeight = s.rowHeight;
    m_headerWidth = s.headerWidth;
    m_blockWidth = s.blockWidth;
    setFixedSize(s.width, s.height);
    update();
}

int MemoryBlockGrid::columnLeft(int column) const
{
    return kLine +
           (column == 0 ? 0 : m_headerWidth + kLine + (column - 1) * (m_blockWidth + kLine));
}

int MemoryBlockGrid::columnWidth(int column) const
{
    return column == 0 ? m_headerWidth : m_blockWidth;
}

QRect MemoryBlockGrid::cellRect(int row, int column) const
{
    return QRect(columnLeft(column), kLine + row * (m_rowHeight + kLine), columnWidth(column),
                 m_rowHeight);
}

bool MemoryBlockGrid::cellAt(const QPoint &pos, int &slotRow, int &block) const
{
    const int row = (pos.y() - kLine) / (m_rowHeight + kLine);
    if (pos.y() < kLine || row >= rows())
        return false;
    for (int column = 1; column < MemoryGridLayout::Columns; ++column) {
        const QRect r = cellRect(row, column).adjusted(0, 0, kLine, kLine);
        if (r.contains(pos)) {
            slotRow = MemoryGridLayout::slotRow(m_gridIndex, row, m_mirror.videoFormat().isPal);
            block = column - 1;
            return slotRow < m_mirror.SlotRows();
        }
    }
    return false;
}

void MemoryBlockGrid::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    const bool pal = m_mirror.videoFormat().isPal;
    const int gridWidth = columnLeft(MemoryGridLayout::Columns - 1) + m_blockWidth + kLine;
    const int gridHeight = kLine + rows() * (m_rowHeight + kLine);
    p.fillRect(QRect(0, 0, gridWidth, gridHeight), QColor(0xC0, 0xC0, 0xC0));
    for (int row = 0; row < rows(); ++row) {
        const int slot = MemoryGridLayout::slotRow(m_gridIndex, row, pal);
        if (slot >= m_mirror.SlotRows())
            break;
        const MemoryGridLayout::RowHeader h =
            MemoryGridLayout::rowHeader(slot, m_mirror.TitleRows());
        const QRect header = cellRect(row, 0);
        p.fillRect(header, colour(h.colour));
        p.setPen(Qt::black);
        p.drawText(header, Qt::AlignCenter | Qt::TextSingleLine, QString::number(h.number));
        for (int block = 0; block < DeviceMemoryMirror::BlocksPerRow; ++block) {
            const MemoryMapRecord r = m_mirror.record(slot, block);
            const bool selected =
                r.usage != BlockUsage::Empty && r.memoryNo == m_mirror.SelectedMemoryNo;
            const QRect cell = cellRect(row, block + 1);
            p.fillRect(cell, colour(MemoryGridLayout::blockColour(
                                 r.usage, m_mirror.IsInList(r.memoryNo), selected)));
            const MemoryGridLayout::Frame f = MemoryGridLayout::frameLines(m_mirror, slot, block);
            if (!f.any())
                continue;
            // The lines lie on the grid lines around the cell, so that the
            // blocks of one piece join without lines between them.
            const QRect outer = cell.adjusted(-kLine, -kLine, 0, 0);
            p.setPen(Qt::black);
            if (f.top)
                p.drawLine(outer.left(), outer.top(), outer.right() + kLine, outer.top());
            if (f.bottom)
                p.drawLine(outer.left(), outer.bottom() + kLine, outer.right() + kLine,
                           outer.bottom() + kLine);
            if (f.left)
                p.drawLine(outer.left(), outer.top(), outer.left(), outer.bottom() + kLine);
            if (f.right)
                p.drawLine(outer.right() + kLine, outer.top(), outer.right() + kLine,
                           outer.bottom() + kLine);
            if (!f.left)
                p.fillRect(QRect(outer.left(), cell.top(), kLine, cell.height()),
                           colour(MemoryGridLayout::blockColour(
                               r.usage, m_mirror.IsInList(r.memoryNo), selected)));
        }
    }
}

void MemoryBlockGrid::mousePressEvent(QMouseEvent *event)
{
    int slot = 0;
    int block = 0;
    if (event->button() == Qt::LeftButton && cellAt(event->position().toPoint(), slot, block))
        emit blockClicked(slot, block);
}

void MemoryBlockGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    int slot = 0;
    int block = 0;
    if (event->button() == Qt::LeftButton && cellAt(event->position().toPoint(), slot, block))
        emit blockDoubleClicked();
}
