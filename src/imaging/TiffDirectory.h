#pragma once

#include <QString>
#include <cstdint>
#include <optional>

class QIODevice;

// The pixel layout named by the first directory of a TIFF file, read directly.
// ImageMagick, asked only for a TIFF file's header, does not tell whether it
// carries alpha; the program needs that before it decodes any pixels.
class TiffDirectory
{
public:
    // The first directory of a classic TIFF file; nullopt for anything it cannot follow.
    static std::optional<TiffDirectory> read(const QString &path);
    // The same from the start of an open, seekable device.
    static std::optional<TiffDirectory> read(QIODevice &device);

    // Bits per pixel as stored: bits per sample times samples (one sample for palette pictures).
    int bitsPerPixel() const;

    int width = 0;
    int height = 0;
    int samplesPerPixel = 1;
    int bitsPerSample = 1;
    int photometric = -1;
};
