#include "properties/StoredTitleUpdate.h"

#include "device/DeviceCommands.h"
#include "list/TitleAttributes.h"

#include <QtEndian>

namespace StoredTitleUpdate {

bool WriteStoredTitle(DeviceLink &link, const TitleAttributes &a)
{
    DeviceCommands commands(link);
    const QByteArray record(reinterpret_cast<const char *>(a.bytes().data()),
                            TitleAttributes::Size);
    const bool written = commands.WriteTitleHeader(a.memoryNo(), record);
    const bool protectSet =
        commands.MemoryOperation(a.memoryNo(), a.protect() ? DeviceRequest::MemoryOp::Protect
                                                           : DeviceRequest::MemoryOp::Unprotect);
    return written && protectSet;
}

std::optional<std::pair<std::uint16_t, std::uint16_t>>
CheckEffectPatterns(DeviceLink &link, std::uint16_t in, std::uint16_t out)
{
    const auto reply = DeviceCommands(link).CheckEffectPatterns(in, out);
    if (!reply || reply->size() < 4)
        return std::nullopt;
    return std::pair{qFromLittleEndian<quint16>(reply->constData()),
                     qFromLittleEndian<quint16>(reply->constData() + 2)};
}

} // namespace StoredTitleUpdate
