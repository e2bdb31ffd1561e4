#pragma once

#include "device/BulkInTransfer.h"
#include "device/BulkOutTransfer.h"
#include "device/DeviceEventReader.h"
#include "device/DeviceLink.h"
#include "device/ListDeviceClient.h"
#include "device/UsbBackend.h"

#include <memory>

class ImageLibrary;
class MessageBoxes;
class TitleList;
class Waits;

// The program's connection to the mixer for the whole run: the chosen USB
// backend (hardware or the virtual mixer), the link over it, the keyer event
// reader, the two bulk transfer jobs (out of the mixer and into it) and what
// connecting does to the send list.
class DeviceSession
{
public:
    DeviceSession(std::unique_ptr<UsbBackend> backend, TitleList &list, ImageLibrary &images,
                  Waits &waits, MessageBoxes &boxes);
    ~DeviceSession();

    // Starts listening for the device and opens it when present; false when the
    // device events cannot be followed (the message is shown, the program ends).
    bool Start();
    // Closes the device and stops listening (at shutdown).
    void Stop();

    UsbBackend &backend() { return *m_backend; }
    DeviceLink &link() { return *m_link; }
    DeviceEventReader &eventReader() { return *m_reader; }
    ListDeviceClient &listClient() { return m_client; }
    BulkInTransfer &bulkIn() { return *m_bulkIn; }
    BulkOutTransfer &bulkOut() { return *m_bulkOut; }

private:
    std::unique_ptr<UsbBackend> m_backend;
    std::unique_ptr<DeviceLink> m_link;
    std::unique_ptr<DeviceEventReader> m_reader;
    std::unique_ptr<BulkInTransfer> m_bulkIn;
    std::unique_ptr<BulkOutTransfer> m_bulkOut;
    ListDeviceClient m_client;
};
