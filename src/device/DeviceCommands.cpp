#include "device/DeviceCommands.h"

#include "core/MessageBoxes.h"
#include "core/Waits.h"
#include "device/DeviceLink.h"

#include <QtEndian>

using DeviceRequest::In;
using DeviceRequest::Out;
using DeviceRequest::Status;

namespace {
constexpr int kCaptionError = 1;
} // namespace

std::optional<QByteArray> DeviceCommands::inRequest(In request, std::uint16_t value,
                                                    std::uint16_t index, std::uint16_t length)
{
    QByteArray reply(length, '\0');
    if (!m_link.VendorRequest(request, reinterpret_cast<std::uint8_t *>(reply.data()), length,
                              value, index))
        return std::nullopt;
    return reply;
}

bool DeviceCommands::outRequest(Out request, std::uint16_t value, std::uint16_t index,
                                const QByteArray &payload)
{
    if (payload.size() > 0xFFFF)
        return false;
    return m_link.VendorRequest(
        request,
        payload.isEmpty() ? nullptr : reinterpret_cast<const std::uint8_t *>(payload.constData()),
        std::uint16_t(payload.size()), value, index);
}

DeviceCommands::Allocation DeviceCommands::parseAllocation(const QByteArray &reply)
{
    Allocation a;
    if (reply.size() < 6)
        return a;
    a.memoryNo = qFromLittleEndian<quint16>(reply.constData());
    a.deviceWord = qFromLittleEndian<quint32>(reply.constData() + 2);
    return a;
}

std::optional<QByteArray> DeviceCommands::DskPlay(std::uint16_t memoryNo)
{
    return inRequest(In::DskPlay, memoryNo, 0, 2);
}

std::optional<QByteArray> DeviceCommands::DskPause()
{
    return inRequest(In::DskPause, 0, 0, 2);
}

std::optional<QByteArray> DeviceCommands::DskStop()
{
    return inRequest(In::DskStop, 0, 0, 2);
}

std::optional<QByteArray> DeviceCommands::AllocTitleMemory(std::uint8_t blocksPerFrame,
                                                           bool protect, std::uint16_t frameCount)
{
    const std::uint16_t value = std::uint16_t(blocksPerFrame | (protect ? 0x8000 : 0));
    return inRequest(In::AllocTitleMemory, value, frameCount, 6);
}

std::optional<QByteArray> DeviceCommands::AllocIntVideoMemory(std::uint16_t frameCount)
{
    return inRequest(In::AllocIntVideoMemory, frameCount, 0, 6);
}

std::optional<QByteArray> DeviceCommands::SetMemorySetting(std::uint8_t aspect, std::uint8_t signal,
                                                           std::uint16_t titleRows)
{
    return inRequest(In::SetMemorySetting, std::uint16_t(aspect | (signal << 8)), titleRows, 2);
}

std::optional<QByteArray> DeviceCommands::GetFirmwareVersion()
{
    return inRequest(In::GetFirmwareVersion, 0, 0, 4);
}

std::optional<QByteArray> DeviceCommands::ReadTitleHeader(std::uint16_t memoryNo)
{
    return inRequest(In::ReadTitleHeader, memoryNo, 0, kTitleHeaderSize);
}

std::optional<QByteArray> DeviceCommands::BeginMemoryMapRead(bool resync)
{
    return inRequest(In::BeginMemoryMapRead, resync ? 1 : 0, 0, 2);
}

std::optional<QByteArray> DeviceCommands::CheckEffectPatterns(std::uint16_t inPattern,
                                                              std::uint16_t outPattern)
{
    return inRequest(In::CheckEffectPatterns, inPattern, outPattern, 4);
}

std::optional<QByteArray> DeviceCommands::PreviewMemoryPage(std::uint16_t page)
{
    return inRequest(In::PreviewMemoryPage, page, 0, 2);
}

std::optional<QByteArray> DeviceCommands::GetSetupDataMode()
{
    return inRequest(In::GetSetupDataMode, 0, 0, 2);
}

std::optional<QByteArray> DeviceCommands::GetFrameLayout(std::uint16_t memoryNo,
                                                         std::uint16_t frame)
{
    return inRequest(In::GetFrameLayout, memoryNo, frame, 10);
}

std::optional<QByteArray> DeviceCommands::RecallEvent(std::uint16_t eventNo)
{
    return inRequest(In::RecallEvent, eventNo, 0, 2);
}

std::optional<QByteArray> DeviceCommands::Autotake()
{
    return inRequest(In::Autotake, 0, 0, 2);
}

std::optional<QByteArray> DeviceCommands::PreviewStart(std::uint16_t memoryNo, bool keyerCursor)
{
    return inRequest(In::PreviewStart, memoryNo, keyerCursor ? 1 : 0, 2);
}

std::optional<QByteArray> DeviceCommands::PreviewStop(std::uint16_t memoryNo)
{
    return inRequest(In::PreviewStop, memoryNo, 0, 2);
}

std::optional<QByteArray> DeviceCommands::GetKeyCodes()
{
    return inRequest(In::GetKeyCodes, 0, 0, 10);
}

bool DeviceCommands::BeginTestRead(std::uint16_t units512)
{
    return CheckedRequest(In::BeginTestRead, units512, 0, 2);
}

bool DeviceCommands::BeginTestWrite(std::uint16_t units512)
{
    return RetriedRequest(In::BeginTestWrite, units512, 0, 2);
}

bool DeviceCommands::BeginSetupDataRead()
{
    return CheckedRequest(In::BeginSetupDataRead, 0, 0, 2);
}

bool DeviceCommands::BeginSetupDataWrite()
{
    return RetriedRequest(In::BeginSetupDataWrite, 0, 0, 2);
}

bool DeviceCommands::GetFrameInfo(std::uint16_t memoryNo, std::uint16_t frame,
                                  std::array<std::uint8_t, 8> &blockFlags, std::uint8_t &lineClass)
{
    QByteArray reply;
    if (!CheckedRequest(In::GetFrameInfo, memoryNo, frame & 0x7FFF, 10, &reply))
        return false;
    for (int i = 0; i < 8; ++i)
        blockFlags[i] = std::uint8_t(reply[1 + i]);
    lineClass = std::uint8_t(reply[9]);
    return true;
}

bool DeviceCommands::BeginFrameRead(std::uint16_t memoryNo, std::uint16_t frame)
{
    return CheckedRequest(In::BeginFrameRead, memoryNo, frame, 2);
}

bool DeviceCommands::BeginFrameWrite(std::uint16_t memoryNo, std::uint16_t frame)
{
    return RetriedRequest(In::BeginFrameWrite, memoryNo, frame & 0x7FFF, 2);
}

bool DeviceCommands::WriteTitleHeader(std::uint16_t memoryNo, const QByteArray &header)
{
    if (header.size() != kTitleHeaderSize)
        return false;
    return outRequest(Out::WriteTitleHeader, memoryNo, 0, header);
}

bool DeviceCommands::SendSerialCommand(const QByteArray &block)
{
    if (block.size() != kSerialBlockSize)
        return false;
    return outRequest(Out::SendSerialCommand, 0, 0, block);
}

bool DeviceCommands::CancelTransfer(bool writeSide)
{
    const auto side =
        writeSide ? DeviceRequest::CancelSide::Write : DeviceRequest::CancelSide::Read;
    return outRequest(Out::CancelTransfer, std::uint16_t(side), 0, {});
}

bool DeviceCommands::MemoryOperation(std::uint16_t memoryNo, DeviceRequest::MemoryOp operation)
{
    return outRequest(Out::MemoryOperation, memoryNo, std::uint16_t(operation), {});
}

bool DeviceCommands::CheckedRequest(In request, std::uint16_t value, std::uint16_t index,
                                    std::uint16_t length, QByteArray *reply)
{
    const std::optional<QByteArray> answer = inRequest(request, value, index, qMax<int>(1, length));
    const Status status = answer ? Status(std::uint8_t(answer->at(0))) : Status::Refused;
    if (status == Status::Refused) {
        ShowMessageById(m_link.messageBoxes(), kCaptionError, kMsgRefused, MsgError);
        return false;
    }
    if (status == Status::Busy) {
        ShowMessageById(m_link.messageBoxes(), kCaptionError, kMsgBusy, MsgError);
        return false;
    }
    if (reply)
        *reply = *answer;
    return true;
}

bool DeviceCommands::RetriedRequest(In request, std::uint16_t value, std::uint16_t index,
                                    std::uint16_t length)
{
    for (int attempt = 0; attempt < kRetriedTries; ++attempt) {
        const std::optional<QByteArray> answer =
            inRequest(request, value, index, qMax<int>(1, length));
        if (!answer)
            break;
        const Status status = Status(std::uint8_t(answer->at(0)));
        if (status == Status::Busy) {
            ShowMessageById(m_link.messageBoxes(), kCaptionError, kMsgBusy, MsgError);
            return false;
        }
        if (status == Status::Accepted)
            return true;
        if (attempt + 1 < kRetriedTries)
            m_link.waits().pause(kRetryPauseMs);
    }
    ShowMessageById(m_link.messageBoxes(), kCaptionError, kMsgRefused, MsgError);
    return false;
}
