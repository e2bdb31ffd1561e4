#include "memory/ListGrid.h"

#include "list/TitleList.h"
#include "resources/MessageTable.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QStyleOption>

namespace {
constexpr std::array<int, 7> kIconWidths = {20, 28, 28, 112, 72, 72, 72};
constexpr std::array<int, 7> kListWidths = {20, 28, 28, 24, 144, 94, 104};
constexpr std::array<int, 8> kIconHeaders = {0, 61, 62, 65, 66, 67, 68, 69};
constexpr std::array<int, 8> kListHeaders = {0, 61, 63, 64, 66, 67, 68, 70};
} // namespace

ListGrid::ListGrid(QWidget *parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("DrawGrid"));
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);
    viewport()->setAutoFillBackground(true);
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Window, palette().color(QPalette::Button));
    viewport()->setPalette(pal);
    verticalScrollBar()->setSingleStep(1);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(),
            qOverload<>(&QWidget::update));
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, viewport(),
            qOverload<>(&QWidget::update));
}

void ListGrid::setList(TitleList *list)
{
    if (m_list)
        disconnect(m_list, nullptr, this, nullptr);
    m_list = list;
    if (m_list) {
        connect(m_list, &TitleList::listChanged, this, [this] {
            updateScrollBar();
            viewport()->update();
        });
        connect(m_list, &TitleList::rowChanged, this, &ListGrid::RedrawRow);
        connect(m_list, &TitleList::selectionChanged, viewport(), qOverload<>(&QWidget::update));
        connect(m_list, &TitleList::cursorSet, this, [this](int index) { scrollToRow(index); });
    }
    updateScrollBar();
    viewport()->update();
}

void ListGrid::setCellDrawer(CellDrawer drawer)
{
    m_drawer = std::move(drawer);
    viewport()->update();
}

void ListGrid::setIconView(bool icon)
{
    m_iconView = icon;
    updateScrollBar();
    viewport()->update();
}

int ListGrid::columnWidth(int column) const
{
    if (column < 0 || column >= ColumnCount)
        return 0;
    if (column == 7)
        return m_lastColumnWidth;
    return m_iconView ? kIconWidths[std::size_t(column)] : kListWidths[std::size_t(column)];
}

int ListGrid::fixedColumnsWidth() const
{
    int sum = 0;
    for (int c = 0; c < 7; ++c)
        sum += columnWidth(c);
    return sum;
}

void ListGrid::setLastColumnWidth(int width)
{
    m_lastColumnWidth = width;
    updateScrollBar();
    viewport()->update();
}

double ListGrid::fontScale() const
{
    const int px = font().pixelSize();
    return px > 0 ? px / 12.0 : 1.0;
}

int ListGrid::headerTextId(int column) const
{
    if (column < 0 || column >= ColumnCount)
        return 0;
    return m_iconView ? kIconHeaders[std::size_t(column)] : kListHeaders[std::size_t(column)];
}

QRect ListGrid::cellRect(int column, int row) const
{
    int x = -horizontalScrollBar()->value();
    for (int c = 0; c < column; ++c)
        x += columnWidth(c);
    if (row == 0)
        return QRect(x, 0, columnWidth(column), HeaderHeight);
    const int y = HeaderHeight + (row - firstVisibleRow()) * rowHeight();
    return QRect(x, y, columnWidth(column), rowHeight());
}

int ListGrid::rowAt(int y) const
{
    if (y < 0)
        return -1;
    if (y < HeaderHeight)
        return 0;
    const int row = firstVisibleRow() + (y - HeaderHeight) / rowHeight();
    const int count = m_list ? m_list->count() : 0;
    return row <= count ? row : -1;
}

int ListGrid::columnAt(int x) const
{
    x += horizontalScrollBar()->value();
    for (int c = 0; c < ColumnCount; ++c) {
        if (x < columnWidth(c))
            return x >= 0 ? c : -1;
        x -= columnWidth(c);
    }
    return -1;
}

int ListGrid::firstVisibleRow() const
{
    return 1 + verticalScrollBar()->value();
}

int ListGrid::visibleRowCount() const
{
    return std::max(1, (viewport()->height() - HeaderHeight) / rowHeight());
}

void ListGrid::scrollToRow(int row)
{
    if (row < 1)
        return;
    QScrollBar *bar = verticalScrollBar();
    const int top = firstVisibleRow();
    if (row < top)
        bar->setValue(row - 1);
    else if (row >= top + visibleRowCount())
        bar->setValue(row - visibleRowCount());
}

void ListGrid::RedrawColumn(int column)
{
    const QRect r = cellRect(column, firstVisibleRow());
    viewport()->update(QRect(r.x(), HeaderHeight, r.width(), viewport()->height()));
}

void ListGrid::RedrawRow(int row)
{
    if (row == 0) {
        viewport()->update(QRect(0, 0, viewport()->width(), HeaderHeight));
        return;
    }
    const QRect r = cellRect(0, row);
    viewport()->update(QRect(0, r.y(), viewport()->width(), r.height()));
}

void ListGrid::updateScrollBar()
{
    const int count = m_list ? m_list->count() : 0;
    QScrollBar *v = verticalScrollBar();
    v->setRange(0, std::max(0, count - visibleRowCount()));
    v->setPageStep(visibleRowCount());
    QScrollBar *h = horizontalScrollBar();
    const int total = fixedColumnsWidth() + m_lastColumnWidth;
    h->setRange(0, std::max(0, total - viewport()->width()));
    h->setPageStep(viewport()->width());
}

void ListGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBar();
}

void ListGrid::drawHeaderCell(QPainter &p, int column, const QRect &cell) const
{
    const QColor face = palette().color(QPalette::Button);
    p.fillRect(cell, face);
    if (column == 0)
        return;
    // A raised 3D border: highlight on top and left, shadow on bottom and right.
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(cell.topLeft(), cell.topRight());
    p.drawLine(cell.topLeft(), cell.bottomLeft());
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(cell.bottomLeft(), cell.bottomRight());
    p.drawLine(cell.topRight(), cell.bottomRight());
    p.setPen(palette().color(QPalette::ButtonText));
    p.drawText(cell, Qt::AlignCenter, MessageTable::text(headerTextId(column)));
}

void ListGrid::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect dirty = event->rect();
    const int count = m_list ? m_list->count() : 0;
    const int last = std::min(count, firstVisibleRow() + visibleRowCount());
    for (int row = 0; row <= last; ++row) {
        if (row > 0 && row < firstVisibleRow())
            continue;
        for (int column = 0; column < ColumnCount; ++column) {
            const QRect cell = cellRect(column, row);
            if (!cell.intersects(dirty) || cell.width() <= 0)
                continue;
            QPixmap buffer(cell.size());
            buffer.fill(palette().color(QPalette::Button));
            {
                QPainter p(&buffer);
                p.setFont(font());
                const QRect local(QPoint(0, 0), cell.size());
                if (row == 0)
                    drawHeaderCell(p, column, local);
                else if (m_drawer)
                    m_drawer(p, column, row, local);
            }
            painter.drawPixmap(cell.topLeft(), buffer);
        }
    }
}
