#include "device/DescriptorText.h"

#include "device/UsbDescriptorWalk.h"

namespace {

int byteAt(const QByteArray &block, int offset)
{
    return offset < block.size() ? std::uint8_t(block[offset]) : 0;
}

QString dec(const char *name, int value)
{
    return QStringLiteral("%1  : %2").arg(QLatin1String(name)).arg(value);
}

QString hex(const char *name, int value)
{
    return QStringLiteral("%1  : 0x%2").arg(QLatin1String(name)).arg(value, 0, 16);
}

} // namespace

namespace DescriptorText {

QStringList deviceLines(const QByteArray &d)
{
    if (d.size() < 18)
        return {};
    return {
        dec("bLength", byteAt(d, 0)),
        hex("bDescriptorType", byteAt(d, 1)),
        hex("bcdUSB", DescriptorWord(d, 2)),
        hex("bDeviceClass", byteAt(d, 4)),
        hex("bDeviceSubClass", byteAt(d, 5)),
        hex("bDeviceProtocol", byteAt(d, 6)),
        hex("bMaxPacketSize0", byteAt(d, 7)),
        hex("idVendor", DescriptorWord(d, 8)),
        hex("idProduct", DescriptorWord(d, 10)),
        hex("bcdDevice", DescriptorWord(d, 12)),
        hex("iManufacturer", byteAt(d, 14)),
        hex("iProduct", byteAt(d, 15)),
        hex("iSerialNumber", byteAt(d, 16)),
        hex("bNumConfigurations", byteAt(d, 17)),
    };
}

QStringList configurationLines(const QByteArray &c)
{
    if (c.size() < 9)
        return {};
    return {
        dec("bLength", byteAt(c, 0)),
        hex("bDescriptorType", byteAt(c, 1)),
        hex("wTotalLength", DescriptorWord(c, 2)),
        hex("bNumInterfaces", byteAt(c, 4)),
        hex("bConfigurationValue", byteAt(c, 5)),
        hex("iConfiguration", byteAt(c, 6)),
        hex("bmAttributes", byteAt(c, 7)),
        hex("MaxPower", byteAt(c, 8)),
    };
}

QStringList interfaceLines(const QByteArray &c)
{
    static const char *const kTypes[] = {"  (Control", "  (Isochronous", "  (Bulk", "  (Interrupt"};
    QStringList out;
    const QList<UsbInterfaceInfo> interfaces = WalkConfigDescriptor(c);
    for (int i = 0; i < interfaces.size(); ++i) {
        const QByteArray &d = interfaces[i].descriptor;
        out << QStringLiteral("Interface %1").arg(i) << dec("bLength", byteAt(d, 0))
            << hex("bDescriptorType", byteAt(d, 1)) << hex("bInterfaceNumber", byteAt(d, 2))
            << hex("bAlternateSetting", byteAt(d, 3)) << hex("bNumEndpoints", byteAt(d, 4))
            << hex("bInterfaceClass", byteAt(d, 5)) << hex("bInterfaceSubClass", byteAt(d, 6))
            << hex("bInterfaceProtocol", byteAt(d, 7)) << hex("iInterface", byteAt(d, 8))
            << QString();
        for (const UsbEndpointInfo &ep : interfaces[i].endpoints) {
            out << QStringLiteral("Endpoint %1").arg(ep.address & 0x0F)
                << hex("bEndpointAddress", ep.address)
                << hex("bmAttributes", ep.attributes) + QLatin1String(kTypes[ep.attributes & 3]) +
                       QLatin1String(ep.isIn() ? " In)" : " Out)")
                << hex("wMaxPacketSize", ep.maxPacketSize) << hex("bInterval", ep.interval)
                << QString();
        }
    }
    return out;
}

QStringList lines(Kind kind, const QByteArray &deviceDescriptor, const QByteArray &configDescriptor)
{
    switch (kind) {
    case Device:
        return deviceLines(deviceDescriptor);
    case Configuration:
        return configurationLines(configDescriptor);
    case Interface:
        return interfaceLines(configDescriptor);
    }
    return {};
}

} // namespace DescriptorText
