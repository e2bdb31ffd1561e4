#pragma once

#include "imaging/Bitmap.h"

#include <QString>
#include <optional>

// What the program knows of a picture file without decoding its pixels.
struct ImageInfo
{
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
};

// Picture file formats by the library format codes the program stores and passes around.
enum class ImageFileFormat : int {
    Tiff = 3,
    Targa = 4,
    Bmp = 6,
    Jpeg = 10,
    Pict = 56,
};

// The picture file library: the one place that reads and writes picture files.
// Implementations must never crash or exhaust memory on damaged or hostile files.
class ImageLibrary
{
public:
    virtual ~ImageLibrary() = default;

    // Width, height and depth from the file's header, without decoding.
    virtual std::optional<ImageInfo> fileInfo(const QString &path) = 0;
    // The picture as 32-bit blue, green, red, alpha, right side up.
    virtual std::optional<Bitmap> load(const QString &path) = 0;
    // Writes the picture in the given format at 24 or 32 bits per pixel.
    virtual bool save(const Bitmap &bitmap, const QString &path, ImageFileFormat format,
                      int bitsPerPixel) = 0;
};
