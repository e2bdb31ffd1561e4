#include "imaging/Bitmap.h"

#include <algorithm>
#include <cstring>

namespace {

bool validDepth(int bitsPerPixel)
{
    return bitsPerPixel == 24 || bitsPerPixel == 32;
}

// Clips the half-open span [start, start + length) to [0, limit); false when nothing is left.
bool clipSpan(std::int64_t start, std::int64_t length, int limit, int &from, int &to)
{
    if (length <= 0)
        return false;
    const std::int64_t lo = std::max<std::int64_t>(start, 0);
    const std::int64_t hi = std::min<std::int64_t>(start + length, limit);
    if (lo >= hi)
        return false;
    from = int(lo);
    to = int(hi);
    return true;
}

// Copies one pixel between depths: alpha is dropped when narrowing and set to 255 when widening.
inline void copyPixel(std::uint8_t *dst, int dstBytes, const std::uint8_t *src, int srcBytes)
{
    dst[0] = src[0];
    dst[1] = src[1];
    dst[2] = src[2];
    if (dstBytes == 4)
        dst[3] = srcBytes == 4 ? src[3] : 255;
}

// Bilinear sampling positions along one axis in 16.16 fixed point, pixel centres aligned,
// so that resampling to the same size reproduces the picture exactly.
struct Tap
{
    int first;
    int second;
    std::int64_t weight; // weight of `second`, 0..65535
};

std::vector<Tap> bilinearTaps(int sourceSize, int targetSize)
{
    std::vector<Tap> taps(static_cast<std::size_t>(targetSize));
    for (int i = 0; i < targetSize; ++i) {
        std::int64_t pos =
            ((2 * std::int64_t(i) + 1) * sourceSize * 65536) / (2 * std::int64_t(targetSize)) -
            32768;
        pos = std::max<std::int64_t>(pos, 0);
        int first = int(pos >> 16);
        std::int64_t weight = pos & 0xFFFF;
        if (first >= sourceSize - 1) {
            first = sourceSize - 1;
            weight = 0;
        }
        taps[std::size_t(i)] = {first, std::min(first + 1, sourceSize - 1), weight};
    }
    return taps;
}

} // namespace

Bitmap::Bitmap(int width, int height, int bitsPerPixel)
{
    if (width <= 0 || height <= 0 || !validDepth(bitsPerPixel) ||
        std::int64_t(width) * height > maxPixels())
        return;
    m_width = width;
    m_height = height;
    m_bitsPerPixel = bitsPerPixel;
    m_data.assign(std::size_t(width) * std::size_t(height) * std::size_t(bitsPerPixel / 8), 0);
}

bool Bitmap::putRow(int y, const std::uint8_t *buffer, int bytes)
{
    if (!hasRow(y) || buffer == nullptr || bytes != bytesPerLine())
        return false;
    std::memcpy(row(y), buffer, std::size_t(bytes));
    return true;
}

Bitmap Bitmap::converted(int bitsPerPixel) const
{
    if (isNull() || !validDepth(bitsPerPixel))
        return {};
    if (bitsPerPixel == m_bitsPerPixel)
        return *this;
    Bitmap out(m_width, m_height, bitsPerPixel);
    const int srcBytes = bytesPerPixel();
    const int dstBytes = out.bytesPerPixel();
    const std::size_t count = std::size_t(m_width) * std::size_t(m_height);
    const std::uint8_t *src = bits();
    std::uint8_t *dst = out.bits();
    for (std::size_t i = 0; i < count; ++i, src += srcBytes, dst += dstBytes)
        copyPixel(dst, dstBytes, src, srcBytes);
    return out;
}

Bitmap Bitmap::resampled(int w, int h) const
{
    if (isNull())
        return {};
    Bitmap out(w, h, m_bitsPerPixel);
    if (out.isNull())
        return {};
    const std::vector<Tap> xs = bilinearTaps(m_width, w);
    const std::vector<Tap> ys = bilinearTaps(m_height, h);
    const int channels = bytesPerPixel();
    for (int y = 0; y < h; ++y) {
        const Tap &ty = ys[std::size_t(y)];
        const std::uint8_t *upper = row(ty.first);
        const std::uint8_t *lower = row(ty.second);
        std::uint8_t *dst = out.row(y);
        for (int x = 0; x < w; ++x) {
            const Tap &tx = xs[std::size_t(x)];
            const std::uint8_t *a = upper + std::size_t(tx.first) * channels;
            const std::uint8_t *b = upper + std::size_t(tx.second) * channels;
            const std::uint8_t *c = lower + std::size_t(tx.first) * channels;
            const std::uint8_t *d = lower + std::size_t(tx.second) * channels;
            for (int ch = 0; ch < channels; ++ch) {
                const std::int64_t top = a[ch] * (65536 - tx.weight) + b[ch] * tx.weight;
                const std::int64_t bottom = c[ch] * (65536 - tx.weight) + d[ch] * tx.weight;
                const std::int64_t value =
                    (top * (65536 - ty.weight) + bottom * ty.weight + (std::int64_t(1) << 31)) >>
                    32;
                dst[ch] = std::uint8_t(std::clamp<std::int64_t>(value, 0, 255));
            }
            dst += channels;
        }
    }
    return out;
}

void Bitmap::fill(int x, int y, int w, int h, std::uint32_t rgb)
{
    int x0, x1, y0, y1;
    if (isNull() || !clipSpan(x, w, m_width, x0, x1) || !clipSpan(y, h, m_height, y0, y1))
        return;
    const std::uint8_t pixel[4] = {std::uint8_t(rgb), std::uint8_t(rgb >> 8),
                                   std::uint8_t(rgb >> 16), 255};
    const int channels = bytesPerPixel();
    for (int r = y0; r < y1; ++r) {
        std::uint8_t *dst = row(r) + std::size_t(x0) * channels;
        for (int c = x0; c < x1; ++c, dst += channels)
            std::memcpy(dst, pixel, std::size_t(channels));
    }
}

void Bitmap::paint(const Bitmap &source, int left, int top, int right, int bottom)
{
    if (&source == this) {
        const Bitmap copy = source;
        paint(copy, left, top, right, bottom);
        return;
    }
    const std::int64_t targetWidth = std::int64_t(right) - left;
    const std::int64_t targetHeight = std::int64_t(bottom) - top;
    int x0, x1, y0, y1;
    if (isNull() || source.isNull() || !clipSpan(left, targetWidth, m_width, x0, x1) ||
        !clipSpan(top, targetHeight, m_height, y0, y1))
        return;
    // Nearest source pixel for each target pixel centre: a plain copy when the sizes agree.
    std::vector<int> columns(static_cast<std::size_t>(x1 - x0));
    for (int x = x0; x < x1; ++x)
        columns[std::size_t(x - x0)] =
            int(((2 * (std::int64_t(x) - left) + 1) * source.width()) / (2 * targetWidth));
    const int srcBytes = source.bytesPerPixel();
    const int dstBytes = bytesPerPixel();
    for (int y = y0; y < y1; ++y) {
        const int sy =
            int(((2 * (std::int64_t(y) - top) + 1) * source.height()) / (2 * targetHeight));
        const std::uint8_t *src = source.row(sy);
        std::uint8_t *dst = row(y) + std::size_t(x0) * dstBytes;
        for (int x = x0; x < x1; ++x, dst += dstBytes)
            copyPixel(dst, dstBytes, src + std::size_t(columns[std::size_t(x - x0)]) * srcBytes,
                      srcBytes);
    }
}
