#pragma once

#include "device/DeviceIdSettings.h"

#include <cstdint>

// The identity under which the virtual mixer shows itself on the bus, and the
// endpoint layout of its one vendor interface. It takes the program's default
// device ids, so that `--virtual-mixer` and the umockdev harness find the
// model without any configuration.
namespace VirtualMixerIds {

inline constexpr std::uint16_t VendorId = DeviceIdSettings::DefaultVendorId;
inline constexpr std::uint16_t ProductId = DeviceIdSettings::DefaultProductId;
inline constexpr std::uint16_t DeviceRelease = 0x0100; // bcdDevice 1.00

inline constexpr std::uint8_t ConfigurationValue = 1;
inline constexpr std::uint8_t InterfaceNumber = 0;
inline constexpr std::uint8_t InterfaceClass = 0xFF; // vendor specific

// In descriptor order: interrupt in (pipe 0), bulk in (pipe 1), bulk out (pipe 2).
inline constexpr std::uint8_t EventEndpoint = 0x81;
inline constexpr std::uint8_t ReadEndpoint = 0x82;
inline constexpr std::uint8_t WriteEndpoint = 0x02;

inline constexpr std::uint16_t EventPacketSize = 64;
inline constexpr std::uint16_t BulkPacketSize = 512;

// String descriptor indexes (language 0x0409).
inline constexpr std::uint8_t ManufacturerString = 1;
inline constexpr std::uint8_t ProductString = 2;
inline constexpr std::uint8_t SerialString = 3;

} // namespace VirtualMixerIds
