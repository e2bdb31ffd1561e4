#pragma once

#include <QString>
#include <memory>

class UsbBackend;
class VirtualMixer;
class Waits;

// A virtual mixer reached through one of the program's backends: in-process,
// or on a mocked bus through libusb. The request suite runs the same cases
// over each.
class MixerRig
{
public:
    virtual ~MixerRig() = default;
    virtual VirtualMixer &mixer() = 0;
    virtual UsbBackend &backend() = 0;
    // The device appears on / leaves the bus, with the platform's notifications.
    virtual void plug() = 0;
    virtual void unplug() = 0;
};

using MixerRigFactory = std::unique_ptr<MixerRig> (*)(const Waits &waits);
