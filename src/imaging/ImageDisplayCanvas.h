#pragma once

#include "imaging/Bitmap.h"

struct VideoFormatParams;

// The picture of the whole screen that the image viewer shows: one frame of a
// title at its own size, placed at the title's position on a black canvas of
// the video format. A 16:9 setting squeezes the screen and the picture to
// three quarters of their height.
namespace ImageDisplayCanvas {

// Width and height of the canvas: the format's maximum picture (640 x 480 or
// 768 x 576), three quarters as high for 16:9.
int width(const VideoFormatParams &format);
int height(const VideoFormatParams &format, bool aspect16x9);

// The canvas with picture (32 bits) drawn at the title's position: device
// columns (0..720) across the canvas width, lines of the format (0..its
// maximum height) down the canvas height. Parts beyond the canvas are cut.
Bitmap render(const Bitmap &picture, int positionX, int positionY, const VideoFormatParams &format,
              bool aspect16x9);

} // namespace ImageDisplayCanvas
