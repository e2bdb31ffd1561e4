#include "imaging/DeviceConvertReference.h"

#include <cmath>
#include <cstring>

// Built with -ffp-contract=off: every float operation below is rounded on its
// own, in the order written.

namespace DeviceConvertReference {

using namespace DevicePicture;

ToDeviceCoefficients toDeviceCoefficients(const LevelLimits &limits)
{
    const float ys = float(limits.yMax - limits.yMin + 1) * 0.00390625f;
    const float cs = float(limits.cMax - limits.cMin + 1) * 0.00390625f;
    ToDeviceCoefficients k;
    k.yr = 0.299f * ys;
    k.yg = 0.587f * ys;
    k.yb = 0.114f * ys;
    k.cbr = -0.1687f * cs;
    k.cbg = -0.3313f * cs;
    k.cbb = 0.5f * cs;
    k.crr = 0.5f * cs;
    k.crg = -0.4187f * cs;
    k.crb = -0.0813f * cs;
    k.yMin = float(limits.yMin);
    return k;
}

FromDeviceCoefficients fromDeviceCoefficients(const LevelLimits &limits)
{
    const float ys = 256.0f / float(limits.yMax - limits.yMin + 1);
    const float cs = 256.0f / float(limits.cMax - limits.cMin + 1);
    FromDeviceCoefficients k;
    k.ys = ys;
    k.rCr = 1.402f * cs;
    k.gCr = -0.71414f * cs;
    k.gCb = -0.34414f * cs;
    k.bCb = 1.772f * cs;
    return k;
}

namespace {

// Limits first, then truncation plus one when the fraction is one half or more.
int limitToDevice(float v, int lo, int hi)
{
    if (v >= float(hi))
        return hi;
    if (v <= float(lo))
        return lo;
    const float t = std::trunc(v);
    int n = int(t);
    if (v - t >= 0.5f)
        n += 1;
    return n;
}

// 275 and above and below -20 are outliers; the rest is cut to 0..255 and rounded.
int limitFromDevice(float v, int &outliers)
{
    if (v >= 275.0f) {
        ++outliers;
        return 255;
    }
    if (v >= 255.0f)
        return 255;
    if (v < -20.0f) {
        ++outliers;
        return 0;
    }
    if (v < 0.0f)
        return 0;
    const float t = std::trunc(v);
    int n = int(t);
    if (v - t >= 0.5f)
        n += 1;
    return n;
}

int clip(int v, int lo, int hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

} // namespace

YCbCr convertPixelToDevice(int r, int g, int b, const LevelLimits &limits,
                           const ToDeviceCoefficients &k)
{
    const float fr = float(r);
    const float fg = float(g);
    const float fb = float(b);
    const float y = fr * k.yr + fg * k.yg + fb * k.yb + k.yMin;
    const float cb = fr * k.cbr + fg * k.cbg + fb * k.cbb + 128.0f;
    const float cr = fr * k.crr + fg * k.crg + fb * k.crb + 128.0f;
    YCbCr out;
    out.y = std::uint8_t(limitToDevice(y, limits.yMin, limits.yMax));
    out.cb = std::uint8_t(limitToDevice(cb, limits.cMin, limits.cMax));
    out.cr = std::uint8_t(limitToDevice(cr, limits.cMin, limits.cMax));
    return out;
}

YCbCr convertPixelToDevice(int r, int g, int b, const LevelLimits &limits)
{
    return convertPixelToDevice(r, g, b, limits, toDeviceCoefficients(limits));
}

RgbOutliers convertPixelFromDevice(int y, int cb, int cr, const LevelLimits &limits,
                                   const FromDeviceCoefficients &k)
{
    y = clip(y, limits.yMin, limits.yMax);
    cb = clip(cb, limits.cMin, limits.cMax);
    cr = clip(cr, limits.cMin, limits.cMax);
    const float fy = float(y - limits.yMin) * k.ys;
    const float fcb = float(cb - 128);
    const float fcr = float(cr - 128);
    const float r = fcr * k.rCr + fy;
    const float g = fcr * k.gCr + fcb * k.gCb + fy;
    const float b = fcb * k.bCb + fy;
    RgbOutliers out;
    out.outliers = 0;
    out.r = std::uint8_t(limitFromDevice(r, out.outliers));
    out.g = std::uint8_t(limitFromDevice(g, out.outliers));
    out.b = std::uint8_t(limitFromDevice(b, out.outliers));
    return out;
}

RgbOutliers convertPixelFromDevice(int y, int cb, int cr, const LevelLimits &limits)
{
    return convertPixelFromDevice(y, cb, cr, limits, fromDeviceCoefficients(limits));
}

std::vector<ColumnPosition> columnPositions(int inWidth, int outWidth, float ratio)
{
    std::vector<ColumnPosition> columns(outWidth > 0 ? std::size_t(outWidth) : 0);
    for (int x = 0; x < outWidth; ++x) {
        const float pos = float(x) / ratio;
        int i = int(pos);
        const float f = pos - float(i);
        // Never past the last source pixel, whatever the rounding of pos.
        if (i > inWidth - 1)
            i = inWidth - 1;
        columns[std::size_t(x)] = {i, f};
    }
    return columns;
}

std::vector<std::uint8_t> imageToDevice(const Bitmap &picture, int width, int height, bool isTitle,
                                        bool isPal, bool keyFromAlpha, const LevelLimits &limits)
{
    UploadGeometry g;
    if (picture.isNull() ||
        !uploadGeometry(picture.width(), picture.height(), width, height, isPal, g))
        return {};
    const Bitmap source = picture.bitsPerPixel() == 32 ? picture : picture.converted(32);
    if (source.isNull())
        return {};

    const ToDeviceCoefficients k = toDeviceCoefficients(limits);
    const float ratio = float(g.outWidth) / float(g.width);
    const std::vector<ColumnPosition> columns = columnPositions(g.width, g.outWidth, ratio);
    const bool exchange = !isTitle && isPal;

    // Zero past the last line, up to the 512-byte boundary.
    std::vector<std::uint8_t> out(g.bufferSize, 0);
    for (int r = 0; r < g.height; ++r) {
        const std::uint8_t *row = source.row(pairedLine(r, g.height, exchange));
        std::uint8_t *line = out.data() + std::size_t(r) * std::size_t(g.outWidth) * 4;
        for (int x = 0; x < g.outWidth; ++x) {
            const int i = columns[std::size_t(x)].i;
            const float f = columns[std::size_t(x)].f;
            int c[4]; // blue, green, red, alpha
            for (int ch = 0; ch < 4; ++ch) {
                if (i < g.width - 1) {
                    const float a = float(row[i * 4 + ch]);
                    const float b = float(row[(i + 1) * 4 + ch]);
                    c[ch] = int(a * (1.0f - f) + b * f);
                } else {
                    c[ch] = row[i * 4 + ch];
                }
            }
            const YCbCr p = convertPixelToDevice(c[2], c[1], c[0], limits, k);
            line[x * 4 + 0] = p.y;
            line[x * 4 + 1] = keyFromAlpha ? std::uint8_t(c[3]) : 255;
            line[x * 4 + 2] = p.cb;
            line[x * 4 + 3] = p.cr;
        }
    }
    std::memcpy(out.data(), UploadMarker, 4);
    return out;
}

namespace {

int lineOutliers(const std::uint8_t *line, const LevelLimits &limits,
                 const FromDeviceCoefficients &k)
{
    int sum = 0;
    for (int x = 0; x < LineWidth; ++x) {
        const std::uint8_t *p = line + x * 4;
        sum += convertPixelFromDevice(p[0], p[2], p[3], limits, k).outliers;
    }
    return sum;
}

} // namespace

Bitmap deviceToPicture(const std::uint8_t *buffer, std::size_t size, int lines, bool isTitle,
                       bool isPal, bool keepKey, const LevelLimits &limits)
{
    if (lines < 1 || !buffer || size / LineBytes < std::size_t(lines))
        return {};
    const std::size_t frameBytes = std::size_t(lines) * LineBytes;
    const std::size_t framePixels = std::size_t(lines) * LineWidth;
    std::vector<std::uint8_t> frame(buffer, buffer + frameBytes);

    // 1. Realign to the frame start.
    std::size_t p = 0;
    bool found = false;
    for (std::size_t q = 0; q < framePixels; ++q) {
        if (std::memcmp(frame.data() + q * 4, ReadBackMarker, 4) == 0) {
            p = q;
            found = true;
            break;
        }
    }
    if (found && p > 0) {
        std::vector<std::uint8_t> work(frame);
        for (std::size_t q = framePixels - LineWidth; q < framePixels; ++q)
            std::memcpy(work.data() + q * 4, NeutralPixel, 4);
        std::memmove(work.data(), frame.data() + p * 4, frameBytes - p * 4);
        // When the start lies beyond the first line, the pixels left open before the
        // last line are neutral as well.
        for (std::size_t q = framePixels - p; q < framePixels - LineWidth; ++q)
            std::memcpy(work.data() + q * 4, NeutralPixel, 4);
        frame.swap(work);
    }

    // 2. Repair a two-byte misalignment, line by line from the top. A line read two
    // bytes late reaches two bytes past the frame, which read as 0.
    const FromDeviceCoefficients k = fromDeviceCoefficients(limits);
    frame.resize(frameBytes + 2, 0);
    for (int r = 0; r < lines; ++r) {
        const std::size_t s = std::size_t(r) * LineBytes;
        const int sum = lineOutliers(frame.data() + s, limits, k);
        if (sum <= 150)
            continue;
        if (lineOutliers(frame.data() + s + 2, limits, k) < sum) {
            std::memmove(frame.data() + s + 2, frame.data() + s, frameBytes - s - 2);
            frame[s] = 0;
            frame[s + 1] = 0;
        }
    }

    // 3. Rebuild each line 719 pixels wide: pixels 2..718 of line r, then pixels 0
    // and 1 of line r + 1 (black and transparent after the last line).
    std::vector<std::uint8_t> rebuilt(std::size_t(lines) * RebuiltWidth * 4, 0);
    for (int r = 0; r < lines; ++r) {
        std::uint8_t *out = rebuilt.data() + std::size_t(r) * RebuiltWidth * 4;
        for (int j = 0; j < RebuiltWidth; ++j) {
            const std::uint8_t *px;
            if (j < RebuiltWidth - 2)
                px = frame.data() + std::size_t(r) * LineBytes + std::size_t(j + 2) * 4;
            else if (r + 1 < lines)
                px = frame.data() + std::size_t(r + 1) * LineBytes + std::size_t(j - 717) * 4;
            else
                continue; // stays 0: black, alpha 0
            const RgbOutliers c = convertPixelFromDevice(px[0], px[2], px[3], limits, k);
            out[j * 4 + 0] = c.b;
            out[j * 4 + 1] = c.g;
            out[j * 4 + 2] = c.r;
            out[j * 4 + 3] = px[1];
        }
    }

    // 4. Resample each line to the picture width; 5. exchange line pairs back for a
    // PAL IntVideo clip.
    const int outWidth = FormatFigures::of(isPal).rebuiltWidth;
    const float ratio = float(outWidth) / float(RebuiltWidth);
    const std::vector<ColumnPosition> columns = columnPositions(RebuiltWidth, outWidth, ratio);
    const int channels = keepKey ? 4 : 3;
    Bitmap picture(outWidth, lines, keepKey ? 32 : 24);
    if (picture.isNull())
        return {};
    const bool exchange = !isTitle && isPal;
    for (int r = 0; r < lines; ++r) {
        const std::uint8_t *in = rebuilt.data() + std::size_t(r) * RebuiltWidth * 4;
        std::uint8_t *row = picture.row(pairedLine(r, lines, exchange));
        for (int x = 0; x < outWidth; ++x) {
            const int i = columns[std::size_t(x)].i;
            const float f = columns[std::size_t(x)].f;
            for (int ch = 0; ch < channels; ++ch) {
                if (i < RebuiltWidth - 1) {
                    const float a = float(in[i * 4 + ch]);
                    const float b = float(in[(i + 1) * 4 + ch]);
                    row[x * channels + ch] = std::uint8_t(int(a * (1.0f - f) + b * f));
                } else {
                    row[x * channels + ch] = in[i * 4 + ch];
                }
            }
        }
    }
    return picture;
}

} // namespace DeviceConvertReference
