// GLib headers name a struct member "signals": include them before Qt's keywords.
#include <umockdev.h>

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include "link/UsbdevfsMixerHarness.h"

#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerIds.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr int kSliceMs = 50; // a blocked transfer looks for discards this often
constexpr int kSetupSize = 8;

QByteArray hex(const QByteArray &bytes)
{
    return bytes.toHex();
}

int errnoFor(TransferStatus status)
{
    switch (status) {
    case TransferStatus::Completed:
        return 0;
    case TransferStatus::Cancelled:
        return -ENOENT;
    case TransferStatus::Stalled:
        return -EPIPE;
    case TransferStatus::NoDevice:
        return -ENODEV;
    case TransferStatus::TimedOut:
    case TransferStatus::Error:
        break;
    }
    return -EPROTO;
}

} // namespace

struct UsbdevfsMixerHarness::Urb
{
    UMockdevIoctlData *data = nullptr; // the client's usbdevfs_urb (a local copy)
    unsigned long clientAddress = 0;
    std::uint8_t type = 0;
    std::uint8_t endpoint = 0;
    std::uint8_t *buffer = nullptr; // the client's buffer (same address space)
    int length = 0;
    int actual = 0;
    int status = 0;
    std::atomic<bool> discarded{false};
    QByteArray controlReply; // IN data of a control URB, copied at reap

    ~Urb()
    {
        if (data)
            umockdev_ioctl_data_unref(data);
    }
};

bool UsbdevfsMixerHarness::mockEnvironment()
{
    // umockdev's own check looks for a path in LD_PRELOAD; umockdev-wrapper preloads by name.
    return umockdev_in_mock_environment() ||
           qEnvironmentVariable("LD_PRELOAD").contains(QLatin1String("libumockdev-preload"));
}

UsbdevfsMixerHarness::UsbdevfsMixerHarness(VirtualMixer &mixer) : m_mixer(mixer)
{
    m_testbed = umockdev_testbed_new();
    m_handler = umockdev_ioctl_base_new();
    g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(&UsbdevfsMixerHarness::onIoctl), this);
    m_devnode = QStringLiteral("/dev/bus/usb/001/002");
    for (std::uint8_t address : {VirtualMixerIds::EventEndpoint, VirtualMixerIds::ReadEndpoint,
                                 VirtualMixerIds::WriteEndpoint}) {
        auto worker = std::make_unique<EndpointWorker>();
        worker->address = address;
        m_workers.push_back(std::move(worker));
    }
    for (std::size_t i = 0; i < m_workers.size(); ++i)
        m_workers[i]->thread = std::thread([this, i] { endpointLoop(int(i)); });
    // A device that drops off the bus by itself (an injected fault) leaves udev too.
    m_listenerId = m_mixer.addListener([this](VirtualMixer::Change change) {
        if (change == VirtualMixer::Change::Unplugged && m_plugged)
            removeFromBus();
    });
    if (m_mixer.isPlugged())
        addToBus();
}

UsbdevfsMixerHarness::~UsbdevfsMixerHarness()
{
    m_mixer.removeListener(m_listenerId);
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (auto &worker : m_workers) {
        m_mixer.abortEndpoint(worker->address);
        worker->thread.join();
    }
    if (m_plugged)
        removeFromBus();
    unplugBystander();
    g_object_unref(m_handler);
    g_object_unref(m_testbed);
}

void UsbdevfsMixerHarness::plug()
{
    m_mixer.plug();
    if (!m_plugged)
        addToBus();
}

void UsbdevfsMixerHarness::unplug()
{
    m_mixer.unplug(); // the listener takes the device off the bus
    if (m_plugged)
        removeFromBus();
}

QByteArray UsbdevfsMixerHarness::description(int port, int devnum) const
{
    const QByteArray descriptors =
        hex(m_mixer.deviceDescriptor() + m_mixer.configurationDescriptor());
    const QByteArray dev = QByteArray::number(devnum).rightJustified(3, '0');
    const QByteArray vendor = QByteArray::number(VirtualMixerIds::VendorId, 16);
    const QByteArray product = QByteArray::number(VirtualMixerIds::ProductId, 16);
    return "P: /devices/pci0000:00/usb1/1-" + QByteArray::number(port) + "\n" + "N: bus/usb/001/" +
           dev + "\n" + "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n" +
           "E: DRIVER=usb\nE: BUSNUM=001\nE: DEVNUM=" + dev + "\n" +
           "E: DEVNAME=/dev/bus/usb/001/" + dev + "\n" + "E: PRODUCT=" + vendor + "/" + product +
           "/100\n" + "A: busnum=1\\n\nA: devnum=" + QByteArray::number(devnum) +
           "\\n\nA: speed=480\\n\nA: bConfigurationValue=1\\n\n" + "A: idVendor=" + vendor +
           "\\n\n" + "A: idProduct=" + product + "\\n\n" + "H: descriptors=" + descriptors + "\n";
}

bool UsbdevfsMixerHarness::addDevice(const QString &devnode, int port, int devnum, bool announce)
{
    GError *error = nullptr;
    umockdev_testbed_attach_ioctl(m_testbed, qPrintable(devnode), m_handler, &error);
    if (error) {
        qWarning("attach_ioctl: %s", error->message);
        g_clear_error(&error);
    }
    if (!umockdev_testbed_add_from_string(m_testbed, description(port, devnum).constData(),
                                          &error)) {
        qWarning("add_from_string: %s", error ? error->message : "?");
        g_clear_error(&error);
        return false;
    }
    if (announce)
        umockdev_testbed_uevent(m_testbed, qPrintable(sysPath(port)), "add");
    return true;
}

void UsbdevfsMixerHarness::removeDevice(const QString &devnode, int port)
{
    umockdev_testbed_uevent(m_testbed, qPrintable(sysPath(port)), "remove");
    umockdev_testbed_remove_device(m_testbed, qPrintable(sysPath(port)));
    GError *error = nullptr;
    umockdev_testbed_detach_ioctl(m_testbed, qPrintable(devnode), &error);
    g_clear_error(&error);
}

QString UsbdevfsMixerHarness::sysPath(int port)
{
    return QStringLiteral("/sys/devices/pci0000:00/usb1/1-%1").arg(port);
}

void UsbdevfsMixerHarness::addToBus()
{
    // Announced with a uevent: whoever already listens (libusb's hot-plug
    // thread) learns of it; a later enumeration finds it in sysfs anyway.
    if (addDevice(m_devnode, 1, 2, true))
        m_plugged = true;
}

void UsbdevfsMixerHarness::plugBystander()
{
    if (!m_bystander)
        m_bystander = addDevice(QStringLiteral("/dev/bus/usb/001/003"), 2, 3, true);
}

void UsbdevfsMixerHarness::unplugBystander()
{
    if (m_bystander)
        removeDevice(QStringLiteral("/dev/bus/usb/001/003"), 2);
    m_bystander = false;
}

void UsbdevfsMixerHarness::removeFromBus()
{
    if (!m_plugged.exchange(false))
        return;
    removeDevice(m_devnode, 1);
}

int UsbdevfsMixerHarness::onIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, void *self)
{
    return static_cast<UsbdevfsMixerHarness *>(self)->handleIoctl(client);
}

bool UsbdevfsMixerHarness::handleIoctl(UMockdevIoctlClient *client)
{
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    const bool present = m_mixer.isPlugged();

    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData *d = umockdev_ioctl_data_resolve(arg, 0, sizeof(std::uint32_t), nullptr);
        const std::uint32_t caps = USBDEVFS_CAP_BULK_CONTINUATION |
                                   USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                   USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
        std::memcpy(d->data, &caps, sizeof caps);
        umockdev_ioctl_data_unref(d);
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    case USBDEVFS_GETDRIVER:
        umockdev_ioctl_client_complete(client, -1, ENODATA); // no kernel driver bound
        return true;
    case USBDEVFS_GET_SPEED:
        umockdev_ioctl_client_complete(client, 3 /* high speed */, 0);
        return true;
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_RELEASEINTERFACE:
    case USBDEVFS_DISCONNECT_CLAIM:
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_IOCTL:
        umockdev_ioctl_client_complete(client, present ? 0 : -1, present ? 0 : ENODEV);
        return true;
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP: {
        UMockdevIoctlData *d = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned int), nullptr);
        unsigned int endpoint = 0;
        std::memcpy(&endpoint, d->data, sizeof endpoint);
        umockdev_ioctl_data_unref(d);
        if (present)
            m_mixer.clearHalt(std::uint8_t(endpoint));
        umockdev_ioctl_client_complete(client, present ? 0 : -1, present ? 0 : ENODEV);
        return true;
    }
    case USBDEVFS_RESET:
        if (present) {
            ++m_resets;
            m_mixer.resetPort();
        }
        umockdev_ioctl_client_complete(client, present ? 0 : -1, present ? 0 : ENODEV);
        return true;
    case USBDEVFS_SUBMITURB:
        submit(client);
        return true;
    case USBDEVFS_DISCARDURB: {
        unsigned long address = 0;
        std::memcpy(&address, arg->data, sizeof address);
        std::shared_ptr<Urb> found;
        {
            std::lock_guard lock(m_mutex);
            for (auto &worker : m_workers) {
                for (auto it = worker->queue.begin(); it != worker->queue.end(); ++it) {
                    if ((*it)->clientAddress == address) {
                        found = *it;
                        worker->queue.erase(it);
                        found->status = -ENOENT;
                        m_done.push_back(found);
                        break;
                    }
                }
                if (!found && worker->running && worker->running->clientAddress == address) {
                    found = worker->running;
                    found->discarded = true;
                    m_mixer.abortEndpoint(worker->address);
                }
                if (found)
                    break;
            }
        }
        if (found)
            ++m_discarded;
        umockdev_ioctl_client_complete(client, found ? 0 : -1, found ? 0 : EINVAL);
        return true;
    }
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: {
        std::shared_ptr<Urb> urb;
        {
            std::lock_guard lock(m_mutex);
            if (!m_done.empty()) {
                urb = m_done.front();
                m_done.pop_front();
            }
        }
        if (!urb) {
            umockdev_ioctl_client_complete(client, -1, present ? EAGAIN : ENODEV);
            return true;
        }
        auto *kernelUrb = reinterpret_cast<usbdevfs_urb *>(urb->data->data);
        if (!urb->controlReply.isEmpty())
            std::memcpy(urb->buffer + kSetupSize, urb->controlReply.constData(),
                        urb->controlReply.size());
        kernelUrb->status = urb->status;
        kernelUrb->actual_length = urb->actual;
        UMockdevIoctlData *slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void *), nullptr);
        umockdev_ioctl_data_set_ptr(slot, 0, urb->data);
        umockdev_ioctl_data_unref(slot);
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    default:
        return false;
    }
}

void UsbdevfsMixerHarness::submit(UMockdevIoctlClient *client)
{
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    if (!m_mixer.isPlugged()) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return;
    }
    auto urb = std::make_shared<Urb>();
    urb->data = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    if (!urb->data) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    const auto *kernelUrb = reinterpret_cast<const usbdevfs_urb *>(urb->data->data);
    urb->clientAddress = urb->data->client_addr;
    urb->type = kernelUrb->type;
    urb->endpoint = kernelUrb->endpoint;
    urb->buffer = static_cast<std::uint8_t *>(kernelUrb->buffer);
    urb->length = kernelUrb->buffer_length;
    ++m_submitted;

    if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
        if (urb->length < kSetupSize || !urb->buffer) {
            umockdev_ioctl_client_complete(client, -1, EINVAL);
            return;
        }
        answerControl(*urb, urb->buffer);
        umockdev_ioctl_client_complete(client, 0, 0);
        std::lock_guard lock(m_mutex);
        m_done.push_back(urb);
        return;
    }
    if (urb->type != USBDEVFS_URB_TYPE_BULK && urb->type != USBDEVFS_URB_TYPE_INTERRUPT) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        EndpointWorker *target = nullptr;
        for (auto &worker : m_workers) {
            if (worker->address == urb->endpoint)
                target = worker.get();
        }
        if (!target) {
            umockdev_ioctl_client_complete(client, -1, ENOENT);
            return;
        }
        target->queue.push_back(urb);
    }
    m_wake.notify_all();
    umockdev_ioctl_client_complete(client, 0, 0);
}

void UsbdevfsMixerHarness::answerControl(Urb &urb, const std::uint8_t *setup)
{
    const std::uint8_t requestType = setup[0];
    const std::uint8_t request = setup[1];
    const std::uint16_t value = std::uint16_t(setup[2] | (setup[3] << 8));
    const std::uint16_t index = std::uint16_t(setup[4] | (setup[5] << 8));
    const std::uint16_t length =
        std::uint16_t(qMin<int>(setup[6] | (setup[7] << 8), urb.length - kSetupSize));
    const bool in = requestType & 0x80;
    const int kind = (requestType >> 5) & 3;
    urb.status = -EPIPE; // a request the device does not know is stalled
    urb.actual = 0;
    if (kind == 0 && in && request == 6 /* GET_DESCRIPTOR */) {
        const int descriptorType = value >> 8;
        QByteArray descriptor;
        if (descriptorType == 1)
            descriptor = m_mixer.deviceDescriptor();
        else if (descriptorType == 2)
            descriptor = m_mixer.configurationDescriptor();
        else if (descriptorType == 3)
            descriptor = m_mixer.stringDescriptor(std::uint8_t(value & 0xFF));
        if (!descriptor.isEmpty() && m_mixer.isPlugged()) {
            urb.controlReply = descriptor.left(length);
            urb.actual = int(urb.controlReply.size());
            urb.status = 0;
        }
    } else if (kind == 0 && !in) {
        urb.status = 0; // SET_CONFIGURATION, CLEAR_FEATURE and the like
    } else if (kind == 2 && in) {
        const std::optional<QByteArray> reply = m_mixer.controlIn(request, value, index, length);
        if (reply) {
            urb.controlReply = reply->left(length);
            urb.actual = int(urb.controlReply.size());
            urb.status = 0;
        }
    } else if (kind == 2) {
        if (m_mixer.controlOut(request, value, index, setup + kSetupSize, length)) {
            urb.actual = length;
            urb.status = 0;
        }
    }
    if (!m_mixer.isPlugged())
        urb.status = -ENODEV;
}

void UsbdevfsMixerHarness::endpointLoop(int slot)
{
    EndpointWorker &worker = *m_workers[slot];
    while (true) {
        std::shared_ptr<Urb> urb;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stopping || !worker.queue.empty(); });
            if (m_stopping)
                return;
            urb = worker.queue.front();
            worker.queue.pop_front();
            worker.running = urb;
        }
        runTransfer(*urb);
        std::lock_guard lock(m_mutex);
        worker.running.reset();
        m_done.push_back(urb);
    }
}

void UsbdevfsMixerHarness::runTransfer(Urb &urb)
{
    // The URB ends when its buffer is full or the device ends it short; a
    // transfer with nothing due keeps waiting until libusb discards the URB
    // (its own time-out or a cancel).
    while (true) {
        if (urb.discarded) {
            urb.status = -ENOENT;
            return;
        }
        const TransferResult r = m_mixer.transfer(urb.endpoint, urb.buffer + urb.actual,
                                                  urb.length - urb.actual, kSliceMs);
        urb.actual += qMax(0, r.transferred);
        if (r.status == TransferStatus::TimedOut && !m_stopping) {
            if (urb.actual < urb.length || urb.length == 0)
                continue;
            urb.status = 0;
            return;
        }
        if (urb.discarded) {
            urb.status = -ENOENT;
            return;
        }
        urb.status = errnoFor(r.status);
        return;
    }
}
