#pragma once

#include "imaging/Bitmap.h"
#include "imaging/DeviceConvertKernels.h"
#include "imaging/DevicePicture.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The picture conversions as the program runs them: one pass over the picture on
// the calling thread, the per-column table built once per picture, the vector
// kernels chosen for the processor at run time, the result written straight into
// one output buffer. Same bytes as DeviceConvertReference for every input; without
// vector kernels (not x86, or a compiler without vector types) the reference runs.
namespace DeviceConvertFast {

using DeviceConvertKernels::SimdLevel;
using DevicePicture::LevelLimits;

bool isSupported(SimdLevel level);
// The widest instruction set this processor has kernels for; TITLEDECK_SIMD=sse2
// asks for the narrower one.
SimdLevel bestLevel();
const char *levelName(SimdLevel level);

// Picture to device lines, written to out (at least the geometry's buffer size;
// the bytes from the last line to the 512-byte boundary are set to 0). Returns
// the buffer size, or 0 when nothing can be made or out is too small.
std::size_t imageToDevice(const Bitmap &picture, int width, int height, bool isTitle, bool isPal,
                          bool keyFromAlpha, const LevelLimits &limits, std::uint8_t *out,
                          std::size_t outSize, SimdLevel level = bestLevel());
// The same into a new buffer; empty on failure.
std::vector<std::uint8_t> imageToDevice(const Bitmap &picture, int width, int height, bool isTitle,
                                        bool isPal, bool keyFromAlpha, const LevelLimits &limits,
                                        SimdLevel level = bestLevel());

// Device lines to a picture, into `picture` (its memory is reused when it
// already has the size and depth). False when lines < 1 or the buffer holds
// fewer than lines x 2880 bytes.
bool deviceToPicture(const std::uint8_t *buffer, std::size_t size, int lines, bool isTitle,
                     bool isPal, bool keepKey, const LevelLimits &limits, Bitmap &picture,
                     SimdLevel level = bestLevel());

// Pixel conversions without resampling, for the whole-range checks: BGRA to
// Y, K (= alpha), Cb, Cr, and Y, K, Cb, Cr to BGRA (alpha = K) with each
// pixel's outlier count.
void pixelsToDevice(const std::uint8_t *bgra, std::size_t n, std::uint8_t *device,
                    const LevelLimits &limits, SimdLevel level = bestLevel());
void pixelsFromDevice(const std::uint8_t *device, std::size_t n, std::uint8_t *bgra,
                      std::uint8_t *outliers, const LevelLimits &limits,
                      SimdLevel level = bestLevel());

} // namespace DeviceConvertFast
