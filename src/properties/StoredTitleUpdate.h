#pragma once

class DeviceLink;
class TitleAttributes;

// A title stored in the mixer whose properties changed: the mixer gets the
// new 40-byte record for its memory number, then the protect state.
namespace StoredTitleUpdate {

// WriteTitleHeader, then MemoryOperation protect or unprotect. Returns
// whether the mixer took both.
bool WriteStoredTitle(DeviceLink &link, const TitleAttributes &attributes);

} // namespace StoredTitleUpdate
