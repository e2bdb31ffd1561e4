#include "core/HelpManual.h"

#include "core/TFormHelp.h"
#include "resources/MessageTable.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QScreen>

namespace HelpManual {

namespace {
QPointer<TFormHelp> s_window;

// A modal dialog blocks every window that is not its own, so a manual opened
// from one is lent to it while it shows and handed back when it hides: the
// operator can read and scroll the page while the dialog is still open, and
// the page stays open after the dialog is gone.
class LentToDialog : public QObject
{
public:
    explicit LentToDialog(QWidget *dialog) : QObject(dialog) { dialog->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Hide && watched == parent()) {
            handBack();
            deleteLater();
        }
        return false;
    }

private:
    static void handBack()
    {
        if (!s_window || !s_window->parentWidget())
            return;
        const bool visible = s_window->isVisible();
        const QRect geometry = s_window->geometry();
        s_window->setParent(nullptr, Qt::Window);
        s_window->setGeometry(geometry);
        if (visible)
            s_window->show();
    }
};

void placeBeside(QWidget *window, QWidget *parent)
{
    const QRect owner = parent->window()->frameGeometry();
    QPoint at = owner.topRight() + QPoint(16, 0);
    if (const QScreen *screen = parent->screen()) {
        const QRect room = screen->availableGeometry();
        if (at.x() + window->width() > room.right())
            at.setX(qMax(room.left(), room.right() - window->width()));
        at.setY(qBound(room.top(), at.y(), qMax(room.top(), room.bottom() - window->height())));
    }
    window->move(at);
}
} // namespace

void ShowHelp(QWidget *parent, int topic)
{
    const bool created = !s_window;
    if (created) {
        s_window = new TFormHelp(MessageTable::language());
        s_window->setObjectName(QStringLiteral("TFormHelp"));
        s_window->setAttribute(Qt::WA_DeleteOnClose);
    }
    QWidget *modal = QApplication::activeModalWidget();
    if (modal && s_window->parentWidget() != modal) {
        const bool visible = s_window->isVisible();
        const QRect geometry = s_window->geometry();
        s_window->setParent(modal, Qt::Window);
        if (visible)
            s_window->setGeometry(geometry);
        new LentToDialog(modal);
    }
    s_window->showTopic(topic);
    if (parent && (created || !s_window->isVisible()))
        placeBeside(s_window, parent);
    s_window->show();
    s_window->raise();
    s_window->activateWindow();
}

QWidget *HelpWindow()
{
    return s_window;
}

void CloseHelp()
{
    if (s_window)
        s_window->close();
}

} // namespace HelpManual
