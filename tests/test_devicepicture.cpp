// The device picture conversions: hand-computed vectors, the file-level entry point,
// the read-back repairs, and the vector kernels of every instruction set the processor
// has against the reference: every (R, G, B) and (Y, Cb, Cr) at the four level
// settings, every pair of bytes through every resampled column, whole frames of every
// width up to 768. TITLEDECK_TEST_SAMPLE=n checks every n-th case only (slow builds).
#include "imaging/DeviceConvert.h"
#include "imaging/DeviceConvertFast.h"
#include "imaging/DeviceConvertReference.h"
#include "imaging/ImageLibrary.h"
#include "support/ScriptedMessageBoxes.h"

#include <QTest>

#include <cstring>
#include <map>
#include <random>
#include <tuple>

using namespace DevicePicture;
using DeviceConvertFast::levelName;
using DeviceConvertFast::SimdLevel;

namespace {

const LevelSettings AllSettings[4] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};

QList<SimdLevel> kernelLevels()
{
    QList<SimdLevel> levels;
    for (SimdLevel level : {SimdLevel::Sse2, SimdLevel::Avx2})
        if (DeviceConvertFast::isSupported(level))
            levels << level;
    return levels;
}

int sampleStride()
{
    const int n = qEnvironmentVariableIntValue("TITLEDECK_TEST_SAMPLE");
    return n > 1 ? n : 1;
}

Bitmap solid(int w, int h, std::uint8_t b, std::uint8_t g, std::uint8_t r, std::uint8_t a)
{
    Bitmap picture(w, h, 32);
    const std::uint8_t pixel[4] = {b, g, r, a};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            std::memcpy(picture.row(y) + x * 4, pixel, 4);
    return picture;
}

Bitmap randomPicture(std::mt19937 &rng, int w, int h, int bits = 32)
{
    Bitmap picture(w, h, bits);
    for (std::size_t i = 0; i < picture.sizeInBytes(); ++i)
        picture.bits()[i] = std::uint8_t(rng());
    return picture;
}

// A device frame of `lines` lines of one pixel.
std::vector<std::uint8_t> deviceFrame(int lines, std::uint8_t y, std::uint8_t k, std::uint8_t cb,
                                      std::uint8_t cr)
{
    std::vector<std::uint8_t> frame(std::size_t(lines) * LineBytes);
    const std::uint8_t pixel[4] = {y, k, cb, cr};
    for (std::size_t i = 0; i < frame.size(); i += 4)
        std::memcpy(frame.data() + i, pixel, 4);
    return frame;
}

// A picture library that answers from memory.
class MemoryImageLibrary : public ImageLibrary
{
public:
    std::map<QString, std::pair<ImageInfo, Bitmap>> files;
    QStringList loaded;

    std::optional<ImageInfo> fileInfo(const QString &path) override
    {
        return files.count(path) ? std::optional(files[path].first) : std::nullopt;
    }
    std::optional<Bitmap> load(const QString &path) override
    {
        loaded << path;
        if (!files.count(path) || files[path].second.isNull())
            return std::nullopt;
        return files[path].second;
    }
    bool save(const Bitmap &, const QString &, ImageFileFormat, int) override { return false; }
};

// A plausible read-back: a random picture converted to full device width (720 pixels),
// with few or no outliers anywhere.
std::vector<std::uint8_t> pictureFrame(std::mt19937 &rng, int lines, const LevelLimits &limits)
{
    std::vector<std::uint8_t> frame = DeviceConvertReference::imageToDevice(
        randomPicture(rng, 640, lines), 640, lines, true, false, true, limits);
    frame.resize(std::size_t(lines) * LineBytes);
    return frame;
}

const std::uint8_t *pixelAt(const Bitmap &picture, int x, int y)
{
    return picture.row(y) + x * picture.bytesPerPixel();
}

// Every ordered pair of bytes (a <= b, then used both ways), sampled in slow builds.
std::vector<std::pair<int, int>> bytePairs()
{
    std::vector<std::pair<int, int>> pairs;
    int n = 0;
    for (int a = 0; a < 256; ++a)
        for (int b = a; b < 256; ++b)
            if ((n++ % sampleStride()) == 0)
                pairs.emplace_back(a, b);
    return pairs;
}

} // namespace

class TestDevicePicture : public QObject
{
    Q_OBJECT

private slots:
    void pixelVectors()
    {
        // Settings (YuvMax, YuvMin); to the device (outliers -1): R, G, B in, Y, Cb, Cr out; back:
        // Y, Cb, Cr in, R, G, B and the outlier count out.
        const struct
        {
            int yuvMax, yuvMin, in[3], out[3], outliers;
        } cases[] = {
            // White: 255 x (0.299 + 0.587 + 0.114) x ys + Ymin reaches Ymax in every setting.
            {0, 0, {255, 255, 255}, {235, 128, 128}, -1},
            {1, 0, {255, 255, 255}, {255, 128, 128}, -1},
            {0, 0, {0, 0, 0}, {16, 128, 128}, -1},
            {0, 1, {0, 0, 0}, {0, 128, 128}, -1},
            // Red: Y = 255 x 0.299 x 220/256 + 16 = 81.52 -> 82; Cb = 128 - 255 x 0.1687 x 225/256
            // = 90.19 -> 90; Cr = 128 + 255 x 0.5 x 225/256 = 240.06 -> limit 240. Green: 144.64,
            // 53.75, 34.16. Blue: 40.98, 240.06, 109.78.
            {0, 0, {255, 0, 0}, {82, 90, 240}, -1},
            {0, 0, {0, 255, 0}, {145, 54, 34}, -1},
            {0, 0, {0, 0, 255}, {41, 240, 110}, -1},
            // SuperWhite/SuperBlack (any setting but 0) red: 76.245, 84.98, 255.5; blue: 29.07,
            // 255.5, 107.27.
            {7, -1, {255, 0, 0}, {76, 85, 255}, -1},
            {1, 1, {0, 0, 255}, {29, 255, 107}, -1},
            // Back. Y 235 at White/Black: (235 - 16) x 256/220 = 254.84 -> 255; levels outside the
            // limits are clipped first; at SuperWhite/Black 219 x 256/240 = 233.6 -> 234.
            {0, 0, {235, 128, 128}, {255, 255, 255}, 0},
            {0, 0, {3, 128, 128}, {0, 0, 0}, 0},
            {0, 0, {250, 128, 128}, {255, 255, 255}, 0},
            {1, 0, {235, 128, 128}, {234, 234, 234}, 0},
            // Cb = Cr = 16 at White/Black: R = -112 x 1.402 x 256/225 = -178.7 (outlier),
            // G = 91.0 + 43.85 = 134.86 -> 135, B = -225.8 (outlier).
            {0, 0, {16, 16, 16}, {0, 135, 0}, 2},
            // Cr 200 on white: R = 72 x 1.5952 + 254.84 = 369.7 (outlier), G = 196.3 -> 196, B 255.
            {0, 0, {235, 128, 200}, {255, 196, 255}, 1},
            // Y 100, Cb = Cr = 255 at SuperWhite/SuperBlack: R 278.1, G -34.4, B 325.0.
            {1, 1, {100, 255, 255}, {255, 0, 255}, 3},
            // Between 255 and 275, and between -20 and 0: cut without counting. Y 235, Cr 140 at
            // 1/1: R = 12 x 1.402 + 235 = 251.8 -> 252; Cb 140: B = 12 x 1.772 + 235 = 256.3 ->
            // 255.
            // Y 10, Cb 128, Cr 110 at 1/1: R = -18 x 1.402 + 10 = -15.2 -> 0.
            {1, 1, {235, 140, 140}, {252, 222, 255}, 0},
            {1, 1, {10, 128, 110}, {0, 23, 10}, 0}};
        for (const auto &c : cases) {
            const LevelSettings levels{c.yuvMax, c.yuvMin};
            QList<int> got;
            if (c.outliers < 0) {
                const auto p = ConvertPixelToDevice(c.in[0], c.in[1], c.in[2], levels);
                got = {p.y, p.cb, p.cr, -1};
            } else {
                const auto p = ConvertPixelFromDevice(c.in[0], c.in[1], c.in[2], levels);
                got = {p.r, p.g, p.b, p.outliers};
            }
            QCOMPARE(got, (QList{c.out[0], c.out[1], c.out[2], c.outliers}));
        }
    }

    void everyPixel_data()
    {
        QTest::addColumn<int>("setting");
        QTest::addColumn<bool>("toDevice");
        for (int i = 0; i < 4; ++i)
            for (bool toDevice : {true, false})
                QTest::addRow("%s %d/%d", toDevice ? "RGB" : "YCbCr", AllSettings[i].yuvMax,
                              AllSettings[i].yuvMin)
                    << i << toDevice;
    }

    void everyPixel()
    {
        // Every (R, G, B) to the device or every (Y, Cb, Cr) back, in chunks: the kernels' bytes
        // and outlier counts (after the pixels) against the reference's. K is a mix of the
        // others, passed through. An odd stride still walks through every byte value.
        QFETCH(int, setting);
        QFETCH(bool, toDevice);
        const LevelLimits limits = LevelLimits::from(AllSettings[setting]);
        const std::uint32_t step = std::uint32_t(sampleStride()) | 1u;
        const std::size_t chunk = 1u << 16;
        std::vector<std::uint8_t> in(chunk * 4), want(chunk * 5), got(chunk * 5);
        std::uint64_t outlierPixels = 0;
        for (std::uint32_t value = 0; value < (1u << 24);) {
            std::size_t n = 0;
            for (; n < chunk && value < (1u << 24); ++n, value += step) {
                const std::uint8_t a = std::uint8_t(value >> 16), b = std::uint8_t(value >> 8),
                                   c = std::uint8_t(value),
                                   k = std::uint8_t(a ^ (b << 1) ^ (c << 2));
                if (toDevice) {
                    const auto p = DeviceConvertReference::convertPixelToDevice(a, b, c, limits);
                    const std::uint8_t pixel[8] = {c, b, a, k, p.y, k, p.cb, p.cr};
                    std::memcpy(in.data() + n * 4, pixel, 4);
                    std::memcpy(want.data() + n * 4, pixel + 4, 4);
                } else {
                    const auto p = DeviceConvertReference::convertPixelFromDevice(a, b, c, limits);
                    const std::uint8_t pixel[8] = {a, k, b, c, p.b, p.g, p.r, k};
                    std::memcpy(in.data() + n * 4, pixel, 4);
                    std::memcpy(want.data() + n * 4, pixel + 4, 4);
                    want[chunk * 4 + n] = std::uint8_t(p.outliers);
                    outlierPixels += p.outliers > 0;
                }
            }
            for (SimdLevel level : kernelLevels()) {
                if (toDevice)
                    DeviceConvertFast::pixelsToDevice(in.data(), n, got.data(), limits, level);
                else
                    DeviceConvertFast::pixelsFromDevice(in.data(), n, got.data(),
                                                        got.data() + chunk * 4, limits, level);
                for (std::size_t i = 0; i < n; ++i)
                    if (std::memcmp(got.data() + i * 4, want.data() + i * 4, 4) != 0 ||
                        got[chunk * 4 + i] != want[chunk * 4 + i])
                        QFAIL(qPrintable(QStringLiteral("%1: pixel %2")
                                             .arg(levelName(level))
                                             .arg(QByteArray::fromRawData(
                                                      reinterpret_cast<const char *>(&in[i * 4]), 4)
                                                      .toHex())));
            }
        }
        // The outlier branches are really exercised.
        QVERIFY(toDevice || outlierPixels > (1u << 24) / step / 20);
    }

    void uploadFrame()
    {
        const LevelLimits limits;
        UploadGeometry g;
        QVERIFY(uploadGeometry(768, 576, 768, 576, true, g));
        QVERIFY(g.outWidth == 720 && g.bufferSize == std::size_t(720 * 576 * 4));
        const std::vector<std::uint8_t> frame = DeviceConvertFast::imageToDevice(
            solid(640, 480, 255, 255, 255, 255), 640, 480, true, false, false, limits);
        QCOMPARE(frame.size(), std::size_t(1382400));
        // The first pixel is the marker, not picture data; the second and the last are white.
        const std::uint8_t start[8] = {0xFF, 0x00, 0xFD, 0xFC, 235, 255, 128, 128};
        QCOMPARE(std::memcmp(frame.data(), start, 8), 0);
        QCOMPARE(std::memcmp(frame.data() + frame.size() - 4, start + 4, 4), 0);

        // trunc(100 x 1.125) = 112 pixels, 448 bytes a line; 5 lines = 2240 bytes -> 2560.
        const Bitmap black = solid(100, 5, 0, 0, 0, 255);
        std::vector<std::uint8_t> out(4096, 0xEE);
        QCOMPARE(DeviceConvertFast::imageToDevice(black, 100, 5, true, false, false, limits,
                                                  out.data(), out.size()),
                 std::size_t(2560));
        QCOMPARE(int(out[448]), 16); // line 1 starts a black pixel
        QCOMPARE(int(out[2239]), 128);
        for (std::size_t i = 2240; i < 2560; ++i)
            QCOMPARE(int(out[i]), 0);   // padding
        QCOMPARE(int(out[2560]), 0xEE); // nothing past the buffer
        // A buffer too small for the frame is refused without writing.
        std::vector<std::uint8_t> small(2559, 0xEE);
        QCOMPARE(DeviceConvertFast::imageToDevice(black, 100, 5, true, false, false, limits,
                                                  small.data(), small.size()),
                 std::size_t(0));
        QCOMPARE(int(small[0]), 0xEE);

        // 720 x 486 asked as 720 x 486 in NTSC: cut to 640 x 480, the top-left region.
        std::mt19937 rng(5);
        const Bitmap big = randomPicture(rng, 720, 486);
        Bitmap region(640, 480, 32);
        region.paint(big, 0, 0, 720, 486); // the same pixels, clipped
        const std::vector<std::uint8_t> cut =
            DeviceConvertFast::imageToDevice(big, 720, 486, true, false, true, limits);
        QCOMPARE(cut.size(), std::size_t(1382400));
        QVERIFY(cut ==
                DeviceConvertFast::imageToDevice(region, 640, 480, true, false, true, limits));
        // A request larger than the picture takes the picture.
        const Bitmap little = randomPicture(rng, 50, 7);
        QVERIFY(DeviceConvertFast::imageToDevice(little, 500, 70, true, false, true, limits) ==
                DeviceConvertFast::imageToDevice(little, 50, 7, true, false, true, limits));
    }

    void fileEntryPoint()
    {
        MemoryImageLibrary library;
        ScriptedMessageBoxes boxes;
        const Bitmap half = solid(64, 4, 10, 20, 30, 100);
        library.files[QStringLiteral("/p/a32.tga")] = {ImageInfo{64, 4, 32}, half};
        library.files[QStringLiteral("/p/a24.bmp")] = {ImageInfo{64, 4, 24}, half};
        library.files[QStringLiteral("/p/broken.tga")] = {ImageInfo{64, 4, 32}, Bitmap()};
        auto convert = [&](const char *name, int w, int h) {
            return ConvertImageToDevice(library, boxes, QString::fromLatin1(name), w, h, true,
                                        false, {0, 0});
        };
        // The key from alpha for pictures of more than 24 bits, else opaque. 72 x 4 pixels of 4
        // bytes = 1152, rounded up to 1536.
        const std::vector<std::uint8_t> keyed = convert("/p/a32.tga", 64, 4);
        const std::vector<std::uint8_t> opaque = convert("/p/a24.bmp", 64, 4);
        QCOMPARE(keyed.size(), std::size_t(1536));
        QCOMPARE(opaque.size(), keyed.size());
        for (std::size_t i = 4; i < 1152; i += 4) {
            QCOMPARE(int(keyed[i + 1]), 100);
            QCOMPARE(int(opaque[i + 1]), 255);
            QCOMPARE(keyed[i], opaque[i]);
        }
        QVERIFY(boxes.shown().isEmpty());
        // Missing file: message 122 with the name without its folder, size 0.
        QVERIFY(convert("/p/gone.tga", 64, 4).empty());
        QCOMPARE(boxes.shownIds(), QList<int>{122});
        QVERIFY(boxes.shown().first().text.contains(QStringLiteral("[ gone.tga ]")));
        // Header readable, pixels not: the loader's message.
        boxes.clear();
        QVERIFY(convert("/p/broken.tga", 64, 4).empty());
        QCOMPARE(boxes.shownIds(), QList<int>{122});
        // A size of 0 fails quietly, before loading anything.
        boxes.clear();
        library.loaded.clear();
        QVERIFY(convert("/p/a32.tga", 0, 4).empty() && convert("/p/a32.tga", 64, 0).empty());
        QVERIFY(boxes.shown().isEmpty() && library.loaded.isEmpty());
    }

    void palClipLinePairs()
    {
        // Lines of distinct greys; a PAL clip goes both ways in exchanged pairs, a title and an
        // NTSC clip as they are, and a last line without a partner stays last.
        const int h = 5;
        const int order[h] = {1, 0, 3, 2, 4};
        Bitmap picture(96, h, 32);
        for (int y = 0; y < h; ++y)
            picture.fill(0, y, 96, 1, 0x010101u * std::uint32_t(40 * y + 20));
        const LevelLimits limits = LevelLimits::from({1, 1});
        // Back: each device line its own grey (Y only, full range: blue = green = red = Y).
        std::vector<std::uint8_t> frame = deviceFrame(h, 0, 255, 128, 128);
        for (std::size_t i = 0; i < frame.size(); i += 4)
            frame[i] = std::uint8_t(30 + 40 * (i / LineBytes));
        for (bool isTitle : {true, false}) {
            for (bool isPal : {true, false}) {
                const bool exchanged = isPal && !isTitle;
                const std::vector<std::uint8_t> sent =
                    DeviceConvertFast::imageToDevice(picture, 96, h, isTitle, isPal, false, limits);
                const int w = isPal ? 90 : 108; // trunc(96 x 0.9375), trunc(96 x 1.125)
                const Bitmap back = ConvertDeviceToPicture(frame.data(), frame.size(), h, isTitle,
                                                           isPal, false, {1, 1});
                QCOMPARE(back.width(), isPal ? 768 : 640);
                QCOMPARE(back.bitsPerPixel(), 24);
                for (int line = 0; line < h; ++line) {
                    const int from = exchanged ? order[line] : line;
                    QCOMPARE(int(sent[(std::size_t(line) * w + 5) * 4]), 40 * from + 20);
                    QCOMPARE(int(pixelAt(back, 100, line)[0]), 30 + 40 * from);
                }
            }
        }
    }

    void readBackWithoutMarkerOrShort()
    {
        // Uniform white, opaque, no marker anywhere: converted as it is.
        const std::vector<std::uint8_t> frame = deviceFrame(3, 235, 255, 128, 128);
        const Bitmap picture =
            ConvertDeviceToPicture(frame.data(), frame.size(), 3, true, false, true, {0, 0});
        QCOMPARE(picture.width(), 640);
        QCOMPARE(picture.height(), 3);
        QCOMPARE(picture.bitsPerPixel(), 32);
        for (int y = 0; y < 3; ++y)
            QCOMPARE(std::memcmp(pixelAt(picture, 0, y), "\xFF\xFF\xFF\xFF", 4), 0);
        // The last line ends with the two black, transparent pixels after the last line.
        QCOMPARE(int(pixelAt(picture, 639, 2)[0]), 0);
        QCOMPARE(int(pixelAt(picture, 639, 2)[3]), 0);
        QCOMPARE(int(pixelAt(picture, 639, 1)[0]), 255);

        // Too few bytes for the lines, or no lines: nothing.
        QVERIFY(DeviceConvertReference::deviceToPicture(frame.data(), frame.size() - 1, 3, true,
                                                        false, true, LevelLimits())
                    .isNull());
        for (const auto &[bytes, size, lines] : {std::tuple{frame.data(), frame.size() - 1, 3},
                                                 {frame.data(), frame.size(), 0},
                                                 {frame.data(), frame.size(), -3},
                                                 {nullptr, std::size_t(0), 1}})
            QVERIFY(ConvertDeviceToPicture(bytes, size, lines, true, false, true, {}).isNull());
    }

    void readBackRepaired()
    {
        // Realigned, the data is taken from its marker on with neutral pixels (black,
        // transparent) in the last `late` places; repaired, the slipped lines are the good
        // ones with the two bytes at the start of the first of them zero. Late: pixels of stray
        // data before the marker (1500: past the first line); slipped: the line from which the
        // data arrives two bytes early.
        for (const auto &[late, slipped] :
             {std::pair{1, -1}, {3, -1}, {37, -1}, {1500, -1}, {0, 3}}) {
            std::mt19937 rng(11);
            const LevelLimits limits;
            const int lines = 6;
            std::vector<std::uint8_t> good = pictureFrame(rng, lines, limits);
            std::vector<std::uint8_t> received(good.size());
            std::vector<std::uint8_t> expected = good;
            if (slipped < 0) {
                std::memcpy(good.data(), ReadBackMarker, 4);
                for (std::size_t i = 0; i < std::size_t(late) * 4; ++i)
                    received[i] = std::uint8_t(rng());
                std::memcpy(received.data() + late * 4, good.data(),
                            good.size() - std::size_t(late) * 4);
                expected = good;
                for (std::size_t q = good.size() / 4 - late; q < good.size() / 4; ++q)
                    std::memcpy(expected.data() + q * 4, NeutralPixel, 4);
            } else {
                const std::size_t s = std::size_t(slipped) * LineBytes;
                received = good;
                std::copy(good.begin() + std::ptrdiff_t(s) + 2, good.end(),
                          received.begin() + std::ptrdiff_t(s));
                received[received.size() - 2] = 0x55;
                received[received.size() - 1] = 0x66;
                expected[s] = 0;
                expected[s + 1] = 0;
            }
            const Bitmap want = DeviceConvertReference::deviceToPicture(
                expected.data(), expected.size(), lines, true, false, true, limits);
            QVERIFY(ConvertDeviceToPicture(received.data(), received.size(), lines, true, false,
                                           true, {0, 0}) == want);
        }
    }

    void framesToDeviceMatchReference()
    {
        std::mt19937 rng(2024);
        const QList<SimdLevel> levels = kernelLevels();
        auto matches = [&](const Bitmap &picture, int width, int height, bool isTitle, bool isPal,
                           bool key, const LevelLimits &limits) {
            const std::vector<std::uint8_t> want = DeviceConvertReference::imageToDevice(
                picture, width, height, isTitle, isPal, key, limits);
            // One column in PAL has no device pixel: nothing to send.
            bool same = want.empty() == (width == 1 && isPal);
            for (SimdLevel level : levels)
                same = same && DeviceConvertFast::imageToDevice(picture, width, height, isTitle,
                                                                isPal, key, limits, level) == want;
            return same;
        };
        for (int width = 1; width <= 768; width += sampleStride()) {
            for (bool isPal : {false, true}) {
                const int height = 1 + int(rng() % 4);
                // Sometimes a wider, taller picture than the region, sometimes 24 bits.
                const int extraW = (rng() % 3 == 0) ? int(rng() % 40) : 0;
                const int extraH = int(rng() % 2);
                const int bits = (rng() % 5 == 0) ? 24 : 32;
                const Bitmap picture = randomPicture(rng, width + extraW, height + extraH, bits);
                const bool isTitle = rng() % 2;
                const bool key = rng() % 2;
                QVERIFY2(matches(picture, width, height, isTitle, isPal, key,
                                 LevelLimits::from(AllSettings[rng() % 4])),
                         qPrintable(QStringLiteral("width %1 height %2 pal %3")
                                        .arg(width)
                                        .arg(height)
                                        .arg(isPal)));
            }
        }
        // Whole pictures at the format's sizes, odd heights and clips included.
        for (auto [w, h, pal] : {std::tuple{640, 480, false},
                                 {768, 576, true},
                                 {720, 486, false},
                                 {333, 61, true},
                                 {768, 575, true},
                                 {17, 73, false},
                                 {100, 5, false}}) {
            const Bitmap picture = randomPicture(rng, w, h);
            for (const LevelSettings &settings : AllSettings)
                QVERIFY(matches(picture, w, h, rng() % 2, pal, true, LevelLimits::from(settings)));
        }
    }

    void framesFromDeviceMatchReference()
    {
        std::mt19937 rng(77);
        int frames = 0;
        for (int lines : {1, 2, 3, 5, 60, 72, 144, 480, 576}) {
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
                for (SimdLevel level : kernelLevels()) {
                    Bitmap got;
                    QVERIFY(DeviceConvertFast::deviceToPicture(frame.data(), frame.size(), lines,
                                                               isTitle, isPal, keepKey, limits, got,
                                                               level));
                    QVERIFY2(got == want, qPrintable(QStringLiteral("lines %1 variant %2 level %3")
                                                         .arg(lines)
                                                         .arg(variant)
                                                         .arg(levelName(level))));
                }
            }
        }
    }

    void everyPairThroughEveryColumn()
    {
        // On the way to the device, full-size pictures whose alpha (sent as K, resampled and
        // nothing else) holds a, b, a, b, ... and whose colours hold the pairs of other rows.
        // On the way back, grey device pixels at full range (they come back as the same grey
        // with alpha K), a, b, a, b, ... in Y and b, a, b, a, ... in K. Over all rows every
        // ordered pair of bytes meets every resampled column of both formats (on the way back
        // but the two columns that reach into the next line, which see other pairs).
        const std::vector<std::pair<int, int>> pairs = bytePairs();
        const LevelLimits limits = LevelLimits::from({1, 1});
        for (bool isPal : {false, true}) {
            const int width = isPal ? 768 : 640;
            const int height = isPal ? 576 : 480;
            for (std::size_t start = 0; start < pairs.size(); start += std::size_t(height)) {
                const int rows = int(qMin(std::size_t(height), pairs.size() - start));
                Bitmap picture(width, rows, 32);
                std::vector<std::uint8_t> frame(std::size_t(rows) * LineBytes);
                for (int r = 0; r < rows; ++r) {
                    const auto [a, b] = pairs[start + std::size_t(r)];
                    const auto [c, d] = pairs[(start + std::size_t(r) * 7 + 1) % pairs.size()];
                    for (int x = 0; x < width; ++x) {
                        const bool odd = x % 2;
                        const std::uint8_t pixel[4] = {
                            std::uint8_t(odd ? c : d), std::uint8_t(odd ? b : a),
                            std::uint8_t(odd ? d : c), std::uint8_t(odd ? b : a)};
                        std::memcpy(picture.row(r) + x * 4, pixel, 4);
                    }
                    for (int x = 0; x < LineWidth; ++x) {
                        const std::uint8_t pixel[4] = {std::uint8_t(x % 2 ? b : a),
                                                       std::uint8_t(x % 2 ? a : b), 128, 128};
                        std::memcpy(frame.data() + std::size_t(r) * LineBytes + x * 4, pixel, 4);
                    }
                }
                const std::vector<std::uint8_t> sent = DeviceConvertReference::imageToDevice(
                    picture, width, rows, true, isPal, true, limits);
                const Bitmap back = DeviceConvertReference::deviceToPicture(
                    frame.data(), frame.size(), rows, true, isPal, true, limits);
                for (SimdLevel level : kernelLevels()) {
                    const QByteArray where = levelName(level) +
                                             QByteArray(isPal ? " PAL " : " NTSC ") +
                                             QByteArray::number(qulonglong(start));
                    QVERIFY2(DeviceConvertFast::imageToDevice(picture, width, rows, true, isPal,
                                                              true, limits, level) == sent,
                             where.constData());
                    Bitmap got;
                    QVERIFY(DeviceConvertFast::deviceToPicture(
                        frame.data(), frame.size(), rows, true, isPal, true, limits, got, level));
                    QVERIFY2(got == back, where.constData());
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestDevicePicture)
#include "test_devicepicture.moc"
