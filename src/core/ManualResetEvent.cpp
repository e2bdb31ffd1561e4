#include "core/ManualResetEvent.h"

#include <chrono>

void ManualResetEvent::set()
{
    // Notified under the lock: a waiter that returns may destroy the event at
    // once, and must not find this call still using it.
    std::lock_guard lock(m_mutex);
    m_signalled = true;
    m_changed.notify_all();
}

void ManualResetEvent::reset()
{
    std::lock_guard lock(m_mutex);
    m_signalled = false;
}

bool ManualResetEvent::isSet() const
{
    std::lock_guard lock(m_mutex);
    return m_signalled;
}

bool ManualResetEvent::wait(int timeoutMilliseconds) const
{
    std::unique_lock lock(m_mutex);
    if (timeoutMilliseconds < 0) {
        m_changed.wait(lock, [this] { return m_signalled; });
        return true;
    }
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMilliseconds),
                              [this] { return m_signalled; });
}
