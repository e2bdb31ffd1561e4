// Every (R, G, B) and every (Y, Cb, Cr) through the fast pixel kernels of each
// instruction set the processor has, against the reference, for all four level
// settings. TITLEDECK_TEST_SAMPLE=n checks every n-th value only (sanitizer builds).
#include "imaging/DeviceConvertFast.h"
#include "imaging/DeviceConvertReference.h"

#include <QTest>

#include <cstring>
#include <vector>

using namespace DevicePicture;
using DeviceConvertFast::SimdLevel;

namespace {

constexpr std::uint32_t AllValues = 1u << 24;
constexpr std::size_t Chunk = 1u << 16;

QList<SimdLevel> supportedLevels()
{
    QList<SimdLevel> levels;
    for (SimdLevel level : {SimdLevel::Sse2, SimdLevel::Avx2})
        if (DeviceConvertFast::isSupported(level))
            levels << level;
    return levels;
}

std::uint32_t stride()
{
    const int n = qEnvironmentVariableIntValue("TITLEDECK_TEST_SAMPLE");
    // An odd stride still walks through every byte value of each channel.
    return n > 1 ? std::uint32_t(n) | 1u : 1u;
}

} // namespace

class TestDevicePixels : public QObject
{
    Q_OBJECT

private slots:
    void everyRgb_data();
    void everyRgb();
    void everyYCbCr_data();
    void everyYCbCr();
};

static void addSettings()
{
    QTest::addColumn<int>("yuvMax");
    QTest::addColumn<int>("yuvMin");
    QTest::newRow("White/Black") << 0 << 0;
    QTest::newRow("SuperWhite/Black") << 1 << 0;
    QTest::newRow("White/SuperBlack") << 0 << 1;
    QTest::newRow("SuperWhite/SuperBlack") << 1 << 1;
}

void TestDevicePixels::everyRgb_data()
{
    addSettings();
}

void TestDevicePixels::everyRgb()
{
    QFETCH(int, yuvMax);
    QFETCH(int, yuvMin);
    const LevelLimits limits = LevelLimits::from({yuvMax, yuvMin});
    const DeviceConvertReference::ToDeviceCoefficients k =
        DeviceConvertReference::toDeviceCoefficients(limits);
    const QList<SimdLevel> levels = supportedLevels();
    const std::uint32_t step = stride();
    std::vector<std::uint8_t> bgra(Chunk * 4), want(Chunk * 4), got(Chunk * 4);
    std::uint64_t checked = 0;
    std::uint32_t value = 0;
    while (value < AllValues) {
        std::size_t n = 0;
        for (; n < Chunk && value < AllValues; ++n, value += step) {
            const int r = int(value >> 16), g = int((value >> 8) & 0xFF), b = int(value & 0xFF);
            bgra[n * 4 + 0] = std::uint8_t(b);
            bgra[n * 4 + 1] = std::uint8_t(g);
            bgra[n * 4 + 2] = std::uint8_t(r);
            bgra[n * 4 + 3] = std::uint8_t(r ^ (g << 1) ^ (b << 2));
            const DeviceConvertReference::YCbCr p =
                DeviceConvertReference::convertPixelToDevice(r, g, b, limits, k);
            want[n * 4 + 0] = p.y;
            want[n * 4 + 1] = bgra[n * 4 + 3];
            want[n * 4 + 2] = p.cb;
            want[n * 4 + 3] = p.cr;
        }
        for (SimdLevel level : levels) {
            DeviceConvertFast::pixelsToDevice(bgra.data(), n, got.data(), limits, level);
            if (std::memcmp(got.data(), want.data(), n * 4) != 0) {
                for (std::size_t i = 0; i < n * 4; ++i)
                    if (got[i] != want[i])
                        QFAIL(qPrintable(QStringLiteral("%1: RGB %2,%3,%4 byte %5: %6, want %7")
                                             .arg(DeviceConvertFast::levelName(level))
                                             .arg(bgra[i / 4 * 4 + 2])
                                             .arg(bgra[i / 4 * 4 + 1])
                                             .arg(bgra[i / 4 * 4])
                                             .arg(i % 4)
                                             .arg(got[i])
                                             .arg(want[i])));
            }
        }
        checked += n;
    }
    if (step == 1)
        QCOMPARE(checked, std::uint64_t(AllValues));
    qInfo("%llu RGB values x %lld instruction sets", qulonglong(checked), qlonglong(levels.size()));
}

void TestDevicePixels::everyYCbCr_data()
{
    addSettings();
}

void TestDevicePixels::everyYCbCr()
{
    QFETCH(int, yuvMax);
    QFETCH(int, yuvMin);
    const LevelLimits limits = LevelLimits::from({yuvMax, yuvMin});
    const DeviceConvertReference::FromDeviceCoefficients k =
        DeviceConvertReference::fromDeviceCoefficients(limits);
    const QList<SimdLevel> levels = supportedLevels();
    const std::uint32_t step = stride();
    std::vector<std::uint8_t> device(Chunk * 4), want(Chunk * 4), got(Chunk * 4);
    std::vector<std::uint8_t> wantOutliers(Chunk), gotOutliers(Chunk);
    std::uint64_t checked = 0;
    std::uint64_t outlierPixels = 0;
    std::uint32_t value = 0;
    while (value < AllValues) {
        std::size_t n = 0;
        for (; n < Chunk && value < AllValues; ++n, value += step) {
            const int y = int(value >> 16), cb = int((value >> 8) & 0xFF), cr = int(value & 0xFF);
            device[n * 4 + 0] = std::uint8_t(y);
            device[n * 4 + 1] = std::uint8_t(y ^ cb ^ cr);
            device[n * 4 + 2] = std::uint8_t(cb);
            device[n * 4 + 3] = std::uint8_t(cr);
            const DeviceConvertReference::RgbOutliers p =
                DeviceConvertReference::convertPixelFromDevice(y, cb, cr, limits, k);
            want[n * 4 + 0] = p.b;
            want[n * 4 + 1] = p.g;
            want[n * 4 + 2] = p.r;
            want[n * 4 + 3] = device[n * 4 + 1];
            wantOutliers[n] = std::uint8_t(p.outliers);
            outlierPixels += p.outliers > 0;
        }
        for (SimdLevel level : levels) {
            DeviceConvertFast::pixelsFromDevice(device.data(), n, got.data(), gotOutliers.data(),
                                                limits, level);
            for (std::size_t i = 0; i < n; ++i) {
                if (std::memcmp(got.data() + i * 4, want.data() + i * 4, 4) != 0 ||
                    gotOutliers[i] != wantOutliers[i])
                    QFAIL(qPrintable(
                        QStringLiteral("%1: YCbCr %2,%3,%4 gives BGRA %5 outliers %6, want %7 / %8")
                            .arg(DeviceConvertFast::levelName(level))
                            .arg(device[i * 4])
                            .arg(device[i * 4 + 2])
                            .arg(device[i * 4 + 3])
                            .arg(QByteArray(reinterpret_cast<const char *>(got.data() + i * 4), 4)
                                     .toHex())
                            .arg(gotOutliers[i])
                            .arg(QByteArray(reinterpret_cast<const char *>(want.data() + i * 4), 4)
                                     .toHex())
                            .arg(wantOutliers[i])));
            }
        }
        checked += n;
    }
    if (step == 1)
        QCOMPARE(checked, std::uint64_t(AllValues));
    // The outlier branches are really exercised.
    QVERIFY(outlierPixels > checked / 20);
    qInfo("%llu YCbCr values (%llu with outliers) x %lld instruction sets", qulonglong(checked),
          qulonglong(outlierPixels), qlonglong(levels.size()));
}

QTEST_GUILESS_MAIN(TestDevicePixels)
#include "test_devicepixels.moc"
