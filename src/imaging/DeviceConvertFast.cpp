#include "imaging/DeviceConvertFast.h"

#include "imaging/DeviceConvertReference.h"
#include "imaging/HelperThread.h"

#include <QLoggingCategory>
#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

Q_LOGGING_CATEGORY(lcDeviceConvert, "titledeck.imaging.deviceconvert", QtWarningMsg)

// Built with -ffp-contract=off, like the reference: the tables below hold the
// reference's own positions, fractions and weights.

namespace DeviceConvertFast {

using namespace DevicePicture;
using DeviceConvertKernels::Kernels;
using DeviceConvertKernels::RowTable;

bool isSupported(SimdLevel level)
{
    switch (level) {
    case SimdLevel::Sse2:
        return true;
    case SimdLevel::Avx2:
        return __builtin_cpu_supports("avx2");
    case SimdLevel::Avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vbmi");
    }
    return false;
}

namespace {

SimdLevel detectLevel()
{
    SimdLevel level = SimdLevel::Sse2;
    if (isSupported(SimdLevel::Avx512))
        level = SimdLevel::Avx512;
    else if (isSupported(SimdLevel::Avx2))
        level = SimdLevel::Avx2;
    const QByteArray wanted = qgetenv("TITLEDECK_SIMD").toLower();
    if (wanted == "sse2")
        level = SimdLevel::Sse2;
    else if (wanted == "avx2" && level == SimdLevel::Avx512)
        level = SimdLevel::Avx2;
    qCDebug(lcDeviceConvert) << "picture conversion kernels:" << levelName(level);
    return level;
}

constexpr std::int64_t WeightOne = std::int64_t(1) << 24;

// The weights w0 and w1 as whole numbers W0 = w0 x 2^24 and W1 = w1 x 2^24, when both
// are whole and add up to 2^24 (so for every column whose 1 - f was exact in float).
bool wholeNumberWeights(float w0, float w1, std::int32_t &iw0, std::int32_t &iw1)
{
    const double s0 = double(w0) * double(WeightOne);
    const double s1 = double(w1) * double(WeightOne);
    if (s0 < 0.0 || s1 < 0.0 || s0 != std::floor(s0) || s1 != std::floor(s1) ||
        s0 + s1 != double(WeightOne))
        return false;
    iw0 = std::int32_t(s0);
    iw1 = std::int32_t(s1);
    return true;
}

// Whether (a W0 + b W1) >> 24 equals trunc(a x w0 + b x w1) in single precision for
// every pair of bytes a and b. a W0 + b W1 is 2^24 times the exact value E of
// a w0 + b w1 (below 2^32), so the shift gives floor(E). The float sum differs from E
// by three roundings of values below 256, each at most 2^-17, so it truncates to
// floor(E) whenever E lies 2^-15 or more away from every whole number. As W0 + W1 is
// 2^24, E = a + (b - a) W1 / 2^24 and its fraction depends on b - a alone: only the
// differences that bring E that close to a whole number need every pair tried.
bool wholeNumberWeightsExact(float w0, float w1, std::int32_t iw0, std::int32_t iw1)
{
    constexpr std::int64_t margin = WeightOne >> 15;
    for (int d = -255; d <= 255; ++d) {
        const std::int64_t fraction = ((std::int64_t(d) * iw1) % WeightOne + WeightOne) % WeightOne;
        if (fraction >= margin && fraction <= WeightOne - margin)
            continue;
        for (int a = d < 0 ? -d : 0; a <= (d > 0 ? 255 - d : 255); ++a) {
            const int b = a + d;
            const float v = float(a) * w0 + float(b) * w1;
            const std::uint32_t x =
                std::uint32_t(a) * std::uint32_t(iw0) + std::uint32_t(b) * std::uint32_t(iw1);
            if (int(v) != int(x >> 24))
                return false;
        }
    }
    return true;
}

// Per column of a resampling from inWidth to outWidth pixels: whether whole-number
// weights give the same bytes as the float ones.
std::vector<std::uint8_t> exactColumns(int inWidth, int outWidth)
{
    const float ratio = float(outWidth) / float(inWidth);
    const std::vector<DeviceConvertReference::ColumnPosition> columns =
        DeviceConvertReference::columnPositions(inWidth, outWidth, ratio);
    std::vector<std::uint8_t> exact(columns.size(), 0);
    for (std::size_t x = 0; x < columns.size(); ++x) {
        const bool between = columns[x].i < inWidth - 1;
        const float w0 = between ? 1.0f - columns[x].f : 1.0f;
        const float w1 = between ? columns[x].f : 0.0f;
        std::int32_t iw0 = 0;
        std::int32_t iw1 = 0;
        exact[x] =
            wholeNumberWeights(w0, w1, iw0, iw1) && wholeNumberWeightsExact(w0, w1, iw0, iw1);
    }
    qCDebug(lcDeviceConvert) << "resampling" << inWidth << "to" << outWidth
                             << "pixels:" << std::count(exact.begin(), exact.end(), std::uint8_t(1))
                             << "of" << exact.size() << "columns with whole-number weights";
    return exact;
}

// The read-back always resamples 719 pixels to the format's width: its column table is
// worked out once per format.
const std::vector<std::uint8_t> &readBackExactColumns(bool isPal)
{
    if (isPal) {
        static const std::vector<std::uint8_t> pal =
            exactColumns(RebuiltWidth, FormatFigures::of(true).rebuiltWidth);
        return pal;
    }
    static const std::vector<std::uint8_t> ntsc =
        exactColumns(RebuiltWidth, FormatFigures::of(false).rebuiltWidth);
    return ntsc;
}

// A column's 16-bit weight: its bytes are base + floor((other - base) x u / 2^16) for
// every pair of bytes (the first source pixel the base, or the second).
struct WordWeight
{
    bool ok = false;
    bool baseIsSecond = false;
    std::int16_t u = 0;
};

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

std::int64_t ceilDiv(std::int64_t a, std::int64_t b)
{
    return -floorDiv(-a, b);
}

// The 16-bit weight of a column with float weights w0 and w1, when it has one. The
// float result trunc(a w0 + b w1) must depend on a and the difference d = b - a alone,
// as a + g(d). When w0 + w1 is exactly 1 the exact sum is a + d w1, and the float sum
// lies within 2^-15 of it (see wholeNumberWeightsExact): a d whose d w1 lies further
// than that from every whole number gives floor(d w1) for every a. Only the others
// need every a tried.
WordWeight wordWeight(float w0, float w1)
{
    int g[511];
    const bool sumIsOne = double(w0) + double(w1) == 1.0;
    constexpr double margin = 1.0 / 32768.0;
    for (int d = -255; d <= 255; ++d) {
        if (sumIsOne) {
            const double e = double(d) * double(w1);
            const double whole = std::floor(e);
            if (e - whole >= margin && e - whole <= 1.0 - margin) {
                g[d + 255] = int(whole);
                continue;
            }
        }
        const int first = d < 0 ? -d : 0;
        const int last = d > 0 ? 255 - d : 255;
        for (int a = first; a <= last; ++a) {
            const int v = int(float(a) * w0 + float(a + d) * w1) - a;
            if (a == first)
                g[d + 255] = v;
            else if (v != g[d + 255])
                return {};
        }
    }
    // With the second pixel b as the base, the other is b - d and the bytes are
    // b + g(d) - d. The bounds on u from each difference: ge <= e u / 2^16 < ge + 1.
    for (const bool second : {false, true}) {
        std::int64_t lo = 0;
        std::int64_t hi = 32767;
        for (int d = -255; d <= 255 && lo <= hi; ++d) {
            const std::int64_t e = second ? -d : d;
            const std::int64_t ge = second ? g[d + 255] - d : g[d + 255];
            if (e == 0) {
                if (ge != 0)
                    hi = -1;
            } else if (e > 0) {
                lo = std::max(lo, ceilDiv(ge * 65536, e));
                hi = std::min(hi, ceilDiv((ge + 1) * 65536, e) - 1);
            } else {
                hi = std::min(hi, floorDiv(ge * 65536, e));
                lo = std::max(lo, floorDiv((ge + 1) * 65536, e) + 1);
            }
        }
        if (lo > hi)
            continue;
        // The product's high word, as the kernel takes it, once more for every difference.
        bool same = true;
        for (int d = -255; d <= 255 && same; ++d) {
            const int e = second ? -d : d;
            same = ((e * int(lo)) >> 16) == (second ? g[d + 255] - d : g[d + 255]);
        }
        if (same)
            return {true, second, std::int16_t(lo)};
    }
    return {};
}

// The 16-bit weights of every column of a resampling from inWidth to outWidth pixels
// (weights 1 and 0 past the last source pixel, as in ResampleTable).
std::vector<WordWeight> wordWeights(int inWidth, int outWidth)
{
    const float ratio = float(outWidth) / float(inWidth);
    const std::vector<DeviceConvertReference::ColumnPosition> columns =
        DeviceConvertReference::columnPositions(inWidth, outWidth, ratio);
    std::vector<WordWeight> weights(columns.size());
    for (std::size_t x = 0; x < columns.size(); ++x) {
        const bool between = columns[x].i < inWidth - 1;
        weights[x] =
            wordWeight(between ? 1.0f - columns[x].f : 1.0f, between ? columns[x].f : 0.0f);
    }
    qCDebug(lcDeviceConvert) << "resampling" << inWidth << "to" << outWidth << "pixels:"
                             << std::count_if(weights.begin(), weights.end(),
                                              [](const WordWeight &w) { return w.ok; })
                             << "of" << weights.size() << "columns with 16-bit weights";
    return weights;
}

// Resampling positions of every output column, grouped in blocks of the
// kernel's width, with the weights that make "take the pixel as it is" the
// same operation as interpolation (weights 1 and 0).
class ResampleTable
{
public:
    ResampleTable(int inWidth, int outWidth, float ratio, int blockWidth)
    {
        const std::vector<DeviceConvertReference::ColumnPosition> columns =
            DeviceConvertReference::columnPositions(inWidth, outWidth, ratio);
        const int blocks = (outWidth + blockWidth - 1) / blockWidth;
        const std::size_t padded = std::size_t(blocks) * std::size_t(blockWidth);
        m_base.assign(std::size_t(blocks), 0);
        m_rel0.assign(padded, 0);
        m_rel1.assign(padded, 0);
        m_w0.assign(padded, 1.0f);
        m_w1.assign(padded, 0.0f);
        for (int b = 0; b < blocks; ++b) {
            const int base = columns[std::size_t(b) * std::size_t(blockWidth)].i;
            m_base[std::size_t(b)] = base;
            m_lastBase = base;
            for (int j = 0; j < blockWidth; ++j) {
                const std::size_t x = std::size_t(b) * std::size_t(blockWidth) + std::size_t(j);
                if (x >= columns.size())
                    break;
                const int i = columns[x].i;
                const float f = columns[x].f;
                const bool between = i < inWidth - 1;
                m_rel0[x] = i - base;
                m_rel1[x] = (between ? i + 1 : i) - base;
                m_w0[x] = between ? 1.0f - f : 1.0f;
                m_w1[x] = between ? f : 0.0f;
                if (m_rel1[x] > m_maxRel)
                    m_maxRel = m_rel1[x];
            }
        }
        m_outWidth = outWidth;
    }

    // Adds the whole-number weights for the blocks whose columns all have exact ones
    // (exactColumns[x] set for column x; see exactColumns()).
    void useWholeNumberWeights(const std::vector<std::uint8_t> &exactColumns)
    {
        if (m_base.empty())
            return;
        const std::size_t padded = m_w0.size();
        const std::size_t blockWidth = padded / m_base.size();
        m_iw0.assign(padded, 0);
        m_iw1.assign(padded, 0);
        m_exact.assign(m_base.size(), 1);
        for (std::size_t x = 0; x < padded; ++x) {
            const bool padding = x >= std::size_t(m_outWidth);
            if ((!padding && (x >= exactColumns.size() || !exactColumns[x])) ||
                !wholeNumberWeights(m_w0[x], m_w1[x], m_iw0[x], m_iw1[x]))
                m_exact[x / blockWidth] = 0;
        }
    }

    // Adds the 16-bit path for the blocks whose columns all have 16-bit weights: the
    // byte picks of base and other for channels 0 and 1, then 2 and 3, and the weights
    // as words (see RowTable). Only for blocks of sixteen columns.
    void useWordWeights(const std::vector<WordWeight> &weights)
    {
        constexpr std::size_t Columns = 16;
        constexpr std::size_t WordBlockBytes = DeviceConvertKernels::WordBlockBytes;
        const std::size_t blocks = m_base.size();
        if (blocks == 0 || m_w0.size() != blocks * Columns)
            return;
        m_wordBlock.assign(blocks, 1);
        // Aligned to 64 bytes: a block's picks and weights are read as whole vectors.
        m_wordStorage.assign(blocks * WordBlockBytes + 63, 0);
        const std::size_t misalign = reinterpret_cast<std::uintptr_t>(m_wordStorage.data()) % 64;
        m_wordOffset = misalign == 0 ? 0 : 64 - misalign;
        for (std::size_t b = 0; b < blocks; ++b) {
            std::uint8_t *pick = m_wordStorage.data() + m_wordOffset + b * WordBlockBytes;
            std::uint8_t *weight = pick + 256;
            for (std::size_t j = 0; j < Columns; ++j) {
                const std::size_t x = b * Columns + j;
                int base = m_rel0[x];
                int other = m_rel1[x];
                std::int16_t u = 0;
                if (x < std::size_t(m_outWidth)) {
                    if (x >= weights.size() || !weights[x].ok) {
                        m_wordBlock[b] = 0;
                        break;
                    }
                    if (weights[x].baseIsSecond)
                        std::swap(base, other);
                    u = weights[x].u;
                }
                for (int c = 0; c < 2; ++c) {
                    for (int pair = 0; pair < 2; ++pair) {
                        pick[pair * 128 + 4 * j + 2 * c] = std::uint8_t(base * 4 + 2 * pair + c);
                        pick[pair * 128 + 64 + 4 * j + 2 * c] =
                            std::uint8_t(other * 4 + 2 * pair + c);
                    }
                    std::memcpy(weight + 4 * j + 2 * c, &u, 2);
                }
            }
        }
    }

    RowTable view() const
    {
        return {m_base.data(),
                m_rel0.data(),
                m_rel1.data(),
                m_w0.data(),
                m_w1.data(),
                m_iw0.empty() ? nullptr : m_iw0.data(),
                m_iw1.empty() ? nullptr : m_iw1.data(),
                m_exact.empty() ? nullptr : m_exact.data(),
                m_wordBlock.empty() ? nullptr : m_wordBlock.data(),
                m_wordStorage.empty() ? nullptr : m_wordStorage.data() + m_wordOffset,
                m_outWidth};
    }
    // The furthest source pixel any column reads, counted from its block's base.
    int maxRel() const { return m_maxRel; }
    int lastBase() const { return m_lastBase; }

private:
    std::vector<std::int32_t> m_base, m_rel0, m_rel1;
    std::vector<float> m_w0, m_w1;
    std::vector<std::int32_t> m_iw0, m_iw1;
    std::vector<std::uint8_t> m_exact;
    std::vector<std::uint8_t> m_wordBlock, m_wordStorage;
    std::size_t m_wordOffset = 0;
    int m_outWidth = 0;
    int m_maxRel = 0;
    int m_lastBase = 0;
};

// The kernels for a level with their resampling table; the baseline's when the
// table's blocks reach further than the level's permutes (only pictures a few
// pixels wide).
struct FittedKernels
{
    const Kernels &kernels;
    ResampleTable table;
};

FittedKernels fitKernels(SimdLevel level, int inWidth, int outWidth, float ratio)
{
    const Kernels &k = kernels(level);
    ResampleTable table(inWidth, outWidth, ratio, k.blockWidth);
    if (k.reach == 0 || table.maxRel() < k.reach)
        return {k, std::move(table)};
    const Kernels &baseline = kernels(SimdLevel::Sse2);
    return {baseline, ResampleTable(inWidth, outWidth, ratio, baseline.blockWidth)};
}

enum class Direction { ToDevice, FromDevice };

// The fitted kernels and their table with every path it offers, made once per thread
// for each level, pair of widths and direction and kept for the next picture: finding
// the 16-bit weights tries every pair of bytes in some columns (milliseconds), and even
// the plain table would otherwise be made again on the calling thread alone while the
// helper waits. A few pairs of widths come up in practice (the format's full widths and
// the titles' own); eight are kept.
const FittedKernels &preparedKernels(SimdLevel level, int inWidth, int outWidth,
                                     Direction direction)
{
    struct Entry
    {
        SimdLevel level = SimdLevel::Sse2;
        int inWidth = 0;
        int outWidth = 0;
        Direction direction = Direction::ToDevice;
        std::unique_ptr<FittedKernels> fitted;
    };
    constexpr int Kept = 8;
    thread_local Entry entries[Kept];
    thread_local int next = 0;
    for (const Entry &e : entries)
        if (e.fitted && e.level == level && e.inWidth == inWidth && e.outWidth == outWidth &&
            e.direction == direction)
            return *e.fitted;
    auto fitted = std::make_unique<FittedKernels>(
        fitKernels(level, inWidth, outWidth, float(outWidth) / float(inWidth)));
    if (direction == Direction::FromDevice)
        fitted->table.useWholeNumberWeights(
            readBackExactColumns(outWidth == FormatFigures::of(true).rebuiltWidth));
    if (fitted->kernels.wordResample)
        fitted->table.useWordWeights(wordWeights(inWidth, outWidth));
    Entry &e = entries[next];
    next = (next + 1) % Kept;
    e = {level, inWidth, outWidth, direction, std::move(fitted)};
    return *e.fitted;
}

DeviceConvertKernels::ToDeviceConstants toDeviceConstants(const LevelLimits &limits)
{
    const DeviceConvertReference::ToDeviceCoefficients c =
        DeviceConvertReference::toDeviceCoefficients(limits);
    return {c.yr,
            c.yg,
            c.yb,
            c.cbr,
            c.cbg,
            c.cbb,
            c.crr,
            c.crg,
            c.crb,
            c.yMin,
            float(limits.yMin),
            float(limits.yMax),
            float(limits.cMin),
            float(limits.cMax)};
}

DeviceConvertKernels::FromDeviceConstants fromDeviceConstants(const LevelLimits &limits)
{
    const DeviceConvertReference::FromDeviceCoefficients c =
        DeviceConvertReference::fromDeviceCoefficients(limits);
    return {float(limits.yMin),
            float(limits.yMax),
            float(limits.cMin),
            float(limits.cMax),
            c.ys,
            c.rCr,
            c.gCr,
            c.gCb,
            c.bCb};
}

// A picture's lines go to the calling thread and the helper in parts of about this
// many lines (HelperThread::shareOut): small enough for a helper that wakes late to
// take fewer, large enough to cost little to hand out (a read-back part converts one
// line more, the first of the next part). Pictures of under two parts are converted
// on the calling thread alone.
constexpr int LinesPerPart = 48;

// The number of parts a picture's lines go in; 1 when the calling thread takes all.
int partsOf(int lines, Cores cores)
{
    if (cores == Cores::One || lines < 2 * LinesPerPart || !HelperThread::available())
        return 1;
    // An even number: with both threads awake, each takes half.
    return 2 * ((lines + 2 * LinesPerPart - 1) / (2 * LinesPerPart));
}

} // namespace

SimdLevel bestLevel()
{
    static const SimdLevel level = detectLevel();
    return level;
}

const char *levelName(SimdLevel level)
{
    switch (level) {
    case SimdLevel::Sse2:
        return "SSE2";
    case SimdLevel::Avx2:
        return "AVX2";
    case SimdLevel::Avx512:
        return "AVX-512";
    }
    return "?";
}

const Kernels &kernels(SimdLevel level)
{
    if (!isSupported(level))
        level = SimdLevel::Sse2;
    switch (level) {
    case SimdLevel::Avx512:
        return DeviceConvertKernels::avx512Kernels();
    case SimdLevel::Avx2:
        return DeviceConvertKernels::avx2Kernels();
    case SimdLevel::Sse2:
        break;
    }
    return DeviceConvertKernels::sse2Kernels();
}

std::size_t imageToDevice(const Bitmap &picture, int width, int height, bool isTitle, bool isPal,
                          bool keyFromAlpha, const LevelLimits &limits, std::uint8_t *out,
                          std::size_t outSize, SimdLevel level, Cores cores)
{
    UploadGeometry g;
    if (picture.isNull() || !out ||
        !uploadGeometry(picture.width(), picture.height(), width, height, isPal, g) ||
        outSize < g.bufferSize)
        return 0;
    Bitmap widened;
    const Bitmap *source = &picture;
    if (picture.bitsPerPixel() != 32) {
        widened = picture.converted(32);
        if (widened.isNull())
            return 0;
        source = &widened;
    }

    const FittedKernels &fitted = preparedKernels(level, g.width, g.outWidth, Direction::ToDevice);
    const Kernels &k = fitted.kernels;
    const ResampleTable &table = fitted.table;
    const RowTable view = table.view();
    const DeviceConvertKernels::ToDeviceConstants constants = toDeviceConstants(limits);

    // A block reads `reach` pixels from its base. Rows whose last block would read
    // past the end of the picture's memory go through a padded copy.
    const std::size_t reachEnd = std::size_t(table.lastBase()) + std::size_t(k.reach);
    const std::size_t totalPixels = std::size_t(source->width()) * std::size_t(source->height());
    const std::size_t paddedPixels = std::max(reachEnd, std::size_t(g.width));
    const bool exchange = !isTitle && isPal;
    const std::size_t lineBytes = std::size_t(g.outWidth) * 4;

    // A picture is at most 768 pixels wide here (uploadGeometry cuts it to the format),
    // and a block reads at most `reach` (32) pixels from a base inside the picture.
    constexpr std::size_t PaddedRoom = 768 + 64;
    if (paddedPixels > PaddedRoom)
        return 0;

    // Lines first..last - 1.
    auto convertLines = [&](int first, int last) {
        alignas(64) std::uint8_t padded[PaddedRoom * 4];
        for (int r = first; r < last; ++r) {
            const int sourceLine = pairedLine(r, g.height, exchange);
            const std::uint8_t *row = source->row(sourceLine);
            if (k.reach > 0 &&
                std::size_t(sourceLine) * std::size_t(source->width()) + reachEnd > totalPixels) {
                std::memset(padded, 0, paddedPixels * 4);
                std::memcpy(padded, row, std::size_t(g.width) * 4);
                row = padded;
            }
            k.toDeviceRow(row, view, out + std::size_t(r) * lineBytes, keyFromAlpha, constants);
        }
    };
    const int parts = partsOf(g.height, cores);
    HelperThread::shareOut(parts, [&](int part) {
        convertLines(part * g.height / parts, (part + 1) * g.height / parts);
    });
    const std::size_t written = lineBytes * std::size_t(g.height);
    std::memset(out + written, 0, g.bufferSize - written);
    std::memcpy(out, UploadMarker, 4);
    return g.bufferSize;
}

std::vector<std::uint8_t> imageToDevice(const Bitmap &picture, int width, int height, bool isTitle,
                                        bool isPal, bool keyFromAlpha, const LevelLimits &limits,
                                        SimdLevel level, Cores cores)
{
    UploadGeometry g;
    if (picture.isNull() ||
        !uploadGeometry(picture.width(), picture.height(), width, height, isPal, g))
        return {};
    std::vector<std::uint8_t> out(g.bufferSize);
    if (imageToDevice(picture, width, height, isTitle, isPal, keyFromAlpha, limits, out.data(),
                      out.size(), level, cores) == 0)
        return {};
    return out;
}

namespace {

// A read-back frame as the conversion sees it while it repairs lines: realigned
// to its start marker (neutral pixels after the end of the data) and, from the
// line being looked at on, read `delta` bytes early for the two-byte repairs
// made so far. Past the end of the frame every byte is 0.
class ReadBackFrame
{
public:
    ReadBackFrame(const std::uint8_t *buffer, std::size_t frameBytes, std::size_t shift)
        : m_buffer(buffer), m_frameBytes(frameBytes), m_shift(shift)
    {}

    // Bytes [q, q + length) with the given delta; a pointer into the buffer when the
    // range is plain data there, else the bytes put together in scratch.
    const std::uint8_t *bytes(std::size_t q, std::size_t length, std::size_t delta,
                              std::uint8_t *scratch) const
    {
        const std::size_t u = q - delta;
        if (q + length <= m_frameBytes && u + m_shift + length <= m_frameBytes)
            return m_buffer + u + m_shift;
        for (std::size_t j = 0; j < length; ++j) {
            const std::size_t at = q + j;
            if (at >= m_frameBytes)
                scratch[j] = 0;
            else if (u + j + m_shift < m_frameBytes)
                scratch[j] = m_buffer[u + j + m_shift];
            else
                scratch[j] = NeutralPixel[(u + j) & 3];
        }
        return scratch;
    }

private:
    const std::uint8_t *m_buffer;
    std::size_t m_frameBytes;
    std::size_t m_shift;
};

// A device line converted to BGRA bytes, pixel j at j, the two pixels taken from
// the next line at 719 and 720, and room for what the resampler's loads may reach
// (up to `reach` pixels from a block's base, the last base being below 719).
constexpr std::size_t ConvertedPixels = 816;

// The lines of a read-back: each device line is converted (and repaired when it
// sits two bytes late), then finished into a picture line once the first two
// pixels of the line after it are known.
class ReadBackLines
{
public:
    ReadBackLines(const Kernels &k, const RowTable &view,
                  const DeviceConvertKernels::FromDeviceConstants &constants,
                  const ReadBackFrame &frame, int lines, bool keepKey, bool exchange,
                  Bitmap &picture)
        : m_k(k), m_view(view), m_constants(constants), m_frame(frame), m_lines(lines),
          m_channels(keepKey ? 4 : 3), m_exchange(exchange), m_picture(picture)
    {}

    // Picture lines first..end - 1, from their device lines read `delta` bytes early for
    // the repairs made above `first`. Returns the delta the repairs of these lines leave
    // for line `end`.
    std::size_t run(int first, int end, std::size_t delta) const
    {
        Buffers b;
        for (int r = first; r <= end && r < m_lines; ++r) {
            const std::size_t deltaHere = delta;
            convert(r, delta, b);
            if (r > first)
                finish(r - 1, b.converted[(r - 1) & 1], b.converted[r & 1]);
            if (r == end)
                return deltaHere;
        }
        finish(m_lines - 1, b.converted[(m_lines - 1) & 1], nullptr);
        return delta;
    }

private:
    struct Buffers
    {
        // Only the room past the two pixels from the next line needs clearing: the
        // rest is written for every line before it is read.
        Buffers()
        {
            for (auto &line : converted)
                std::memset(line + 721 * 4, 0, sizeof line - 721 * 4);
        }
        std::uint8_t converted[2][4 * ConvertedPixels];
        std::uint8_t scratch[LineBytes + 4];
        std::uint8_t later[LineBytes + 4];
    };

    // Device line r into its converted buffer; a repair moves delta two bytes on.
    void convert(int r, std::size_t &delta, Buffers &b) const
    {
        const std::size_t s = std::size_t(r) * LineBytes;
        std::uint8_t *line = b.converted[r & 1];
        const int sum = m_k.lineFromDevice(m_frame.bytes(s, LineBytes, delta, b.scratch), LineWidth,
                                           line, m_constants);
        if (sum <= 150)
            return;
        const int lateSum = m_k.lineFromDevice(m_frame.bytes(s + 2, LineBytes, delta, b.later),
                                               LineWidth, nullptr, m_constants);
        if (lateSum >= sum)
            return;
        // Everything from this line on moves two bytes later; the line starts with two
        // zero bytes.
        delta += 2;
        b.scratch[0] = 0;
        b.scratch[1] = 0;
        std::memcpy(b.scratch + 2, m_frame.bytes(s + 2, LineBytes - 2, delta, b.later),
                    LineBytes - 2);
        m_k.lineFromDevice(b.scratch, LineWidth, line, m_constants);
    }

    // Picture line r from its converted device line and the next one (none after the
    // last: black and transparent).
    void finish(int r, std::uint8_t *line, const std::uint8_t *next) const
    {
        if (next)
            std::memcpy(line + 719 * 4, next, 8);
        else
            std::memset(line + 719 * 4, 0, 8);
        m_k.resampleRow(line + 2 * 4, m_view, m_picture.row(pairedLine(r, m_lines, m_exchange)),
                        m_channels);
    }

    const Kernels &m_k;
    const RowTable &m_view;
    const DeviceConvertKernels::FromDeviceConstants &m_constants;
    const ReadBackFrame &m_frame;
    int m_lines;
    int m_channels;
    bool m_exchange;
    Bitmap &m_picture;
};

} // namespace

bool deviceToPicture(const std::uint8_t *buffer, std::size_t size, int lines, bool isTitle,
                     bool isPal, bool keepKey, const LevelLimits &limits, Bitmap &picture,
                     SimdLevel level, Cores cores)
{
    if (lines < 1 || !buffer || size / LineBytes < std::size_t(lines))
        return false;
    const int outWidth = FormatFigures::of(isPal).rebuiltWidth;
    const int depth = keepKey ? 32 : 24;
    if (picture.width() != outWidth || picture.height() != lines ||
        picture.bitsPerPixel() != depth) {
        picture = Bitmap(outWidth, lines, depth);
        if (picture.isNull())
            return false;
    }

    const FittedKernels &fitted =
        preparedKernels(level, RebuiltWidth, outWidth, Direction::FromDevice);
    const Kernels &k = fitted.kernels;
    const RowTable view = fitted.table.view();
    const DeviceConvertKernels::FromDeviceConstants constants = fromDeviceConstants(limits);

    const std::size_t frameBytes = std::size_t(lines) * LineBytes;
    std::uint32_t marker;
    std::memcpy(&marker, ReadBackMarker, 4);
    const std::ptrdiff_t start = k.findWord(buffer, std::size_t(lines) * LineWidth, marker);
    const ReadBackFrame frame(buffer, frameBytes, start > 0 ? std::size_t(start) * 4 : 0);
    Q_ASSERT(std::size_t(2 + 719 + k.reach) <= ConvertedPixels);

    const ReadBackLines work(k, view, constants, frame, lines, keepKey, !isTitle && isPal, picture);
    // Each part of the lines starts on the assumption that the lines above it needed no
    // repair, which is what a frame read back whole gives. Where they did, that part and
    // the ones after it are done again here, in order, with the delta the lines above
    // leave.
    const int parts = partsOf(lines, cores);
    std::vector<std::size_t> deltaAfter(std::size_t(parts), 0);
    auto firstLine = [&](int part) { return part * lines / parts; };
    HelperThread::shareOut(parts, [&](int part) {
        deltaAfter[std::size_t(part)] = work.run(firstLine(part), firstLine(part + 1), 0);
    });
    std::size_t delta = 0;
    for (int part = 0; part < parts; ++part)
        delta = delta == 0 ? deltaAfter[std::size_t(part)]
                           : work.run(firstLine(part), firstLine(part + 1), delta);
    return true;
}

void pixelsToDevice(const std::uint8_t *bgra, std::size_t n, std::uint8_t *device,
                    const LevelLimits &limits, SimdLevel level)
{
    kernels(level).pixelsToDevice(bgra, n, device, toDeviceConstants(limits));
}

void pixelsFromDevice(const std::uint8_t *device, std::size_t n, std::uint8_t *bgra,
                      std::uint8_t *outliers, const LevelLimits &limits, SimdLevel level)
{
    kernels(level).pixelsFromDevice(device, n, bgra, outliers, fromDeviceConstants(limits));
}

} // namespace DeviceConvertFast
