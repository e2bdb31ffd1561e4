#pragma once

class DeviceLink;

// What the rest of the program does when the link changes state. The main
// window's side implements it (list, memory mirror, keyer); every hook has a
// do-nothing default so the command line and tests need only what they use.
class DeviceLinkClient
{
public:
    virtual ~DeviceLinkClient() = default;

    // Connected: clear the device memory when so configured.
    virtual void clearMemoryOnConnect(DeviceLink &link) {}
    // Connected: bring every title's effect patterns into line with the device.
    virtual void checkEffectPatterns(DeviceLink &link) {}
    // Connected: re-synchronise the stored titles with the device memory.
    virtual void resyncDeviceTitles(DeviceLink &link) {}
    // Not connected: stop auto-load or idle the keyer, clear room marks, reset the memory mirror.
    virtual void connectionLost(DeviceLink &link) {}
};
