#pragma once

#include "core/MemoryNo.h"
#include "device/DeviceRequests.h"

#include <QByteArray>
#include <array>
#include <cstdint>
#include <optional>

class DeviceLink;

// The mixer's command set: one call per named request with its value, index
// and length. In-requests return the reply bytes (std::nullopt when the
// request failed); out-requests return whether it succeeded. Only
// CheckedRequest and RetriedRequest turn a reply status into a message.
class DeviceCommands
{
public:
    static constexpr int kMsgBusy = 133;
    static constexpr int kMsgRefused = 134;
    static constexpr int kRetriedTries = 30;
    static constexpr int kRetryPauseMs = 100;
    static constexpr int kSerialBlockSize = 34;
    static constexpr int kTitleHeaderSize = 40;

    explicit DeviceCommands(DeviceLink &link) : m_link(link) {}

    struct Allocation
    {
        std::uint16_t memoryNo = MemoryNo::None;
        std::uint32_t deviceWord = 0;
    };
    static Allocation parseAllocation(const QByteArray &reply);

    // Device to host.
    std::optional<QByteArray> DskPlay(std::uint16_t memoryNo);
    std::optional<QByteArray> DskPause();
    std::optional<QByteArray> DskStop();
    std::optional<QByteArray> AllocTitleMemory(std::uint8_t blocksPerFrame, bool protect,
                                               std::uint16_t frameCount);
    std::optional<QByteArray> AllocIntVideoMemory(std::uint16_t frameCount);
    std::optional<QByteArray> SetMemorySetting(std::uint8_t aspect, std::uint8_t signal,
                                               std::uint16_t titleRows);
    std::optional<QByteArray> GetFirmwareVersion();
    std::optional<QByteArray> ReadTitleHeader(std::uint16_t memoryNo);
    std::optional<QByteArray> BeginMemoryMapRead(bool resync);
    std::optional<QByteArray> CheckEffectPatterns(std::uint16_t inPattern,
                                                  std::uint16_t outPattern);
    std::optional<QByteArray> PreviewMemoryPage(std::uint16_t page);
    std::optional<QByteArray> GetSetupDataMode();
    std::optional<QByteArray> GetFrameLayout(std::uint16_t memoryNo, std::uint16_t frame);
    std::optional<QByteArray> RecallEvent(std::uint16_t eventNo);
    std::optional<QByteArray> Autotake();
    std::optional<QByteArray> PreviewStart(std::uint16_t memoryNo, bool keyerCursor);
    std::optional<QByteArray> PreviewStop(std::uint16_t memoryNo);
    std::optional<QByteArray> GetKeyCodes();

    // Begin requests whose status is checked; a bulk transfer follows each.
    bool BeginTestRead(std::uint16_t units512);
    bool BeginTestWrite(std::uint16_t units512);
    bool GetFrameInfo(std::uint16_t memoryNo, std::uint16_t frame,
                      std::array<std::uint8_t, 8> &blockFlags, std::uint8_t &lineClass);
    bool BeginFrameRead(std::uint16_t memoryNo, std::uint16_t frame);
    bool BeginFrameWrite(std::uint16_t memoryNo, std::uint16_t frame);
    bool BeginSetupDataRead();
    bool BeginSetupDataWrite();

    // Host to device.
    bool WriteTitleHeader(std::uint16_t memoryNo, const QByteArray &header);
    bool SendSerialCommand(const QByteArray &block);
    bool CancelTransfer(bool writeSide);
    bool MemoryOperation(std::uint16_t memoryNo, DeviceRequest::MemoryOp operation);

    // Status 0 or a failed call: message 134; status 1: message 133.
    bool CheckedRequest(DeviceRequest::In request, std::uint16_t value, std::uint16_t index,
                        std::uint16_t length, QByteArray *reply = nullptr);
    // Up to 30 tries 100 ms apart while the status is 0; status 1: message 133;
    // a failed call or the last try: message 134.
    bool RetriedRequest(DeviceRequest::In request, std::uint16_t value, std::uint16_t index,
                        std::uint16_t length);

    // A raw in-request with a fresh reply buffer.
    std::optional<QByteArray> inRequest(DeviceRequest::In request, std::uint16_t value,
                                        std::uint16_t index, std::uint16_t length);
    bool outRequest(DeviceRequest::Out request, std::uint16_t value, std::uint16_t index,
                    const QByteArray &payload);

private:
    DeviceLink &m_link;
};
