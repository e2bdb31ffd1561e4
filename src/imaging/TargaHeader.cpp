#include "imaging/TargaHeader.h"

#include <QFile>
#include <QtEndian>

namespace {

int le16(const std::uint8_t *p)
{
    return qFromLittleEndian<quint16>(p);
}

} // namespace

std::optional<TargaHeader> TargaHeader::parse(const std::uint8_t *data, std::size_t size)
{
    if (data == nullptr || size < std::size_t(Size))
        return std::nullopt;
    TargaHeader h;
    h.idLength = data[0];
    h.colorMapType = data[1];
    h.imageType = data[2];
    h.colorMapFirst = le16(data + 3);
    h.colorMapLength = le16(data + 5);
    h.colorMapEntryBits = data[7];
    h.originX = le16(data + 8);
    h.originY = le16(data + 10);
    h.width = le16(data + 12);
    h.height = le16(data + 14);
    h.bitsPerPixel = data[16];
    h.descriptor = data[17];
    return h;
}

std::optional<TargaHeader> TargaHeader::read(const QString &path, std::int64_t *fileSize)
{
    QFile file(path);
    // Only the header is wanted: an unbuffered read fetches 18 bytes, not a whole buffer.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return std::nullopt;
    std::uint8_t bytes[Size];
    if (file.read(reinterpret_cast<char *>(bytes), Size) != Size)
        return std::nullopt;
    if (fileSize)
        *fileSize = file.size();
    return parse(bytes, Size);
}

std::optional<ImageInfo> TargaHeader::plainInfo(std::int64_t fileSize) const
{
    const bool raw = imageType == 2;
    const bool rle = imageType == 10;
    if (colorMapType != 0 || colorMapLength != 0 || (!raw && !rle))
        return std::nullopt;
    if (bitsPerPixel == 24 ? alphaBits() != 0
                           : bitsPerPixel != 32 || (alphaBits() != 0 && alphaBits() != 8))
        return std::nullopt;
    // Interleaved storage (bits 6 and 7) is long obsolete; let the library decide.
    if ((descriptor & 0xC0) != 0 || width <= 0 || height <= 0)
        return std::nullopt;
    const std::int64_t dataStart = Size + idLength;
    const std::int64_t rawBytes = std::int64_t(width) * height * (bitsPerPixel / 8);
    // Raw data must be complete; coded data at least begun (its length is only known by decoding).
    if (raw ? fileSize < dataStart + rawBytes : fileSize <= dataStart)
        return std::nullopt;
    return ImageInfo{width, height, bitsPerPixel};
}
