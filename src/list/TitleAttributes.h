#pragma once

#include "core/MemoryNo.h"

#include <QString>
#include <QtEndian>

#include <array>
#include <cstdint>

enum class TitleKind : std::uint8_t { Still = 0, Movie = 1, Roll = 2, Crawl = 3 };

// Which of the two effect groups of a title: the in effect (bytes 16-23) or
// the out effect (bytes 24-31).
enum class Effect { In, Out };

// The 40-byte title record the mixer keeps for a title, exactly as it is
// stored in list and history files and sent to the device: little-endian,
// packed. The bytes are the record; the accessors only read and write them,
// so bits the program does not use travel unchanged.
class TitleAttributes
{
public:
    static constexpr int Size = 40;

    TitleAttributes() { m_bytes.fill(0); }
    static TitleAttributes fromBytes(const std::uint8_t *bytes);
    const std::array<std::uint8_t, Size> &bytes() const { return m_bytes; }
    std::array<std::uint8_t, Size> &bytes() { return m_bytes; }

    std::uint16_t memoryNo() const { return u16(0); }
    void setMemoryNo(std::uint16_t v) { setU16(0, v); }

    std::uint8_t typeFlags() const { return m_bytes[2]; }
    void setTypeFlags(std::uint8_t v) { m_bytes[2] = v; }
    TitleKind kind() const { return TitleKind(m_bytes[2] & 0x03); }
    void setKind(TitleKind k) { m_bytes[2] = std::uint8_t((m_bytes[2] & ~0x03) | int(k)); }
    // Bit 2: movie repeat, roll down or crawl right, by kind.
    bool directionBit() const { return m_bytes[2] & 0x04; }
    void setDirectionBit(bool on) { setBit(2, 2, on); }
    bool movieRepeat() const { return kind() == TitleKind::Movie && directionBit(); }
    bool rollDown() const { return kind() == TitleKind::Roll && directionBit(); }
    bool crawlRight() const { return kind() == TitleKind::Crawl && directionBit(); }
    // Bit 3: movie played in reverse.
    bool movieReverse() const { return m_bytes[2] & 0x08; }
    void setMovieReverse(bool on) { setBit(2, 3, on); }
    bool protect() const { return m_bytes[2] & 0x80; }
    void setProtect(bool on) { setBit(2, 7, on); }

    // Bits 0-6 of the speed; bit 7 is carried.
    int rollCrawlSpeed() const { return m_bytes[3] & 0x7F; }
    void setRollCrawlSpeed(int speed) { setLow7(3, speed); }
    std::uint8_t rollCrawlSpeedByte() const { return m_bytes[3]; }
    void setRollCrawlSpeedByte(std::uint8_t v) { m_bytes[3] = v; }

    int blocksPerFrame() const { return m_bytes[4]; }
    // The share of the full height a frame of blocksPerFrame blocks takes
    // ("1", "1/2", "1/4", "1/8"); empty for any other count.
    static QString divideText(int blocksPerFrame);
    void setBlocksPerFrame(int v) { m_bytes[4] = std::uint8_t(v); }
    int movieInterval() const { return m_bytes[5]; }
    void setMovieInterval(int v) { m_bytes[5] = std::uint8_t(v); }
    int frameCount() const { return u16(6); }
    void setFrameCount(int v) { setU16(6, std::uint16_t(v)); }
    int positionX() const { return std::int16_t(u16(8)); }
    void setPositionX(int v) { setU16(8, std::uint16_t(std::int16_t(v))); }
    int positionY() const { return std::int16_t(u16(10)); }
    void setPositionY(int v) { setU16(10, std::uint16_t(std::int16_t(v))); }
    int durFrame() const { return m_bytes[12]; }
    void setDurFrame(int v) { m_bytes[12] = std::uint8_t(v); }
    int durSecond() const { return m_bytes[13]; }
    void setDurSecond(int v) { m_bytes[13] = std::uint8_t(v); }
    int durMinute() const { return m_bytes[14]; }
    void setDurMinute(int v) { m_bytes[14] = std::uint8_t(v); }
    // The byte after the duration, reserved; a new still or movie-repeat title clears it.
    int durReserved() const { return m_bytes[15]; }
    void setDurReserved(int v) { m_bytes[15] = std::uint8_t(v); }

    // Effect groups. For the out effect the wait bytes (30, 31) are reserved
    // by the device but kept within the same ranges.
    std::uint8_t effectFlags(Effect e) const { return m_bytes[base(e)]; }
    void setEffectFlags(Effect e, std::uint8_t v) { m_bytes[base(e)] = v; }
    bool autoTrigger(Effect e) const { return m_bytes[base(e)] & 0x01; }
    void setAutoTrigger(Effect e, bool on) { setBit(base(e), 0, on); }
    // true = wipe pattern, false = dissolve.
    bool isPattern(Effect e) const { return m_bytes[base(e)] & 0x02; }
    void setPattern(Effect e, bool on) { setBit(base(e), 1, on); }
    // 0 = no slide, 1..4 one of the four directions (bits 2-4).
    int slideDirection(Effect e) const { return (m_bytes[base(e)] >> 2) & 0x07; }
    void setSlideDirection(Effect e, int d);
    int slideSpeed(Effect e) const { return m_bytes[base(e) + 1] & 0x7F; }
    void setSlideSpeed(Effect e, int speed) { setLow7(base(e) + 1, speed); }
    std::uint8_t slideSpeedByte(Effect e) const { return m_bytes[base(e) + 1]; }
    void setSlideSpeedByte(Effect e, std::uint8_t v) { m_bytes[base(e) + 1] = v; }
    // Bits 0-13 of the pattern word; bits 14-15 are carried.
    int effPattern(Effect e) const { return u16(base(e) + 2) & 0x3FFF; }
    void setEffPattern(Effect e, int pattern);
    std::uint16_t effPatternWord(Effect e) const { return u16(base(e) + 2); }
    void setEffPatternWord(Effect e, std::uint16_t v) { setU16(base(e) + 2, v); }
    int effTimeFrame(Effect e) const { return m_bytes[base(e) + 4]; }
    void setEffTimeFrame(Effect e, int v) { m_bytes[base(e) + 4] = std::uint8_t(v); }
    int effTimeSecond(Effect e) const { return m_bytes[base(e) + 5]; }
    void setEffTimeSecond(Effect e, int v) { m_bytes[base(e) + 5] = std::uint8_t(v); }
    int waitFrame(Effect e) const { return m_bytes[base(e) + 6]; }
    void setWaitFrame(Effect e, int v) { m_bytes[base(e) + 6] = std::uint8_t(v); }
    int waitSecond(Effect e) const { return m_bytes[base(e) + 7]; }
    void setWaitSecond(Effect e, int v) { m_bytes[base(e) + 7] = std::uint8_t(v); }

    int width() const { return u16(32); }
    void setWidth(int v) { setU16(32, std::uint16_t(v)); }
    int height() const { return u16(34); }
    void setHeight(int v) { setU16(34, std::uint16_t(v)); }
    std::uint32_t deviceWord() const;
    void setDeviceWord(std::uint32_t v);

    bool operator==(const TitleAttributes &other) const = default;

private:
    static constexpr int DeviceWordOffset = 36;

    static int base(Effect e) { return e == Effect::In ? 16 : 24; }
    std::uint16_t u16(int offset) const
    {
        return qFromLittleEndian<quint16>(m_bytes.data() + offset);
    }
    void setU16(int offset, std::uint16_t v)
    {
        qToLittleEndian<quint16>(v, m_bytes.data() + offset);
    }
    void setBit(int offset, int bit, bool on);
    void setLow7(int offset, int v)
    {
        m_bytes[offset] = std::uint8_t((m_bytes[offset] & 0x80) | (v & 0x7F));
    }

    std::array<std::uint8_t, Size> m_bytes;
};
