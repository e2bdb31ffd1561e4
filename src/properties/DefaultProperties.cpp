#include "properties/DefaultProperties.h"

#include "core/Settings.h"

#include <QtEndian>
#include <algorithm>

DefaultProperties DefaultProperties::factory()
{
    DefaultProperties d;
    d.setStillDuration({0, 10, 0});
    d.setMovieDuration({0, 10, 0});
    d.setRollSpeed(8);
    d.setCrawlSpeed(8);
    TitleAttributes e;
    for (Effect side : {Effect::In, Effect::Out}) {
        e.setEffPattern(side, 1);
        e.setEffTimeSecond(side, 2);
        e.setSlideSpeed(side, 8);
    }
    d.setEffects(e);
    return d;
}

DefaultProperties DefaultProperties::fromSettings(const DefaultTitleSettings &s)
{
    DefaultProperties d;
    d.setStillDuration({s.StillDurMinute, s.StillDurSecond, s.StillDurFrame});
    d.setMovieDuration({s.MovieDurMinute, s.MovieDurSecond, s.MovieDurFrame});
    d.setRollSpeed(s.RollSpeed);
    d.setCrawlSpeed(s.CrawlSpeed);
    d.setPositionX(s.PositionX);
    d.setPositionYNtsc(s.PositionYNtsc);
    d.setPositionYPal(s.PositionYPal);
    TitleAttributes e;
    e.setEffectFlags(Effect::In, s.InEffType);
    e.setSlideSpeedByte(Effect::In, s.InSpeed);
    e.setEffPatternWord(Effect::In, s.InEffPattern);
    e.setEffTimeSecond(Effect::In, s.InEffTimeSecond);
    e.setEffTimeFrame(Effect::In, s.InEffTimeFrame);
    e.setEffectFlags(Effect::Out, s.OutEffType);
    e.setSlideSpeedByte(Effect::Out, s.OutSpeed);
    e.setEffPatternWord(Effect::Out, s.OutEffPattern);
    e.setEffTimeSecond(Effect::Out, s.OutEffTimeSecond);
    e.setEffTimeFrame(Effect::Out, s.OutEffTimeFrame);
    d.setEffects(e);
    return d;
}

void DefaultProperties::toSettings(DefaultTitleSettings &s) const
{
    const Duration still = stillDuration();
    const Duration movie = movieDuration();
    s.StillDurMinute = std::uint8_t(still.minutes);
    s.StillDurSecond = std::uint8_t(still.seconds);
    s.StillDurFrame = std::uint8_t(still.frames);
    s.MovieDurMinute = std::uint8_t(movie.minutes);
    s.MovieDurSecond = std::uint8_t(movie.seconds);
    s.MovieDurFrame = std::uint8_t(movie.frames);
    s.RollSpeed = rollSpeed();
    s.CrawlSpeed = crawlSpeed();
    s.PositionX = positionX();
    s.PositionYNtsc = positionYNtsc();
    s.PositionYPal = positionYPal();
    const TitleAttributes e = effects();
    s.InEffType = e.effectFlags(Effect::In);
    s.InSpeed = e.slideSpeedByte(Effect::In);
    s.InEffPattern = e.effPatternWord(Effect::In);
    s.InEffTimeSecond = std::uint8_t(e.effTimeSecond(Effect::In));
    s.InEffTimeFrame = std::uint8_t(e.effTimeFrame(Effect::In));
    s.OutEffType = e.effectFlags(Effect::Out);
    s.OutSpeed = e.slideSpeedByte(Effect::Out);
    s.OutEffPattern = e.effPatternWord(Effect::Out);
    s.OutEffTimeSecond = std::uint8_t(e.effTimeSecond(Effect::Out));
    s.OutEffTimeFrame = std::uint8_t(e.effTimeFrame(Effect::Out));
}

TitleAttributes DefaultProperties::effects() const
{
    TitleAttributes e;
    std::copy_n(m_bytes.begin() + EffectsOffset, EffectsSize,
                e.bytes().begin() + RecordEffectsOffset);
    return e;
}

void DefaultProperties::setEffects(const TitleAttributes &effects)
{
    std::copy_n(effects.bytes().begin() + RecordEffectsOffset, EffectsSize,
                m_bytes.begin() + EffectsOffset);
}

std::int32_t DefaultProperties::word(int index) const
{
    return qFromLittleEndian<qint32>(m_bytes.data() + 4 * index);
}

void DefaultProperties::setWord(int index, std::int32_t v)
{
    qToLittleEndian<qint32>(v, m_bytes.data() + 4 * index);
}

Duration DefaultProperties::durationAt(int offset) const
{
    return {m_bytes[std::size_t(offset + 2)], m_bytes[std::size_t(offset + 1)],
            m_bytes[std::size_t(offset)]};
}

void DefaultProperties::setDurationAt(int offset, const Duration &d)
{
    m_bytes[std::size_t(offset)] = std::uint8_t(d.frames);
    m_bytes[std::size_t(offset + 1)] = std::uint8_t(d.seconds);
    m_bytes[std::size_t(offset + 2)] = std::uint8_t(d.minutes);
}
