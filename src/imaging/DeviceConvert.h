#pragma once

#include "imaging/Bitmap.h"
#include "imaging/DeviceConvertReference.h"
#include "imaging/DevicePicture.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

class ImageLibrary;
class MessageBoxes;

// The conversions between picture files and the mixer's picture format, as the
// upload and save jobs call them. The level settings are read by the caller
// at the start of each conversion and passed in.

// Loads the picture file and converts the top-left width x height of it into a
// device frame for the current video format (isPal). isTitle is false for an
// IntVideo clip. Returns the buffer (its size rounded up to 512 bytes, padding
// 0); empty on failure. A file that cannot be read shows message 122 with its
// name; a size of 0 or less fails without a message.
std::vector<std::uint8_t> ConvertImageToDevice(ImageLibrary &library, MessageBoxes &boxes,
                                               const QString &fileName, int width, int height,
                                               bool isTitle, bool isPal,
                                               const DevicePicture::LevelSettings &levels);

// Turns `lines` device lines of 720 pixels into a picture 640 (NTSC) or 768
// (PAL) pixels wide; 32 bits with the key as alpha when keepKey, else 24.
// isPal is the PAL flag the device reported for the frame. Null when lines < 1
// or the buffer is shorter than its lines.
Bitmap ConvertDeviceToPicture(const std::uint8_t *buffer, std::size_t size, int lines, bool isTitle,
                              bool isPal, bool keepKey, const DevicePicture::LevelSettings &levels);

DeviceConvertReference::YCbCr ConvertPixelToDevice(int r, int g, int b,
                                                   const DevicePicture::LevelSettings &levels);
DeviceConvertReference::RgbOutliers
ConvertPixelFromDevice(int y, int cb, int cr, const DevicePicture::LevelSettings &levels);
