#include "imaging/DevicePicture.h"

#include <limits>

namespace DevicePicture {

LevelLimits LevelLimits::from(const LevelSettings &settings)
{
    LevelLimits limits;
    if (settings.yuvMax != 0) {
        limits.yMax = 255;
        limits.cMax = 255;
    }
    if (settings.yuvMin != 0) {
        limits.yMin = 0;
        limits.cMin = 0;
    }
    return limits;
}

const FormatFigures &FormatFigures::ntsc()
{
    static const FormatFigures figures{640, 480, 1.125f, 640, 60};
    return figures;
}

const FormatFigures &FormatFigures::pal()
{
    static const FormatFigures figures{768, 576, 0.9375f, 768, 72};
    return figures;
}

int deviceWidth(int width, bool isPal)
{
    if (width <= 0)
        return 0;
    // Both factors are exact binary fractions, so the single-precision product is exact
    // for every width a picture can have.
    return int(float(width) * FormatFigures::of(isPal).toDevice);
}

std::size_t uploadBufferSize(int outWidth, int height)
{
    if (outWidth <= 0 || height <= 0)
        return 0;
    const std::size_t bytes = std::size_t(outWidth) * BytesPerPixel * std::size_t(height);
    if (bytes > std::numeric_limits<std::size_t>::max() - BufferGranule)
        return 0;
    return (bytes + BufferGranule - 1) / BufferGranule * BufferGranule;
}

} // namespace DevicePicture

namespace DevicePicture {

bool uploadGeometry(int pictureWidth, int pictureHeight, int width, int height, bool isPal,
                    UploadGeometry &geometry)
{
    const FormatFigures &format = FormatFigures::of(isPal);
    auto smallest = [](int a, int b, int c) { return a < b ? (a < c ? a : c) : (b < c ? b : c); };
    geometry = UploadGeometry();
    if (width <= 0 || height <= 0 || pictureWidth <= 0 || pictureHeight <= 0)
        return false;
    geometry.width = smallest(width, pictureWidth, format.maxWidth);
    geometry.height = smallest(height, pictureHeight, format.maxHeight);
    geometry.outWidth = deviceWidth(geometry.width, isPal);
    geometry.bufferSize = uploadBufferSize(geometry.outWidth, geometry.height);
    return geometry.outWidth > 0 && geometry.bufferSize > 0;
}

} // namespace DevicePicture
