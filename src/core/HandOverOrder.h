#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThreadPool>
#include <utility>

#include "core/ThreadSanitizer.h"

// The order of a closure handed to another thread through Qt: a call queued
// to an object's thread, or a job on the global thread pool. Qt guarantees
// that the closure runs after everything its poster did before posting, and
// that whoever frees it (the poster or the receiver, whichever lets go last)
// does so after the run. It keeps that promise with its own locks and atomic
// reference counts, which are futexes and atomics inside Qt; ThreadSanitizer
// cannot see them in a Qt not built for it. Under ThreadSanitizer each
// closure carries one of these and states the same order on its own address:
// set up (posted) before arrival, the run before the closure is freed. Only
// that closure's hand-over is ordered, so a race between the poster's later
// work and the closure is still reported. Elsewhere it is empty and does nothing.
class HandOverOrder
{
public:
    HandOverOrder() = default;
    // The closure is moved or copied into Qt's storage by the poster.
    HandOverOrder(HandOverOrder &&) noexcept { release(); }
    HandOverOrder(const HandOverOrder &) noexcept { release(); }
    HandOverOrder &operator=(const HandOverOrder &) = delete;
    ~HandOverOrder() { acquire(); }

    void arrived() { acquire(); }
    void ran() { release(); }

private:
    void release() { handOverGiven(this); }
    void acquire() { handOverTaken(this); }
};

// Runs f on context's thread through its event queue (dropped if context
// goes first). The program's one way of queuing a call to another thread.
template<class F> void postCall(QObject &context, F &&f)
{
    QMetaObject::invokeMethod(
        &context,
        [f = std::forward<F>(f), order = HandOverOrder()]() mutable {
            order.arrived();
            f();
            order.ran();
        },
        Qt::QueuedConnection);
}

// Runs f on a thread of the global thread pool.
template<class F> void startOnPool(F &&f)
{
    QThreadPool::globalInstance()->start(
        [f = std::forward<F>(f), order = HandOverOrder()]() mutable {
            order.arrived();
            f();
            order.ran();
        });
}
