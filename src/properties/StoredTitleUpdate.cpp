#include "properties/StoredTitleUpdate.h"

#include "device/DeviceCommands.h"
#include "list/TitleAttributes.h"

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

} // namespace StoredTitleUpdate
