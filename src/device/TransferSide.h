#pragma once

#include "device/TransferWorkerThread.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>

// One side of the bulk transfers (the read side or the write side): its
// progress gauge, its Busy flag and the Transferred count the worker hands
// back. Lives on the user-interface thread; the worker reaches it only
// through queued calls (and the few atomic flags below that tell the waiting
// side a call is on its way).
class TransferSide : public QObject
{
    Q_OBJECT

public:
    explicit TransferSide(QObject *parent = nullptr);
    ~TransferSide() override;

    // The thread the side's bulk blocks run on, started on first use.
    TransferWorkerThread *workerThread() { return &m_worker; }

    bool Busy() const { return m_busy.load(); }
    std::uint32_t Transferred() const { return m_transferred; }

    // The gauge: bytes counted before the current block, the gauge's maximum and its position.
    qint64 GaugeBase = 0;
    qint64 GaugeMax = 0;
    qint64 GaugeProgress = 0;
    // The shortest time between two progress steps of one block (the first is always shown).
    int ProgressIntervalMs = 10;
    // Read side only: the next memory-map read asks the device to resynchronise.
    bool MapResync = false;

    // The read pipe was opened again: whatever the side kept from an earlier
    // block is stale, and the next memory-map read asks for a resync.
    void discardLeftover();
    // Marks the side busy before a worker starts.
    void begin();

    // Worker side: the finish step has been queued (set after queuing it).
    void markHandedBack() { m_handedBack.store(true, std::memory_order_release); }
    bool handedBack() const { return m_handedBack.load(std::memory_order_acquire); }

    // Coalescing of the worker's progress steps: the latest mark, and whether
    // a step is queued and not yet shown.
    std::atomic<std::uint32_t> ProgressMark{0};
    std::atomic<bool> ProgressQueued{false};

    // How long the waiting side watches for the finish step of a block of
    // `size` bytes before it goes back to the event loop. Blocks that took
    // long (a real USB link: tens of milliseconds) are not watched for, the
    // wake-up being small next to them; short ones are, up to kMaxWatchNs.
    std::int64_t watchNs(std::uint32_t size) const;
    // The waiting side saw a block of `size` bytes end after `ns` nanoseconds.
    void noteBlockTime(std::uint32_t size, std::int64_t ns);
    static constexpr std::int64_t kMaxWatchNs = 250'000;
    // The longest watch (0: always wait in the event loop).
    std::int64_t MaxWatchNs = kMaxWatchNs;
    // Progress step of the worker (user-interface thread).
    void reportProgress(std::uint32_t done);
    // Finish step of the worker (user-interface thread).
    void finish(std::uint32_t done);

signals:
    // Gauge position, percent of the gauge maximum and the status text ("転送中  N%").
    void progressChanged(qint64 progress, int percent, const QString &text);
    void finished(std::uint32_t transferred);
    // The owner of a leftover transfer buffer drops it.
    void leftoverDiscarded();

private:
    TransferWorkerThread m_worker;
    std::atomic<bool> m_busy{false};
    std::atomic<bool> m_handedBack{false};
    // The last block seen by the waiting side (user-interface thread only).
    std::int64_t m_lastBlockNs = -1;
    std::uint32_t m_lastBlockSize = 0;
    std::uint32_t m_transferred = 0;
};
