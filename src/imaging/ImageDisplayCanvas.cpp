#include "imaging/ImageDisplayCanvas.h"

#include "core/VideoFormatParams.h"

#include <cstdint>

namespace {
// Device lines are 720 columns wide whatever the picture limit.
constexpr int DeviceColumns = 720;
} // namespace

namespace ImageDisplayCanvas {

int width(const VideoFormatParams &format)
{
    return format.maxWidth();
}

int height(const VideoFormatParams &format, bool aspect16x9)
{
    return aspect16x9 ? format.maxHeight() * 3 / 4 : format.maxHeight();
}

Bitmap render(const Bitmap &picture, int positionX, int positionY, const VideoFormatParams &format,
              bool aspect16x9)
{
    const int w = width(format);
    const int h = height(format, aspect16x9);
    Bitmap canvas(w, h, 32);
    canvas.fill(0, 0, w, h, 0x000000);
    if (picture.isNull())
        return canvas;
    const Bitmap shown =
        aspect16x9 ? picture.resampled(picture.width(), picture.height() * 3 / 4) : picture;
    if (shown.isNull())
        return canvas;
    // The position is in the format's own lines, so a title sits where the
    // mixer puts it under NTSC as under PAL.
    const int left = int(std::int64_t(positionX) * w / DeviceColumns);
    const int top = int(std::int64_t(positionY) * h / format.maxHeight());
    canvas.paint(shown, left, top, left + shown.width(), top + shown.height());
    return canvas;
}

} // namespace ImageDisplayCanvas
