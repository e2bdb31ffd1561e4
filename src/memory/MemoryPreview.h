#pragma once

#include <cstdint>

class DeviceLink;

// The memory window's preview of one stored title or clip on the mixer's
// output, and its stop.
namespace MemoryPreview {

enum class Result { Started, Busy, Refused };

// PreviewStart with index 0. A busy mixer shows message 133; a refusal
// or a request that did not reach it shows nothing.
Result start(DeviceLink &link, std::uint16_t memoryNo);
// PreviewStop; true when the request went through.
bool stop(DeviceLink &link, std::uint16_t memoryNo);

} // namespace MemoryPreview
