#pragma once

#include <cstddef>
#include <cstdint>

// The vector kernels behind DeviceConvertFast, written once in plain C++ over the
// compiler's vector types (DeviceConvertKernels.cpp) and built twice on x86: for SSE2,
// which every x86-64 processor has, and with -mavx2, chosen at run time. Each gives the
// same bytes as DeviceConvertReference. Compilers without those vector types and their
// shuffles (GCC before 12), and other processors, have no kernels: the conversions then
// run the reference.
#if (defined(__clang__) || (defined(__GNUC__) && __GNUC__ >= 12)) && defined(__SSE2__) &&          \
    (defined(__x86_64__) || defined(__i386__))
#define TD_CONVERT_VECTORS 1
#endif

namespace DeviceConvertKernels {

// None: no kernels, the reference step by step.
enum class SimdLevel { None, Sse2, Avx2 };

// Picture-to-device constants: the coefficients and the level limits as floats.
struct ToDeviceConstants
{
    float yr, yg, yb;
    float cbr, cbg, cbb;
    float crr, crg, crb;
    float yMin;
    float yLo, yHi, cLo, cHi;
};

// Device-to-picture constants.
struct FromDeviceConstants
{
    float yLo, yHi, cLo, cHi;
    float ys;
    float rCr, gCr, gCb, bCb;
};

// Per-column resampling table for blocks of `blockWidth` output pixels. Block b
// reads source pixels from base[b]; column x takes source pixels
// base[x / blockWidth] + rel0[x] and + rel1[x] with weights w0[x] and w1[x].
// Columns past outWidth are padding (rel 0, weights 1 and 0).
struct RowTable
{
    const std::int32_t *base;
    const std::int32_t *rel0;
    const std::int32_t *rel1;
    const float *w0;
    const float *w1;
    int outWidth;
};

struct Kernels
{
    SimdLevel level;
    int blockWidth; // output pixels per vector
    int reach;      // source pixels a block may read from its base (two vectors' worth)

    // One device line (Y, K, Cb, Cr) from a row of BGRA pixels; K is the
    // resampled alpha when keyFromAlpha, else 255. As resampleRow, the row must have
    // `reach` readable pixels from the base of every block.
    void (*toDeviceRow)(const std::uint8_t *source, const RowTable &table, std::uint8_t *line,
                        bool keyFromAlpha, const ToDeviceConstants &k);
    // n BGRA pixels to device pixels (K = alpha), no resampling.
    void (*pixelsToDevice)(const std::uint8_t *bgra, std::size_t n, std::uint8_t *device,
                           const ToDeviceConstants &k);
    // n device pixels to BGRA bytes (K as alpha); returns the sum of their outlier
    // counts. bgra may be null to count only.
    int (*lineFromDevice)(const std::uint8_t *device, int n, std::uint8_t *bgra,
                          const FromDeviceConstants &k);
    // n device pixels to BGRA and each pixel's outlier count.
    void (*pixelsFromDevice)(const std::uint8_t *device, std::size_t n, std::uint8_t *bgra,
                             std::uint8_t *outliers, const FromDeviceConstants &k);
    // A line of BGRA bytes (as lineFromDevice writes them) resampled into `channels`
    // (3 or 4) bytes per pixel. The line must have `reach` readable pixels from the
    // base of every block, and every column's pixels must lie below reach - 1.
    void (*resampleRow)(const std::uint8_t *bgra, const RowTable &table, std::uint8_t *row,
                        int channels);
    // Index of the first 4-byte word equal to value among n words, or -1.
    std::ptrdiff_t (*findWord)(const std::uint8_t *words, std::size_t n, std::uint32_t value);
};

#ifdef TD_CONVERT_VECTORS
const Kernels &sse2Kernels();
const Kernels &avx2Kernels(); // only on a processor with AVX2
#endif

} // namespace DeviceConvertKernels
