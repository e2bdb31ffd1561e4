#include "device/LibUsbBackend.h"

#include "core/HandOverOrder.h"
#include "core/ThreadSanitizer.h"
#include "device/DeviceLogging.h"

#include <QMetaObject>
#include <chrono>
#include <libusb.h>

namespace {

int LIBUSB_CALL onHotplug(libusb_context *, libusb_device *, libusb_hotplug_event event,
                          void *userData)
{
    static_cast<LibUsbBackend *>(userData)->deliverHotplug(event ==
                                                           LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED);
    return 0; // stay registered
}

TransferStatus statusOf(int libusbStatus)
{
    switch (libusbStatus) {
    case LIBUSB_TRANSFER_COMPLETED:
        return TransferStatus::Completed;
    case LIBUSB_TRANSFER_TIMED_OUT:
        return TransferStatus::TimedOut;
    case LIBUSB_TRANSFER_CANCELLED:
        return TransferStatus::Cancelled;
    case LIBUSB_TRANSFER_STALL:
        return TransferStatus::Stalled;
    case LIBUSB_TRANSFER_NO_DEVICE:
        return TransferStatus::NoDevice;
    default:
        return TransferStatus::Error;
    }
}

constexpr std::uint8_t kStandardIn = 0x80; // device to host, standard, device recipient
constexpr std::uint8_t kVendorIn = 0xC0;   // device to host, vendor, device recipient
constexpr std::uint8_t kVendorOut = 0x40;  // host to device, vendor, device recipient

bool matches(libusb_device *device, std::uint16_t vendorId, std::uint16_t productId)
{
    libusb_device_descriptor descriptor{};
    return libusb_get_device_descriptor(device, &descriptor) == 0 &&
           descriptor.idVendor == vendorId && descriptor.idProduct == productId;
}

} // namespace

LibUsbBackend::LibUsbBackend(std::uint16_t vendorId, std::uint16_t productId, QObject *parent)
    : UsbBackend(parent), m_vendorId(vendorId), m_productId(productId)
{
    if (libusb_init(&m_context) != 0) {
        qCWarning(lcDevice) << "libusb could not be initialised";
        m_context = nullptr;
        return;
    }
    if (libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG)) {
        libusb_hotplug_callback_handle handle = 0;
        const int rc = libusb_hotplug_register_callback(
            m_context,
            libusb_hotplug_event(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED |
                                 LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
            libusb_hotplug_flag(0), vendorId, productId, LIBUSB_HOTPLUG_MATCH_ANY, onHotplug, this,
            &handle);
        m_hotplugRegistered = rc == LIBUSB_SUCCESS;
        m_hotplugHandle = handle;
    }
    m_eventThread = std::thread([this] { eventLoop(); });
}

LibUsbBackend::~LibUsbBackend()
{
    close();
    if (!m_context)
        return;
    if (m_hotplugRegistered)
        libusb_hotplug_deregister_callback(m_context, m_hotplugHandle);
    m_stopping = true;
    libusb_interrupt_event_handler(m_context);
    if (m_eventThread.joinable())
        m_eventThread.join();
    libusb_exit(m_context);
}

void LibUsbBackend::eventLoop()
{
    while (!m_stopping) {
        timeval tv{0, 100000};
        libusb_handle_events_timeout_completed(m_context, &tv, nullptr);
    }
}

void LibUsbBackend::deliverHotplug(bool arrived)
{
    postCall(*this, [this, arrived] {
        if (arrived)
            emit deviceArrived();
        else
            emit deviceRemoved();
    });
}

libusb_device_handle *LibUsbBackend::handle() const
{
    std::lock_guard lock(m_mutex);
    return m_handle;
}

LibUsbBackend::Use::Use(LibUsbBackend &backend) : m_backend(backend)
{
    std::lock_guard lock(backend.m_mutex);
    m_handle = backend.m_closing ? nullptr : backend.m_handle;
    if (m_handle)
        ++backend.m_inFlight;
}

LibUsbBackend::Use::~Use()
{
    if (!m_handle)
        return;
    {
        std::lock_guard lock(m_backend.m_mutex);
        --m_backend.m_inFlight;
    }
    m_backend.m_completed.notify_all();
}

bool LibUsbBackend::devicePresent()
{
    if (!m_context)
        return false;
    libusb_device **list = nullptr;
    const ssize_t count = libusb_get_device_list(m_context, &list);
    bool found = false;
    for (ssize_t i = 0; i < count && !found; ++i)
        found = matches(list[i], m_vendorId, m_productId);
    if (count >= 0)
        libusb_free_device_list(list, 1);
    return found;
}

bool LibUsbBackend::open()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_context || m_handle || m_closing)
            return false;
    }
    libusb_device **list = nullptr;
    const ssize_t count = libusb_get_device_list(m_context, &list);
    if (count < 0)
        return false;
    libusb_device *device = nullptr;
    for (ssize_t i = 0; i < count && !device; ++i) {
        if (matches(list[i], m_vendorId, m_productId))
            device = list[i];
    }
    libusb_device_handle *h = nullptr;
    int rc = device ? libusb_open(device, &h) : LIBUSB_ERROR_NO_DEVICE;
    std::set<int> claimed;
    std::map<std::uint8_t, int> types;
    if (rc == 0) {
        libusb_set_auto_detach_kernel_driver(h, 1);
        libusb_config_descriptor *config = nullptr;
        rc = libusb_get_active_config_descriptor(device, &config);
        if (rc == 0) {
            // Exclusive access: every interface of the configuration is ours.
            for (int i = 0; i < config->bNumInterfaces && rc == 0; ++i) {
                if (config->interface[i].num_altsetting < 1)
                    continue;
                const libusb_interface_descriptor &alt = config->interface[i].altsetting[0];
                rc = libusb_claim_interface(h, alt.bInterfaceNumber);
                if (rc == 0)
                    claimed.insert(alt.bInterfaceNumber);
                for (int e = 0; e < alt.bNumEndpoints; ++e)
                    types[alt.endpoint[e].bEndpointAddress] = alt.endpoint[e].bmAttributes & 3;
            }
            libusb_free_config_descriptor(config);
        }
        if (rc != 0) {
            for (int number : claimed)
                libusb_release_interface(h, number);
            libusb_close(h);
            h = nullptr;
        }
    }
    QString path;
    if (h)
        path = QStringLiteral("usb:%1:%2")
                   .arg(libusb_get_bus_number(device), 3, 10, QLatin1Char('0'))
                   .arg(libusb_get_device_address(device), 3, 10, QLatin1Char('0'));
    libusb_free_device_list(list, 1);
    if (!h) {
        qCInfo(lcDevice) << "libusb open failed:" << libusb_error_name(rc);
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_handle = h;
    m_path = path;
    m_claimed = claimed;
    m_endpointTypes = types;
    m_openPipes.clear();
    return true;
}

void LibUsbBackend::cancelAllLocked()
{
    for (auto &entry : m_pending)
        libusb_cancel_transfer(entry.second->transfer);
}

void LibUsbBackend::close()
{
    std::unique_lock lock(m_mutex);
    if (!m_handle || m_closing)
        return;
    // From here on no request starts; those in flight end (the asynchronous
    // ones cancelled, control requests by their time-out at the latest).
    m_closing = true;
    cancelAllLocked();
    const bool stuck = !m_completed.wait_for(lock, std::chrono::milliseconds(kCloseWaitMs),
                                             [this] { return m_inFlight == 0; });
    libusb_device_handle *h = m_handle;
    const std::set<int> claimed = m_claimed;
    m_closing = false;
    m_handle = nullptr;
    m_path.clear();
    m_claimed.clear();
    m_openPipes.clear();
    m_endpointTypes.clear();
    lock.unlock();
    for (int number : claimed)
        libusb_release_interface(h, number);
    // A request that never came back still uses the handle; leave it open
    // rather than free what libusb may yet touch.
    if (!stuck)
        libusb_close(h);
    else
        qCWarning(lcDevice) << "device closed with requests still in flight";
}

bool LibUsbBackend::isOpen() const
{
    return handle() != nullptr;
}

QString LibUsbBackend::devicePath() const
{
    std::lock_guard lock(m_mutex);
    return m_path;
}

int LibUsbBackend::getDescriptor(int selector, std::uint8_t *buffer, int length)
{
    if (!buffer || length < 0 || length > 0xFFFF ||
        (selector != LIBUSB_DT_DEVICE && selector != LIBUSB_DT_CONFIG))
        return -1;
    const Use use(*this);
    if (!use.handle())
        return -1;
    const int rc = libusb_control_transfer(use.handle(), kStandardIn, LIBUSB_REQUEST_GET_DESCRIPTOR,
                                           std::uint16_t(selector << 8), 0, buffer,
                                           std::uint16_t(length), kControlTimeoutMs);
    return rc < 0 ? -1 : rc;
}

bool LibUsbBackend::vendorIn(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                             std::uint8_t *buffer, std::uint16_t length)
{
    const Use use(*this);
    if (!use.handle() || (length && !buffer))
        return false;
    return libusb_control_transfer(use.handle(), kVendorIn, request, value, index, buffer, length,
                                   kControlTimeoutMs) >= 0;
}

bool LibUsbBackend::vendorOut(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                              const std::uint8_t *data, std::uint16_t length)
{
    const Use use(*this);
    if (!use.handle() || (length && !data))
        return false;
    return libusb_control_transfer(use.handle(), kVendorOut, request, value, index,
                                   const_cast<std::uint8_t *>(data), length,
                                   kControlTimeoutMs) >= 0;
}

bool LibUsbBackend::resetDevice()
{
    const Use use(*this);
    return use.handle() && libusb_reset_device(use.handle()) == 0;
}

bool LibUsbBackend::openPipe(int interfaceNumber, std::uint8_t endpoint)
{
    std::lock_guard lock(m_mutex);
    if (!m_handle || !m_claimed.count(interfaceNumber) || !m_endpointTypes.count(endpoint))
        return false;
    return m_openPipes.insert(endpoint).second;
}

bool LibUsbBackend::closePipe(std::uint8_t endpoint)
{
    std::unique_lock lock(m_mutex);
    if (!m_openPipes.count(endpoint))
        return false;
    auto it = m_pending.find(endpoint);
    if (it != m_pending.end()) {
        libusb_cancel_transfer(it->second->transfer);
        m_completed.wait_for(lock, std::chrono::milliseconds(kCloseWaitMs),
                             [this, endpoint] { return !m_pending.count(endpoint); });
    }
    m_openPipes.erase(endpoint);
    return true;
}

bool LibUsbBackend::abortPipe(std::uint8_t endpoint)
{
    std::lock_guard lock(m_mutex);
    if (!m_openPipes.count(endpoint))
        return false;
    auto it = m_pending.find(endpoint);
    if (it != m_pending.end()) {
        const int rc = libusb_cancel_transfer(it->second->transfer);
        return rc == 0 || rc == LIBUSB_ERROR_NOT_FOUND;
    }
    return true;
}

bool LibUsbBackend::resetPipe(std::uint8_t endpoint)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_openPipes.count(endpoint))
            return false;
    }
    const Use use(*this);
    return use.handle() && libusb_clear_halt(use.handle(), endpoint) == 0;
}

void LibUsbBackend::transferCallback(libusb_transfer *transfer)
{
    // The transfer came here through libusb and the kernel.
    handOverTaken(transfer);
    auto *pending = static_cast<Pending *>(transfer->user_data);
    LibUsbBackend *self = pending->owner;
    {
        std::lock_guard lock(self->m_mutex);
        pending->done = true;
    }
    self->m_completed.notify_all();
}

TransferResult LibUsbBackend::transfer(std::uint8_t endpoint, std::uint8_t *buffer, int length,
                                       int timeoutMilliseconds)
{
    if (length < 0 || (length > 0 && !buffer))
        return {TransferStatus::Error, 0};
    std::unique_lock lock(m_mutex);
    if (!m_handle || m_closing)
        return {TransferStatus::NoDevice, 0};
    if (!m_openPipes.count(endpoint) || m_pending.count(endpoint))
        return {TransferStatus::Error, 0};
    const int type = m_endpointTypes[endpoint];
    libusb_transfer *t = libusb_alloc_transfer(0);
    if (!t)
        return {TransferStatus::Error, 0};
    Pending pending;
    pending.transfer = t;
    pending.owner = this;
    const unsigned timeout = timeoutMilliseconds < 0 ? 0u : unsigned(qMax(1, timeoutMilliseconds));
    if (type == LIBUSB_TRANSFER_TYPE_INTERRUPT)
        libusb_fill_interrupt_transfer(t, m_handle, endpoint, buffer, length, transferCallback,
                                       &pending, timeout);
    else
        libusb_fill_bulk_transfer(t, m_handle, endpoint, buffer, length, transferCallback, &pending,
                                  timeout);
    handOverGiven(t);
    const int rc = libusb_submit_transfer(t);
    if (rc != 0) {
        libusb_free_transfer(t);
        return {rc == LIBUSB_ERROR_NO_DEVICE ? TransferStatus::NoDevice : TransferStatus::Error, 0};
    }
    m_pending[endpoint] = &pending;
    ++m_inFlight;
    m_completed.wait(lock, [&pending] { return pending.done; });
    m_pending.erase(endpoint);
    --m_inFlight;
    const TransferResult result{statusOf(t->status), t->actual_length};
    libusb_free_transfer(t);
    lock.unlock();
    m_completed.notify_all();
    return result;
}
