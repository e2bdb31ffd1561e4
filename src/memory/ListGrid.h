#pragma once

#include <QAbstractScrollArea>
#include <array>
#include <functional>

class TitleList;

// The send list's owner-drawn grid (`DrawGrid`): row 0 is the header row and
// stays at the top, rows 1..N show the titles. Eight columns whose widths
// depend on the view (icon or list); column 7 takes what is left. Each cell
// is composed off screen and copied to the grid in one step.
class ListGrid : public QAbstractScrollArea
{
    Q_OBJECT

public:
    static constexpr int ColumnCount = 8;
    static constexpr int HeaderHeight = 16;

    // Draws one cell of a title row (row >= 1) into a cell-sized picture.
    using CellDrawer = std::function<void(QPainter &, int column, int row, const QRect &cell)>;

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
    int columnWidth(int column) const;
    // Sum of the widths of columns 0..6 of the current view.
    int fixedColumnsWidth() const;
    void setLastColumnWidth(int width);
    // Grid font pixel height / 12; 1.0 when the font is not sized in pixels.
    double fontScale() const;

    // Header texts (ids of the message table) of the current view.
    int headerTextId(int column) const;
    QRect cellRect(int column, int row) const;
    // Grid row under a viewport point (0 = header), -1 outside the rows.
    int rowAt(int y) const;
    int columnAt(int x) const;
    int firstVisibleRow() const;
    int visibleRowCount() const;
    void scrollToRow(int row);

    void RedrawColumn(int column);
    void RedrawRow(int row);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateScrollBar();
    void drawHeaderCell(QPainter &p, int column, const QRect &cell) const;

    TitleList *m_list = nullptr;
    CellDrawer m_drawer;
    bool m_iconView = true;
    int m_lastColumnWidth = 240;
};
