// Picture conversions to and from the device format, on decoded pictures in
// memory, beside memcpy of the same bytes and the libyuv and libswscale
// equivalents; and the whole path from a TARGA file on disk to a device buffer.
#include "core/MessageBoxes.h"
#include "imaging/DeviceConvert.h"
#include "imaging/DeviceConvertFast.h"
#include "imaging/MagickImageLibrary.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <libyuv.h>

extern "C" {
#include <libswscale/swscale.h>
}

#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace DevicePicture;
using DeviceConvertFast::SimdLevel;

namespace {

struct Case
{
    int width, height;
    bool isPal;
};
const Case Ntsc{640, 480, false};
const Case Pal{768, 576, true};

Bitmap testPicture(int w, int h)
{
    // A title-like picture: smooth gradients with a soft-edged key.
    Bitmap picture(w, h, 32);
    std::mt19937 rng(1);
    for (int y = 0; y < h; ++y) {
        std::uint8_t *p = picture.row(y);
        for (int x = 0; x < w; ++x) {
            p[x * 4 + 0] = std::uint8_t(x * 255 / w);
            p[x * 4 + 1] = std::uint8_t(y * 255 / h);
            p[x * 4 + 2] = std::uint8_t((x + y) & 0xFF);
            p[x * 4 + 3] = std::uint8_t(rng() & 0xFF);
        }
    }
    return picture;
}

std::vector<std::uint8_t> readBackFrame(int lines, bool isPal)
{
    const Bitmap picture = testPicture(isPal ? 768 : 640, lines);
    std::vector<std::uint8_t> sent = DeviceConvertFast::imageToDevice(
        picture, picture.width(), lines, true, isPal, true, LevelLimits());
    std::vector<std::uint8_t> frame(std::size_t(lines) * LineBytes);
    std::memcpy(frame.data(), sent.data(), frame.size());
    frame[0] = 0x00; // the read-back form of the marker
    return frame;
}

SimdLevel levelOf(const benchmark::State &state)
{
    return SimdLevel(state.range(0));
}

std::string labelOf(const benchmark::State &state)
{
    return DeviceConvertFast::levelName(levelOf(state));
}

bool skipUnsupported(benchmark::State &state)
{
    if (DeviceConvertFast::isSupported(levelOf(state)))
        return false;
    state.SkipWithError("instruction set not available");
    return true;
}

void ToDevice(benchmark::State &state, Case c)
{
    if (skipUnsupported(state))
        return;
    const Bitmap picture = testPicture(c.width, c.height);
    UploadGeometry g;
    uploadGeometry(c.width, c.height, c.width, c.height, c.isPal, g);
    std::vector<std::uint8_t> out(g.bufferSize);
    const LevelLimits limits;
    for (auto _ : state) {
        DeviceConvertFast::imageToDevice(picture, c.width, c.height, true, c.isPal, true, limits,
                                         out.data(), out.size(), levelOf(state));
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) *
                            std::int64_t(picture.sizeInBytes() + out.size()));
    state.SetLabel(labelOf(state));
}

void FromDevice(benchmark::State &state, int lines, bool isPal, bool keepKey)
{
    if (skipUnsupported(state))
        return;
    const std::vector<std::uint8_t> frame = readBackFrame(lines, isPal);
    Bitmap picture(isPal ? 768 : 640, lines, keepKey ? 32 : 24);
    const LevelLimits limits;
    for (auto _ : state) {
        DeviceConvertFast::deviceToPicture(frame.data(), frame.size(), lines, true, isPal, keepKey,
                                           limits, picture, levelOf(state));
        benchmark::DoNotOptimize(picture.bits());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) *
                            std::int64_t(frame.size() + picture.sizeInBytes()));
    state.SetLabel(labelOf(state));
}

// memcpy of as many bytes as the conversion reads and writes together.
void Memcpy(benchmark::State &state, std::size_t bytes)
{
    std::vector<std::uint8_t> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes));
}

void LibyuvToDevice(benchmark::State &state, Case c)
{
    const Bitmap picture = testPicture(c.width, c.height);
    const int outW = 720;
    std::vector<std::uint8_t> scaled(std::size_t(outW) * c.height * 4);
    std::vector<std::uint8_t> y(std::size_t(outW) * c.height), u(y.size()), v(y.size());
    for (auto _ : state) {
        libyuv::ARGBScale(picture.bits(), c.width * 4, c.width, c.height, scaled.data(), outW * 4,
                          outW, c.height, libyuv::kFilterBilinear);
        libyuv::ARGBToI444(scaled.data(), outW * 4, y.data(), outW, u.data(), outW, v.data(), outW,
                           outW, c.height);
        benchmark::DoNotOptimize(v.data());
        benchmark::ClobberMemory();
    }
}

void SwscaleToDevice(benchmark::State &state, Case c)
{
    const Bitmap picture = testPicture(c.width, c.height);
    const int outW = 720;
    SwsContext *sws = sws_getContext(c.width, c.height, AV_PIX_FMT_BGRA, outW, c.height,
                                     AV_PIX_FMT_YUVA444P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    std::vector<std::uint8_t> planes(std::size_t(outW) * c.height * 4);
    std::uint8_t *dst[4];
    int dstStride[4] = {outW, outW, outW, outW};
    for (int i = 0; i < 4; ++i)
        dst[i] = planes.data() + std::size_t(i) * outW * c.height;
    const std::uint8_t *src[1] = {picture.bits()};
    const int srcStride[1] = {c.width * 4};
    for (auto _ : state) {
        sws_scale(sws, src, srcStride, 0, c.height, dst, dstStride);
        benchmark::DoNotOptimize(planes.data());
        benchmark::ClobberMemory();
    }
    sws_freeContext(sws);
}

// The reverse peers: 4:4:4 planes (720 wide) to ARGB, then scaled to the picture width.
void LibyuvFromDevice(benchmark::State &state, int lines, bool isPal)
{
    const int outW = isPal ? 768 : 640;
    std::vector<std::uint8_t> y(std::size_t(LineWidth) * lines, 120), u(y.size(), 128),
        v(y.size(), 128), a(y.size(), 255);
    std::vector<std::uint8_t> argb(std::size_t(LineWidth) * lines * 4),
        out(std::size_t(outW) * lines * 4);
    for (auto _ : state) {
        libyuv::I444AlphaToARGB(y.data(), LineWidth, u.data(), LineWidth, v.data(), LineWidth,
                                a.data(), LineWidth, argb.data(), LineWidth * 4, LineWidth, lines,
                                0);
        libyuv::ARGBScale(argb.data(), LineWidth * 4, LineWidth, lines, out.data(), outW * 4, outW,
                          lines, libyuv::kFilterBilinear);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}

void SwscaleFromDevice(benchmark::State &state, int lines, bool isPal)
{
    const int outW = isPal ? 768 : 640;
    SwsContext *sws = sws_getContext(LineWidth, lines, AV_PIX_FMT_YUVA444P, outW, lines,
                                     AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    std::vector<std::uint8_t> planes(std::size_t(LineWidth) * lines * 4, 128);
    const std::uint8_t *src[4];
    int srcStride[4] = {LineWidth, LineWidth, LineWidth, LineWidth};
    for (int i = 0; i < 4; ++i)
        src[i] = planes.data() + std::size_t(i) * LineWidth * lines;
    std::vector<std::uint8_t> out(std::size_t(outW) * lines * 4);
    std::uint8_t *dst[1] = {out.data()};
    int dstStride[1] = {outW * 4};
    for (auto _ : state) {
        sws_scale(sws, src, srcStride, 0, lines, dst, dstStride);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    sws_freeContext(sws);
}

class QuietMessageBoxes : public MessageBoxes
{
public:
    int show(int, int, const QString &, const QString &, int) override { return IdOk; }
};

// From a 32-bit TARGA file on disk to the device buffer: header, decode, conversion.
void TargaFileToDevice(benchmark::State &state, Case c)
{
    QTemporaryDir dir;
    MagickImageLibrary library;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("title.tga"));
    if (!library.save(testPicture(c.width, c.height), path, ImageFileFormat::Targa, 32)) {
        state.SkipWithError("cannot write the TARGA file");
        return;
    }
    QuietMessageBoxes boxes;
    std::size_t size = 0;
    for (auto _ : state) {
        const std::vector<std::uint8_t> frame =
            ConvertImageToDevice(library, boxes, path, c.width, c.height, true, c.isPal, {0, 0});
        size = frame.size();
        benchmark::DoNotOptimize(frame.data());
    }
    if (size == 0)
        state.SkipWithError("conversion failed");
}

const std::size_t NtscBytes = 640 * 480 * 4 + 720 * 480 * 4;
const std::size_t PalBytes = 768 * 576 * 4 + 720 * 576 * 4;
const std::size_t Back480Bytes = 720 * 480 * 4 + 640 * 480 * 4;
const std::size_t Back576Bytes = 720 * 576 * 4 + 768 * 576 * 4;

// Wall-clock time in microseconds.
void wallClock(benchmark::internal::Benchmark *b)
{
    b->Unit(benchmark::kMicrosecond)->UseRealTime();
}

// Every instruction set the kernels are built for.
void levels(benchmark::internal::Benchmark *b)
{
    b->ArgNames({"simd"});
    for (SimdLevel level : {SimdLevel::Sse2, SimdLevel::Avx2})
        b->Args({int(level)});
    b->Apply(wallClock);
}

} // namespace

BENCHMARK_CAPTURE(ToDevice, ntsc_640x480, Ntsc)->Apply(levels);
BENCHMARK_CAPTURE(Memcpy, ntsc_640x480_in_plus_out, NtscBytes)->Apply(wallClock);
BENCHMARK_CAPTURE(LibyuvToDevice, ntsc_640x480, Ntsc)->Apply(wallClock);
BENCHMARK_CAPTURE(SwscaleToDevice, ntsc_640x480, Ntsc)->Apply(wallClock);

BENCHMARK_CAPTURE(ToDevice, pal_768x576, Pal)->Apply(levels);
BENCHMARK_CAPTURE(Memcpy, pal_768x576_in_plus_out, PalBytes)->Apply(wallClock);
BENCHMARK_CAPTURE(LibyuvToDevice, pal_768x576, Pal)->Apply(wallClock);
BENCHMARK_CAPTURE(SwscaleToDevice, pal_768x576, Pal)->Apply(wallClock);

BENCHMARK_CAPTURE(FromDevice, ntsc_480_lines_32bit, 480, false, true)->Apply(levels);
BENCHMARK_CAPTURE(FromDevice, ntsc_480_lines_24bit, 480, false, false)->Apply(levels);
BENCHMARK_CAPTURE(Memcpy, back_480_in_plus_out, Back480Bytes)->Apply(wallClock);
BENCHMARK_CAPTURE(LibyuvFromDevice, ntsc_480_lines, 480, false)->Apply(wallClock);
BENCHMARK_CAPTURE(SwscaleFromDevice, ntsc_480_lines, 480, false)->Apply(wallClock);

BENCHMARK_CAPTURE(FromDevice, pal_576_lines_32bit, 576, true, true)->Apply(levels);
BENCHMARK_CAPTURE(FromDevice, pal_576_lines_24bit, 576, true, false)->Apply(levels);
BENCHMARK_CAPTURE(Memcpy, back_576_in_plus_out, Back576Bytes)->Apply(wallClock);
BENCHMARK_CAPTURE(LibyuvFromDevice, pal_576_lines, 576, true)->Apply(wallClock);
BENCHMARK_CAPTURE(SwscaleFromDevice, pal_576_lines, 576, true)->Apply(wallClock);

BENCHMARK_CAPTURE(TargaFileToDevice, ntsc_640x480, Ntsc)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(TargaFileToDevice, pal_768x576, Pal)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
