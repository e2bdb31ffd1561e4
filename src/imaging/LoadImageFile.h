#pragma once

#include "imaging/ImageLibrary.h"

#include <QString>

class MessageBoxes;

// The one routine through which every picture is loaded: 32 bits per pixel,
// blue, green, red, alpha, right side up. On failure shows message 122 with
// the file name without its folder (caption 1, error icon) and returns false;
// bitmap is then left as it was. info, when given, receives the size and depth.
bool LoadImageFile(ImageLibrary &images, MessageBoxes &boxes, const QString &fileName,
                   Bitmap &bitmap, ImageInfo *info = nullptr);
