#pragma once

#include "core/RollCrawlDuration.h"
#include "list/TitleAttributes.h"

#include <array>
#include <cstdint>

struct DefaultTitleSettings;

// The properties every new title starts with, as one 44-byte record of
// eleven little-endian 32-bit words: still and movie duration (frame,
// second, minute, reserved), roll and crawl speed, position X, position Y
// for NTSC and for PAL, and the in and out effect groups laid out as bytes
// 16-31 of a title record. The settings' "Default" group keeps them.
class DefaultProperties
{
public:
    static constexpr int Size = 44;

    DefaultProperties() { m_bytes.fill(0); }
    // The values the program comes with ("初期値に戻す").
    static DefaultProperties factory();
    static DefaultProperties fromSettings(const DefaultTitleSettings &settings);
    // Writes every value back (the wait bytes have no place in the settings).
    void toSettings(DefaultTitleSettings &settings) const;

    const std::array<std::uint8_t, Size> &bytes() const { return m_bytes; }

    Duration stillDuration() const { return durationAt(0); }
    void setStillDuration(const Duration &d) { setDurationAt(0, d); }
    Duration movieDuration() const { return durationAt(4); }
    void setMovieDuration(const Duration &d) { setDurationAt(4, d); }
    // The whole speed words; bits 0-6 are the speed, bit 7 is carried.
    std::int32_t rollSpeed() const { return word(2); }
    void setRollSpeed(std::int32_t v) { setWord(2, v); }
    std::int32_t crawlSpeed() const { return word(3); }
    void setCrawlSpeed(std::int32_t v) { setWord(3, v); }
    std::int32_t positionX() const { return word(4); }
    void setPositionX(std::int32_t v) { setWord(4, v); }
    std::int32_t positionYNtsc() const { return word(5); }
    void setPositionYNtsc(std::int32_t v) { setWord(5, v); }
    std::int32_t positionYPal() const { return word(6); }
    void setPositionYPal(std::int32_t v) { setWord(6, v); }
    // A title record whose bytes 16-31 are the two effect groups (the rest zero).
    TitleAttributes effects() const;
    void setEffects(const TitleAttributes &effects);

    bool operator==(const DefaultProperties &) const = default;

private:
    static constexpr int EffectsOffset = 28;
    static constexpr int RecordEffectsOffset = 16;
    static constexpr int EffectsSize = 16;

    std::int32_t word(int index) const;
    void setWord(int index, std::int32_t v);
    Duration durationAt(int offset) const;
    void setDurationAt(int offset, const Duration &d);

    std::array<std::uint8_t, Size> m_bytes;
};
