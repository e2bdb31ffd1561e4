#include "device/DeviceIdSettings.h"

#include "mixer/VirtualMixerIds.h"

#include <QSettings>

namespace {

std::uint16_t readId(QSettings &settings, const QString &key, std::uint16_t fallback)
{
    const QVariant value = settings.value(key);
    if (!value.isValid())
        return fallback;
    bool ok = false;
    const QString text = value.toString().trimmed();
    const uint id = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                        ? text.mid(2).toUInt(&ok, 16)
                        : text.toUInt(&ok, 10);
    return ok && id <= 0xFFFF ? std::uint16_t(id) : fallback;
}

} // namespace

DeviceIdSettings DeviceIdSettings::defaults()
{
    return {VirtualMixerIds::VendorId, VirtualMixerIds::ProductId};
}

DeviceIdSettings DeviceIdSettings::read(QSettings &settings)
{
    const DeviceIdSettings fallback = defaults();
    settings.beginGroup(QStringLiteral("Device"));
    const DeviceIdSettings ids{readId(settings, QStringLiteral("VendorId"), fallback.vendorId),
                               readId(settings, QStringLiteral("ProductId"), fallback.productId)};
    settings.endGroup();
    return ids;
}

void DeviceIdSettings::write(QSettings &settings) const
{
    settings.beginGroup(QStringLiteral("Device"));
    settings.setValue(QStringLiteral("VendorId"),
                      QStringLiteral("0x%1").arg(vendorId, 4, 16, QLatin1Char('0')));
    settings.setValue(QStringLiteral("ProductId"),
                      QStringLiteral("0x%1").arg(productId, 4, 16, QLatin1Char('0')));
    settings.endGroup();
}
