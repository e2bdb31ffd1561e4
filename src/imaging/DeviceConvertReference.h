#pragma once

#include "imaging/Bitmap.h"
#include "imaging/DevicePicture.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The picture conversions written out step by step, one pixel at a time. This
// is the definition of both conversions; the fast kernels (DeviceConvertFast)
// must give the same bytes for every input, and the tests hold them to it.
//
// Arithmetic: IEEE single precision throughout. The scale factors, the
// coefficients, the resampling ratio, each column's position and fraction and
// every product and sum are floats, evaluated in the order written below, one
// rounding per operation and never a fused multiply-add (these files are built
// with -ffp-contract=off). Each coefficient is the product of its constant and
// the level scale (0.299f * ys, 1.402f * cs ...), formed once per conversion.
// Rounding to a byte: the limits first (at or above the upper limit gives it,
// at or below the lower gives it), otherwise truncation, plus one when the
// fraction is 0.5 or more. On the way back the limits are 0 and 255, and a
// value of 275 or more or below -20 also counts as an outlier.
namespace DeviceConvertReference {

using DevicePicture::LevelLimits;

// Coefficients of the picture-to-device direction for one set of level limits.
struct ToDeviceCoefficients
{
    float yr, yg, yb;
    float cbr, cbg, cbb;
    float crr, crg, crb;
    float yMin;
};
ToDeviceCoefficients toDeviceCoefficients(const LevelLimits &limits);

// Coefficients of the device-to-picture direction for one set of level limits.
struct FromDeviceCoefficients
{
    float ys;
    float rCr;
    float gCr, gCb;
    float bCb;
};
FromDeviceCoefficients fromDeviceCoefficients(const LevelLimits &limits);

struct YCbCr
{
    std::uint8_t y, cb, cr;
};
struct RgbOutliers
{
    std::uint8_t r, g, b;
    int outliers; // 0..3 values far outside 0..255
};

YCbCr convertPixelToDevice(int r, int g, int b, const LevelLimits &limits);
YCbCr convertPixelToDevice(int r, int g, int b, const LevelLimits &limits,
                           const ToDeviceCoefficients &k);
RgbOutliers convertPixelFromDevice(int y, int cb, int cr, const LevelLimits &limits);
RgbOutliers convertPixelFromDevice(int y, int cb, int cr, const LevelLimits &limits,
                                   const FromDeviceCoefficients &k);

// Position and fraction of each output column when `inWidth` pixels are
// resampled to `outWidth`: pos = x / ratio, i = trunc(pos), f = pos - i.
struct ColumnPosition
{
    int i;
    float f;
};
std::vector<ColumnPosition> columnPositions(int inWidth, int outWidth, float ratio);

// Picture (32-bit BGRA) to device lines: the top-left width x height, cut as
// DevicePicture::uploadGeometry says. keyFromAlpha false gives K 255 (pictures
// of 24 bits or fewer). Empty when nothing can be made.
std::vector<std::uint8_t> imageToDevice(const Bitmap &picture, int width, int height, bool isTitle,
                                        bool isPal, bool keyFromAlpha, const LevelLimits &limits);

// `lines` device lines of 720 pixels (the first lines x 2880 bytes of buffer)
// to a picture 640 (NTSC) or 768 (PAL) pixels wide, 24 bits or, with keepKey,
// 32 bits with K as alpha. Null when lines < 1 or the buffer is shorter than
// its lines.
Bitmap deviceToPicture(const std::uint8_t *buffer, std::size_t size, int lines, bool isTitle,
                       bool isPal, bool keepKey, const LevelLimits &limits);

} // namespace DeviceConvertReference
