#pragma once

#include <QByteArray>
#include <functional>

class DeviceLink;

// One read of the mixer's memory map over the bulk-in pipe, run at once and
// without a dialog: the begin request (asking for a resync after a rejected
// map), 1024 bytes from the read pipe, and the first 968 handed to the sink.
// A short read cancels the transfer and resets the device; a map the sink
// rejects marks the read side for a resync and resets the device.
namespace MemoryMapReader {

inline constexpr int ReadSize = 1024;

// The sink takes the map (false: rejected). Returns whether a map was taken.
bool Read(DeviceLink &link, const std::function<bool(const QByteArray &)> &sink);

} // namespace MemoryMapReader
