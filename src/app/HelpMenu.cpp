#include "app/HelpMenu.h"

#include "app/TFormAbout.h"
#include "core/HelpManual.h"
#include "resources/MessageTable.h"

#include <QAction>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>

namespace {
QString caption(const char *japanese)
{
    return MessageTable::caption(QString::fromUtf8(japanese));
}
} // namespace

HelpMenu::HelpMenu(QMainWindow &window, QToolBar &toolBar)
    : QObject(&window), m_window(window),
      m_modifiers([] { return QGuiApplication::queryKeyboardModifiers(); })
{
    mnuHelp = window.menuBar()->addMenu(caption("ヘルプ(&H)"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelp_Help = mnuHelp->addAction(caption("ヘルプ(&H)"));
    mnuHelp_Help->setObjectName(QStringLiteral("mnuHelp_Help"));
    mnuHelp_Help->setShortcut(Qt::Key_F1);
    mnuHelp_About = mnuHelp->addAction(caption("バージョン情報(&A)..."));
    mnuHelp_About->setObjectName(QStringLiteral("mnuHelp_About"));
    connect(mnuHelp, &QMenu::aboutToShow, this, &HelpMenu::mnuHelpPopup);
    connect(mnuHelp_Help, &QAction::triggered, this, &HelpMenu::mnuHelp_HelpClick);
    connect(mnuHelp_About, &QAction::triggered, this, &HelpMenu::mnuHelp_AboutClick);

    // The toolbar's last button; it shows the manual's contents as the menu item does.
    toolBar.addSeparator();
    auto *button = new QAction(window.style()->standardIcon(QStyle::SP_MessageBoxQuestion),
                               caption("ヘルプ"), &window);
    button->setObjectName(QStringLiteral("TButtonHelpAction"));
    button->setToolTip(caption("ヘルプ"));
    connect(button, &QAction::triggered, this, &HelpMenu::mnuHelp_HelpClick);
    toolBar.addAction(button);
    if (QWidget *widget = toolBar.widgetForAction(button))
        widget->setObjectName(QStringLiteral("TButtonHelp"));
}

void HelpMenu::addServiceItem(QAction *action)
{
    if (!m_serviceSeparator) {
        m_serviceSeparator = mnuHelp->addSeparator();
        m_serviceSeparator->setVisible(false);
    }
    action->setVisible(false);
    mnuHelp->addAction(action);
    m_serviceItems.append(action);
}

void HelpMenu::setModifierQuery(std::function<Qt::KeyboardModifiers()> query)
{
    m_modifiers = std::move(query);
}

void HelpMenu::mnuHelpPopup()
{
    const Qt::KeyboardModifiers held = m_modifiers();
    const bool service = held.testFlag(Qt::ShiftModifier) && held.testFlag(Qt::ControlModifier);
    for (QAction *a : std::as_const(m_serviceItems))
        a->setVisible(service);
    if (m_serviceSeparator)
        m_serviceSeparator->setVisible(service);
}

void HelpMenu::mnuHelp_HelpClick()
{
    HelpManual::ShowHelp(&m_window, HelpManual::Contents);
}

void HelpMenu::mnuHelp_AboutClick()
{
    TFormAbout about(&m_window);
    about.exec();
}
