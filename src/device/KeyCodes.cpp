#include "device/KeyCodes.h"

#include "device/DeviceCommands.h"
#include "device/DeviceLink.h"

namespace KeyCodes {

QStringList texts(const QByteArray &reply)
{
    QStringList out;
    for (int i = 0; i < Count; ++i) {
        const int code = i < reply.size() ? std::uint8_t(reply.at(i)) : 0xFF;
        out << (code == 0xFF ? QString() : QString::number(code));
    }
    return out;
}

std::optional<QStringList> read(DeviceLink &link)
{
    if (!link.Connected())
        return std::nullopt;
    const std::optional<QByteArray> reply = DeviceCommands(link).GetKeyCodes();
    if (!reply || reply->size() < Count)
        return std::nullopt;
    return texts(*reply);
}

} // namespace KeyCodes
