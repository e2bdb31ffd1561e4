#pragma once

#include <cstdint>

class SettingsStore;

// The vendor and product ids the USB backend looks for: settings group
// "Device", keys "VendorId" and "ProductId" (numbers, or "0x..." text).
// Missing or unusable values fall back to the program's default pair, a test
// pair that no shipping product uses and under which the virtual mixer shows
// itself, so that it is found without any configuration.
struct DeviceIdSettings
{
    static constexpr std::uint16_t DefaultVendorId = 0xF055;
    static constexpr std::uint16_t DefaultProductId = 0x5690;

    std::uint16_t vendorId = DefaultVendorId;
    std::uint16_t productId = DefaultProductId;

    static DeviceIdSettings read(SettingsStore &settings);
};
