#pragma once

#include "imaging/ImageLibrary.h"

// The picture library on ImageMagick (Magick++). Every call works on images of
// its own, so calls may run on several threads at once; ImageMagick itself is
// set up once, on first use, with limits that make hostile or damaged files
// fail instead of exhausting memory or disk.
class MagickImageLibrary : public ImageLibrary
{
public:
    MagickImageLibrary();

    // Pictures wider or taller than this are refused.
    static constexpr int MaxSide = 16384;

    // TARGA headers are read directly when they are plain; everything else is asked of ImageMagick.
    std::optional<ImageInfo> fileInfo(const QString &path) override;
    std::optional<Bitmap> load(const QString &path) override;
    // BMP, JPEG and PICT are always written at 24 bits; TARGA and TIFF at 24 or 32.
    bool save(const Bitmap &bitmap, const QString &path, ImageFileFormat format,
              int bitsPerPixel) override;
    // The same, with the reason of a failure in why (a full disk, a format refused).
    // The picture is encoded in memory and written through SafeFileWriter: a failed
    // save leaves the old file as it was.
    bool save(const Bitmap &bitmap, const QString &path, ImageFileFormat format, int bitsPerPixel,
              QString *why);

    // File information from ImageMagick alone, without the direct TARGA reader.
    std::optional<ImageInfo> libraryFileInfo(const QString &path);
};
