#pragma once

#include "imaging/Bitmap.h"

#include <QString>

class ImageLibrary;
class MessageBoxes;
struct VideoFormatParams;

// The 112 x 84 picture of the whole screen that stands for a title in the
// grid, the property dialog and the memory window: black, the icon frame
// (one field of it) scaled and placed at the title's position, and grey
// letterbox bars on lines 0-10 and 73-83 for a 16:9 device.
namespace Thumbnail {

inline constexpr int Width = 112;
inline constexpr int Height = 84;

// Loads fileName (LoadImageFile: message 122 on failure, thumbnail then left
// as it was) and draws it into thumbnail. Returns whether it was drawn.
bool MakeThumbnail(Bitmap &thumbnail, const QString &fileName, int positionX, int positionY,
                   const VideoFormatParams &format, bool aspect16x9, ImageLibrary &images,
                   MessageBoxes &boxes);
// The drawing alone, from a loaded 32-bit picture; safe on any thread.
// thumbnail must be 112 x 84 (any other size is left untouched; returns false).
bool render(Bitmap &thumbnail, const Bitmap &picture, int positionX, int positionY,
            const VideoFormatParams &format, bool aspect16x9);
// A new 112 x 84, 24-bit thumbnail drawn from a loaded picture.
Bitmap rendered(const Bitmap &picture, int positionX, int positionY,
                const VideoFormatParams &format, bool aspect16x9);

} // namespace Thumbnail
