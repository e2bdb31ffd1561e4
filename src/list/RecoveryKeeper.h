#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QThread>

class ListEditor;
class QTimer;

// Keeps the recovery copy (RecoveryCopy) of the send list while the list has
// unsaved changes. A change starts a short delay, so that a burst of edits is
// kept once; a list edited without pause is still kept at least every
// maxDelay. The records are taken on the user-interface thread (at most 99
// titles, no pictures: nothing is read from disk) and the file is written
// through SafeFileWriter, with its sync, on the keeper's own thread, so a slow
// disk never holds up the window. A list that is saved, closed, replaced or emptied loses its copy.
//
// The keeper does nothing until start(): the program first offers the copy
// an earlier run left behind.
class RecoveryKeeper : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDefaultDelayMs = 2000;

    RecoveryKeeper(ListEditor &editor, const QString &copyFile, QObject *parent = nullptr);
    ~RecoveryKeeper() override;

    QString copyFile() const { return m_copyFile; }
    void setDelay(int delayMs, int maxDelayMs);

    // Follows the list from now on; keeps it at once when it has unsaved changes.
    void start();
    // The program ends: with keep, the copy is brought up to date (the list
    // still has changes nobody decided about); otherwise it is removed. The
    // keeper then stops following the list. Returns once the file is in its
    // final state.
    void finish(bool keep);

signals:
    // A copy was written (true) or could not be written (false), or removed.
    void copyWritten(bool ok);
    void copyRemoved();

private:
    void listChanged(bool modified);
    void keepNow();
    void removeCopy();
    bool worthKeeping() const;
    QByteArray snapshot() const;

    ListEditor &m_editor;
    QString m_copyFile;
    QTimer *m_delay = nullptr;
    QElapsedTimer m_pendingSince;
    QDateTime m_changedAt;
    int m_maxDelayMs = 5 * kDefaultDelayMs;
    bool m_started = false;
    bool m_waitingForEditor = false;
    bool m_failed = false;
    QThread m_thread;
    QObject *m_writer = nullptr;
};
