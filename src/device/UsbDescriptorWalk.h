#pragma once

#include <QByteArray>
#include <QList>
#include <cstdint>

// One endpoint of the configuration, with the interface it belongs to and its
// position inside that interface (0, 1, 2 ...), which is the pipe number the
// program uses for it.
struct UsbEndpointInfo
{
    int interfaceNumber = 0;
    int pipe = 0;
    std::uint8_t address = 0;
    std::uint8_t attributes = 0;
    std::uint16_t maxPacketSize = 0;
    std::uint8_t interval = 0;
    int transferType() const { return attributes & 3; }
    bool isIn() const { return address & 0x80; }
};

struct UsbInterfaceInfo
{
    QByteArray descriptor; // the 9-byte interface descriptor
    int number = 0;
    QList<UsbEndpointInfo> endpoints;
};

// Walks a whole configuration descriptor block. Descriptors are followed by
// their bLength and picked by their type, so class-specific descriptors in
// between are stepped over; a block that is cut short or lies about a length
// ends the walk without reading past its end. At most bNumInterfaces
// interfaces (alternate setting 0 only) are returned.
QList<UsbInterfaceInfo> WalkConfigDescriptor(const QByteArray &config);

// Little-endian 16-bit field of a descriptor; 0 when out of range.
std::uint16_t DescriptorWord(const QByteArray &block, int offset);
