#pragma once

#include "device/DeviceRequests.h"
#include "device/PipeChannel.h"
#include "device/TransferSide.h"
#include "device/UsbBackend.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <atomic>
#include <cstdint>

class DeviceLinkClient;
class MessageBoxes;
class Waits;

// Device-change events, numbered as the platform numbers them; each has its
// own line in the link log, and only the arrival and the removal act.
enum class DeviceChange : int {
    Arrival = 0x8000,
    QueryRemove = 0x8001,
    QueryRemoveFailed = 0x8002,
    RemovePending = 0x8003,
    Removal = 0x8004, // remove complete
    TypeSpecific = 0x8005,
    CustomEvent = 0x8006,
    UserDefined = 0xFFFF,
    DevNodesChanged = 0x0007,
    QueryChangeConfig = 0x0017,
    ConfigChanged = 0x0018,
    ConfigChangeCanceled = 0x0019,
};

// The one connection to the mixer for the whole run: the backend, the open
// device, its descriptors, the three pipes, the link log and the connected
// state. Everything but VendorRequest runs on the user-interface thread;
// VendorRequest may also be called from the auto-load workers.
class DeviceLink : public QObject
{
    Q_OBJECT

public:
    enum DescriptorSelector { DeviceSelector = 1, ConfigurationSelector = 2 };
    static constexpr int kMaxLogLines = 1000;
    static constexpr int kStatusConnectedId = 100;
    static constexpr int kStatusNotConnectedId = 101;
    static constexpr int kRegistrationFailedId = 85;
    static constexpr int kResourcesShortId = 123;

    DeviceLink(UsbBackend *backend, Waits &waits, MessageBoxes &boxes, QObject *parent = nullptr);
    ~DeviceLink() override;

    UsbBackend *backend() const { return m_backend; }
    Waits &waits() const { return m_waits; }
    MessageBoxes &messageBoxes() const { return m_boxes; }
    void setClient(DeviceLinkClient *client) { m_client = client; }

    // Listens for device changes, then opens the device if one is present.
    // Returns false (after message 85) when there is no backend to listen to.
    bool Start();
    bool Open();
    void Close();
    void Stop();
    void OnDeviceChange(DeviceChange event);
    static QString deviceChangeLogLine(DeviceChange event);

    bool isOpen() const { return m_deviceOpen.load(); }
    bool Connected() const { return m_connected; }
    int statusTextId() const { return m_connected ? kStatusConnectedId : kStatusNotConnectedId; }
    QString DevicePath() const { return m_devicePath; }

    // Transport.
    bool VendorRequest(DeviceRequest::In request, std::uint8_t *buffer, std::uint16_t length,
                       std::uint16_t value, std::uint16_t index);
    bool VendorRequest(DeviceRequest::Out request, const std::uint8_t *data, std::uint16_t length,
                       std::uint16_t value, std::uint16_t index);
    bool GetDescriptor(int selector);
    bool ResetDevice();

    QByteArray DeviceDescriptor() const { return m_deviceDescriptor; }
    QByteArray ConfigDescriptor() const { return m_configDescriptor; }
    int ConsecutiveErrors() const { return m_consecutiveErrors.load(); }
    int ResetCount() const { return m_resetCount.load(); }
    bool SetupDataMode() const { return m_setupDataMode.load(); }
    bool ExtendedFirmware() const { return m_extendedFirmware; }
    QString FirmwareText() const { return m_firmwareText; }
    // "%x.%02x(%02x)" of the first three reply bytes of GetFirmwareVersion.
    static QString formatFirmware(const QByteArray &reply);
    static bool isExtendedFirmware(const QByteArray &reply);

    PipeChannel &EventPipe() { return m_eventPipe; }
    PipeChannel &ReadPipe() { return m_readPipe; }
    PipeChannel &WritePipe() { return m_writePipe; }
    TransferSide &readSide() { return m_readSide; }
    TransferSide &writeSide() { return m_writeSide; }

    // The link log: lines beginning "Success : ", "Error : " or "Message : ".
    void Log(const QString &text);
    QStringList logLines() const { return m_log; }
    void setLogEnabled(bool enabled) { m_logEnabled = enabled; }
    bool logEnabled() const { return m_logEnabled; }
    void clearLog();

signals:
    void connectedStateChanged(bool connected);
    void logLineAdded(const QString &line);
    void logCleared();
    void descriptorsChanged();
    void resetCountChanged(int count);
    void firmwareTextChanged(const QString &text);
    void setupDataModeChanged(bool enabled);
    // Event polling follows the connection (the event reader listens to these).
    void eventPollingStartRequested();
    void eventPollingStopRequested();
    // The program cannot go on (message already shown); the application ends with this code.
    void programEndRequested(int exitCode);

private:
    void SetConnectedState(bool connected);
    bool openPipes();
    void closeSide(PipeChannel &pipe, TransferSide &side);
    void queryModeAndFirmware();
    // Logs the request's line and counts a failure; gives back `ok`.
    bool requestDone(const QString &name, bool ok);
    void failedRequest();

    QPointer<UsbBackend> m_backend;
    Waits &m_waits;
    MessageBoxes &m_boxes;
    DeviceLinkClient *m_client = nullptr;

    std::atomic<bool> m_deviceOpen{false};
    bool m_connected = false;
    bool m_started = false;
    QString m_devicePath;
    QByteArray m_deviceDescriptor;
    QByteArray m_configDescriptor;
    std::atomic<int> m_consecutiveErrors{0};
    std::atomic<int> m_resetCount{0};
    std::atomic<bool> m_setupDataMode{false};
    bool m_extendedFirmware = false;
    QString m_firmwareText;

    PipeChannel m_eventPipe;
    PipeChannel m_readPipe;
    PipeChannel m_writePipe;
    TransferSide m_readSide;
    TransferSide m_writeSide;

    QStringList m_log;
    bool m_logEnabled = true;
};
