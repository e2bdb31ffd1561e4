#pragma once

#include <QObject>

class MainCommands;
class QKeyEvent;

// The main window's keys, handled before the focused control sees them:
// cursor movement, Mark and DSK jumps, delete and the Ctrl editing keys.
class MainKeyMap : public QObject
{
    Q_OBJECT

public:
    explicit MainKeyMap(MainCommands &commands, QObject *parent = nullptr);

    // Runs the command of a key; false when the key is not the window's.
    bool handleKey(const QKeyEvent &event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    MainCommands &m_commands;
};
