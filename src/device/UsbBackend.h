#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

// How a bulk or interrupt transfer ended.
enum class TransferStatus {
    Completed, // the whole length moved, or the device ended the transfer short
    TimedOut,  // the time-out passed; `transferred` says what moved before it
    Cancelled, // abortPipe() or close() cancelled it
    Stalled,   // the endpoint halted
    NoDevice,  // the device went away
    Error,     // any other failure
};

struct TransferResult
{
    TransferStatus status = TransferStatus::Error;
    int transferred = 0;
    bool ok() const { return status == TransferStatus::Completed; }
};

// The one seam between the program and a USB mixer: real hardware through
// libusb, or the virtual mixer in-process. All calls but the transfers are
// quick; transfer() blocks its calling thread up to the time-out, and
// abortPipe() from another thread ends it early. Implementations are
// thread-safe: the user-interface thread, the bulk worker and the auto-load
// threads call them concurrently.
class UsbBackend : public QObject
{
    Q_OBJECT

public:
    explicit UsbBackend(QObject *parent = nullptr) : QObject(parent) {}
    ~UsbBackend() override = default;

    // Opens the first matching device and claims its vendor interface.
    virtual bool open() = 0;
    // Closes pipes and device; pending transfers end as Cancelled. Waits for them at most 2 s.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // A human-readable name of the opened device (bus and address, or "virtual").
    virtual QString devicePath() const = 0;
    // Whether a matching device is present now (used by the removal probe).
    virtual bool devicePresent() = 0;

    // Standard GET_DESCRIPTOR: selector 1 = device, 2 = configuration. Returns the
    // number of bytes the device returned (at most `length`), or -1 on failure.
    virtual int getDescriptor(int selector, std::uint8_t *buffer, int length) = 0;
    // Vendor-type, device-recipient control transfers.
    virtual bool vendorIn(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                          std::uint8_t *buffer, std::uint16_t length) = 0;
    virtual bool vendorOut(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                           const std::uint8_t *data, std::uint16_t length) = 0;
    // Port reset of the device.
    virtual bool resetDevice() = 0;

    // Pipes are addressed by interface number and endpoint address (0x81 = IN 1 ...).
    virtual bool openPipe(int interfaceNumber, std::uint8_t endpoint) = 0;
    virtual bool closePipe(std::uint8_t endpoint) = 0;
    // Cancels the pending transfer on the endpoint, if any.
    virtual bool abortPipe(std::uint8_t endpoint) = 0;
    // Clears a halt on the endpoint.
    virtual bool resetPipe(std::uint8_t endpoint) = 0;
    // A bulk or interrupt transfer (by the endpoint's type) in the endpoint's direction.
    virtual TransferResult transfer(std::uint8_t endpoint, std::uint8_t *buffer, int length,
                                    int timeoutMilliseconds) = 0;

signals:
    // Device-change notifications, delivered on the thread this object lives in.
    void deviceArrived();
    void deviceRemoved();
};
