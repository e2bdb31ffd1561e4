#include "mixer/UsbBackendChoice.h"

#include "device/DeviceIdSettings.h"
#include "device/LibUsbBackend.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"

namespace UsbBackendChoice {

std::unique_ptr<UsbBackend> make(bool virtualMixer, SettingsStore &settings, Waits &waits,
                                 bool *usable)
{
    if (virtualMixer) {
        if (usable)
            *usable = true;
        return std::make_unique<VirtualMixerBackend>(std::make_unique<VirtualMixer>(waits));
    }
    const DeviceIdSettings ids = DeviceIdSettings::read(settings);
    auto usb = std::make_unique<LibUsbBackend>(ids.vendorId, ids.productId);
    if (usable)
        *usable = usb->isUsable();
    return usb;
}

} // namespace UsbBackendChoice
