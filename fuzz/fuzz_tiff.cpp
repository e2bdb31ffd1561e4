// TIFF headers: the first directory, read for the pixel layout before the
// library decodes anything.

#include "FuzzSupport.h"
#include "imaging/TiffDirectory.h"

#include <QBuffer>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::start(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QByteArray bytes = FuzzSupport::bytes(data, size);
    QBuffer buffer(&bytes);
    FUZZ_CHECK(buffer.open(QIODevice::ReadOnly));
    const std::optional<TiffDirectory> dir = TiffDirectory::read(buffer);
    if (!dir)
        return 0;
    FUZZ_CHECK(dir->width > 0 && dir->height > 0);
    FUZZ_CHECK(dir->samplesPerPixel >= 1 && dir->samplesPerPixel <= 16);
    FUZZ_CHECK(dir->bitsPerSample >= 1 && dir->bitsPerSample <= 64);
    FUZZ_CHECK(dir->bitsPerPixel() >= 1 && dir->bitsPerPixel() <= 16 * 64);
    // The same file read from disk gives the same layout.
    static const QString path = FuzzSupport::scratchFile(QStringLiteral("picture.tif"));
    FuzzSupport::writeFile(path, data, size);
    const std::optional<TiffDirectory> fromFile = TiffDirectory::read(path);
    FUZZ_CHECK(fromFile && fromFile->width == dir->width && fromFile->height == dir->height &&
               fromFile->bitsPerPixel() == dir->bitsPerPixel());
    return 0;
}
