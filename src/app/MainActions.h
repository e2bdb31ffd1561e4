#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

// The main window's menu bar and toolbar: every command an action named after
// its menu item (`mnuFile_MakeNewList` ...), captioned in the chosen language
// (the Japanese captions mapped to English by the message table); a toolbar
// button runs the same action as its menu item and carries the button's name
// (`TButtonFileOpen` ...).
class MainActions : public QObject
{
    Q_OBJECT

public:
    explicit MainActions(QMainWindow &window);

    // The action of a menu item by its name; nullptr for an unknown name.
    QAction *action(const QString &name) const { return m_actions.value(name); }
    QMenu *menu(const QString &name) const { return m_menus.value(name); }
    QToolBar *toolBar() const { return m_toolBar; }
    // The Mark jump items 1..9.
    QAction *markAction(int mark) const;

private:
    QAction *add(QMenu *menu, const char *name, const char *caption);
    QMenu *addMenu(QMenu *parent, const char *name, const char *caption);
    void addButton(const char *actionName, const char *buttonName, const char *hint, int icon);

    QMainWindow &m_window;
    QToolBar *m_toolBar = nullptr;
    QHash<QString, QAction *> m_actions;
    QHash<QString, QMenu *> m_menus;
};
