#include "device/DeviceIdSettings.h"

#include "core/SettingsStore.h"

namespace {

std::uint16_t readId(SettingsStore &settings, const QString &key, std::uint16_t fallback)
{
    const QString text = settings.ReadStringDefault(key, QString()).trimmed();
    bool ok = false;
    const uint id = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                        ? text.mid(2).toUInt(&ok, 16)
                        : text.toUInt(&ok, 10);
    return ok && id <= 0xFFFF ? std::uint16_t(id) : fallback;
}

} // namespace

DeviceIdSettings DeviceIdSettings::read(SettingsStore &settings)
{
    settings.beginGroup(QStringLiteral("Device"));
    const DeviceIdSettings ids{readId(settings, QStringLiteral("VendorId"), DefaultVendorId),
                               readId(settings, QStringLiteral("ProductId"), DefaultProductId)};
    settings.endGroup();
    return ids;
}
