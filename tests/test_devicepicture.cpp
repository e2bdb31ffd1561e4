// The device picture conversions: hand-computed vectors, the file-level entry
// point, the read-back repairs, and the fast kernels against the reference on
// whole frames of every width up to 768 (every instruction set the processor has).
#include "imaging/DeviceConvert.h"
#include "imaging/DeviceConvertFast.h"
#include "imaging/DeviceConvertReference.h"
#include "imaging/ImageLibrary.h"
#include "support/ScriptedMessageBoxes.h"

#include <QTest>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>

using namespace DevicePicture;
using DeviceConvertFast::SimdLevel;

namespace {

const LevelSettings AllSettings[4] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};

// A picture library that answers from memory.
class MemoryImageLibrary : public ImageLibrary
{
public:
    std::map<QString, std::pair<ImageInfo, Bitmap>> files;
    QStringList loaded;

    std::optional<ImageInfo> fileInfo(const QString &path) override
    {
        const auto it = files.find(path);
        if (it == files.end())
            return std::nullopt;
        return it->second.first;
    }
    std::optional<Bitmap> load(const QString &path) override
    {
        loaded << path;
        const auto it = files.find(path);
        if (it == files.end() || it->second.second.isNull())
            return std::nullopt;
        return it->second.second;
    }
    bool save(const Bitmap &, const QString &, ImageFileFormat, int) override { return false; }
};

Bitmap solid(int w, int h, std::uint8_t b, std::uint8_t g, std::uint8_t r, std::uint8_t a)
{
    Bitmap picture(w, h, 32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t *p = picture.row(y) + x * 4;
            p[0] = b;
            p[1] = g;
            p[2] = r;
            p[3] = a;
        }
    return picture;
}

Bitmap randomPicture(std::mt19937 &rng, int w, int h, int bits = 32)
{
    Bitmap picture(w, h, bits);
    std::uint8_t *p = picture.bits();
    for (std::size_t i = 0; i < picture.sizeInBytes(); ++i)
        p[i] = std::uint8_t(rng());
    return picture;
}

// A device frame of `lines` lines filled with one pixel.
std::vector<std::uint8_t> deviceFrame(int lines, std::uint8_t y, std::uint8_t k, std::uint8_t cb,
                                      std::uint8_t cr)
{
    std::vector<std::uint8_t> frame(std::size_t(lines) * LineBytes);
    for (std::size_t i = 0; i < frame.size(); i += 4) {
        frame[i] = y;
        frame[i + 1] = k;
        frame[i + 2] = cb;
        frame[i + 3] = cr;
    }
    return frame;
}

// A plausible read-back: a picture converted at full device width, each line
// 720 pixels, with few or no outliers anywhere.
std::vector<std::uint8_t> pictureFrame(std::mt19937 &rng, int lines, const LevelLimits &limits)
{
    std::vector<std::uint8_t> frame(std::size_t(lines) * LineBytes);
    std::vector<std::uint8_t> bgra(LineWidth * 4);
    for (int r = 0; r < lines; ++r) {
        const int base = int(rng() % 200);
        for (int x = 0; x < LineWidth; ++x) {
            bgra[x * 4 + 0] = std::uint8_t(base + (x * 7 + r) % 50);
            bgra[x * 4 + 1] = std::uint8_t(base + (x * 3) % 40);
            bgra[x * 4 + 2] = std::uint8_t(base + (x + r * 5) % 55);
            bgra[x * 4 + 3] = std::uint8_t(x * 11 + r);
        }
        DeviceConvertFast::pixelsToDevice(bgra.data(), LineWidth,
                                          frame.data() + std::size_t(r) * LineBytes, limits,
                                          SimdLevel::Sse2);
    }
    return frame;
}

QList<SimdLevel> supportedLevels()
{
    QList<SimdLevel> levels;
    for (SimdLevel level : {SimdLevel::Sse2, SimdLevel::Avx2})
        if (DeviceConvertFast::isSupported(level))
            levels << level;
    return levels;
}

// Sampling for slow (sanitizer) builds: TITLEDECK_TEST_SAMPLE=n checks every n-th case.
int sampleStride()
{
    const int n = qEnvironmentVariableIntValue("TITLEDECK_TEST_SAMPLE");
    return n > 1 ? n : 1;
}

QByteArray bytesOf(const Bitmap &picture)
{
    return QByteArray(reinterpret_cast<const char *>(picture.bits()),
                      qsizetype(picture.sizeInBytes()));
}

const std::uint8_t *pixelAt(const Bitmap &picture, int x, int y)
{
    return picture.row(y) + x * picture.bytesPerPixel();
}

} // namespace

class TestDevicePicture : public QObject
{
    Q_OBJECT

private slots:
    void levelLimits();
    void pixelToDeviceVectors_data();
    void pixelToDeviceVectors();
    void pixelFromDeviceVectors_data();
    void pixelFromDeviceVectors();
    void uploadGeometryAndMarker();
    void hundredPixelTitle();
    void keyFromAlphaOrOpaque();
    void fileFailures();
    void oversizedRequestIsCut();
    void palClipLinePairsUpload();
    void readBackWithoutMarker();
    void readBackRealigned();
    void readBackMarkerPastFirstLine();
    void twoByteShiftRepaired();
    void palClipLinePairsReadBack();
    void readBackRejectsShortBuffer();
    void framesToDeviceMatchReference();
    void framesFromDeviceMatchReference();
    void readBackResamplesEveryPair();
    void uploadResamplesEveryPair();
    void repairsAcrossSharedLines();
};

void TestDevicePicture::levelLimits()
{
    const LevelLimits white = LevelLimits::from({0, 0});
    QCOMPARE(white.yMax, 235);
    QCOMPARE(white.cMax, 240);
    QCOMPARE(white.yMin, 16);
    QCOMPARE(white.cMin, 16);
    const LevelLimits super = LevelLimits::from({7, -1}); // any value but 0
    QCOMPARE(super.yMax, 255);
    QCOMPARE(super.cMax, 255);
    QCOMPARE(super.yMin, 0);
    QCOMPARE(super.cMin, 0);
}

void TestDevicePicture::pixelToDeviceVectors_data()
{
    QTest::addColumn<int>("yuvMax");
    QTest::addColumn<int>("yuvMin");
    QTest::addColumn<int>("r");
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("cb");
    QTest::addColumn<int>("cr");
    // White: 255 x (0.299 + 0.587 + 0.114) x ys + Ymin reaches Ymax in every setting.
    QTest::newRow("white 0/0") << 0 << 0 << 255 << 255 << 255 << 235 << 128 << 128;
    QTest::newRow("white 1/0") << 1 << 0 << 255 << 255 << 255 << 255 << 128 << 128;
    QTest::newRow("white 0/1") << 0 << 1 << 255 << 255 << 255 << 235 << 128 << 128;
    QTest::newRow("white 1/1") << 1 << 1 << 255 << 255 << 255 << 255 << 128 << 128;
    QTest::newRow("black 0/0") << 0 << 0 << 0 << 0 << 0 << 16 << 128 << 128;
    QTest::newRow("black 1/0") << 1 << 0 << 0 << 0 << 0 << 16 << 128 << 128;
    QTest::newRow("black 0/1") << 0 << 1 << 0 << 0 << 0 << 0 << 128 << 128;
    QTest::newRow("black 1/1") << 1 << 1 << 0 << 0 << 0 << 0 << 128 << 128;
    // Red: Y = 255 x 0.299 x 220/256 + 16 = 81.52 -> 82; Cb = 128 - 255 x 0.1687 x 225/256
    // = 90.19 -> 90; Cr = 128 + 255 x 0.5 x 225/256 = 240.06 -> limit 240.
    QTest::newRow("red 0/0") << 0 << 0 << 255 << 0 << 0 << 82 << 90 << 240;
    // Green: 144.64 -> 145; 53.75 -> 54; 34.16 -> 34.
    QTest::newRow("green 0/0") << 0 << 0 << 0 << 255 << 0 << 145 << 54 << 34;
    // Blue: 40.98 -> 41; 240.06 -> 240; 109.78 -> 110.
    QTest::newRow("blue 0/0") << 0 << 0 << 0 << 0 << 255 << 41 << 240 << 110;
    // SuperWhite/SuperBlack red: Y = 76.245 -> 76; Cb = 84.98 -> 85; Cr = 255.5 -> 255.
    QTest::newRow("red 1/1") << 1 << 1 << 255 << 0 << 0 << 76 << 85 << 255;
    // Blue: Y = 29.07 -> 29; Cb = 255.5 -> 255; Cr = 107.27 -> 107.
    QTest::newRow("blue 1/1") << 1 << 1 << 0 << 0 << 255 << 29 << 255 << 107;
}

void TestDevicePicture::pixelToDeviceVectors()
{
    QFETCH(int, yuvMax);
    QFETCH(int, yuvMin);
    QFETCH(int, r);
    QFETCH(int, g);
    QFETCH(int, b);
    QFETCH(int, y);
    QFETCH(int, cb);
    QFETCH(int, cr);
    const LevelSettings settings{yuvMax, yuvMin};
    const DeviceConvertReference::YCbCr p = ConvertPixelToDevice(r, g, b, settings);
    QCOMPARE(int(p.y), y);
    QCOMPARE(int(p.cb), cb);
    QCOMPARE(int(p.cr), cr);
    const std::uint8_t in[4] = {std::uint8_t(b), std::uint8_t(g), std::uint8_t(r), 77};
    for (SimdLevel level : supportedLevels()) {
        std::uint8_t out[4] = {};
        DeviceConvertFast::pixelsToDevice(in, 1, out, LevelLimits::from(settings), level);
        QCOMPARE(int(out[0]), y);
        QCOMPARE(int(out[1]), 77);
        QCOMPARE(int(out[2]), cb);
        QCOMPARE(int(out[3]), cr);
    }
}

void TestDevicePicture::pixelFromDeviceVectors_data()
{
    QTest::addColumn<int>("yuvMax");
    QTest::addColumn<int>("yuvMin");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("cb");
    QTest::addColumn<int>("cr");
    QTest::addColumn<int>("r");
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("outliers");
    // Y 235 at White/Black: (235 - 16) x 256/220 = 254.84 -> 255.
    QTest::newRow("white 0/0") << 0 << 0 << 235 << 128 << 128 << 255 << 255 << 255 << 0;
    QTest::newRow("black 0/0") << 0 << 0 << 16 << 128 << 128 << 0 << 0 << 0 << 0;
    // Levels outside the limits are clipped first.
    QTest::newRow("below black 0/0") << 0 << 0 << 3 << 128 << 128 << 0 << 0 << 0 << 0;
    QTest::newRow("above white 0/0") << 0 << 0 << 250 << 128 << 128 << 255 << 255 << 255 << 0;
    QTest::newRow("white 1/1") << 1 << 1 << 255 << 128 << 128 << 255 << 255 << 255 << 0;
    QTest::newRow("black 1/1") << 1 << 1 << 0 << 128 << 128 << 0 << 0 << 0 << 0;
    // Y 235 at SuperWhite/Black: 219 x 256/240 = 233.6 -> 234.
    QTest::newRow("Y235 1/0") << 1 << 0 << 235 << 128 << 128 << 234 << 234 << 234 << 0;
    // Cb = Cr = 16 at White/Black: R = -112 x 1.402 x 256/225 = -178.7 (outlier),
    // G = 91.0 + 43.85 = 134.86 -> 135, B = -225.8 (outlier).
    QTest::newRow("low chroma 0/0") << 0 << 0 << 16 << 16 << 16 << 0 << 135 << 0 << 2;
    // Cr 200 on white: R = 72 x 1.5952 + 254.84 = 369.7 (outlier), G = 196.3 -> 196, B 255.
    QTest::newRow("red outlier 0/0") << 0 << 0 << 235 << 128 << 200 << 255 << 196 << 255 << 1;
    // Y 100, Cb = Cr = 255 at SuperWhite/SuperBlack: R 278.1, G -34.4, B 325.0: three outliers.
    QTest::newRow("three outliers 1/1") << 1 << 1 << 100 << 255 << 255 << 255 << 0 << 255 << 3;
    // Between 255 and 275, and between -20 and 0: cut without counting. Y 235, Cr 140 at
    // 1/1: R = 12 x 1.402 + 235 = 251.8 -> 252; Cb 140: B = 12 x 1.772 + 235 = 256.3 -> 255.
    QTest::newRow("near limits 1/1") << 1 << 1 << 235 << 140 << 140 << 252 << 222 << 255 << 0;
    // Y 10, Cb 128, Cr 110 at 1/1: R = -18 x 1.402 + 10 = -15.2 -> 0, no outlier.
    QTest::newRow("slightly negative 1/1") << 1 << 1 << 10 << 128 << 110 << 0 << 23 << 10 << 0;
}

void TestDevicePicture::pixelFromDeviceVectors()
{
    QFETCH(int, yuvMax);
    QFETCH(int, yuvMin);
    QFETCH(int, y);
    QFETCH(int, cb);
    QFETCH(int, cr);
    QFETCH(int, r);
    QFETCH(int, g);
    QFETCH(int, b);
    QFETCH(int, outliers);
    const LevelSettings settings{yuvMax, yuvMin};
    const DeviceConvertReference::RgbOutliers p = ConvertPixelFromDevice(y, cb, cr, settings);
    QCOMPARE(int(p.r), r);
    QCOMPARE(int(p.g), g);
    QCOMPARE(int(p.b), b);
    QCOMPARE(p.outliers, outliers);
    const std::uint8_t in[4] = {std::uint8_t(y), 99, std::uint8_t(cb), std::uint8_t(cr)};
    for (SimdLevel level : supportedLevels()) {
        std::uint8_t out[4] = {};
        std::uint8_t count = 9;
        DeviceConvertFast::pixelsFromDevice(in, 1, out, &count, LevelLimits::from(settings), level);
        QCOMPARE(int(out[0]), b);
        QCOMPARE(int(out[1]), g);
        QCOMPARE(int(out[2]), r);
        QCOMPARE(int(out[3]), 99);
        QCOMPARE(int(count), outliers);
    }
}

void TestDevicePicture::uploadGeometryAndMarker()
{
    UploadGeometry g;
    QVERIFY(uploadGeometry(640, 480, 640, 480, false, g));
    QCOMPARE(g.outWidth, 720);
    QCOMPARE(g.bufferSize, std::size_t(1382400));
    QVERIFY(uploadGeometry(768, 576, 768, 576, true, g));
    QCOMPARE(g.outWidth, 720);
    QCOMPARE(g.bufferSize, std::size_t(720 * 576 * 4));

    const Bitmap white = solid(640, 480, 255, 255, 255, 255);
    const std::vector<std::uint8_t> frame = DeviceConvertFast::imageToDevice(
        white, 640, 480, true, false, false, LevelLimits::from({0, 0}));
    QCOMPARE(frame.size(), std::size_t(1382400));
    // The first pixel is the marker, not picture data; the second is white.
    QCOMPARE(int(frame[0]), 0xFF);
    QCOMPARE(int(frame[1]), 0x00);
    QCOMPARE(int(frame[2]), 0xFD);
    QCOMPARE(int(frame[3]), 0xFC);
    QCOMPARE(int(frame[4]), 235);
    QCOMPARE(int(frame[5]), 255);
    QCOMPARE(int(frame[6]), 128);
    QCOMPARE(int(frame[7]), 128);
    // Last pixel of the last line.
    QCOMPARE(int(frame[frame.size() - 4]), 235);
}

void TestDevicePicture::hundredPixelTitle()
{
    // trunc(100 x 1.125) = 112 pixels, 448 bytes a line; 5 lines = 2240 bytes -> 2560.
    const Bitmap black = solid(100, 5, 0, 0, 0, 255);
    std::vector<std::uint8_t> out(4096, 0xEE);
    const std::size_t size = DeviceConvertFast::imageToDevice(
        black, 100, 5, true, false, false, LevelLimits::from({0, 0}), out.data(), out.size());
    QCOMPARE(size, std::size_t(2560));
    QCOMPARE(int(out[448]), 16); // line 1 starts a black pixel
    QCOMPARE(int(out[2239]), 128);
    for (std::size_t i = 2240; i < 2560; ++i)
        QCOMPARE(int(out[i]), 0);   // padding
    QCOMPARE(int(out[2560]), 0xEE); // nothing past the buffer
    // A buffer too small for the frame is refused without writing.
    std::vector<std::uint8_t> small(2559, 0xEE);
    QCOMPARE(DeviceConvertFast::imageToDevice(black, 100, 5, true, false, false,
                                              LevelLimits::from({0, 0}), small.data(),
                                              small.size()),
             std::size_t(0));
    QCOMPARE(int(small[0]), 0xEE);
}

void TestDevicePicture::keyFromAlphaOrOpaque()
{
    MemoryImageLibrary library;
    ScriptedMessageBoxes boxes;
    const Bitmap half = solid(64, 4, 10, 20, 30, 100);
    library.files[QStringLiteral("/p/a32.tga")] = {ImageInfo{64, 4, 32}, half};
    library.files[QStringLiteral("/p/a24.bmp")] = {ImageInfo{64, 4, 24}, half};
    const std::vector<std::uint8_t> keyed = ConvertImageToDevice(
        library, boxes, QStringLiteral("/p/a32.tga"), 64, 4, true, false, {0, 0});
    const std::vector<std::uint8_t> opaque = ConvertImageToDevice(
        library, boxes, QStringLiteral("/p/a24.bmp"), 64, 4, true, false, {0, 0});
    // 72 x 4 pixels of 4 bytes = 1152, rounded up to 1536.
    QCOMPARE(keyed.size(), std::size_t(1536));
    QCOMPARE(opaque.size(), keyed.size());
    for (std::size_t i = 4; i < 1152; i += 4) {
        QCOMPARE(int(keyed[i + 1]), 100);
        QCOMPARE(int(opaque[i + 1]), 255);
        QCOMPARE(keyed[i], opaque[i]);
    }
    QVERIFY(boxes.shown().isEmpty());
}

void TestDevicePicture::fileFailures()
{
    MemoryImageLibrary library;
    ScriptedMessageBoxes boxes;
    library.files[QStringLiteral("/p/broken.tga")] = {ImageInfo{64, 4, 32}, Bitmap()};
    library.files[QStringLiteral("/p/good.tga")] = {ImageInfo{64, 4, 32}, solid(64, 4, 1, 2, 3, 4)};

    // Missing file: message 122 with the name without its folder, size 0.
    QVERIFY(ConvertImageToDevice(library, boxes, QStringLiteral("/p/gone.tga"), 64, 4, true, false,
                                 {0, 0})
                .empty());
    QCOMPARE(boxes.shownIds(), QList<int>{122});
    QCOMPARE(boxes.shown().first().captionId, 1);
    QVERIFY(boxes.shown().first().text.contains(QStringLiteral("gone.tga")));
    QVERIFY(!boxes.shown().first().text.contains(QStringLiteral("/p/")));
    QCOMPARE(boxes.shown().first().flags, int(MsgError));

    // Header readable, pixels not: the loader's message.
    boxes.clear();
    QVERIFY(ConvertImageToDevice(library, boxes, QStringLiteral("/p/broken.tga"), 64, 4, true,
                                 false, {0, 0})
                .empty());
    QCOMPARE(boxes.shownIds(), QList<int>{122});

    // A size of 0 fails quietly, before loading anything.
    boxes.clear();
    library.loaded.clear();
    QVERIFY(ConvertImageToDevice(library, boxes, QStringLiteral("/p/good.tga"), 0, 4, true, false,
                                 {0, 0})
                .empty());
    QVERIFY(ConvertImageToDevice(library, boxes, QStringLiteral("/p/good.tga"), 64, 0, true, false,
                                 {0, 0})
                .empty());
    QVERIFY(boxes.shown().isEmpty());
    QVERIFY(library.loaded.isEmpty());

    // One column in PAL has no device pixel: nothing to send.
    QVERIFY(DeviceConvertFast::imageToDevice(solid(1, 3, 0, 0, 0, 0), 1, 3, true, true, false,
                                             LevelLimits::from({0, 0}))
                .empty());
    QVERIFY(DeviceConvertReference::imageToDevice(solid(1, 3, 0, 0, 0, 0), 1, 3, true, true, false,
                                                  LevelLimits::from({0, 0}))
                .empty());
}

void TestDevicePicture::oversizedRequestIsCut()
{
    // 720 x 486 asked as 720 x 486 in NTSC: cut to 640 x 480, the top-left region.
    std::mt19937 rng(5);
    const Bitmap big = randomPicture(rng, 720, 486);
    const LevelLimits limits = LevelLimits::from({0, 0});
    const std::vector<std::uint8_t> cut =
        DeviceConvertFast::imageToDevice(big, 720, 486, true, false, true, limits);
    const std::vector<std::uint8_t> exact = DeviceConvertFast::imageToDevice(
        big.cropped(0, 0, 640, 480), 640, 480, true, false, true, limits);
    QCOMPARE(cut.size(), std::size_t(1382400));
    QVERIFY(cut == exact);
    // A request larger than the picture takes the picture.
    const Bitmap small = randomPicture(rng, 50, 7);
    QVERIFY(DeviceConvertFast::imageToDevice(small, 500, 70, true, false, true, limits) ==
            DeviceConvertFast::imageToDevice(small, 50, 7, true, false, true, limits));
}

void TestDevicePicture::palClipLinePairsUpload()
{
    // Lines of distinct greys; a PAL clip sends them in exchanged pairs, a title as
    // they are, and a last line without a partner stays last.
    const int h = 5;
    Bitmap picture(96, h, 32);
    for (int y = 0; y < h; ++y)
        picture.fill(0, y, 96, 1, 0x010101u * std::uint32_t(40 * y + 20));
    const LevelLimits limits = LevelLimits::from({1, 1});
    const std::vector<std::uint8_t> clip =
        DeviceConvertFast::imageToDevice(picture, 96, h, false, true, false, limits);
    const std::vector<std::uint8_t> title =
        DeviceConvertFast::imageToDevice(picture, 96, h, true, true, false, limits);
    const std::vector<std::uint8_t> ntscClip =
        DeviceConvertFast::imageToDevice(picture, 96, h, false, false, false, limits);
    const int w = 90; // trunc(96 x 0.9375)
    auto yAt = [w](const std::vector<std::uint8_t> &f, int line) {
        return int(f[(std::size_t(line) * w + 5) * 4]);
    };
    const int order[h] = {1, 0, 3, 2, 4};
    for (int line = 0; line < h; ++line) {
        QCOMPARE(yAt(title, line), 40 * line + 20);
        QCOMPARE(yAt(clip, line), 40 * order[line] + 20);
    }
    QCOMPARE(yAt(ntscClip, 0), 20); // NTSC clips are not exchanged
    QVERIFY(clip ==
            DeviceConvertReference::imageToDevice(picture, 96, h, false, true, false, limits));
}

void TestDevicePicture::readBackWithoutMarker()
{
    // Uniform white, opaque, no marker anywhere: converted as it is.
    const std::vector<std::uint8_t> frame = deviceFrame(3, 235, 255, 128, 128);
    const Bitmap picture =
        ConvertDeviceToPicture(frame.data(), frame.size(), 3, true, false, true, {0, 0});
    QCOMPARE(picture.width(), 640);
    QCOMPARE(picture.height(), 3);
    QCOMPARE(picture.bitsPerPixel(), 32);
    for (int y = 0; y < 3; ++y)
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(pixelAt(picture, 0, y)), 4),
                 QByteArray("\xFF\xFF\xFF\xFF", 4));
    // The last line ends with the two black, transparent pixels of step 3.
    const std::uint8_t *last = pixelAt(picture, 639, 2);
    QCOMPARE(int(last[0]), 0);
    QCOMPARE(int(last[3]), 0);
    QCOMPARE(int(pixelAt(picture, 639, 1)[0]), 255);

    const Bitmap rgb =
        ConvertDeviceToPicture(frame.data(), frame.size(), 3, true, true, false, {0, 0});
    QCOMPARE(rgb.width(), 768);
    QCOMPARE(rgb.bitsPerPixel(), 24);
    QCOMPARE(int(pixelAt(rgb, 100, 1)[1]), 255);
}

void TestDevicePicture::readBackRealigned()
{
    std::mt19937 rng(11);
    const LevelLimits limits = LevelLimits::from({0, 0});
    const int lines = 6;
    std::vector<std::uint8_t> good = pictureFrame(rng, lines, limits);
    std::memcpy(good.data(), ReadBackMarker, 4);
    for (int late : {1, 3, 37}) {
        // The data arrives `late` pixels into the buffer, after some stray pixels.
        std::vector<std::uint8_t> received(good.size());
        for (std::size_t i = 0; i < std::size_t(late) * 4; ++i)
            received[i] = std::uint8_t(rng());
        std::memcpy(received.data() + late * 4, good.data(), good.size() - std::size_t(late) * 4);
        // What the realigned frame must be: the data, neutral pixels in the last `late` places.
        std::vector<std::uint8_t> expected = good;
        for (std::size_t q = good.size() / 4 - late; q < good.size() / 4; ++q)
            std::memcpy(expected.data() + q * 4, NeutralPixel, 4);
        const Bitmap want = DeviceConvertReference::deviceToPicture(
            expected.data(), expected.size(), lines, true, false, true, limits);
        const Bitmap got = ConvertDeviceToPicture(received.data(), received.size(), lines, true,
                                                  false, true, {0, 0});
        QVERIFY(!got.isNull());
        QVERIFY2(got == want, qPrintable(QStringLiteral("late by %1").arg(late)));
        QVERIFY(DeviceConvertReference::deviceToPicture(received.data(), received.size(), lines,
                                                        true, false, true, limits) == want);
    }
}

void TestDevicePicture::readBackMarkerPastFirstLine()
{
    // The marker more than a line in: everything before the data is dropped and every
    // pixel left open at the end is neutral (black, transparent).
    const int lines = 4;
    std::vector<std::uint8_t> frame = deviceFrame(lines, 200, 255, 128, 128);
    const std::size_t p = 1500;
    std::memcpy(frame.data() + p * 4, ReadBackMarker, 4);
    const Bitmap picture =
        ConvertDeviceToPicture(frame.data(), frame.size(), lines, true, false, true, {1, 1});
    QCOMPARE(int(pixelAt(picture, 10, 0)[0]), 200);
    QCOMPARE(int(pixelAt(picture, 10, 1)[3]), 255);
    // 4 x 720 - 1500 = 1380 data pixels end inside line 1: lines 2 and 3 are open.
    QCOMPARE(int(pixelAt(picture, 10, 2)[0]), 0);
    QCOMPARE(int(pixelAt(picture, 10, 2)[3]), 0);
    QCOMPARE(int(pixelAt(picture, 10, 3)[3]), 0);
    Bitmap fast;
    for (SimdLevel level : supportedLevels()) {
        QVERIFY(DeviceConvertFast::deviceToPicture(frame.data(), frame.size(), lines, true, false,
                                                   true, LevelLimits::from({1, 1}), fast, level));
        QVERIFY(fast == DeviceConvertReference::deviceToPicture(frame.data(), frame.size(), lines,
                                                                true, false, true,
                                                                LevelLimits::from({1, 1})));
    }
}

void TestDevicePicture::twoByteShiftRepaired()
{
    std::mt19937 rng(3);
    const LevelLimits limits = LevelLimits::from({0, 0});
    const int lines = 8;
    const int shiftedFrom = 3;
    const std::vector<std::uint8_t> good = pictureFrame(rng, lines, limits);
    // From line 3 on, the data arrives two bytes early.
    std::vector<std::uint8_t> received = good;
    const std::size_t s = std::size_t(shiftedFrom) * LineBytes;
    std::copy(good.begin() + std::ptrdiff_t(s) + 2, good.end(),
              received.begin() + std::ptrdiff_t(s));
    received[received.size() - 2] = 0x55;
    received[received.size() - 1] = 0x66;
    // Repaired, it is the good frame with the two bytes at the start of line 3 zero.
    std::vector<std::uint8_t> expected = good;
    expected[s] = 0;
    expected[s + 1] = 0;
    const Bitmap want = DeviceConvertReference::deviceToPicture(expected.data(), expected.size(),
                                                                lines, true, false, true, limits);
    for (SimdLevel level : supportedLevels()) {
        Bitmap got;
        QVERIFY(DeviceConvertFast::deviceToPicture(received.data(), received.size(), lines, true,
                                                   false, true, limits, got, level));
        QVERIFY(got == want);
    }
    QVERIFY(DeviceConvertReference::deviceToPicture(received.data(), received.size(), lines, true,
                                                    false, true, limits) == want);
    // The good frame itself needs no repair and is converted unchanged.
    const Bitmap plain =
        ConvertDeviceToPicture(good.data(), good.size(), lines, true, false, true, {0, 0});
    QCOMPARE(bytesOf(plain).left(640 * 4 * 2), bytesOf(want).left(640 * 4 * 2));
    // Line 2 ends with pixel 0 of line 3, whose Y and K were zeroed.
    QVERIFY(bytesOf(plain) != bytesOf(want));
}

void TestDevicePicture::palClipLinePairsReadBack()
{
    // Each line its own grey; a PAL clip comes back with its pairs exchanged (and an
    // odd last line in place), a title and NTSC as they are.
    const int lines = 5;
    std::vector<std::uint8_t> frame(std::size_t(lines) * LineBytes);
    for (int r = 0; r < lines; ++r)
        for (int x = 0; x < LineWidth; ++x) {
            std::uint8_t *p = frame.data() + std::size_t(r) * LineBytes + x * 4;
            p[0] = std::uint8_t(30 + 40 * r);
            p[1] = 255;
            p[2] = 128;
            p[3] = 128;
        }
    const Bitmap clip =
        ConvertDeviceToPicture(frame.data(), frame.size(), lines, false, true, false, {1, 1});
    const Bitmap title =
        ConvertDeviceToPicture(frame.data(), frame.size(), lines, true, true, false, {1, 1});
    const Bitmap ntscClip =
        ConvertDeviceToPicture(frame.data(), frame.size(), lines, false, false, false, {1, 1});
    const int order[lines] = {1, 0, 3, 2, 4};
    for (int y = 0; y < lines; ++y) {
        QCOMPARE(int(pixelAt(title, 100, y)[0]), 30 + 40 * y);
        QCOMPARE(int(pixelAt(clip, 100, y)[0]), 30 + 40 * order[y]);
        QCOMPARE(int(pixelAt(ntscClip, 100, y)[0]), 30 + 40 * y);
    }
}

void TestDevicePicture::readBackRejectsShortBuffer()
{
    const std::vector<std::uint8_t> frame = deviceFrame(2, 16, 255, 128, 128);
    QVERIFY(ConvertDeviceToPicture(frame.data(), frame.size() - 1, 2, true, false, true, {0, 0})
                .isNull());
    QVERIFY(
        ConvertDeviceToPicture(frame.data(), frame.size(), 0, true, false, true, {0, 0}).isNull());
    QVERIFY(
        ConvertDeviceToPicture(frame.data(), frame.size(), -3, true, false, true, {0, 0}).isNull());
    QVERIFY(ConvertDeviceToPicture(nullptr, 0, 1, true, false, true, {0, 0}).isNull());
    QVERIFY(DeviceConvertReference::deviceToPicture(frame.data(), frame.size() - 1, 2, true, false,
                                                    true, LevelLimits())
                .isNull());
    QVERIFY(
        !ConvertDeviceToPicture(frame.data(), frame.size(), 2, true, false, true, {0, 0}).isNull());
}

void TestDevicePicture::framesToDeviceMatchReference()
{
    std::mt19937 rng(2024);
    const QList<SimdLevel> levels = supportedLevels();
    const int stride = sampleStride();
    int frames = 0;
    for (int width = 1; width <= 768; width += stride) {
        for (bool isPal : {false, true}) {
            const int height = 1 + int(rng() % 4);
            // Sometimes a wider, taller picture than the region, sometimes 24 bits.
            const int extraW = (rng() % 3 == 0) ? int(rng() % 40) : 0;
            const int extraH = int(rng() % 2);
            const int bits = (rng() % 5 == 0) ? 24 : 32;
            const Bitmap picture = randomPicture(rng, width + extraW, height + extraH, bits);
            const bool isTitle = rng() % 2;
            const bool key = rng() % 2;
            const LevelLimits limits = LevelLimits::from(AllSettings[rng() % 4]);
            const std::vector<std::uint8_t> want = DeviceConvertReference::imageToDevice(
                picture, width, height, isTitle, isPal, key, limits);
            for (SimdLevel level : levels) {
                const std::vector<std::uint8_t> got = DeviceConvertFast::imageToDevice(
                    picture, width, height, isTitle, isPal, key, limits, level);
                if (got != want)
                    QFAIL(qPrintable(QStringLiteral("width %1 height %2 pal %3 level %4")
                                         .arg(width)
                                         .arg(height)
                                         .arg(isPal)
                                         .arg(DeviceConvertFast::levelName(level))));
            }
            ++frames;
        }
    }
    // Whole pictures at the format's sizes, odd heights and clips included.
    const struct
    {
        int w, h;
        bool pal;
    } sizes[] = {{640, 480, false}, {768, 576, true}, {720, 486, false}, {333, 61, true},
                 {768, 575, true},  {17, 73, false},  {100, 5, false}};
    for (const auto &size : sizes) {
        const Bitmap picture = randomPicture(rng, size.w, size.h);
        for (const LevelSettings &settings : AllSettings) {
            const LevelLimits limits = LevelLimits::from(settings);
            const bool isTitle = rng() % 2;
            const std::vector<std::uint8_t> want = DeviceConvertReference::imageToDevice(
                picture, size.w, size.h, isTitle, size.pal, true, limits);
            QVERIFY(!want.empty());
            for (SimdLevel level : levels)
                QVERIFY(DeviceConvertFast::imageToDevice(picture, size.w, size.h, isTitle, size.pal,
                                                         true, limits, level) == want);
            ++frames;
        }
    }
    qInfo("%d frames to device, %lld instruction sets", frames, qlonglong(levels.size()));
}

void TestDevicePicture::framesFromDeviceMatchReference()
{
    std::mt19937 rng(77);
    const QList<SimdLevel> levels = supportedLevels();
    const int lineCounts[] = {1, 2, 3, 5, 60, 72, 144, 480, 576};
    int frames = 0;
    for (int lines : lineCounts) {
        for (int variant = 0; variant < 6; ++variant) {
            if ((frames++ % sampleStride()) != 0)
                continue;
            const LevelLimits limits = LevelLimits::from(AllSettings[rng() % 4]);
            std::vector<std::uint8_t> frame;
            if (variant % 3 == 0) {
                // Noise: most lines are full of outliers and go through the repair test.
                frame.resize(std::size_t(lines) * LineBytes);
                for (auto &b : frame)
                    b = std::uint8_t(rng());
            } else {
                frame = pictureFrame(rng, lines, limits);
            }
            if (variant % 3 == 2) {
                // Two-byte slips at random lines.
                for (int slips = 0; slips < 3; ++slips) {
                    const std::size_t at = std::size_t(rng() % std::size_t(lines)) * LineBytes;
                    frame.erase(frame.begin() + std::ptrdiff_t(at),
                                frame.begin() + std::ptrdiff_t(at) + 2);
                    frame.push_back(std::uint8_t(rng()));
                    frame.push_back(std::uint8_t(rng()));
                }
            }
            if (variant >= 3) {
                // A marker somewhere, sometimes past the first line.
                const std::size_t p = rng() % (std::size_t(lines) * LineWidth);
                std::memcpy(frame.data() + p * 4, ReadBackMarker, 4);
            }
            const bool isTitle = rng() % 2;
            const bool isPal = rng() % 2;
            const bool keepKey = rng() % 2;
            const Bitmap want = DeviceConvertReference::deviceToPicture(
                frame.data(), frame.size(), lines, isTitle, isPal, keepKey, limits);
            QVERIFY(!want.isNull());
            for (SimdLevel level : levels) {
                Bitmap got;
                QVERIFY(DeviceConvertFast::deviceToPicture(frame.data(), frame.size(), lines,
                                                           isTitle, isPal, keepKey, limits, got,
                                                           level));
                if (got != want)
                    QFAIL(qPrintable(QStringLiteral("lines %1 variant %2 level %3")
                                         .arg(lines)
                                         .arg(variant)
                                         .arg(DeviceConvertFast::levelName(level))));
            }
        }
    }
    qInfo("%d frames from device", frames);
}

void TestDevicePicture::readBackResamplesEveryPair()
{
    // Grey device pixels at full range come back as the same grey (blue = green = red =
    // Y) with alpha K. Each line holds a, b, a, b, ... in Y and b, a, b, a, ... in K, so
    // every column resamples (a, b) in one channel and (b, a) in another: over all lines,
    // every ordered pair of bytes meets every column of both widths (but the two columns
    // that reach into the next line, which see other pairs). Whole-number weights are
    // used where they were shown to give the float weights' bytes; this checks them.
    const LevelLimits limits = LevelLimits::from({1, 1});
    std::vector<std::pair<int, int>> pairs;
    int n = 0;
    for (int a = 0; a < 256; ++a)
        for (int b = a; b < 256; ++b)
            if ((n++ % sampleStride()) == 0)
                pairs.emplace_back(a, b);
    const QList<SimdLevel> levels = supportedLevels();
    const std::size_t chunk = 4096;
    for (bool isPal : {false, true}) {
        for (std::size_t start = 0; start < pairs.size(); start += chunk) {
            const int lines = int(qMin(chunk, pairs.size() - start));
            std::vector<std::uint8_t> frame(std::size_t(lines) * LineBytes);
            for (int r = 0; r < lines; ++r) {
                const auto [a, b] = pairs[start + std::size_t(r)];
                std::uint8_t *line = frame.data() + std::size_t(r) * LineBytes;
                for (int x = 0; x < LineWidth; ++x) {
                    line[x * 4 + 0] = std::uint8_t(x % 2 ? b : a);
                    line[x * 4 + 1] = std::uint8_t(x % 2 ? a : b);
                    line[x * 4 + 2] = 128;
                    line[x * 4 + 3] = 128;
                }
            }
            const Bitmap want = DeviceConvertReference::deviceToPicture(
                frame.data(), frame.size(), lines, true, isPal, true, limits);
            QVERIFY(!want.isNull());
            for (SimdLevel level : levels) {
                Bitmap got;
                QVERIFY(DeviceConvertFast::deviceToPicture(frame.data(), frame.size(), lines, true,
                                                           isPal, true, limits, got, level));
                QVERIFY2(bytesOf(got) == bytesOf(want),
                         qPrintable(QStringLiteral("%1, %2, lines from pair %3")
                                        .arg(DeviceConvertFast::levelName(level))
                                        .arg(isPal ? "PAL" : "NTSC")
                                        .arg(start)));
            }
        }
    }
}

void TestDevicePicture::uploadResamplesEveryPair()
{
    // Full-size pictures whose alpha (sent as K, resampled and nothing else) holds
    // a, b, a, b, ... and whose colours hold other pairs: over all rows every ordered pair
    // of bytes meets every column of both formats' resampling, in the key and in each
    // colour channel. The 16-bit weights are used where they were shown to give the float
    // weights' bytes; this checks them.
    std::vector<std::pair<int, int>> pairs;
    int n = 0;
    for (int a = 0; a < 256; ++a)
        for (int b = a; b < 256; ++b)
            if ((n++ % sampleStride()) == 0)
                pairs.emplace_back(a, b);
    const LevelLimits limits = LevelLimits::from({1, 1});
    const QList<SimdLevel> levels = supportedLevels();
    for (bool isPal : {false, true}) {
        const int width = isPal ? 768 : 640;
        const int height = isPal ? 576 : 480;
        for (std::size_t start = 0; start < pairs.size(); start += std::size_t(height)) {
            const int rows = int(qMin(std::size_t(height), pairs.size() - start));
            Bitmap picture(width, rows, 32);
            for (int r = 0; r < rows; ++r) {
                const auto [a, b] = pairs[start + std::size_t(r)];
                // Blue, green and red take the pair of another row each.
                const auto [c, d] = pairs[(start + std::size_t(r) * 7 + 1) % pairs.size()];
                std::uint8_t *row = picture.row(r);
                for (int x = 0; x < width; ++x) {
                    const bool odd = x % 2;
                    row[x * 4 + 0] = std::uint8_t(odd ? c : d);
                    row[x * 4 + 1] = std::uint8_t(odd ? b : a);
                    row[x * 4 + 2] = std::uint8_t(odd ? d : c);
                    row[x * 4 + 3] = std::uint8_t(odd ? b : a);
                }
            }
            const std::vector<std::uint8_t> want = DeviceConvertReference::imageToDevice(
                picture, width, rows, true, isPal, true, limits);
            QVERIFY(!want.empty());
            for (SimdLevel level : levels)
                QVERIFY2(DeviceConvertFast::imageToDevice(picture, width, rows, true, isPal, true,
                                                          limits, level) == want,
                         qPrintable(QStringLiteral("%1, %2, rows from pair %3")
                                        .arg(DeviceConvertFast::levelName(level))
                                        .arg(isPal ? "PAL" : "NTSC")
                                        .arg(start)));
        }
    }
}

void TestDevicePicture::repairsAcrossSharedLines()
{
    // A frame's lines are shared with the helper thread, which starts as if the lines
    // above its part needed no repair. A two-byte slip in the first part, at the split,
    // just before it or in the second part gives the reference's picture all the same,
    // on one core and on two.
    std::mt19937 rng(11);
    const LevelLimits limits = LevelLimits::from({0, 0});
    const int lines = 480;
    const std::vector<std::uint8_t> good = pictureFrame(rng, lines, limits);
    for (int from : {5, 239, 240, 241, 400}) {
        std::vector<std::uint8_t> received = good;
        const std::size_t s = std::size_t(from) * LineBytes;
        std::copy(good.begin() + std::ptrdiff_t(s) + 2, good.end(),
                  received.begin() + std::ptrdiff_t(s));
        const Bitmap want = DeviceConvertReference::deviceToPicture(
            received.data(), received.size(), lines, true, false, true, limits);
        QVERIFY(!want.isNull());
        for (SimdLevel level : supportedLevels()) {
            {
                Bitmap got;
                QVERIFY(DeviceConvertFast::deviceToPicture(received.data(), received.size(), lines,
                                                           true, false, true, limits, got, level));
                QVERIFY2(got == want, qPrintable(QStringLiteral("slip at line %1").arg(from)));
            }
        }
        // The repair is really there: the slipped frame is not taken as it came.
        QVERIFY(DeviceConvertReference::deviceToPicture(good.data(), good.size(), lines, true,
                                                        false, true, limits) != want);
    }
}

QTEST_GUILESS_MAIN(TestDevicePicture)
#include "test_devicepicture.moc"
