#include "device/TransferSide.h"

#include "resources/MessageTable.h"

namespace {
constexpr int kProgressFormatId = 29;
}

TransferSide::TransferSide(QObject *parent) : QObject(parent)
{
    m_worker.setObjectName(QStringLiteral("BulkTransfer"));
}

TransferSide::~TransferSide()
{
    m_worker.quit();
    m_worker.wait();
}

QThread *TransferSide::workerThread()
{
    if (!m_worker.isRunning())
        m_worker.start();
    return &m_worker;
}

void TransferSide::discardLeftover()
{
    MapResync = true;
    emit leftoverDiscarded();
}

void TransferSide::begin()
{
    m_transferred = 0;
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
