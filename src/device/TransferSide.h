#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// One side of the bulk transfers (the read side or the write side): its
// progress gauge, its Busy flag, the Transferred count the worker hands back,
// and the worker thread its blocks run on, one at a time, in the order given.
// Lives on the user-interface thread; the worker reaches it only through
// queued calls. The side ends its worker thread before it goes, so a block
// that runs may rely on the side being there.
class TransferSide : public QObject
{
    Q_OBJECT

public:
    explicit TransferSide(QObject *parent = nullptr);
    // Ends the worker thread after the block it runs; blocks not begun are dropped.
    ~TransferSide() override;

    bool Busy() const { return m_busy.load(); }
    std::uint32_t Transferred() const { return m_transferred.load(); }

    // The gauge: bytes counted before the current block, the gauge's maximum and its position.
    qint64 GaugeBase = 0;
    qint64 GaugeMax = 0;
    qint64 GaugeProgress = 0;
    // Read side only: the next memory-map read asks the device to resynchronise.
    bool MapResync = false;

    // The read pipe was opened again: whatever the side kept from an earlier
    // block is stale, and the next memory-map read asks for a resync.
    void discardLeftover();
    // Marks the side busy and runs block on the worker thread (started on first use).
    void start(std::function<void()> block);
    // Progress step of the worker (user-interface thread).
    void reportProgress(std::uint32_t done);
    // Finish step of the worker (user-interface thread): the side is no longer busy.
    void finish(std::uint32_t done);

signals:
    // Gauge position, percent of the gauge maximum and the status text ("転送中  N%").
    void progressChanged(qint64 progress, int percent, const QString &text);
    void finished(std::uint32_t transferred);
    // The owner of a leftover transfer buffer drops it.
    void leftoverDiscarded();

private:
    void workerRun();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_blocks;
    bool m_stop = false;
    std::thread m_thread;
    std::atomic<bool> m_busy{false};
    std::atomic<std::uint32_t> m_transferred{0};
};
