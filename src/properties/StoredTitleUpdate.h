#pragma once

#include <cstdint>
#include <optional>
#include <utility>

class DeviceLink;
class TitleAttributes;

// A title stored in the mixer whose properties changed: the mixer gets the
// new 40-byte record for its memory number, then the protect state.
namespace StoredTitleUpdate {

// WriteTitleHeader, then MemoryOperation protect or unprotect. Returns
// whether the mixer took both.
bool WriteStoredTitle(DeviceLink &link, const TitleAttributes &attributes);
// CheckEffectPatterns with the two pattern words: the patterns the mixer will
// use instead (its two reply words), nothing when it does not answer. The
// form ListServices::checkEffectPatterns takes.
std::optional<std::pair<std::uint16_t, std::uint16_t>>
CheckEffectPatterns(DeviceLink &link, std::uint16_t in, std::uint16_t out);

} // namespace StoredTitleUpdate
