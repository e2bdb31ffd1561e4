#pragma once

#include <QWidget>

class DeviceMemoryMirror;

// One of the memory window's two block grids (DrawGrid1, DrawGrid2): a row
// number column and the row's eight blocks, drawn from the memory mirror by
// MemoryGridLayout. A click names the block; the grid itself keeps no
// selection of its own.
class MemoryBlockGrid : public QWidget
{
    Q_OBJECT

public:
    MemoryBlockGrid(DeviceMemoryMirror &mirror, int gridIndex, QWidget *parent = nullptr);

    // Sizes at the main grid font's scale for the mirror's signal.
    void applyGeometry(double scale);
    // The slot row and block (0..7) at a point, or false for the row column
    // and outside the cells.
    bool cellAt(const QPoint &pos, int &slotRow, int &block) const;
    QRect cellRect(int row, int column) const;

signals:
    void blockClicked(int slotRow, int block);
    void blockDoubleClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    int rows() const;
    int columnLeft(int column) const;
    int columnWidth(int column) const;

    DeviceMemoryMirror &m_mirror;
    int m_gridIndex;
    int m_rowHeight = 17;
    int m_headerWidth = 17;
    int m_blockWidth = 16;
};
