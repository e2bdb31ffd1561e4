#include "imaging/Bitmap.h"
#include "imaging/MagickImageLibrary.h"
#include "imaging/TargaHeader.h"
#include "support/TestEnvironment.h"

// Fixtures in formats the program only reads (Photoshop, Photo CD) are made
// with ImageMagick directly; everything else is written byte by byte or by the
// library under test.
#include <Magick++.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTest>

#include <atomic>
#include <climits>
#include <cstring>
#include <thread>

namespace {

// The reference picture: distinct values everywhere, a flat run at the left of
// each row (so run-length packets are used) and alpha varying over the picture.
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

// Smooth colours, for lossy formats.
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

QByteArray targaHeader(int type, int w, int h, int bpp, int descriptor, int idLength = 0)
{
    QByteArray out;
    out.append(char(idLength));
    out.append(char(0)); // no colour map
    out.append(char(type));
    appendLe16(out, 0);
    appendLe16(out, 0);
    out.append(char(0));
    appendLe16(out, 0);
    appendLe16(out, 0);
    appendLe16(out, w);
    appendLe16(out, h);
    out.append(char(bpp));
    out.append(char(descriptor));
    out.append(QByteArray(idLength, 'i'));
    return out;
}

// A true-colour TARGA of the reference picture, stored in the given row order.
QByteArray makeTarga(int w, int h, int bpp, bool topLeft, bool rle, int idLength = 0)
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

// A 24-bit BMP of the reference picture, bottom-up or (negative height) top-down,
// rows padded to four bytes.
QByteArray makeBmp(int w, int h, bool topDown)
{
    const int stride = (w * 3 + 3) & ~3;
    QByteArray out("BM");
    appendLe32(out, std::uint32_t(54 + stride * h));
    appendLe32(out, 0);
    appendLe32(out, 54);
    appendLe32(out, 40);
    appendLe32(out, std::uint32_t(w));
    appendLe32(out, std::uint32_t(topDown ? -h : h));
    appendLe16(out, 1);
    appendLe16(out, 24);
    appendLe32(out, 0);
    appendLe32(out, std::uint32_t(stride * h));
    appendLe32(out, 2835);
    appendLe32(out, 2835);
    appendLe32(out, 0);
    appendLe32(out, 0);
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

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Largest difference of any colour channel (and of alpha when asked).
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

// Red, green, blue and white quarters (clockwise from the top left), each told by its
// strongest channel: right side up and channels in order, whatever the tone curve did.
void checkQuarters(const Bitmap &b)
{
    const auto at = [&](int x, int y) { return b.row(y) + x * 4; };
    const int w = b.width(), h = b.height();
    const std::uint8_t *red = at(w / 4, h / 4);
    const std::uint8_t *green = at(3 * w / 4, h / 4);
    const std::uint8_t *blue = at(w / 4, 3 * h / 4);
    const std::uint8_t *white = at(3 * w / 4, 3 * h / 4);
    QVERIFY(red[2] > red[1] + 60 && red[2] > red[0] + 60);
    QVERIFY(green[1] > green[2] + 60 && green[1] > green[0] + 60);
    QVERIFY(blue[0] > blue[1] + 60 && blue[0] > blue[2] + 60);
    QVERIFY(white[0] > 150 && white[1] > 150 && white[2] > 150);
}

// Writes a picture through ImageMagick directly, in a format the program does not write.
bool writeWithMagick(const Bitmap &picture, const QString &path, const char *magick,
                     QString *error = nullptr)
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

} // namespace

class TestImaging : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    // Bitmap
    void bitmapConstruction();
    void bitmapRowAccess();
    void bitmapCrop();
    void bitmapConvert();
    void bitmapResample();
    void bitmapFill();
    void bitmapPaint();

    // Reading
    void targaOrigins_data();
    void targaOrigins();
    void targaHeaderAgreesWithLibrary_data();
    void targaHeaderAgreesWithLibrary();
    void handWrittenBmp_data();
    void handWrittenBmp();
    void readOnlyFormats_data();
    void readOnlyFormats();
    void fileInfoReadsNoPixels();
    void turnedPicturesComeRightSideUp();
    void colourModels_data();
    void colourModels();
    void tiffLayouts_data();
    void tiffLayouts();
    void oddFileNames();

    // Writing
    void saveRoundTrip_data();
    void saveRoundTrip();
    void targaWrittenTopLeft_data();
    void targaWrittenTopLeft();
    void saveRefusals();

    // Damage
    void damagedFiles_data();
    void damagedFiles();
    void missingFiles();
    void concurrentUse();

private:
    QString path(const QString &name) const { return m_env.path(name); }

    TestEnvironment m_env;
    MagickImageLibrary m_lib;
};

void TestImaging::initTestCase()
{
    QVERIFY(QDir(m_env.root()).exists());
}

void TestImaging::bitmapConstruction()
{
    QVERIFY(Bitmap().isNull());
    QVERIFY(Bitmap(0, 10, 32).isNull());
    QVERIFY(Bitmap(10, -1, 32).isNull());
    QVERIFY(Bitmap(10, 10, 16).isNull());
    QVERIFY(Bitmap(10, 10, 8).isNull());
    QVERIFY(Bitmap(20000, 20000, 32).isNull()); // above maxPixels
    QVERIFY(Bitmap(INT_MAX, INT_MAX, 24).isNull());
    QCOMPARE(Bitmap(0, 0, 24), Bitmap()); // every null picture is the same

    const Bitmap b(5, 3, 24);
    QVERIFY(!b.isNull());
    QCOMPARE(b.bytesPerLine(), 15);
    QCOMPARE(b.sizeInBytes(), std::size_t(45));
    for (std::size_t i = 0; i < b.sizeInBytes(); ++i)
        QCOMPARE(b.bits()[i], std::uint8_t(0));
    QCOMPARE(Bitmap(5, 3, 32).bytesPerLine(), 20);
}

void TestImaging::bitmapRowAccess()
{
    Bitmap b(4, 3, 32);
    std::uint8_t line[16];
    for (int i = 0; i < 16; ++i)
        line[i] = std::uint8_t(i + 1);
    QVERIFY(b.putRow(2, line, 16));
    QCOMPARE(b.row(2)[0], std::uint8_t(1));
    QCOMPARE(b.row(2)[15], std::uint8_t(16));
    QCOMPARE(b.row(1)[0], std::uint8_t(0));

    std::uint8_t out[16] = {};
    QVERIFY(b.getRow(2, out, 16));
    QCOMPARE(std::memcmp(out, line, 16), 0);

    QVERIFY(!b.putRow(3, line, 16));
    QVERIFY(!b.putRow(-1, line, 16));
    QVERIFY(!b.getRow(3, out, 16));
    QVERIFY(!b.getRow(INT_MIN, out, 16));
    QVERIFY(!b.putRow(0, line, 12)); // 24-bit sized buffer
    QVERIFY(!b.getRow(0, out, 17));
    QVERIFY(!b.getRow(0, nullptr, 16));
    QVERIFY(!b.putRow(0, nullptr, 16));
    QVERIFY(b.row(-1) == nullptr);
    QVERIFY(b.row(3) == nullptr);
    QVERIFY(std::as_const(b).row(3) == nullptr);

    Bitmap empty;
    QVERIFY(!empty.getRow(0, out, 0));
    QVERIFY(empty.row(0) == nullptr);
}

void TestImaging::bitmapCrop()
{
    const Bitmap ref = referencePicture(7, 5, true);
    const Bitmap inner = ref.cropped(2, 1, 3, 2);
    QCOMPARE(inner.width(), 3);
    QCOMPARE(inner.height(), 2);
    QCOMPARE(std::memcmp(inner.row(0), ref.row(1) + 8, 12), 0);
    QCOMPARE(std::memcmp(inner.row(1), ref.row(2) + 8, 12), 0);

    // Partly outside: only the overlap is kept.
    const Bitmap corner = ref.cropped(-2, -3, 4, 5);
    QCOMPARE(corner.width(), 2);
    QCOMPARE(corner.height(), 2);
    QCOMPARE(std::memcmp(corner.row(1), ref.row(1), 8), 0);
    const Bitmap huge = ref.cropped(5, 4, INT_MAX, INT_MAX);
    QCOMPARE(huge.width(), 2);
    QCOMPARE(huge.height(), 1);
    QCOMPARE(ref.cropped(INT_MIN, INT_MIN, INT_MAX, INT_MAX).isNull(), true);
    QCOMPARE(ref.cropped(0, 0, 7, 5), ref);

    QVERIFY(ref.cropped(7, 0, 1, 1).isNull());
    QVERIFY(ref.cropped(-1, 0, 1, 5).isNull());
    QVERIFY(ref.cropped(0, 0, 0, 5).isNull());
    QVERIFY(ref.cropped(0, 0, 3, -1).isNull());
    QVERIFY(Bitmap().cropped(0, 0, 1, 1).isNull());
    QCOMPARE(Bitmap(3, 3, 24).cropped(1, 1, 1, 1).bitsPerPixel(), 24);
}

void TestImaging::bitmapConvert()
{
    const Bitmap ref = referencePicture(4, 2, true);
    const Bitmap narrow = ref.converted(24);
    QCOMPARE(narrow.bitsPerPixel(), 24);
    for (int x = 0; x < 4; ++x)
        QCOMPARE(std::memcmp(narrow.row(1) + x * 3, ref.row(1) + x * 4, 3), 0);
    const Bitmap wide = narrow.converted(32);
    QVERIFY(alphaAll(wide, 255));
    QCOMPARE(maxDifference(wide, ref, false), 0);
    QCOMPARE(ref.converted(32), ref);
    QVERIFY(ref.converted(16).isNull());
    QVERIFY(Bitmap().converted(32).isNull());
}

void TestImaging::bitmapResample()
{
    // Hand-computed: centres of 4 target pixels over 2 source pixels fall at -1/4, 1/4, 3/4, 5/4.
    Bitmap two(2, 1, 24);
    two.row(0)[0] = 0;
    two.row(0)[3] = 100;
    two.row(0)[1] = two.row(0)[4] = 40;
    const Bitmap four = two.resampled(4, 1);
    QCOMPARE(four.width(), 4);
    const int expected[4] = {0, 25, 75, 100};
    for (int x = 0; x < 4; ++x) {
        QCOMPARE(int(four.row(0)[x * 3]), expected[x]);
        QCOMPARE(int(four.row(0)[x * 3 + 1]), 40);
    }

    // Halving averages each 2 x 2 block.
    Bitmap checker(4, 4, 32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            std::memset(checker.row(y) + x * 4, (x + y) % 2 ? 200 : 0, 4);
    const Bitmap half = checker.resampled(2, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 8; ++x)
            QCOMPARE(int(half.row(y)[x]), 100);

    const Bitmap ref = referencePicture(9, 7, true);
    QCOMPARE(ref.resampled(9, 7), ref);
    QCOMPARE(ref.resampled(23, 3), ref.resampled(23, 3));
    const Bitmap one = ref.resampled(1, 1);
    QCOMPARE(one.width(), 1);
    QCOMPARE(one.bitsPerPixel(), 32);
    // A flat picture stays flat at any size.
    Bitmap flat(5, 5, 24);
    flat.fill(0, 0, 5, 5, 0x804020);
    const Bitmap big = flat.resampled(17, 11);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 17; ++x)
            QCOMPARE(std::memcmp(big.row(y) + x * 3, flat.row(0), 3), 0);

    QVERIFY(ref.resampled(0, 5).isNull());
    QVERIFY(ref.resampled(5, -2).isNull());
    QVERIFY(ref.resampled(INT_MAX, INT_MAX).isNull());
    QVERIFY(Bitmap().resampled(4, 4).isNull());
}

void TestImaging::bitmapFill()
{
    Bitmap b(4, 3, 32);
    b.fill(-2, 1, 4, 10, 0x112233);
    const std::uint8_t filled[4] = {0x33, 0x22, 0x11, 0xFF};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            const bool inside = y >= 1 && x < 2;
            QCOMPARE(std::memcmp(b.row(y) + x * 4, filled, 4) == 0, inside);
        }
    const Bitmap before = b;
    b.fill(0, 0, 0, 3, 0xFFFFFF);
    b.fill(0, 0, 4, -1, 0xFFFFFF);
    b.fill(4, 0, 1, 1, 0xFFFFFF);
    b.fill(INT_MAX, INT_MAX, INT_MAX, INT_MAX, 0xFFFFFF);
    QCOMPARE(b, before);
    b.fill(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0xFFFFFF);
    QCOMPARE(b, before); // ends just short of the picture

    Bitmap rgb(2, 2, 24);
    rgb.fill(0, 0, 2, 2, 0xAAAAAA);
    QCOMPARE(rgb.row(1)[5], std::uint8_t(0xAA));
    Bitmap().fill(0, 0, 1, 1, 0); // no crash
}

void TestImaging::bitmapPaint()
{
    const Bitmap src = referencePicture(6, 4, true);

    // Same size: an exact copy at the offset.
    Bitmap canvas(10, 8, 32);
    canvas.paint(src, 3, 2, 9, 6);
    for (int y = 0; y < 4; ++y)
        QCOMPARE(std::memcmp(canvas.row(y + 2) + 12, src.row(y), 24), 0);
    QCOMPARE(canvas.row(1)[12], std::uint8_t(0));

    // Partly outside: the visible part of the same mapping.
    Bitmap clipped(4, 3, 32);
    clipped.paint(src, -2, -1, 4, 3);
    QCOMPARE(std::memcmp(clipped.row(0), src.row(1) + 8, 16), 0);
    QCOMPARE(std::memcmp(clipped.row(2), src.row(3) + 8, 16), 0);

    // Stretched twice: each source pixel becomes a 2 x 2 block.
    Bitmap doubled(12, 8, 32);
    doubled.paint(src, 0, 0, 12, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x)
            QCOMPARE(std::memcmp(doubled.row(y) + x * 4, src.row(y / 2) + (x / 2) * 4, 4), 0);
    // Shrunk to half: every other pixel.
    Bitmap halved(3, 2, 32);
    halved.paint(src, 0, 0, 3, 2);
    QCOMPARE(std::memcmp(halved.row(1) + 4, src.row(3) + 12, 4), 0);

    // 32-bit into 24-bit drops alpha, 24-bit into 32-bit makes it opaque.
    Bitmap rgb(6, 4, 24);
    rgb.paint(src, 0, 0, 6, 4);
    QCOMPARE(rgb, src.converted(24));
    Bitmap rgba(6, 4, 32);
    rgba.paint(rgb, 0, 0, 6, 4);
    QVERIFY(alphaAll(rgba, 255));
    QCOMPARE(maxDifference(rgba, src, false), 0);

    // Nothing drawn for empty or inverted rectangles, a null source, or a rectangle outside.
    const Bitmap before = canvas;
    canvas.paint(src, 5, 5, 5, 9);
    canvas.paint(src, 8, 2, 3, 6);
    canvas.paint(Bitmap(), 0, 0, 10, 8);
    canvas.paint(src, 10, 0, 20, 8);
    canvas.paint(src, -20, -20, 0, 0);
    QCOMPARE(canvas, before);

    // Extreme rectangles neither overflow nor fail.
    Bitmap wide(3, 3, 32);
    wide.paint(src, INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    QCOMPARE(std::memcmp(wide.row(0), src.row(2) + 12, 4), 0); // the middle of the source
    Bitmap().paint(src, 0, 0, 1, 1);

    // Painting a picture into itself reads the picture as it was before.
    Bitmap self = src;
    self.paint(self, 0, 0, 3, 2);
    QCOMPARE(std::memcmp(self.row(0) + 4, src.row(1) + 12, 4), 0);
    QCOMPARE(std::memcmp(self.row(1), src.row(3) + 4, 4), 0);
}

void TestImaging::targaOrigins_data()
{
    QTest::addColumn<int>("bpp");
    QTest::addColumn<bool>("topLeft");
    QTest::addColumn<bool>("rle");
    QTest::addColumn<int>("idLength");
    for (int bpp : {24, 32})
        for (bool topLeft : {false, true})
            for (bool rle : {false, true})
                QTest::addRow("%d %s %s", bpp, topLeft ? "top-left" : "bottom-left",
                              rle ? "rle" : "raw")
                    << bpp << topLeft << rle << 0;
    QTest::newRow("32 bottom-left rle with image id") << 32 << false << true << 17;
}

void TestImaging::targaOrigins()
{
    QFETCH(int, bpp);
    QFETCH(bool, topLeft);
    QFETCH(bool, rle);
    QFETCH(int, idLength);
    const QString file = path(QStringLiteral("origin.tga"));
    QVERIFY(writeBytes(file, makeTarga(7, 5, bpp, topLeft, rle, idLength)));

    const auto loaded = m_lib.load(file);
    QVERIFY(loaded);
    QCOMPARE(*loaded, referencePicture(7, 5, bpp == 32));

    // The direct header reader answers, and ImageMagick agrees with it.
    const auto header = TargaHeader::read(file);
    QVERIFY(header);
    QVERIFY(header->plainInfo(QFileInfo(file).size()));
    QCOMPARE(header->originTop(), topLeft);
    const auto info = m_lib.fileInfo(file);
    const auto libraryInfo = m_lib.libraryFileInfo(file);
    QVERIFY(info && libraryInfo);
    QCOMPARE(info->width, 7);
    QCOMPARE(info->height, 5);
    QCOMPARE(info->bitsPerPixel, bpp);
    QCOMPARE(libraryInfo->width, info->width);
    QCOMPARE(libraryInfo->height, info->height);
    QCOMPARE(libraryInfo->bitsPerPixel, info->bitsPerPixel);
}

void TestImaging::targaHeaderAgreesWithLibrary_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("direct"); // answered by the header reader alone
    QTest::addColumn<int>("bpp");

    QTest::newRow("24 raw") << makeTarga(9, 4, 24, false, false) << true << 24;
    QTest::newRow("32 rle top") << makeTarga(9, 4, 32, true, true) << true << 32;
    QByteArray noAlphaBits = makeTarga(9, 4, 32, false, false);
    noAlphaBits[17] = 0; // 32 bits without declared attribute bits
    QTest::newRow("32 without attribute bits") << noAlphaBits << true << 32;

    QByteArray oddAlpha = makeTarga(9, 4, 24, false, false);
    oddAlpha[17] = 8; // 24 bits claiming alpha: unusual, left to the library
    QTest::newRow("24 claiming alpha") << oddAlpha << false << -1;

    QByteArray grey = targaHeader(3, 9, 4, 8, 0);
    for (int i = 0; i < 36; ++i)
        grey.append(char(i * 7));
    QTest::newRow("grey 8") << grey << false << 8;

    QByteArray mapped = targaHeader(1, 9, 4, 8, 0);
    mapped[1] = 1;  // colour map present
    mapped[5] = 4;  // four entries
    mapped[7] = 24; // of 24 bits
    for (int i = 0; i < 4; ++i)
        mapped.append(QByteArray(3, char(i * 60)));
    for (int i = 0; i < 36; ++i)
        mapped.append(char(i % 4));
    QTest::newRow("colour mapped") << mapped << false << 8;

    QByteArray packed = targaHeader(2, 9, 4, 16, 1);
    packed.append(QByteArray(9 * 4 * 2, '\x5a'));
    QTest::newRow("16 bit") << packed << false << 16;
}

void TestImaging::targaHeaderAgreesWithLibrary()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, direct);
    QFETCH(int, bpp);
    const QString file = path(QStringLiteral("agree.tga"));
    QVERIFY(writeBytes(file, bytes));

    const auto header = TargaHeader::parse(reinterpret_cast<const std::uint8_t *>(bytes.data()),
                                           std::size_t(bytes.size()));
    QVERIFY(header);
    QCOMPARE(bool(header->plainInfo(bytes.size())), direct);

    const auto info = m_lib.fileInfo(file);
    const auto libraryInfo = m_lib.libraryFileInfo(file);
    QVERIFY(info && libraryInfo);
    QCOMPARE(info->width, libraryInfo->width);
    QCOMPARE(info->height, libraryInfo->height);
    QCOMPARE(info->bitsPerPixel, libraryInfo->bitsPerPixel);
    QCOMPARE(info->width, 9);
    QCOMPARE(info->height, 4);
    if (bpp > 0)
        QCOMPARE(info->bitsPerPixel, bpp);

    const auto loaded = m_lib.load(file);
    QVERIFY(loaded);
    QCOMPARE(loaded->width(), 9);
    QCOMPARE(loaded->height(), 4);
}

void TestImaging::handWrittenBmp_data()
{
    QTest::addColumn<bool>("topDown");
    QTest::newRow("bottom-up") << false;
    QTest::newRow("top-down") << true;
}

void TestImaging::handWrittenBmp()
{
    QFETCH(bool, topDown);
    const QString file = path(QStringLiteral("hand.bmp"));
    QVERIFY(writeBytes(file, makeBmp(5, 3, topDown))); // 15-byte rows padded to 16
    const auto info = m_lib.fileInfo(file);
    QVERIFY(info);
    QCOMPARE(info->width, 5);
    QCOMPARE(info->height, 3);
    QCOMPARE(info->bitsPerPixel, 24);
    const auto loaded = m_lib.load(file);
    QVERIFY(loaded);
    QCOMPARE(*loaded, referencePicture(5, 3, false));
}

void TestImaging::readOnlyFormats_data()
{
    QTest::addColumn<QString>("magick");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("width"); // as read back
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("maxError"); // per channel; -1: judged by the mean
    QTest::newRow("photoshop") << "PSD"
                               << "psd" << 96 << 64 << 0;
    QTest::newRow("tiff") << "TIFF"
                          << "tif" << 96 << 64 << 0;
    QTest::newRow("pict") << "PICT"
                          << "pct" << 96 << 64 << 0;
    QTest::newRow("jpeg") << "JPEG"
                          << "jpg" << 96 << 64 << 24;
    QTest::newRow("photo cd") << "PCD"
                              << "pcd" << 768 << 512 << -1;
}

void TestImaging::readOnlyFormats()
{
    QFETCH(QString, magick);
    QFETCH(QString, suffix);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, maxError);
    // Photo CD holds pictures of fixed sizes only; give it one of them, in four coloured
    // quarters, since its colours come back far from the original.
    Bitmap picture = gradientPicture(width, height);
    if (maxError < 0) {
        picture.fill(0, 0, width / 2, height / 2, 0xE00000);
        picture.fill(width / 2, 0, width / 2, height / 2, 0x00E000);
        picture.fill(0, height / 2, width / 2, height / 2, 0x0000E0);
        picture.fill(width / 2, height / 2, width / 2, height / 2, 0xE0E0E0);
    }
    const QString file = path(QStringLiteral("made.") + suffix);
    QString error;
    if (!writeWithMagick(picture, file, magick.toLatin1().constData(), &error)) {
        if (magick == QLatin1String("PCD"))
            QSKIP(qPrintable(QStringLiteral("ImageMagick cannot write Photo CD here: ") + error));
        QFAIL(qPrintable(error));
    }
    const auto info = m_lib.fileInfo(file);
    QVERIFY(info);
    QCOMPARE(info->width, width);
    QCOMPARE(info->height, height);
    QVERIFY(info->bitsPerPixel >= 24);
    const auto loaded = m_lib.load(file);
    QVERIFY(loaded);
    QCOMPARE(loaded->width(), width);
    QCOMPARE(loaded->height(), height);
    QVERIFY(alphaAll(*loaded, 255));
    if (maxError >= 0)
        QVERIFY2(maxDifference(*loaded, picture, false) <= maxError,
                 qPrintable(QString::number(maxDifference(*loaded, picture, false))));
    else
        checkQuarters(*loaded);
}

void TestImaging::fileInfoReadsNoPixels()
{
    // A run-length TARGA cut off after its first packets: the header is whole, the pixels are not.
    const QByteArray whole = makeTarga(40, 30, 32, false, true);
    const QString file = path(QStringLiteral("cut.tga"));
    QVERIFY(writeBytes(file, whole.left(200)));
    const auto info = m_lib.fileInfo(file);
    const auto libraryInfo = m_lib.libraryFileInfo(file);
    QVERIFY(info && libraryInfo);
    QCOMPARE(info->width, 40);
    QCOMPARE(libraryInfo->width, 40);
    QCOMPARE(libraryInfo->height, 30);
    QVERIFY(!m_lib.load(file));
}

void TestImaging::turnedPicturesComeRightSideUp()
{
    // Rows stored turned a quarter (TIFF orientation tag, JPEG Exif orientation): the picture
    // loads right side up, and fileInfo reports the size loading gives.
    const Bitmap picture = gradientPicture(20, 10);
    const QString tiff = path(QStringLiteral("turned.tif"));
    try {
        Magick::Image image(20, 10, "BGRA", Magick::CharPixel, picture.bits());
        image.matte(false);
        image.orientation(Magick::RightTopOrientation);
        image.write("TIFF:" + QFile::encodeName(tiff).toStdString());
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
    const QString plainJpeg = path(QStringLiteral("plain.jpg"));
    QVERIFY(m_lib.save(picture, plainJpeg, ImageFileFormat::Jpeg, 24));
    QByteArray exif("Exif\0\0II*\0\x08\0\0\0\x01\0", 16); // one entry in IFD0
    appendLe16(exif, 0x0112);                             // orientation
    appendLe16(exif, 3);
    appendLe32(exif, 1);
    appendLe32(exif, 6); // right, top: turned a quarter clockwise
    appendLe32(exif, 0);
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char((exif.size() + 2) >> 8));
    segment.append(char((exif.size() + 2) & 0xFF));
    const QByteArray jpegBytes = readBytes(plainJpeg);
    const QString jpeg = path(QStringLiteral("turned.jpg"));
    QVERIFY(writeBytes(jpeg, jpegBytes.left(2) + segment + exif + jpegBytes.mid(2)));

    for (const QString &file : {tiff, jpeg}) {
        const auto loaded = m_lib.load(file);
        const auto info = m_lib.fileInfo(file);
        QVERIFY(loaded && info);
        QCOMPARE(loaded->width(), 10);
        QCOMPARE(loaded->height(), 20);
        QCOMPARE(info->width, 10);
        QCOMPARE(info->height, 20);
        // The left column of the stored picture (dark blue) is now its top row.
        QVERIFY(loaded->row(0)[0] < 40);
        QVERIFY(loaded->row(19)[0] > 200);
    }
}

void TestImaging::colourModels_data()
{
    QTest::addColumn<QString>("magick");
    QTest::addColumn<int>("colourSpace");
    QTest::addColumn<bool>("alpha");
    QTest::addColumn<int>("bits");
    QTest::newRow("cmyk jpeg") << "JPEG" << int(Magick::CMYKColorspace) << false << 32;
    QTest::newRow("cmyk tiff") << "TIFF" << int(Magick::CMYKColorspace) << false << 32;
    QTest::newRow("grey jpeg") << "JPEG" << int(Magick::GRAYColorspace) << false << 8;
    QTest::newRow("photoshop with alpha") << "PSD" << int(Magick::sRGBColorspace) << true << 32;
}

void TestImaging::colourModels()
{
    QFETCH(QString, magick);
    QFETCH(int, colourSpace);
    QFETCH(bool, alpha);
    QFETCH(int, bits);
    Bitmap picture = gradientPicture(48, 32);
    if (colourSpace == int(Magick::GRAYColorspace))
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 48; ++x)
                std::memset(picture.row(y) + x * 4, x * 5, 3);
    if (alpha) {
        picture.fill(0, 0, 48, 8, 0x102030);
        picture.row(3)[3] = 77;
        picture.row(4)[7] = 0;
    }
    const QString file = path(QStringLiteral("model.") + magick.toLower());
    try {
        Magick::Image image(48, 32, "BGRA", Magick::CharPixel, picture.bits());
        image.matte(alpha);
        if (colourSpace != int(Magick::sRGBColorspace))
            image.colorSpace(Magick::ColorspaceType(colourSpace));
        image.quality(95);
        image.write(magick.toStdString() + ":" + QFile::encodeName(file).toStdString());
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
    const auto info = m_lib.fileInfo(file);
    QVERIFY(info);
    QCOMPARE(info->bitsPerPixel, bits);
    auto loaded = m_lib.load(file);
    QVERIFY(loaded);
    QCOMPARE(loaded->width(), 48);
    QCOMPARE(loaded->height(), 32);
    // Alpha comes back exactly; the colour of pixels that are not opaque is not kept by
    // Photoshop's merged picture, so only opaque colours are compared.
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x) {
            std::uint8_t *got = loaded->row(y) + x * 4;
            std::uint8_t *want = picture.row(y) + x * 4;
            QCOMPARE(got[3], want[3]);
            if (want[3] != 255)
                std::memset(got, 0, 3), std::memset(want, 0, 3);
        }
    QVERIFY2(maxDifference(*loaded, picture, false) <= 12,
             qPrintable(QString::number(maxDifference(*loaded, picture, false))));
}

void TestImaging::tiffLayouts_data()
{
    QTest::addColumn<bool>("bigEndian");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("bits");
    QTest::newRow("big-endian with alpha") << true << int(Magick::TrueColorMatteType) << 8 << 32;
    QTest::newRow("big-endian colour") << true << int(Magick::TrueColorType) << 8 << 24;
    QTest::newRow("grey") << false << int(Magick::GrayscaleType) << 8 << 8;
    QTest::newRow("16 bits a sample") << false << int(Magick::TrueColorType) << 16 << 48;
    QTest::newRow("palette") << false << int(Magick::PaletteType) << 8 << 8;
}

void TestImaging::tiffLayouts()
{
    QFETCH(bool, bigEndian);
    QFETCH(int, type);
    QFETCH(int, depth);
    QFETCH(int, bits);
    Bitmap picture = gradientPicture(30, 20);
    picture.row(5)[7] = 10; // one translucent pixel, kept only where alpha is stored
    const QString file = path(QStringLiteral("layout.tif"));
    try {
        Magick::Image image(30, 20, "BGRA", Magick::CharPixel, picture.bits());
        image.defineValue("tiff", "endian", bigEndian ? "msb" : "lsb");
        image.type(Magick::ImageType(type));
        image.depth(std::size_t(depth));
        image.write("TIFF:" + QFile::encodeName(file).toStdString());
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
    QCOMPARE(readBytes(file).left(2), QByteArray(bigEndian ? "MM" : "II"));
    const auto info = m_lib.fileInfo(file);
    QVERIFY(info);
    QCOMPARE(info->bitsPerPixel, bits);
    const auto loaded = m_lib.load(file);
    QVERIFY(loaded);
    QCOMPARE(loaded->width(), info->width);
    QCOMPARE(loaded->height(), info->height);
    QCOMPARE(alphaAll(*loaded, 255), bits != 32);
}

void TestImaging::oddFileNames()
{
    // Characters ImageMagick gives meaning to in file names must be taken literally.
    const Bitmap picture = referencePicture(6, 4, false);
    const QStringList names = {QStringLiteral("frame[1].tga"), QStringLiteral("tga:colon.bmp"),
                               QStringLiteral("per%03dcent.tif"),
                               QStringLiteral("スペース 付き.tga"), QStringLiteral("@at.bmp")};
    for (const QString &name : names) {
        const QString file = path(name);
        const ImageFileFormat format = name.endsWith(QLatin1String("tga")) ? ImageFileFormat::Targa
                                       : name.endsWith(QLatin1String("bmp"))
                                           ? ImageFileFormat::Bmp
                                           : ImageFileFormat::Tiff;
        QVERIFY2(m_lib.save(picture, file, format, 24), qPrintable(name));
        QVERIFY2(QFile::exists(file), qPrintable(name));
        const auto loaded = m_lib.load(file);
        QVERIFY2(loaded, qPrintable(name));
        QCOMPARE(*loaded, picture);
        QVERIFY2(m_lib.fileInfo(file), qPrintable(name));
    }
}

void TestImaging::saveRoundTrip_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("storedBits"); // what the file holds
    QTest::addColumn<int>("maxError");
    const struct
    {
        ImageFileFormat format;
        const char *suffix;
        bool alpha;
        int maxError;
    } formats[] = {{ImageFileFormat::Targa, "tga", true, 0},
                   {ImageFileFormat::Tiff, "tif", true, 0},
                   {ImageFileFormat::Bmp, "bmp", false, 0},
                   {ImageFileFormat::Jpeg, "jpg", false, 40},
                   {ImageFileFormat::Pict, "pct", false, 0}};
    for (const auto &f : formats)
        for (int bits : {24, 32})
            QTest::addRow("%s %d", f.suffix, bits) << int(f.format) << QString::fromLatin1(f.suffix)
                                                   << bits << (f.alpha ? bits : 24) << f.maxError;
}

void TestImaging::saveRoundTrip()
{
    QFETCH(int, format);
    QFETCH(QString, suffix);
    QFETCH(int, bits);
    QFETCH(int, storedBits);
    QFETCH(int, maxError);
    const Bitmap picture = maxError > 0 ? gradientPicture(33, 21) : referencePicture(33, 21, true);
    const QString file = path(QStringLiteral("round.") + suffix);
    QVERIFY(m_lib.save(picture, file, ImageFileFormat(format), bits));
    // The same result from a 24-bit picture in memory.
    const QString fromNarrow = path(QStringLiteral("narrow.") + suffix);
    QVERIFY(m_lib.save(picture.converted(24), fromNarrow, ImageFileFormat(format), bits));

    const auto info = m_lib.fileInfo(file);
    QVERIFY(info);
    QCOMPARE(info->width, 33);
    QCOMPARE(info->height, 21);
    QCOMPARE(info->bitsPerPixel, storedBits);

    const auto loaded = m_lib.load(file);
    QVERIFY(loaded);
    QCOMPARE(loaded->width(), info->width);
    QCOMPARE(loaded->height(), info->height);
    QVERIFY2(maxDifference(*loaded, picture, false) <= maxError,
             qPrintable(QString::number(maxDifference(*loaded, picture, false))));
    if (storedBits == 32)
        QCOMPARE(maxDifference(*loaded, picture, true), 0);
    else
        QVERIFY(alphaAll(*loaded, 255));

    const auto narrow = m_lib.load(fromNarrow);
    QVERIFY(narrow);
    QVERIFY(alphaAll(*narrow, 255));
    QVERIFY(maxDifference(*narrow, picture, false) <= maxError);
}

void TestImaging::targaWrittenTopLeft_data()
{
    QTest::addColumn<int>("bits");
    QTest::newRow("24") << 24;
    QTest::newRow("32") << 32;
}

void TestImaging::targaWrittenTopLeft()
{
    QFETCH(int, bits);
    // A flat picture, which a writer might be tempted to store as grey or colour-mapped.
    Bitmap picture(8, 6, 32);
    picture.fill(0, 0, 8, 6, 0x808080);
    picture.fill(0, 0, 8, 1, 0x0000FF); // top row blue
    picture.row(0)[3] = 7;              // one odd alpha
    const QString file = path(QStringLiteral("written.tga"));
    QVERIFY(m_lib.save(picture, file, ImageFileFormat::Targa, bits));
    const QByteArray bytes = readBytes(file);
    QVERIFY(bytes.size() >= 18 + 8 * 6 * bits / 8);
    QCOMPARE(int(bytes[2]), 2); // uncompressed true colour
    QCOMPARE(int(std::uint8_t(bytes[16])), bits);
    QCOMPARE(int(std::uint8_t(bytes[17])), 0x20 | (bits == 32 ? 8 : 0));
    const int first = 18 + std::uint8_t(bytes[0]);
    QCOMPARE(std::uint8_t(bytes[first]), std::uint8_t(0xFF)); // top-left pixel comes first: blue
    QCOMPARE(std::uint8_t(bytes[first + 2]), std::uint8_t(0));
    if (bits == 32)
        QCOMPARE(int(bytes[first + 3]), 7);
}

void TestImaging::saveRefusals()
{
    const Bitmap picture = referencePicture(4, 4, true);
    QVERIFY(!m_lib.save(Bitmap(), path(QStringLiteral("null.tga")), ImageFileFormat::Targa, 32));
    QVERIFY(!m_lib.save(picture, path(QStringLiteral("bits.tga")), ImageFileFormat::Targa, 16));
    QVERIFY(!m_lib.save(picture, path(QStringLiteral("code.xyz")), ImageFileFormat(99), 24));
    QVERIFY(!m_lib.save(picture, path(QStringLiteral("no/such/folder/a.bmp")), ImageFileFormat::Bmp,
                        24));
    QVERIFY(!QFile::exists(path(QStringLiteral("null.tga"))));
    QVERIFY(!QFile::exists(path(QStringLiteral("bits.tga"))));
    // A failed save leaves the earlier file as it was.
    QDir(m_env.root()).mkdir(QStringLiteral("folder.tga"));
    QVERIFY(!m_lib.save(picture, path(QStringLiteral("folder.tga")), ImageFileFormat::Targa, 32));
    const QString kept = path(QStringLiteral("kept.tga"));
    QVERIFY(m_lib.save(picture, kept, ImageFileFormat::Targa, 32));
    const QByteArray before = readBytes(kept);
    QVERIFY(!m_lib.save(Bitmap(), kept, ImageFileFormat::Targa, 32));
    QCOMPARE(readBytes(kept), before);
}

void TestImaging::damagedFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("infoFails");

    const QByteArray raw = makeTarga(64, 48, 32, false, false);
    QTest::newRow("targa cut in the pixels") << "cut.tga" << raw.left(raw.size() / 2) << false;
    QTest::newRow("targa cut in the header") << "head.tga" << raw.left(10) << true;
    const QByteArray rle = makeTarga(64, 48, 24, true, true);
    QTest::newRow("rle targa cut") << "cutrle.tga" << rle.left(rle.size() - 40) << false;

    QByteArray giant = targaHeader(2, 60000, 60000, 32, 0x28);
    giant.append(QByteArray(4096, '\x11'));
    QTest::newRow("targa claiming 60000 x 60000") << "giant.tga" << giant << true;
    QByteArray giantRle = targaHeader(10, 60000, 60000, 24, 0x20);
    giantRle.append(QByteArray(4096, '\x7f'));
    QTest::newRow("rle targa claiming 60000 x 60000") << "giantrle.tga" << giantRle << true;
    QByteArray large = targaHeader(2, 16000, 16000, 32, 0x28);
    large.append(QByteArray(4096, '\x22'));
    QTest::newRow("targa claiming 16000 x 16000") << "large.tga" << large << false;

    QByteArray badType = targaHeader(77, 10, 10, 24, 0);
    badType.append(QByteArray(300, '\x01'));
    QTest::newRow("targa of unknown type") << "type.tga" << badType << true;

    QByteArray bmp = makeBmp(50, 40, false);
    QTest::newRow("bmp cut") << "cut.bmp" << bmp.left(bmp.size() / 3) << false;
    QByteArray bmpHuge = makeBmp(4, 4, false);
    bmpHuge[18] = '\x60';
    bmpHuge[19] = '\xEA'; // width 60000
    bmpHuge[22] = '\x60';
    bmpHuge[23] = '\xEA'; // height 60000
    QTest::newRow("bmp claiming 60000 x 60000") << "huge.bmp" << bmpHuge << true;

    // Files cut short after their headers, from the library's own writer and ImageMagick's.
    const Bitmap picture = gradientPicture(120, 90);
    const struct
    {
        const char *name;
        ImageFileFormat format;
    } written[] = {{"cut.jpg", ImageFileFormat::Jpeg},
                   {"cut.tif", ImageFileFormat::Tiff},
                   {"cut.pct", ImageFileFormat::Pict}};
    for (const auto &w : written) {
        const QString file = path(QStringLiteral("whole-") + QLatin1String(w.name));
        QVERIFY(m_lib.save(picture, file, w.format, 24));
        const QByteArray bytes = readBytes(file);
        QTest::addRow("%s", w.name)
            << QString::fromLatin1(w.name) << bytes.left(bytes.size() / 2) << false;
    }
    const QString psd = path(QStringLiteral("whole.psd"));
    QVERIFY(writeWithMagick(picture, psd, "PSD"));
    const QByteArray psdBytes = readBytes(psd);
    QTest::newRow("cut.psd") << "cut.psd" << psdBytes.left(psdBytes.size() / 2) << false;

    QRandomGenerator random(20240611);
    QByteArray noise(5000, '\0');
    for (char &c : noise)
        c = char(random.bounded(256));
    QTest::newRow("noise as targa") << "noise.tga" << noise << false;
    QTest::newRow("noise as jpeg") << "noise.jpg" << noise << false;
    QTest::newRow("noise as tiff") << "noise.tif" << noise << false;
    QTest::newRow("noise as pict") << "noise.pct" << noise << false;
    QTest::newRow("jpeg signature then noise")
        << "sig.jpg" << (QByteArray("\xFF\xD8\xFF\xE0", 4) + noise) << false;
    QTest::newRow("tiff signature then noise")
        << "sig.tif" << (QByteArray("II*\0\x08\0\0\0", 8) + noise) << false;
    QTest::newRow("empty targa") << "empty.tga" << QByteArray() << true;
    QTest::newRow("empty jpeg") << "empty.jpg" << QByteArray() << true;
}

void TestImaging::damagedFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, infoFails);
    const QString file = path(name);
    QVERIFY(writeBytes(file, bytes));
    QVERIFY(!m_lib.load(file));
    const auto info = m_lib.fileInfo(file);
    const auto libraryInfo = m_lib.libraryFileInfo(file);
    if (infoFails) {
        QVERIFY(!info);
        QVERIFY(!libraryInfo);
    }
}

void TestImaging::missingFiles()
{
    for (const QString &name :
         {QStringLiteral("absent.tga"), QStringLiteral("absent.jpg"), QString(), m_env.root()}) {
        const QString file = name.startsWith(QLatin1Char('/')) ? name : path(name);
        QVERIFY(!m_lib.load(file));
        QVERIFY(!m_lib.fileInfo(file));
        QVERIFY(!m_lib.libraryFileInfo(file));
    }
}

void TestImaging::concurrentUse()
{
    // Headers read and pictures loaded from several threads at once, as list opening does.
    const Bitmap picture = referencePicture(24, 16, true);
    struct Case
    {
        QString file;
        ImageInfo info;
    };
    std::vector<Case> cases;
    const struct
    {
        ImageFileFormat format;
        const char *name;
        int bits;
    } made[] = {{ImageFileFormat::Targa, "c.tga", 32},
                {ImageFileFormat::Tiff, "c.tif", 32},
                {ImageFileFormat::Bmp, "c.bmp", 24},
                {ImageFileFormat::Jpeg, "c.jpg", 24},
                {ImageFileFormat::Pict, "c.pct", 24}};
    for (const auto &m : made) {
        const QString file = path(QString::fromLatin1(m.name));
        QVERIFY(m_lib.save(picture, file, m.format, m.bits));
        cases.push_back({file, {24, 16, m.bits}});
    }
    const QString bottomUp = path(QStringLiteral("c2.tga"));
    QVERIFY(writeBytes(bottomUp, makeTarga(24, 16, 24, false, true)));
    cases.push_back({bottomUp, {24, 16, 24}});
    cases.push_back({path(QStringLiteral("missing.tga")), {0, 0, 0}});

    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 25; ++round)
                for (std::size_t i = 0; i < cases.size(); ++i) {
                    const Case &c = cases[(i + std::size_t(t)) % cases.size()];
                    const auto info =
                        round % 2 ? m_lib.libraryFileInfo(c.file) : m_lib.fileInfo(c.file);
                    const bool expected = c.info.width > 0;
                    if (bool(info) != expected ||
                        (info && (info->width != c.info.width || info->height != c.info.height ||
                                  info->bitsPerPixel != c.info.bitsPerPixel)))
                        ++failures;
                    if (round % 5 == 0) {
                        const auto loaded = m_lib.load(c.file);
                        if (bool(loaded) != expected || (loaded && loaded->width() != c.info.width))
                            ++failures;
                    }
                }
        });
    for (std::thread &t : threads)
        t.join();
    QCOMPARE(failures.load(), 0);
}

QTEST_GUILESS_MAIN(TestImaging)
#include "test_imaging.moc"
