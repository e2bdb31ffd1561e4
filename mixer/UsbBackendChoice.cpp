#include "mixer/UsbBackendChoice.h"

#include "device/DeviceIdSettings.h"
#include "device/LibUsbBackend.h"
#include "mixer/MixerStateFile.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"

namespace UsbBackendChoice {

std::optional<Choice> virtualMixerArgument(const QString &argument)
{
    const QString option = QStringLiteral("--virtual-mixer");
    if (argument == option)
        return Choice{true, QString()};
    if (argument.startsWith(option + QLatin1Char('=')) && argument.size() > option.size() + 1)
        return Choice{true, argument.mid(option.size() + 1)};
    return std::nullopt;
}

std::unique_ptr<UsbBackend> make(const Choice &choice, SettingsStore &settings, Waits &waits,
                                 bool *usable, QString *why)
{
    if (choice.virtualMixer) {
        auto mixer = std::make_unique<VirtualMixer>(waits);
        std::unique_ptr<MixerStateFile> file;
        if (!choice.stateFile.isEmpty()) {
            file = MixerStateFile::open(choice.stateFile, *mixer, why);
            if (!file)
                return nullptr;
        }
        auto backend = std::make_unique<VirtualMixerBackend>(std::move(mixer));
        backend->keepStateFile(std::move(file));
        if (usable)
            *usable = true;
        return backend;
    }
    const DeviceIdSettings ids = DeviceIdSettings::read(settings);
    auto usb = std::make_unique<LibUsbBackend>(ids.vendorId, ids.productId);
    if (usable)
        *usable = usb->isUsable();
    return usb;
}

} // namespace UsbBackendChoice
