#include "device/PipeChannel.h"

#include "device/DeviceLink.h"
#include "device/UsbBackend.h"

PipeChannel::PipeChannel(DeviceLink &link, Access access, bool overlapped)
    : m_link(link), m_access(access), m_overlapped(overlapped)
{}

void PipeChannel::logResult(bool ok, const char *operation)
{
    m_link.Log(
        QStringLiteral("%1 : %2  Interface %3  Pipe %4")
            .arg(ok ? QLatin1String("Success") : QLatin1String("Error"), QLatin1String(operation))
            .arg(m_interface)
            .arg(m_pipe));
}

bool PipeChannel::Open(int interfaceNumber, int pipe, std::uint8_t endpoint)
{
    if (m_open)
        return false;
    m_interface = interfaceNumber;
    m_pipe = pipe;
    m_endpoint = endpoint;
    UsbBackend *backend = m_link.backend();
    m_backend = backend;
    const bool ok = backend && m_link.isOpen() && backend->openPipe(interfaceNumber, endpoint);
    m_open = ok;
    logResult(ok, "Open");
    // Bulk pipes start from a clean endpoint state.
    if (ok && m_overlapped)
        Reset();
    return ok;
}

bool PipeChannel::Close()
{
    if (!m_open)
        return false;
    UsbBackend *backend = m_link.backend();
    const bool ok = backend && backend->closePipe(m_endpoint.load());
    if (ok)
        m_open = false;
    logResult(ok, "Close");
    return ok;
}

bool PipeChannel::Abort()
{
    if (!m_open)
        return false;
    UsbBackend *backend = m_link.backend();
    const bool ok = backend && backend->abortPipe(m_endpoint);
    logResult(ok, "Abort");
    return ok;
}

bool PipeChannel::Reset()
{
    if (!m_open)
        return false;
    UsbBackend *backend = m_link.backend();
    const bool ok = backend && backend->resetPipe(m_endpoint);
    logResult(ok, "Reset");
    return ok;
}

TransferResult PipeChannel::transfer(std::uint8_t *buffer, int length, int timeoutMilliseconds)
{
    UsbBackend *backend = m_backend.load();
    if (!m_open || !backend)
        return TransferResult{TransferStatus::NoDevice, 0};
    return backend->transfer(m_endpoint, buffer, length, timeoutMilliseconds);
}
