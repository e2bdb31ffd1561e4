#include "device/EventPipeReader.h"

#include "core/HandOverOrder.h"
#include "device/PipeChannel.h"
#include "device/UsbBackend.h"

EventPipeReader::EventPipeReader(PipeChannel &pipe, QObject &receiver, Answer answer)
    : m_pipe(pipe), m_receiver(receiver), m_answer(std::move(answer)), m_thread([this] { run(); })
{}

EventPipeReader::~EventPipeReader()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void EventPipeReader::read(quint64 generation, int timeoutMilliseconds)
{
    {
        std::lock_guard lock(m_mutex);
        m_request = Request{generation, timeoutMilliseconds};
    }
    m_wake.notify_all();
}

void EventPipeReader::run()
{
    while (true) {
        Request request;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || m_request; });
            if (m_stop)
                return;
            request = *std::exchange(m_request, std::nullopt);
        }
        QByteArray data(kReadSize, '\0');
        const TransferResult result = m_pipe.transfer(reinterpret_cast<std::uint8_t *>(data.data()),
                                                      kReadSize, request.timeoutMilliseconds);
        // A short read is a complete answer on an interrupt pipe.
        const bool ok = result.status == TransferStatus::Completed;
        data.truncate(qBound(0, result.transferred, int(kReadSize)));
        postCall(m_receiver, [answer = m_answer, generation = request.generation, data, ok] {
            answer(generation, data, ok);
        });
    }
}
