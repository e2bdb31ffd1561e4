#include "list/RecoveryKeeper.h"

#include "core/HandOverOrder.h"
#include "core/SafeFileWriter.h"
#include "list/ListEditor.h"
#include "list/RecoveryCopy.h"
#include "list/TitleList.h"

#include <QFile>
#include <QLoggingCategory>
#include <QTimer>
#include <algorithm>

Q_LOGGING_CATEGORY(lcRecovery, "titledeck.list.recovery", QtWarningMsg)

RecoveryKeeper::RecoveryKeeper(ListEditor &editor, const QString &copyFile, QObject *parent)
    : QObject(parent), m_editor(editor), m_copyFile(copyFile)
{
    m_delay = new QTimer(this);
    m_delay->setObjectName(QStringLiteral("TimerKeepList"));
    m_delay->setSingleShot(true);
    m_delay->setInterval(kDefaultDelayMs);
    connect(m_delay, &QTimer::timeout, this, &RecoveryKeeper::keepNow);

    m_thread.setObjectName(QStringLiteral("RecoveryKeeper"));
    m_writer = new QObject;
    m_writer->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_writer, &QObject::deleteLater);
    m_thread.start(QThread::LowPriority);
}

RecoveryKeeper::~RecoveryKeeper()
{
    m_thread.quit();
    m_thread.wait();
}

void RecoveryKeeper::setDelay(int delayMs, int maxDelayMs)
{
    m_delay->setInterval(delayMs);
    m_maxDelayMs = maxDelayMs;
}

void RecoveryKeeper::start()
{
    if (m_started || !m_writer)
        return;
    m_started = true;
    connect(&m_editor, &ListEditor::captionChanged, this,
            [this](const QString &, bool modified) { listChanged(modified); });
    connect(&m_editor, &ListEditor::busyChanged, this, [this](bool busy) {
        if (!busy && m_waitingForEditor) {
            m_waitingForEditor = false;
            listChanged(m_editor.Modified());
        }
    });
    if (m_editor.Modified())
        listChanged(true);
}

bool RecoveryKeeper::worthKeeping() const
{
    // Nothing to lose in an empty list: the window does not ask to save one either.
    return m_editor.Modified() && !m_editor.list().isEmpty();
}

void RecoveryKeeper::listChanged(bool modified)
{
    if (!modified || m_editor.list().isEmpty()) {
        m_delay->stop();
        m_pendingSince.invalidate();
        removeCopy();
        return;
    }
    m_changedAt = QDateTime::currentDateTimeUtc();
    if (!m_pendingSince.isValid())
        m_pendingSince.start();
    // Later changes push the copy back, but never beyond the longest delay.
    const qint64 left = m_maxDelayMs - m_pendingSince.elapsed();
    m_delay->start(int(std::clamp<qint64>(left, 0, m_delay->interval())));
}

QByteArray RecoveryKeeper::snapshot() const
{
    RecoveryCopy copy;
    copy.OriginalPath = m_editor.ListFileName();
    copy.ChangedAt = m_changedAt.isValid() ? m_changedAt : QDateTime::currentDateTimeUtc();
    copy.Modified = m_editor.Modified();
    copy.Records = m_editor.records();
    return copy.encode();
}

void RecoveryKeeper::keepNow()
{
    if (!m_started)
        return;
    // A list being read is half there; it is kept once it is complete.
    if (m_editor.busy()) {
        m_waitingForEditor = true;
        return;
    }
    m_pendingSince.invalidate();
    if (!worthKeeping()) {
        removeCopy();
        return;
    }
    const QByteArray bytes = snapshot();
    const QString file = m_copyFile;
    if (!m_writer)
        return;
    postCall(*m_writer, [this, file, bytes] {
        QString why;
        const bool ok = SafeFileWriter::replace(file, bytes, &why);
        postCall(*this, [this, ok, why] {
            // One warning for a run of failures, not one per change.
            if (!ok && !m_failed)
                qCWarning(lcRecovery) << "the unsaved list cannot be kept:" << why;
            m_failed = !ok;
            emit copyWritten(ok);
        });
    });
}

void RecoveryKeeper::removeCopy()
{
    const QString file = m_copyFile;
    if (!m_writer)
        return;
    // Queued behind any write still waiting, so that nothing writes it again.
    postCall(*m_writer, [this, file] {
        QFile::remove(file);
        postCall(*this, [this] { emit copyRemoved(); });
    });
}

void RecoveryKeeper::finish(bool keep)
{
    if (!m_started)
        return;
    m_started = false;
    m_delay->stop();
    disconnect(&m_editor, nullptr, this, nullptr);
    // Whatever was queued is done first.
    m_thread.quit();
    m_thread.wait();
    m_writer = nullptr;
    if (keep && worthKeeping()) {
        QString why;
        if (!SafeFileWriter::replace(m_copyFile, snapshot(), &why))
            qCWarning(lcRecovery) << "the unsaved list cannot be kept:" << why;
    } else {
        QFile::remove(m_copyFile);
    }
}
