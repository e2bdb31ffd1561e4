#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class MainCommands;
class TFormMain;

// Files handed to the running program from outside: those given on its own
// command line and those a later start forwards (a list opened from the
// desktop while TitleDeck runs). The window comes to the front; list files
// are opened as the Open command opens them, pictures are added as files
// dropped on the window are, setup files and anything else are refused with
// a message. A request that arrives while a dialog or message box is open, or
// while the list is being read, waits until the window is free again, so
// that it never pulls the list from under an operation in hand.
class DesktopFiles : public QObject
{
    Q_OBJECT

public:
    enum class Kind { List, SetupFile, Picture, Other };
    static Kind kindOf(const QString &path);

    DesktopFiles(TFormMain &window, MainCommands &commands);

    // Takes one request (absolute paths); runs it now when the window is free.
    void open(const QStringList &paths);
    bool pending() const { return !m_requests.isEmpty(); }

private:
    void runPending();
    bool windowFree();
    bool eventFilter(QObject *watched, QEvent *event) override;
    void run(const QStringList &paths);

    TFormMain &m_window;
    MainCommands &m_commands;
    QList<QStringList> m_requests;
    // The dialog a request waits for.
    QPointer<QWidget> m_blocker;
    bool m_running = false;
};
