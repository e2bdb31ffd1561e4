#include "core/Waits.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <cmath>

int Waits::scaled(int milliseconds) const
{
    if (milliseconds <= 0)
        return 0;
    const double t = std::floor(milliseconds * m_scale);
    return t < 1.0 ? 1 : int(t);
}

void Waits::pause(int milliseconds)
{
    // Nothing can end a pause early: no re-checks.
    wait([] { return false; }, milliseconds, false);
}

bool Waits::waitUntil(const std::function<bool()> &done, int timeoutMilliseconds)
{
    return wait(done, timeoutMilliseconds, true);
}

bool Waits::wait(const std::function<bool()> &done, int timeoutMilliseconds, bool recheck)
{
    const QDeadlineTimer deadline(
        timeoutMilliseconds < 0 ? QDeadlineTimer(QDeadlineTimer::Forever)
                                : QDeadlineTimer(scaled(timeoutMilliseconds), Qt::PreciseTimer));
    if (done()) {
        std::lock_guard lock(m_mutex); // a wake() that ended the wait is over
        return true;
    }
    // The time to sleep before asking again: the deadline, or the re-check if it comes first.
    const auto nextLook = [&deadline, recheck] {
        const qint64 left = deadline.remainingTime();
        if (left < 0) // no deadline
            return qint64(kRecheckMs);
        return recheck ? qMin<qint64>(left, kRecheckMs) : left;
    };

    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        std::unique_lock lock(m_mutex);
        while (true) {
            const std::uint64_t seen = m_wakes;
            lock.unlock();
            const bool result = done();
            const bool ended = result || deadline.hasExpired();
            // Returns holding the lock for a moment: a wake() in progress is over.
            lock.lock();
            if (ended)
                return result;
            m_woken.wait_for(lock, std::chrono::milliseconds(nextLook()),
                             [this, seen] { return m_wakes != seen; });
        }
    }

    {
        std::lock_guard lock(m_mutex);
        if (m_eventWaits++ == 0)
            m_dispatcher = QAbstractEventDispatcher::instance();
    }
    QEventLoop loop;
    // Its time-out is an event like any other: the loop returns and asks again.
    QTimer look;
    look.setSingleShot(true);
    look.setTimerType(Qt::PreciseTimer);
    bool result = false;
    while (true) {
        if (done()) {
            result = true;
            break;
        }
        if (deadline.hasExpired()) {
            result = done();
            break;
        }
        look.start(int(nextLook()));
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    std::lock_guard lock(m_mutex);
    if (--m_eventWaits == 0)
        m_dispatcher = nullptr;
    return result;
}

void Waits::wake(const std::function<void()> &change)
{
    // All under the lock, which every wait takes before it returns.
    std::lock_guard lock(m_mutex);
    if (change)
        change();
    ++m_wakes;
    if (m_dispatcher)
        m_dispatcher->wakeUp();
    m_woken.notify_all();
}

void Waits::processPending()
{
    QCoreApplication *app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread())
        QCoreApplication::processEvents();
}

void Waits::sleepOnWorker(int milliseconds) const
{
    QThread::msleep(scaled(milliseconds));
}
