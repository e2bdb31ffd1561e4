#pragma once

#include "imaging/Bitmap.h"
#include "support/TestFiles.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

// Pictures and picture files made at run time for the picture library's tests.
namespace PictureFixtures {

// The reference picture: distinct values everywhere, a flat run at the left of each
// row (so run-length packets are used) and alpha varying over the picture.
void referencePixel(int x, int y, std::uint8_t *bgra);
// The reference picture as 32-bit BGRA; alpha 255 throughout when alpha is false.
Bitmap referencePicture(int w, int h, bool alpha);
// Smooth colours and alpha 255, for lossy formats.
Bitmap gradientPicture(int w, int h);

void appendLe16(QByteArray &out, int v);
void appendLe32(QByteArray &out, std::uint32_t v);

// An 18-byte TARGA header (no colour map) followed by an image id of idLength bytes.
QByteArray targaHeader(int type, int w, int h, int bpp, int descriptor, int idLength = 0);
// A true-colour TARGA of the reference picture, stored in the given row order.
QByteArray makeTarga(int w, int h, int bpp, bool topLeft, bool rle, int idLength = 0);
// A 24-bit BMP of the reference picture, bottom-up or (negative height) top-down.
QByteArray makeBmp(int w, int h, bool topDown);

using TestFiles::readFile;
using TestFiles::writeFile;

// Largest difference of any colour channel (and of alpha when asked); 1000 when the
// pictures differ in size or are not both 32-bit.
int maxDifference(const Bitmap &a, const Bitmap &b, bool withAlpha);
bool alphaAll(const Bitmap &b, int value);

// Writes a 32-bit picture without alpha through ImageMagick directly, in a format the
// program does not write; false with the reason in error.
bool writeWithMagick(const Bitmap &picture, const QString &path, const char *magick,
                     QString *error = nullptr);

} // namespace PictureFixtures
