#include "device/DeviceLink.h"

#include "core/HandOverOrder.h"
#include "core/MessageBoxes.h"
#include "core/Waits.h"
#include "device/DeviceLinkClient.h"
#include "device/DeviceLogging.h"
#include "device/UsbBackend.h"
#include "device/UsbDescriptorWalk.h"

#include <QThread>

namespace {
constexpr int kSideIdleWaitMs = 2000;
constexpr int kResetAfterErrors = 3;
constexpr int kDeviceDescriptorLength = 18;
constexpr int kConfigHeaderLength = 9;
constexpr int kCaptionError = 1;
} // namespace

DeviceLink::DeviceLink(UsbBackend *backend, Waits &waits, MessageBoxes &boxes, QObject *parent)
    : QObject(parent), m_backend(backend), m_waits(waits), m_boxes(boxes),
      m_eventPipe(*this, PipeChannel::Access::Read, false),
      m_readPipe(*this, PipeChannel::Access::Read, true),
      m_writePipe(*this, PipeChannel::Access::Write, true)
{}

DeviceLink::~DeviceLink()
{
    Stop();
}

bool DeviceLink::Start()
{
    if (!m_backend) {
        ShowMessageById(m_boxes, kCaptionError, kRegistrationFailedId, MsgError);
        emit programEndRequested(1);
        return false;
    }
    if (!m_started) {
        connect(m_backend, &UsbBackend::deviceArrived, this,
                [this] { OnDeviceChange(DeviceChange::Arrival); });
        connect(m_backend, &UsbBackend::deviceRemoved, this,
                [this] { OnDeviceChange(DeviceChange::Removal); });
        m_started = true;
    }
    Open();
    return true;
}

void DeviceLink::Stop()
{
    Close();
    m_deviceDescriptor.clear();
    m_configDescriptor.clear();
    m_devicePath.clear();
    if (m_started && m_backend)
        disconnect(m_backend, nullptr, this, nullptr);
    m_started = false;
}

bool DeviceLink::Open()
{
    if (m_deviceOpen || !m_backend)
        return false;
    SetConnectedState(false);
    // Discovery: no device present is not an error and leaves no log line.
    if (!m_backend->devicePresent())
        return false;
    if (!m_backend->open()) {
        Log(QStringLiteral("Error : Open Device"));
        return false;
    }
    m_devicePath = m_backend->devicePath();
    m_deviceOpen = true;
    Log(QStringLiteral("Success : Open Device"));
    m_consecutiveErrors = 0;
    m_resetCount = 0;
    emit resetCountChanged(0);

    if (!GetDescriptor(DeviceSelector) || !GetDescriptor(ConfigurationSelector)) {
        Log(QStringLiteral("Error : Get Descriptor"));
        Close();
        return false;
    }
    emit descriptorsChanged();

    if (!openPipes()) {
        ShowMessageById(m_boxes, kCaptionError, kResourcesShortId, MsgError);
        Close();
        emit programEndRequested(-1);
        return false;
    }
    queryModeAndFirmware();
    SetConnectedState(true);
    return true;
}

bool DeviceLink::openPipes()
{
    bool readOpened = false;
    bool writeOpened = false;
    const QList<UsbInterfaceInfo> interfaces = WalkConfigDescriptor(m_configDescriptor);
    for (const UsbInterfaceInfo &interface : interfaces) {
        for (const UsbEndpointInfo &ep : interface.endpoints) {
            if (ep.transferType() == 2 && ep.pipe == 1 && ep.isIn()) {
                // Whatever the read side kept from an earlier connection is stale now.
                m_readSide.discardLeftover();
                readOpened = m_readPipe.Open(interface.number, 1, ep.address) || readOpened;
            } else if (ep.transferType() == 2 && ep.pipe == 2 && !ep.isIn()) {
                writeOpened = m_writePipe.Open(interface.number, 2, ep.address) || writeOpened;
            } else if (ep.transferType() == 3 && ep.isIn()) {
                m_eventPipe.Open(interface.number, ep.pipe, ep.address);
            }
        }
    }
    return readOpened && writeOpened;
}

void DeviceLink::queryModeAndFirmware()
{
    m_setupDataMode = false;
    std::uint8_t mode[2] = {0, 0};
    const bool modeOk = VendorRequest(DeviceRequest::In::GetSetupDataMode, mode, 2, 0, 0);
    m_setupDataMode = modeOk && mode[0] == 1;
    emit setupDataModeChanged(m_setupDataMode);

    m_extendedFirmware = false;
    std::uint8_t version[4] = {0, 0, 0, 0};
    if (VendorRequest(DeviceRequest::In::GetFirmwareVersion, version, 4, 0, 0)) {
        const QByteArray reply(reinterpret_cast<const char *>(version), 4);
        m_firmwareText = formatFirmware(reply);
        m_extendedFirmware = isExtendedFirmware(reply);
    } else {
        m_firmwareText.clear();
    }
    emit firmwareTextChanged(m_firmwareText);
}

QString DeviceLink::formatFirmware(const QByteArray &reply)
{
    if (reply.size() < 3)
        return {};
    return QStringLiteral("%1.%2(%3)")
        .arg(std::uint8_t(reply[0]), 0, 16)
        .arg(std::uint8_t(reply[1]), 2, 16, QLatin1Char('0'))
        .arg(std::uint8_t(reply[2]), 2, 16, QLatin1Char('0'));
}

bool DeviceLink::isExtendedFirmware(const QByteArray &reply)
{
    return reply.size() >= 2 && (std::uint8_t(reply[0]) > 0 || std::uint8_t(reply[1]) >= 0x20);
}

void DeviceLink::closeSide(PipeChannel &pipe, TransferSide &side)
{
    pipe.Abort();
    // A worker blocked on this pipe ends with the abort; give it time to hand back.
    m_waits.waitUntil([&side] { return !side.Busy(); }, kSideIdleWaitMs);
    pipe.Close();
}

void DeviceLink::Close()
{
    if (!m_deviceOpen)
        return;
    SetConnectedState(false);
    m_eventPipe.Close();
    closeSide(m_readPipe, m_readSide);
    closeSide(m_writePipe, m_writeSide);
    if (m_backend)
        m_backend->close();
    m_deviceOpen = false;
    m_devicePath.clear();
    m_deviceDescriptor.clear();
    m_configDescriptor.clear();
    m_setupDataMode = false;
    emit descriptorsChanged();
    Log(QStringLiteral("Success : Close Device"));
}

QString DeviceLink::deviceChangeLogLine(DeviceChange event)
{
    const char *name = "Unknown";
    switch (event) {
    case DeviceChange::Arrival:
        name = "DeviceArrival";
        break;
    case DeviceChange::QueryRemove:
        name = "DeviceQueryRemove";
        break;
    case DeviceChange::QueryRemoveFailed:
        name = "DeviceQueryRemoveFailed";
        break;
    case DeviceChange::RemovePending:
        name = "DeviceRemovePending";
        break;
    case DeviceChange::Removal:
        name = "DeviceRemoveComplete";
        break;
    case DeviceChange::TypeSpecific:
        name = "DeviceTypeSpecific";
        break;
    case DeviceChange::CustomEvent:
        name = "CustomEvent";
        break;
    case DeviceChange::UserDefined:
        name = "UserDefined";
        break;
    case DeviceChange::DevNodesChanged:
        name = "DevNodesChanged";
        break;
    case DeviceChange::QueryChangeConfig:
        name = "QueryChangeConfig";
        break;
    case DeviceChange::ConfigChanged:
        name = "ConfigChanged";
        break;
    case DeviceChange::ConfigChangeCanceled:
        name = "ConfigChangeCanceled";
        break;
    }
    return QStringLiteral("Message : ") + QLatin1String(name);
}

void DeviceLink::OnDeviceChange(DeviceChange event)
{
    Log(deviceChangeLogLine(event));
    if (event == DeviceChange::Arrival) {
        Open();
    } else if (event == DeviceChange::Removal && m_deviceOpen) {
        // The event does not say which device left: ask ours whether it is still there.
        std::uint8_t version[4] = {0, 0, 0, 0};
        if (!VendorRequest(DeviceRequest::In::GetFirmwareVersion, version, 4, 0, 0))
            Close();
    }
}

void DeviceLink::SetConnectedState(bool connected)
{
    const bool changed = m_connected != connected;
    m_connected = connected;
    if (connected) {
        if (m_client) {
            m_client->clearMemoryOnConnect(*this);
            m_client->checkEffectPatterns(*this);
            m_client->resyncDeviceTitles(*this);
        }
        emit eventPollingStartRequested();
    } else {
        emit eventPollingStopRequested();
        if (m_client)
            m_client->connectionLost(*this);
    }
    if (changed)
        qCDebug(lcDevice) << "connected:" << connected;
    emit connectedStateChanged(connected);
}

bool DeviceLink::VendorRequest(DeviceRequest::In request, std::uint8_t *buffer,
                               std::uint16_t length, std::uint16_t value, std::uint16_t index)
{
    UsbBackend *backend = m_backend.data();
    if (!m_deviceOpen || !backend || (length > 0 && !buffer))
        return false;
    if (m_setupDataMode && !DeviceRequest::allowedInSetupDataMode(request))
        return false;
    return requestDone(QStringLiteral("VenderIn(%1)").arg(int(request)),
                       backend->vendorIn(std::uint8_t(request), value, index, buffer, length));
}

bool DeviceLink::VendorRequest(DeviceRequest::Out request, const std::uint8_t *data,
                               std::uint16_t length, std::uint16_t value, std::uint16_t index)
{
    UsbBackend *backend = m_backend.data();
    // Nothing goes out while the device is in setup-data mode.
    if (!m_deviceOpen || !backend || (length > 0 && !data) || m_setupDataMode)
        return false;
    return requestDone(QStringLiteral("VenderOut(%1)").arg(int(request)),
                       backend->vendorOut(std::uint8_t(request), value, index, data, length));
}

bool DeviceLink::requestDone(const QString &name, bool ok)
{
    if (ok) {
        Log(QStringLiteral("Success : ") + name);
        m_consecutiveErrors = 0;
    } else {
        Log(QStringLiteral("Error : ") + name);
        failedRequest();
    }
    return ok;
}

void DeviceLink::failedRequest()
{
    // Count, compare and restart the count in one step, so that concurrent
    // failures never lose a count and only one caller resets the device.
    int current = m_consecutiveErrors.load();
    bool reset = false;
    while (true) {
        const int next = current + 1;
        reset = next >= kResetAfterErrors;
        if (m_consecutiveErrors.compare_exchange_weak(current, reset ? 0 : next))
            break;
    }
    if (reset)
        ResetDevice();
}

bool DeviceLink::GetDescriptor(int selector)
{
    if (!m_deviceOpen || !m_backend)
        return false;
    if (selector == DeviceSelector) {
        if (!m_deviceDescriptor.isEmpty())
            return true;
        QByteArray block(kDeviceDescriptorLength, '\0');
        const int got = m_backend->getDescriptor(
            DeviceSelector, reinterpret_cast<std::uint8_t *>(block.data()), int(block.size()));
        if (got != kDeviceDescriptorLength) {
            Log(QStringLiteral("Error : Get DeviceDescriptor"));
            return false;
        }
        m_deviceDescriptor = block;
        return true;
    }
    if (selector != ConfigurationSelector)
        return false;
    if (!m_configDescriptor.isEmpty())
        return true;
    QByteArray header(kConfigHeaderLength, '\0');
    int got = m_backend->getDescriptor(ConfigurationSelector,
                                       reinterpret_cast<std::uint8_t *>(header.data()),
                                       kConfigHeaderLength);
    const int total = got == kConfigHeaderLength ? DescriptorWord(header, 2) : 0;
    // A total shorter than the header itself cannot be a configuration.
    if (total >= kConfigHeaderLength) {
        QByteArray block(total, '\0');
        got = m_backend->getDescriptor(ConfigurationSelector,
                                       reinterpret_cast<std::uint8_t *>(block.data()), total);
        if (got == total) {
            m_configDescriptor = block;
            return true;
        }
    }
    Log(QStringLiteral("Error : Get ConfigurationDescriptor"));
    return false;
}

bool DeviceLink::ResetDevice()
{
    UsbBackend *backend = m_backend.data();
    if (!m_deviceOpen || !backend)
        return false;
    const bool ok = backend->resetDevice();
    if (ok) {
        const int count = ++m_resetCount;
        emit resetCountChanged(count);
        Log(QStringLiteral("Success : Reset  Device"));
    } else {
        Log(QStringLiteral("Error : Reset  Device"));
    }
    return ok;
}

void DeviceLink::Log(const QString &text)
{
    if (QThread::currentThread() != thread()) {
        postCall(*this, [this, text] { Log(text); });
        return;
    }
    if (!m_logEnabled)
        return;
    if (m_log.size() >= kMaxLogLines) {
        m_log.clear();
        emit logCleared();
    }
    m_log.append(text);
    qCDebug(lcDevice) << text;
    emit logLineAdded(text);
}

void DeviceLink::clearLog()
{
    m_log.clear();
    emit logCleared();
}
