#include "imaging/TiffDirectory.h"

#include <QFile>
#include <QtEndian>

namespace {

constexpr int TagWidth = 256;
constexpr int TagHeight = 257;
constexpr int TagBitsPerSample = 258;
constexpr int TagPhotometric = 262;
constexpr int TagSamplesPerPixel = 277;
constexpr int PhotometricPalette = 3;
constexpr int TypeShort = 3;
constexpr int TypeLong = 4;

class Reader
{
public:
    Reader(QIODevice &file, bool bigEndian) : m_file(file), m_bigEndian(bigEndian) {}

    bool seek(std::uint32_t offset) { return offset < m_file.size() && m_file.seek(offset); }
    bool u16(std::uint32_t &value) { return number<quint16>(value); }
    bool u32(std::uint32_t &value) { return number<quint32>(value); }

private:
    // A number in the byte order the file names in its first two bytes.
    template<typename T> bool number(std::uint32_t &value)
    {
        uchar b[sizeof(T)];
        if (m_file.read(reinterpret_cast<char *>(b), sizeof(T)) != qint64(sizeof(T)))
            return false;
        value = m_bigEndian ? qFromBigEndian<T>(b) : qFromLittleEndian<T>(b);
        return true;
    }

    QIODevice &m_file;
    bool m_bigEndian;
};

} // namespace

std::optional<TiffDirectory> TiffDirectory::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return read(file);
}

std::optional<TiffDirectory> TiffDirectory::read(QIODevice &file)
{
    const QByteArray order = file.read(2);
    if (order != "II" && order != "MM")
        return std::nullopt;
    Reader in(file, order == "MM");
    std::uint32_t magic = 0;
    std::uint32_t first = 0;
    std::uint32_t entries = 0;
    if (!in.u16(magic) || magic != 42 || !in.u32(first) || !in.seek(first) || !in.u16(entries))
        return std::nullopt;
    TiffDirectory dir;
    // Entries are 12 bytes: tag, type, count, and the value itself when it fits in 4 bytes.
    for (std::uint32_t i = 0; i < entries && i < 4096; ++i) {
        std::uint32_t tag = 0, type = 0, count = 0, value = 0;
        if (!in.seek(first + 2 + i * 12) || !in.u16(tag) || !in.u16(type) || !in.u32(count))
            return std::nullopt;
        if (type == TypeShort && count <= 2) {
            if (!in.u16(value))
                return std::nullopt;
        } else if (type == TypeLong && count == 1) {
            if (!in.u32(value))
                return std::nullopt;
        } else if (type == TypeShort && tag == TagBitsPerSample) {
            // One value per sample, kept elsewhere; the first stands for all.
            std::uint32_t offset = 0;
            if (!in.u32(offset) || !in.seek(offset) || !in.u16(value))
                return std::nullopt;
        } else {
            continue;
        }
        switch (tag) {
        case TagWidth:
            dir.width = int(std::min<std::uint32_t>(value, 0x7FFFFFFF));
            break;
        case TagHeight:
            dir.height = int(std::min<std::uint32_t>(value, 0x7FFFFFFF));
            break;
        case TagBitsPerSample:
            dir.bitsPerSample = int(value);
            break;
        case TagPhotometric:
            dir.photometric = int(value);
            break;
        case TagSamplesPerPixel:
            dir.samplesPerPixel = int(value);
            break;
        default:
            break;
        }
    }
    if (dir.width <= 0 || dir.height <= 0 || dir.samplesPerPixel < 1 || dir.samplesPerPixel > 16 ||
        dir.bitsPerSample < 1 || dir.bitsPerSample > 64)
        return std::nullopt;
    return dir;
}

int TiffDirectory::bitsPerPixel() const
{
    return photometric == PhotometricPalette ? bitsPerSample : bitsPerSample * samplesPerPixel;
}
