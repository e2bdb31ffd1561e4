#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <optional>

class MessageBoxes;

// The mixer's flash setup data as a ".vts" file: the 32,768 bytes as the
// mixer sent them, then their byte sum as a little-endian 32-bit number.
// Nothing else is stored; bytes after the sum are ignored when a file is read.
namespace SetupDataFile {

constexpr int DataSize = 32768;
constexpr int FileSize = DataSize + 4;

// The sum of the bytes, each taken unsigned, modulo 2^32.
std::uint32_t sum(QByteArrayView data);
// The file's content for a block of DataSize bytes.
QByteArray encode(QByteArrayView data);
// The block of a file's content, when it holds a whole block followed by
// its sum; nothing for a short file or a sum that does not match.
std::optional<QByteArray> decode(QByteArrayView content);
// Writes the block's file through a temporary file: message 137 when it is
// written, message 91 (and the previous file, if any, left as it was) when not.
bool Save(const QString &path, QByteArrayView data, MessageBoxes &boxes);

} // namespace SetupDataFile
