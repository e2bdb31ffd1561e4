#include "imaging/PictureFixtures.h"

// Pictures in formats the program only reads (Photoshop, Photo CD) are made with
// ImageMagick directly; everything else is written byte by byte or by the library
// under test.
#include <Magick++.h>

#include <QFile>

#include <cstdlib>

namespace PictureFixtures {

void referencePixel(int x, int y, std::uint8_t *bgra)
{
    if (x < 3) {
        bgra[0] = std::uint8_t(200 - y * 9);
        bgra[1] = std::uint8_t(20 + y * 13);
        bgra[2] = 90;
        bgra[3] = 128;
        return;
    }
    bgra[0] = std::uint8_t(x * 37 + y * 11);
    bgra[1] = std::uint8_t(y * 53 + 7);
    bgra[2] = std::uint8_t((x * y * 13) ^ 0x55);
    bgra[3] = std::uint8_t(255 - x * 5 - y * 3);
}

Bitmap referencePicture(int w, int h, bool alpha)
{
    Bitmap b(w, h, 32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            referencePixel(x, y, b.row(y) + x * 4);
            if (!alpha)
                b.row(y)[x * 4 + 3] = 255;
        }
    return b;
}

Bitmap gradientPicture(int w, int h)
{
    Bitmap b(w, h, 32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t *p = b.row(y) + x * 4;
            p[0] = std::uint8_t(x * 255 / w);
            p[1] = std::uint8_t(y * 255 / h);
            p[2] = std::uint8_t(128 + (x - y) * 60 / (w + h));
            p[3] = 255;
        }
    return b;
}

void appendLe16(QByteArray &out, int v)
{
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

void appendLe32(QByteArray &out, std::uint32_t v)
{
    appendLe16(out, int(v & 0xFFFF));
    appendLe16(out, int(v >> 16));
}

QByteArray targaHeader(int type, int w, int h, int bpp, int descriptor, int idLength)
{
    QByteArray out;
    out.append(char(idLength));
    out.append(char(0)); // no colour map
    out.append(char(type));
    out.append(9, '\0'); // colour map fields (first entry, length, entry size), origin
    appendLe16(out, w);
    appendLe16(out, h);
    out.append(char(bpp));
    out.append(char(descriptor));
    out.append(QByteArray(idLength, 'i'));
    return out;
}

QByteArray makeTarga(int w, int h, int bpp, bool topLeft, bool rle, int idLength)
{
    const int bytes = bpp / 8;
    QByteArray out =
        targaHeader(rle ? 10 : 2, w, h, bpp, (topLeft ? 0x20 : 0) | (bpp == 32 ? 8 : 0), idLength);
    for (int i = 0; i < h; ++i) {
        const int y = topLeft ? i : h - 1 - i;
        std::vector<QByteArray> pixels;
        for (int x = 0; x < w; ++x) {
            std::uint8_t p[4];
            referencePixel(x, y, p);
            pixels.emplace_back(reinterpret_cast<const char *>(p), bytes);
        }
        if (!rle) {
            for (const QByteArray &p : pixels)
                out.append(p);
            continue;
        }
        // Run packets for repeats, raw packets for the rest, never across rows.
        int x = 0;
        while (x < w) {
            int run = 1;
            while (x + run < w && run < 128 && pixels[x + run] == pixels[x])
                ++run;
            if (run > 1) {
                out.append(char(0x80 | (run - 1)));
                out.append(pixels[x]);
                x += run;
                continue;
            }
            int raw = 1;
            while (x + raw < w && raw < 128 &&
                   (x + raw + 1 >= w || pixels[x + raw] != pixels[x + raw + 1]))
                ++raw;
            out.append(char(raw - 1));
            for (int k = 0; k < raw; ++k)
                out.append(pixels[x + k]);
            x += raw;
        }
    }
    return out;
}

QByteArray makeBmp(int w, int h, bool topDown)
{
    const int stride = (w * 3 + 3) & ~3;
    QByteArray out("BM");
    // File header, then the info header: size, width, height, one plane of 24 bits,
    // no compression, image size, 2835 pixels a metre, no palette.
    for (std::uint32_t v :
         {54u + stride * h, 0u, 54u, 40u, std::uint32_t(w), std::uint32_t(topDown ? -h : h),
          1u | 24u << 16, 0u, std::uint32_t(stride * h), 2835u, 2835u, 0u, 0u})
        appendLe32(out, v);
    for (int i = 0; i < h; ++i) {
        const int y = topDown ? i : h - 1 - i;
        QByteArray row;
        for (int x = 0; x < w; ++x) {
            std::uint8_t p[4];
            referencePixel(x, y, p);
            row.append(reinterpret_cast<const char *>(p), 3);
        }
        row.append(QByteArray(stride - w * 3, '\0'));
        out.append(row);
    }
    return out;
}

int maxDifference(const Bitmap &a, const Bitmap &b, bool withAlpha)
{
    if (a.width() != b.width() || a.height() != b.height() || a.bitsPerPixel() != 32 ||
        b.bitsPerPixel() != 32)
        return 1000;
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width() * 4; ++x)
            if (withAlpha || x % 4 != 3)
                worst = std::max(worst, std::abs(a.row(y)[x] - b.row(y)[x]));
    return worst;
}

bool alphaAll(const Bitmap &b, int value)
{
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (b.row(y)[x * 4 + 3] != value)
                return false;
    return true;
}

// Writes a picture through ImageMagick directly, in a format the program does not write.
bool writeWithMagick(const Bitmap &picture, const QString &path, const char *magick, QString *error)
{
    try {
        Magick::Image image(std::size_t(picture.width()), std::size_t(picture.height()), "BGRA",
                            Magick::CharPixel, picture.bits());
        image.matte(false);
        image.type(Magick::TrueColorType);
        image.depth(8);
        image.write(std::string(magick) + ":" + QFile::encodeName(path).toStdString());
        return QFile::exists(path);
    } catch (const std::exception &e) {
        if (error)
            *error = QString::fromLocal8Bit(e.what());
    }
    return false;
}

} // namespace PictureFixtures
