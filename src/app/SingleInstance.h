#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QLocalServer;
class Waits;

// The per-user guard that keeps TitleDeck to one running instance: a lock
// file named "VT90_TitleSoft.lock" in the program folder. A lock left by a
// process that no longer runs is taken over.
//
// The instance that holds the lock also listens on a local socket of the same
// user, through which a later start hands over the files it was given (a list
// opened from the desktop while the program runs): the running instance
// receives them as filesReceived.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString &programFolder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock; false when another running instance holds it.
    bool acquire();
    void release();
    bool held() const { return m_held; }

    // Holder only: starts taking files from later starts. False (with why)
    // when the socket cannot be made; the program then runs without it.
    bool listen(QString *why = nullptr);
    // Not the holder: hands absolute file paths to the running instance and
    // waits (through waits, at most the nominal timeoutMs) until it has taken
    // them. False when no instance answers.
    bool forward(const QStringList &paths, Waits &waits, int timeoutMs = 5000) const;

    // The socket's name: one per program folder.
    QString serverName() const { return m_serverName; }

signals:
    void filesReceived(const QStringList &paths);

private:
    void readRequest(class QLocalSocket *socket);

    std::unique_ptr<QLockFile> m_lock;
    QString m_serverName;
    QLocalServer *m_server = nullptr;
    bool m_held = false;
};
