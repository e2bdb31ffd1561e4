#include "imaging/DeviceConvertFast.h"

#include "imaging/DeviceConvertReference.h"

#include <QLoggingCategory>
#include <QtGlobal>
#include <algorithm>
#include <cstring>

Q_LOGGING_CATEGORY(lcDeviceConvert, "titledeck.imaging.deviceconvert", QtWarningMsg)

// Built with -ffp-contract=off, like the reference: the tables below hold the
// reference's own positions, fractions and weights.

namespace DeviceConvertFast {

using namespace DevicePicture;

bool isSupported(SimdLevel level)
{
    switch (level) {
    case SimdLevel::None:
        return true;
#ifdef TD_CONVERT_VECTORS
    case SimdLevel::Sse2:
        return true;
    case SimdLevel::Avx2:
#ifdef TD_CONVERT_AVX2
        return __builtin_cpu_supports("avx2");
#else
        return false;
#endif
#else
    case SimdLevel::Sse2:
    case SimdLevel::Avx2:
        return false;
#endif
    }
    return false;
}

const char *levelName(SimdLevel level)
{
    switch (level) {
    case SimdLevel::None:
        return "reference";
    case SimdLevel::Sse2:
        return "SSE2";
    case SimdLevel::Avx2:
        return "AVX2";
    }
    return "?";
}

SimdLevel bestLevel()
{
    static const SimdLevel level = [] {
        SimdLevel best = SimdLevel::None;
        for (SimdLevel l : {SimdLevel::Sse2, SimdLevel::Avx2})
            if (isSupported(l))
                best = l;
        if (best == SimdLevel::Avx2 && qgetenv("TITLEDECK_SIMD").toLower() == "sse2")
            best = SimdLevel::Sse2;
        qCDebug(lcDeviceConvert) << "picture conversion kernels:" << levelName(best);
        return best;
    }();
    return level;
}

namespace {

void referencePixelsToDevice(const std::uint8_t *bgra, std::size_t n, std::uint8_t *device,
                             const LevelLimits &limits)
{
    for (std::size_t i = 0; i < n; ++i, bgra += 4, device += 4) {
        const DeviceConvertReference::YCbCr p =
            DeviceConvertReference::convertPixelToDevice(bgra[2], bgra[1], bgra[0], limits);
        device[0] = p.y;
        device[1] = bgra[3];
        device[2] = p.cb;
        device[3] = p.cr;
    }
}

void referencePixelsFromDevice(const std::uint8_t *device, std::size_t n, std::uint8_t *bgra,
                               std::uint8_t *outliers, const LevelLimits &limits)
{
    for (std::size_t i = 0; i < n; ++i, bgra += 4, device += 4) {
        const DeviceConvertReference::RgbOutliers p =
            DeviceConvertReference::convertPixelFromDevice(device[0], device[2], device[3], limits);
        bgra[0] = p.b;
        bgra[1] = p.g;
        bgra[2] = p.r;
        bgra[3] = device[1];
        outliers[i] = std::uint8_t(p.outliers);
    }
}

} // namespace

} // namespace DeviceConvertFast

namespace DeviceConvertFast {

using namespace DevicePicture;
using DeviceConvertKernels::Kernels;
using DeviceConvertKernels::RowTable;

namespace {

// The kernels of a level; null for the reference.
const Kernels *kernelsFor(SimdLevel level)
{
    if (level == SimdLevel::None || !isSupported(level))
        return nullptr;
#ifdef TD_CONVERT_VECTORS
#ifdef TD_CONVERT_AVX2
    if (level == SimdLevel::Avx2)
        return &DeviceConvertKernels::avx2Kernels();
#endif
    return &DeviceConvertKernels::sse2Kernels();
#else
    return nullptr;
#endif
}

// Resampling positions of every output column, grouped in blocks of the
// kernel's width, with the weights that make "take the pixel as it is" the
// same operation as interpolation (weights 1 and 0).
class ResampleTable
{
public:
    ResampleTable(int inWidth, int outWidth, int blockWidth)
    {
        const float ratio = float(outWidth) / float(inWidth);
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
                m_maxRel = std::max(m_maxRel, m_rel1[x]);
            }
        }
        m_outWidth = outWidth;
    }

    RowTable view() const
    {
        return {m_base.data(), m_rel0.data(), m_rel1.data(), m_w0.data(), m_w1.data(), m_outWidth};
    }
    // Whether the kernels' reads from each block's base cover every column's pixels: the
    // furthest (counted from its base) and the one after it.
    bool fits(const Kernels &k) const { return m_maxRel + 1 < k.reach; }
    int lastBase() const { return m_lastBase; }

private:
    std::vector<std::int32_t> m_base, m_rel0, m_rel1;
    std::vector<float> m_w0, m_w1;
    int m_outWidth = 0;
    int m_maxRel = 0;
    int m_lastBase = 0;
};

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

} // namespace

std::size_t imageToDevice(const Bitmap &picture, int width, int height, bool isTitle, bool isPal,
                          bool keyFromAlpha, const LevelLimits &limits, std::uint8_t *out,
                          std::size_t outSize, SimdLevel level)
{
    UploadGeometry g;
    if (picture.isNull() || !out ||
        !uploadGeometry(picture.width(), picture.height(), width, height, isPal, g) ||
        outSize < g.bufferSize)
        return 0;
    const Kernels *k = kernelsFor(level);
    const ResampleTable table(g.width, g.outWidth, k ? k->blockWidth : 1);
    // The blocks of a picture only a few pixels wide may reach further than the kernels
    // read: the reference converts those.
    if (!k || !table.fits(*k)) {
        const std::vector<std::uint8_t> frame = DeviceConvertReference::imageToDevice(
            picture, width, height, isTitle, isPal, keyFromAlpha, limits);
        if (frame.size() != g.bufferSize)
            return 0;
        std::memcpy(out, frame.data(), frame.size());
        return frame.size();
    }
    Bitmap widened;
    const Bitmap *source = &picture;
    if (picture.bitsPerPixel() != 32) {
        widened = picture.converted(32);
        if (widened.isNull())
            return 0;
        source = &widened;
    }
    const RowTable view = table.view();
    const DeviceConvertKernels::ToDeviceConstants constants = toDeviceConstants(limits);

    // A block reads `reach` pixels from its base. Rows whose last block would read
    // past the end of the picture's memory go through a padded copy.
    const std::size_t reachEnd = std::size_t(table.lastBase()) + std::size_t(k->reach);
    const std::size_t totalPixels = std::size_t(source->width()) * std::size_t(source->height());
    const std::size_t paddedPixels = std::max(reachEnd, std::size_t(g.width));
    const bool exchange = !isTitle && isPal;
    const std::size_t lineBytes = std::size_t(g.outWidth) * 4;

    // A picture is at most 768 pixels wide here (uploadGeometry cuts it to the format),
    // and a block reads at most `reach` (16) pixels from a base inside the picture.
    constexpr std::size_t PaddedRoom = 768 + 64;
    if (paddedPixels > PaddedRoom)
        return 0;
    alignas(64) std::uint8_t padded[PaddedRoom * 4];
    for (int r = 0; r < g.height; ++r) {
        const int sourceLine = pairedLine(r, g.height, exchange);
        const std::uint8_t *row = source->row(sourceLine);
        if (std::size_t(sourceLine) * std::size_t(source->width()) + reachEnd > totalPixels) {
            std::memset(padded, 0, paddedPixels * 4);
            std::memcpy(padded, row, std::size_t(g.width) * 4);
            row = padded;
        }
        k->toDeviceRow(row, view, out + std::size_t(r) * lineBytes, keyFromAlpha, constants);
    }
    const std::size_t written = lineBytes * std::size_t(g.height);
    std::memset(out + written, 0, g.bufferSize - written);
    std::memcpy(out, UploadMarker, 4);
    return g.bufferSize;
}

std::vector<std::uint8_t> imageToDevice(const Bitmap &picture, int width, int height, bool isTitle,
                                        bool isPal, bool keyFromAlpha, const LevelLimits &limits,
                                        SimdLevel level)
{
    UploadGeometry g;
    if (picture.isNull() ||
        !uploadGeometry(picture.width(), picture.height(), width, height, isPal, g))
        return {};
    std::vector<std::uint8_t> out(g.bufferSize);
    if (imageToDevice(picture, width, height, isTitle, isPal, keyFromAlpha, limits, out.data(),
                      out.size(), level) == 0)
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

    void run() const
    {
        Buffers b;
        std::size_t delta = 0;
        for (int r = 0; r < m_lines; ++r) {
            convert(r, delta, b);
            if (r > 0)
                finish(r - 1, b.converted[(r - 1) & 1], b.converted[r & 1]);
        }
        finish(m_lines - 1, b.converted[(m_lines - 1) & 1], nullptr);
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
                     SimdLevel level)
{
    if (lines < 1 || !buffer || size / LineBytes < std::size_t(lines))
        return false;
    const Kernels *k = kernelsFor(level);
    if (!k) {
        picture = DeviceConvertReference::deviceToPicture(buffer, size, lines, isTitle, isPal,
                                                          keepKey, limits);
        return !picture.isNull();
    }
    const int outWidth = FormatFigures::of(isPal).rebuiltWidth;
    const int depth = keepKey ? 32 : 24;
    if (picture.width() != outWidth || picture.height() != lines ||
        picture.bitsPerPixel() != depth) {
        picture = Bitmap(outWidth, lines, depth);
        if (picture.isNull())
            return false;
    }

    const ResampleTable table(RebuiltWidth, outWidth, k->blockWidth);
    Q_ASSERT(table.fits(*k));
    Q_ASSERT(std::size_t(2 + 719 + k->reach) <= ConvertedPixels);
    const RowTable view = table.view();
    const DeviceConvertKernels::FromDeviceConstants constants = fromDeviceConstants(limits);

    const std::size_t frameBytes = std::size_t(lines) * LineBytes;
    std::uint32_t marker;
    std::memcpy(&marker, ReadBackMarker, 4);
    const std::ptrdiff_t start = k->findWord(buffer, std::size_t(lines) * LineWidth, marker);
    const ReadBackFrame frame(buffer, frameBytes, start > 0 ? std::size_t(start) * 4 : 0);
    ReadBackLines(*k, view, constants, frame, lines, keepKey, !isTitle && isPal, picture).run();
    return true;
}

void pixelsToDevice(const std::uint8_t *bgra, std::size_t n, std::uint8_t *device,
                    const LevelLimits &limits, SimdLevel level)
{
    const Kernels *k = kernelsFor(level);
    if (!k)
        return referencePixelsToDevice(bgra, n, device, limits);
    k->pixelsToDevice(bgra, n, device, toDeviceConstants(limits));
}

void pixelsFromDevice(const std::uint8_t *device, std::size_t n, std::uint8_t *bgra,
                      std::uint8_t *outliers, const LevelLimits &limits, SimdLevel level)
{
    const Kernels *k = kernelsFor(level);
    if (!k)
        return referencePixelsFromDevice(device, n, bgra, outliers, limits);
    k->pixelsFromDevice(device, n, bgra, outliers, fromDeviceConstants(limits));
}

} // namespace DeviceConvertFast
