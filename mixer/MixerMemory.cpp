#include "mixer/MixerMemory.h"

#include <QtEndian>
#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

// A 16-bit field of a stored 40-byte title header; 0 when the header is shorter.
int headerWord(const QByteArray &header, int offset)
{
    if (offset < 0 || offset + 1 >= header.size())
        return 0;
    return qFromLittleEndian<quint16>(header.constData() + offset);
}

void fillBlank(char *dst, qsizetype pixels)
{
    for (qsizetype i = 0; i < pixels; ++i)
        std::memcpy(dst + i * 4, MixerMemory::BlankPixel.data(), 4);
}

} // namespace

MixerMemory::MixerMemory(std::uint32_t deviceWordSeed) : m_rows(MaxRows)
{
    if (deviceWordSeed == 0) {
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        deviceWordSeed = std::uint32_t(ticks) ^ std::uint32_t(std::uint64_t(ticks) >> 32);
    }
    m_wordState = deviceWordSeed ? deviceWordSeed : 0x6B8B4567u;
}

void MixerMemory::setSignal(std::uint8_t signal)
{
    m_signal = signal == 1 ? 1 : 0;
    m_titleRows = std::min(m_titleRows, rowCount());
}

void MixerMemory::setTitleRows(int rows)
{
    m_titleRows = std::clamp(rows, 0, rowCount());
}

std::uint32_t MixerMemory::nextDeviceWord()
{
    // xorshift32: never yields 0 from a non-zero state. A word still held by a
    // stored item is skipped so that the host can tell two allocations apart.
    while (true) {
        std::uint32_t x = m_wordState;
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        m_wordState = x;
        const bool inUse = std::any_of(m_items.cbegin(), m_items.cend(),
                                       [x](const Item &item) { return item.info.deviceWord == x; });
        if (!inUse)
            return x;
    }
}

std::uint16_t MixerMemory::freeNumber(std::uint16_t first, std::uint16_t last) const
{
    for (std::uint32_t n = first; n <= last; ++n) {
        if (!m_items.contains(std::uint16_t(n)))
            return std::uint16_t(n);
    }
    return MemoryNo::NotStored;
}

std::uint16_t MixerMemory::allocateTitle(int blocksPerFrame, int frameCount, bool isProtected)
{
    const int b = blocksPerFrame;
    if ((b != 1 && b != 2 && b != 4 && b != 8) || frameCount < 1)
        return MemoryNo::NotStored;
    const std::uint16_t number = freeNumber(0, MemoryNo::FirstClip - 1);
    if (number == MemoryNo::NotStored)
        return MemoryNo::NotStored;

    // The same scan as the host's free-memory check: runs of b empty blocks
    // inside one title row, never across rows.
    QList<MixerFramePlace> places;
    for (int r = 0; r < m_titleRows && places.size() < frameCount; ++r) {
        int p = 0;
        while (BlocksPerRow - p >= b && places.size() < frameCount) {
            int firstUsed = -1;
            for (int k = p; k < p + b; ++k) {
                if (m_blocks[r * BlocksPerRow + k].usage != BlockUsage::Empty) {
                    firstUsed = k;
                    break;
                }
            }
            if (firstUsed < 0) {
                places.append({r, p});
                p += b;
            } else {
                p = firstUsed + 1;
            }
        }
    }
    if (places.size() < frameCount)
        return MemoryNo::NotStored;

    Item item;
    item.info.memoryNo = number;
    item.info.isProtected = isProtected;
    item.info.blocksPerFrame = b;
    item.info.frameCount = frameCount;
    item.info.places = places;
    return addItem(std::move(item));
}

std::uint16_t MixerMemory::allocateClip(int frameCount)
{
    if (frameCount < 1)
        return MemoryNo::NotStored;
    const std::uint16_t number = freeNumber(MemoryNo::FirstClip, MemoryNo::LastClip);
    if (number == MemoryNo::NotStored)
        return MemoryNo::NotStored;
    QList<MixerFramePlace> places;
    for (int r = m_titleRows; r < rowCount() && places.size() < frameCount; ++r) {
        bool empty = true;
        for (int k = 0; k < BlocksPerRow; ++k)
            empty = empty && m_blocks[r * BlocksPerRow + k].usage == BlockUsage::Empty;
        if (empty)
            places.append({r, 0});
    }
    if (places.size() < frameCount)
        return MemoryNo::NotStored;
    Item item;
    item.info.memoryNo = number;
    item.info.clip = true;
    item.info.blocksPerFrame = BlocksPerRow;
    item.info.frameCount = frameCount;
    item.info.places = places;
    return addItem(std::move(item));
}

std::uint16_t MixerMemory::addItem(Item item)
{
    item.info.deviceWord = nextDeviceWord();
    const std::uint16_t number = item.info.memoryNo;
    const BlockUsage usage = item.info.clip          ? BlockUsage::UsedIntVideo
                             : item.info.isProtected ? BlockUsage::KeptTitle
                                                     : BlockUsage::UsedTitle;
    for (const MixerFramePlace &place : item.info.places) {
        for (int k = 0; k < item.info.blocksPerFrame; ++k)
            m_blocks[place.row * BlocksPerRow + place.block + k] = {usage, number};
    }
    // Until the host writes its header, the record tells what the mixer knows.
    QByteArray header(HeaderSize, '\0');
    auto *h = reinterpret_cast<uchar *>(header.data());
    qToLittleEndian<quint16>(number, h);
    h[2] = item.info.isProtected ? 0x80 : 0x00;
    h[4] = uchar(item.info.blocksPerFrame);
    qToLittleEndian<quint16>(quint16(item.info.frameCount), h + 6);
    qToLittleEndian<quint32>(item.info.deviceWord, h + 36);
    item.header = header;
    m_items.insert(number, std::move(item));
    return number;
}

std::optional<MixerItemInfo> MixerMemory::info(std::uint16_t memoryNo) const
{
    const auto it = m_items.constFind(memoryNo);
    if (it == m_items.cend())
        return std::nullopt;
    return it->info;
}

void MixerMemory::removeItem(std::uint16_t memoryNo)
{
    const auto it = m_items.find(memoryNo);
    if (it == m_items.end())
        return;
    for (const MixerFramePlace &place : it->info.places) {
        for (int k = 0; k < it->info.blocksPerFrame; ++k)
            m_blocks[place.row * BlocksPerRow + place.block + k] = {};
    }
    m_items.erase(it);
    // Drop the pixels of rows that no longer hold anything.
    for (int r = 0; r < MaxRows; ++r) {
        bool used = false;
        for (int k = 0; k < BlocksPerRow; ++k)
            used = used || m_blocks[r * BlocksPerRow + k].usage != BlockUsage::Empty;
        if (!used)
            m_rows[r] = QByteArray();
    }
}

void MixerMemory::clear(std::uint16_t memoryNo)
{
    removeItem(memoryNo);
}

void MixerMemory::clearIntVideo()
{
    const QList<std::uint16_t> numbers = m_items.keys();
    for (std::uint16_t n : numbers) {
        if (m_items.value(n).info.clip)
            removeItem(n);
    }
}

void MixerMemory::clearAll()
{
    m_items.clear();
    m_blocks.fill({});
    for (QByteArray &row : m_rows)
        row = QByteArray();
}

bool MixerMemory::setProtected(std::uint16_t memoryNo, bool isProtected)
{
    const auto it = m_items.find(memoryNo);
    if (it == m_items.end() || it->info.clip)
        return false;
    it->info.isProtected = isProtected;
    const BlockUsage usage = isProtected ? BlockUsage::KeptTitle : BlockUsage::UsedTitle;
    for (const MixerFramePlace &place : it->info.places) {
        for (int k = 0; k < it->info.blocksPerFrame; ++k)
            m_blocks[place.row * BlocksPerRow + place.block + k].usage = usage;
    }
    auto *h = reinterpret_cast<uchar *>(it->header.data());
    h[2] = uchar((h[2] & 0x7F) | (isProtected ? 0x80 : 0x00));
    return true;
}

std::optional<QByteArray> MixerMemory::header(std::uint16_t memoryNo) const
{
    const auto it = m_items.constFind(memoryNo);
    if (it == m_items.cend())
        return std::nullopt;
    return it->header;
}

bool MixerMemory::writeHeader(std::uint16_t memoryNo, const QByteArray &bytes)
{
    const auto it = m_items.find(memoryNo);
    if (it == m_items.end() || bytes.size() != HeaderSize)
        return false;
    QByteArray header = bytes;
    auto *h = reinterpret_cast<uchar *>(header.data());
    qToLittleEndian<quint16>(memoryNo, h);
    h[2] = uchar((h[2] & 0x7F) | (it->info.isProtected ? 0x80 : 0x00));
    qToLittleEndian<quint32>(it->info.deviceWord, h + 36);
    it->header = header;
    it->info.headerWritten = true;
    return true;
}

MemoryMapRecord MixerMemory::block(int row, int blockIndex) const
{
    if (row < 0 || row >= MaxRows || blockIndex < 0 || blockIndex >= BlocksPerRow)
        return {};
    return m_blocks[row * BlocksPerRow + blockIndex];
}

QByteArray MixerMemory::mapBlock(std::uint8_t aspect, bool badMagic) const
{
    QByteArray map(MapBlockSize, '\0');
    auto *m = reinterpret_cast<uchar *>(map.data());
    const uchar magic[4] = {0xFE, 0xFF, 0xFC, 0xFD};
    std::memcpy(m, magic, 4);
    if (badMagic)
        m[3] = 0x00;
    m[4] = m_signal;
    m[5] = aspect;
    m[6] = uchar(m_titleRows);
    for (int k = 0; k < MaxRows * BlocksPerRow; ++k) {
        uchar *rec = m + 8 + k * 4;
        rec[0] = uchar(m_blocks[k].usage);
        qToLittleEndian<quint16>(m_blocks[k].memoryNo, rec + 2);
    }
    return map;
}

int MixerMemory::deviceWidth(int width) const
{
    // 640 square pixels span 720 device pixels in NTSC, 768 in PAL.
    const int w = m_signal == 1 ? width * 15 / 16 : width * 9 / 8;
    return std::clamp(w, 0, LinePixels);
}

int MixerMemory::frameLineCount(const Item &item) const
{
    const int capacity = item.info.blocksPerFrame * bandLines();
    if (!item.info.headerWritten)
        return capacity;
    const int height = headerWord(item.header, 34);
    return std::clamp(height, 0, capacity);
}

const MixerMemory::Item *MixerMemory::find(std::uint16_t memoryNo, int frame) const
{
    const auto it = m_items.constFind(memoryNo);
    if (it == m_items.cend() || frame < 0 || frame >= it->info.places.size())
        return nullptr;
    return &*it;
}

std::optional<qsizetype> MixerMemory::frameWriteSize(std::uint16_t memoryNo, int frame) const
{
    const Item *item = find(memoryNo, frame);
    if (!item || !item->info.headerWritten)
        return std::nullopt;
    const int width = headerWord(item->header, 32);
    const int height = headerWord(item->header, 34);
    const int outW = deviceWidth(width);
    if (outW <= 0 || height <= 0)
        return std::nullopt;
    return roundUp512(qsizetype(outW) * 4 * height);
}

QByteArray &MixerMemory::rowPixels(int row)
{
    QByteArray &pixels = m_rows[row];
    // Room for the taller PAL row whatever the format: a format change clears
    // the memory anyway.
    constexpr qsizetype size = RowBytes;
    if (pixels.size() != size) {
        pixels = QByteArray(size, Qt::Uninitialized);
        fillBlank(pixels.data(), size / 4);
    }
    return pixels;
}

bool MixerMemory::storeFrame(std::uint16_t memoryNo, int frame, const QByteArray &bytes)
{
    const Item *item = find(memoryNo, frame);
    const std::optional<qsizetype> size = frameWriteSize(memoryNo, frame);
    if (!item || !size || bytes.size() < *size)
        return false;
    const int width = headerWord(item->header, 32);
    const int outW = deviceWidth(width);
    const int lines = frameLineCount(*item);
    const MixerFramePlace place = item->info.places.at(frame);
    QByteArray &row = rowPixels(place.row);
    const int firstLine = place.block * bandLines();
    for (int y = 0; y < lines; ++y) {
        char *dst = row.data() + qsizetype(firstLine + y) * LineBytes;
        std::memcpy(dst, bytes.constData() + qsizetype(y) * outW * 4, size_t(outW) * 4);
        // Lines narrower than the device line are padded with transparent black.
        fillBlank(dst + qsizetype(outW) * 4, LinePixels - outW);
    }
    return true;
}

std::optional<std::array<std::uint8_t, 8>> MixerMemory::bandFlags(std::uint16_t memoryNo,
                                                                  int frame) const
{
    const Item *item = find(memoryNo, frame);
    if (!item)
        return std::nullopt;
    std::array<std::uint8_t, 8> flags{};
    const int row = item->info.places.at(frame).row;
    for (const MixerFramePlace &place : item->info.places) {
        if (place.row == row)
            flags[size_t(place.block)] = 1;
    }
    return flags;
}

std::optional<QByteArray> MixerMemory::readBackStream(std::uint16_t memoryNo, int frame) const
{
    const Item *item = find(memoryNo, frame);
    if (!item)
        return std::nullopt;
    const int row = item->info.places.at(frame).row;
    int lines = 0;
    if (item->info.clip) {
        lines = item->info.headerWritten ? frameLineCount(*item) : rowLines();
        if (lines <= 0)
            lines = rowLines();
    } else {
        // As far as the end of the last frame of this item in the row.
        for (const MixerFramePlace &place : item->info.places) {
            if (place.row == row)
                lines = std::max(lines, (place.block + item->info.blocksPerFrame) * bandLines());
        }
    }
    const qsizetype size = roundUp512(qsizetype(lines) * LineBytes);
    QByteArray stream(size, Qt::Uninitialized);
    const uchar marker[4] = {0x00, 0x00, 0xFD, 0xFC};
    std::memcpy(stream.data(), marker, 4);
    fillBlank(stream.data() + 4, 1);
    // The stored pixels follow two pixels late, so that the host's rebuild of
    // 719-pixel lines (pixels 2..718 and two from the next line) gives back
    // the stored line from its first pixel.
    const qsizetype available = qsizetype(rowLines()) * LineBytes;
    const qsizetype body = std::min(size - 8, available);
    if (m_rows[row].isEmpty())
        fillBlank(stream.data() + 8, body / 4);
    else
        std::memcpy(stream.data() + 8, m_rows[row].constData(), size_t(body));
    fillBlank(stream.data() + 8 + body, (size - 8 - body) / 4);
    return stream;
}

std::optional<QByteArray> MixerMemory::frameLines(std::uint16_t memoryNo, int frame) const
{
    const Item *item = find(memoryNo, frame);
    if (!item)
        return std::nullopt;
    const MixerFramePlace place = item->info.places.at(frame);
    const int lines = frameLineCount(*item);
    QByteArray out(qsizetype(lines) * LineBytes, Qt::Uninitialized);
    if (m_rows[place.row].isEmpty()) {
        fillBlank(out.data(), out.size() / 4);
    } else {
        const qsizetype first = qsizetype(place.block) * bandLines() * LineBytes;
        std::memcpy(out.data(), m_rows[place.row].constData() + first, size_t(out.size()));
    }
    return out;
}

MixerMemory::Contents MixerMemory::contents() const
{
    Contents c;
    c.signal = m_signal;
    c.titleRows = m_titleRows;
    c.wordState = m_wordState;
    c.items = m_items.values();
    for (int r = 0; r < MaxRows; ++r) {
        if (!m_rows[size_t(r)].isEmpty())
            c.rows.insert(r, m_rows[size_t(r)]);
    }
    return c;
}

bool MixerMemory::restore(const Contents &c)
{
    if (c.signal > 1 || c.wordState == 0)
        return false;
    const int rows = c.signal == 1 ? 26 : 30;
    if (c.titleRows < 0 || c.titleRows > rows)
        return false;
    std::array<MemoryMapRecord, MaxRows * BlocksPerRow> blocks{};
    QMap<std::uint16_t, Item> items;
    for (const Item &item : c.items) {
        const MixerItemInfo &i = item.info;
        const int b = i.blocksPerFrame;
        const bool numberFits =
            i.clip ? i.memoryNo >= MemoryNo::FirstClip && i.memoryNo <= MemoryNo::LastClip
                   : i.memoryNo < MemoryNo::FirstClip;
        const bool sizeFits = i.clip ? b == BlocksPerRow : (b == 1 || b == 2 || b == 4 || b == 8);
        if (!numberFits || !sizeFits || (i.clip && i.isProtected) || items.contains(i.memoryNo) ||
            i.frameCount < 1 || i.frameCount != i.places.size() || item.header.size() != HeaderSize)
            return false;
        const auto *h = reinterpret_cast<const uchar *>(item.header.constData());
        if (qFromLittleEndian<quint16>(h) != i.memoryNo ||
            qFromLittleEndian<quint32>(h + 36) != i.deviceWord ||
            bool(h[2] & 0x80) != i.isProtected)
            return false;
        const BlockUsage usage = i.clip          ? BlockUsage::UsedIntVideo
                                 : i.isProtected ? BlockUsage::KeptTitle
                                                 : BlockUsage::UsedTitle;
        for (const MixerFramePlace &place : i.places) {
            const bool inArea = i.clip ? place.row >= c.titleRows && place.row < rows
                                       : place.row >= 0 && place.row < c.titleRows;
            if (!inArea || place.block < 0 || place.block + b > BlocksPerRow)
                return false;
            for (int k = 0; k < b; ++k) {
                MemoryMapRecord &block = blocks[size_t(place.row * BlocksPerRow + place.block + k)];
                if (block.usage != BlockUsage::Empty)
                    return false; // two items on one block
                block = {usage, i.memoryNo};
            }
        }
        items.insert(i.memoryNo, item);
    }
    std::vector<QByteArray> pixels(MaxRows);
    for (auto it = c.rows.cbegin(); it != c.rows.cend(); ++it) {
        const int r = it.key();
        if (r < 0 || r >= rows || it->size() != RowBytes)
            return false;
        const auto first = blocks.cbegin() + r * BlocksPerRow;
        if (std::all_of(first, first + BlocksPerRow,
                        [](const MemoryMapRecord &b) { return b.usage == BlockUsage::Empty; }))
            return false; // pixels of a row nothing holds
        pixels[size_t(r)] = *it;
    }
    m_signal = c.signal;
    m_titleRows = c.titleRows;
    m_wordState = c.wordState;
    m_blocks = blocks;
    m_items = items;
    m_rows = pixels;
    return true;
}
