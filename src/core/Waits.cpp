#include "core/Waits.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
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
    waitUntil([] { return false; }, milliseconds);
}

bool Waits::waitUntil(const std::function<bool()> &done, int timeoutMilliseconds)
{
    QDeadlineTimer deadline(timeoutMilliseconds < 0 ? QDeadlineTimer::Forever
                                                    : QDeadlineTimer(scaled(timeoutMilliseconds)));
    const bool canPump = QCoreApplication::instance() &&
                         QThread::currentThread() == QCoreApplication::instance()->thread();
    while (true) {
        if (done())
            return true;
        if (deadline.hasExpired())
            return done();
        const qint64 left = deadline.remainingTime();
        const int slice = int(left < 0 ? 5 : qMin<qint64>(left, 5));
        if (canPump)
            QCoreApplication::processEvents(QEventLoop::AllEvents, slice);
        // processEvents returns at once when nothing is pending; yield the core meanwhile.
        QThread::msleep(slice > 1 ? 1 : slice);
    }
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
