#include "device/ListDeviceClient.h"

#include "core/MemoryNo.h"
#include "device/DeviceCommands.h"
#include "list/TitleList.h"

#include <QtEndian>

void ListDeviceClient::clearMemoryOnConnect(DeviceLink &)
{
    if (m_memoryConnected)
        m_memoryConnected();
}

void ListDeviceClient::checkEffectPatterns(DeviceLink &link)
{
    CheckEffectPatterns(m_list, link);
}

void ListDeviceClient::resyncDeviceTitles(DeviceLink &link)
{
    ResyncDeviceTitles(m_list, link);
}

void ListDeviceClient::connectionLost(DeviceLink &)
{
    for (int i = 1; i <= m_list.count(); ++i) {
        if (m_list.at(i).NoRoom) {
            m_list.at(i).NoRoom = false;
            m_list.notifyRowChanged(i);
        }
    }
    if (m_idleKeyer)
        m_idleKeyer();
    if (m_memoryLost)
        m_memoryLost();
}

void ListDeviceClient::CheckEffectPatterns(TitleList &list, DeviceLink &link)
{
    DeviceCommands commands(link);
    for (int i = 1; i <= list.count(); ++i) {
        TitleAttributes &a = list.at(i).Attributes;
        const auto reply = commands.CheckEffectPatterns(a.effPatternWord(Effect::In),
                                                        a.effPatternWord(Effect::Out));
        if (!reply || reply->size() < 4)
            continue;
        a.setEffPattern(Effect::In, qFromLittleEndian<quint16>(reply->constData()) & 0x3FFF);
        a.setEffPattern(Effect::Out, qFromLittleEndian<quint16>(reply->constData() + 2) & 0x3FFF);
        list.notifyRowChanged(i);
    }
}

void ListDeviceClient::ResyncDeviceTitles(TitleList &list, DeviceLink &link)
{
    DeviceCommands commands(link);
    for (int i = 1; i <= list.count(); ++i) {
        TitleAttributes &a = list.at(i).Attributes;
        const std::uint16_t memoryNo = a.memoryNo();
        if (memoryNo == MemoryNo::NotStored)
            continue;
        const auto header = commands.ReadTitleHeader(memoryNo);
        if (!header || header->size() < TitleAttributes::Size)
            continue;
        const TitleAttributes device =
            TitleAttributes::fromBytes(reinterpret_cast<const std::uint8_t *>(header->constData()));
        if (device.deviceWord() != a.deviceWord()) {
            a.setMemoryNo(MemoryNo::NotStored);
            a.setDeviceWord(0);
            list.notifyRowChanged(i);
            continue;
        }
        const QByteArray record(reinterpret_cast<const char *>(a.bytes().data()),
                                TitleAttributes::Size);
        commands.WriteTitleHeader(memoryNo, record);
        if (device.protect() != a.protect())
            commands.MemoryOperation(memoryNo, a.protect() ? DeviceRequest::MemoryOp::Protect
                                                           : DeviceRequest::MemoryOp::Unprotect);
    }
}
