#pragma once

#include <QObject>
#include <functional>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

// The main window's help menu and the toolbar's help button: the manual's
// contents (also F1) and the About box. Service items added to it are shown
// only when the menu is opened with Shift and Ctrl held down, and hidden
// again the next time it opens without them.
class HelpMenu : public QObject
{
    Q_OBJECT

public:
    HelpMenu(QMainWindow &window, QToolBar &toolBar);

    QMenu *mnuHelp;
    QAction *mnuHelp_Help;
    QAction *mnuHelp_About;

    // Appends a service item (a diagnostic window) behind the About item.
    void addServiceItem(QAction *action);
    // Which modifier keys are held when the menu opens (the keyboard's own
    // state unless a test tells otherwise).
    void setModifierQuery(std::function<Qt::KeyboardModifiers()> query);

    void mnuHelpPopup();
    void mnuHelp_HelpClick();
    void mnuHelp_AboutClick();

private:
    QMainWindow &m_window;
    QList<QAction *> m_serviceItems;
    QAction *m_serviceSeparator = nullptr;
    std::function<Qt::KeyboardModifiers()> m_modifiers;
};
