// The picture library: files made by hand and by ImageMagick read back right
// side up with their depth, the files the program writes, and damaged and
// hostile files. (List opening reads pictures from several threads at once.)

#include "imaging/MagickImageLibrary.h"
#include "imaging/PictureFixtures.h"
#include "imaging/TargaHeader.h"
#include "support/TestEnvironment.h"

#include <Magick++.h>

#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include <cstring>

using namespace PictureFixtures;

class TestImaging : public QObject
{
    Q_OBJECT

private:
    QString path(const char *name) const { return m_env.path(QString::fromUtf8(name)); }
    QString path(const QString &name) const { return m_env.path(name); }

    TestEnvironment m_env;
    MagickImageLibrary m_lib;

private slots:
    void handMadeFiles()
    {
        // The bytes, their suffix, the picture they hold (0: any; 1: the reference picture; 2:
        // the same, opaque), whether the TARGA header reader answers alone, and the bits per
        // pixel (-1: whatever the library says).
        struct Case
        {
            QByteArray name, bytes;
            const char *suffix;
            int picture;
            bool direct;
            int bpp;
        };
        QList<Case> cases;
        for (int bpp : {24, 32})
            for (bool topLeft : {false, true})
                for (bool rle : {false, true})
                    cases.append({"targa " + QByteArray::number(bpp) +
                                      (topLeft ? " top" : " bottom") + (rle ? " rle" : " raw"),
                                  makeTarga(7, 5, bpp, topLeft, rle), "tga", bpp == 32 ? 1 : 2,
                                  true, bpp});
        cases.append(
            {"targa with image id", makeTarga(7, 5, 32, false, true, 17), "tga", 1, true, 32});
        // 32 bits whose descriptor declares no alpha bits: no key, the picture is opaque.
        QByteArray noAlphaBits = makeTarga(7, 5, 32, true, false);
        noAlphaBits[17] = 0x20;
        cases.append({"targa 32 without alpha bits", noAlphaBits, "tga", 2, true, 32});
        QByteArray oddAlpha = makeTarga(7, 5, 24, false, false);
        oddAlpha[17] = 8; // 24 bits claiming alpha: unusual, left to the library
        cases.append({"targa 24 claiming alpha", oddAlpha, "tga", 0, false, -1});
        QByteArray grey = targaHeader(3, 7, 5, 8, 0) + QByteArray(35, '\x40');
        cases.append({"targa grey", grey, "tga", 0, false, 8});
        QByteArray mapped = targaHeader(1, 7, 5, 8, 0);
        mapped[1] = 1;  // colour map present
        mapped[5] = 4;  // four entries
        mapped[7] = 24; // of 24 bits
        mapped += QByteArray(12, '\x3c') + QByteArray(35, '\x02');
        cases.append({"targa colour mapped", mapped, "tga", 0, false, 8});
        cases.append({"targa 16 bit", (targaHeader(2, 7, 5, 16, 1) + QByteArray(70, '\x5a')), "tga",
                      0, false, 16});
        // BMP rows of 15 bytes padded to 16.
        cases.append({"bmp bottom-up", makeBmp(7, 5, false), "bmp", 2, false, 24});
        cases.append({"bmp top-down", makeBmp(7, 5, true), "bmp", 2, false, 24});

        for (const Case &c : cases) {
            const QString file = path(QStringLiteral("hand.") + c.suffix);
            QVERIFY2(writeFile(file, c.bytes), c.name);
            if (QByteArray(c.suffix) == "tga") {
                const auto header =
                    TargaHeader::parse(reinterpret_cast<const std::uint8_t *>(c.bytes.data()),
                                       std::size_t(c.bytes.size()));
                QVERIFY2(header && bool(header->plainInfo(c.bytes.size())) == c.direct, c.name);
                QVERIFY2(header->originTop() == ((std::uint8_t(c.bytes[17]) & 0x20) != 0), c.name);
            }
            // The direct header reader and ImageMagick agree.
            const auto info = m_lib.fileInfo(file);
            const auto libraryInfo = m_lib.libraryFileInfo(file);
            const auto loaded = m_lib.load(file);
            QVERIFY2(info && libraryInfo && loaded, c.name);
            QVERIFY2((QList{info->width, info->height, loaded->width(), loaded->height()}) ==
                         (QList{7, 5, 7, 5}),
                     c.name);
            QVERIFY2((QList{libraryInfo->width, libraryInfo->height, libraryInfo->bitsPerPixel}) ==
                         (QList{info->width, info->height, info->bitsPerPixel}),
                     c.name);
            QVERIFY2(c.bpp < 0 || info->bitsPerPixel == c.bpp, c.name);
            QVERIFY2(c.picture == 0 || *loaded == referencePicture(7, 5, c.picture == 1), c.name);
        }
    }

    void libraryWrittenFiles()
    {
        // Written through ImageMagick in formats and layouts the program only reads, with the
        // bits per pixel fileInfo must report and the largest channel error on loading. Alpha:
        // a translucent corner and two odd values; big-endian: TIFF's "MM" byte order.
        const auto rgb = Magick::sRGBColorspace, cmyk = Magick::CMYKColorspace;
        const auto any = Magick::UndefinedType;
        const struct
        {
            const char *magick;
            Magick::ColorspaceType space;
            Magick::ImageType type;
            int depth;
            bool alpha, bigEndian;
            int bits, maxError;
        } cases[] = {{"PSD", rgb, any, 8, true, false, 32, 0},
                     {"JPEG", cmyk, any, 8, false, false, 32, 12},
                     {"JPEG", Magick::GRAYColorspace, any, 8, false, false, 8, 12},
                     {"TIFF", cmyk, any, 8, false, false, 32, 12},
                     {"TIFF", rgb, Magick::TrueColorMatteType, 8, true, true, 32, 0},
                     {"TIFF", rgb, Magick::TrueColorType, 16, false, false, 48, 0},
                     {"TIFF", rgb, Magick::GrayscaleType, 8, false, false, 8, 255},
                     {"TIFF", rgb, Magick::PaletteType, 8, false, false, 8, 255}};
        for (const auto &c : cases) {
            const QByteArray row = QByteArray(c.magick) + " bits " + QByteArray::number(c.bits);
            Bitmap picture = gradientPicture(48, 32);
            if (c.space == Magick::GRAYColorspace)
                for (int y = 0; y < 32; ++y)
                    for (int x = 0; x < 48; ++x)
                        std::memset(picture.row(y) + x * 4, x * 5, 3);
            if (c.alpha) {
                picture.fill(0, 0, 48, 8, 0x102030);
                picture.row(3)[3] = 77;
                picture.row(4)[7] = 0;
            }
            const QString file = path(QStringLiteral("made.") + QString::fromLatin1(c.magick));
            try {
                Magick::Image image(48, 32, "BGRA", Magick::CharPixel, picture.bits());
                image.matte(c.alpha);
                if (c.space != rgb)
                    image.colorSpace(c.space);
                if (c.type != any)
                    image.type(c.type);
                image.depth(std::size_t(c.depth));
                image.defineValue("tiff", "endian", c.bigEndian ? "msb" : "lsb");
                image.quality(95);
                image.write(std::string(c.magick) + ":" + QFile::encodeName(file).toStdString());
            } catch (const std::exception &e) {
                QFAIL(e.what());
            }
            QVERIFY2(!c.bigEndian || readFile(file).startsWith("MM"), row);
            const auto info = m_lib.fileInfo(file);
            auto loaded = m_lib.load(file);
            QVERIFY2(info && loaded, row);
            QVERIFY2((QList{info->width, info->height, info->bitsPerPixel, loaded->width(),
                            loaded->height()}) == (QList{48, 32, c.bits, 48, 32}),
                     row);
            // Alpha comes back exactly where the file keeps it, opaque elsewhere; the colour
            // of pixels that are not opaque is not kept by Photoshop's merged picture.
            QVERIFY2(alphaAll(*loaded, 255) != c.alpha, row);
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 48; ++x) {
                    std::uint8_t *got = loaded->row(y) + x * 4;
                    std::uint8_t *want = picture.row(y) + x * 4;
                    QVERIFY2(got[3] == want[3], row);
                    if (want[3] != 255)
                        std::memset(got, 0, 3), std::memset(want, 0, 3);
                }
            QVERIFY2(maxDifference(*loaded, picture, false) <= c.maxError, row);
        }
    }

    void photoCdBasePicture()
    {
        // Photo CD names its resolutions as pictures; the base one (768 x 512) is taken. (Its
        // colours go through the same conversion to sRGB as CMYK's above.)
        const QString file = path(QStringLiteral("made.pcd"));
        QString error;
        if (!writeWithMagick(gradientPicture(768, 512), file, "PCD", &error))
            QSKIP(qPrintable(QStringLiteral("ImageMagick cannot write Photo CD here: ") + error));
        const auto info = m_lib.fileInfo(file);
        const auto loaded = m_lib.load(file);
        QVERIFY(info && loaded);
        QCOMPARE((QList{info->width, info->height, loaded->width(), loaded->height()}),
                 (QList{768, 512, 768, 512}));
    }

    void turnedPicturesComeRightSideUp()
    {
        // Rows stored turned a quarter (the TIFF orientation tag, as a camera's Exif one): the
        // picture loads right side up, and fileInfo reports the size loading gives.
        const Bitmap picture = gradientPicture(20, 10);
        const QString tiff = path("turned.tif");
        try {
            Magick::Image image(20, 10, "BGRA", Magick::CharPixel, picture.bits());
            image.matte(false);
            image.orientation(Magick::RightTopOrientation);
            image.write("TIFF:" + QFile::encodeName(tiff).toStdString());
        } catch (const std::exception &e) {
            QFAIL(e.what());
        }
        const auto loaded = m_lib.load(tiff);
        const auto info = m_lib.fileInfo(tiff);
        QVERIFY(loaded && info);
        QCOMPARE((QList{loaded->width(), loaded->height(), info->width, info->height}),
                 (QList{10, 20, 10, 20}));
        // The left column of the stored picture (dark blue) is now its top row.
        QVERIFY(loaded->row(0)[0] < 40 && loaded->row(19)[0] > 200);
    }

    void saveRoundTrip()
    {
        // Each format at 24 and 32 bits: TARGA and TIFF keep alpha, JPEG is lossy. The names hold
        // what ImageMagick gives meaning to in file names, to be taken literally.
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
            for (int bits : {24, 32}) {
                const QByteArray row = QByteArray(f.suffix) + ' ' + QByteArray::number(bits);
                const int storedBits = f.alpha ? bits : 24;
                const Bitmap picture =
                    f.maxError > 0 ? gradientPicture(33, 21) : referencePicture(33, 21, true);
                const QString file = path(QString::fromUtf8("@round[1] %03d 付き.") + f.suffix);
                QVERIFY2(m_lib.save(picture, file, f.format, bits), row);
                // The same result from a 24-bit picture in memory.
                const QString fromNarrow = path(QStringLiteral("tga:narrow.") + f.suffix);
                QVERIFY2(m_lib.save(picture.converted(24), fromNarrow, f.format, bits), row);
                QVERIFY2(QFile::exists(file) && QFile::exists(fromNarrow), row);
                const auto info = m_lib.fileInfo(file);
                const auto loaded = m_lib.load(file);
                const auto narrow = m_lib.load(fromNarrow);
                QVERIFY2(info && loaded && narrow, row);
                QCOMPARE((QList{info->width, info->height, info->bitsPerPixel, loaded->width(),
                                loaded->height()}),
                         (QList{33, 21, storedBits, 33, 21}));
                QVERIFY2(maxDifference(*loaded, picture, false) <= f.maxError, row);
                QVERIFY2(storedBits == 32 ? maxDifference(*loaded, picture, true) == 0
                                          : alphaAll(*loaded, 255),
                         row);
                QVERIFY2(alphaAll(*narrow, 255), row);
                QVERIFY2(maxDifference(*narrow, picture, false) <= f.maxError, row);
            }
    }

    void targaWrittenTopLeft()
    {
        for (int bits : {24, 32}) {
            // A flat picture, which a writer might be tempted to store as grey or colour-mapped.
            Bitmap picture(8, 6, 32);
            picture.fill(0, 0, 8, 6, 0x808080);
            picture.fill(0, 0, 8, 1, 0x0000FF); // top row blue
            picture.row(0)[3] = 7;              // one odd alpha
            const QString file = path(QStringLiteral("written.tga"));
            QVERIFY(m_lib.save(picture, file, ImageFileFormat::Targa, bits));
            const QByteArray bytes = readFile(file);
            QVERIFY(bytes.size() >= 18 + 8 * 6 * bits / 8);
            QCOMPARE(int(bytes[2]), 2); // uncompressed true colour
            QCOMPARE(int(std::uint8_t(bytes[16])), bits);
            QCOMPARE(int(std::uint8_t(bytes[17])), 0x20 | (bits == 32 ? 8 : 0));
            // The top-left pixel comes first: blue.
            const QByteArray first = bytes.mid(18 + std::uint8_t(bytes[0]), bits / 8);
            QCOMPARE(first, bits == 32 ? QByteArray("\xFF\0\0\x07", 4) : QByteArray("\xFF\0\0", 3));
        }
    }

    void damagedFiles()
    {
        // Never loaded; described with infoWidth (0: not described; -1: either way).
        const auto check = [this](const QString &name, const QByteArray &bytes, int infoWidth) {
            const QString file = path(name);
            QVERIFY2(writeFile(file, bytes) && !m_lib.load(file), qPrintable(name));
            const auto info = m_lib.fileInfo(file);
            const auto libraryInfo = m_lib.libraryFileInfo(file);
            QVERIFY2(infoWidth < 0 ||
                         (QList{info ? info->width : 0, libraryInfo ? libraryInfo->width : 0}) ==
                             (QList{infoWidth, infoWidth}),
                     qPrintable(name));
        };
        const QByteArray raw = makeTarga(64, 48, 32, false, false);
        check("head.tga", raw.left(10), 0);
        // The header is whole: information without decoding, no picture.
        check("cutrle.tga", makeTarga(64, 48, 24, true, true).left(200), 64);
        // Headers claiming far more than the picture limits, raw (left to the library) and coded.
        const QByteArray data(4096, '\x11');
        check("giant.tga", targaHeader(2, 60000, 60000, 32, 0x28) + data, 0);
        check("giantrle.tga", targaHeader(10, 60000, 60000, 24, 0x20) + data, 0);
        check("type.tga", targaHeader(77, 10, 10, 24, 0) + data, 0);
        const QByteArray bmp = makeBmp(50, 40, false);
        check("cut.bmp", bmp.left(bmp.size() / 3), -1);
        check("huge.bmp", bmp.left(18) + QByteArray("\x60\xEA\0\0\x60\xEA\0\0", 8) + bmp.mid(26),
              0);

        // Files cut short after their headers, from the library's own writer and ImageMagick's.
        const Bitmap picture = gradientPicture(120, 90);
        for (const auto &[name, format] : {std::pair{"jpg", ImageFileFormat::Jpeg},
                                           {"tif", ImageFileFormat::Tiff},
                                           {"pct", ImageFileFormat::Pict}}) {
            QVERIFY(m_lib.save(picture, path(QStringLiteral("whole.") + name), format, 24));
            const QByteArray bytes = readFile(path(QStringLiteral("whole.") + name));
            check(QStringLiteral("cut.") + name, bytes.left(bytes.size() / 2), -1);
        }
        QVERIFY(writeWithMagick(picture, path("whole.psd"), "PSD"));
        QByteArray psd = readFile(path("whole.psd"));
        check("cut.psd", psd.left(psd.size() / 2), -1);
        // Whole files whose headers claim 60000 x 60000.
        QByteArray jpeg = readFile(path("whole.jpg"));
        jpeg.replace(jpeg.indexOf(QByteArray("\xFF\xC0", 2)) + 5, 4, "\xEA\x60\xEA\x60");
        check("huge.jpg", jpeg, 0);
        psd.replace(14, 8, QByteArray("\0\0\xEA\x60\0\0\xEA\x60", 8)); // height, width
        check("huge.psd", psd, 0);

        QRandomGenerator random(20240611);
        QByteArray noise(5000, '\0');
        for (char &c : noise)
            c = char(random.bounded(256));
        check("noise.tga", noise, -1);
        check("noise.pct", noise, -1);
        check("sig.jpg", "\xFF\xD8\xFF\xE0" + noise, -1);
        check("sig.tif", QByteArray("II*\0\x08\0\0\0", 8) + noise, -1);
        check("empty.tga", QByteArray(), 0);
    }

    void missingFilesAndRefusedSaves()
    {
        for (const QString &file :
             {path("absent.tga"), path("absent.jpg"), QString(), m_env.root()}) {
            QVERIFY(!m_lib.load(file) && !m_lib.fileInfo(file) && !m_lib.libraryFileInfo(file));
        }
        const Bitmap picture = referencePicture(4, 4, true);
        QVERIFY(!m_lib.save(Bitmap(), path("null.tga"), ImageFileFormat::Targa, 32));
        QVERIFY(!m_lib.save(picture, path("bits.tga"), ImageFileFormat::Targa, 16));
        QVERIFY(!m_lib.save(picture, path("code.xyz"), ImageFileFormat(99), 24));
        QVERIFY(!m_lib.save(picture, path("no/such/folder/a.bmp"), ImageFileFormat::Bmp, 24));
        QVERIFY(!QFile::exists(path("null.tga")) && !QFile::exists(path("bits.tga")));
    }
};

QTEST_GUILESS_MAIN(TestImaging)
#include "test_imaging.moc"
