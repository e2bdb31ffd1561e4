#pragma once

#include "imaging/DeviceFrameGroup.h"
#include "imaging/DevicePicture.h"
#include "imaging/ImageLibrary.h"

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <optional>

// The file format and depth of a title or clip saved from the mixer.
struct SaveFormatChoice
{
    ImageFileFormat format;
    int bitsPerPixel;
};

// By the chosen file's extension (".TGA", ".TIF", ".BMP", ".JPG", ".PCT",
// ".PIC", compared in upper case): titles keep their key as alpha in TARGA
// and TIFF; everything else is 24-bit. Nothing for any other extension.
std::optional<SaveFormatChoice> SaveFormatFor(const QString &extension, bool isTitle);

// A saved frame's file: base + extension for number 0 (a single frame saved
// under the chosen name), else base + the number as "%03d" + extension.
QString SavedFrameName(const QString &base, const QString &extension, int number);

// What one buffer read back from the mixer becomes.
struct DeviceFrameSave
{
    bool isTitle = true;
    QString basePath;  // the chosen path without its extension
    QString extension; // as chosen, with its dot
    int blocksPerFrame = 1;
    int frameNo = 0; // number of the group's first frame; 0 names the file after the chosen path
    int width = 0;   // the title's or clip's Width and Height
    int height = 0;
    int lines = 0;     // device lines in the buffer
    int maxFrames = 1; // frames still to save: a group never names more files than that
    DeviceFrameGroup group;
    DevicePicture::LevelSettings levels;
};

struct SavedFrames
{
    QStringList written;
    QString failedFile; // the file that could not be made, empty when all were
    bool ok() const { return failedFile.isEmpty(); }
};

// Converts the buffer and writes one file (a clip) or one file per frame of
// the group (a title), each cropped to Width x Height. Each file replaces an
// old one only once it is whole. Stops at the first file that cannot be made;
// the files written before stay.
SavedFrames SaveDeviceFrame(ImageLibrary &library, const std::uint8_t *buffer, std::size_t size,
                            const DeviceFrameSave &save);
