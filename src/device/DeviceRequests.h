#pragma once

#include <cstdint>

// The mixer's vendor requests, spoken by the program and answered by the
// virtual mixer. Device-to-host (In) and host-to-device (Out) codes are
// numbered separately; the direction comes from the control transfer.
namespace DeviceRequest {

enum class In : std::uint8_t {
    DskPlay = 0x00,
    DskPause = 0x01,
    DskStop = 0x02,
    AllocTitleMemory = 0x03,
    AllocIntVideoMemory = 0x04,
    SetMemorySetting = 0x05,
    GetFirmwareVersion = 0x06,
    ReadTitleHeader = 0x07,
    BeginTestRead = 0x08,
    BeginTestWrite = 0x09,
    BeginMemoryMapRead = 0x0A,
    GetFrameInfo = 0x0B,
    BeginFrameRead = 0x0C,
    BeginFrameWrite = 0x0D,
    BeginSetupDataRead = 0x0F,
    BeginSetupDataWrite = 0x10,
    CheckEffectPatterns = 0x11,
    PreviewMemoryPage = 0x12,
    GetSetupDataMode = 0x13,
    GetFrameLayout = 0x14,
    RecallEvent = 0x15,
    Autotake = 0x16,
    PreviewStart = 0x17,
    PreviewStop = 0x18,
    GetKeyCodes = 0x1A,
};

enum class Out : std::uint8_t {
    WriteTitleHeader = 0x00,
    SendSerialCommand = 0x01,
    CancelTransfer = 0x80,
    MemoryOperation = 0x81,
};

// MemoryOperation's index: what happens to the memory number in its value.
enum class MemoryOp : std::uint16_t {
    Clear = 0,
    Unprotect = 1,
    Protect = 4,
};

// CancelTransfer's value: the bulk pipe whose transfer is dropped.
enum class CancelSide : std::uint16_t {
    Read = 2,
    Write = 3,
};

// First byte of the replies that carry a status.
enum class Status : std::uint8_t {
    Refused = 0,
    Busy = 1,
    Accepted = 2,
};

// While the device is in setup-data mode the program sends only these two.
constexpr bool allowedInSetupDataMode(In request)
{
    return request == In::BeginSetupDataRead || request == In::BeginSetupDataWrite;
}

} // namespace DeviceRequest
