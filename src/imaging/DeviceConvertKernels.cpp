// The picture conversion kernels, written once over the compiler's vector types and
// built twice on x86: as it is (SSE2, four pixels a step) and with -mavx2 (eight). What
// differs between the two builds is the vector width below, which also decides how a
// block fetches its source pixels and writes 24-bit rows (pixelPairs, storeWithoutAlpha),
// and the name of the function at the end; everything else is in an anonymous
// namespace, so the two builds cannot be mixed up at link time.
//
// The arithmetic is the reference's (DeviceConvertReference), lane by lane: the same
// products and sums in the same order, no fused multiply-add (built with
// -ffp-contract=off). Two things differ in form only. The limits: the reference limits
// first and then rounds ("trunc, plus one at a half"); rounding keeps order and maps the
// whole-number limits to themselves, so limiting the value that carries the half and
// truncating it gives the same bytes. The half: rounding is trunc(v + 0.5), and the half
// is added together with the last term of each sum (Ymin or 128 on the way to the
// device, the luma term on the way back) instead of after it. Both conversions take
// whole-number inputs from a finite range (every R, G, B or Y, Cb, Cr byte at four level
// settings), and the whole-range tests run every one of them through these kernels
// against the reference: that is what shows the regrouped half never moves a value
// across a rounding boundary.
#include "imaging/DeviceConvertKernels.h"

#ifdef TD_CONVERT_VECTORS

#include <cstring>

namespace {

#ifdef __AVX2__
#define TD_VECTOR_BYTES 32
#else
#define TD_VECTOR_BYTES 16
#endif
constexpr int VectorBytes = TD_VECTOR_BYTES;
constexpr int N = VectorBytes / 4; // pixels a step

typedef std::int32_t I __attribute__((vector_size(VectorBytes)));
typedef std::uint32_t U __attribute__((vector_size(VectorBytes)));
typedef float F __attribute__((vector_size(VectorBytes)));
typedef std::uint8_t B __attribute__((vector_size(VectorBytes)));

using DeviceConvertKernels::FromDeviceConstants;
using DeviceConvertKernels::RowTable;
using DeviceConvertKernels::ToDeviceConstants;

template<class V> inline V load(const void *p)
{
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template<class V> inline void store(void *p, V v)
{
    std::memcpy(p, &v, sizeof v);
}

inline F splat(float v)
{
    return F{} + v;
}

inline U splat(std::uint32_t v)
{
    return U{} + v;
}

inline F toFloat(U v)
{
    return __builtin_convertvector(I(v), F);
}

inline F toFloat(I v)
{
    return __builtin_convertvector(v, F);
}

// Truncated towards zero; the values met here are far inside the range of int.
inline U truncated(F v)
{
    return U(__builtin_convertvector(v, I));
}

inline F minimum(F a, F b)
{
    return a < b ? a : b;
}

inline F maximum(F a, F b)
{
    return a > b ? a : b;
}

inline F limited(F v, F lo, F hi)
{
    return minimum(maximum(v, lo), hi);
}

template<int Byte> inline U byteOf(U p)
{
    if constexpr (Byte == 3)
        return p >> 24;
    else
        return (p >> (8 * Byte)) & 0xFF;
}

template<int Byte> inline F byteF(U p)
{
    return toFloat(byteOf<Byte>(p));
}

inline U packBytes(U b0, U b1, U b2, U b3)
{
    return b0 | (b1 << 8) | (b2 << 16) | (b3 << 24);
}

// The two source pixels of each column of block b: base + rel0 and base + rel1. With
// eight lanes they are picked from the two vectors at the block's base (two full-width
// permutes each; every block's columns lie within 2N pixels of its base, see
// Kernels::reach). With four, where there is no such permute, each column's pixel and
// the one after it are loaded as one 64-bit word: that is its second pixel, or has the
// weight 0 where the column takes its first pixel as it is (any byte times 0 adds 0).
inline void pixelPairs(const std::uint8_t *source, const RowTable &t, int b, U &p0, U &p1)
{
    const std::uint8_t *base = source + std::size_t(t.base[b]) * 4;
#if TD_VECTOR_BYTES >= 32
    {
#ifdef __clang__
        // Clang has no shuffle with run-time picks: the same pixels one by one.
        for (int j = 0; j < N; ++j) {
            p0[j] = load<std::uint32_t>(base + std::size_t(t.rel0[b * N + j]) * 4);
            p1[j] = load<std::uint32_t>(base + std::size_t(t.rel1[b * N + j]) * 4);
        }
#else
        const U lo = load<U>(base);
        const U hi = load<U>(base + VectorBytes);
        p0 = __builtin_shuffle(lo, hi, load<U>(t.rel0 + b * N));
        p1 = __builtin_shuffle(lo, hi, load<U>(t.rel1 + b * N));
#endif
    }
#else
    {
        typedef std::uint64_t Q __attribute__((vector_size(VectorBytes)));
        const std::int32_t *rel = t.rel0 + b * N;
        auto pair = [base, rel](int j) {
            return load<std::uint64_t>(base + std::size_t(rel[j]) * 4);
        };
        const Q q[2] = {Q{pair(0), pair(1)}, Q{pair(2), pair(3)}};
        p0 = __builtin_shufflevector(U(q[0]), U(q[1]), 0, 2, 4, 6);
        p1 = __builtin_shufflevector(U(q[0]), U(q[1]), 1, 3, 5, 7);
    }
#endif
}

// trunc(a x w0 + b x w1) of byte `Byte` of each pair of pixels, as a float.
template<int Byte> inline F lerp(U p0, U p1, F w0, F w1)
{
    return toFloat(truncated(byteF<Byte>(p0) * w0 + byteF<Byte>(p1) * w1));
}

struct ToDevice
{
    F yr, yg, yb, cbr, cbg, cbb, crr, crg, crb, yMinHalf, c128Half;
    F yLo, yHi, cLo, cHi;
    explicit ToDevice(const ToDeviceConstants &k)
        : yr(splat(k.yr)), yg(splat(k.yg)), yb(splat(k.yb)), cbr(splat(k.cbr)), cbg(splat(k.cbg)),
          cbb(splat(k.cbb)), crr(splat(k.crr)), crg(splat(k.crg)), crb(splat(k.crb)),
          yMinHalf(splat(k.yMin + 0.5f)), c128Half(splat(128.5f)), yLo(splat(k.yLo)),
          yHi(splat(k.yHi)), cLo(splat(k.cLo)), cHi(splat(k.cHi))
    {}
};

// Y, K, Cb, Cr of each lane: the sums carry the rounding's half in their last term
// (Ymin + 0.5 and 128.5 in one step instead of two), are limited and truncated.
inline U packDevice(F r, F g, F b, U key, const ToDevice &c)
{
    const F y = r * c.yr + g * c.yg + b * c.yb + c.yMinHalf;
    const F cb = r * c.cbr + g * c.cbg + b * c.cbb + c.c128Half;
    const F cr = r * c.crr + g * c.crg + b * c.crb + c.c128Half;
    return packBytes(truncated(limited(y, c.yLo, c.yHi)), key, truncated(limited(cb, c.cLo, c.cHi)),
                     truncated(limited(cr, c.cLo, c.cHi)));
}

template<bool Key>
inline U toDeviceBlock(const std::uint8_t *source, const RowTable &t, int b, const ToDevice &c)
{
    U p0, p1;
    pixelPairs(source, t, b, p0, p1);
    const F w0 = load<F>(t.w0 + b * N);
    const F w1 = load<F>(t.w1 + b * N);
    U key;
    if constexpr (Key)
        key = truncated(byteF<3>(p0) * w0 + byteF<3>(p1) * w1);
    else
        key = splat(255u);
    return packDevice(lerp<2>(p0, p1, w0, w1), lerp<1>(p0, p1, w0, w1), lerp<0>(p0, p1, w0, w1),
                      key, c);
}

template<bool Key>
void toDeviceRowT(const std::uint8_t *source, const RowTable &table, std::uint8_t *line,
                  const ToDevice &c)
{
    // A copy the compiler can keep in registers: the stores into the line might
    // otherwise change the table's pointers as far as it can tell.
    const RowTable t = table;
    const int full = t.outWidth / N;
    for (int b = 0; b < full; ++b)
        store(line + std::size_t(b) * N * 4, toDeviceBlock<Key>(source, t, b, c));
    const int rest = t.outWidth - full * N;
    if (rest > 0) {
        const U tail = toDeviceBlock<Key>(source, t, full, c);
        std::memcpy(line + std::size_t(full) * N * 4, &tail, std::size_t(rest) * 4);
    }
}

void toDeviceRow(const std::uint8_t *source, const RowTable &t, std::uint8_t *line,
                 bool keyFromAlpha, const ToDeviceConstants &k)
{
    const ToDevice c(k);
    if (keyFromAlpha)
        toDeviceRowT<true>(source, t, line, c);
    else
        toDeviceRowT<false>(source, t, line, c);
}

void pixelsToDevice(const std::uint8_t *bgra, std::size_t n, std::uint8_t *device,
                    const ToDeviceConstants &k)
{
    const ToDevice c(k);
    for (std::size_t x = 0; x < n; x += N) {
        const std::size_t count = n - x < std::size_t(N) ? n - x : std::size_t(N);
        U p{};
        std::memcpy(&p, bgra + x * 4, count * 4);
        const U out = packDevice(byteF<2>(p), byteF<1>(p), byteF<0>(p), byteOf<3>(p), c);
        std::memcpy(device + x * 4, &out, count * 4);
    }
}

struct FromDevice
{
    // The chroma coefficients come scaled down by 2^16 (Cb) and 2^24 (Cr): they meet
    // Cb - 128 and Cr - 128 still in place in their lanes, that is scaled up by the
    // same powers of two, so every product is the reference's product exactly.
    F ys, rCr, gCr, gCb, bCb, half, zero, top;
    // With the half already added: the outlier bounds.
    F outlierHigh, outlierLow;
    // The lower limits of Y, K, Cb and Cr as the bytes of a device pixel, and the
    // span from each lower limit to the upper one.
    B low, span;
    // Cb - 128 and Cr - 128 from Cb - Cmin and Cr - Cmin in place.
    U cbCentre, crCentre;
    explicit FromDevice(const FromDeviceConstants &k)
        : ys(splat(k.ys)), rCr(splat(k.rCr * (1.0f / 16777216.0f))),
          gCr(splat(k.gCr * (1.0f / 16777216.0f))), gCb(splat(k.gCb * (1.0f / 65536.0f))),
          bCb(splat(k.bCb * (1.0f / 65536.0f))), half(splat(0.5f)), zero(splat(0.0f)),
          top(splat(255.0f)), outlierHigh(splat(275.5f)), outlierLow(splat(-19.5f)),
          low(B(splat(bytes(int(k.yLo), 0, int(k.cLo), int(k.cLo))))),
          span(B(splat(bytes(int(k.yHi - k.yLo), 255, int(k.cHi - k.cLo), int(k.cHi - k.cLo))))),
          cbCentre(splat(std::uint32_t(128 - int(k.cLo)) << 16)),
          crCentre(splat(std::uint32_t(128 - int(k.cLo)) << 24))
    {}
    static std::uint32_t bytes(int b0, int b1, int b2, int b3)
    {
        return std::uint32_t(b0) | std::uint32_t(b1) << 8 | std::uint32_t(b2) << 16 |
               std::uint32_t(b3) << 24;
    }
};

// One block of device pixels: the values of R, G and B with the rounding's half, and the
// key.
struct Colours
{
    F r, g, b;
    U key;
};

inline Colours coloursOf(U pixels, const FromDevice &c)
{
    // Y, Cb and Cr limited and moved down by their lower limits on the bytes: Y - Ymin,
    // K, Cb - Cmin, Cr - Cmin. K passes through (limits 0 and 255).
    B p = B(pixels);
    p = p > c.low ? p : c.low;
    p -= c.low;
    p = p < c.span ? p : c.span;
    const U d = U(p);
    // Y - Ymin, Cb - 128 and Cr - 128 are whole numbers: taken on the integers, they are
    // exact and leave the float units to the products. Cb - 128 and Cr - 128 stay where
    // they are in the lane (times 2^16 and 2^24), which the scaled coefficients make up
    // for; the subtraction wraps around for Cr and lands on the signed value.
    const F ys = byteF<0>(d) * c.ys;
    const F cb = toFloat(I((d & 0x00FF0000u) - c.cbCentre));
    const F cr = toFloat(I((d & 0xFF000000u) - c.crCentre));
    // The rounding's one half joins the luma term once for all three sums, and the
    // outlier bounds move by the same half. For every (Y, Cb, Cr) at every level setting
    // this gives the same colours and outlier counts as adding the half last (the
    // whole-range tests check it).
    const F yh = ys + c.half;
    return {cr * c.rCr + yh, cr * c.gCr + cb * c.gCb + yh, cb * c.bCb + yh, byteOf<1>(d)};
}

inline U bgraOf(const Colours &v, const FromDevice &c)
{
    return packBytes(truncated(limited(v.b, c.zero, c.top)), truncated(limited(v.g, c.zero, c.top)),
                     truncated(limited(v.r, c.zero, c.top)), v.key);
}

// Each lane's outliers: 275 and above, below -20 (here with the half added).
inline I outliersOf(const Colours &v, const FromDevice &c)
{
    return -((v.r >= c.outlierHigh) + (v.r < c.outlierLow) + (v.g >= c.outlierHigh) +
             (v.g < c.outlierLow) + (v.b >= c.outlierHigh) + (v.b < c.outlierLow));
}

// n device pixels from `device`, padded to whole blocks with Y 0, Cb 128, Cr 128, which
// is never an outlier.
inline U deviceBlock(const std::uint8_t *device, int x, int n)
{
    if (x + N <= n)
        return load<U>(device + std::size_t(x) * 4);
    U p = splat(0x80800000u);
    std::memcpy(&p, device + std::size_t(x) * 4, std::size_t(n - x) * 4);
    return p;
}

int countLine(const std::uint8_t *device, int n, const FromDevice &c)
{
    I count{};
    for (int x = 0; x < n; x += N)
        count += outliersOf(coloursOf(deviceBlock(device, x, n), c), c);
    int sum = 0;
    for (int j = 0; j < N; ++j)
        sum += count[j];
    return sum;
}

int lineFromDevice(const std::uint8_t *device, int n, std::uint8_t *bgra,
                   const FromDeviceConstants &k)
{
    const FromDevice c(k);
    if (!bgra)
        return countLine(device, n, c);
    // Almost every line holds no outlier at all: the conversion keeps only the lowest and
    // highest value of each lane, and the line is counted in a second pass when they
    // reach an outlier's range.
    F lowest = c.zero;
    F highest = c.zero;
    for (int x = 0; x < n; x += N) {
        const Colours v = coloursOf(deviceBlock(device, x, n), c);
        lowest = minimum(lowest, minimum(v.r, minimum(v.g, v.b)));
        highest = maximum(highest, maximum(v.r, maximum(v.g, v.b)));
        const U out = bgraOf(v, c);
        if (x + N <= n)
            store(bgra + std::size_t(x) * 4, out);
        else
            std::memcpy(bgra + std::size_t(x) * 4, &out, std::size_t(n - x) * 4);
    }
    for (int j = 0; j < N; ++j)
        if (highest[j] >= c.outlierHigh[j] || lowest[j] < c.outlierLow[j])
            return countLine(device, n, c);
    return 0;
}

void pixelsFromDevice(const std::uint8_t *device, std::size_t n, std::uint8_t *bgra,
                      std::uint8_t *outliers, const FromDeviceConstants &k)
{
    const FromDevice c(k);
    for (std::size_t x = 0; x < n; x += N) {
        const std::size_t count = n - x < std::size_t(N) ? n - x : std::size_t(N);
        U p{};
        std::memcpy(&p, device + x * 4, count * 4);
        const Colours v = coloursOf(p, c);
        const U out = bgraOf(v, c);
        const I lanes = outliersOf(v, c);
        std::memcpy(bgra + x * 4, &out, count * 4);
        for (std::size_t j = 0; j < count; ++j)
            outliers[x + j] = std::uint8_t(lanes[j]);
    }
}

// Block b resampled, as B, G, R, A bytes (A 0 without alpha).
template<bool Alpha> inline U resampleBlock(const std::uint8_t *bgra, const RowTable &t, int b)
{
    U p0, p1;
    pixelPairs(bgra, t, b, p0, p1);
    const F w0 = load<F>(t.w0 + b * N);
    const F w1 = load<F>(t.w1 + b * N);
    U alpha{};
    if constexpr (Alpha)
        alpha = truncated(byteF<3>(p0) * w0 + byteF<3>(p1) * w1);
    return packBytes(truncated(byteF<0>(p0) * w0 + byteF<0>(p1) * w1),
                     truncated(byteF<1>(p0) * w0 + byteF<1>(p1) * w1),
                     truncated(byteF<2>(p0) * w0 + byteF<2>(p1) * w1), alpha);
}

// The first three bytes of each of the first `pixels` pixels of v, one after the other.
// With eight lanes, one byte shuffle of the whole block; with four (no byte shuffle), two
// pixels at a time as one 64-bit word.
inline void storeWithoutAlpha(std::uint8_t *out, U v, int pixels)
{
#if TD_VECTOR_BYTES >= 32
    {
        const B packed =
            __builtin_shufflevector(B(v), B(v), 0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 16, 17, 18,
                                    20, 21, 22, 24, 25, 26, 28, 29, 30, 0, 0, 0, 0, 0, 0, 0, 0);
        std::memcpy(out, &packed, std::size_t(pixels) * 3);
    }
#else
    {
        std::uint64_t pairs[N / 2];
        std::memcpy(pairs, &v, sizeof pairs);
        for (int j = 0; j < pixels; j += 2, out += 6) {
            const std::uint64_t p = pairs[j / 2];
            const std::uint64_t packed = (p & 0xFFFFFFu) | ((p >> 8) & 0xFFFFFF000000u);
            std::memcpy(out, &packed, pixels - j >= 2 ? 6 : 3);
        }
    }
#endif
}

void resampleRow(const std::uint8_t *bgra, const RowTable &table, std::uint8_t *row, int channels)
{
    const RowTable t = table; // kept in registers, as above
    const int full = t.outWidth / N;
    const int rest = t.outWidth - full * N;
    if (channels == 4) {
        for (int b = 0; b < full; ++b)
            store(row + std::size_t(b) * N * 4, resampleBlock<true>(bgra, t, b));
        if (rest > 0) {
            const U tail = resampleBlock<true>(bgra, t, full);
            std::memcpy(row + std::size_t(full) * N * 4, &tail, std::size_t(rest) * 4);
        }
    } else {
        for (int b = 0; b < full; ++b)
            storeWithoutAlpha(row + std::size_t(b) * N * 3, resampleBlock<false>(bgra, t, b), N);
        if (rest > 0)
            storeWithoutAlpha(row + std::size_t(full) * N * 3, resampleBlock<false>(bgra, t, full),
                              rest);
    }
}

std::ptrdiff_t findWord(const std::uint8_t *words, std::size_t n, std::uint32_t value)
{
    std::size_t x = 0;
    for (; x + N <= n; x += N) {
        const I equal = I(load<U>(words + x * 4) == value);
        std::uint64_t any[VectorBytes / 8];
        std::memcpy(any, &equal, sizeof any);
        std::uint64_t seen = 0;
        for (std::uint64_t part : any)
            seen |= part;
        if (seen)
            break;
    }
    for (; x < n; ++x) {
        std::uint32_t w;
        std::memcpy(&w, words + x * 4, 4);
        if (w == value)
            return std::ptrdiff_t(x);
    }
    return -1;
}

const DeviceConvertKernels::Kernels &kernelsOfThisBuild(DeviceConvertKernels::SimdLevel level)
{
    static const DeviceConvertKernels::Kernels k{level,
                                                 N,
                                                 2 * N,
                                                 &toDeviceRow,
                                                 &pixelsToDevice,
                                                 &lineFromDevice,
                                                 &pixelsFromDevice,
                                                 &resampleRow,
                                                 &findWord};
    return k;
}

} // namespace

#ifdef __AVX2__
const DeviceConvertKernels::Kernels &DeviceConvertKernels::avx2Kernels()
{
    return kernelsOfThisBuild(SimdLevel::Avx2);
}
#else
const DeviceConvertKernels::Kernels &DeviceConvertKernels::sse2Kernels()
{
    return kernelsOfThisBuild(SimdLevel::Sse2);
}
#endif

#endif // TD_CONVERT_VECTORS
