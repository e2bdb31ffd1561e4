#pragma once

#include <cstdint>

// The mixer's vendor request codes. Device-to-host and host-to-device codes
// are numbered separately; the direction comes from the control transfer.
enum class MixerInRequest : std::uint8_t {
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

enum class MixerOutRequest : std::uint8_t {
    WriteTitleHeader = 0x00,
    SendSerialCommand = 0x01,
    CancelTransfer = 0x80,
    MemoryOperation = 0x81,
};

// First byte of the replies that carry a status.
namespace MixerStatus {
inline constexpr std::uint8_t Refused = 0;
inline constexpr std::uint8_t Busy = 1;
inline constexpr std::uint8_t Accepted = 2;
} // namespace MixerStatus

// Special memory numbers.
namespace MixerMemoryNo {
inline constexpr std::uint16_t FirstClip = 0x4000;
inline constexpr std::uint16_t LastClip = 0xFFF9;
inline constexpr std::uint16_t AllIntVideo = 0xFFFB;
inline constexpr std::uint16_t AllMemory = 0xFFFC;
inline constexpr std::uint16_t NoRoom = 0xFFFE;
inline constexpr std::uint16_t None = 0xFFFF;
} // namespace MixerMemoryNo
