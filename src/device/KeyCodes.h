#pragma once

#include <QByteArray>
#include <QStringList>
#include <optional>

class DeviceLink;

// The nine key codes of the mixer's panel as GetKeyCodes reports them: the
// three keys, then those of control panels A and B. A slot without a key
// (0xFF) shows nothing.
namespace KeyCodes {

inline constexpr int Count = 9;

// The nine texts of a reply (decimal numbers; empty for 0xFF or missing bytes).
QStringList texts(const QByteArray &reply);
// Asks the mixer; none when the request failed.
std::optional<QStringList> read(DeviceLink &link);

} // namespace KeyCodes
