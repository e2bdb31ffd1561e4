#include "app/SingleInstance.h"

#include <QDir>

SingleInstance::SingleInstance(const QString &programFolder)
{
    QDir().mkpath(programFolder);
    m_lock = std::make_unique<QLockFile>(
        QDir(programFolder).filePath(QStringLiteral("VT90_TitleSoft.lock")));
    // Never treat a live holder's lock as stale, however long it runs.
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    release();
}

bool SingleInstance::acquire()
{
    if (m_held)
        return true;
    m_held = m_lock->tryLock(0);
    return m_held;
}

void SingleInstance::release()
{
    if (m_held)
        m_lock->unlock();
    m_held = false;
}
