#pragma once

#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>
#include <cstdint>

// One side of the bulk transfers (the read side or the write side): its
// progress gauge, its Busy flag and the Transferred count the worker hands
// back. Lives on the user-interface thread; the worker reaches it only
// through queued calls.
class TransferSide : public QObject
{
    Q_OBJECT

public:
    explicit TransferSide(QObject *parent = nullptr);
    ~TransferSide() override;

    // The thread the side's bulk blocks run on, started on first use.
    QThread *workerThread();

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
    QThread m_worker;
    std::atomic<bool> m_busy{false};
    std::uint32_t m_transferred = 0;
};
