#include "app/MainKeyMap.h"

#include "app/MainCommands.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

MainKeyMap::MainKeyMap(MainCommands &commands, QWidget &window, QObject *parent)
    : QObject(parent), m_commands(commands), m_window(window)
{}

bool MainKeyMap::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return QObject::eventFilter(watched, event);
    auto *widget = static_cast<QWidget *>(watched);
    // Keys of dialogs, menus and other windows are theirs.
    if (widget->window() != &m_window || QApplication::activePopupWidget() ||
        QApplication::activeModalWidget())
        return QObject::eventFilter(watched, event);
    if (handleKey(*static_cast<QKeyEvent *>(event)))
        return true;
    return QObject::eventFilter(watched, event);
}

bool MainKeyMap::handleKey(const QKeyEvent &event)
{
    const int key = event.key();
    const Qt::KeyboardModifiers mods =
        event.modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    MainCommands &c = m_commands;

    if (mods == Qt::ControlModifier) {
        switch (key) {
        case Qt::Key_A:
            c.mnuEdit_SelectAllClick();
            return true;
        case Qt::Key_C:
            c.mnuEdit_CopyClick();
            return true;
        case Qt::Key_X:
            c.mnuEdit_CutClick();
            return true;
        case Qt::Key_V:
            c.mnuEdit_PasteClick();
            return true;
        case Qt::Key_Z:
            c.mnuEdit_UndoClick();
            return true;
        case Qt::Key_Y:
            c.mnuEdit_RedoClick();
            return true;
        default:
            return false;
        }
    }
    if (mods & (Qt::ControlModifier | Qt::AltModifier))
        return false;

    switch (key) {
    case Qt::Key_Home:
        c.mnuCursor_CursorTopClick();
        return true;
    case Qt::Key_End:
        c.mnuCursor_CursorBottomClick();
        return true;
    case Qt::Key_Up:
        c.mnuCursor_CursorPrevClick();
        return true;
    case Qt::Key_Down:
        c.mnuCursor_CursorNextClick();
        return true;
    case Qt::Key_Left:
        c.mnuCursor_CursorPrevSkipClick();
        return true;
    case Qt::Key_Right:
        c.mnuCursor_CursorNextSkipClick();
        return true;
    case Qt::Key_Delete:
        c.mnuEdit_DeleteClick();
        return true;
    case Qt::Key_0:
        c.mnuCursor_JumpToDskClick();
        return true;
    // The letters of the Ctrl editing keys do nothing on their own.
    case Qt::Key_A:
    case Qt::Key_C:
    case Qt::Key_X:
    case Qt::Key_V:
    case Qt::Key_Z:
    case Qt::Key_Y:
    case Qt::Key_R:
    case Qt::Key_T:
        return true;
    default:
        break;
    }
    if (key >= Qt::Key_1 && key <= Qt::Key_9) {
        c.JumpToMark(key - Qt::Key_0);
        return true;
    }
    return false;
}
