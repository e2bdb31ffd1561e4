#include "mixer/UsbBackendChoice.h"

#include "device/DeviceIdSettings.h"
#include "device/LibUsbBackend.h"
#include "mixer/MixerStateFile.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"

#include "core/Waits.h"

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

bool applyTimeScale(const Choice &choice, Waits &waits, QString *why)
{
    const QByteArray text = qgetenv("TITLEDECK_TIME_SCALE");
    if (text.isEmpty())
        return true;
    auto refuse = [why](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (!choice.virtualMixer)
        return refuse(QStringLiteral("TITLEDECK_TIME_SCALE is for the virtual mixer only; "
                                     "a mixer on USB keeps its own times"));
    bool ok = false;
    const double scale = text.toDouble(&ok);
    if (!ok || !(scale > 0) || scale > 100)
        return refuse(QStringLiteral("TITLEDECK_TIME_SCALE must be a number above 0 and "
                                     "at most 100, not \"%1\"")
                          .arg(QString::fromLocal8Bit(text)));
    waits.setScale(scale);
    return true;
}

} // namespace UsbBackendChoice
