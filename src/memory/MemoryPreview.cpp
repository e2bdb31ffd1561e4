#include "memory/MemoryPreview.h"

#include "core/MessageBoxes.h"
#include "device/DeviceCommands.h"
#include "device/DeviceLink.h"

namespace MemoryPreview {

Result start(DeviceLink &link, std::uint16_t memoryNo)
{
    const auto reply = DeviceCommands(link).PreviewStart(memoryNo, false);
    if (!reply || reply->isEmpty())
        return Result::Refused;
    const auto status = DeviceRequest::Status(std::uint8_t(reply->at(0)));
    if (status == DeviceRequest::Status::Busy) {
        ShowMessageById(link.messageBoxes(), 1, DeviceCommands::kMsgBusy, MsgError);
        return Result::Busy;
    }
    return status == DeviceRequest::Status::Accepted ? Result::Started : Result::Refused;
}

bool stop(DeviceLink &link, std::uint16_t memoryNo)
{
    const auto reply = DeviceCommands(link).PreviewStop(memoryNo);
    return reply && !reply->isEmpty() &&
           DeviceRequest::Status(std::uint8_t(reply->at(0))) == DeviceRequest::Status::Accepted;
}

} // namespace MemoryPreview
