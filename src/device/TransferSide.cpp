#include "device/TransferSide.h"

#include "resources/MessageTable.h"

namespace {
constexpr int kProgressFormatId = 29;
}

TransferSide::TransferSide(QObject *parent) : QObject(parent) {}

TransferSide::~TransferSide()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_blocks.clear();
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void TransferSide::workerRun()
{
    while (true) {
        std::function<void()> block;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_blocks.empty(); });
            if (m_stop)
                return;
            block = std::move(m_blocks.front());
            m_blocks.pop_front();
        }
        block();
    }
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
    {
        // The auto-load upload starts its blocks from the loader thread.
        std::lock_guard lock(m_mutex);
        m_blocks.push_back(std::move(block));
        if (!m_thread.joinable())
            m_thread = std::thread([this] { workerRun(); });
    }
    m_wake.notify_all();
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
