#include "device/TThreadReadWrite.h"

#include "core/Waits.h"
#include "device/BoundedSpin.h"
#include "device/DeviceLink.h"
#include "device/DeviceLogging.h"
#include "device/PipeChannel.h"
#include "device/TransferSide.h"
#include "device/UsbBackend.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

TThreadReadWrite::TThreadReadWrite(DeviceLink &link, PipeChannel &pipe, TransferSide &side,
                                   std::uint8_t *buffer, std::uint32_t size, std::uint32_t mode)
    : m_link(&link), m_pipe(pipe), m_side(&side), m_buffer(buffer), m_size(size), m_mode(mode),
      m_pieceTimeoutMs(link.waits().scaled(kPieceTimeoutMs)),
      m_progressIntervalMs(side.ProgressIntervalMs)
{}

std::uint32_t TThreadReadWrite::Run(DeviceLink &link, PipeChannel &pipe, TransferSide &side,
                                    std::uint8_t *buffer, std::uint32_t size, std::uint32_t mode)
{
    // One worker per side at a time: wait for an earlier block to hand back first.
    link.waits().waitUntil([&side] { return !side.Busy(); }, -1);
    side.begin();
    auto *worker = new TThreadReadWrite(link, pipe, side, buffer, size, mode);
    // The worker thread runs and deletes the object; it takes no events, so
    // it need not be moved to that thread (a move costs microseconds).
    TransferWorkerThread *thread = side.workerThread();
    if (QThread::currentThread() == side.thread() && QAbstractEventDispatcher::instance()) {
        // The first progress step (nothing moved yet) is shown right here rather
        // than queued back from the worker; it is shown while the worker runs.
        worker->m_firstStepShown = true;
        const std::int64_t started = BoundedSpin::nowNs();
        thread->post(worker);
        side.reportProgress(0);
        // A short block ends within microseconds: watch for its finish step
        // for a bounded time and run it straight from the queue, rather than
        // sleep in the event loop and pay a wake-up. Queued calls for the
        // side are the only events handled here, in the order they came.
        // Not while the worker runs on this very core: watching would only
        // keep it from running.
        const auto sharingCore = [thread] {
            return BoundedSpin::sameCpu(BoundedSpin::currentCpu(), thread->workerCpu());
        };
        if (BoundedSpin::until([&side] { return side.handedBack(); }, side.watchNs(size),
                               sharingCore))
            QCoreApplication::sendPostedEvents(&side, QEvent::MetaCall);
        if (side.Busy()) {
            // On the side's own thread the finish step can only run inside this
            // loop, so nothing is missed between the check and exec().
            QEventLoop loop;
            QObject::connect(&side, &TransferSide::finished, &loop, &QEventLoop::quit);
            loop.exec();
        }
        side.noteBlockTime(size, BoundedSpin::nowNs() - started);
    } else {
        thread->post(worker);
        link.waits().waitUntil([&side] { return !side.Busy(); }, -1);
    }
    return side.Transferred();
}

void TThreadReadWrite::Execute()
{
    const std::uint32_t pieces = m_size == 0 ? 1 : (m_size + kPieceSize - 1) / kPieceSize;
    QElapsedTimer clock;
    clock.start();
    qint64 lastPost = 0;
    for (std::uint32_t k = 0; k < pieces; ++k) {
        if (k % kProgressEvery == 0) {
            // The gauge shows the latest mark. A step is queued at most every
            // few milliseconds and never while one is still waiting: later marks
            // only update what it will show, so a fast block does not keep
            // waking the user-interface thread for a gauge nobody can read
            // that fast.
            // The side outlives the block: it ends its worker thread only
            // after the block that runs on it.
            TransferSide &side = *m_side;
            side.workerThread()->noteWorkerCpu();
            side.ProgressMark = m_done;
            const qint64 now = clock.elapsed();
            const bool due = k == 0 ? !m_firstStepShown : now - lastPost >= m_progressIntervalMs;
            if (due && !side.ProgressQueued.exchange(true)) {
                lastPost = now;
                QMetaObject::invokeMethod(
                    &side,
                    [side = m_side] {
                        if (!side)
                            return;
                        side->ProgressQueued = false;
                        side->reportProgress(side->ProgressMark);
                    },
                    Qt::QueuedConnection);
            }
        }
        const std::uint32_t piece =
            m_size - m_done < std::uint32_t(kPieceSize) ? m_size - m_done : kPieceSize;
        const TransferResult result =
            m_pipe.transfer(m_buffer + m_done, int(piece), m_pieceTimeoutMs);
        const std::uint32_t moved =
            result.transferred < 0 ? 0 : qMin<std::uint32_t>(piece, result.transferred);
        m_done += moved;
        if (result.status != TransferStatus::Completed || moved != piece) {
            qCDebug(lcDevice) << "bulk piece ended" << int(result.status) << moved << "of" << piece;
            break;
        }
    }
    // A monotonic clock: a block that runs over midnight still reports a sound time.
    const qint64 elapsed = clock.elapsed();
    const double seconds = elapsed * 0.001;
    const float speed = seconds == 0.0 ? 0.0f : float(m_done / seconds / 1024.0);
    const std::uint32_t done = m_done;
    QPointer<DeviceLink> link = m_link;
    QPointer<TransferSide> side = m_side;
    if (!side)
        return; // nobody left to hand the block back to
    QMetaObject::invokeMethod(
        side.data(),
        [link, side, done, elapsed, speed] {
            if (link && link->logEnabled()) {
                link->Log(QStringLiteral("Transfer Size : %1 Bytes").arg(done));
                link->Log(QStringLiteral("Transfer Time : %1 sec  %2 msec")
                              .arg(elapsed / 1000)
                              .arg(elapsed % 1000));
                link->Log(
                    QStringLiteral("Transfer Speed : %1 KBytes/sec").arg(double(speed), 0, 'f', 2));
            }
            if (side)
                side->finish(done);
        },
        Qt::QueuedConnection);
    side->markHandedBack();
}
