#include "app/GridMouseController.h"

#include "app/MainActions.h"
#include "app/MainCommands.h"
#include "list/ListEditor.h"
#include "list/TitleList.h"
#include "memory/ListGrid.h"
#include "resources/MessageTable.h"

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
}

void GridMouseController::titlePressed(int row, int column, Qt::KeyboardModifiers modifiers)
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

void GridMouseController::headerPressed(int column, int fromLeft, int fromRight)
{
    if (column != 7)
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
    QMenu menu(&m_grid);
    menu.setObjectName(QStringLiteral("PopupMenuGrid"));
    QMenu *view = menu.addMenu(MessageTable::caption(QStringLiteral("表示(&V)")));
    view->addAction(m_actions.action(QStringLiteral("mnuView_Icon")));
    view->addAction(m_actions.action(QStringLiteral("mnuView_List")));
    menu.addSeparator();
    const auto item = [&](const char *caption, const char *objectName, auto handler, bool enabled) {
        QAction *a = menu.addAction(MessageTable::caption(QString::fromUtf8(caption)));
        a->setObjectName(QString::fromLatin1(objectName));
        a->setEnabled(enabled);
        connect(a, &QAction::triggered, &m_commands, [this, handler] { (m_commands.*handler)(); });
    };
    item("切り取り(&T)", "pmnuCut", &MainCommands::mnuEdit_CutClick, onTitle);
    item("コピー(&C)", "pmnuCopy", &MainCommands::mnuEdit_CopyClick, onTitle);
    item("貼り付け(&P)", "pmnuPaste", &MainCommands::mnuEdit_PasteClick,
         m_commands.editor().hasClipboard());
    item("削除(&D)", "pmnuDelete", &MainCommands::mnuEdit_DeleteClick, onTitle);
    menu.addSeparator();
    item("画像を開く(&O)", "pmnuAdd", &MainCommands::mnuFile_FileOpenClick, !m_list.isFull());
    menu.exec(globalPos);
}
