#include "link/FakeUsbBackend.h"

#include <chrono>
#include <cstring>

bool FakeUsbBackend::open()
{
    calls << QStringLiteral("open");
    ++opens;
    if (openFails || !present)
        return false;
    m_open = true;
    m_readPos = 0;
    return true;
}

int FakeUsbBackend::getDescriptor(int selector, std::uint8_t *buffer, int length)
{
    QByteArray source = selector == 1 ? deviceDescriptor : configDescriptor;
    if (selector == 2 && length > 9 && shortConfigBy > 0)
        source.chop(shortConfigBy);
    const int n = qMin<int>(length, source.size());
    std::memcpy(buffer, source.constData(), n);
    return n;
}

bool FakeUsbBackend::vendorIn(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                              std::uint8_t *buffer, std::uint16_t length)
{
    std::lock_guard record(m_recordMutex);
    vendorCalls.append({true, request, value, index, length, {}});
    if (!m_open || (failRequest && failRequest(request)))
        return false;
    QList<QByteArray> &queue = replies[request];
    const QByteArray reply = queue.isEmpty()     ? QByteArray(1, char(2))
                             : queue.size() == 1 ? queue.first()
                                                 : queue.takeFirst();
    std::memset(buffer, 0, length);
    std::memcpy(buffer, reply.constData(), qMin<int>(length, reply.size()));
    return true;
}

bool FakeUsbBackend::vendorOut(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                               const std::uint8_t *data, std::uint16_t length)
{
    std::lock_guard record(m_recordMutex);
    vendorCalls.append({false, request, value, index, length,
                        QByteArray(reinterpret_cast<const char *>(data), data ? length : 0)});
    return m_open && !(failRequest && failRequest(request));
}

bool FakeUsbBackend::resetDevice()
{
    std::lock_guard record(m_recordMutex);
    ++resets;
    return !resetFails;
}

bool FakeUsbBackend::openPipe(int interfaceNumber, std::uint8_t endpoint)
{
    calls << QStringLiteral("openPipe %1 0x%2").arg(interfaceNumber).arg(endpoint, 0, 16);
    return m_open && !failingPipeOpens.contains(endpoint);
}

bool FakeUsbBackend::abortPipe(std::uint8_t endpoint)
{
    {
        std::lock_guard lock(m_mutex);
        ++m_abortGeneration;
    }
    ++aborts;
    m_abortWake.notify_all();
    return true;
}

void FakeUsbBackend::releasePieces(int count)
{
    {
        std::lock_guard lock(m_mutex);
        m_released += count;
    }
    m_abortWake.notify_all();
}

TransferResult FakeUsbBackend::transfer(std::uint8_t endpoint, std::uint8_t *buffer, int length,
                                        int timeoutMilliseconds)
{
    std::unique_lock lock(m_mutex);
    if (!m_open)
        return {TransferStatus::NoDevice, 0};
    if (endpoint == 0x81) {
        if (eventReads.isEmpty()) {
            lock.unlock();
            return {TransferStatus::TimedOut, 0};
        }
        const QByteArray data = eventReads.takeFirst();
        const int n = qMin<int>(length, data.size());
        std::memcpy(buffer, data.constData(), n);
        return {TransferStatus::Completed, n};
    }
    if (gated) {
        const quint64 generation = m_abortGeneration;
        m_abortWake.wait(lock,
                         [&] { return m_pieces < m_released || m_abortGeneration != generation; });
        if (m_abortGeneration != generation)
            return {TransferStatus::Cancelled, 0};
        ++m_pieces;
    }
    transferLengths.append(length);
    if (stallAfter >= 0 && m_moved + length > stallAfter) {
        // The device stops answering: the piece ends at its time-out or an abort.
        const quint64 generation = m_abortGeneration;
        const bool aborted =
            m_abortWake.wait_for(lock, std::chrono::milliseconds(timeoutMilliseconds),
                                 [&] { return m_abortGeneration != generation; });
        return {aborted ? TransferStatus::Cancelled : TransferStatus::TimedOut, 0};
    }
    m_moved += length;
    if (endpoint == 0x82) {
        const int n = int(qMin<qsizetype>(length, readData.size() - m_readPos));
        if (n > 0)
            std::memcpy(buffer, readData.constData() + m_readPos, n);
        m_readPos += qMax(0, n);
        return {TransferStatus::Completed, qMax(0, n)};
    }
    written.append(reinterpret_cast<const char *>(buffer), length);
    return {TransferStatus::Completed, length};
}
