#pragma once

#include "memory/GridColumn.h"

#include <QAbstractScrollArea>
#include <QPoint>
#include <array>
#include <functional>
#include <optional>

class GridPictures;
class QTimer;
class TitleList;

// The send list's owner-drawn grid (`DrawGrid`): row 0 is the header row and
// stays at the top, rows 1..N show the titles. Eight columns whose widths
// depend on the view (icon or list); the name column takes what is left. Each cell
// is composed off screen and copied to the grid in one step.
class ListGrid : public QAbstractScrollArea
{
    Q_OBJECT

public:
    static constexpr int HeaderHeight = 16;

    // Draws one cell of a title row (row >= 1) into a cell-sized picture.
    using CellDrawer =
        std::function<void(QPainter &, GridColumn column, int row, const QRect &cell)>;

    explicit ListGrid(QWidget *parent = nullptr);

    void setList(TitleList *list);
    TitleList *list() const { return m_list; }
    void setCellDrawer(CellDrawer drawer);

    bool iconView() const { return m_iconView; }
    // Switches the row height and column widths of the view and repaints everything.
    void setIconView(bool icon);
    // 84 in the icon view, 24 in the list view.
    int layoutUnit() const { return m_iconView ? 84 : 24; }
    int rowHeight() const { return layoutUnit() + 4; }
    int columnWidth(GridColumn column) const;
    // Sum of the widths of the columns before the name column in the current view.
    int fixedColumnsWidth() const;
    void setLastColumnWidth(int width);
    // Grid font pixel height / 12; 1.0 when the font is not sized in pixels.
    double fontScale() const;

    // Header texts (ids of the message table) of the current view.
    int headerTextId(GridColumn column) const;
    QRect cellRect(GridColumn column, int row) const;
    // Grid row under a viewport point (0 = header), -1 outside the rows.
    int rowAt(int y) const;
    std::optional<GridColumn> columnAt(int x) const;
    int firstVisibleRow() const;
    int visibleRowCount() const;
    void scrollToRow(int row);

    void RedrawColumn(GridColumn column);
    void RedrawRow(int row);

    // The pictures of the header's sort marks (and of the cells).
    void setPictures(const GridPictures *pictures);
    // The direction of the last sort by name and by comment, shown by the
    // header's sort marks.
    void setSortDirections(bool nameAscending, bool commentAscending);
    bool nameSortAscending() const { return m_nameAscending; }
    bool commentSortAscending() const { return m_commentAscending; }

    // Dragging a title row: the row being dragged (0 when none), the row the
    // insertion line stands on (0 when none) and the scroll step of the edge
    // timer (-1 up, +1 down, 0 stopped).
    int dragRow() const { return m_dragging ? m_dragCandidate : 0; }
    int insertionRow() const { return m_insertionRow; }
    int scrollStep() const { return m_scrollStep; }
    QTimer *scrollTimer() const { return m_scrollTimer; }
    // Scrolls so that `row` is the first visible title row, clamped to
    // 1..(row count - visible rows).
    void setTopRow(int row);
    int topRow() const { return firstVisibleRow(); }

    // Distance from the top or bottom edge inside which a drag scrolls.
    static constexpr int DragScrollMargin = 32;
    // Movement with the button held before a press becomes a drag.
    static constexpr int DragStartDistance = 4;

signals:
    // The grid's size changed (the window re-fits the last column).
    void resized();
    // A left press on a title row (1..N) with its modifiers.
    void titlePressed(int row, Qt::KeyboardModifiers modifiers);
    // A double click on a title row (1..N) and the column under it, if any.
    void titleDoubleClicked(int row, std::optional<GridColumn> column);
    // A left press in the header row: the column and the press's distance
    // from the cell's left and right edges.
    void headerPressed(GridColumn column, int fromLeft, int fromRight);
    // A right press: the row under it (-1 outside the title rows, 0 the header).
    void contextRequested(int row, const QPoint &globalPos);
    // A dragged title was dropped on another title row.
    void titleDropped(int fromRow, int toRow);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void updateScrollBar();
    void drawHeaderCell(QPainter &p, GridColumn column, const QRect &cell) const;
    void DrawGridDragOver(const QPoint &pos);
    void DrawGridDragDrop(const QPoint &pos);
    void DrawGridMouseUp();
    void TimerScrollGridDataTimer();
    void setInsertionRow(int row);
    void stopDrag();

    TitleList *m_list = nullptr;
    CellDrawer m_drawer;
    bool m_iconView = true;
    int m_lastColumnWidth = 240;
    const GridPictures *m_pictures = nullptr;
    bool m_nameAscending = true;
    bool m_commentAscending = true;
    // Mouse-down memory and the drag state.
    QPoint m_pressPos;
    int m_dragCandidate = 0;
    bool m_dragging = false;
    int m_insertionRow = 0;
    int m_scrollStep = 0;
    QTimer *m_scrollTimer = nullptr;
};
