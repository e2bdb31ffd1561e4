#pragma once

#include "device/UsbBackend.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <thread>

struct libusb_context;
struct libusb_device_handle;
struct libusb_transfer;

// The mixer on real hardware through libusb-1.0. It looks for the first
// device with the configured vendor and product ids, claims its interfaces
// exclusively, and runs libusb's event handling on a thread of its own: that
// thread completes the asynchronous bulk and interrupt transfers (so that
// abortPipe() can cancel one) and receives the hot-plug callbacks, which are
// handed to this object's thread as deviceArrived / deviceRemoved.
// Every request that uses the device handle (control, bulk and interrupt)
// counts as in flight while it does; close() refuses new requests, cancels the
// asynchronous ones and closes the handle only once none is in flight.
class LibUsbBackend : public UsbBackend
{
    Q_OBJECT

public:
    static constexpr int kControlTimeoutMs = 1000;
    static constexpr int kCloseWaitMs = 2000;

    LibUsbBackend(std::uint16_t vendorId, std::uint16_t productId, QObject *parent = nullptr);
    ~LibUsbBackend() override;

    // Whether libusb could be initialised (no USB access at all otherwise).
    bool isUsable() const { return m_context != nullptr; }
    bool hasHotplug() const { return m_hotplugRegistered; }
    std::uint16_t vendorId() const { return m_vendorId; }
    std::uint16_t productId() const { return m_productId; }

    bool open() override;
    void close() override;
    bool isOpen() const override;
    QString devicePath() const override;
    bool devicePresent() override;

    int getDescriptor(int selector, std::uint8_t *buffer, int length) override;
    bool vendorIn(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                  std::uint8_t *buffer, std::uint16_t length) override;
    bool vendorOut(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                   const std::uint8_t *data, std::uint16_t length) override;
    bool resetDevice() override;

    bool openPipe(int interfaceNumber, std::uint8_t endpoint) override;
    bool closePipe(std::uint8_t endpoint) override;
    bool abortPipe(std::uint8_t endpoint) override;
    bool resetPipe(std::uint8_t endpoint) override;
    TransferResult transfer(std::uint8_t endpoint, std::uint8_t *buffer, int length,
                            int timeoutMilliseconds) override;

    // Called on the event thread by the hot-plug callback.
    void deliverHotplug(bool arrived);

private:
    struct Pending
    {
        libusb_transfer *transfer = nullptr;
        LibUsbBackend *owner = nullptr;
        bool done = false;
    };

    // A request's hold on the open device handle (null when the device is
    // closed or closing); close() waits until every hold has ended.
    class Use
    {
    public:
        explicit Use(LibUsbBackend &backend);
        ~Use();
        Use(const Use &) = delete;
        Use &operator=(const Use &) = delete;
        libusb_device_handle *handle() const { return m_handle; }

    private:
        LibUsbBackend &m_backend;
        libusb_device_handle *m_handle;
    };

    static void transferCallback(libusb_transfer *transfer);
    void eventLoop();
    void cancelAllLocked();
    libusb_device_handle *handle() const;

    std::uint16_t m_vendorId;
    std::uint16_t m_productId;
    libusb_context *m_context = nullptr;
    std::thread m_eventThread;
    std::atomic<bool> m_stopping{false};
    bool m_hotplugRegistered = false;
    int m_hotplugHandle = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_completed;
    libusb_device_handle *m_handle = nullptr;
    bool m_closing = false;
    int m_inFlight = 0; // requests using m_handle
    QString m_path;
    std::set<int> m_claimed;
    std::map<std::uint8_t, int> m_endpointTypes; // endpoint address -> transfer type
    std::set<std::uint8_t> m_openPipes;
    std::map<std::uint8_t, Pending *> m_pending;
};
