#include "device/UsbDescriptorWalk.h"

#include <QtEndian>

namespace {
constexpr std::uint8_t kInterfaceType = 4;
constexpr std::uint8_t kEndpointType = 5;
} // namespace

std::uint16_t DescriptorWord(const QByteArray &block, int offset)
{
    if (offset < 0 || offset + 2 > block.size())
        return 0;
    return qFromLittleEndian<quint16>(block.constData() + offset);
}

QList<UsbInterfaceInfo> WalkConfigDescriptor(const QByteArray &config)
{
    QList<UsbInterfaceInfo> interfaces;
    if (config.size() < 9)
        return interfaces;
    const int interfaceCount = std::uint8_t(config[4]);
    const int end = qMin<int>(config.size(), qMax<int>(9, DescriptorWord(config, 2)));
    int pos = qMax(9, int(std::uint8_t(config[0])));
    bool inAlternate = false;
    while (pos + 2 <= end) {
        const int length = std::uint8_t(config[pos]);
        const std::uint8_t type = std::uint8_t(config[pos + 1]);
        if (length < 2 || pos + length > end)
            break;
        if (type == kInterfaceType && length >= 9) {
            const bool alternate = std::uint8_t(config[pos + 3]) != 0;
            inAlternate = alternate;
            if (!alternate) {
                if (interfaces.size() >= interfaceCount)
                    break;
                UsbInterfaceInfo info;
                info.descriptor = config.mid(pos, 9);
                info.number = std::uint8_t(config[pos + 2]);
                interfaces.append(info);
            }
        } else if (type == kEndpointType && length >= 7 && !interfaces.isEmpty() && !inAlternate) {
            UsbEndpointInfo ep;
            ep.interfaceNumber = interfaces.last().number;
            ep.pipe = int(interfaces.last().endpoints.size());
            ep.address = std::uint8_t(config[pos + 2]);
            ep.attributes = std::uint8_t(config[pos + 3]);
            ep.maxPacketSize = DescriptorWord(config, pos + 4);
            ep.interval = std::uint8_t(config[pos + 6]);
            interfaces.last().endpoints.append(ep);
        }
        pos += length;
    }
    return interfaces;
}
