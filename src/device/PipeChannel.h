#pragma once

#include <atomic>
#include <cstdint>

class DeviceLink;
class UsbBackend;
struct TransferResult;

// One data endpoint of the mixer (event, read or write pipe). The pipe number
// is the endpoint's position inside its interface as found by the descriptor
// walk; the backend addresses it by the endpoint address. Every operation
// writes one line to the link log.
class PipeChannel
{
public:
    enum class Access { Read, Write };

    PipeChannel(DeviceLink &link, Access access, bool overlapped);
    PipeChannel(const PipeChannel &) = delete;
    PipeChannel &operator=(const PipeChannel &) = delete;

    bool Open(int interfaceNumber, int pipe, std::uint8_t endpoint);
    bool Close();
    bool Abort();
    bool Reset();

    // Moves data through the open pipe (the caller's thread blocks up to the
    // time-out). Any thread: it reads only what Open set, never the link, and
    // the backend outlives the link.
    TransferResult transfer(std::uint8_t *buffer, int length, int timeoutMilliseconds);

    bool isOpen() const { return m_open.load(); }
    int Interface() const { return m_interface; }
    int Pipe() const { return m_pipe; }
    std::uint8_t endpoint() const { return m_endpoint.load(); }
    Access access() const { return m_access; }
    bool Overlapped() const { return m_overlapped; }

private:
    void logResult(bool ok, const char *operation);

    DeviceLink &m_link;
    Access m_access;
    bool m_overlapped;
    std::atomic<bool> m_open{false};
    int m_interface = 0;
    int m_pipe = 0;
    std::atomic<std::uint8_t> m_endpoint{0};
    std::atomic<UsbBackend *> m_backend{nullptr}; // the link's backend, as of the last Open
};
