#pragma once

#include <cstddef>
#include <cstdint>

// The vector kernels behind DeviceConvertFast: one set per instruction set
// (SSE2, AVX2, AVX-512), all built from one template (DeviceConvertKernelImpl.h)
// and chosen at run time. Each gives the same bytes as DeviceConvertReference.
namespace DeviceConvertKernels {

enum class SimdLevel { Sse2, Avx2, Avx512 };

// Bytes of a RowTable's 16-bit path per block of sixteen columns.
constexpr std::size_t WordBlockBytes = 320;

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
    // Whole-number weights (w0 and w1 times 2^24) and, per block, whether they give the
    // float weights' bytes; null when there are none.
    const std::int32_t *iw0;
    const std::int32_t *iw1;
    const std::uint8_t *exact;
    // The 16-bit path (Kernels::wordResample): blocks whose every column gives
    // base + (other - base) x U / 2^16, rounded down, for the same bytes as the float
    // weights (wordBlock[b] set; tried for every pair of bytes when the table is made).
    // wordTable holds, per block (WordBlockBytes, aligned to 64), the byte picks of the
    // base and the other pixel for channels 0 and 1, then for channels 2 and 3 (four
    // times 64 bytes, the words' high bytes unused), then U for each word (32 16-bit
    // words). Null when there are none.
    const std::uint8_t *wordBlock;
    const std::uint8_t *wordTable;
    int outWidth;
};

struct Kernels
{
    SimdLevel level;
    int blockWidth;    // output pixels per vector
    int reach;         // source pixels a block reads from its base; 0: only those indexed
    bool wordResample; // whether the kernels take a table's 16-bit path

    // One device line (Y, K, Cb, Cr) from a row of BGRA pixels; K is the
    // resampled alpha when keyFromAlpha, else 255.
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
    // base of every block.
    void (*resampleRow)(const std::uint8_t *bgra, const RowTable &table, std::uint8_t *row,
                        int channels);
    // Index of the first 4-byte word equal to value among n words, or -1.
    std::ptrdiff_t (*findWord)(const std::uint8_t *words, std::size_t n, std::uint32_t value);
};

const Kernels &sse2Kernels();
const Kernels &avx2Kernels();
const Kernels &avx512Kernels();

} // namespace DeviceConvertKernels
