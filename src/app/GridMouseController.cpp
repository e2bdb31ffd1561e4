#include "app/GridMouseController.h"

#include "app/MainActions.h"
#include "app/MainCommands.h"
#include "list/ListEditor.h"
#include "list/TitleList.h"
#include "memory/ListGrid.h"

#include <QAction>
#include <QMenu>
#include <algorithm>

GridMouseController::GridMouseController(ListGrid &grid, TitleList &list, MainCommands &commands,
                                         MainActions &actions, QObject *parent)
    : QObject(parent), m_grid(grid), m_list(list), m_commands(commands), m_actions(actions)
{
    connect(&grid, &ListGrid::titlePressed, this, &GridMouseController::titlePressed);
    connect(&grid, &ListGrid::headerPressed, this, &GridMouseController::headerPressed);
    connect(&grid, &ListGrid::titleDropped, this, &GridMouseController::titleDropped);
    connect(&grid, &ListGrid::contextRequested, this, &GridMouseController::contextRequested);
    connect(&grid, &ListGrid::titleDoubleClicked, this, &GridMouseController::titleDoubleClicked);
}

void GridMouseController::titlePressed(int row, Qt::KeyboardModifiers modifiers)
{
    if (row < 1 || row > m_list.count())
        return;
    if (modifiers & Qt::ControlModifier) {
        // Ctrl toggles a title; the cursor title stays as it is.
        if (row != m_list.cursor())
            m_list.setSelected(row, !m_list.at(row).Selected);
        return;
    }
    if (modifiers & Qt::ShiftModifier) {
        const int from = std::min(row, m_list.cursor());
        const int to = std::max(row, m_list.cursor());
        for (int i = from; i <= to; ++i)
            m_list.setSelected(i, true);
        return;
    }
    m_list.SetCursor(row);
}

void GridMouseController::titleDoubleClicked(int row, std::optional<GridColumn> column)
{
    if (row < 1 || row > m_list.count() || !column)
        return;
    // The effect, type, duration and name columns show the title's
    // properties; the others show its picture.
    if (int(*column) >= int(GridColumn::On))
        m_commands.mnuFile_PropertyClick();
    else
        m_commands.mnuFile_ImageDisplayClick();
}

void GridMouseController::headerPressed(GridColumn column, int fromLeft, int fromRight)
{
    if (column != GridColumn::Name)
        return;
    if (fromLeft >= SortMarkFrom && fromLeft <= SortMarkTo) {
        m_commands.SortList(m_commands.editor().nextNameSortMode());
        return;
    }
    if (m_grid.iconView() && fromRight >= SortMarkFrom && fromRight <= SortMarkTo)
        m_commands.SortList(m_commands.editor().nextCommentSortMode());
}

void GridMouseController::titleDropped(int fromRow, int toRow)
{
    m_commands.editor().MoveTitle(fromRow, toRow);
}

void GridMouseController::contextRequested(int row, const QPoint &globalPos)
{
    const bool onTitle = row >= 1 && row <= m_list.count();
    if (onTitle && !m_list.at(row).Selected)
        m_list.SetCursor(row);
    // The context menu shows the Edit menu's own commands, enabled for the
    // title under the pointer; the menu's rules come back once it closes.
    const bool idle = !m_commands.editor().busy();
    m_actions.mnuEdit_Cut->setEnabled(onTitle && idle);
    m_actions.mnuEdit_Copy->setEnabled(onTitle && idle);
    m_actions.mnuEdit_Delete->setEnabled(onTitle && idle);
    m_actions.mnuFile_ImageDisplay->setEnabled(onTitle);
    m_actions.mnuEdit_Paste->setEnabled(m_commands.editor().hasClipboard() && idle);
    m_actions.pmnuProperty->setEnabled(onTitle && idle);
    m_actions.PopupMenuGrid->exec(globalPos);
    m_commands.updateCommandStates();
}
