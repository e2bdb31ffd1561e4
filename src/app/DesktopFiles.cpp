#include "app/DesktopFiles.h"

#include "app/DroppedFiles.h"
#include "app/MainCommands.h"
#include "app/TFormMain.h"
#include "core/MessageBoxes.h"
#include "list/ListEditor.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>

DesktopFiles::DesktopFiles(TFormMain &window, MainCommands &commands)
    : QObject(&window), m_window(window), m_commands(commands)
{
    // A request put off waits for the list to be read, or for the dialog in
    // the way to close (see eventFilter).
    connect(
        &commands.editor(), &ListEditor::busyChanged, this,
        [this](bool busy) {
            if (!busy)
                runPending();
        },
        Qt::QueuedConnection);
}

bool DesktopFiles::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_blocker && event->type() == QEvent::Hide) {
        m_blocker->removeEventFilter(this);
        m_blocker = nullptr;
        // Once the dialog's own loop has ended.
        QMetaObject::invokeMethod(this, &DesktopFiles::runPending, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

DesktopFiles::Kind DesktopFiles::kindOf(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.compare(QLatin1String("vtl"), Qt::CaseInsensitive) == 0)
        return Kind::List;
    if (suffix.compare(QLatin1String("vts"), Qt::CaseInsensitive) == 0)
        return Kind::SetupFile;
    if (DroppedFiles::isAccepted(path))
        return Kind::Picture;
    return Kind::Other;
}

void DesktopFiles::open(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    if (m_window.isMinimized())
        m_window.setWindowState(m_window.windowState() & ~Qt::WindowMinimized);
    m_window.raise();
    m_window.activateWindow();
    m_requests.append(paths);
    runPending();
}

bool DesktopFiles::windowFree()
{
    if (QWidget *modal = QApplication::activeModalWidget()) {
        if (m_blocker != modal) {
            if (m_blocker)
                m_blocker->removeEventFilter(this);
            m_blocker = modal;
            modal->installEventFilter(this);
        }
        return false;
    }
    return !m_running && !m_commands.editor().busy();
}

void DesktopFiles::runPending()
{
    while (!m_requests.isEmpty() && windowFree()) {
        m_running = true;
        run(m_requests.takeFirst());
        m_running = false;
    }
}

void DesktopFiles::run(const QStringList &paths)
{
    QStringList pictures;
    for (const QString &path : paths) {
        const QString shown = QDir::toNativeSeparators(path);
        switch (kindOf(path)) {
        case Kind::List:
            m_commands.openList(path);
            break;
        case Kind::SetupFile:
            ShowMessageById(m_window.boxes(), 1, 160, MsgError, {shown});
            break;
        case Kind::Picture:
            pictures.append(path);
            break;
        case Kind::Other:
            ShowMessageById(m_window.boxes(), 1, 161, MsgError, {shown});
            break;
        }
    }
    // Pictures join the list that is open now, as files dropped on it.
    if (!pictures.isEmpty())
        m_commands.dropFiles(pictures);
}
