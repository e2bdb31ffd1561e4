#include "mixer/MixerDescriptors.h"

#include "mixer/VirtualMixerIds.h"

#include <QString>
#include <QtEndian>

namespace {

void putU16(QByteArray &out, std::uint16_t v)
{
    char bytes[2];
    qToLittleEndian<quint16>(v, bytes);
    out.append(bytes, 2);
}

void endpoint(QByteArray &out, std::uint8_t address, std::uint8_t type, std::uint16_t packet,
              std::uint8_t interval)
{
    out.append(char(7));
    out.append(char(5)); // ENDPOINT
    out.append(char(address));
    out.append(char(type));
    putU16(out, packet);
    out.append(char(interval));
}

} // namespace

QByteArray MixerDescriptors::device()
{
    using namespace VirtualMixerIds;
    QByteArray d;
    d.append(char(18));
    d.append(char(1)); // DEVICE
    putU16(d, 0x0200);
    d.append(char(0)); // class given by the interface
    d.append(char(0));
    d.append(char(0));
    d.append(char(64));
    putU16(d, VendorId);
    putU16(d, ProductId);
    putU16(d, DeviceRelease);
    d.append(char(ManufacturerString));
    d.append(char(ProductString));
    d.append(char(SerialString));
    d.append(char(1)); // one configuration
    return d;
}

QByteArray MixerDescriptors::configuration()
{
    using namespace VirtualMixerIds;
    QByteArray c;
    c.append(char(9));
    c.append(char(2)); // CONFIGURATION
    putU16(c, 9 + 9 + 3 * 7);
    c.append(char(1)); // interfaces
    c.append(char(ConfigurationValue));
    c.append(char(0));
    c.append(char(0xC0)); // self-powered: the mixer has its own supply
    c.append(char(50));   // 100 mA
    c.append(char(9));
    c.append(char(4)); // INTERFACE
    c.append(char(InterfaceNumber));
    c.append(char(0));
    c.append(char(3)); // endpoints
    c.append(char(InterfaceClass));
    c.append(char(0));
    c.append(char(0));
    c.append(char(0));
    endpoint(c, EventEndpoint, 3, EventPacketSize, 4); // interrupt, every 1 ms at high speed
    endpoint(c, ReadEndpoint, 2, BulkPacketSize, 0);
    endpoint(c, WriteEndpoint, 2, BulkPacketSize, 0);
    return c;
}

QByteArray MixerDescriptors::string(std::uint8_t index)
{
    QString text;
    switch (index) {
    case 0: {
        QByteArray languages;
        languages.append(char(4));
        languages.append(char(3));
        putU16(languages, 0x0409);
        return languages;
    }
    case VirtualMixerIds::ManufacturerString:
        text = QStringLiteral("Korvel");
        break;
    case VirtualMixerIds::ProductString:
        text = QStringLiteral("KL-VT90 (virtual)");
        break;
    case VirtualMixerIds::SerialString:
        text = QStringLiteral("VT90-VIRTUAL-0001");
        break;
    default:
        return QByteArray();
    }
    QByteArray s;
    s.append(char(2 + 2 * text.size()));
    s.append(char(3)); // STRING
    for (QChar ch : text)
        putU16(s, ch.unicode());
    return s;
}
