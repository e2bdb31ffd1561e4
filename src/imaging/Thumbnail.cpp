#include "imaging/Thumbnail.h"

#include "core/VideoFormatParams.h"
#include "imaging/LoadImageFile.h"

#include <cmath>
#include <cstring>

namespace {

constexpr int WideBar = 11;
constexpr std::uint32_t BarColour = 0xAAAAAA;
// 112 / 720: device columns to thumbnail columns.
constexpr double ColumnScale = 0.15555556;

// One field of the picture: every even line, half the height (rounded down).
Bitmap evenField(const Bitmap &picture)
{
    Bitmap field(picture.width(), picture.height() / 2, picture.bitsPerPixel());
    if (field.isNull())
        return field;
    for (int y = 0; y < field.height(); ++y)
        std::memcpy(field.row(y), picture.row(2 * y), std::size_t(picture.bytesPerLine()));
    return field;
}

} // namespace

namespace Thumbnail {

bool render(Bitmap &thumbnail, const Bitmap &picture, int positionX, int positionY,
            const VideoFormatParams &format, bool aspect16x9)
{
    if (thumbnail.width() != Width || thumbnail.height() != Height || picture.isNull())
        return false;
    const int bar = aspect16x9 ? WideBar : 0;
    const double vs = (aspect16x9 ? 63.0 : 84.0) / format.maxHeight();
    const double hs = 112.0 / format.maxWidth();
    const int w = int(std::trunc(picture.width() * hs));
    const int h = int(std::trunc(picture.height() * vs));

    thumbnail.fill(0, 0, thumbnail.width(), thumbnail.height(), 0x000000);
    if (w > 0 && h > 0) {
        const Bitmap field = evenField(picture);
        if (!field.isNull()) {
            const Bitmap scaled = field.resampled(w, h);
            const double left = positionX * ColumnScale;
            const double top = positionY * vs + bar;
            thumbnail.paint(scaled, int(std::trunc(left)), int(std::trunc(top)),
                            int(std::trunc(left + w)), int(std::trunc(top + h)));
        }
    }
    if (aspect16x9) {
        thumbnail.fill(0, 0, thumbnail.width(), WideBar, BarColour);
        thumbnail.fill(0, thumbnail.height() - WideBar, thumbnail.width(), WideBar, BarColour);
    }
    return true;
}

Bitmap rendered(const Bitmap &picture, int positionX, int positionY,
                const VideoFormatParams &format, bool aspect16x9)
{
    Bitmap thumbnail(Width, Height, 24);
    render(thumbnail, picture, positionX, positionY, format, aspect16x9);
    return thumbnail;
}

bool MakeThumbnail(Bitmap &thumbnail, const QString &fileName, int positionX, int positionY,
                   const VideoFormatParams &format, bool aspect16x9, ImageLibrary &images,
                   MessageBoxes &boxes)
{
    if (thumbnail.width() != Width || thumbnail.height() != Height)
        return false;
    Bitmap picture;
    if (!LoadImageFile(images, boxes, fileName, picture))
        return false;
    return render(thumbnail, picture, positionX, positionY, format, aspect16x9);
}

} // namespace Thumbnail
