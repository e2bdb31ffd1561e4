#include "device/TThreadReadWrite.h"

#include "core/HandOverOrder.h"
#include "core/Waits.h"
#include "device/DeviceLink.h"
#include "device/DeviceLogging.h"
#include "device/PipeChannel.h"
#include "device/TransferSide.h"
#include "device/UsbBackend.h"

#include <QElapsedTimer>

TThreadReadWrite::TThreadReadWrite(DeviceLink &link, PipeChannel &pipe, TransferSide &side,
                                   std::uint8_t *buffer, std::uint32_t size)
    : m_link(&link), m_pipe(&pipe), m_side(&side), m_buffer(buffer), m_size(size),
      m_pieceTimeoutMs(link.waits().scaled(kPieceTimeoutMs))
{}

std::uint32_t TThreadReadWrite::Run(DeviceLink &link, PipeChannel &pipe, TransferSide &side,
                                    std::uint8_t *buffer, std::uint32_t size, std::uint32_t mode)
{
    Q_UNUSED(mode); // the pipe has a direction of its own
    return run(link, pipe, side, buffer, size, nullptr, {});
}

std::uint32_t TThreadReadWrite::Run(DeviceLink &link, PipeChannel &pipe, TransferSide &side,
                                    std::shared_ptr<std::vector<std::uint8_t>> buffer,
                                    const std::function<bool()> &giveUp)
{
    if (!buffer)
        return 0;
    std::uint8_t *data = buffer->data();
    const auto size = std::uint32_t(buffer->size());
    return run(link, pipe, side, data, size, std::move(buffer), giveUp);
}

std::uint32_t TThreadReadWrite::run(DeviceLink &link, PipeChannel &pipe, TransferSide &side,
                                    std::uint8_t *buffer, std::uint32_t size,
                                    std::shared_ptr<std::vector<std::uint8_t>> shared,
                                    const std::function<bool()> &giveUp)
{
    Q_ASSERT(&side == &link.readSide() || &side == &link.writeSide());
    Q_ASSERT(&pipe == &link.ReadPipe() || &pipe == &link.WritePipe());
    const auto idle = [&side] { return !side.Busy(); };
    // One block per side at a time: an earlier block hands back first.
    link.waits().waitUntil(idle, -1);
    TThreadReadWrite block(link, pipe, side, buffer, size);
    block.m_shared = std::move(shared);
    side.start([block = std::move(block)]() mutable { block.Execute(); });
    if (!giveUp) {
        link.waits().waitUntil(idle, -1);
        return side.Transferred();
    }
    bool gaveUp = false;
    link.waits().waitUntil(
        [&] {
            gaveUp = giveUp();
            return gaveUp || idle();
        },
        -1);
    return gaveUp && side.Busy() ? 0 : side.Transferred();
}

void TThreadReadWrite::Execute()
{
    const std::uint32_t pieces = m_size == 0 ? 1 : (m_size + kPieceSize - 1) / kPieceSize;
    QElapsedTimer clock;
    clock.start();
    std::uint32_t done = 0;
    TransferSide *side = m_side;
    for (std::uint32_t k = 0; k < pieces; ++k) {
        if (k % kProgressEvery == 0)
            postCall(*side, [side, done] { side->reportProgress(done); });
        const std::uint32_t piece =
            m_size - done < std::uint32_t(kPieceSize) ? m_size - done : kPieceSize;
        const TransferResult result =
            m_pipe->transfer(m_buffer + done, int(piece), m_pieceTimeoutMs);
        const std::uint32_t moved =
            result.transferred < 0 ? 0 : qMin<std::uint32_t>(piece, result.transferred);
        done += moved;
        if (result.status != TransferStatus::Completed || moved != piece) {
            qCDebug(lcDevice) << "bulk piece ended" << int(result.status) << moved << "of" << piece;
            break;
        }
    }
    // A monotonic clock: a block that runs over midnight still reports a sound time.
    const qint64 elapsed = clock.elapsed();
    const double seconds = elapsed * 0.001;
    const float speed = seconds == 0.0 ? 0.0f : float(done / seconds / 1024.0);
    postCall(*side, [link = m_link, side, done, elapsed, speed] {
        if (link->logEnabled()) {
            link->Log(QStringLiteral("Transfer Size : %1 Bytes").arg(done));
            link->Log(QStringLiteral("Transfer Time : %1 sec  %2 msec")
                          .arg(elapsed / 1000)
                          .arg(elapsed % 1000));
            link->Log(
                QStringLiteral("Transfer Speed : %1 KBytes/sec").arg(double(speed), 0, 'f', 2));
        }
        side->finish(done);
        // A waiter on another thread sees the side idle at once.
        link->waits().wake();
    });
}
