#pragma once

#include "memory/GridColumn.h"

#include <QObject>
#include <QPoint>
#include <optional>

class ListGrid;
class MainActions;
class MainCommands;
class TitleList;

// The mouse on the list grid: the selection rules of a press (plain, Ctrl,
// Shift), the header's sort marks, dropping a dragged title, the context menu.
class GridMouseController : public QObject
{
    Q_OBJECT

public:
    // A press this many pixels from a header cell's edge hits its sort mark.
    static constexpr int SortMarkFrom = 43;
    static constexpr int SortMarkTo = 53;

    GridMouseController(ListGrid &grid, TitleList &list, MainCommands &commands,
                        MainActions &actions, QObject *parent = nullptr);

    void titlePressed(int row, Qt::KeyboardModifiers modifiers);
    void headerPressed(GridColumn column, int fromLeft, int fromRight);
    void titleDropped(int fromRow, int toRow);
    void titleDoubleClicked(int row, std::optional<GridColumn> column);
    void contextRequested(int row, const QPoint &globalPos);

private:
    ListGrid &m_grid;
    TitleList &m_list;
    MainCommands &m_commands;
    MainActions &m_actions;
};
