#include "memory/MemoryRefresh.h"

#include "memory/DeviceMemoryMirror.h"

#include <QTimer>

MemoryRefresh::Pause::Pause(MemoryRefresh *refresh) : m_refresh(refresh)
{
    if (m_refresh) {
        ++m_refresh->m_paused;
        m_refresh->follow();
    }
}

MemoryRefresh::Pause::~Pause()
{
    if (m_refresh) {
        --m_refresh->m_paused;
        m_refresh->follow();
    }
}

MemoryRefresh::MemoryRefresh(DeviceMemoryMirror &mirror, QObject *parent)
    : QObject(parent), m_mirror(mirror), TimerGetMemory(new QTimer(this))
{
    TimerGetMemory->setObjectName(QStringLiteral("TimerGetMemory"));
    TimerGetMemory->setInterval(IntervalMs);
    connect(TimerGetMemory, &QTimer::timeout, this, &MemoryRefresh::TimerGetMemoryTimer);
    m_mirror.setRefresh(this);
}

bool MemoryRefresh::running() const
{
    return TimerGetMemory->isActive();
}

void MemoryRefresh::setConnected(bool connected)
{
    m_connected = connected;
    follow();
}

void MemoryRefresh::follow()
{
    // A tick in progress starts the timer itself when its read is over.
    const bool run = m_connected && m_paused == 0 && !m_ticking;
    if (run && !TimerGetMemory->isActive())
        TimerGetMemory->start();
    else if (!run && TimerGetMemory->isActive())
        TimerGetMemory->stop();
}

void MemoryRefresh::TimerGetMemoryTimer()
{
    if (m_ticking)
        return;
    m_ticking = true;
    follow();
    m_mirror.readMemoryMap();
    m_ticking = false;
    follow();
}
