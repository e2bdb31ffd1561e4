#pragma once

#include "device/UsbBackend.h"
#include "mixer/MixerDescriptors.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

// A scripted mixer for the device-link tests: it records every call that
// crosses the seam and answers from what the test set up. Transfers can be
// made to stall (until the time-out or an abort) to exercise the worker.
class FakeUsbBackend : public UsbBackend
{
    Q_OBJECT

public:
    struct VendorCall
    {
        bool in;
        int request;
        int value;
        int index;
        int length;
        QByteArray payload;
    };

    // Set-up.
    bool present = true;
    bool openFails = false;
    // Interrupt in 0x81, bulk in 0x82, bulk out 0x02.
    QByteArray deviceDescriptor = MixerDescriptors::device();
    QByteArray configDescriptor = MixerDescriptors::configuration();
    int shortConfigBy = 0; // the full configuration read returns this many bytes fewer
    bool resetFails = false;
    QList<std::uint8_t> failingPipeOpens;
    // Replies to vendor-in requests by request code, one per call; the last one
    // stays. Requests without replies answer status 2.
    QMap<int, QList<QByteArray>> replies;
    std::function<bool(int request)> failRequest;
    // Bytes answered on the event pipe, one entry per read.
    QList<QByteArray> eventReads;
    // Bulk: the data read from the read pipe, and what was written.
    QByteArray readData;
    QByteArray written;
    // Gated: bulk pieces wait until the test releases them (releasePieces).
    bool gated = false;
    void releasePieces(int count);
    // After this many bytes a bulk piece stalls (until time-out or abort); -1 never.
    int stallAfter = -1;

    // Record.
    QList<VendorCall> vendorCalls;
    QList<int> transferLengths;
    QStringList calls;
    std::atomic<int> resets{0};
    int opens = 0;
    std::atomic<int> aborts{0};

    bool open() override;
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    QString devicePath() const override { return QStringLiteral("fake"); }
    bool devicePresent() override { return present; }
    int getDescriptor(int selector, std::uint8_t *buffer, int length) override;
    bool vendorIn(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                  std::uint8_t *buffer, std::uint16_t length) override;
    bool vendorOut(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                   const std::uint8_t *data, std::uint16_t length) override;
    bool resetDevice() override;
    bool openPipe(int interfaceNumber, std::uint8_t endpoint) override;
    bool closePipe(std::uint8_t) override { return true; }
    bool abortPipe(std::uint8_t endpoint) override;
    bool resetPipe(std::uint8_t endpoint) override
    {
        calls << QStringLiteral("resetPipe 0x%1").arg(endpoint, 0, 16);
        return true;
    }
    TransferResult transfer(std::uint8_t endpoint, std::uint8_t *buffer, int length,
                            int timeoutMilliseconds) override;

    void arrive() { emit deviceArrived(); }
    void remove() { emit deviceRemoved(); }

private:
    bool m_open = false;
    std::mutex m_mutex;
    std::recursive_mutex m_recordMutex; // vendor requests may come from several threads
    std::condition_variable m_abortWake;
    quint64 m_abortGeneration = 0;
    qsizetype m_readPos = 0;
    qsizetype m_moved = 0;
    int m_released = 0;
    int m_pieces = 0;
};
