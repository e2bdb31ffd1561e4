#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <optional>

// Text at the file boundary: list and history files hold paths, names and
// comments in CP932 (Shift-JIS, the code page of the installations in the
// field); inside the program they are QString.
namespace Cp932 {

// The CP932 bytes of text, or nothing when a character has no CP932 form.
std::optional<QByteArray> encode(const QString &text);
// The text of a NUL-padded field of at most size bytes: stops at the first NUL
// or at the end of the field, never reads beyond it. Bytes that are not valid
// CP932 become U+FFFD.
QString decodeField(const char *field, std::size_t size);
// True when path can be stored in a field of fieldSize bytes with its NUL
// (at most fieldSize - 1 bytes of CP932).
bool fitsField(const QString &path, int fieldSize);
// text in CP932 cut to at most maxBytes bytes without splitting a double-byte
// character; characters without a CP932 form become '?'.
QByteArray encodeTruncated(const QString &text, int maxBytes);

} // namespace Cp932
