#include "memory/ListGrid.h"

#include "list/TitleList.h"
#include "memory/GridPictures.h"
#include "resources/MessageTable.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QStyleOption>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>

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
    // The grid's background is the control's grey, not the white of a text view.
    viewport()->setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Button);
    verticalScrollBar()->setSingleStep(1);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(),
            qOverload<>(&QWidget::update));
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, viewport(),
            qOverload<>(&QWidget::update));
    m_scrollTimer = new QTimer(this);
    m_scrollTimer->setObjectName(QStringLiteral("TimerScrollGridData"));
    m_scrollTimer->setInterval(100);
    connect(m_scrollTimer, &QTimer::timeout, this, &ListGrid::TimerScrollGridDataTimer);
}

void ListGrid::setPictures(const GridPictures *pictures)
{
    m_pictures = pictures;
    viewport()->update();
}

void ListGrid::setSortDirections(bool nameAscending, bool commentAscending)
{
    m_nameAscending = nameAscending;
    m_commentAscending = commentAscending;
    RedrawRow(0);
}

void ListGrid::setTopRow(int row)
{
    QScrollBar *bar = verticalScrollBar();
    bar->setValue(std::clamp(row - 1, bar->minimum(), bar->maximum()));
}

void ListGrid::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const int row = rowAt(pos.y());
    if (event->button() == Qt::RightButton) {
        emit contextRequested(row, event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    m_pressPos = pos;
    m_dragCandidate = 0;
    m_dragging = false;
    if (row == 0) {
        if (const std::optional<GridColumn> column = columnAt(pos.x())) {
            const QRect cell = cellRect(*column, 0);
            emit headerPressed(*column, pos.x() - cell.left(),
                               cell.left() + cell.width() - pos.x());
        }
        return;
    }
    if (row < 1)
        return;
    // A plain press makes the row a drag candidate.
    if (!(event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier)))
        m_dragCandidate = row;
    emit titlePressed(row, event->modifiers());
}

void ListGrid::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || m_dragCandidate < 1)
        return;
    const QPoint pos = event->position().toPoint();
    if (!m_dragging) {
        if ((pos - m_pressPos).manhattanLength() < DragStartDistance)
            return;
        m_dragging = true;
        setCursor(Qt::DragMoveCursor);
    }
    DrawGridDragOver(pos);
}

void ListGrid::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_dragging)
        DrawGridDragDrop(event->position().toPoint());
    DrawGridMouseUp();
}

void ListGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    const int row = rowAt(pos.y());
    if (row >= 1)
        emit titleDoubleClicked(row, columnAt(pos.x()));
}

void ListGrid::wheelEvent(QWheelEvent *event)
{
    const int notches = event->angleDelta().y() / 120;
    if (notches != 0)
        setTopRow(topRow() - 3 * notches);
    event->accept();
}

void ListGrid::DrawGridDragOver(const QPoint &pos)
{
    const int h = viewport()->height();
    if (pos.y() < DragScrollMargin)
        m_scrollStep = -1;
    else if (pos.y() >= h - DragScrollMargin)
        m_scrollStep = 1;
    else
        m_scrollStep = 0;
    if (m_scrollStep != 0 && !m_scrollTimer->isActive())
        m_scrollTimer->start();
    else if (m_scrollStep == 0)
        m_scrollTimer->stop();
    m_pressPos = pos;

    // The line goes above the row under the pointer when that row is at or
    // above the dragged one, else above the row below it.
    const int count = m_list ? m_list->count() : 0;
    int row = pos.y() < HeaderHeight ? firstVisibleRow() : rowAt(pos.y());
    if (row < 1)
        row = pos.y() >= HeaderHeight ? count : 0;
    if (row < 1) {
        setInsertionRow(0);
        return;
    }
    setInsertionRow(row <= m_dragCandidate ? row : row + 1);
}

void ListGrid::DrawGridDragDrop(const QPoint &pos)
{
    const int row = pos.y() >= HeaderHeight && pos.y() < viewport()->height() ? rowAt(pos.y()) : -1;
    const int count = m_list ? m_list->count() : 0;
    const int from = m_dragCandidate;
    stopDrag();
    if (row >= 1 && row <= count && row != from)
        emit titleDropped(from, row);
}

void ListGrid::DrawGridMouseUp()
{
    stopDrag();
    m_dragCandidate = 0;
}

void ListGrid::stopDrag()
{
    m_scrollTimer->stop();
    m_scrollStep = 0;
    m_dragging = false;
    unsetCursor();
    setInsertionRow(0);
}

void ListGrid::TimerScrollGridDataTimer()
{
    if (!m_dragging || m_scrollStep == 0) {
        m_scrollTimer->stop();
        return;
    }
    setTopRow(topRow() + m_scrollStep);
    DrawGridDragOver(m_pressPos);
}

void ListGrid::setInsertionRow(int row)
{
    if (row == m_insertionRow)
        return;
    m_insertionRow = row;
    viewport()->update();
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
        // The on-air icon and the DSK cursor follow the title on the keyer.
        connect(m_list, &TitleList::onAirChanged, this, [this] {
            for (GridColumn column :
                 {GridColumn::State, GridColumn::On, GridColumn::Type, GridColumn::Off})
                RedrawColumn(column);
        });
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

int ListGrid::columnWidth(GridColumn column) const
{
    if (column == GridColumn::Name)
        return m_lastColumnWidth;
    const auto c = std::size_t(column);
    return m_iconView ? kIconWidths[c] : kListWidths[c];
}

int ListGrid::fixedColumnsWidth() const
{
    int sum = 0;
    for (int c = 0; c < int(GridColumn::Name); ++c)
        sum += columnWidth(GridColumn(c));
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

int ListGrid::headerTextId(GridColumn column) const
{
    const auto c = std::size_t(column);
    return m_iconView ? kIconHeaders[c] : kListHeaders[c];
}

QRect ListGrid::cellRect(GridColumn column, int row) const
{
    int x = -horizontalScrollBar()->value();
    for (int c = 0; c < int(column); ++c)
        x += columnWidth(GridColumn(c));
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

std::optional<GridColumn> ListGrid::columnAt(int x) const
{
    x += horizontalScrollBar()->value();
    if (x < 0)
        return std::nullopt;
    for (int c = 0; c < GridColumnCount; ++c) {
        const int width = columnWidth(GridColumn(c));
        if (x < width)
            return GridColumn(c);
        x -= width;
    }
    return std::nullopt;
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

void ListGrid::RedrawColumn(GridColumn column)
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
    const QRect r = cellRect(GridColumn::State, row);
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
    emit resized();
}

void ListGrid::drawHeaderCell(QPainter &p, GridColumn column, const QRect &cell) const
{
    const QColor face = palette().color(QPalette::Button);
    p.fillRect(cell, face);
    if (column == GridColumn::State)
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
    if (column != GridColumn::Name || !m_pictures)
        return;
    // The sort marks: by name 32 px from the left edge, and in the icon view
    // by comment 64 px from the right edge.
    const auto mark = [this](bool ascending) -> const QPixmap & {
        return m_pictures->picture(ascending ? GridPictures::SortAscending
                                             : GridPictures::SortDescending);
    };
    const QPixmap &name = mark(m_nameAscending);
    const int y = cell.top() + (cell.height() - int(name.deviceIndependentSize().height())) / 2;
    p.drawPixmap(cell.left() + 32, y, name);
    if (m_iconView)
        p.drawPixmap(cell.left() + cell.width() - 64, y, mark(m_commentAscending));
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
        for (int c = 0; c < GridColumnCount; ++c) {
            const GridColumn column = GridColumn(c);
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
    if (m_insertionRow >= 1) {
        // The insertion line: white, along the top edge of the target row.
        const int y = m_insertionRow >= firstVisibleRow()
                          ? cellRect(GridColumn::State, m_insertionRow).top()
                          : HeaderHeight;
        painter.setPen(QPen(Qt::white, 2));
        painter.drawLine(2, y, viewport()->width() - 14, y);
    }
}
