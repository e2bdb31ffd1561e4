#pragma once

#include <QObject>

class MainCommands;
class QKeyEvent;
class QWidget;

// The main window's keys, handled before the focused control sees them:
// cursor movement, Mark and DSK jumps, delete and the Ctrl editing keys.
// Installed on the application, it only takes keys meant for a control of
// the main window itself (never those of a dialog or a menu).
class MainKeyMap : public QObject
{
    Q_OBJECT

public:
    MainKeyMap(MainCommands &commands, QWidget &window, QObject *parent = nullptr);

    // Runs the command of a key; false when the key is not the window's.
    bool handleKey(const QKeyEvent &event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    MainCommands &m_commands;
    QWidget &m_window;
};
