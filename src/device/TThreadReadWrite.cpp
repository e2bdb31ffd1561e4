#include "device/TThreadReadWrite.h"

#include "app/Waits.h"
#include "device/DeviceLink.h"
#include "device/DeviceLogging.h"
#include "device/PipeChannel.h"
#include "device/TransferSide.h"
#include "device/UsbBackend.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QEventLoop>
#include <atomic>
#include <memory>

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
    worker->moveToThread(side.workerThread());
    const auto start = [worker] {
        QMetaObject::invokeMethod(worker, &TThreadReadWrite::Execute, Qt::QueuedConnection);
    };
    if (QThread::currentThread() == side.thread() && QAbstractEventDispatcher::instance()) {
        // On the side's own thread the finish step can only run inside this loop, so
        // nothing is missed between the start and exec(); waking on the finish step
        // itself keeps short blocks from paying a polling interval each.
        QEventLoop loop;
        QObject::connect(&side, &TransferSide::finished, &loop, &QEventLoop::quit);
        // The first progress step (nothing moved yet) is shown right here rather
        // than queued back from the worker.
        side.reportProgress(0);
        worker->m_firstStepShown = true;
        start();
        if (side.Busy())
            loop.exec();
    } else {
        start();
        link.waits().waitUntil([&side] { return !side.Busy(); }, -1);
    }
    return side.Transferred();
}

void TThreadReadWrite::Execute()
{
    deleteLater(); // once this call returns, on the worker thread
    const std::uint32_t pieces = m_size == 0 ? 1 : (m_size + kPieceSize - 1) / kPieceSize;
    struct Progress
    {
        std::atomic<std::uint32_t> done{0};
        std::atomic<bool> queued{false};
    };
    const auto progress = std::make_shared<Progress>();
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
            progress->done = m_done;
            QPointer<TransferSide> side = m_side;
            const qint64 now = clock.elapsed();
            const bool due = k == 0 ? !m_firstStepShown : now - lastPost >= m_progressIntervalMs;
            if (side && due && !progress->queued.exchange(true)) {
                lastPost = now;
                QMetaObject::invokeMethod(
                    side.data(),
                    [side, progress] {
                        progress->queued = false;
                        if (side)
                            side->reportProgress(progress->done);
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
    QObject *context = side ? static_cast<QObject *>(side.data()) : link.data();
    if (!context)
        return;
    QMetaObject::invokeMethod(
        context,
        [link, side, done, elapsed, speed] {
            if (link) {
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
}
