#include "device/TransferSide.h"

#include "resources/MessageTable.h"

namespace {
constexpr int kProgressFormatId = 29;
}

TransferSide::TransferSide(QObject *parent) : QObject(parent)
{
    m_thread.setObjectName(QStringLiteral("BulkTransfer"));
    m_worker.moveToThread(&m_thread);
}

TransferSide::~TransferSide()
{
    m_thread.quit();
    m_thread.wait();
}

void TransferSide::discardLeftover()
{
    MapResync = true;
    emit leftoverDiscarded();
}

void TransferSide::start(std::function<void()> block)
{
    m_transferred = 0;
    m_busy = true;
    if (!m_thread.isRunning())
        m_thread.start();
    QMetaObject::invokeMethod(&m_worker, std::move(block), Qt::QueuedConnection);
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
