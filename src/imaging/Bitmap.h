#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A picture held in memory: 24-bit (blue, green, red) or 32-bit (blue, green,
// red, alpha) pixels, rows stored top-down with no padding between them.
// Plain value type; copying it copies the pixels.
class Bitmap
{
public:
    Bitmap() = default;
    // An all-zero picture; an invalid (null) one when a side is not positive,
    // the depth is not 24 or 32, or the size exceeds maxPixels().
    Bitmap(int width, int height, int bitsPerPixel);

    static constexpr std::int64_t maxPixels() { return 16384LL * 16384LL; }

    bool isNull() const { return m_width <= 0 || m_height <= 0; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    int bitsPerPixel() const { return m_bitsPerPixel; }
    int bytesPerPixel() const { return m_bitsPerPixel / 8; }
    int bytesPerLine() const { return m_width * bytesPerPixel(); }
    std::size_t sizeInBytes() const { return m_data.size(); }

    // Direct access to one row; nullptr when y is outside the picture.
    std::uint8_t *row(int y) { return hasRow(y) ? m_data.data() + rowOffset(y) : nullptr; }
    const std::uint8_t *row(int y) const
    {
        return hasRow(y) ? m_data.data() + rowOffset(y) : nullptr;
    }
    std::uint8_t *bits() { return m_data.data(); }
    const std::uint8_t *bits() const { return m_data.data(); }

    // Copies a row in; false when y is outside the picture or the size differs.
    bool putRow(int y, const std::uint8_t *buffer, int bytes);

    // The same picture at another depth (alpha 255 when widening, dropped when narrowing).
    Bitmap converted(int bitsPerPixel) const;
    // Resampled to w x h with bilinear filtering; null for a non-positive size.
    Bitmap resampled(int w, int h) const;
    // Fills the rectangle (clipped) with 0x00RRGGBB, alpha 255 for 32-bit pictures.
    void fill(int x, int y, int w, int h, std::uint32_t rgb);
    // Draws source stretched into the rectangle [left, right) x [top, bottom), clipped to this
    // picture.
    void paint(const Bitmap &source, int left, int top, int right, int bottom);

    bool operator==(const Bitmap &other) const = default;

private:
    bool hasRow(int y) const { return y >= 0 && y < m_height; }
    std::size_t rowOffset(int y) const { return std::size_t(y) * std::size_t(bytesPerLine()); }

    int m_width = 0;
    int m_height = 0;
    int m_bitsPerPixel = 32;
    std::vector<std::uint8_t> m_data;
};
