// GLib headers name a struct member "signals": include them before Qt's keywords.
#include <umockdev.h>

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include "link/UsbdevfsMixerHarness.h"

#include "core/ThreadSanitizer.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerIds.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>
#include <vector>

namespace {

constexpr int kSliceMs = 50; // a blocked transfer looks for discards this often
constexpr int kSetupSize = 8;
constexpr int kMixerPort = 1; // the bystander is on port 2

int errnoFor(TransferStatus status)
{
    // In TransferStatus's order: Completed, TimedOut, Cancelled, Stalled, NoDevice, Error.
    constexpr int kErrno[] = {0, -EPROTO, -ENOENT, -EPIPE, -ENODEV, -EPROTO};
    return kErrno[int(status)];
}

QByteArray devnode(int port)
{
    return "/dev/bus/usb/001/00" + QByteArray::number(port + 1);
}

QByteArray sysPath(int port)
{
    return "/sys/devices/pci0000:00/usb1/1-" + QByteArray::number(port);
}

} // namespace

#ifdef TD_THREAD_SANITIZER
extern "C" {
void AnnotateIgnoreReadsBegin(const char *file, int line);
void AnnotateIgnoreReadsEnd(const char *file, int line);
void AnnotateIgnoreWritesBegin(const char *file, int line);
void AnnotateIgnoreWritesEnd(const char *file, int line);
}
#endif

namespace {

// The harness plays the kernel: it copies to and from the program's URB
// buffers while the program's ioctl (or libusb's reap of the URB) is under
// way, and the syscall orders those copies with the program. ThreadSanitizer
// never sees the kernel's copies; it sees the harness's, on umockdev's
// threads, ordered only through umockdev's ioctl socket, which it does not
// count as synchronisation. So these copies, and nothing else the harness
// does, are hidden from it as the kernel's are.
void kernelCopy(void *to, const void *from, std::size_t size)
{
#ifdef TD_THREAD_SANITIZER
    AnnotateIgnoreReadsBegin(__FILE__, __LINE__);
    AnnotateIgnoreWritesBegin(__FILE__, __LINE__);
#endif
    if (size > 0)
        std::memcpy(to, from, size);
#ifdef TD_THREAD_SANITIZER
    AnnotateIgnoreWritesEnd(__FILE__, __LINE__);
    AnnotateIgnoreReadsEnd(__FILE__, __LINE__);
#endif
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
    const auto onIoctl = [](UMockdevIoctlBase *, UMockdevIoctlClient *client, void *self) {
        return int(static_cast<UsbdevfsMixerHarness *>(self)->handleIoctl(client));
    };
    g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(+onIoctl), this);
    // A device that drops off the bus by itself (an injected fault) leaves udev too.
    m_listenerId = m_mixer.addListener([this](VirtualMixer::Change change) {
        if (change == VirtualMixer::Change::Unplugged)
            removeFromBus();
    });
    if (m_mixer.isPlugged())
        m_plugged = addDevice(kMixerPort);
}

UsbdevfsMixerHarness::~UsbdevfsMixerHarness()
{
    m_mixer.removeListener(m_listenerId);
    std::unique_lock lock(m_mutex);
    m_stopping = true;
    for (const auto &urb : m_running)
        m_mixer.abortEndpoint(urb->endpoint);
    m_transfersEnded.wait(lock, [this] { return m_transfers == 0; });
    lock.unlock();
    removeFromBus();
    unplugBystander();
    g_object_unref(m_handler);
    g_object_unref(m_testbed);
}

void UsbdevfsMixerHarness::plug()
{
    m_mixer.plug();
    if (!m_plugged)
        m_plugged = addDevice(kMixerPort);
}

void UsbdevfsMixerHarness::unplug()
{
    m_mixer.unplug(); // the listener takes the device off the bus
    removeFromBus();
}

bool UsbdevfsMixerHarness::addDevice(int port)
{
    // Announced with a uevent: whoever already listens (libusb's hot-plug
    // thread) learns of it; a later enumeration finds it in sysfs anyway.
    const QByteArray dev = QByteArray::number(port + 1).rightJustified(3, '0');
    const QByteArray vendor = QByteArray::number(VirtualMixerIds::VendorId, 16);
    const QByteArray product = QByteArray::number(VirtualMixerIds::ProductId, 16);
    const QByteArray description =
        "P: /devices/pci0000:00/usb1/1-" + QByteArray::number(port) + "\nN: bus/usb/001/" + dev +
        "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nE: BUSNUM=001\nE: DEVNUM=" +
        dev + "\nE: DEVNAME=/dev/bus/usb/001/" + dev + "\nE: PRODUCT=" + vendor + "/" + product +
        "/100\nA: busnum=1\\n\nA: devnum=" + QByteArray::number(port + 1) +
        "\\n\nA: speed=480\\n\nA: bConfigurationValue=1\\n\nA: idVendor=" + vendor +
        "\\n\nA: idProduct=" + product + "\\n\nH: descriptors=" +
        (m_mixer.deviceDescriptor() + m_mixer.configurationDescriptor()).toHex() + "\n";
    GError *error = nullptr;
    umockdev_testbed_attach_ioctl(m_testbed, devnode(port), m_handler, &error);
    if (error) {
        qWarning("attach_ioctl: %s", error->message);
        g_clear_error(&error);
    }
    if (!umockdev_testbed_add_from_string(m_testbed, description.constData(), &error)) {
        qWarning("add_from_string: %s", error ? error->message : "?");
        g_clear_error(&error);
        return false;
    }
    umockdev_testbed_uevent(m_testbed, sysPath(port), "add");
    return true;
}

void UsbdevfsMixerHarness::removeDevice(int port)
{
    umockdev_testbed_uevent(m_testbed, sysPath(port), "remove");
    umockdev_testbed_remove_device(m_testbed, sysPath(port));
    GError *error = nullptr;
    umockdev_testbed_detach_ioctl(m_testbed, devnode(port), &error);
    g_clear_error(&error);
}

void UsbdevfsMixerHarness::plugBystander()
{
    if (!m_bystander)
        m_bystander = addDevice(kMixerPort + 1);
}

void UsbdevfsMixerHarness::unplugBystander()
{
    if (m_bystander)
        removeDevice(kMixerPort + 1);
    m_bystander = false;
}

void UsbdevfsMixerHarness::removeFromBus()
{
    if (m_plugged.exchange(false))
        removeDevice(kMixerPort);
}

bool UsbdevfsMixerHarness::handleIoctl(UMockdevIoctlClient *client)
{
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    const bool present = m_mixer.isPlugged();
    const auto complete = [client](bool ok, int error) {
        umockdev_ioctl_client_complete(client, ok ? 0 : -1, ok ? 0 : error);
    };

    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData *d = umockdev_ioctl_data_resolve(arg, 0, sizeof(std::uint32_t), nullptr);
        const std::uint32_t caps = USBDEVFS_CAP_BULK_CONTINUATION |
                                   USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                   USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
        std::memcpy(d->data, &caps, sizeof caps);
        umockdev_ioctl_data_unref(d);
        complete(true, 0);
        return true;
    }
    case USBDEVFS_GETDRIVER:
        complete(false, ENODATA); // no kernel driver bound
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
        complete(present, ENODEV);
        return true;
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP: {
        UMockdevIoctlData *d = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned int), nullptr);
        unsigned int endpoint = 0;
        std::memcpy(&endpoint, d->data, sizeof endpoint);
        umockdev_ioctl_data_unref(d);
        if (present)
            m_mixer.clearHalt(std::uint8_t(endpoint));
        complete(present, ENODEV);
        return true;
    }
    case USBDEVFS_RESET:
        if (present)
            m_mixer.resetPort();
        complete(present, ENODEV);
        return true;
    case USBDEVFS_SUBMITURB:
        submit(client);
        return true;
    case USBDEVFS_DISCARDURB:
        discard(client);
        return true;
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
        reap(client);
        return true;
    default:
        return false;
    }
}

void UsbdevfsMixerHarness::submit(UMockdevIoctlClient *client)
{
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    auto urb = std::make_shared<Urb>();
    urb->data = m_mixer.isPlugged()
                    ? umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr)
                    : nullptr;
    if (!urb->data) {
        umockdev_ioctl_client_complete(client, -1, m_mixer.isPlugged() ? EFAULT : ENODEV);
        return;
    }
    const auto *kernelUrb = reinterpret_cast<const usbdevfs_urb *>(urb->data->data);
    urb->clientAddress = urb->data->client_addr;
    urb->type = kernelUrb->type;
    urb->endpoint = kernelUrb->endpoint;
    urb->buffer = static_cast<std::uint8_t *>(kernelUrb->buffer);
    urb->length = kernelUrb->buffer_length;

    const bool control = urb->type == USBDEVFS_URB_TYPE_CONTROL;
    const bool known = control ? urb->length >= kSetupSize && urb->buffer
                               : (urb->type == USBDEVFS_URB_TYPE_BULK ||
                                  urb->type == USBDEVFS_URB_TYPE_INTERRUPT) &&
                                     (urb->endpoint == VirtualMixerIds::EventEndpoint ||
                                      urb->endpoint == VirtualMixerIds::ReadEndpoint ||
                                      urb->endpoint == VirtualMixerIds::WriteEndpoint);
    if (!known) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    if (control)
        answerControl(*urb);
    {
        std::lock_guard lock(m_mutex);
        if (control) {
            m_done.push_back(urb);
        } else {
            m_running.push_back(urb);
            ++m_transfers;
            std::thread([this, urb] {
                runTransfer(*urb);
                std::lock_guard lock(m_mutex);
                m_running.remove(urb);
                m_done.push_back(urb);
                --m_transfers;
                m_transfersEnded.notify_all();
            }).detach();
        }
    }
    umockdev_ioctl_client_complete(client, 0, 0);
}

void UsbdevfsMixerHarness::discard(UMockdevIoctlClient *client)
{
    unsigned long address = 0;
    std::memcpy(&address, umockdev_ioctl_client_get_arg(client)->data, sizeof address);
    bool found = false;
    {
        std::lock_guard lock(m_mutex);
        for (const auto &urb : m_running) {
            if (urb->clientAddress == address) {
                urb->discarded = true;
                m_mixer.abortEndpoint(urb->endpoint);
                found = true;
            }
        }
    }
    umockdev_ioctl_client_complete(client, found ? 0 : -1, found ? 0 : EINVAL);
}

void UsbdevfsMixerHarness::reap(UMockdevIoctlClient *client)
{
    std::unique_lock lock(m_mutex);
    const std::shared_ptr<Urb> urb = m_done.empty() ? nullptr : m_done.front();
    if (urb)
        m_done.pop_front();
    lock.unlock();
    if (!urb) {
        umockdev_ioctl_client_complete(client, -1, m_mixer.isPlugged() ? EAGAIN : ENODEV);
        return;
    }
    auto *kernelUrb = reinterpret_cast<usbdevfs_urb *>(urb->data->data);
    if (!urb->controlReply.isEmpty())
        kernelCopy(urb->buffer + kSetupSize, urb->controlReply.constData(),
                   std::size_t(urb->controlReply.size()));
    kernelUrb->status = urb->status;
    kernelUrb->actual_length = urb->actual;
    UMockdevIoctlData *slot = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0,
                                                          sizeof(void *), nullptr);
    umockdev_ioctl_data_set_ptr(slot, 0, urb->data);
    umockdev_ioctl_data_unref(slot);
    umockdev_ioctl_client_complete(client, 0, 0);
}

void UsbdevfsMixerHarness::answerControl(Urb &urb)
{
    std::vector<std::uint8_t> copy(std::size_t(urb.length));
    kernelCopy(copy.data(), urb.buffer, copy.size());
    const std::uint8_t *setup = copy.data();
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
    std::optional<QByteArray> reply;
    if (kind == 0 && in && request == 6 /* GET_DESCRIPTOR */) {
        const int type = value >> 8;
        const QByteArray descriptor = type == 1   ? m_mixer.deviceDescriptor()
                                      : type == 2 ? m_mixer.configurationDescriptor()
                                      : type == 3
                                          ? m_mixer.stringDescriptor(std::uint8_t(value & 0xFF))
                                          : QByteArray();
        if (!descriptor.isEmpty())
            reply = descriptor;
    } else if (kind == 0 && !in) {
        urb.status = 0; // SET_CONFIGURATION, CLEAR_FEATURE and the like
    } else if (kind == 2 && in) {
        reply = m_mixer.controlIn(request, value, index, length);
    } else if (kind == 2 && m_mixer.controlOut(request, value, index, setup + kSetupSize, length)) {
        urb.actual = length;
        urb.status = 0;
    }
    if (reply) {
        urb.controlReply = reply->left(length);
        urb.actual = int(urb.controlReply.size());
        urb.status = 0;
    }
    if (!m_mixer.isPlugged())
        urb.status = -ENODEV;
}

void UsbdevfsMixerHarness::runTransfer(Urb &urb)
{
    // The URB ends when its buffer is full or the device ends it short; a
    // transfer with nothing due keeps waiting until libusb discards the URB
    // (its own time-out or a cancel).
    // The device works on a copy of the buffer, as a controller's DMA would.
    const bool in = urb.endpoint & 0x80;
    std::vector<std::uint8_t> data(std::size_t(urb.length));
    if (!in)
        kernelCopy(data.data(), urb.buffer, data.size());
    const auto copyBack = [&] {
        if (in)
            kernelCopy(urb.buffer, data.data(), std::size_t(urb.actual));
    };
    while (!urb.discarded) {
        const TransferResult r = m_mixer.transfer(urb.endpoint, data.data() + urb.actual,
                                                  urb.length - urb.actual, kSliceMs);
        urb.actual += qMax(0, r.transferred);
        const bool full = urb.actual == urb.length && urb.length > 0;
        if (r.status == TransferStatus::TimedOut && !m_stopping && !full)
            continue;
        if (urb.discarded && !(r.status == TransferStatus::TimedOut && !m_stopping))
            break;
        urb.status = r.status == TransferStatus::TimedOut && !m_stopping ? 0 : errnoFor(r.status);
        copyBack();
        return;
    }
    urb.status = -ENOENT;
    copyBack();
}
