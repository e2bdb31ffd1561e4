#include "device/DeviceCommands.h"

#include "core/MessageBoxes.h"
#include "core/Waits.h"
#include "device/DeviceLink.h"
#include "device/DeviceRequests.h"

namespace {
constexpr int kCaptionError = 1;

std::uint8_t *bytes(QByteArray &block)
{
    return reinterpret_cast<std::uint8_t *>(block.data());
}
} // namespace

std::optional<QByteArray> DeviceCommands::inRequest(std::uint8_t request, std::uint16_t value,
                                                    std::uint16_t index, std::uint16_t length)
{
    QByteArray reply(length, '\0');
    if (!m_link.VendorRequest(DeviceLink::Direction::In, request, bytes(reply), length, value,
                              index))
        return std::nullopt;
    return reply;
}

bool DeviceCommands::outRequest(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                                const QByteArray &payload)
{
    if (payload.size() > 0xFFFF)
        return false;
    QByteArray copy = payload;
    return m_link.VendorRequest(DeviceLink::Direction::Out, request,
                                copy.isEmpty() ? nullptr : bytes(copy), std::uint16_t(copy.size()),
                                value, index);
}

DeviceCommands::Allocation DeviceCommands::parseAllocation(const QByteArray &reply)
{
    Allocation a;
    if (reply.size() < 6)
        return a;
    const auto *p = reinterpret_cast<const std::uint8_t *>(reply.constData());
    a.memoryNo = std::uint16_t(p[0] | (p[1] << 8));
    a.deviceWord = std::uint32_t(p[2]) | (std::uint32_t(p[3]) << 8) | (std::uint32_t(p[4]) << 16) |
                   (std::uint32_t(p[5]) << 24);
    return a;
}

std::optional<QByteArray> DeviceCommands::DskPlay(std::uint16_t memoryNo)
{
    return inRequest(DeviceRequest::DskPlay, memoryNo, 0, 2);
}

std::optional<QByteArray> DeviceCommands::DskPause()
{
    return inRequest(DeviceRequest::DskPause, 0, 0, 2);
}

std::optional<QByteArray> DeviceCommands::DskStop()
{
    return inRequest(DeviceRequest::DskStop, 0, 0, 2);
}

std::optional<QByteArray> DeviceCommands::AllocTitleMemory(std::uint8_t blocksPerFrame,
                                                           bool protect, std::uint16_t frameCount)
{
    const std::uint16_t value = std::uint16_t(blocksPerFrame | (protect ? 0x8000 : 0));
    return inRequest(DeviceRequest::AllocTitleMemory, value, frameCount, 6);
}

std::optional<QByteArray> DeviceCommands::AllocIntVideoMemory(std::uint16_t frameCount)
{
    return inRequest(DeviceRequest::AllocIntVideoMemory, frameCount, 0, 6);
}

std::optional<QByteArray> DeviceCommands::SetMemorySetting(std::uint8_t aspect, std::uint8_t signal,
                                                           std::uint16_t titleRows)
{
    return inRequest(DeviceRequest::SetMemorySetting, std::uint16_t(aspect | (signal << 8)),
                     titleRows, 2);
}

std::optional<QByteArray> DeviceCommands::GetFirmwareVersion()
{
    return inRequest(DeviceRequest::GetFirmwareVersion, 0, 0, 4);
}

std::optional<QByteArray> DeviceCommands::ReadTitleHeader(std::uint16_t memoryNo)
{
    return inRequest(DeviceRequest::ReadTitleHeader, memoryNo, 0, kTitleHeaderSize);
}

std::optional<QByteArray> DeviceCommands::BeginMemoryMapRead(bool resync)
{
    return inRequest(DeviceRequest::BeginMemoryMapRead, resync ? 1 : 0, 0, 2);
}

std::optional<QByteArray> DeviceCommands::CheckEffectPatterns(std::uint16_t inPattern,
                                                              std::uint16_t outPattern)
{
    return inRequest(DeviceRequest::CheckEffectPatterns, inPattern, outPattern, 4);
}

std::optional<QByteArray> DeviceCommands::PreviewMemoryPage(std::uint16_t page)
{
    return inRequest(DeviceRequest::PreviewMemoryPage, page, 0, 2);
}

std::optional<QByteArray> DeviceCommands::GetSetupDataMode()
{
    return inRequest(DeviceRequest::GetSetupDataMode, 0, 0, 2);
}

std::optional<QByteArray> DeviceCommands::GetFrameLayout(std::uint16_t memoryNo,
                                                         std::uint16_t frame)
{
    return inRequest(DeviceRequest::GetFrameLayout, memoryNo, frame, 10);
}

std::optional<QByteArray> DeviceCommands::RecallEvent(std::uint16_t eventNo)
{
    return inRequest(DeviceRequest::RecallEvent, eventNo, 0, 2);
}

std::optional<QByteArray> DeviceCommands::Autotake()
{
    return inRequest(DeviceRequest::Autotake, 0, 0, 2);
}

std::optional<QByteArray> DeviceCommands::PreviewStart(std::uint16_t memoryNo, bool keyerCursor)
{
    return inRequest(DeviceRequest::PreviewStart, memoryNo, keyerCursor ? 1 : 0, 2);
}

std::optional<QByteArray> DeviceCommands::PreviewStop(std::uint16_t memoryNo)
{
    return inRequest(DeviceRequest::PreviewStop, memoryNo, 0, 2);
}

std::optional<QByteArray> DeviceCommands::GetKeyCodes()
{
    return inRequest(DeviceRequest::GetKeyCodes, 0, 0, 10);
}

bool DeviceCommands::GetFrameInfo(std::uint16_t memoryNo, std::uint16_t frame,
                                  std::array<std::uint8_t, 8> &blockFlags, std::uint8_t &lineClass)
{
    QByteArray reply;
    if (!CheckedRequest(DeviceRequest::GetFrameInfo, memoryNo, frame & 0x7FFF, 10, &reply))
        return false;
    for (int i = 0; i < 8; ++i)
        blockFlags[i] = std::uint8_t(reply[1 + i]);
    lineClass = std::uint8_t(reply[9]);
    return true;
}

bool DeviceCommands::BeginFrameRead(std::uint16_t memoryNo, std::uint16_t frame)
{
    return CheckedRequest(DeviceRequest::BeginFrameRead, memoryNo, frame, 2);
}

bool DeviceCommands::BeginFrameWrite(std::uint16_t memoryNo, std::uint16_t frame)
{
    return RetriedRequest(DeviceRequest::BeginFrameWrite, memoryNo, frame & 0x7FFF, 2);
}

bool DeviceCommands::WriteTitleHeader(std::uint16_t memoryNo, const QByteArray &header)
{
    if (header.size() != kTitleHeaderSize)
        return false;
    return outRequest(DeviceRequest::WriteTitleHeader, memoryNo, 0, header);
}

bool DeviceCommands::SendSerialCommand(const QByteArray &block)
{
    if (block.size() != kSerialBlockSize)
        return false;
    return outRequest(DeviceRequest::SendSerialCommand, 0, 0, block);
}

bool DeviceCommands::CancelTransfer(bool writeSide)
{
    return outRequest(DeviceRequest::CancelTransfer, writeSide ? 3 : 2, 0, {});
}

bool DeviceCommands::MemoryOperation(std::uint16_t memoryNo, std::uint16_t operation)
{
    return outRequest(DeviceRequest::MemoryOperation, memoryNo, operation, {});
}

bool DeviceCommands::CheckedRequest(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                                    std::uint16_t length, QByteArray *reply)
{
    const std::optional<QByteArray> answer = inRequest(request, value, index, qMax<int>(1, length));
    const int status = answer ? std::uint8_t(answer->at(0)) : DeviceRequest::StatusRefused;
    if (status == DeviceRequest::StatusRefused) {
        ShowMessageById(m_link.messageBoxes(), kCaptionError, kMsgRefused, MsgError);
        return false;
    }
    if (status == DeviceRequest::StatusBusy) {
        ShowMessageById(m_link.messageBoxes(), kCaptionError, kMsgBusy, MsgError);
        return false;
    }
    if (reply)
        *reply = *answer;
    return true;
}

bool DeviceCommands::RetriedRequest(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                                    std::uint16_t length)
{
    for (int attempt = 0; attempt < kRetriedTries; ++attempt) {
        const std::optional<QByteArray> answer =
            inRequest(request, value, index, qMax<int>(1, length));
        if (!answer)
            break;
        const int status = std::uint8_t(answer->at(0));
        if (status == DeviceRequest::StatusBusy) {
            ShowMessageById(m_link.messageBoxes(), kCaptionError, kMsgBusy, MsgError);
            return false;
        }
        if (status == DeviceRequest::StatusAccepted)
            return true;
        if (attempt + 1 < kRetriedTries)
            m_link.waits().pause(kRetryPauseMs);
    }
    ShowMessageById(m_link.messageBoxes(), kCaptionError, kMsgRefused, MsgError);
    return false;
}
