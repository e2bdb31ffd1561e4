#include "imaging/MagickImageLibrary.h"
#include "imaging/PictureFixtures.h"
#include "imaging/TargaHeader.h"
#include "support/TestEnvironment.h"

#include <Magick++.h>

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <cstring>

using namespace PictureFixtures;

namespace {

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

} // namespace

class TestImaging : public QObject
{
    Q_OBJECT

private slots:
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
    void saveRoundTrip_data();
    void saveRoundTrip();
    void targaWrittenTopLeft_data();
    void targaWrittenTopLeft();

private:
    QString path(const QString &name) const { return m_env.path(name); }

    TestEnvironment m_env;
    MagickImageLibrary m_lib;
};

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

QTEST_GUILESS_MAIN(TestImaging)
#include "test_imaging.moc"
