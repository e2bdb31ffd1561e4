#pragma once

#include <QStringList>

// Which of the files dropped on the main window become titles: only TARGA,
// BMP and JPEG files (by extension, in any letter case), in sorted order, and
// a numbered sequence dropped as many files only once, from its first file.
namespace DroppedFiles {

// True for ".tga", ".bmp" and ".jpg" in any letter case.
bool isAccepted(const QString &fileName);
// The accepted names sorted (case-insensitively); then, for each kept name in
// turn, the files that follow it in its numbered sequence are removed.
QStringList filesToAdd(const QStringList &dropped);

} // namespace DroppedFiles
