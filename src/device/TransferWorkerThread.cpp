#include "device/TransferWorkerThread.h"

#include "device/BoundedSpin.h"
#include "device/TThreadReadWrite.h"

#include <algorithm>

TransferWorkerThread::TransferWorkerThread(QObject *parent) : QThread(parent) {}

TransferWorkerThread::~TransferWorkerThread()
{
    stop();
}

void TransferWorkerThread::post(TThreadReadWrite *block)
{
    if (!isRunning())
        start();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_postedAtNs.store(BoundedSpin::nowNs(), std::memory_order_relaxed);
        m_posterCpu.store(BoundedSpin::currentCpu(), std::memory_order_relaxed);
        m_next.store(block, std::memory_order_release);
    }
    // No system call when the thread is still watching rather than sleeping.
    m_wake.notify_one();
}

void TransferWorkerThread::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop.store(true, std::memory_order_release);
    }
    m_wake.notify_one();
    wait();
}

TThreadReadWrite *TransferWorkerThread::take()
{
    const auto ready = [this] {
        return m_next.load(std::memory_order_acquire) != nullptr ||
               m_stop.load(std::memory_order_acquire);
    };
    const auto sharingCore = [this] {
        return BoundedSpin::sameCpu(BoundedSpin::currentCpu(),
                                    m_posterCpu.load(std::memory_order_relaxed));
    };
    const std::int64_t idleSince = BoundedSpin::nowNs();
    if (!BoundedSpin::until(ready, std::min(m_spinNs, m_maxSpinNs.load(std::memory_order_relaxed)),
                            sharingCore)) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait(lock, ready);
    }
    // Watch next time for about twice the pause just seen (up to the hand-over,
    // not to the wake-up), so a steady run of blocks is caught without a
    // wake-up; after a long pause watch only briefly.
    const std::int64_t pause = m_postedAtNs.load(std::memory_order_relaxed) - idleSince;
    m_spinNs = pause <= kMaxSpinNs ? std::clamp<std::int64_t>(2 * pause, kMinSpinNs, kMaxSpinNs)
                                   : kMinSpinNs;
    return m_next.exchange(nullptr, std::memory_order_acq_rel);
}

void TransferWorkerThread::run()
{
    while (TThreadReadWrite *block = take()) {
        noteWorkerCpu();
        block->Execute();
        delete block;
    }
}
