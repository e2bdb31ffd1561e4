#pragma once

#include "device/BoundedSpin.h"

#include <QThread>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class TThreadReadWrite;

// The thread one side's bulk blocks run on, one block at a time. The thread
// runs each block handed to it and deletes it. Between blocks it watches for
// the next one for a short time before it sleeps: blocks often follow each
// other closely, and a sleeping thread costs a wake-up. How long it watches
// adapts to the last pause between blocks, within kMinSpinNs and kMaxSpinNs,
// and it does not watch while the thread that hands blocks over runs on the
// same core (it would only keep that thread from running).
class TransferWorkerThread : public QThread
{
    Q_OBJECT

public:
    static constexpr std::int64_t kMinSpinNs = 2'000;
    static constexpr std::int64_t kMaxSpinNs = 200'000;

    explicit TransferWorkerThread(QObject *parent = nullptr);
    // Runs a block still waiting, then ends the thread.
    ~TransferWorkerThread() override;

    // Hands a block over (the thread starts on first use). The previous block
    // must have ended: its side waits for that before it starts the next.
    void post(TThreadReadWrite *block);
    // Ends the thread after the block it runs; returns once it has ended.
    void stop();
    // The core the worker thread was last seen on (-1: not known); the
    // thread notes it now and then while it runs a block.
    int workerCpu() const { return m_workerCpu.load(std::memory_order_relaxed); }
    void noteWorkerCpu()
    {
        m_workerCpu.store(BoundedSpin::currentCpu(), std::memory_order_relaxed);
    }

    // The longest watch between blocks (0: always sleep). Set before the first block.
    void setMaxSpinNs(std::int64_t ns) { m_maxSpinNs = ns; }

protected:
    void run() override;

private:
    // The next block, or null when the thread is to end.
    TThreadReadWrite *take();

    std::atomic<TThreadReadWrite *> m_next{nullptr};
    std::atomic<bool> m_stop{false};
    std::atomic<std::int64_t> m_postedAtNs{0};
    std::atomic<int> m_workerCpu{-1};
    std::atomic<int> m_posterCpu{-1};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::atomic<std::int64_t> m_maxSpinNs{kMaxSpinNs};
    std::int64_t m_spinNs = kMaxSpinNs; // worker thread only
};
