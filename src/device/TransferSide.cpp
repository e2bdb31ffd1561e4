#include "device/TransferSide.h"

#include "resources/MessageTable.h"

#include <algorithm>

namespace {
constexpr int kProgressFormatId = 29;
}

TransferSide::TransferSide(QObject *parent) : QObject(parent)
{
    m_worker.setObjectName(QStringLiteral("BulkTransfer"));
}

TransferSide::~TransferSide()
{
    m_worker.stop();
}

std::int64_t TransferSide::watchNs(std::uint32_t size) const
{
    if (m_lastBlockNs < 0)
        return MaxWatchNs;
    // A fixed part (the hand-overs) and a part that grows with the block.
    constexpr std::int64_t kFixedNs = 20'000;
    const double perByte =
        m_lastBlockSize == 0
            ? 0.0
            : double(std::max<std::int64_t>(0, m_lastBlockNs - kFixedNs)) / double(m_lastBlockSize);
    const double expected = kFixedNs + perByte * double(size);
    if (expected > double(MaxWatchNs))
        return 0;
    return std::min<std::int64_t>(MaxWatchNs, std::int64_t(2.0 * expected));
}

void TransferSide::noteBlockTime(std::uint32_t size, std::int64_t ns)
{
    m_lastBlockSize = size;
    m_lastBlockNs = ns;
}

void TransferSide::discardLeftover()
{
    MapResync = true;
    emit leftoverDiscarded();
}

void TransferSide::begin()
{
    m_transferred = 0;
    m_handedBack = false;
    m_busy = true;
}

void TransferSide::reportProgress(std::uint32_t done)
{
    GaugeProgress = GaugeBase + done;
    const int percent = GaugeMax > 0 ? int(GaugeProgress * 100 / GaugeMax) : 0;
    emit progressChanged(
        GaugeProgress, percent,
        MessageTable::formatText(MessageTable::text(kProgressFormatId), {percent}));
}

void TransferSide::finish(std::uint32_t done)
{
    GaugeProgress = GaugeBase + done;
    m_transferred = done;
    m_busy = false;
    emit finished(done);
}
