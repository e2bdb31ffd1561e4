#pragma once

#include <cstdint>

class QSettings;

// The vendor and product ids the USB backend looks for: settings group
// "Device", keys "VendorId" and "ProductId" (numbers, or "0x..." text).
// Missing or unusable values fall back to the virtual mixer's test pair.
struct DeviceIdSettings
{
    std::uint16_t vendorId;
    std::uint16_t productId;

    static DeviceIdSettings defaults();
    static DeviceIdSettings read(QSettings &settings);
    void write(QSettings &settings) const;
};
