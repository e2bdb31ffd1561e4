#pragma once

#include "device/DeviceLinkClient.h"

#include <functional>

class TitleList;

// What connecting and disconnecting the mixer does to the send list: on
// connect, every title's effect patterns are brought into line with what the
// device offers and the titles stored in the device are re-synchronised; on
// disconnect, the room marks are cleared and the keyer is idled. The memory
// side's part (its mirror and the clear on connect) comes through hooks.
class ListDeviceClient : public DeviceLinkClient
{
public:
    explicit ListDeviceClient(TitleList &list) : m_list(list) {}

    // Called when the link is lost and the keyer must go idle (state 6, no title).
    void setKeyerIdler(std::function<void()> idle) { m_idleKeyer = std::move(idle); }
    // What connecting and disconnecting do to the memory side: on connect, a
    // fresh mirror and the clear the settings ask for; on disconnect, a fresh mirror.
    void setMemoryHooks(std::function<void()> connected, std::function<void()> lost)
    {
        m_memoryConnected = std::move(connected);
        m_memoryLost = std::move(lost);
    }

    void clearMemoryOnConnect(DeviceLink &link) override;

    void checkEffectPatterns(DeviceLink &link) override;
    void resyncDeviceTitles(DeviceLink &link) override;
    void connectionLost(DeviceLink &link) override;

    // The titles stored in the device brought into line with its memory: a
    // slot that now holds something else frees the title; a matching one gets
    // the title's record and protect state.
    static void ResyncDeviceTitles(TitleList &list, DeviceLink &link);
    static void CheckEffectPatterns(TitleList &list, DeviceLink &link);

private:
    TitleList &m_list;
    std::function<void()> m_idleKeyer;
    std::function<void()> m_memoryConnected;
    std::function<void()> m_memoryLost;
};
