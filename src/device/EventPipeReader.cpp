#include "device/EventPipeReader.h"

#include "device/PipeChannel.h"
#include "device/UsbBackend.h"

void EventPipeReader::read(quint64 generation, int timeoutMilliseconds)
{
    QByteArray data(kReadSize, '\0');
    const TransferResult result = m_pipe.transfer(reinterpret_cast<std::uint8_t *>(data.data()),
                                                  kReadSize, timeoutMilliseconds);
    // A short read is a complete answer on an interrupt pipe.
    const bool ok = result.status == TransferStatus::Completed;
    data.truncate(qBound(0, result.transferred, int(kReadSize)));
    emit readDone(generation, data, ok);
}
