#pragma once

#include <QByteArrayView>
#include <QString>

// The one way the program replaces a file (lists, the history, pictures, device
// buffers, setup data): the new content goes to a temporary file in the same
// folder, written unbuffered so that every write's result is seen, is synced to
// the disk, and only then renamed over the old file. A full disk, a short write
// or a failed sync never costs the previous file.
namespace SafeFileWriter {

// Replaces path with bytes. False on any failure, with the previous file (or its
// absence) left byte for byte and no temporary file left behind; why, when
// given, then receives the system's reason.
bool replace(const QString &path, QByteArrayView bytes, QString *why = nullptr);

} // namespace SafeFileWriter
