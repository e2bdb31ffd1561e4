#pragma once

#include <cstdint>

// Request codes of the mixer's vendor requests. Codes are numbered separately
// per direction: device-to-host ("In") and host-to-device ("Out").
namespace DeviceRequest {

// Device to host.
constexpr std::uint8_t DskPlay = 0x00;
constexpr std::uint8_t DskPause = 0x01;
constexpr std::uint8_t DskStop = 0x02;
constexpr std::uint8_t AllocTitleMemory = 0x03;
constexpr std::uint8_t AllocIntVideoMemory = 0x04;
constexpr std::uint8_t SetMemorySetting = 0x05;
constexpr std::uint8_t GetFirmwareVersion = 0x06;
constexpr std::uint8_t ReadTitleHeader = 0x07;
constexpr std::uint8_t BeginTestRead = 0x08;
constexpr std::uint8_t BeginTestWrite = 0x09;
constexpr std::uint8_t BeginMemoryMapRead = 0x0A;
constexpr std::uint8_t GetFrameInfo = 0x0B;
constexpr std::uint8_t BeginFrameRead = 0x0C;
constexpr std::uint8_t BeginFrameWrite = 0x0D;
constexpr std::uint8_t BeginSetupDataRead = 0x0F;
constexpr std::uint8_t BeginSetupDataWrite = 0x10;
constexpr std::uint8_t CheckEffectPatterns = 0x11;
constexpr std::uint8_t PreviewMemoryPage = 0x12;
constexpr std::uint8_t GetSetupDataMode = 0x13;
constexpr std::uint8_t GetFrameLayout = 0x14;
constexpr std::uint8_t RecallEvent = 0x15;
constexpr std::uint8_t Autotake = 0x16;
constexpr std::uint8_t PreviewStart = 0x17;
constexpr std::uint8_t PreviewStop = 0x18;
constexpr std::uint8_t GetKeyCodes = 0x1A;

// Host to device.
constexpr std::uint8_t WriteTitleHeader = 0x00;
constexpr std::uint8_t SendSerialCommand = 0x01;
constexpr std::uint8_t CancelTransfer = 0x80;
constexpr std::uint8_t MemoryOperation = 0x81;

// Reply status byte.
constexpr std::uint8_t StatusRefused = 0;
constexpr std::uint8_t StatusBusy = 1;
constexpr std::uint8_t StatusAccepted = 2;

// While the device is in setup-data mode only these two are sent.
inline bool allowedInSetupDataMode(std::uint8_t request)
{
    return request == BeginSetupDataRead || request == BeginSetupDataWrite;
}

} // namespace DeviceRequest
